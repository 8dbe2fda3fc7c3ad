// The last steps of Fine detail, from the energies of a pixel's pattern to its edge value, exposed
// so that the tests can hold them against the direct formula.
//
// Contract: with the edge energy Q and the total energy T >= Q (T = 1 where it would be 0), the
// ratio d = Q / T is a double in [0, 1], the share y = float(1 - sqrt(d)) a float in [0, 1],
// and the edge value v = trunc(theta x s) clamped to 0..255, with theta = float(pi / 2) when y = 0
// and atan(sqrt(1 - y^2) / y) otherwise, s = float(float(sqrt 2 x 255.99) / float(pi / 2)), all in
// double precision. v is a non-increasing step function of y and so a non-decreasing one of d:
// both tables below hold its steps, built at compile time, so the result is the same in every
// build whatever the C runtime's arc tangent does in its last bit, and no arc tangent (nor, with
// the ratio table, any square root) is taken at run time.
#pragma once

#include <bit>
#include <cstdint>

// bits[j], j = 1..255, is the bit pattern of the smallest float y in [0, 1] whose edge value is
// below j (non-increasing in j); bits[0] = 0xFFFFFFFF lies beyond every share.
struct EdgeShareStepTable {
    uint32_t bits[256];
};
extern const EdgeShareStepTable kEdgeShareSteps;

// The edge value of the share y in [0, 1].
int32_t EdgeShareValue(float y);

// The ratio table: the doubles of [0, 1] in buckets by the exponent and the top 7 mantissa bits of
// their bit pattern (bucket 0 takes every ratio below 2^-34, whose edge value is 0; the last one
// takes 1.0 alone). A bucket holds at most one step: the edge value of a ratio d in bucket i is
// base[i], plus 1 when d > step[i] (step[i] = 2.0 in a bucket without a step).
constexpr int32_t kEdgeRatioMantissaBits = 7;
constexpr int32_t kEdgeRatioLowestExponent = -34;
constexpr int32_t kEdgeRatioBucketCount = (-kEdgeRatioLowestExponent << kEdgeRatioMantissaBits) + 2;

struct EdgeRatioTable {
    double step[kEdgeRatioBucketCount];
    uint8_t base[kEdgeRatioBucketCount];
};
extern const EdgeRatioTable kEdgeRatioSteps;

// The bucket of a ratio d in [0, 1].
constexpr int32_t EdgeRatioBucket(double d) {
    constexpr uint64_t kFirst = uint64_t(1023 + kEdgeRatioLowestExponent) << kEdgeRatioMantissaBits;
    const uint64_t top = std::bit_cast<uint64_t>(d) >> (52 - kEdgeRatioMantissaBits);
    return top < kFirst ? 0 : int32_t(top - kFirst) + 1;
}

// The edge value of the ratio d = Q / T in [0, 1]: EdgeShareValue(float(1 - sqrt(d))).
inline int32_t EdgeRatioValue(double d) {
    const int32_t i = EdgeRatioBucket(d);
    return kEdgeRatioSteps.base[i] + (d > kEdgeRatioSteps.step[i] ? 1 : 0);
}

// The same steps for a single-precision estimate f of the ratio whose relative error against the
// double ratio d is below 2^-20: f then lies within 17 float units in the last place of d, so the
// value of f is the value of d unless f lies within kEdgeRatioEstimateMargin units of a step. Buckets
// by the exponent and the top 7 mantissa bits of f's bit pattern (bucket 0: every f below 2^-35,
// where the value is 0 for f and d alike); every step lies at least the margin away from the edges
// of its bucket, so no step of a neighbouring bucket can lie between f and d. entry[i] = base << 24
// | place: the value at the bucket's start, and the step's place in units of the bucket's last
// place (kEdgeRatioEstimateNoStep in a bucket without a step), so that the value of f is base, plus
// 1 when the low 16 bits of f's pattern exceed the place.
constexpr int32_t kEdgeRatioEstimateLowestExponent = -35;
constexpr int32_t kEdgeRatioEstimateBucketCount = (-kEdgeRatioEstimateLowestExponent << kEdgeRatioMantissaBits) + 2;
constexpr uint32_t kEdgeRatioEstimateFirst = uint32_t(127 + kEdgeRatioEstimateLowestExponent) << kEdgeRatioMantissaBits;
constexpr int32_t kEdgeRatioEstimateMargin = 64;
constexpr uint32_t kEdgeRatioEstimateNoStep = 0x1FFFF;

struct EdgeRatioEstimateTable {
    uint32_t entry[kEdgeRatioEstimateBucketCount];
};
extern const EdgeRatioEstimateTable kEdgeRatioEstimateSteps;

// The bucket of an estimate f in [0, 1].
constexpr int32_t EdgeRatioEstimateBucket(float f) {
    const uint32_t top = std::bit_cast<uint32_t>(f) >> 16;
    return top < kEdgeRatioEstimateFirst ? 0 : int32_t(top - kEdgeRatioEstimateFirst) + 1;
}

// The value of the ratio whose estimate is f, or -1 when f is too near a step to tell.
inline int32_t EdgeRatioEstimateValue(float f) {
    const uint32_t entry = kEdgeRatioEstimateSteps.entry[EdgeRatioEstimateBucket(f)];
    const int32_t offset = int32_t(std::bit_cast<uint32_t>(f) & 0xFFFF) - int32_t(entry & 0xFFFFFF);
    if (offset >= -kEdgeRatioEstimateMargin && offset <= kEdgeRatioEstimateMargin) return -1;
    return int32_t(entry >> 24) + (offset > 0 ? 1 : 0);
}

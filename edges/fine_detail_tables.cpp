// The compile-time tables of Fine detail's edge value: its steps over the share y and over the
// energy ratio d. GCC folds the arc tangent and the square roots below with correctly rounded
// results, so every build carries the same tables.
#include <bit>
#include <cstdint>

#include "edges/fine_detail.h"

namespace {

// The right angle as a float, and the scale from an angle to a grey value: the float of the
// square root of 2 x 255.99 over that angle, so that a right angle lands just beyond 255.
constexpr float kHalfPi = float(3.14159265358979323846 / 2);
constexpr float kAngleScale = float(float(__builtin_sqrt(2.0) * 255.99) / kHalfPi);
static_assert(kHalfPi == 1.5707964f && kAngleScale == 230.47197f);

// The edge value of the share y by the formula itself; evaluated at compile time only.
constexpr int32_t EdgeValueByFormula(float y) {
    const double yd = y;
    const double theta = y == 0.0f ? double(kHalfPi) : __builtin_atan(__builtin_sqrt(1.0 - yd * yd) / yd);
    const double v = theta * double(kAngleScale);
    return v >= 255.0 ? 255 : int32_t(v);
}

// For every value j the smallest float y in [0, 1] whose value is below j, by a binary search over
// the bit patterns of the non-negative floats (ordered like the floats themselves).
constexpr EdgeShareStepTable BuildEdgeShareSteps() {
    EdgeShareStepTable table{};
    table.bits[0] = 0xFFFFFFFFu;
    const uint32_t one = std::bit_cast<uint32_t>(1.0f);
    for (int32_t j = 1; j < 256; ++j) {
        uint32_t low = 0, high = one;
        while (low < high) {
            const uint32_t mid = low + (high - low) / 2;
            if (EdgeValueByFormula(std::bit_cast<float>(mid)) < j) high = mid;
            else low = mid + 1;
        }
        table.bits[j] = low;
    }
    return table;
}

constexpr EdgeShareStepTable kSteps = BuildEdgeShareSteps();

// The largest j whose step lies beyond y; the steps fall as j grows and step 0 lies beyond every
// share.
constexpr int32_t ValueOfShare(float y) {
    const uint32_t bits = std::bit_cast<uint32_t>(y);
    int32_t v = 0;
    for (int32_t step = 128; step > 0; step >>= 1) {
        if (bits < kSteps.bits[v + step]) v += step;
    }
    return v;
}

// The share of the ratio d, exactly as the method forms it.
constexpr float ShareOfRatio(double d) { return float(1.0 - __builtin_sqrt(d)); }

// The ratio steps: ratioStep[j] is the largest double d in [0, 1] whose edge value is below j, so
// that the value is j or more exactly when d > ratioStep[j]. The share falls as d grows, so the
// value reaches j once the share drops below the share step of j.
struct RatioSteps {
    double d[256];
};

constexpr RatioSteps BuildRatioSteps() {
    RatioSteps steps{};
    const uint64_t one = std::bit_cast<uint64_t>(1.0);
    for (int32_t j = 1; j < 256; ++j) {
        const float shareStep = std::bit_cast<float>(kSteps.bits[j]);
        // ShareOfRatio(low) >= shareStep > ShareOfRatio(high) throughout.
        uint64_t low = 0, high = one;
        while (high - low > 1) {
            const uint64_t mid = low + (high - low) / 2;
            if (ShareOfRatio(std::bit_cast<double>(mid)) >= shareStep) low = mid;
            else high = mid;
        }
        steps.d[j] = std::bit_cast<double>(low);
    }
    return steps;
}

constexpr RatioSteps kRatioSteps = BuildRatioSteps();

constexpr double BucketStart(int32_t bucket) {
    if (bucket == 0) return 0.0;
    constexpr uint64_t kFirst = uint64_t(1023 + kEdgeRatioLowestExponent) << kEdgeRatioMantissaBits;
    return std::bit_cast<double>((kFirst + uint64_t(bucket - 1)) << (52 - kEdgeRatioMantissaBits));
}

// The table below needs steps that rise with j, at most one in any bucket.
constexpr bool OneStepPerBucketAtMost() {
    for (int32_t j = 2; j < 256; ++j) {
        if (!(kRatioSteps.d[j] > kRatioSteps.d[j - 1])) return false;
        if (EdgeRatioBucket(kRatioSteps.d[j]) == EdgeRatioBucket(kRatioSteps.d[j - 1])) return false;
    }
    return true;
}
static_assert(OneStepPerBucketAtMost());
static_assert(kRatioSteps.d[1] >= 0x1p-34, "ratios below the first bucket must all have the value 0");
static_assert(ValueOfShare(ShareOfRatio(1.0)) == 255 && ValueOfShare(ShareOfRatio(0.0)) == 0);

// Spreads the ratio steps over the buckets.
constexpr EdgeRatioTable BuildEdgeRatioTable() {
    EdgeRatioTable table{};
    int32_t j = 1;  // the first step not below the current bucket's start
    for (int32_t bucket = 0; bucket < kEdgeRatioBucketCount; ++bucket) {
        const double start = BucketStart(bucket);
        const double end = bucket + 1 < kEdgeRatioBucketCount ? BucketStart(bucket + 1) : 2.0;
        while (j < 256 && kRatioSteps.d[j] < start) ++j;
        table.base[bucket] = uint8_t(j - 1);
        table.step[bucket] = 2.0;
        if (j < 256 && kRatioSteps.d[j] < end) {
            table.step[bucket] = kRatioSteps.d[j];
        }
    }
    return table;
}

// The start of an estimate bucket, as a double.
constexpr double EstimateBucketStart(int32_t bucket) {
    if (bucket == 0) return 0.0;
    return double(std::bit_cast<float>((kEdgeRatioEstimateFirst + uint32_t(bucket - 1)) << 16));
}

constexpr bool OneStepPerEstimateBucketAtMost() {
    for (int32_t j = 2; j < 256; ++j) {
        if (EdgeRatioEstimateBucket(float(kRatioSteps.d[j])) == EdgeRatioEstimateBucket(float(kRatioSteps.d[j - 1])))
            return false;
    }
    return true;
}
static_assert(OneStepPerEstimateBucketAtMost());
static_assert(kRatioSteps.d[1] > 0x1p-35 * (1.0 + 0x1p-19), "estimates in bucket 0 must all have the value 0");

// The ratio steps placed in the estimate buckets. A step's place is its distance from the bucket's
// start in units of the bucket's last place, rounded down: an f with low bits L is start + L units,
// beyond the step exactly when L exceeds the place.
constexpr EdgeRatioEstimateTable BuildEdgeRatioEstimateTable() {
    EdgeRatioEstimateTable table{};
    int32_t j = 1;
    for (int32_t bucket = 0; bucket < kEdgeRatioEstimateBucketCount; ++bucket) {
        const double start = EstimateBucketStart(bucket);
        const double end = bucket + 1 < kEdgeRatioEstimateBucketCount ? EstimateBucketStart(bucket + 1) : 2.0;
        while (j < 256 && kRatioSteps.d[j] < start) ++j;
        uint32_t place = kEdgeRatioEstimateNoStep;
        if (j < 256 && kRatioSteps.d[j] < end && bucket > 0) {
            const double unit = (end - start) / 65536.0;
            place = uint32_t((kRatioSteps.d[j] - start) / unit);
        }
        table.entry[bucket] = uint32_t(j - 1) << 24 | place;
    }
    return table;
}

constexpr EdgeRatioEstimateTable kEstimateTable = BuildEdgeRatioEstimateTable();

// Every step keeps the margin from both edges of its bucket.
constexpr bool StepsKeepAwayFromBucketEdges() {
    for (uint32_t entry : kEstimateTable.entry) {
        const uint32_t place = entry & 0xFFFFFF;
        if (place == kEdgeRatioEstimateNoStep) continue;
        if (place < uint32_t(kEdgeRatioEstimateMargin) || place > 0xFFFFu - uint32_t(kEdgeRatioEstimateMargin))
            return false;
    }
    return true;
}
static_assert(StepsKeepAwayFromBucketEdges());

}  // namespace

extern constexpr EdgeShareStepTable kEdgeShareSteps = kSteps;
extern constexpr EdgeRatioTable kEdgeRatioSteps = BuildEdgeRatioTable();
extern constexpr EdgeRatioEstimateTable kEdgeRatioEstimateSteps = kEstimateTable;

int32_t EdgeShareValue(float y) { return ValueOfShare(y); }

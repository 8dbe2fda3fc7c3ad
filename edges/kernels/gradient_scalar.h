// The exact per-sample arithmetic of the Traditional, Smoother and Variable width kernels, one
// pixel at a time: the plain level uses it where no vector applies, the vector kernels for the
// samples at the end of a row that a whole vector does not cover. Included only by the kernel
// sources (each compiles it for its own instruction set), hence the internal linkage.
#pragma once

#include <cmath>
#include <cstdint>

#include "edges/kernels/gradient.h"

namespace {

inline uint8_t ClampToByte(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// ---- Traditional ----------------------------------------------------------------------------

// 255 - floor(sqrt(q div 5)), or 0 when the root exceeds 254; the root is the largest m with
// 5 m^2 <= q, found from the double square root (correctly rounded) and settled by the integers.
inline uint8_t SobelValue(int32_t q) {
    int32_t m = int32_t(std::sqrt(double(q / 5)));
    while (5 * m * m > q) --m;
    while (5 * (m + 1) * (m + 1) <= q) ++m;
    return uint8_t(m <= 254 ? 255 - m : 0);
}

inline uint8_t SobelSample(const uint8_t* above, const uint8_t* mid, const uint8_t* below, int32_t step) {
    const int32_t nw = above[-step], n = above[0], ne = above[step];
    const int32_t w = mid[-step], e = mid[step];
    const int32_t sw = below[-step], s = below[0], se = below[step];
    const int32_t gx = (ne + 2 * e + se) - (nw + 2 * w + sw);
    const int32_t gy = (nw + 2 * n + ne) - (sw + 2 * s + se);
    return SobelValue(gx * gx + gy * gy);
}

// ---- Smoother ---------------------------------------------------------------------------------

// The second diagonal (SW against NE) is deliberately not one of the responses.
inline uint8_t KirschSample(const uint8_t* above, const uint8_t* mid, const uint8_t* below) {
    const int32_t nw = above[-1], n = above[0], ne = above[1];
    const int32_t w = mid[-1], e = mid[1];
    const int32_t sw = below[-1], s = below[0], se = below[1];
    const int32_t kh = (ne + 2 * e + se) - (nw + 2 * w + sw);
    const int32_t kd = (e + 2 * se + s) - (n + 2 * nw + w);
    const int32_t kv = (sw + 2 * s + se) - (nw + 2 * n + ne);
    int32_t m = kh < 0 ? -kh : kh;
    const int32_t ad = kd < 0 ? -kd : kd;
    const int32_t av = kv < 0 ? -kv : kv;
    if (ad > m) m = ad;
    if (av > m) m = av;
    return uint8_t(m <= 509 ? (510 - m) >> 1 : 0);
}

// The colour rows one pixel at a time.
void BrightnessRowPlain(const uint8_t* rgb, int32_t width, uint8_t* bright) {
    for (int32_t x = 0; x < width; ++x) {
        const uint16_t sum = uint16_t(rgb[3 * x] + rgb[3 * x + 1] + rgb[3 * x + 2] + 1);
        bright[x] = uint8_t(sum / 3);
    }
}

// New mean level c with the differences e = (R - G) quot 2 and d = ((R + G) div 2) - B kept:
// R' = c + d quot 3 + e, G' = c + d quot 3 - e, B' = c - (2 d) quot 3. Smoother carries d halved
// and doubled again (its scratch image stores d quot 2), kEvenD says so.
template <bool kEvenD>
void RecolourRowPlain(const uint8_t* level, const uint8_t* in, uint8_t* rgb, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        const int16_t r = in[3 * x], g = in[3 * x + 1], b = in[3 * x + 2], c = level[x];
        int16_t d = int16_t((r + g) / 2 - b);
        if (kEvenD) d = int16_t(2 * (d / 2));
        const int16_t e = int16_t((r - g) / 2);
        const int16_t third = int16_t(d / 3), twoThirds = int16_t((2 * d) / 3);
        rgb[3 * x] = ClampToByte(c + third + e);
        rgb[3 * x + 1] = ClampToByte(c + third - e);
        rgb[3 * x + 2] = ClampToByte(c - twoThirds);
    }
}

// ---- Variable width ---------------------------------------------------------------------------

// The weights w_d(k) as single-precision values, [d - 1][k + 3], zero beyond the reach; the
// vertical component has its own table because one of its weights differs (reach 2, d = 2, k = 0).
struct VariableWeights {
    float across[3][7];
    float down[3][7];
};

constexpr VariableWeights kVariableWeights[3] = {
    {{{0, 0, 0.776f, 1, 0.776f, 0, 0}}, {{0, 0, 0.776f, 1, 0.776f, 0, 0}}},
    {{{0, 0.364f, 0.562f, 1, 0.562f, 0.364f, 0}, {0, 0.267f, 0.373f, 0.464f, 0.373f, 0.267f, 0}},
     {{0, 0.364f, 0.562f, 1, 0.562f, 0.364f, 0}, {0, 0.267f, 0.373f, 0.463f, 0.373f, 0.267f, 0}}},
    // d = 2 is deliberately lopsided: 0.24 at k = -3 (top row of the horizontal operator, left
    // column of the vertical one) against 0.14 at k = +3.
    {{{0.283f, 0.348f, 0.579f, 1, 0.579f, 0.348f, 0.283f},
      {0.24f, 0.213f, 0.354f, 0.463f, 0.354f, 0.213f, 0.14f},
      {0.073f, 0.104f, 0.165f, 0.195f, 0.165f, 0.104f, 0.073f}},
     {{0.283f, 0.348f, 0.579f, 1, 0.579f, 0.348f, 0.283f},
      {0.24f, 0.213f, 0.354f, 0.463f, 0.354f, 0.213f, 0.14f},
      {0.073f, 0.104f, 0.165f, 0.195f, 0.165f, 0.104f, 0.073f}}},
};

// Every weight is 0 or lies in [2^-4, 1], where a float's last bit is worth at least 2^-27: each
// weight times a difference of grey levels (at most 510 in size) is exact in double precision, as
// is every sum of such products (multiples of 2^-27 below 2^11), whatever the order.
constexpr bool InRange(float w) { return w == 0.0f || (w >= 0.0625f && w <= 1.0f); }

constexpr bool WeightsInRange() {
    for (const VariableWeights& w : kVariableWeights)
        for (int32_t d = 0; d < 3; ++d)
            for (int32_t k = 0; k < 7; ++k)
                if (!InRange(w.across[d][k]) || !InRange(w.down[d][k])) return false;
    return true;
}
static_assert(WeightsInRange());

// Q = Gh^2 + Gv^2 of pixel x, the components exact, the squares and their sum rounded once each.
template <int32_t R>
double VariableEnergy(const VariableRows& rows, int32_t x) {
    const VariableWeights& w = kVariableWeights[R - 1];
    double gh = 0.0, gv = 0.0;
    for (int32_t d = 1; d <= R; ++d) {
        for (int32_t k = -R; k <= R; ++k) {
            gh += double(w.across[d - 1][3 + k]) * double(rows.grey[3 + k][3 + x - d] - rows.grey[3 + k][3 + x + d]);
            gv += double(w.down[d - 1][3 + k]) * double(rows.grey[3 + d][3 + x + k] - rows.grey[3 - d][3 + x + k]);
        }
    }
    return gh * gh + gv * gv;
}

// trunc(255 - (M x 255) / peak) clamped to 0..255, M = sqrt(q).
inline uint8_t VariableShade(double q, float peak) {
    const double v = 255.0 - (std::sqrt(q) * 255.0) / double(peak);
    return v <= 0.0 ? 0 : v >= 255.0 ? 255 : uint8_t(int32_t(v));
}

}  // namespace

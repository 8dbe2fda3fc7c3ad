// The exact per-pixel arithmetic of every row kernel, one pixel at a time: the Sobel value, the
// three Smoother responses, the grey level, the recolouring, the Variable width energy and shade,
// the thinning rule of Skinny lines and Fine detail's energy ratio. The plain pattern level is
// these rules in loops; the vector kernels (vector_*.h) use them for the samples their vectors
// leave open and for rows shorter than one vector, and hold their lanes to them bit for bit.
//
// Contract: pure functions of the pixels named, no state, no allocation. Included by the kernel
// sources only, after their standard headers and their switch of instruction set (each compiles
// its own copy), hence the internal linkage.
#pragma once

#include <cmath>
#include <cstdint>

#include "edges/kernels/gradient.h"

namespace {

// One way to ask for inlining, for the small helpers that must melt into their kernels' loops.
#define KERNEL_INLINE __attribute__((always_inline))

inline uint8_t ClampToByte(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// ---- Sobel (Traditional, and Skinny lines' gradient) -------------------------------------------

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

// ---- colour rows --------------------------------------------------------------------------------

// The grey level (R + G + B + 1) div 3 of every pixel of the interleaved row.
inline void GreyRowPlain(const uint8_t* rgb, int32_t width, uint8_t* grey) {
    for (int32_t x = 0; x < width; ++x) grey[x] = uint8_t((rgb[3 * x] + rgb[3 * x + 1] + rgb[3 * x + 2] + 1) / 3);
}

// During thinning a value at or above this is background, a value below it an edge pixel.
constexpr int32_t kBackgroundLevel = 230;

// Recolouring: a pixel takes a new mean level c and keeps its differences e = (R - G) quot 2 and
// d = ((R + G) div 2) - B: R' = c + d quot 3 + e, G' = c + d quot 3 - e, B' = c - (2 d) quot 3.
// The methods differ only in where c comes from: the level row itself (Variable width); the level
// row with d rounded toward zero to an even value, as Smoother's scratch image carries d quot 2;
// the thinned value, the pixel turning white where that is background (Skinny lines); 255 minus
// the edge value (Fine detail).
enum Recolour : int32_t { kRecolourLevel, kRecolourEvenD, kRecolourLine, kRecolourEdge };

template <int32_t kRule>
void RecolourRowPlain(const uint8_t* level, const uint8_t* in, uint8_t* rgb, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        const int32_t c = kRule == kRecolourEdge ? 255 - level[x] : level[x];
        if (kRule == kRecolourLine && c >= kBackgroundLevel) {
            rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = 255;
            continue;
        }
        const int32_t r = in[3 * x], g = in[3 * x + 1], b = in[3 * x + 2];
        int32_t d = (r + g) / 2 - b;
        if (kRule == kRecolourEvenD) d = 2 * (d / 2);
        const int32_t e = (r - g) / 2;
        rgb[3 * x] = ClampToByte(c + d / 3 + e);
        rgb[3 * x + 1] = ClampToByte(c + d / 3 - e);
        rgb[3 * x + 2] = ClampToByte(c - (2 * d) / 3);
    }
}

// The output rows of Skinny lines and Fine detail for grey images: a thinned value below 230
// stays, the rest becomes white; 255 minus the edge value. Each level's compiler vectorises them.
inline void LineGreyRow(const uint8_t* thinned, uint8_t* grey, int32_t width) {
    for (int32_t x = 0; x < width; ++x) grey[x] = thinned[x] < kBackgroundLevel ? thinned[x] : 255;
}

inline void EdgeGreyRow(const uint8_t* edges, uint8_t* grey, int32_t width) {
    for (int32_t x = 0; x < width; ++x) grey[x] = uint8_t(255 - edges[x]);
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

// ---- Skinny lines' thinning ---------------------------------------------------------------------

// side x (1 - t) + corner x t, truncated toward zero.
inline int32_t Interpolate(int32_t side, int32_t corner, double t) {
    return int32_t(double(side) * (1.0 - t) + double(corner) * t);
}

// Whether one thinning sweep removes the edge pixel (below 230) at column x of `middle`, from the
// values before the sweep. A pixel goes only when it is not needed to hold a line together, is not
// the end of a line and is not strictly darker than both of its neighbours across the line.
inline bool RemovesEdgePixel(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t x) {
    const int32_t p = middle[x];
    const int32_t nw = above[x - 1], n = above[x], ne = above[x + 1];
    const int32_t w = middle[x - 1], e = middle[x + 1];
    const int32_t sw = below[x - 1], s = below[x], se = below[x + 1];
    // The eight neighbours clockwise, the first repeated at the end to close the ring.
    const int32_t around[9] = {nw, n, ne, e, se, s, sw, w, nw};

    bool anyAbove = false;
    for (int32_t i = 0; i < 8; ++i) anyAbove |= around[i] > kBackgroundLevel;
    if (!anyAbove) return false;

    int32_t lineToBackground = 0;
    for (int32_t i = 0; i < 8; ++i)
        lineToBackground += around[i] < kBackgroundLevel && around[i + 1] >= kBackgroundLevel;
    if (lineToBackground > 1) return false;

    int32_t white = 0;
    for (int32_t i = 0; i < 8; ++i) white += around[i] == 255;
    if (white >= 7) return false;

    int32_t darkToLight = 0;
    for (int32_t i = 0; i < 8; ++i) darkToLight += around[i] <= p && around[i + 1] > p;
    if (darkToLight > 1) return false;

    const int32_t gx = 2 * (e - w) + ne + se - nw - sw;
    const int32_t gy = 2 * (s - n) + sw + se - nw - ne;
    if (gx == 0 && gy == 0) return true;
    const int32_t ax = gx < 0 ? -gx : gx, ay = gy < 0 ? -gy : gy;
    int32_t a, b;
    if (ax >= ay) {
        const double t = double(ay) / double(ax);
        a = Interpolate(e, gy >= 0 ? se : ne, t);
        b = Interpolate(w, gy >= 0 ? nw : sw, t);
    } else {
        const double t = double(ax) / double(ay);
        a = Interpolate(s, gx >= 0 ? se : sw, t);
        b = Interpolate(n, gx >= 0 ? nw : ne, t);
    }
    return p >= a || p >= b;
}

// One thinning sweep over columns from .. to of a row (pattern.h); returns 1 when a value
// changed.
inline int32_t SkinnyThinningColumns(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                                     int32_t from, int32_t to, int64_t* removals) {
    int32_t changed = 0;
    for (int32_t x = from; x <= to; ++x) {
        const int32_t p = middle[x];
        if (p >= kBackgroundLevel) {
            out[x] = 255;
            changed |= p != 255;
        } else if (RemovesEdgePixel(above, middle, below, x)) {
            out[x] = 255;
            ++*removals;
            changed = 1;
        } else {
            out[x] = uint8_t(p);
        }
    }
    return changed;
}

// ---- Fine detail ------------------------------------------------------------------------------

// The masks work in integers scaled by 41, with 58/41 standing for the square root of 2.
constexpr int32_t kSideWeight = 41;
constexpr int32_t kRootTwoWeight = 58;
// Undoes the 41 x 41 scale of the squared edge-mask responses: 1/1681 as a float.
constexpr float kMaskScale = 1.0f / 1681.0f;
static_assert(kMaskScale == 0.00059488398f);

inline double Square(int32_t f) { return double(f) * double(f); }

// The share of the pattern's energy that lies in the two straight-edge masks, Q / T, around
// column x of `middle`.
inline double EdgeEnergyRatioAt(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t x) {
    const int32_t nw = above[x - 1], n = above[x], ne = above[x + 1];
    const int32_t w = middle[x - 1], p = middle[x], e = middle[x + 1];
    const int32_t sw = below[x - 1], s = below[x], se = below[x + 1];
    constexpr int32_t a = kSideWeight, b = kRootTwoWeight;

    const int32_t f1 = b * s + a * sw + a * se - b * n - a * nw - a * ne;
    const int32_t f2 = b * e + a * ne + a * se - b * w - a * nw - a * sw;
    const int32_t f3 = b * ne + a * w + a * s - b * sw - a * n - a * e;
    const int32_t f4 = b * nw + a * e + a * s - b * se - a * n - a * w;
    const int32_t f5 = n + e - s - w;
    const int32_t f6 = ne + sw + se - nw;
    const int32_t f7 = (nw + ne + sw + se) + 4 * p - 2 * (n + s + e + w);
    const int32_t f8 = (n + s + e + w) + 4 * p - 2 * (nw + ne + sw + se);
    const int32_t f9 = nw + n + ne + w + p + e + sw + s + se;

    const double k = kMaskScale;
    const double edge = Square(f1) * k + Square(f2) * k;
    double total = edge + Square(f3) * k + Square(f4) * k + Square(f9) + Square(f5) + Square(f6) +
                   Square(f7) + Square(f8);
    if (total == 0.0) total = 1.0;
    return edge / total;
}

}  // namespace

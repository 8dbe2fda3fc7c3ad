// The per-pixel rules of Skinny lines and Fine detail and the plain row loops built on them, shared
// by the kernel files: the plain kernels are these loops; the vector kernels apply the rules and
// loops to the pixels their lanes leave open and to the columns after the last full vector, and
// the AVX2 grey outputs are these loops vectorised by the compiler for that instruction set.
//
// Contract: the rules are functions of the neighbourhood around byte x of three scratch rows (bytes
// x - 1 .. x + 1 of each must exist) or of one image pixel; the loops follow the row conventions of
// pattern.h. No state, no allocation. Everything here has internal linkage and the loops are
// always inlined, so each kernel function compiles its own copy for its own instruction set.
#pragma once

#include <cmath>
#include <cstdint>

#include "edges/fine_detail.h"

namespace {

// During thinning a value at or above this is background, a value below it an edge pixel.
constexpr int32_t kBackgroundLevel = 230;

inline uint8_t ClampByte(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

inline uint8_t GreyOfPixel(const uint8_t* rgb) { return uint8_t((rgb[0] + rgb[1] + rgb[2] + 1) / 3); }

// ---- Skinny lines ----------------------------------------------------------------------------

// 255 minus the Sobel magnitude (divided by 5 before the square root) at column x.
inline uint8_t SkinnyGradientAt(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t x) {
    const int32_t nw = above[x - 1], n = above[x], ne = above[x + 1];
    const int32_t w = middle[x - 1], e = middle[x + 1];
    const int32_t sw = below[x - 1], s = below[x], se = below[x + 1];
    const int32_t gx = (ne + 2 * e + se) - (nw + 2 * w + sw);
    const int32_t gy = (nw + 2 * n + ne) - (sw + 2 * s + se);
    // s < 2^19: the double square root of it never rounds up to the next integer.
    const int32_t m = int32_t(std::sqrt(double((gx * gx + gy * gy) / 5)));
    return uint8_t(m <= 254 ? 255 - m : 0);
}

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

// The colour pixel takes the thinned value c (below 230) as its mean level and keeps its two
// colour differences.
inline void SkinnyColourPixel(int32_t c, uint8_t* pixel) {
    const int32_t r = pixel[0], g = pixel[1], b = pixel[2];
    const int32_t d = (r + g) / 2 - b;
    const int32_t e = (r - g) / 2;
    pixel[0] = ClampByte(c + d / 3 + e);
    pixel[1] = ClampByte(c + d / 3 - e);
    pixel[2] = ClampByte(c - (2 * d) / 3);
}

// ---- Fine detail -----------------------------------------------------------------------------

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

// The colour pixel takes `level` as its brightness and keeps its two colour differences.
inline void FineColourPixel(int32_t level, uint8_t* pixel) {
    const int32_t r = pixel[0], g = pixel[1], b = pixel[2];
    const int32_t u = r - g;
    const int32_t t = (r + g) / 2 - b;
    pixel[0] = ClampByte(level + t / 3 + u / 2);
    pixel[1] = ClampByte(level - u / 2 + t / 3);
    pixel[2] = ClampByte(level - (2 * t) / 3);
}

// ---- plain row loops ---------------------------------------------------------------------------

#define SF_ALWAYS_INLINE inline __attribute__((always_inline))

SF_ALWAYS_INLINE void GreyOfRgbLoop(const uint8_t* rgb, uint8_t* grey, int32_t width) {
    for (int32_t x = 0; x < width; ++x) grey[x] = GreyOfPixel(rgb + 3 * x);
}

SF_ALWAYS_INLINE void SkinnyOutputGreyLoop(const uint8_t* thinned, uint8_t* grey, int32_t width) {
    for (int32_t x = 0; x < width; ++x) grey[x] = thinned[x] < kBackgroundLevel ? thinned[x] : 255;
}

SF_ALWAYS_INLINE void SkinnyOutputRgbLoop(const uint8_t* thinned, uint8_t* rgb, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        uint8_t* pixel = rgb + 3 * x;
        const int32_t c = thinned[x];
        if (c >= kBackgroundLevel) {
            pixel[0] = pixel[1] = pixel[2] = 255;
        } else {
            SkinnyColourPixel(c, pixel);
        }
    }
}

SF_ALWAYS_INLINE void FineOutputGreyLoop(const uint8_t* edges, uint8_t* grey, int32_t width) {
    for (int32_t x = 0; x < width; ++x) grey[x] = uint8_t(255 - edges[x]);
}

SF_ALWAYS_INLINE void FineOutputRgbLoop(const uint8_t* edges, uint8_t* rgb, int32_t width) {
    for (int32_t x = 0; x < width; ++x) FineColourPixel(255 - edges[x], rgb + 3 * x);
}

}  // namespace

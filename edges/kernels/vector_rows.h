// The width-generic body of the row kernels, first part: the 3x3 gradients (Sobel, Smoother's
// responses) and the colour rows (grey level, joining planes, recolouring). Written once over the
// small set of vector operations V that each level's source defines before including it (V128:
// SSE2, V256: AVX2, V512: AVX-512); every result equals the per-pixel arithmetic of rules.h bit
// for bit, for which each formula's exactness is argued here once. Internal linkage: each level's
// source compiles its own copy for its own instruction set.
//
// Groups: V::kLanes samples form a group, one per 16-bit lane (type V::I). A row of at least one
// group is covered by whole groups, the last one shifted back to end at the row's end (its overlap
// is computed twice, to the same bytes); a shorter row takes the exact scalar path.
//
// Lane order: UnpackLo16 / UnpackHi16 of two 16-bit vectors followed by Madd give 32-bit vectors
// of half a group each, and Packs32 of the two restores the sample order. Floats (V::F) come in
// two halves of V::kFloats samples in sample order, packed back by Pack32. Masks (V::M, from Gt16
// and Eq16) are vectors or mask registers, read as one bit a lane by Bits.
//
// Colour rows: V::LoadPixels splits V::kPixelGroup interleaved pixels into V::kPixelVectors
// 16-bit vectors per channel, in pixel order; V::StorePixels interleaves them back, clamping each
// value to 0..255.
#pragma once

#include "edges/kernels/rules.h"

namespace {

// Runs group(i) over whole groups of n samples covering [0, count), count >= n.
template <int32_t n, class Group>
inline void ForEachGroup(int32_t count, Group group) {
    int32_t i = 0;
    for (; i + n <= count; i += n) group(i);
    if (i < count) group(count - n);
}

// ---- Sobel --------------------------------------------------------------------------------------

// The roots m of the squared sums q (32-bit lanes, q <= 2080800 < 2^21), the largest m with
// 5 m^2 <= q, as trunc(sqrt(float(q) x 0.2f)) with the correctly rounded square root: q is exact,
// 0.2f exceeds 1/5 by a relative 1.5 x 2^-26, so where q = 5 m^2 the product rounds to m^2 itself
// (the excess is below half its last place) and the root is m; where q < 5 (m + 1)^2, q / 5 lies at
// least 1/5 below (m + 1)^2, far more than the product's and the root's roundings (relative
// 2^-24 each, below 1e-4 at m < 646), so the root stays below m + 1. A test checks every q. Roots
// of 255 and more saturate to the value 0 later.
template <class V>
inline KERNEL_INLINE typename V::I SobelRoots(typename V::I q) {
    return V::CvttI(V::SqrtF(V::MulF(V::CvtF(q), V::SetF(0.2f))));
}

template <class V>
inline KERNEL_INLINE void SobelGroup(const uint8_t* a, const uint8_t* m, const uint8_t* b, int32_t s, uint8_t* out) {
    using I = typename V::I;
    const I nw = V::Widen(a - s), n = V::Widen(a), ne = V::Widen(a + s);
    const I w = V::Widen(m - s), e = V::Widen(m + s);
    const I sw = V::Widen(b - s), so = V::Widen(b), se = V::Widen(b + s);
    // gx = (NE - SW) + (SE - NW) + 2 (E - W), gy = (NE - SW) - (SE - NW) + 2 (N - S).
    const I p = V::Sub16(ne, sw), r = V::Sub16(se, nw);
    const I h = V::Sub16(e, w), v = V::Sub16(n, so);
    const I gx = V::Add16(V::Add16(p, r), V::Add16(h, h));
    const I gy = V::Add16(V::Sub16(p, r), V::Add16(v, v));
    const I lo = V::UnpackLo16(gx, gy), hi = V::UnpackHi16(gx, gy);
    const I roots = V::Packs32(SobelRoots<V>(V::Madd(lo, lo)), SobelRoots<V>(V::Madd(hi, hi)));
    V::Narrow(out, V::Sub16(V::Set16(255), roots));
}

template <class V>
void SobelRowV(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t step, int32_t count,
               uint8_t* out) {
    if (count < V::kLanes) {
        for (int32_t i = 0; i < count; ++i) out[i] = SobelSample(above + i, middle + i, below + i, step);
        return;
    }
    ForEachGroup<V::kLanes>(count, [&](int32_t i) KERNEL_INLINE {
        SobelGroup<V>(above + i, middle + i, below + i, step, out + i);
    });
}

template <class V>
void SobelValuesV(const int32_t* sums, int32_t count, uint8_t* out) {
    constexpr int32_t n = V::kLanes / 2;
    int32_t i = 0;
    for (; i + n <= count; i += n) {
        int32_t roots[n];
        V::Store32(roots, SobelRoots<V>(V::Load32(sums + i)));
        for (int32_t j = 0; j < n; ++j) out[i + j] = uint8_t(roots[j] <= 254 ? 255 - roots[j] : 0);
    }
    for (; i < count; ++i) out[i] = SobelValue(sums[i]);
}

// Skinny lines' gradient is the Sobel value of a one-plane scratch row (pattern.h's layout).
template <class V>
void LineGradientV(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out, int32_t width) {
    SobelRowV<V>(above + 1, middle + 1, below + 1, 1, width, out + 1);
}

// ---- Smoother ---------------------------------------------------------------------------------

template <class V>
inline KERNEL_INLINE void KirschGroup(const uint8_t* a, const uint8_t* m, const uint8_t* b, uint8_t* out) {
    using I = typename V::I;
    const I nw = V::Widen(a - 1), n = V::Widen(a), ne = V::Widen(a + 1);
    const I w = V::Widen(m - 1), e = V::Widen(m + 1);
    const I sw = V::Widen(b - 1), s = V::Widen(b), se = V::Widen(b + 1);
    // With A = E - W, B = S - N, C = SE - NW, D = NE - SW:
    // Kh = C + D + 2A, Kd = A + B + 2C, Kv = C - D + 2B.
    const I dA = V::Sub16(e, w), dB = V::Sub16(s, n), dC = V::Sub16(se, nw), dD = V::Sub16(ne, sw);
    const I kh = V::Add16(V::Add16(dC, dD), V::Add16(dA, dA));
    const I kd = V::Add16(V::Add16(dA, dB), V::Add16(dC, dC));
    const I kv = V::Add16(V::Sub16(dC, dD), V::Add16(dB, dB));
    const I largest = V::Max16(V::Max16(V::Abs16(kh), V::Abs16(kd)), V::Abs16(kv));
    const I limit = V::Set16(510);
    V::Narrow(out, V::Srli16(V::Sub16(limit, V::Min16(largest, limit)), 1));
}

template <class V>
void KirschRowV(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t count, uint8_t* out) {
    if (count < V::kLanes) {
        for (int32_t i = 0; i < count; ++i) out[i] = KirschSample(above + i, middle + i, below + i);
        return;
    }
    ForEachGroup<V::kLanes>(count, [&](int32_t i) KERNEL_INLINE {
        KirschGroup<V>(above + i, middle + i, below + i, out + i);
    });
}

// ---- colour rows ------------------------------------------------------------------------------

template <class V>
void GreyRowV(const uint8_t* rgb, int32_t width, uint8_t* grey) {
    using I = typename V::I;
    constexpr int32_t n = V::kPixelVectors;
    int32_t x = 0;
    for (; x + V::kPixelGroup <= width; x += V::kPixelGroup) {
        I r[n], g[n], b[n];
        V::LoadPixels(rgb + 3 * x, r, g, b);
        // (R + G + B + 1) div 3 = floor(sum x 43691 / 2^17), exact below 2^17.
        for (int32_t k = 0; k < n; ++k) {
            const I sum = V::Add16(V::Add16(r[k], g[k]), V::Add16(b[k], V::Set16(1)));
            V::Narrow(grey + x + k * V::kLanes, V::Srli16(V::MulhiU16(sum, V::Set16(int16_t(43691))), 1));
        }
    }
    GreyRowPlain(rgb + 3 * x, width - x, grey + x);
}

// The pattern kernels' argument order.
template <class V>
void GreyOfRgbV(const uint8_t* rgb, uint8_t* grey, int32_t width) {
    GreyRowV<V>(rgb, width, grey);
}

template <class V>
void JoinRowV(const uint8_t* red, const uint8_t* green, const uint8_t* blue, int32_t width, uint8_t* rgb) {
    using I = typename V::I;
    constexpr int32_t n = V::kPixelVectors;
    int32_t x = 0;
    for (; x + V::kPixelGroup <= width; x += V::kPixelGroup) {
        I r[n], g[n], b[n];
        for (int32_t k = 0; k < n; ++k) {
            r[k] = V::Widen(red + x + k * V::kLanes);
            g[k] = V::Widen(green + x + k * V::kLanes);
            b[k] = V::Widen(blue + x + k * V::kLanes);
        }
        V::StorePixels(rgb + 3 * x, r, g, b);
    }
    for (; x < width; ++x) {
        rgb[3 * x] = red[x];
        rgb[3 * x + 1] = green[x];
        rgb[3 * x + 2] = blue[x];
    }
}

// v quot 3 for |v| < 2^15: floor(v x 21846 / 2^16), plus 1 when v is negative.
template <class V>
inline KERNEL_INLINE typename V::I Quot3(typename V::I v) {
    return V::Sub16(V::Mulhi16(v, V::Set16(21846)), V::Srai16(v, 15));
}

// v quot 2: the arithmetic shift rounds down, so negative values get 1 added first.
template <class V>
inline KERNEL_INLINE typename V::I Quot2(typename V::I v) {
    return V::Srai16(V::Add16(v, V::Srli16(v, 15)), 1);
}

// RecolourRowPlain<kRule> (rules.h) on whole pixel groups. Skinny lines' rows are mostly
// background, so a group of background only is made white without being read.
template <class V, int32_t kRule>
void RecolourRowV(const uint8_t* level, const uint8_t* in, uint8_t* rgb, int32_t width) {
    using I = typename V::I;
    constexpr int32_t n = V::kPixelVectors;
    const I lastEdge = V::Set16(kBackgroundLevel - 1), white = V::Set16(255);
    int32_t x = 0;
    for (; x + V::kPixelGroup <= width; x += V::kPixelGroup) {
        I c[n];
        uint32_t lines = 0;
        for (int32_t k = 0; k < n; ++k) {
            c[k] = V::Widen(level + x + k * V::kLanes);
            if (kRule == kRecolourEdge) c[k] = V::Sub16(white, c[k]);
            if (kRule == kRecolourLine) lines |= V::Bits(V::Gt16(V::Set16(kBackgroundLevel), c[k]));
        }
        if (kRule == kRecolourLine && lines == 0) {
            for (int32_t i = 0; i < 3 * V::kPixelGroup; ++i) rgb[3 * x + i] = 255;
            continue;
        }
        I r[n], g[n], b[n], red[n], green[n], blue[n];
        V::LoadPixels(in + 3 * x, r, g, b);
        for (int32_t k = 0; k < n; ++k) {
            I d = V::Sub16(V::Srli16(V::Add16(r[k], g[k]), 1), b[k]);
            if (kRule == kRecolourEvenD) {
                const I halfD = Quot2<V>(d);
                d = V::Add16(halfD, halfD);
            }
            const I e = Quot2<V>(V::Sub16(r[k], g[k]));
            const I third = Quot3<V>(d), twoThirds = Quot3<V>(V::Add16(d, d));
            const I common = V::Add16(c[k], third);
            red[k] = V::Add16(common, e);
            green[k] = V::Sub16(common, e);
            blue[k] = V::Sub16(c[k], twoThirds);
            if (kRule == kRecolourLine) {
                const typename V::M background = V::Gt16(c[k], lastEdge);
                red[k] = V::Select(background, red[k], white);
                green[k] = V::Select(background, green[k], white);
                blue[k] = V::Select(background, blue[k], white);
            }
        }
        V::StorePixels(rgb + 3 * x, red, green, blue);
    }
    RecolourRowPlain<kRule>(level + x, in + 3 * x, rgb + 3 * x, width - x);
}

// The pattern kernels' outputs recolour in place.
template <class V, int32_t kRule>
void RecolourInPlaceV(const uint8_t* level, uint8_t* rgb, int32_t width) {
    RecolourRowV<V, kRule>(level, rgb, rgb, width);
}

}  // namespace

// The AVX-512 pattern kernels (64-bit builds): the AVX2 kernels' arithmetic (pattern_avx2.cpp) on
// twice the lanes, with comparisons into bit masks, colour pixels taken apart and put together by
// word permutations (pixels_avx512.h). Everything between the target switches has internal
// linkage and is reached only after the processor was found to have AVX-512 (F, BW, DQ, VL).
#include "edges/kernels/pattern.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include "edges/fine_detail.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma"))), \
                             apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512dq,avx512vl,avx2,fma")
// GCC 12's AVX-512 intrinsics start some results from a deliberately undefined register, which
// its flow analysis then reports as uninitialised.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

#include "edges/kernels/pattern_rules.h"
#include "edges/kernels/pattern_thinning.h"
#include "edges/kernels/pixels_avx512.h"

namespace {

#define PATTERN_INLINE inline __attribute__((always_inline))

// AVX-512 operations for pattern_thinning.h: 32 lanes, masks in mask registers.
struct Thinning512 {
    using I = __m512i;
    using M = __mmask32;
    static constexpr int32_t kLanes = 32;
    static I Widen(const uint8_t* p) { return WidenBytes32(p); }
    static I Set16(int16_t v) { return _mm512_set1_epi16(v); }
    static I Add16(I a, I b) { return _mm512_add_epi16(a, b); }
    static I Sub16(I a, I b) { return _mm512_sub_epi16(a, b); }
    static I Abs16(I a) { return _mm512_abs_epi16(a); }
    static I Max16(I a, I b) { return _mm512_max_epi16(a, b); }
    static I Min16(I a, I b) { return _mm512_min_epi16(a, b); }
    static M Gt16(I a, I b) { return _mm512_cmpgt_epi16_mask(a, b); }
    static M Eq16(I a, I b) { return _mm512_cmpeq_epi16_mask(a, b); }
    static M And(M a, M b) { return M(a & b); }
    static M Or(M a, M b) { return M(a | b); }
    static M AndNot(M a, M b) { return M(~a & b); }
    static I Count(I count, M mask) { return _mm512_mask_add_epi16(count, mask, count, _mm512_set1_epi16(1)); }
    static I Select(M mask, I a, I b) { return _mm512_mask_blend_epi16(mask, a, b); }
    static uint32_t Bits(M mask) { return uint32_t(mask); }

    static I Dot(I a1, I b1, I a2, I b2) {
        const I low = _mm512_madd_epi16(_mm512_unpacklo_epi16(a1, a2), _mm512_unpacklo_epi16(b1, b2));
        const I high = _mm512_madd_epi16(_mm512_unpackhi_epi16(a1, a2), _mm512_unpackhi_epi16(b1, b2));
        return _mm512_packs_epi32(low, high);  // the unpacks' order undone within each quarter
    }
};

// x div 3 and x div 2 truncated toward zero, of 16-bit lanes (see pattern_avx2.cpp).
PATTERN_INLINE __m512i ThirdTowardZero(__m512i x) {
    return _mm512_sub_epi16(_mm512_mulhi_epi16(x, _mm512_set1_epi16(21846)), _mm512_srai_epi16(x, 15));
}

PATTERN_INLINE __m512i HalfTowardZero(__m512i x) {
    return _mm512_srai_epi16(_mm512_sub_epi16(x, _mm512_srai_epi16(x, 15)), 1);
}

// The pixels (planes r, g, b as 16-bit lanes) at the new level with their two colour differences
// kept: red = level + t/3 + u/2, green = level + t/3 - u/2, blue = level - 2t/3, u = r - g,
// t = (r + g) div 2 - b; saturated to 0..255 when joined.
PATTERN_INLINE void Relevel32(__m512i level, const __m512i plane[3], __m512i out[3]) {
    const __m512i r = plane[0], g = plane[1], b = plane[2];
    const __m512i u = HalfTowardZero(_mm512_sub_epi16(r, g));
    const __m512i t = _mm512_sub_epi16(_mm512_srli_epi16(_mm512_add_epi16(r, g), 1), b);
    const __m512i third = ThirdTowardZero(t);
    out[0] = _mm512_add_epi16(_mm512_add_epi16(level, third), u);
    out[1] = _mm512_sub_epi16(_mm512_add_epi16(level, third), u);
    out[2] = _mm512_sub_epi16(level, ThirdTowardZero(_mm512_add_epi16(t, t)));
}

// floor(sqrt(min(q, 325125) / 5)) of sixteen non-negative q below 2^24 (see pattern_sse2.cpp).
PATTERN_INLINE __m512i RootOfFifth(__m512i q) {
    const __m512 one = _mm512_set1_ps(1.0f), five = _mm512_set1_ps(5.0f);
    const __m512 qf = _mm512_min_ps(_mm512_cvtepi32_ps(q), _mm512_set1_ps(325125.0f));
    __m512 m = _mm512_cvtepi32_ps(_mm512_cvttps_epi32(_mm512_sqrt_ps(_mm512_mul_ps(qf, _mm512_set1_ps(0.2f)))));
    const __mmask16 over = _mm512_cmp_ps_mask(_mm512_mul_ps(_mm512_mul_ps(five, m), m), qf, _CMP_GT_OQ);
    m = _mm512_mask_sub_ps(m, over, m, one);
    const __m512 next = _mm512_add_ps(m, one);
    const __mmask16 under = _mm512_cmp_ps_mask(_mm512_mul_ps(_mm512_mul_ps(five, next), next), qf, _CMP_LE_OQ);
    m = _mm512_mask_add_ps(m, under, m, one);
    return _mm512_cvttps_epi32(m);
}

// The roots of the 32 pixels from column x on, as 16-bit lanes in pixel order: the unpacks and the
// pack work within each 128-bit quarter and undo each other's order.
PATTERN_INLINE __m512i SobelRoots32(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t x) {
    const __m512i nw = WidenBytes32(above + x - 1), n = WidenBytes32(above + x), ne = WidenBytes32(above + x + 1);
    const __m512i w = WidenBytes32(middle + x - 1), e = WidenBytes32(middle + x + 1);
    const __m512i sw = WidenBytes32(below + x - 1), s = WidenBytes32(below + x), se = WidenBytes32(below + x + 1);
    const __m512i gx = _mm512_sub_epi16(_mm512_add_epi16(_mm512_add_epi16(ne, se), _mm512_add_epi16(e, e)),
                                        _mm512_add_epi16(_mm512_add_epi16(nw, sw), _mm512_add_epi16(w, w)));
    const __m512i gy = _mm512_sub_epi16(_mm512_add_epi16(_mm512_add_epi16(nw, ne), _mm512_add_epi16(n, n)),
                                        _mm512_add_epi16(_mm512_add_epi16(sw, se), _mm512_add_epi16(s, s)));
    const __m512i low = _mm512_unpacklo_epi16(gx, gy), high = _mm512_unpackhi_epi16(gx, gy);
    return _mm512_packs_epi32(RootOfFifth(_mm512_madd_epi16(low, low)), RootOfFifth(_mm512_madd_epi16(high, high)));
}

void SkinnyGradientAvx512(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                          int32_t width) {
    int32_t x = 1;
    for (; x + 32 <= width + 1; x += 32)
        NarrowWords32(out + x, _mm512_sub_epi16(_mm512_set1_epi16(255), SobelRoots32(above, middle, below, x)));
    for (; x <= width; ++x) out[x] = SkinnyGradientAt(above, middle, below, x);
}

int32_t SkinnyThinningAvx512(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                             int32_t width, int64_t* removals) {
    const __m512i lastEdge = _mm512_set1_epi8(char(kBackgroundLevel - 1)), white = _mm512_set1_epi8(char(255));
    int32_t changed = 0;
    int32_t x = 1;
    for (; x + 64 <= width + 1; x += 64) {
        const __m512i p = _mm512_loadu_si512(middle + x);
        const uint64_t edges = _mm512_cmple_epu8_mask(p, lastEdge);
        const uint64_t whites = _mm512_cmpeq_epi8_mask(p, white);
        changed |= (edges | whites) != ~uint64_t(0);
        uint64_t removed = 0;
        if (uint32_t(edges) != 0) removed = RemovedInGroup<Thinning512>(above, middle, below, x);
        if ((edges >> 32) != 0) removed |= uint64_t(RemovedInGroup<Thinning512>(above, middle, below, x + 32)) << 32;
        // Background and removed pixels become 255, the other edge pixels stay.
        _mm512_storeu_si512(out + x, _mm512_mask_blend_epi8(edges & ~removed, white, p));
        if (removed != 0) {
            *removals += __builtin_popcountll(removed);
            changed = 1;
        }
    }
    changed |= SkinnyThinningColumns(above, middle, below, out, x, width, removals);
    return changed;
}

// 58 u + 41 w of 32 16-bit lane pairs, as two sets of sixteen 32-bit lanes (the first holding
// pixels 0-3, 8-11, 16-19 and 24-27, the second the others).
PATTERN_INLINE void RootTwoSum(__m512i u, __m512i w, __m512i* low, __m512i* high) {
    const __m512i weights = _mm512_set1_epi32((41 << 16) | 58);
    *low = _mm512_madd_epi16(_mm512_unpacklo_epi16(u, w), weights);
    *high = _mm512_madd_epi16(_mm512_unpackhi_epi16(u, w), weights);
}

// a^2 + b^2 of 32 16-bit lane pairs, in the lanes of RootTwoSum.
PATTERN_INLINE void SquarePairs(__m512i a, __m512i b, __m512i* low, __m512i* high) {
    const __m512i l = _mm512_unpacklo_epi16(a, b), h = _mm512_unpackhi_epi16(a, b);
    *low = _mm512_madd_epi16(l, l);
    *high = _mm512_madd_epi16(h, h);
}

PATTERN_INLINE __m512 SquareOf(__m512i f) {
    const __m512 v = _mm512_cvtepi32_ps(f);
    return _mm512_mul_ps(v, v);
}

// The values of sixteen estimates f of the ratio (EdgeRatioEstimateValue), and in *open the lanes
// too near a step to tell, as -1.
PATTERN_INLINE __m512i EstimateValues(__m512 f, __m512i* open) {
    const __m512i bits = _mm512_castps_si512(f);
    const __m512i bucket = _mm512_max_epi32(
        _mm512_sub_epi32(_mm512_srli_epi32(bits, 16), _mm512_set1_epi32(int32_t(kEdgeRatioEstimateFirst) - 1)),
        _mm512_setzero_si512());
    const __m512i entry = _mm512_i32gather_epi32(bucket, kEdgeRatioEstimateSteps.entry, 4);
    const __m512i offset = _mm512_sub_epi32(_mm512_and_si512(bits, _mm512_set1_epi32(0xFFFF)),
                                            _mm512_and_si512(entry, _mm512_set1_epi32(0xFFFFFF)));
    *open = _mm512_movm_epi32(_mm512_cmpgt_epi32_mask(_mm512_set1_epi32(kEdgeRatioEstimateMargin + 1),
                                                      _mm512_abs_epi32(offset)));
    // base, plus 1 beyond the step.
    return _mm512_mask_add_epi32(_mm512_srli_epi32(entry, 24), _mm512_cmpgt_epi32_mask(offset, _mm512_setzero_si512()),
                                 _mm512_srli_epi32(entry, 24), _mm512_set1_epi32(1));
}

// As FineEdgeShareAvx2, 32 pixels at a time.
void FineEdgeShareAvx512(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                         int32_t width) {
    const __m512 k = _mm512_set1_ps(kMaskScale), one = _mm512_set1_ps(1.0f);
    const __m512i zero = _mm512_setzero_si512();
    int32_t x = 1;
    for (; x + 32 <= width + 1; x += 32) {
        const __m512i nw = WidenBytes32(above + x - 1), n = WidenBytes32(above + x), ne = WidenBytes32(above + x + 1);
        const __m512i w = WidenBytes32(middle + x - 1), p = WidenBytes32(middle + x), e = WidenBytes32(middle + x + 1);
        const __m512i sw = WidenBytes32(below + x - 1), s = WidenBytes32(below + x), se = WidenBytes32(below + x + 1);
        __m512i f[4][2], others[2];
        RootTwoSum(_mm512_sub_epi16(s, n), _mm512_sub_epi16(_mm512_add_epi16(sw, se), _mm512_add_epi16(nw, ne)),
                   &f[0][0], &f[0][1]);
        RootTwoSum(_mm512_sub_epi16(e, w), _mm512_sub_epi16(_mm512_add_epi16(ne, se), _mm512_add_epi16(nw, sw)),
                   &f[1][0], &f[1][1]);
        RootTwoSum(_mm512_sub_epi16(ne, sw), _mm512_sub_epi16(_mm512_add_epi16(w, s), _mm512_add_epi16(n, e)),
                   &f[2][0], &f[2][1]);
        RootTwoSum(_mm512_sub_epi16(nw, se), _mm512_sub_epi16(_mm512_add_epi16(e, s), _mm512_add_epi16(n, w)),
                   &f[3][0], &f[3][1]);
        {
            const __m512i sides = _mm512_add_epi16(_mm512_add_epi16(n, s), _mm512_add_epi16(e, w));
            const __m512i corners = _mm512_add_epi16(_mm512_add_epi16(nw, ne), _mm512_add_epi16(sw, se));
            const __m512i p4 = _mm512_slli_epi16(p, 2);
            const __m512i f5 = _mm512_sub_epi16(_mm512_add_epi16(n, e), _mm512_add_epi16(s, w));
            const __m512i f6 = _mm512_sub_epi16(_mm512_add_epi16(_mm512_add_epi16(ne, sw), se), nw);
            const __m512i f7 = _mm512_sub_epi16(_mm512_add_epi16(corners, p4), _mm512_add_epi16(sides, sides));
            const __m512i f8 = _mm512_sub_epi16(_mm512_add_epi16(sides, p4), _mm512_add_epi16(corners, corners));
            const __m512i f9 = _mm512_add_epi16(_mm512_add_epi16(sides, corners), p);
            __m512i a[2], b[2], c[2];
            SquarePairs(f9, f5, &a[0], &a[1]);
            SquarePairs(f6, f7, &b[0], &b[1]);
            SquarePairs(f8, zero, &c[0], &c[1]);
            for (int32_t set = 0; set < 2; ++set) others[set] = _mm512_add_epi32(_mm512_add_epi32(a[set], b[set]), c[set]);
        }

        __m512i values[2], open[2];
        for (int32_t set = 0; set < 2; ++set) {
            const __m512 edge = _mm512_mul_ps(_mm512_add_ps(SquareOf(f[0][set]), SquareOf(f[1][set])), k);
            const __m512 lines = _mm512_mul_ps(_mm512_add_ps(SquareOf(f[2][set]), SquareOf(f[3][set])), k);
            const __m512 total =
                _mm512_max_ps(_mm512_add_ps(_mm512_add_ps(edge, lines), _mm512_cvtepi32_ps(others[set])), one);
            values[set] = EstimateValues(_mm512_div_ps(edge, total), &open[set]);
        }
        // The pack undoes the unpacks' order within each quarter.
        NarrowWords32(out + x, _mm512_packs_epi32(values[0], values[1]));
        uint32_t unsettled = _mm512_movepi16_mask(_mm512_packs_epi32(open[0], open[1]));
        for (; unsettled != 0; unsettled &= unsettled - 1) {
            const int32_t at = x + __builtin_ctz(unsettled);
            out[at] = uint8_t(EdgeRatioValue(EdgeEnergyRatioAt(above, middle, below, at)));
        }
    }
    for (; x <= width; ++x) out[x] = uint8_t(EdgeRatioValue(EdgeEnergyRatioAt(above, middle, below, x)));
}

// (R + G + B + 1) div 3 (see GreyOfRgbAvx2).
void GreyOfRgbAvx512(const uint8_t* rgb, uint8_t* grey, int32_t width) {
    int32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        __m512i plane[3];
        SplitPixels32(rgb + 3 * x, plane);
        const __m512i sum =
            _mm512_add_epi16(_mm512_add_epi16(plane[0], plane[1]), _mm512_add_epi16(plane[2], _mm512_set1_epi16(1)));
        NarrowWords32(grey + x, _mm512_mulhi_epu16(sum, _mm512_set1_epi16(21846)));
    }
    GreyOfRgbLoop(rgb + 3 * x, grey + x, width - x);
}

void SkinnyOutputGreyAvx512(const uint8_t* thinned, uint8_t* grey, int32_t width) {
    SkinnyOutputGreyLoop(thinned, grey, width);
}

// Most of the picture is background: 32 pixels without a line pixel become white at once.
void SkinnyOutputRgbAvx512(const uint8_t* thinned, uint8_t* rgb, int32_t width) {
    const __m512i background = _mm512_set1_epi16(kBackgroundLevel), white = _mm512_set1_epi16(255);
    int32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        const __m512i c = WidenBytes32(thinned + x);
        const __mmask32 isBackground = _mm512_cmpge_epi16_mask(c, background);
        uint8_t* pixels = rgb + 3 * x;
        if (isBackground == 0xFFFFFFFFu) {
            const __m512i bytes = _mm512_set1_epi8(char(255));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels), _mm512_castsi512_si256(bytes));
            _mm512_storeu_si512(pixels + 32, bytes);
            continue;
        }
        __m512i plane[3], result[3];
        SplitPixels32(pixels, plane);
        Relevel32(c, plane, result);
        for (int32_t ch = 0; ch < 3; ++ch) result[ch] = _mm512_mask_mov_epi16(result[ch], isBackground, white);
        JoinPixels32(result, pixels);
    }
    SkinnyOutputRgbLoop(thinned + x, rgb + 3 * x, width - x);
}

void FineOutputGreyAvx512(const uint8_t* edges, uint8_t* grey, int32_t width) {
    FineOutputGreyLoop(edges, grey, width);
}

void FineOutputRgbAvx512(const uint8_t* edges, uint8_t* rgb, int32_t width) {
    int32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        __m512i plane[3], result[3];
        SplitPixels32(rgb + 3 * x, plane);
        Relevel32(_mm512_sub_epi16(_mm512_set1_epi16(255), WidenBytes32(edges + x)), plane, result);
        JoinPixels32(result, rgb + 3 * x);
    }
    FineOutputRgbLoop(edges + x, rgb + 3 * x, width - x);
}

constexpr PatternKernels kAvx512Kernels = {
    kKernelAvx512,
    GreyOfRgbAvx512,       SkinnyGradientAvx512,   SkinnyThinningAvx512, SkinnyOutputGreyAvx512,
    SkinnyOutputRgbAvx512, FineEdgeShareAvx512,    FineOutputGreyAvx512, FineOutputRgbAvx512,
};

}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// Compiled for the baseline processor: the choice calls it before it knows the level is there.
const PatternKernels* Avx512PatternKernels(void) { return &kAvx512Kernels; }

#else

const PatternKernels* Avx512PatternKernels(void) { return nullptr; }

#endif

// The AVX2 row kernels of Skinny lines and Fine detail. Skinny lines: the SSE2 kernels' arithmetic
// (pattern_sse2.cpp) on twice the lanes. Fine detail: the energy ratio estimated in single precision
// on eight lanes and its value read from the estimate table (fine_detail.h), the double arithmetic
// only for the few estimates near a step. Colour rows: pixels taken apart into planes by byte
// shuffles, 32 at a time, and put together again. The thinning rule: pattern_thinning.h on 16
// lanes. Everything between the target switches below is compiled for AVX2 and has internal
// linkage; the kernels are reached only after the processor was found to have AVX2.
#include "edges/kernels/pattern.h"

#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))

#include <immintrin.h>

#include "edges/fine_detail.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif

#include "edges/kernels/pattern_rules.h"
#include "edges/kernels/pattern_thinning.h"

#define SF_INLINE inline __attribute__((always_inline))

namespace {

SF_INLINE __m256i Load32(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

// AVX2 operations for pattern_thinning.h: 16 lanes; true lanes all ones.
struct Thinning256 {
    using I = __m256i;
    using M = __m256i;
    static constexpr int32_t kLanes = 16;
    SF_INLINE static I Widen(const uint8_t* p) {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    SF_INLINE static I Set16(int16_t v) { return _mm256_set1_epi16(v); }
    SF_INLINE static I Add16(I a, I b) { return _mm256_add_epi16(a, b); }
    SF_INLINE static I Sub16(I a, I b) { return _mm256_sub_epi16(a, b); }
    SF_INLINE static I Abs16(I a) { return _mm256_abs_epi16(a); }
    SF_INLINE static I Max16(I a, I b) { return _mm256_max_epi16(a, b); }
    SF_INLINE static I Min16(I a, I b) { return _mm256_min_epi16(a, b); }
    SF_INLINE static I Gt16(I a, I b) { return _mm256_cmpgt_epi16(a, b); }
    SF_INLINE static I Eq16(I a, I b) { return _mm256_cmpeq_epi16(a, b); }
    SF_INLINE static I And(I a, I b) { return _mm256_and_si256(a, b); }
    SF_INLINE static I Or(I a, I b) { return _mm256_or_si256(a, b); }
    SF_INLINE static I AndNot(I a, I b) { return _mm256_andnot_si256(a, b); }
    SF_INLINE static I Count(I count, M mask) { return _mm256_sub_epi16(count, mask); }
    SF_INLINE static I Select(I mask, I a, I b) { return _mm256_blendv_epi8(a, b, mask); }
    SF_INLINE static uint32_t Bits(I mask) {
        const uint32_t bytes = uint32_t(_mm256_movemask_epi8(_mm256_packs_epi16(mask, mask)));
        return (bytes & 0xFF) | ((bytes >> 8) & 0xFF00);
    }
    SF_INLINE static I Dot(I a1, I b1, I a2, I b2) {
        const I low = _mm256_madd_epi16(_mm256_unpacklo_epi16(a1, a2), _mm256_unpacklo_epi16(b1, b2));
        const I high = _mm256_madd_epi16(_mm256_unpackhi_epi16(a1, a2), _mm256_unpackhi_epi16(b1, b2));
        return _mm256_packs_epi32(low, high);  // the unpacks' order undone within each half
    }
};

// Sixteen pixels as 16-bit lanes.
SF_INLINE __m256i Load16Wide(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Byte shuffles between 16 interleaved R, G, B pixels (three blocks of 16 bytes) and the three
// planes of 16 bytes; vpshufb works within each 128-bit half, so a 256-bit register carries two such
// groups of 16 pixels side by side.
struct ShuffleMasks {
    int8_t split[3][3][16];  // [channel][block]: plane bytes taken from that block (-128: none)
    int8_t join[3][3][16];   // [block][channel]: block bytes taken from that plane
};

constexpr ShuffleMasks MakeShuffleMasks() {
    ShuffleMasks masks{};
    for (int32_t channel = 0; channel < 3; ++channel) {
        for (int32_t block = 0; block < 3; ++block) {
            for (int32_t i = 0; i < 16; ++i) {
                const int32_t byte = 3 * i + channel;
                masks.split[channel][block][i] = int8_t(byte / 16 == block ? byte % 16 : -128);
                const int32_t joined = 16 * block + i;
                masks.join[block][channel][i] = int8_t(joined % 3 == channel ? joined / 3 : -128);
            }
        }
    }
    return masks;
}

constexpr ShuffleMasks kShuffles = MakeShuffleMasks();

SF_INLINE __m256i Mask(const int8_t* bytes) {
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)));
}

// The planes of the 32 pixels at rgb: pixels 0-15 in the low halves, 16-31 in the high ones.
SF_INLINE void SplitPixels32(const uint8_t* rgb, __m256i plane[3]) {
    __m256i block[3];
    for (int32_t b = 0; b < 3; ++b) {
        block[b] = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb + 16 * b))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb + 48 + 16 * b)), 1);
    }
    for (int32_t c = 0; c < 3; ++c) {
        plane[c] = _mm256_or_si256(
            _mm256_or_si256(_mm256_shuffle_epi8(block[0], Mask(kShuffles.split[c][0])),
                            _mm256_shuffle_epi8(block[1], Mask(kShuffles.split[c][1]))),
            _mm256_shuffle_epi8(block[2], Mask(kShuffles.split[c][2])));
    }
}

SF_INLINE void JoinPixels32(const __m256i plane[3], uint8_t* rgb) {
    for (int32_t b = 0; b < 3; ++b) {
        const __m256i block = _mm256_or_si256(
            _mm256_or_si256(_mm256_shuffle_epi8(plane[0], Mask(kShuffles.join[b][0])),
                            _mm256_shuffle_epi8(plane[1], Mask(kShuffles.join[b][1]))),
            _mm256_shuffle_epi8(plane[2], Mask(kShuffles.join[b][2])));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb + 16 * b), _mm256_castsi256_si128(block));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb + 48 + 16 * b), _mm256_extracti128_si256(block, 1));
    }
}

// x div 3 and x div 2 truncated toward zero, of 16-bit lanes: the high half of x times 21846
// is floor(x / 3 + x / 98304), which is floor(x / 3) for |x| < 32768; a negative x then moves up
// by one.
SF_INLINE __m256i ThirdTowardZero(__m256i x) {
    return _mm256_sub_epi16(_mm256_mulhi_epi16(x, _mm256_set1_epi16(21846)), _mm256_srai_epi16(x, 15));
}

SF_INLINE __m256i HalfTowardZero(__m256i x) {
    return _mm256_srai_epi16(_mm256_sub_epi16(x, _mm256_srai_epi16(x, 15)), 1);
}

// The pixels (planes r, g, b as 16-bit lanes) at the new level: red = level + t/3 + u/2, green =
// level + t/3 - u/2, blue = level - 2t/3 with u = r - g and t = (r + g) div 2 - b, which keeps the
// two colour differences; clamped to 0..255 by the caller's saturating pack.
SF_INLINE void Relevel16(__m256i level, __m256i r, __m256i g, __m256i b, __m256i out[3]) {
    const __m256i u = HalfTowardZero(_mm256_sub_epi16(r, g));
    const __m256i t = _mm256_sub_epi16(_mm256_srli_epi16(_mm256_add_epi16(r, g), 1), b);
    const __m256i third = ThirdTowardZero(t);
    out[0] = _mm256_add_epi16(_mm256_add_epi16(level, third), u);
    out[1] = _mm256_sub_epi16(_mm256_add_epi16(level, third), u);
    out[2] = _mm256_sub_epi16(level, ThirdTowardZero(_mm256_add_epi16(t, t)));
}

// The 32 pixels at rgb take the levels (32 bytes) with their colour differences kept.
SF_INLINE void Relevel32(__m256i level, const __m256i plane[3], __m256i result[3]) {
    const __m256i zero = _mm256_setzero_si256();
    __m256i low[3], high[3];
    Relevel16(_mm256_unpacklo_epi8(level, zero), _mm256_unpacklo_epi8(plane[0], zero),
              _mm256_unpacklo_epi8(plane[1], zero), _mm256_unpacklo_epi8(plane[2], zero), low);
    Relevel16(_mm256_unpackhi_epi8(level, zero), _mm256_unpackhi_epi8(plane[0], zero),
              _mm256_unpackhi_epi8(plane[1], zero), _mm256_unpackhi_epi8(plane[2], zero), high);
    for (int32_t c = 0; c < 3; ++c) result[c] = _mm256_packus_epi16(low[c], high[c]);
}

// floor(sqrt(min(q, 325125) / 5)) of eight non-negative q below 2^24 (see pattern_sse2.cpp).
SF_INLINE __m256i RootOfFifth(__m256i q) {
    const __m256 one = _mm256_set1_ps(1.0f), five = _mm256_set1_ps(5.0f);
    const __m256 qf = _mm256_min_ps(_mm256_cvtepi32_ps(q), _mm256_set1_ps(325125.0f));
    __m256 m = _mm256_cvtepi32_ps(_mm256_cvttps_epi32(_mm256_sqrt_ps(_mm256_mul_ps(qf, _mm256_set1_ps(0.2f)))));
    const __m256 over = _mm256_cmp_ps(_mm256_mul_ps(_mm256_mul_ps(five, m), m), qf, _CMP_GT_OQ);
    m = _mm256_sub_ps(m, _mm256_and_ps(over, one));
    const __m256 next = _mm256_add_ps(m, one);
    const __m256 under = _mm256_cmp_ps(_mm256_mul_ps(_mm256_mul_ps(five, next), next), qf, _CMP_LE_OQ);
    m = _mm256_add_ps(m, _mm256_and_ps(under, one));
    return _mm256_cvttps_epi32(m);
}

// The roots of the sixteen pixels from column x on, as 16-bit lanes in pixel order.
SF_INLINE __m256i SobelRoots16(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t x) {
    const __m256i nw = Load16Wide(above + x - 1), n = Load16Wide(above + x), ne = Load16Wide(above + x + 1);
    const __m256i w = Load16Wide(middle + x - 1), e = Load16Wide(middle + x + 1);
    const __m256i sw = Load16Wide(below + x - 1), s = Load16Wide(below + x), se = Load16Wide(below + x + 1);
    const __m256i gx = _mm256_sub_epi16(_mm256_add_epi16(_mm256_add_epi16(ne, se), _mm256_add_epi16(e, e)),
                                        _mm256_add_epi16(_mm256_add_epi16(nw, sw), _mm256_add_epi16(w, w)));
    const __m256i gy = _mm256_sub_epi16(_mm256_add_epi16(_mm256_add_epi16(nw, ne), _mm256_add_epi16(n, n)),
                                        _mm256_add_epi16(_mm256_add_epi16(sw, se), _mm256_add_epi16(s, s)));
    // The unpacks and the pack work within each 128-bit half and undo each other's order.
    const __m256i low = _mm256_unpacklo_epi16(gx, gy), high = _mm256_unpackhi_epi16(gx, gy);
    return _mm256_packs_epi32(RootOfFifth(_mm256_madd_epi16(low, low)), RootOfFifth(_mm256_madd_epi16(high, high)));
}

void SkinnyGradientAvx2(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                                int32_t width) {
    const __m256i white = _mm256_set1_epi8(char(255));
    int32_t x = 1;
    for (; x + 32 <= width + 1; x += 32) {
        const __m256i first = SobelRoots16(above, middle, below, x), second = SobelRoots16(above, middle, below, x + 16);
        const __m256i roots = _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_sub_epi8(white, roots));
    }
    for (; x <= width; ++x) out[x] = SkinnyGradientAt(above, middle, below, x);
}

int32_t SkinnyThinningAvx2(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                                   int32_t width, int64_t* removals) {
    const __m256i lastEdge = _mm256_set1_epi8(char(kBackgroundLevel - 1)), white = _mm256_set1_epi8(char(255));
    int32_t changed = 0;
    int32_t x = 1;
    for (; x + 32 <= width + 1; x += 32) {
        const __m256i p = Load32(middle + x);
        const __m256i edge = _mm256_cmpeq_epi8(_mm256_min_epu8(p, lastEdge), p);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_or_si256(p, _mm256_andnot_si256(edge, white)));
        const uint32_t edges = uint32_t(_mm256_movemask_epi8(edge));
        const uint32_t whites = uint32_t(_mm256_movemask_epi8(_mm256_cmpeq_epi8(p, white)));
        changed |= (edges | whites) != 0xFFFFFFFFu;
        uint32_t removed = 0;
        if ((edges & 0xFFFF) != 0) removed = RemovedInGroup<Thinning256>(above, middle, below, x);
        if ((edges >> 16) != 0) removed |= RemovedInGroup<Thinning256>(above, middle, below, x + 16) << 16;
        for (uint32_t open = removed; open != 0; open &= open - 1) out[x + __builtin_ctz(open)] = 255;
        if (removed != 0) {
            *removals += __builtin_popcount(removed);
            changed = 1;
        }
    }
    changed |= SkinnyThinningColumns(above, middle, below, out, x, width, removals);
    return changed;
}

// 58 u + 41 w of sixteen 16-bit lane pairs, as two sets of eight 32-bit lanes (the first holding
// pixels 0-3 and 8-11, the second 4-7 and 12-15).
SF_INLINE void RootTwoSum(__m256i u, __m256i w, __m256i* low, __m256i* high) {
    const __m256i weights = _mm256_set1_epi32((41 << 16) | 58);
    *low = _mm256_madd_epi16(_mm256_unpacklo_epi16(u, w), weights);
    *high = _mm256_madd_epi16(_mm256_unpackhi_epi16(u, w), weights);
}

// a^2 + b^2 of sixteen 16-bit lane pairs, in the lanes of RootTwoSum.
SF_INLINE void SquarePairs(__m256i a, __m256i b, __m256i* low, __m256i* high) {
    const __m256i l = _mm256_unpacklo_epi16(a, b), h = _mm256_unpackhi_epi16(a, b);
    *low = _mm256_madd_epi16(l, l);
    *high = _mm256_madd_epi16(h, h);
}

// F^2 of eight 32-bit lanes, in single precision.
SF_INLINE __m256 SquareOf(__m256i f) {
    const __m256 v = _mm256_cvtepi32_ps(f);
    return _mm256_mul_ps(v, v);
}

// The values of eight estimates f of the ratio (EdgeRatioEstimateValue), and in *open the lanes
// too near a step to tell.
SF_INLINE __m256i EstimateValues(__m256 f, __m256i* open) {
    const __m256i bits = _mm256_castps_si256(f);
    const __m256i bucket = _mm256_max_epi32(
        _mm256_sub_epi32(_mm256_srli_epi32(bits, 16), _mm256_set1_epi32(int32_t(kEdgeRatioEstimateFirst) - 1)),
        _mm256_setzero_si256());
    const __m256i entry =
        _mm256_i32gather_epi32(reinterpret_cast<const int*>(kEdgeRatioEstimateSteps.entry), bucket, 4);
    const __m256i offset = _mm256_sub_epi32(_mm256_and_si256(bits, _mm256_set1_epi32(0xFFFF)),
                                            _mm256_and_si256(entry, _mm256_set1_epi32(0xFFFFFF)));
    *open = _mm256_cmpgt_epi32(_mm256_set1_epi32(kEdgeRatioEstimateMargin + 1), _mm256_abs_epi32(offset));
    // base, plus 1 beyond the step (the comparison gives -1 there).
    return _mm256_sub_epi32(_mm256_srli_epi32(entry, 24), _mm256_cmpgt_epi32(offset, _mm256_setzero_si256()));
}

// The ratio is estimated in single precision and its value read from the estimate table; the
// few pixels whose estimate lies too near a step get the plain double arithmetic. The estimate
// squares F1..F4 in floats (F^2 rounded, the responses themselves exact), sums the other five
// squares exactly in integers (below 2^24 together) and rounds at most 11 times, each by at most
// 2^-24 of a positive quantity: within the 2^-20 that the estimate table allows.
void FineEdgeShareAvx2(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                               int32_t width) {
    const __m256 k = _mm256_set1_ps(kMaskScale), one = _mm256_set1_ps(1.0f);
    const __m256i zero = _mm256_setzero_si256();
    int32_t x = 1;
    for (; x + 16 <= width + 1; x += 16) {
        const __m256i nw = Load16Wide(above + x - 1), n = Load16Wide(above + x), ne = Load16Wide(above + x + 1);
        const __m256i w = Load16Wide(middle + x - 1), p = Load16Wide(middle + x), e = Load16Wide(middle + x + 1);
        const __m256i sw = Load16Wide(below + x - 1), s = Load16Wide(below + x), se = Load16Wide(below + x + 1);
        // The four edge and line responses in 32-bit lanes; F5..F9 fit 16 bits, and the sum of
        // their squares 32.
        __m256i f[4][2], others[2];
        RootTwoSum(_mm256_sub_epi16(s, n), _mm256_sub_epi16(_mm256_add_epi16(sw, se), _mm256_add_epi16(nw, ne)),
                   &f[0][0], &f[0][1]);
        RootTwoSum(_mm256_sub_epi16(e, w), _mm256_sub_epi16(_mm256_add_epi16(ne, se), _mm256_add_epi16(nw, sw)),
                   &f[1][0], &f[1][1]);
        RootTwoSum(_mm256_sub_epi16(ne, sw), _mm256_sub_epi16(_mm256_add_epi16(w, s), _mm256_add_epi16(n, e)),
                   &f[2][0], &f[2][1]);
        RootTwoSum(_mm256_sub_epi16(nw, se), _mm256_sub_epi16(_mm256_add_epi16(e, s), _mm256_add_epi16(n, w)),
                   &f[3][0], &f[3][1]);
        {
            const __m256i sides = _mm256_add_epi16(_mm256_add_epi16(n, s), _mm256_add_epi16(e, w));
            const __m256i corners = _mm256_add_epi16(_mm256_add_epi16(nw, ne), _mm256_add_epi16(sw, se));
            const __m256i p4 = _mm256_slli_epi16(p, 2);
            const __m256i f5 = _mm256_sub_epi16(_mm256_add_epi16(n, e), _mm256_add_epi16(s, w));
            const __m256i f6 = _mm256_sub_epi16(_mm256_add_epi16(_mm256_add_epi16(ne, sw), se), nw);
            const __m256i f7 = _mm256_sub_epi16(_mm256_add_epi16(corners, p4), _mm256_add_epi16(sides, sides));
            const __m256i f8 = _mm256_sub_epi16(_mm256_add_epi16(sides, p4), _mm256_add_epi16(corners, corners));
            const __m256i f9 = _mm256_add_epi16(_mm256_add_epi16(sides, corners), p);
            __m256i a[2], b[2], c[2];
            SquarePairs(f9, f5, &a[0], &a[1]);
            SquarePairs(f6, f7, &b[0], &b[1]);
            SquarePairs(f8, zero, &c[0], &c[1]);
            for (int32_t set = 0; set < 2; ++set) others[set] = _mm256_add_epi32(_mm256_add_epi32(a[set], b[set]), c[set]);
        }

        __m256i values[2], open[2];
        for (int32_t set = 0; set < 2; ++set) {
            const __m256 edge = _mm256_mul_ps(_mm256_add_ps(SquareOf(f[0][set]), SquareOf(f[1][set])), k);
            const __m256 lines = _mm256_mul_ps(_mm256_add_ps(SquareOf(f[2][set]), SquareOf(f[3][set])), k);
            // A total that is not 0 is at least F9^2 >= 1; an empty pattern takes 1.
            const __m256 total =
                _mm256_max_ps(_mm256_add_ps(_mm256_add_ps(edge, lines), _mm256_cvtepi32_ps(others[set])), one);
            values[set] = EstimateValues(_mm256_div_ps(edge, total), &open[set]);
        }
        // The packs undo the unpacks' order within each half; the permutation joins the halves.
        const __m256i bytes = _mm256_packus_epi16(_mm256_packs_epi32(values[0], values[1]), zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x),
                         _mm256_castsi256_si128(_mm256_permute4x64_epi64(bytes, 0xD8)));
        const __m256i openBytes = _mm256_packs_epi16(_mm256_packs_epi32(open[0], open[1]), zero);
        uint32_t unsettled =
            uint32_t(_mm_movemask_epi8(_mm256_castsi256_si128(_mm256_permute4x64_epi64(openBytes, 0xD8))));
        for (; unsettled != 0; unsettled &= unsettled - 1) {
            const int32_t at = x + __builtin_ctz(unsettled);
            out[at] = uint8_t(EdgeRatioValue(EdgeEnergyRatioAt(above, middle, below, at)));
        }
    }
    for (; x <= width; ++x) out[x] = uint8_t(EdgeRatioValue(EdgeEnergyRatioAt(above, middle, below, x)));
}

// (R + G + B + 1) div 3 of 16-bit lanes: the high half of the sum (at most 766) times 21846 is
// floor(sum / 3 + sum / 98304), which is floor(sum / 3).
void GreyOfRgbAvx2(const uint8_t* rgb, uint8_t* grey, int32_t width) {
    const __m256i zero = _mm256_setzero_si256(), oneThird = _mm256_set1_epi16(21846), one = _mm256_set1_epi16(1);
    int32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        __m256i plane[3];
        SplitPixels32(rgb + 3 * x, plane);
        __m256i half[2];
        for (int32_t h = 0; h < 2; ++h) {
            const __m256i r = h ? _mm256_unpackhi_epi8(plane[0], zero) : _mm256_unpacklo_epi8(plane[0], zero);
            const __m256i g = h ? _mm256_unpackhi_epi8(plane[1], zero) : _mm256_unpacklo_epi8(plane[1], zero);
            const __m256i b = h ? _mm256_unpackhi_epi8(plane[2], zero) : _mm256_unpacklo_epi8(plane[2], zero);
            const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(r, g), _mm256_add_epi16(b, one));
            half[h] = _mm256_mulhi_epu16(sum, oneThird);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(grey + x), _mm256_packus_epi16(half[0], half[1]));
    }
    GreyOfRgbLoop(rgb + 3 * x, grey + x, width - x);
}


void SkinnyOutputGreyAvx2(const uint8_t* thinned, uint8_t* grey, int32_t width) {
    SkinnyOutputGreyLoop(thinned, grey, width);
}

// Most of the picture is background: 32 pixels without a line pixel become white at once.
void SkinnyOutputRgbAvx2(const uint8_t* thinned, uint8_t* rgb, int32_t width) {
    const __m256i background = _mm256_set1_epi8(char(kBackgroundLevel)), white = _mm256_set1_epi8(char(255));
    int32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        const __m256i c = Load32(thinned + x);
        const __m256i isBackground = _mm256_cmpeq_epi8(_mm256_max_epu8(c, background), c);
        uint8_t* pixels = rgb + 3 * x;
        if (uint32_t(_mm256_movemask_epi8(isBackground)) == 0xFFFFFFFFu) {
            __m256i* out = reinterpret_cast<__m256i*>(pixels);
            _mm256_storeu_si256(out, white);
            _mm256_storeu_si256(out + 1, white);
            _mm256_storeu_si256(out + 2, white);
            continue;
        }
        __m256i plane[3], result[3];
        SplitPixels32(pixels, plane);
        Relevel32(c, plane, result);
        for (int32_t ch = 0; ch < 3; ++ch) result[ch] = _mm256_or_si256(result[ch], isBackground);
        JoinPixels32(result, pixels);
    }
    SkinnyOutputRgbLoop(thinned + x, rgb + 3 * x, width - x);
}

void FineOutputGreyAvx2(const uint8_t* edges, uint8_t* grey, int32_t width) {
    FineOutputGreyLoop(edges, grey, width);
}

void FineOutputRgbAvx2(const uint8_t* edges, uint8_t* rgb, int32_t width) {
    const __m256i white = _mm256_set1_epi8(char(255));
    int32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        __m256i plane[3], result[3];
        SplitPixels32(rgb + 3 * x, plane);
        Relevel32(_mm256_sub_epi8(white, Load32(edges + x)), plane, result);
        JoinPixels32(result, rgb + 3 * x);
    }
    FineOutputRgbLoop(edges + x, rgb + 3 * x, width - x);
}

constexpr PatternKernels kAvx2Kernels = {
    kKernelAvx2,
    GreyOfRgbAvx2,     SkinnyGradientAvx2,   SkinnyThinningAvx2, SkinnyOutputGreyAvx2, SkinnyOutputRgbAvx2,
    FineEdgeShareAvx2, FineOutputGreyAvx2,   FineOutputRgbAvx2,
};

}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// Compiled for the baseline processor: the choice calls it before it knows the level is there.
const PatternKernels* Avx2PatternKernels(void) { return &kAvx2Kernels; }

#else

const PatternKernels* Avx2PatternKernels(void) { return nullptr; }

#endif

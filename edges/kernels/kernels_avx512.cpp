// The AVX-512 level of both kernel families (64-bit builds). Every standard header comes first;
// everything after the target switch below is compiled for AVX-512 (F, BW, DQ, VL) and has
// internal linkage, so no AVX-512 instruction can reach a processor without it: the choice
// (kernels_sse2.cpp) hands these tables out only when KernelLevel() reports that level. (The
// Windows builds assemble this file with unaligned vector moves: their compiler cannot align the
// stack for 64-byte spills.)
#include "edges/kernels/gradient.h"
#include "edges/kernels/pattern.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <cmath>
#include <cstdint>

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

#include "edges/kernels/vector_pattern.h"

namespace {

// Interleaved R, G, B pixels to channel vectors and back, 32 at a time, by word permutations only
// (no byte permutation, which needs VBMI). SplitPixels32 widens the 96 bytes at `rgb` to words,
// one vector of 32 lanes per channel, lane L holding pixel L; JoinPixels32 does the reverse,
// saturating each lane to 0..255.
// Splitting: lane L of channel c is word 3 L + c, taken from the first two word vectors by a
// two-source permutation when it lies there and from the third under `fromThird`. Joining: word j
// of output vector k is lane (32 k + j) div 3 of channel (32 k + j) mod 3, from red or green by a
// two-source permutation and from blue under `fromBlue`.
struct PixelWords {
    uint16_t split[3][32];
    uint16_t splitThird[3][32];
    uint32_t fromThird[3];
    uint16_t join[3][32];
    uint16_t joinBlue[3][32];
    uint32_t fromBlue[3];
};

constexpr PixelWords MakePixelWords() {
    PixelWords w{};
    for (int32_t c = 0; c < 3; ++c) {
        for (int32_t lane = 0; lane < 32; ++lane) {
            const int32_t word = 3 * lane + c;
            if (word < 64) {
                w.split[c][lane] = uint16_t(word);
            } else {
                w.splitThird[c][lane] = uint16_t(word - 64);
                w.fromThird[c] |= 1u << lane;
            }
        }
    }
    for (int32_t k = 0; k < 3; ++k) {
        for (int32_t j = 0; j < 32; ++j) {
            const int32_t word = 32 * k + j, channel = word % 3, lane = word / 3;
            if (channel == 2) {
                w.joinBlue[k][j] = uint16_t(lane);
                w.fromBlue[k] |= 1u << j;
            } else {
                w.join[k][j] = uint16_t(channel == 0 ? lane : 32 + lane);
            }
        }
    }
    return w;
}

constexpr PixelWords kPixelWords = MakePixelWords();

inline KERNEL_INLINE __m512i PixelWordsOf(const uint16_t (&words)[32]) {
    return _mm512_loadu_si512(words);
}

inline KERNEL_INLINE __m512i WidenBytes32(const uint8_t* p) {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}

// 32 words saturated to 0..255 as bytes.
inline KERNEL_INLINE void NarrowWords32(uint8_t* p, __m512i words) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p),
                        _mm512_cvtusepi16_epi8(_mm512_max_epi16(words, _mm512_setzero_si512())));
}

inline KERNEL_INLINE void SplitPixels32(const uint8_t* rgb, __m512i plane[3]) {
    const __m512i first = WidenBytes32(rgb), second = WidenBytes32(rgb + 32), third = WidenBytes32(rgb + 64);
    for (int32_t c = 0; c < 3; ++c) {
        const __m512i twoSources = _mm512_permutex2var_epi16(first, PixelWordsOf(kPixelWords.split[c]), second);
        plane[c] = _mm512_mask_permutexvar_epi16(twoSources, __mmask32(kPixelWords.fromThird[c]),
                                                 PixelWordsOf(kPixelWords.splitThird[c]), third);
    }
}

inline KERNEL_INLINE void JoinPixels32(const __m512i plane[3], uint8_t* rgb) {
    for (int32_t k = 0; k < 3; ++k) {
        const __m512i redGreen = _mm512_permutex2var_epi16(plane[0], PixelWordsOf(kPixelWords.join[k]), plane[1]);
        const __m512i joined = _mm512_mask_permutexvar_epi16(redGreen, __mmask32(kPixelWords.fromBlue[k]),
                                                             PixelWordsOf(kPixelWords.joinBlue[k]), plane[2]);
        NarrowWords32(rgb + 32 * k, joined);
    }
}

// AVX-512 operations for vector_*.h: thirty-two 16-bit lanes per group, floats in two halves of
// sixteen, fused multiply-adds, comparisons straight into bit masks. Unpacking and packing work
// within each 128-bit quarter, which the lane order of vector_rows.h allows for.
struct V512 {
    using I = __m512i;
    using F = __m512;
    static constexpr int32_t kLanes = 32;
    static constexpr int32_t kFloats = 16;
    static constexpr int32_t kRoundingsPerTerm = 1;

    static I Set16(int16_t v) { return _mm512_set1_epi16(v); }
    static I Widen(const uint8_t* p) { return WidenBytes32(p); }
    // Saturated to 0..255 as the SSE2 level's unsigned pack does.
    static void Narrow(uint8_t* p, I a) { NarrowWords32(p, a); }
    static I Load32(const int32_t* p) { return _mm512_loadu_si512(p); }
    static void Store32(int32_t* p, I a) { _mm512_storeu_si512(p, a); }

    static I Add16(I a, I b) { return _mm512_add_epi16(a, b); }
    static I Sub16(I a, I b) { return _mm512_sub_epi16(a, b); }
    static I Max16(I a, I b) { return _mm512_max_epi16(a, b); }
    static I Min16(I a, I b) { return _mm512_min_epi16(a, b); }
    static I Abs16(I a) { return _mm512_abs_epi16(a); }
    static I Slli16(I a, int n) { return _mm512_slli_epi16(a, unsigned(n)); }
    static I Srli16(I a, int n) { return _mm512_srli_epi16(a, unsigned(n)); }
    static I Srai16(I a, int n) { return _mm512_srai_epi16(a, unsigned(n)); }
    static I Mulhi16(I a, I b) { return _mm512_mulhi_epi16(a, b); }
    static I MulhiU16(I a, I b) { return _mm512_mulhi_epu16(a, b); }
    static I Madd(I a, I b) { return _mm512_madd_epi16(a, b); }
    static I UnpackLo16(I a, I b) { return _mm512_unpacklo_epi16(a, b); }
    static I UnpackHi16(I a, I b) { return _mm512_unpackhi_epi16(a, b); }
    static I Packs32(I a, I b) { return _mm512_packs_epi32(a, b); }
    // Two halves of sixteen 32-bit values in sample order to 32 saturated 16-bit values.
    static I Pack32(I a, I b) {
        return _mm512_inserti64x4(_mm512_castsi256_si512(_mm512_cvtsepi32_epi16(a)), _mm512_cvtsepi32_epi16(b), 1);
    }

    using M = __mmask32;
    static M Gt16(I a, I b) { return _mm512_cmpgt_epi16_mask(a, b); }
    static M Eq16(I a, I b) { return _mm512_cmpeq_epi16_mask(a, b); }
    static M And(M a, M b) { return M(a & b); }
    static M Or(M a, M b) { return M(a | b); }
    static M AndNot(M a, M b) { return M(~a & b); }
    static I Count(I count, M mask) { return _mm512_mask_add_epi16(count, mask, count, _mm512_set1_epi16(1)); }
    static I Select(M mask, I a, I b) { return _mm512_mask_blend_epi16(mask, a, b); }
    static uint32_t Bits(M mask) { return uint32_t(mask); }

    static I Set32(int32_t v) { return _mm512_set1_epi32(v); }
    static I Add32(I a, I b) { return _mm512_add_epi32(a, b); }
    static I Sub32(I a, I b) { return _mm512_sub_epi32(a, b); }
    static I Srli32(I a, int n) { return _mm512_srli_epi32(a, unsigned(n)); }
    static I Srai32(I a, int n) { return _mm512_srai_epi32(a, unsigned(n)); }
    static I AndV(I a, I b) { return _mm512_and_si512(a, b); }
    static I Gt32(I a, I b) { return _mm512_movm_epi32(_mm512_cmpgt_epi32_mask(a, b)); }
    static I Max32(I a, I b) { return _mm512_max_epi32(a, b); }
    static I Abs32(I a) { return _mm512_abs_epi32(a); }
    static I Gather32(const uint32_t* table, I index) { return _mm512_i32gather_epi32(index, table, 4); }
    static uint32_t MaskEq32(I a, I b) { return uint32_t(_mm512_cmpeq_epi32_mask(a, b)); }

    static F SetF(float v) { return _mm512_set1_ps(v); }
    static F LoadF(const float* p) { return _mm512_loadu_ps(p); }
    static void StoreF(float* p, F a) { _mm512_storeu_ps(p, a); }
    static F CvtF(I a) { return _mm512_cvtepi32_ps(a); }
    static I CvttI(F a) { return _mm512_cvttps_epi32(a); }
    static void FloatsOf16(I a, F halves[2]) {
        halves[0] = _mm512_cvtepi32_ps(_mm512_cvtepi16_epi32(_mm512_castsi512_si256(a)));
        halves[1] = _mm512_cvtepi32_ps(_mm512_cvtepi16_epi32(_mm512_extracti64x4_epi64(a, 1)));
    }
    static F AddF(F a, F b) { return _mm512_add_ps(a, b); }
    static F SubF(F a, F b) { return _mm512_sub_ps(a, b); }
    static F MulF(F a, F b) { return _mm512_mul_ps(a, b); }
    static F DivF(F a, F b) { return _mm512_div_ps(a, b); }
    static F MaxF(F a, F b) { return _mm512_max_ps(a, b); }
    static I BitsOfF(F a) { return _mm512_castps_si512(a); }
    static F FmaF(F a, F b, F c) { return _mm512_fmadd_ps(a, b, c); }
    static F OrF(F a, F b) { return _mm512_or_ps(a, b); }
    static F SqrtF(F a) { return _mm512_sqrt_ps(a); }
    static uint32_t MaskEqF(F a, F b) { return uint32_t(_mm512_cmp_ps_mask(a, b, _CMP_EQ_OQ)); }
    static uint32_t MaskGeF(F a, F b) { return uint32_t(_mm512_cmp_ps_mask(a, b, _CMP_GE_OQ)); }

    static constexpr int32_t kPixelGroup = 32;
    static constexpr int32_t kPixelVectors = 1;
    static void LoadPixels(const uint8_t* rgb, I r[1], I g[1], I b[1]) {
        I planes[3];
        SplitPixels32(rgb, planes);
        r[0] = planes[0];
        g[0] = planes[1];
        b[0] = planes[2];
    }
    static void StorePixels(uint8_t* rgb, const I r[1], const I g[1], const I b[1]) {
        const I planes[3] = {r[0], g[0], b[0]};
        JoinPixels32(planes, rgb);
    }
};

constexpr GradientKernels kGradientKernels = MakeGradientKernels<V512>(kKernelAvx512);
constexpr PatternKernels kPatternKernels = MakePatternKernels<V512>(kKernelAvx512);

}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// Compiled for the baseline processor: the choice calls them before it knows the level is there.
const GradientKernels* Avx512GradientKernels(void) { return &kGradientKernels; }
const PatternKernels* Avx512PatternKernels(void) { return &kPatternKernels; }

#else

const GradientKernels* Avx512GradientKernels(void) { return nullptr; }
const PatternKernels* Avx512PatternKernels(void) { return nullptr; }

#endif

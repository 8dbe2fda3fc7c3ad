// The AVX2 level of both kernel families. Every standard header comes first; everything after
// the target switch below is compiled for AVX2 and has internal linkage, so no AVX2 instruction
// can reach a processor without it: the choice (kernels_sse2.cpp) hands these tables out only when
// the processor reports AVX2 and FMA. (The Windows builds assemble this file with unaligned vector
// moves: their compiler cannot align the stack for 32-byte spills.)
#include "edges/kernels/gradient.h"
#include "edges/kernels/pattern.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include <cmath>
#include <cstdint>

#include "edges/fine_detail.h"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,fma"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#endif

#include "edges/kernels/vector_pattern.h"

namespace {

// Shuffle masks for 16 pixels: `first` covers bytes 0..15 (low half) and 24..39 (high half) of the
// 48, `second` bytes 8..23 and 32..47; 0x80 yields a zero byte.
struct PixelMasks {
    uint8_t first[3][32];
    uint8_t second[3][32];
};

// Splitting: 16-bit lane L of channel c takes byte 3 L + c from whichever piece holds it.
constexpr PixelMasks MakeSplitMasks() {
    PixelMasks m{};
    for (int32_t c = 0; c < 3; ++c) {
        for (int32_t i = 0; i < 32; ++i) m.first[c][i] = m.second[c][i] = 0x80;
        for (int32_t lane = 0; lane < 16; ++lane) {
            const int32_t byte = 3 * lane + c, half = lane / 8, at = 16 * half + 2 * (lane % 8);
            const int32_t firstStart = half == 0 ? 0 : 24, secondStart = half == 0 ? 8 : 32;
            if (byte < firstStart + 16) {
                m.first[c][at] = uint8_t(byte - firstStart);
            } else {
                m.second[c][at] = uint8_t(byte - secondStart);
            }
        }
    }
    return m;
}

// Joining: output byte 3 p + c of a piece is the low byte of lane p of channel c.
constexpr PixelMasks MakeJoinMasks() {
    PixelMasks m{};
    for (int32_t c = 0; c < 3; ++c) {
        for (int32_t i = 0; i < 32; ++i) {
            const int32_t half = i / 16, firstByte = (half == 0 ? 0 : 24) + i % 16,
                          secondByte = (half == 0 ? 8 : 32) + i % 16;
            m.first[c][i] = firstByte % 3 == c ? uint8_t(2 * (firstByte / 3 % 8)) : 0x80;
            m.second[c][i] = secondByte % 3 == c ? uint8_t(2 * (secondByte / 3 % 8)) : 0x80;
        }
    }
    return m;
}

constexpr PixelMasks kSplitMasks = MakeSplitMasks();
constexpr PixelMasks kJoinMasks = MakeJoinMasks();

// AVX2 operations for vector_*.h: sixteen 16-bit lanes per group, floats in two halves of
// eight, fused multiply-adds. Unpacking and packing work within each 128-bit half, which the lane
// order of vector_rows.h allows for.
struct V256 {
    using I = __m256i;
    using F = __m256;
    static constexpr int32_t kLanes = 16;
    static constexpr int32_t kFloats = 8;
    static constexpr int32_t kRoundingsPerTerm = 1;

    static I Set16(int16_t v) { return _mm256_set1_epi16(v); }
    static I Widen(const uint8_t* p) {
        return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    static void Narrow(uint8_t* p, I a) {
        const __m128i bytes = _mm_packus_epi16(_mm256_castsi256_si128(a), _mm256_extracti128_si256(a, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), bytes);
    }
    static I Load32(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
    static void Store32(int32_t* p, I a) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), a); }

    static I Add16(I a, I b) { return _mm256_add_epi16(a, b); }
    static I Sub16(I a, I b) { return _mm256_sub_epi16(a, b); }
    static I Max16(I a, I b) { return _mm256_max_epi16(a, b); }
    static I Min16(I a, I b) { return _mm256_min_epi16(a, b); }
    static I Abs16(I a) { return _mm256_abs_epi16(a); }
    static I Slli16(I a, int n) { return _mm256_slli_epi16(a, n); }
    static I Srli16(I a, int n) { return _mm256_srli_epi16(a, n); }
    static I Srai16(I a, int n) { return _mm256_srai_epi16(a, n); }
    static I Mulhi16(I a, I b) { return _mm256_mulhi_epi16(a, b); }
    static I MulhiU16(I a, I b) { return _mm256_mulhi_epu16(a, b); }
    static I Madd(I a, I b) { return _mm256_madd_epi16(a, b); }
    static I UnpackLo16(I a, I b) { return _mm256_unpacklo_epi16(a, b); }
    static I UnpackHi16(I a, I b) { return _mm256_unpackhi_epi16(a, b); }
    static I Packs32(I a, I b) { return _mm256_packs_epi32(a, b); }
    static I Pack32(I a, I b) { return _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8); }

    using M = __m256i;  // all ones in a true lane
    static M Gt16(I a, I b) { return _mm256_cmpgt_epi16(a, b); }
    static M Eq16(I a, I b) { return _mm256_cmpeq_epi16(a, b); }
    static M And(M a, M b) { return _mm256_and_si256(a, b); }
    static M Or(M a, M b) { return _mm256_or_si256(a, b); }
    static M AndNot(M a, M b) { return _mm256_andnot_si256(a, b); }
    static I Count(I count, M mask) { return _mm256_sub_epi16(count, mask); }
    static I Select(M mask, I a, I b) { return _mm256_blendv_epi8(a, b, mask); }
    static uint32_t Bits(M mask) {
        const uint32_t bytes = uint32_t(_mm256_movemask_epi8(_mm256_packs_epi16(mask, mask)));
        return (bytes & 0xFF) | ((bytes >> 8) & 0xFF00);
    }

    static I Set32(int32_t v) { return _mm256_set1_epi32(v); }
    static I Add32(I a, I b) { return _mm256_add_epi32(a, b); }
    static I Sub32(I a, I b) { return _mm256_sub_epi32(a, b); }
    static I Srli32(I a, int n) { return _mm256_srli_epi32(a, n); }
    static I Srai32(I a, int n) { return _mm256_srai_epi32(a, n); }
    static I AndV(I a, I b) { return _mm256_and_si256(a, b); }
    static I Gt32(I a, I b) { return _mm256_cmpgt_epi32(a, b); }
    static I Max32(I a, I b) { return _mm256_max_epi32(a, b); }
    static I Abs32(I a) { return _mm256_abs_epi32(a); }
    static I Gather32(const uint32_t* table, I index) {
        return _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 4);
    }
    static uint32_t MaskEq32(I a, I b) {
        return _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(a, b)));
    }

    static F SetF(float v) { return _mm256_set1_ps(v); }
    static F LoadF(const float* p) { return _mm256_loadu_ps(p); }
    static void StoreF(float* p, F a) { _mm256_storeu_ps(p, a); }
    static F CvtF(I a) { return _mm256_cvtepi32_ps(a); }
    static I CvttI(F a) { return _mm256_cvttps_epi32(a); }
    static void FloatsOf16(I a, F halves[2]) {
        halves[0] = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm256_castsi256_si128(a)));
        halves[1] = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(_mm256_extracti128_si256(a, 1)));
    }
    static F AddF(F a, F b) { return _mm256_add_ps(a, b); }
    static F SubF(F a, F b) { return _mm256_sub_ps(a, b); }
    static F MulF(F a, F b) { return _mm256_mul_ps(a, b); }
    static F DivF(F a, F b) { return _mm256_div_ps(a, b); }
    static F MaxF(F a, F b) { return _mm256_max_ps(a, b); }
    static I BitsOfF(F a) { return _mm256_castps_si256(a); }
    static F FmaF(F a, F b, F c) { return _mm256_fmadd_ps(a, b, c); }
    static F OrF(F a, F b) { return _mm256_or_ps(a, b); }
    static F SqrtF(F a) { return _mm256_sqrt_ps(a); }
    static uint32_t MaskEqF(F a, F b) { return _mm256_movemask_ps(_mm256_cmp_ps(a, b, _CMP_EQ_OQ)); }
    static uint32_t MaskGeF(F a, F b) { return _mm256_movemask_ps(_mm256_cmp_ps(a, b, _CMP_GE_OQ)); }

    // 16 interleaved pixels (48 bytes) to one 16-bit vector per channel and back, by byte
    // shuffles within each 128-bit half: the low half (pixels 0..7) draws on bytes 0..23 and the
    // high half (pixels 8..15) on bytes 24..47, each through two overlapping 16-byte pieces.
    static constexpr int32_t kPixelGroup = 16;
    static constexpr int32_t kPixelVectors = 1;
    static void LoadPixels(const uint8_t* rgb, I r[1], I g[1], I b[1]) {
        const I first = Pieces(rgb, rgb + 24), second = Pieces(rgb + 8, rgb + 32);
        I* planes[3] = {r, g, b};
        for (int32_t c = 0; c < 3; ++c)
            planes[c][0] = _mm256_or_si256(_mm256_shuffle_epi8(first, Mask(kSplitMasks.first[c])),
                                           _mm256_shuffle_epi8(second, Mask(kSplitMasks.second[c])));
    }
    static void StorePixels(uint8_t* rgb, const I r[1], const I g[1], const I b[1]) {
        const I zero = _mm256_setzero_si256(), top = _mm256_set1_epi16(255);
        const I planes[3] = {_mm256_min_epi16(_mm256_max_epi16(r[0], zero), top),
                             _mm256_min_epi16(_mm256_max_epi16(g[0], zero), top),
                             _mm256_min_epi16(_mm256_max_epi16(b[0], zero), top)};
        I first = zero, second = zero;
        for (int32_t c = 0; c < 3; ++c) {
            first = _mm256_or_si256(first, _mm256_shuffle_epi8(planes[c], Mask(kJoinMasks.first[c])));
            second = _mm256_or_si256(second, _mm256_shuffle_epi8(planes[c], Mask(kJoinMasks.second[c])));
        }
        // Bytes 0..15 and 24..39 from `first`, 8..23 and 32..47 from `second`; the overlaps agree.
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb), _mm256_castsi256_si128(first));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb + 8), _mm256_castsi256_si128(second));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb + 24), _mm256_extracti128_si256(first, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb + 32), _mm256_extracti128_si256(second, 1));
    }
    static I Pieces(const uint8_t* low, const uint8_t* high) {
        return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(high), reinterpret_cast<const __m128i*>(low));
    }
    static I Mask(const uint8_t (&bytes)[32]) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes)); }
};

constexpr GradientKernels kGradientKernels = MakeGradientKernels<V256>(kKernelAvx2);
constexpr PatternKernels kPatternKernels = MakePatternKernels<V256>(kKernelAvx2);

}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// Compiled for the baseline processor: the choice calls them before it knows the level is there.
const GradientKernels* Avx2GradientKernels(void) { return &kGradientKernels; }
const PatternKernels* Avx2PatternKernels(void) { return &kPatternKernels; }

#else

const GradientKernels* Avx2GradientKernels(void) { return nullptr; }
const PatternKernels* Avx2PatternKernels(void) { return nullptr; }

#endif

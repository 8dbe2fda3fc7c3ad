// The SSE2 level of both kernel families (what every x86 build can run).
#include "edges/kernels/gradient.h"
#include "edges/kernels/pattern.h"

#if defined(__x86_64__) || defined(__i386__)

#include <emmintrin.h>

#include <cmath>
#include <cstdint>

#include "edges/fine_detail.h"

#if !defined(__SSE2__)
#error "The edge kernels need SSE2: every x86-64 processor has it, i686 builds pass -msse2."
#endif

#include "edges/kernels/vector_pattern.h"

namespace {

// SSE2 operations for vector_*.h: eight 16-bit lanes per group, floats in two halves of four.
// Without fused multiply-adds a product and a sum round separately.
struct V128 {
    using I = __m128i;
    using F = __m128;
    static constexpr int32_t kLanes = 8;
    static constexpr int32_t kFloats = 4;
    static constexpr int32_t kRoundingsPerTerm = 2;

    static I Set16(int16_t v) { return _mm_set1_epi16(v); }
    static I Widen(const uint8_t* p) {
        return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
    }
    static void Narrow(uint8_t* p, I a) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(a, a)); }
    static I Load32(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static void Store32(int32_t* p, I a) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), a); }

    static I Add16(I a, I b) { return _mm_add_epi16(a, b); }
    static I Sub16(I a, I b) { return _mm_sub_epi16(a, b); }
    static I Max16(I a, I b) { return _mm_max_epi16(a, b); }
    static I Min16(I a, I b) { return _mm_min_epi16(a, b); }
    static I Abs16(I a) { return _mm_max_epi16(a, _mm_sub_epi16(_mm_setzero_si128(), a)); }
    static I Slli16(I a, int n) { return _mm_slli_epi16(a, n); }
    static I Srli16(I a, int n) { return _mm_srli_epi16(a, n); }
    static I Srai16(I a, int n) { return _mm_srai_epi16(a, n); }
    static I Mulhi16(I a, I b) { return _mm_mulhi_epi16(a, b); }
    static I MulhiU16(I a, I b) { return _mm_mulhi_epu16(a, b); }
    static I Madd(I a, I b) { return _mm_madd_epi16(a, b); }
    static I UnpackLo16(I a, I b) { return _mm_unpacklo_epi16(a, b); }
    static I UnpackHi16(I a, I b) { return _mm_unpackhi_epi16(a, b); }
    static I Packs32(I a, I b) { return _mm_packs_epi32(a, b); }
    static I Pack32(I a, I b) { return _mm_packs_epi32(a, b); }

    using M = __m128i;  // all ones in a true lane
    static M Gt16(I a, I b) { return _mm_cmpgt_epi16(a, b); }
    static M Eq16(I a, I b) { return _mm_cmpeq_epi16(a, b); }
    static M And(M a, M b) { return _mm_and_si128(a, b); }
    static M Or(M a, M b) { return _mm_or_si128(a, b); }
    static M AndNot(M a, M b) { return _mm_andnot_si128(a, b); }
    static I Count(I count, M mask) { return _mm_sub_epi16(count, mask); }
    static I Select(M mask, I a, I b) { return _mm_or_si128(_mm_and_si128(mask, b), _mm_andnot_si128(mask, a)); }
    static uint32_t Bits(M mask) { return uint32_t(_mm_movemask_epi8(_mm_packs_epi16(mask, mask))) & 0xFF; }

    static I Set32(int32_t v) { return _mm_set1_epi32(v); }
    static I Add32(I a, I b) { return _mm_add_epi32(a, b); }
    static I Sub32(I a, I b) { return _mm_sub_epi32(a, b); }
    static I Srli32(I a, int n) { return _mm_srli_epi32(a, n); }
    static I Srai32(I a, int n) { return _mm_srai_epi32(a, n); }
    static I AndV(I a, I b) { return _mm_and_si128(a, b); }
    static I Gt32(I a, I b) { return _mm_cmpgt_epi32(a, b); }
    static I Max32(I a, I b) {
        const I greater = _mm_cmpgt_epi32(a, b);
        return _mm_or_si128(_mm_and_si128(greater, a), _mm_andnot_si128(greater, b));
    }
    static I Abs32(I a) {
        const I sign = _mm_srai_epi32(a, 31);
        return _mm_sub_epi32(_mm_xor_si128(a, sign), sign);
    }
    // SSE2 has no gather: four loads.
    static I Gather32(const uint32_t* table, I index) {
        int32_t i[4];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(i), index);
        return _mm_set_epi32(int32_t(table[i[3]]), int32_t(table[i[2]]), int32_t(table[i[1]]), int32_t(table[i[0]]));
    }
    static uint32_t MaskEq32(I a, I b) { return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(a, b))); }

    static F SetF(float v) { return _mm_set1_ps(v); }
    static F LoadF(const float* p) { return _mm_loadu_ps(p); }
    static void StoreF(float* p, F a) { _mm_storeu_ps(p, a); }
    static F CvtF(I a) { return _mm_cvtepi32_ps(a); }
    static I CvttI(F a) { return _mm_cvttps_epi32(a); }
    static void FloatsOf16(I a, F halves[2]) {
        halves[0] = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(a, a), 16));
        halves[1] = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(a, a), 16));
    }
    static F AddF(F a, F b) { return _mm_add_ps(a, b); }
    static F SubF(F a, F b) { return _mm_sub_ps(a, b); }
    static F MulF(F a, F b) { return _mm_mul_ps(a, b); }
    static F DivF(F a, F b) { return _mm_div_ps(a, b); }
    static F MaxF(F a, F b) { return _mm_max_ps(a, b); }
    static I BitsOfF(F a) { return _mm_castps_si128(a); }
    static F FmaF(F a, F b, F c) { return _mm_add_ps(_mm_mul_ps(a, b), c); }
    static F OrF(F a, F b) { return _mm_or_ps(a, b); }
    static F SqrtF(F a) { return _mm_sqrt_ps(a); }
    static uint32_t MaskEqF(F a, F b) { return _mm_movemask_ps(_mm_cmpeq_ps(a, b)); }
    static uint32_t MaskGeF(F a, F b) { return _mm_movemask_ps(_mm_cmpge_ps(a, b)); }

    // 32 interleaved pixels (96 bytes) to three planes of 32 bytes and back. A perfect shuffle of
    // the 96 bytes (unpacking vector j with vector j + 3) takes byte i to 2 i mod 95; five of them
    // take byte i to 32 i mod 95, which is 32 c + p for byte 3 p + c (pixel p, channel c). Five
    // inverse shuffles (the even bytes of two vectors, then the odd ones) undo it.
    static constexpr int32_t kPixelGroup = 32;
    static constexpr int32_t kPixelVectors = 4;
    static void LoadPixels(const uint8_t* rgb, I r[4], I g[4], I b[4]) {
        __m128i v[6];
        for (int32_t j = 0; j < 6; ++j) v[j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgb + 16 * j));
        for (int32_t round = 0; round < 5; ++round) {
            __m128i next[6];
            for (int32_t j = 0; j < 3; ++j) {
                next[2 * j] = _mm_unpacklo_epi8(v[j], v[j + 3]);
                next[2 * j + 1] = _mm_unpackhi_epi8(v[j], v[j + 3]);
            }
            for (int32_t j = 0; j < 6; ++j) v[j] = next[j];
        }
        I* planes[3] = {r, g, b};
        for (int32_t c = 0; c < 3; ++c) {
            for (int32_t h = 0; h < 2; ++h) {
                planes[c][2 * h] = _mm_unpacklo_epi8(v[2 * c + h], _mm_setzero_si128());
                planes[c][2 * h + 1] = _mm_unpackhi_epi8(v[2 * c + h], _mm_setzero_si128());
            }
        }
    }
    static void StorePixels(uint8_t* rgb, const I r[4], const I g[4], const I b[4]) {
        const I* planes[3] = {r, g, b};
        __m128i v[6];
        for (int32_t c = 0; c < 3; ++c)
            for (int32_t h = 0; h < 2; ++h) v[2 * c + h] = _mm_packus_epi16(planes[c][2 * h], planes[c][2 * h + 1]);
        const __m128i low = _mm_set1_epi16(0x00FF);
        for (int32_t round = 0; round < 5; ++round) {
            __m128i next[6];
            for (int32_t j = 0; j < 3; ++j) {
                const __m128i a = v[2 * j], c = v[2 * j + 1];
                next[j] = _mm_packus_epi16(_mm_and_si128(a, low), _mm_and_si128(c, low));
                next[j + 3] = _mm_packus_epi16(_mm_srli_epi16(a, 8), _mm_srli_epi16(c, 8));
            }
            for (int32_t j = 0; j < 6; ++j) v[j] = next[j];
        }
        for (int32_t j = 0; j < 6; ++j) _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb + 16 * j), v[j]);
    }
};

constexpr GradientKernels kSse2GradientKernels = MakeGradientKernels<V128>(kKernelSse2);
constexpr PatternKernels kSse2PatternKernels = MakePatternKernels<V128>(kKernelSse2);

}  // namespace

const GradientKernels* Sse2GradientKernels(void) { return &kSse2GradientKernels; }
const PatternKernels* Sse2PatternKernels(void) { return &kSse2PatternKernels; }

#else

const GradientKernels* Sse2GradientKernels(void) { return nullptr; }
const PatternKernels* Sse2PatternKernels(void) { return nullptr; }

#endif

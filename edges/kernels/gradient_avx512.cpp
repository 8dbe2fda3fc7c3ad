// The AVX-512 level of the gradient kernels (64-bit builds). Everything after the target switch
// below is compiled for AVX-512 (F, BW, DQ, VL) and has internal linkage, so no AVX-512
// instruction can reach a processor without it: ChooseGradientKernels hands this table out only
// when KernelLevel() reports that level. (The Windows builds assemble this file with unaligned
// vector moves: their compiler cannot align the stack for 64-byte spills.)
#include "edges/kernels/gradient.h"

#if defined(__x86_64__)

#include <immintrin.h>

#include <cmath>
#include <cstdint>

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

#include "edges/kernels/gradient_vector.h"
#include "edges/kernels/pixels_avx512.h"

namespace {

// AVX-512 operations for gradient_vector.h: thirty-two 16-bit lanes per group, floats in two
// halves of sixteen, fused multiply-adds, comparisons straight into bit masks. Unpacking and
// packing work within each 128-bit quarter, which the lane order of gradient_vector.h allows for.
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
    static uint32_t MaskGt16(I a, I b) { return uint32_t(_mm512_cmpgt_epi16_mask(a, b)); }
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

constexpr GradientKernels kAvx512Kernels = MakeGradientKernels<V512>(kKernelAvx512);

}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

// Compiled for the baseline processor: the choice calls it before it knows the level is there.
const GradientKernels* Avx512GradientKernels(void) { return &kAvx512Kernels; }

#else

const GradientKernels* Avx512GradientKernels(void) { return nullptr; }

#endif

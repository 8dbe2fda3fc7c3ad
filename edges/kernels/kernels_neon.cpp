// The NEON level of both kernel families (the ARM64 builds, whose every processor has it): the
// width-generic bodies over 128-bit vectors, as the SSE2 level, with fused multiply-adds.
#include "edges/kernels/gradient.h"
#include "edges/kernels/pattern.h"

#if defined(__aarch64__)

#include <arm_neon.h>

#include <cmath>
#include <cstdint>

#include "edges/fine_detail.h"
#include "edges/kernels/vector_pattern.h"

namespace {

// NEON operations for vector_*.h: eight 16-bit lanes per group, floats in two halves of four.
// One integer vector type carries 16- and 32-bit lanes alike (as the x86 levels' does), so the
// 32-bit operations reinterpret it; masks are their own type, all ones in a true lane. Each
// operation gives the x86 instruction's result, saturation and wrap-around included.
struct VNeon {
    using I = int16x8_t;
    using F = float32x4_t;
    static constexpr int32_t kLanes = 8;
    static constexpr int32_t kFloats = 4;
    static constexpr int32_t kRoundingsPerTerm = 1;

    static int32x4_t W(I a) { return vreinterpretq_s32_s16(a); }
    static I N(int32x4_t a) { return vreinterpretq_s16_s32(a); }

    static I Set16(int16_t v) { return vdupq_n_s16(v); }
    static I Widen(const uint8_t* p) { return vreinterpretq_s16_u16(vmovl_u8(vld1_u8(p))); }
    static void Narrow(uint8_t* p, I a) { vst1_u8(p, vqmovun_s16(a)); }
    static I Load32(const int32_t* p) { return N(vld1q_s32(p)); }
    static void Store32(int32_t* p, I a) { vst1q_s32(p, W(a)); }

    static I Add16(I a, I b) { return vaddq_s16(a, b); }
    static I Sub16(I a, I b) { return vsubq_s16(a, b); }
    static I Max16(I a, I b) { return vmaxq_s16(a, b); }
    static I Min16(I a, I b) { return vminq_s16(a, b); }
    static I Abs16(I a) { return vabsq_s16(a); }
    // Shifts by a count in a register (negative: right); constant counts fold into immediates.
    static I Slli16(I a, int n) { return vshlq_s16(a, vdupq_n_s16(int16_t(n))); }
    static I Srli16(I a, int n) {
        return vreinterpretq_s16_u16(vshlq_u16(vreinterpretq_u16_s16(a), vdupq_n_s16(int16_t(-n))));
    }
    static I Srai16(I a, int n) { return vshlq_s16(a, vdupq_n_s16(int16_t(-n))); }
    // The high halves of the 32-bit products are the odd 16-bit halves of the widened products.
    static I Mulhi16(I a, I b) {
        const int32x4_t low = vmull_s16(vget_low_s16(a), vget_low_s16(b)), high = vmull_high_s16(a, b);
        return vuzp2q_s16(vreinterpretq_s16_s32(low), vreinterpretq_s16_s32(high));
    }
    static I MulhiU16(I a, I b) {
        const uint16x8_t ua = vreinterpretq_u16_s16(a), ub = vreinterpretq_u16_s16(b);
        const uint32x4_t low = vmull_u16(vget_low_u16(ua), vget_low_u16(ub)), high = vmull_high_u16(ua, ub);
        return vreinterpretq_s16_u16(vuzp2q_u16(vreinterpretq_u16_u32(low), vreinterpretq_u16_u32(high)));
    }
    // Sums of the products of neighbouring lanes: the pairwise sum of the widened products.
    static I Madd(I a, I b) { return N(vpaddq_s32(vmull_s16(vget_low_s16(a), vget_low_s16(b)), vmull_high_s16(a, b))); }
    static I UnpackLo16(I a, I b) { return vzip1q_s16(a, b); }
    static I UnpackHi16(I a, I b) { return vzip2q_s16(a, b); }
    static I Packs32(I a, I b) { return vcombine_s16(vqmovn_s32(W(a)), vqmovn_s32(W(b))); }
    static I Pack32(I a, I b) { return Packs32(a, b); }

    using M = uint16x8_t;
    static M Gt16(I a, I b) { return vcgtq_s16(a, b); }
    static M Eq16(I a, I b) { return vceqq_s16(a, b); }
    static M And(M a, M b) { return vandq_u16(a, b); }
    static M Or(M a, M b) { return vorrq_u16(a, b); }
    static M AndNot(M a, M b) { return vbicq_u16(b, a); }
    static I Count(I count, M mask) { return vsubq_s16(count, vreinterpretq_s16_u16(mask)); }
    static I Select(M mask, I a, I b) { return vbslq_s16(mask, b, a); }
    static uint32_t Bits(M mask) {
        static constexpr uint16_t kBit[8] = {1, 2, 4, 8, 16, 32, 64, 128};
        return vaddvq_u16(vandq_u16(mask, vld1q_u16(kBit)));
    }

    static I Set32(int32_t v) { return N(vdupq_n_s32(v)); }
    static I Add32(I a, I b) { return N(vaddq_s32(W(a), W(b))); }
    static I Sub32(I a, I b) { return N(vsubq_s32(W(a), W(b))); }
    static I Srli32(I a, int n) {
        return N(vreinterpretq_s32_u32(vshlq_u32(vreinterpretq_u32_s16(a), vdupq_n_s32(-n))));
    }
    static I Srai32(I a, int n) { return N(vshlq_s32(W(a), vdupq_n_s32(-n))); }
    static I AndV(I a, I b) { return vandq_s16(a, b); }
    static I Gt32(I a, I b) { return N(vreinterpretq_s32_u32(vcgtq_s32(W(a), W(b)))); }
    static I Max32(I a, I b) { return N(vmaxq_s32(W(a), W(b))); }
    static I Abs32(I a) { return N(vabsq_s32(W(a))); }
    static I Gather32(const uint32_t* table, I index) {
        int32_t i[4];
        vst1q_s32(i, W(index));
        const uint32_t values[4] = {table[i[0]], table[i[1]], table[i[2]], table[i[3]]};
        return N(vreinterpretq_s32_u32(vld1q_u32(values)));
    }
    static uint32_t MaskBits32(uint32x4_t mask) {
        static constexpr uint32_t kBit[4] = {1, 2, 4, 8};
        return vaddvq_u32(vandq_u32(mask, vld1q_u32(kBit)));
    }
    static uint32_t MaskEq32(I a, I b) { return MaskBits32(vceqq_s32(W(a), W(b))); }

    static F SetF(float v) { return vdupq_n_f32(v); }
    static F LoadF(const float* p) { return vld1q_f32(p); }
    static void StoreF(float* p, F a) { vst1q_f32(p, a); }
    static F CvtF(I a) { return vcvtq_f32_s32(W(a)); }
    static I CvttI(F a) { return N(vcvtq_s32_f32(a)); }
    static void FloatsOf16(I a, F halves[2]) {
        halves[0] = vcvtq_f32_s32(vmovl_s16(vget_low_s16(a)));
        halves[1] = vcvtq_f32_s32(vmovl_high_s16(a));
    }
    static F AddF(F a, F b) { return vaddq_f32(a, b); }
    static F SubF(F a, F b) { return vsubq_f32(a, b); }
    static F MulF(F a, F b) { return vmulq_f32(a, b); }
    static F DivF(F a, F b) { return vdivq_f32(a, b); }
    // a where a > b, else b (NaNs and signed zeros as on x86).
    static F MaxF(F a, F b) { return vbslq_f32(vcgtq_f32(a, b), a, b); }
    static I BitsOfF(F a) { return vreinterpretq_s16_f32(a); }
    static F FmaF(F a, F b, F c) { return vfmaq_f32(c, a, b); }
    static F OrF(F a, F b) {
        return vreinterpretq_f32_u32(vorrq_u32(vreinterpretq_u32_f32(a), vreinterpretq_u32_f32(b)));
    }
    static F SqrtF(F a) { return vsqrtq_f32(a); }
    static uint32_t MaskEqF(F a, F b) { return MaskBits32(vceqq_f32(a, b)); }
    static uint32_t MaskGeF(F a, F b) { return MaskBits32(vcgeq_f32(a, b)); }

    // 16 interleaved pixels (48 bytes) to two 16-bit vectors per channel and back: the structure
    // loads and stores split and interleave the three channels themselves.
    static constexpr int32_t kPixelGroup = 16;
    static constexpr int32_t kPixelVectors = 2;
    static void LoadPixels(const uint8_t* rgb, I r[2], I g[2], I b[2]) {
        const uint8x16x3_t v = vld3q_u8(rgb);
        I* planes[3] = {r, g, b};
        for (int32_t c = 0; c < 3; ++c) {
            planes[c][0] = vreinterpretq_s16_u16(vmovl_u8(vget_low_u8(v.val[c])));
            planes[c][1] = vreinterpretq_s16_u16(vmovl_high_u8(v.val[c]));
        }
    }
    static void StorePixels(uint8_t* rgb, const I r[2], const I g[2], const I b[2]) {
        uint8x16x3_t v;
        v.val[0] = vcombine_u8(vqmovun_s16(r[0]), vqmovun_s16(r[1]));
        v.val[1] = vcombine_u8(vqmovun_s16(g[0]), vqmovun_s16(g[1]));
        v.val[2] = vcombine_u8(vqmovun_s16(b[0]), vqmovun_s16(b[1]));
        vst3q_u8(rgb, v);
    }
};

constexpr GradientKernels kGradientKernels = MakeGradientKernels<VNeon>(kKernelNeon);
constexpr PatternKernels kPatternKernels = MakePatternKernels<VNeon>(kKernelNeon);

}  // namespace

const GradientKernels* NeonGradientKernels(void) { return &kGradientKernels; }
const PatternKernels* NeonPatternKernels(void) { return &kPatternKernels; }

#else

const GradientKernels* NeonGradientKernels(void) { return nullptr; }
const PatternKernels* NeonPatternKernels(void) { return nullptr; }

#endif

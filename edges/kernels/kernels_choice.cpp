// The plain pattern kernels, and the choice of level: once per method call, among the levels this
// build has (SSE2, AVX2 and AVX-512 on x86, NEON on ARM64).
#include <cmath>
#include <cstdint>

#include "edges/fine_detail.h"
#include "edges/kernels/gradient.h"
#include "edges/kernels/pattern.h"
#include "edges/kernels/rules.h"

#if !defined(__x86_64__) && !defined(__i386__) && !defined(__aarch64__)
#error "The edge kernels have a vector level for x86 (SSE2) and ARM64 (NEON) only."
#endif

namespace {

// The plain pattern kernels: the rules of rules.h one pixel at a time, and Fine detail's value
// straight from the share (fine_detail.h), so that the ratio tables stand checked against it.
void LineGradientPlain(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                       int32_t width) {
    for (int32_t x = 1; x <= width; ++x) out[x] = SobelSample(above + x, middle + x, below + x, 1);
}

int32_t LineThinningPlain(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                          int32_t width, int64_t* removals) {
    return SkinnyThinningColumns(above, middle, below, out, 1, width, removals);
}

void EdgeSharePlain(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out, int32_t width) {
    for (int32_t x = 1; x <= width; ++x)
        out[x] = uint8_t(EdgeShareValue(float(1.0 - std::sqrt(EdgeEnergyRatioAt(above, middle, below, x)))));
}

template <int32_t kRule>
void RecolourInPlacePlain(const uint8_t* level, uint8_t* rgb, int32_t width) {
    RecolourRowPlain<kRule>(level, rgb, rgb, width);
}

void GreyOfRgbPlain(const uint8_t* rgb, uint8_t* grey, int32_t width) { GreyRowPlain(rgb, width, grey); }

constexpr PatternKernels kPlainPatternKernels = {
    kKernelPlain,   GreyOfRgbPlain, LineGradientPlain, LineThinningPlain,
    LineGreyRow,    RecolourInPlacePlain<kRecolourLine>, EdgeSharePlain,
    EdgeGreyRow,    RecolourInPlacePlain<kRecolourEdge>,
};

// The vector level every processor of this build's architecture has: SSE2 or NEON.
const GradientKernels* BaselineGradientKernels() {
    return Sse2GradientKernels() ? Sse2GradientKernels() : NeonGradientKernels();
}

const PatternKernels* BaselinePatternKernels() {
    return Sse2PatternKernels() ? Sse2PatternKernels() : NeonPatternKernels();
}

}  // namespace

const GradientKernels* ChooseGradientKernels(void) {
    const int32_t level = KernelLevel();
    if (level >= kKernelAvx512 && Avx512GradientKernels()) return Avx512GradientKernels();
    if (level >= kKernelAvx2 && Avx2GradientKernels()) return Avx2GradientKernels();
    return BaselineGradientKernels();
}

const PatternKernels* ChoosePatternKernels(void) {
    const int32_t level = KernelLevel();
    if (level >= kKernelAvx512 && Avx512PatternKernels()) return Avx512PatternKernels();
    if (level >= kKernelAvx2 && Avx2PatternKernels()) return Avx2PatternKernels();
    return level >= kKernelSse2 ? BaselinePatternKernels() : &kPlainPatternKernels;
}

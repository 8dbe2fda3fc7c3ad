// The choice of kernel level: it follows the limit, never exceeds what the processor reports, and
// the processor's level agrees with the instruction-set bits read here straight from the processor
// and the operating system's register state.
#include <gtest/gtest.h>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "edges/kernels/gradient.h"
#include "edges/kernels/pattern.h"
#include "tests/edges/kernel_levels.h"

namespace {

using namespace edgetest;

#if defined(__x86_64__) || defined(__i386__)
// The level by CPUID leaves 1 and 7 and XCR0: AVX2 needs the AVX, AVX2 and FMA bits and saved YMM
// state; AVX-512 the F, DQ, BW and VL bits and saved opmask and ZMM state.
int32_t LevelByCpuid() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(d & (1u << 26))) return kKernelPlain;
    const bool osSaves = (c & (1u << 27)) != 0, avx = (c & (1u << 28)) != 0, fma = (c & (1u << 12)) != 0;
    if (!osSaves || !avx || !fma) return kKernelSse2;
    unsigned low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 0x6) != 0x6) return kKernelSse2;
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d) || !(b & (1u << 5))) return kKernelSse2;
    const unsigned avx512 = (1u << 16) | (1u << 17) | (1u << 30) | (1u << 31);  // F, DQ, BW, VL
    if ((b & avx512) != avx512 || (low & 0xE6) != 0xE6) return kKernelAvx2;
    return kKernelAvx512;
}

TEST(KernelLevels, ProcessorLevelAgreesWithTheInstructionSetBits) {
    EXPECT_EQ(ProcessorKernelLevel(), LevelByCpuid()) << KernelLevelName(ProcessorKernelLevel());
    std::printf("this processor runs the %s kernels\n", KernelLevelName(ProcessorKernelLevel()));
}
#endif

TEST(KernelLevels, EachLimitGivesItsLevelAndNeverOneThisProcessorLacks) {
    const int32_t processor = ProcessorKernelLevel();
    for (int32_t limit = -1; limit <= kKernelHighest + 1; ++limit) {
        LevelLimit scope(limit);
        const int32_t expected = limit < 0 || limit > processor ? processor : limit;
        EXPECT_EQ(KernelLevel(), expected) << "limit " << limit;
        // The gradient family starts at SSE2.
        const int32_t built = expected < kHighestBuilt ? expected : kHighestBuilt;
        EXPECT_EQ(ChooseGradientKernels()->level, built < kKernelSse2 ? kKernelSse2 : built) << "limit " << limit;
        EXPECT_EQ(ChoosePatternKernels()->level, built) << "limit " << limit;
        EXPECT_LE(ChooseGradientKernels()->level, processor);
        EXPECT_LE(ChoosePatternKernels()->level, processor);
    }
    EXPECT_EQ(KernelLevel(), processor) << "the limit is lifted again";
}

}  // namespace

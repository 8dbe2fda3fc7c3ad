// The processor's kernel level, asked once and kept, and the test limit.
#include "edges/kernels/levels.h"

namespace {

int32_t limit = kKernelHighest;
int32_t processorLevel = -1;  // not asked yet

int32_t AskProcessor() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("sse2")) return kKernelPlain;
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma")) return kKernelSse2;
    if (!__builtin_cpu_supports("avx512f") || !__builtin_cpu_supports("avx512bw") ||
        !__builtin_cpu_supports("avx512dq") || !__builtin_cpu_supports("avx512vl"))
        return kKernelAvx2;
    return kKernelAvx512;
#elif defined(__aarch64__)
    return kKernelNeon;  // part of every ARM64 processor
#else
    return kKernelPlain;
#endif
}

}  // namespace

int32_t ProcessorKernelLevel(void) {
    if (processorLevel < 0) processorLevel = AskProcessor();
    return processorLevel;
}

int32_t KernelLevel(void) {
    const int32_t processor = ProcessorKernelLevel();
    return limit < processor ? limit : processor;
}

void SetKernelLevelLimit(int32_t level) { limit = level < 0 || level > kKernelHighest ? kKernelHighest : level; }

const char* KernelLevelName(int32_t level) {
    switch (level) {
        case kKernelPlain:
            return "plain";
        case kKernelSse2:
#if defined(__aarch64__)
            return "NEON";
#else
            return "SSE2";
#endif
        case kKernelAvx2:
            return "AVX2";
        case kKernelAvx512:
            return "AVX-512";
        default:
            return "unknown";
    }
}

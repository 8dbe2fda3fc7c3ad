// Running a test at one kernel level: the limit for the length of a scope, whether this processor
// has the level, and the note a skipped test gives.
#pragma once

#include <cstdint>
#include <string>

#include "edges/kernels/levels.h"

namespace edgetest {

// Limits the kernels to `level` for the length of a scope, then lifts the limit.
struct LevelLimit {
    explicit LevelLimit(int32_t level) { SetKernelLevelLimit(level); }
    ~LevelLimit() { SetKernelLevelLimit(-1); }
    LevelLimit(const LevelLimit&) = delete;
    LevelLimit& operator=(const LevelLimit&) = delete;
};

// The 32-bit builds carry no AVX-512 kernels and use their AVX2 ones instead; the ARM64 builds
// have NEON only.
#if defined(__x86_64__)
constexpr int32_t kHighestBuilt = kKernelAvx512;
#elif defined(__aarch64__)
constexpr int32_t kHighestBuilt = kKernelNeon;
#else
constexpr int32_t kHighestBuilt = kKernelAvx2;
#endif

// Whether this processor has the level and this build kernels for it.
inline bool LevelAvailable(int32_t level) { return level <= ProcessorKernelLevel() && level <= kHighestBuilt; }

inline std::string LevelMissing(int32_t level) {
    return std::string("skipped: the ") + KernelLevelName(level) + " level, which this " +
           (level > kHighestBuilt ? "build" : "processor") + " lacks";
}

// A test-name suffix: Plain, Sse2 (Neon on ARM64), Avx2, Avx512.
inline std::string LevelTestName(int32_t level) {
    switch (level) {
        case kKernelPlain:
            return "Plain";
        case kKernelSse2:
#if defined(__aarch64__)
            return "Neon";
#else
            return "Sse2";
#endif
        case kKernelAvx2:
            return "Avx2";
        default:
            return "Avx512";
    }
}

}  // namespace edgetest

// Kernel levels: the instruction sets the vector row kernels come in, and the one choice of level
// that both kernel families (gradient.h, pattern.h) follow.
//
// Contract: KernelLevel() is the lower of the limit (default: no limit) and the highest level the
// processor and the operating system support, so it never names a level the processor lacks:
// AVX2 needs AVX2 and FMA, AVX-512 needs its F, BW, DQ and VL parts (and both need the system to
// save the wider registers, which the processor check includes); an ARM64 processor is at NEON. A family without a kernel set at
// some level uses its next lower one. The answer is asked for once per method call, never per
// pixel. The limit is a test hook held in one module-level variable; the plug-in never sets it.
#pragma once

#include <cstdint>

enum : int32_t {
    kKernelPlain = 0,   // portable per-pixel loops
    kKernelSse2 = 1,    // every processor the x86 builds run on
    kKernelAvx2 = 2,
    kKernelAvx512 = 3,
    kKernelHighest = kKernelAvx512,
    // The one vector level of the ARM64 builds, which every ARM64 processor has: SSE2's rank, so
    // that the limits and the choice read alike on both architectures.
    kKernelNeon = 1,
};

// The highest level this processor supports.
int32_t ProcessorKernelLevel(void);

// The level the next method calls use.
int32_t KernelLevel(void);

// Test hook: the highest level the next method calls may use; a negative limit lifts it.
void SetKernelLevelLimit(int32_t level);

// The name of a level ("plain", "SSE2", "AVX2", "AVX-512"; "NEON" for level 1 in the ARM64 builds).
const char* KernelLevelName(int32_t level);

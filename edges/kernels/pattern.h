// Pattern kernels: the row kernels that read the 3x3 pattern around each pixel of a bordered
// scratch row beyond a plain gradient: the thinning rule of Skinny lines (with its gradient and
// output stages) and the share of the pattern's energy in the straight-edge masks of Fine detail
// (with its brightness and output passes). They come in the levels of levels.h: plain per-pixel
// loops, SSE2, AVX2 and AVX-512 (the 64-bit builds), or plain loops and NEON on ARM64. The methods pick one set per call, that of
// KernelLevel() or the highest set below it, and use it for every row.
//
// Contract: every level produces exactly the bytes of the plain level for every input; the levels
// differ in speed only. Kernels are pure functions of their arguments and allocate nothing.
// Scratch rows hold width + 2 bytes with pixel x at byte x + 1 (bytes 0 and width + 1 are the
// border); a 3x3 kernel reads bytes 0 .. width + 1 of `above`, `middle` and `below` and writes
// bytes 1 .. width of `out`, leaving its bytes 0 and width + 1 alone. Image rows hold `width`
// pixels of 1 byte (grey) or 3 bytes R, G, B. `width` is at least 1.
#pragma once

#include <cstdint>

#include "edges/kernels/levels.h"

struct PatternKernels {
    int32_t level;

    // grey[x] = (R + G + B + 1) div 3 of rgb pixel x.
    void (*greyOfRgb)(const uint8_t* rgb, uint8_t* grey, int32_t width);

    // Skinny lines, Gradient stage: 255 minus the integer square root of (Gx^2 + Gy^2) div 5 of
    // the Sobel components, 0 where that root exceeds 254.
    void (*skinnyGradient)(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                           int32_t width);
    // Skinny lines, one thinning sweep over one row: out[x] is 255 for a background pixel (230 or
    // more) or a removed one, middle[x] for a kept one. Adds the removed pixels to *removals and
    // returns 1 when out differs from middle anywhere in bytes 1 .. width, else 0.
    int32_t (*skinnyThinning)(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                              int32_t width, int64_t* removals);
    // Skinny lines, Output stage: `thinned` holds the width thinned values c(x) (no border).
    // Grey: c below 230 stays, the rest becomes 255. Colour: white where c >= 230, otherwise
    // the pixel's mean level replaced by c, its two colour differences kept.
    void (*skinnyOutputGrey)(const uint8_t* thinned, uint8_t* grey, int32_t width);
    void (*skinnyOutputRgb)(const uint8_t* thinned, uint8_t* rgb, int32_t width);

    // Fine detail, pass 2: the edge value (0..255) of the brightness pattern around each pixel.
    void (*fineEdgeShare)(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out,
                          int32_t width);
    // Fine detail, pass 3: `edges` holds the width edge values e(x) (no border); the level
    // 255 - e becomes the grey value, or the brightness of the colour pixel.
    void (*fineOutputGrey)(const uint8_t* edges, uint8_t* grey, int32_t width);
    void (*fineOutputRgb)(const uint8_t* edges, uint8_t* rgb, int32_t width);
};

// The kernels of KernelLevel(), or of the highest level below it that this build has.
const PatternKernels* ChoosePatternKernels(void);

// The kernels of each vector level, or none when the build has none (SSE2, AVX2 and AVX-512 on
// x86, NEON on ARM64); only for a processor that has that level.
const PatternKernels* Sse2PatternKernels(void);
const PatternKernels* NeonPatternKernels(void);
const PatternKernels* Avx2PatternKernels(void);
const PatternKernels* Avx512PatternKernels(void);

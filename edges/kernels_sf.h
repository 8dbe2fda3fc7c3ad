// Row kernels of the Skinny lines and Fine detail methods, in three levels: plain per-pixel loops,
// SSE2 (every x86 processor the plug-in runs on) and AVX2 (chosen at run time when the processor
// has it). The methods pick one set per call and use it for every row.
//
// Contract: every level produces exactly the bytes of the plain level for every input; the levels
// differ in speed only. Kernels are pure functions of their arguments and allocate nothing.
// Scratch rows hold width + 2 bytes with pixel x at byte x + 1 (bytes 0 and width + 1 are the
// border); a 3x3 kernel reads bytes 0 .. width + 1 of `above`, `middle` and `below` and writes
// bytes 1 .. width of `out`, leaving its bytes 0 and width + 1 alone. Image rows hold `width`
// pixels of 1 byte (grey) or 3 bytes R, G, B. `width` is at least 1.
#pragma once

#include <cstdint>

struct SkinnyFineKernels {
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

enum : int32_t {
    kKernelLevelPlain = 0,
    kKernelLevelSse2 = 1,
    kKernelLevelAvx2 = 2,
};

// The kernels of the highest level that the processor supports and the limit allows.
const SkinnyFineKernels* ChooseSkinnyFineKernels(void);

// The level ChooseSkinnyFineKernels picks now.
int32_t SkinnyFineKernelLevel(void);

// The AVX2 kernels, or none when the build has none; only for a processor that has AVX2.
const SkinnyFineKernels* Avx2SkinnyFineKernels(void);

// Limits the level (for tests that hold every level against the plain one); a level above what
// the processor supports gives the highest supported. Default and after a negative limit: no limit.
void SetSkinnyFineKernelLevel(int32_t level);

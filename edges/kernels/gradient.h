// Gradient kernels: the row kernels that turn grey levels into gradient magnitudes and back into
// pictures: the Sobel magnitude (Traditional), the largest of three directional responses
// (Smoother), the wide weighted gradient with its peak and shading (Variable width), and the
// brightness and recolouring of colour rows around them.
//
// Contract: every kernel is a pure function of the rows it is given and writes only its output.
// Each exists at the levels that compute the same bytes (levels.h): SSE2, what every x86 build
// can run, with scalar code for the few samples a vector does not cover; AVX2 with fused
// multiply-adds; AVX-512 (the 64-bit builds); NEON with fused multiply-adds (the ARM64 builds).
// ChooseGradientKernels picks the set of KernelLevel(), or the highest set below it, and at least
// SSE2 (NEON on ARM64); nothing is chosen per pixel. Pointers need no
// alignment. Counts and widths may be 0. Input and output rows never overlap, except where a
// kernel says that it works in place.
//
// Variable width arithmetic: the components Gh and Gv are sums of single-precision weights times
// grey-level differences, exact in double precision; Q = Gh^2 + Gv^2 with the squares and their
// sum rounded once each, the magnitude M = sqrt(Q).
#pragma once

#include <cstdint>

#include "edges/kernels/levels.h"


// The rows of the Variable width operator for one output row y (window rows y - 3 .. y + 3).
// grey[i] is window row i (image row y - 3 + i) as padded grey levels: grey[i][3 + x] is pixel x,
// three repeated end pixels on each side. For pass 1, most[i][x] and least[i][x] are the largest and
// smallest of grey[i][x .. x + 6]; for pass 2, across[i][(d - 1) x stride + x] = g(x - d) - g(x + d)
// of window row i, x = 0 .. W - 1. Only the entries within the reach are read.
struct VariableRows {
    const uint8_t* grey[7];
    const uint8_t* most[7];
    const uint8_t* least[7];
    const float* across[7];
    int32_t stride;
};

struct GradientKernels {
    int32_t level;

    // Traditional: out[i] = 255 - floor(sqrt((gx^2 + gy^2) div 5)), or 0 when that root exceeds
    // 254, for i = 0 .. count - 1, the Sobel components of sample i taken from above, middle and
    // below at i - step, i and i + step.
    void (*sobelRow)(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t step,
                     int32_t count, uint8_t* out);

    // bright[x] = (R + G + B + 1) div 3 of pixel x of the interleaved row.
    void (*brightnessRow)(const uint8_t* rgb, int32_t width, uint8_t* bright);
    // Pixel x of the interleaved row `rgb` = (red[x], green[x], blue[x]).
    void (*joinRow)(const uint8_t* red, const uint8_t* green, const uint8_t* blue, int32_t width, uint8_t* rgb);

    // Smoother: out[i] = (510 - m) div 2, or 0 when m > 509, with m the largest of |Kh|, |Kd|,
    // |Kv| at sample i of a one-plane row (neighbours at i - 1 and i + 1).
    void (*kirschRow)(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t count,
                      uint8_t* out);

    // Pixel x of `out` is pixel x of `in` with the mean level level[x] and its own colour differences
    // (R - G) quot 2 and d = ((R + G) div 2) - B, Smoother rounding d toward zero to an even value.
    // `out` may be `in` (in place), but the two may not overlap otherwise.
    void (*recolourSmootherRow)(const uint8_t* level, const uint8_t* in, uint8_t* out, int32_t width);
    void (*recolourVariableRow)(const uint8_t* level, const uint8_t* in, uint8_t* out, int32_t width);

    // Variable width: from a padded grey row (grey[3 + x] is pixel x, three repeated end pixels on
    // each side) the differences h[d - 1][x] = grey[3 + x - d] - grey[3 + x + d], d = 1 .. reach.
    void (*horizontalDifferences)(const uint8_t* grey, int32_t width, int32_t reach, float* const* h);
    // most[x] and least[x] = the largest and smallest of the padded grey levels grey[x .. x + 6].
    void (*extremesRow)(const uint8_t* grey, int32_t width, uint8_t* most, uint8_t* least);
    // The larger of `best` and the largest Q = Gh^2 + Gv^2 (double precision) of the row's W pixels,
    // per reach (pass 1: reads grey, most, least).
    double (*peakOfRow[3])(const VariableRows* rows, int32_t width, double best);
    // out[x] = trunc(255 - (sqrt(Q) x 255) / peak) clamped to 0 .. 255, per reach; peak > 0
    // (pass 2: reads grey, across).
    void (*shadeRow[3])(const VariableRows* rows, int32_t width, float peak, uint8_t* out);

    // Test access to one step of the Traditional kernel: out[i] = the edge value of the squared
    // gradient sums[i] = gx^2 + gy^2, 0 <= sums[i] <= 2080800.
    void (*sobelValues)(const int32_t* sums, int32_t count, uint8_t* out);
};

const GradientKernels* ChooseGradientKernels(void);

// The kernels of each vector level, or none when the build has none (SSE2, AVX2 and AVX-512 on
// x86, NEON on ARM64); only for a processor that has that level.
const GradientKernels* Sse2GradientKernels(void);
const GradientKernels* NeonGradientKernels(void);
const GradientKernels* Avx2GradientKernels(void);
const GradientKernels* Avx512GradientKernels(void);

// Variable width: every pixel becomes 255 - 255 x M / peak, with M the magnitude of a weighted
// gradient that reaches 1, 2 or 3 pixels from the centre and peak the largest M of the image, so
// the strongest edge turns black and flat areas white. A colour pixel keeps its two colour
// differences and takes that value as its mean level.
//
// Two passes over a window of seven rows of grey levels (image rows y - 3 .. y + 3 for output row
// y): the first finds the peak, the second writes. Each window row holds W + 6 grey levels with the
// end pixels repeated three times on each side, and rows below the image repeat the last row, so
// the operator never looks outside its window. Rows 0, 1 and 2 of the result repeat row 3.
//
// Every weight is the single-precision value of its decimal, and each weight times a difference of
// grey levels is exact in double precision, as is every sum of them (all are multiples of 2^-27
// below 2^11): the components are exact whatever the order of summation, and the square root and
// divisions are correctly rounded IEEE operations, so every build computes the same bytes.
#include <cmath>

#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "host/plugin.h"

namespace {

constexpr int32_t kWindowRows = 7;
constexpr int32_t kPad = 3;  // repeated end pixels on each side of a window row

// w_d(k) for d = 1 .. reach and k = -reach .. reach, centred at index 3; the vertical component
// has its own table because one of its weights differs (reach 2, d = 2, k = 0).
struct Weights {
    double across[3][7];  // horizontal component: k runs down the operator
    double down[3][7];    // vertical component: k runs across the operator
};

constexpr double F(float w) { return double(w); }

constexpr Weights kReach1 = {
    {{0, 0, F(0.776f), 1, F(0.776f), 0, 0}},
    {{0, 0, F(0.776f), 1, F(0.776f), 0, 0}},
};
constexpr Weights kReach2 = {
    {{0, F(0.364f), F(0.562f), 1, F(0.562f), F(0.364f), 0},
     {0, F(0.267f), F(0.373f), F(0.464f), F(0.373f), F(0.267f), 0}},
    {{0, F(0.364f), F(0.562f), 1, F(0.562f), F(0.364f), 0},
     {0, F(0.267f), F(0.373f), F(0.463f), F(0.373f), F(0.267f), 0}},
};
// d = 2 is deliberately lopsided: 0.24 at k = -3 (top row of the horizontal operator, left
// column of the vertical one) against 0.14 at k = +3.
constexpr Weights kReach3 = {
    {{F(0.283f), F(0.348f), F(0.579f), 1, F(0.579f), F(0.348f), F(0.283f)},
     {F(0.24f), F(0.213f), F(0.354f), F(0.463f), F(0.354f), F(0.213f), F(0.14f)},
     {F(0.073f), F(0.104f), F(0.165f), F(0.195f), F(0.165f), F(0.104f), F(0.073f)}},
    {{F(0.283f), F(0.348f), F(0.579f), 1, F(0.579f), F(0.348f), F(0.283f)},
     {F(0.24f), F(0.213f), F(0.354f), F(0.463f), F(0.354f), F(0.213f), F(0.14f)},
     {F(0.073f), F(0.104f), F(0.165f), F(0.195f), F(0.165f), F(0.104f), F(0.073f)}},
};

// M at window position p (= 3 + x) of the middle row; win[3 + dy] is the row dy below the centre.
template <int32_t R>
inline double Magnitude(uint8_t* const win[kWindowRows], int32_t p, const Weights& w) {
    double gh = 0.0, gv = 0.0;
    for (int32_t d = 1; d <= R; ++d) {
        for (int32_t k = -R; k <= R; ++k) {
            gh += w.across[d - 1][3 + k] * double(int32_t(win[3 + k][p - d]) - int32_t(win[3 + k][p + d]));
            gv += w.down[d - 1][3 + k] * double(int32_t(win[3 + d][p + k]) - int32_t(win[3 - d][p + k]));
        }
    }
    return std::sqrt(gh * gh + gv * gv);
}

template <int32_t R>
void PeakOfRow(uint8_t* const win[kWindowRows], int32_t width, const Weights& w, float* peak) {
    for (int32_t x = 0; x < width; ++x) {
        const double m = Magnitude<R>(win, kPad + x, w);
        if (m > *peak) *peak = float(m);
    }
}

// out[x] = 255 - 255 M / peak, truncated. An image without any gradient (peak 0) stays white.
template <int32_t R>
void ShadeRow(uint8_t* const win[kWindowRows], int32_t width, const Weights& w, float peak, uint8_t* out) {
    if (!(peak > 0.0f)) {
        for (int32_t x = 0; x < width; ++x) out[x] = 255;
        return;
    }
    for (int32_t x = 0; x < width; ++x) {
        const double v = 255.0 - (Magnitude<R>(win, kPad + x, w) * 255.0) / double(peak);
        out[x] = v <= 0.0 ? 0 : v >= 255.0 ? 255 : uint8_t(int32_t(v));
    }
}

struct Operator {
    const Weights* weights;
    void (*peakOfRow)(uint8_t* const*, int32_t, const Weights&, float*);
    void (*shadeRow)(uint8_t* const*, int32_t, const Weights&, float, uint8_t*);
};

constexpr Operator kOperators[3] = {
    {&kReach1, PeakOfRow<1>, ShadeRow<1>},
    {&kReach2, PeakOfRow<2>, ShadeRow<2>},
    {&kReach3, PeakOfRow<3>, ShadeRow<3>},
};

inline uint8_t ClampByte(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// Image row `row` (clipped to the last row) as grey levels into the window row `dst`, end pixels
// repeated; `staging` receives the colour samples of a three-plane row.
void LoadGreyRow(const ImageBuffer* image, int32_t row, const BufferShape& shape, uint8_t* staging, uint8_t* dst) {
    const int32_t width = shape.width;
    if (row > shape.height - 1) row = shape.height - 1;
    if (shape.planes == 1) {
        ReadBufferRow(image, 0, row, width, dst + kPad);
    } else {
        ReadBufferRow(image, 0, row, width * 3, staging);
        for (int32_t x = 0; x < width; ++x)
            dst[kPad + x] = uint8_t((staging[3 * x] + staging[3 * x + 1] + staging[3 * x + 2] + 1) / 3);
    }
    for (int32_t i = 0; i < kPad; ++i) {
        dst[i] = dst[kPad];
        dst[kPad + width + i] = dst[kPad + width - 1];
    }
}

// Gives each colour pixel of `colour` the mean level out[x], keeping its two colour differences.
void RecolourRow(const uint8_t* out, uint8_t* colour, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        uint8_t* p = colour + 3 * x;
        const int32_t r = p[0], g = p[1], b = p[2], c = out[x];
        const int32_t d = (r + g) / 2 - b;
        const int32_t e = (r - g) / 2;
        p[0] = ClampByte(c + d / 3 + e);
        p[1] = ClampByte(c + d / 3 - e);
        p[2] = ClampByte(c - (2 * d) / 3);
    }
}

struct Blocks {
    uint8_t* window[kWindowRows];
    uint8_t* out;
    uint8_t* colour;
};

int16_t RunVariableWidth(ImageBuffer* image, const RunState* run, const Operator& op, bool report,
                         const BufferShape& shape, Blocks b) {
    const int32_t width = shape.width, height = shape.height;
    const int32_t rowBytes = width * shape.planes;
    if (height <= 3) return kNoErr;

    float peak = -1.0e20f;
    for (int32_t pass = 1; pass <= 2; ++pass) {
        uint8_t* win[kWindowRows];
        for (int32_t i = 0; i < kWindowRows; ++i) win[i] = b.window[i];
        for (int32_t i = 0; i < kWindowRows - 1; ++i) LoadGreyRow(image, i, shape, b.colour, win[i]);

        for (int32_t j = 0; j <= height - 4; ++j) {
            if (report) {
                ReportProgress(run, (pass - 1) * height + j, 2 * height);
                if (TestAbort(run)) return kErrUserCancelled;
            }
            LoadGreyRow(image, j + 6, shape, b.colour, win[6]);

            if (pass == 1) {
                op.peakOfRow(win, width, *op.weights, &peak);
            } else {
                const int32_t y = j + 3;
                op.shadeRow(win, width, *op.weights, peak, b.out);
                const uint8_t* result = b.out;
                if (shape.planes == 3) {
                    ReadBufferRow(image, 0, y, rowBytes, b.colour);
                    RecolourRow(b.out, b.colour, width);
                    result = b.colour;
                }
                WriteBufferRow(image, 0, y, rowBytes, result);
                if (j == 0)
                    for (int32_t top = 0; top < 3; ++top) WriteBufferRow(image, 0, top, rowBytes, result);
            }

            uint8_t* oldTop = win[0];
            for (int32_t i = 0; i < kWindowRows - 1; ++i) win[i] = win[i + 1];
            win[6] = oldTop;
        }
    }
    return kNoErr;
}

}  // namespace

int16_t FindEdgesVariableWidth(ImageBuffer* image, const RunState* run, int32_t lineWidth, int32_t flag) {
    if (lineWidth < 3 || lineWidth > 5) return kErrBadParameters;
    BufferShape shape{};
    GetBufferShape(image, &shape);
    if (shape.width < 0 || shape.height < 0) return kNoErr;
    if (shape.planes != 1 && shape.planes != 3) return kErrUnsupportedMode;

    const uint32_t blockBytes = 3u * uint32_t(shape.width + 2 * kPad);
    Blocks blocks{};
    bool allocated = true;
    for (uint8_t*& row : blocks.window) {
        row = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
        allocated = allocated && row != nullptr;
    }
    blocks.out = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    blocks.colour = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));

    int16_t result = kErrOutOfMemory;
    if (allocated && blocks.out && blocks.colour)
        result = RunVariableWidth(image, run, kOperators[lineWidth - 3], (flag & 0xFF) != 0, shape, blocks);

    for (uint8_t* row : blocks.window) FreeMemoryBlock(row);
    FreeMemoryBlock(blocks.out);
    FreeMemoryBlock(blocks.colour);
    return result;
}

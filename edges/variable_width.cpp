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
// The operator's weights are single-precision values and every product of a weight and a
// grey-level difference, and every sum of them, is exact in double precision, so the components
// do not depend on the order of summation; the kernels (edges/kernels/gradient.h) decide every output
// as the double-precision arithmetic M = sqrt(Gh^2 + Gv^2), 255 - (M x 255) / peak does, so every
// build computes the same bytes.
//
// Each window row block holds the row's grey levels and what the kernels need of the row, made
// once as it enters the window: for pass 1 the extremes of every seven neighbouring grey levels,
// which rule out most pixels as the peak without the operator, for pass 2 the horizontal
// differences g(x - d) - g(x + d), d = 1 .. reach. Pass 2 recolours a colour row y in place: the
// rows of the image below y are read before they are written, and row y itself is read as it is
// recoloured.
#include <cmath>
#include <cstring>

#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/gradient.h"
#include "edges/methods.h"

namespace {

constexpr int32_t kWindowRows = 7;
constexpr int32_t kPad = 3;  // repeated end pixels on each side of a window row
constexpr int32_t kMaxReach = 3;

// Every block: W + 6 bytes of levels, then (from `extremes`) W largest and W smallest levels, then
// (from `differences`) three rows of `entries` (W + 6) differences as floats. The out block uses
// the first W bytes.
struct Layout {
    uint32_t extremes;
    uint32_t differences;
    uint32_t entries;
    uint32_t blockBytes;
};

Layout LayoutFor(int32_t width) {
    Layout layout{};
    layout.entries = uint32_t(width + 2 * kPad);
    layout.extremes = layout.entries;
    layout.differences = (layout.extremes + 2u * uint32_t(width) + 31u) & ~31u;
    layout.blockBytes = layout.differences + uint32_t(sizeof(float)) * kMaxReach * layout.entries;
    return layout;
}

float* DifferenceRow(uint8_t* block, const Layout& layout, int32_t d) {
    return reinterpret_cast<float*>(block + layout.differences) + size_t(d - 1) * layout.entries;
}

struct Blocks {
    uint8_t* window[kWindowRows];
    uint8_t* out;
};

struct Operator {
    const GradientKernels* kernels;
    int32_t reach;
    Layout layout;
};

// Image row `row` (clipped to the last row) into the window block `dst`: grey levels with the end
// pixels repeated, and what pass 1 or 2 needs of them.
void LoadWindowRow(const ImageBuffer* image, int32_t row, int32_t pass, const BufferShape& shape, const Operator& op,
                   uint8_t* dst) {
    const int32_t width = shape.width;
    if (row > shape.height - 1) row = shape.height - 1;
    if (shape.planes == 1) {
        ReadBufferRow(image, 0, row, width, dst + kPad);
    } else {
        op.kernels->brightnessRow(BufferRow(image, row), width, dst + kPad);
    }
    for (int32_t i = 0; i < kPad; ++i) {
        dst[i] = dst[kPad];
        dst[kPad + width + i] = dst[kPad + width - 1];
    }
    if (pass == 1) {
        op.kernels->extremesRow(dst, width, dst + op.layout.extremes, dst + op.layout.extremes + width);
    } else {
        float* const h[kMaxReach] = {DifferenceRow(dst, op.layout, 1), DifferenceRow(dst, op.layout, 2),
                                     DifferenceRow(dst, op.layout, 3)};
        op.kernels->horizontalDifferences(dst, width, op.reach, h);
    }
}

// The operator's rows for the output row at the centre of `win`.
VariableRows WindowRows(uint8_t* const win[kWindowRows], int32_t width, const Operator& op) {
    VariableRows rows{};
    rows.stride = int32_t(op.layout.entries);
    for (int32_t i = 0; i < kWindowRows; ++i) {
        rows.grey[i] = win[i];
        rows.most[i] = win[i] + op.layout.extremes;
        rows.least[i] = win[i] + op.layout.extremes + width;
        rows.across[i] = DifferenceRow(win[i], op.layout, 1);
    }
    return rows;
}

int16_t RunVariableWidth(ImageBuffer* image, const ProgressPair* progress, const Operator& op, bool report,
                         const BufferShape& shape, Blocks b) {
    const int32_t width = shape.width, height = shape.height;
    const int32_t rowBytes = width * shape.planes;
    if (height <= 3) return kNoErr;

    // The peak is the largest M as a 32-bit float. Keeping the largest squared magnitude instead
    // and rounding once at the end gives the same float: the square root and the rounding to
    // float are both monotone.
    double largest = 0.0;
    float peak = -1.0e20f;
    for (int32_t pass = 1; pass <= 2; ++pass) {
        uint8_t* win[kWindowRows];
        for (int32_t i = 0; i < kWindowRows; ++i) win[i] = b.window[i];
        for (int32_t i = 0; i < kWindowRows - 1; ++i) LoadWindowRow(image, i, pass, shape, op, win[i]);

        for (int32_t j = 0; j <= height - 4; ++j) {
            if (report) {
                ReportStep(progress, (pass - 1) * height + j, 2 * height);
                if (AbortRequested(progress)) return kErrUserCancelled;
            }
            LoadWindowRow(image, j + 6, pass, shape, op, win[6]);
            const VariableRows rows = WindowRows(win, width, op);

            if (pass == 1) {
                largest = op.kernels->peakOfRow[op.reach - 1](&rows, width, largest);
            } else {
                const int32_t y = j + 3;
                // An image without any gradient (peak 0) stays white.
                if (peak > 0.0f) {
                    op.kernels->shadeRow[op.reach - 1](&rows, width, peak, b.out);
                } else {
                    for (int32_t x = 0; x < width; ++x) b.out[x] = 255;
                }
                uint8_t* result = BufferRow(image, y);
                if (shape.planes == 3) {
                    op.kernels->recolourVariableRow(b.out, result, result, width);
                } else {
                    std::memcpy(result, b.out, size_t(width));
                }
                if (j == 0)
                    for (int32_t top = 0; top < 3; ++top) std::memcpy(BufferRow(image, top), result, size_t(rowBytes));
            }

            uint8_t* oldTop = win[0];
            for (int32_t i = 0; i < kWindowRows - 1; ++i) win[i] = win[i + 1];
            win[6] = oldTop;
        }
        if (pass == 1) peak = float(std::sqrt(largest));
    }
    return kNoErr;
}

}  // namespace

int16_t FindEdgesVariableWidth(ImageBuffer* image, const ProgressPair* progress, int32_t lineWidth, int32_t flag) {
    if (lineWidth < 3 || lineWidth > 5) return kErrBadParameters;
    BufferShape shape{};
    GetBufferShape(image, &shape);
    if (shape.width < 0 || shape.height < 0) return kNoErr;
    if (shape.planes != 1 && shape.planes != 3) return kErrBadParameters;

    Operator op{};
    op.kernels = ChooseGradientKernels();
    op.reach = lineWidth - 2;
    op.layout = LayoutFor(shape.width);
    Blocks blocks{};
    bool allocated = true;
    for (uint8_t*& row : blocks.window) {
        row = static_cast<uint8_t*>(AllocateMemoryBlock(op.layout.blockBytes));
        allocated = allocated && row != nullptr;
    }
    blocks.out = static_cast<uint8_t*>(AllocateMemoryBlock(op.layout.blockBytes));

    int16_t result = kErrOutOfMemory;
    if (allocated && blocks.out)
        result = RunVariableWidth(image, progress, op, (flag & 0xFF) != 0, shape, blocks);

    for (uint8_t* row : blocks.window) FreeMemoryBlock(row);
    FreeMemoryBlock(blocks.out);
    return result;
}

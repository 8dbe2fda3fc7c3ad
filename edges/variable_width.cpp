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
//
// Both passes run in bands of output rows (base/workers.h): pass 1 reads the image only, and the
// bands' largest values give the image's; in pass 2 a band takes the window rows that other bands
// write (the three above its first output row and the three below its last) from blocks filled
// before the pass.
#include <cmath>
#include <cstring>

#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "base/workers.h"
#include "buffers/image_buffer.h"
#include "edges/bands.h"
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

// A band's blocks: the window, the output row and, for pass 2, the window rows it reads that
// other bands write (the three above its first output and the three below its last), made before
// the pass from the image as it was.
struct BandBlocks {
    uint8_t* window[kWindowRows];
    uint8_t* out;
    uint8_t* foreign[6];
};

struct VariableWidth {
    ImageBuffer* image;
    BufferShape shape;
    Operator op;
    int32_t bands;
    float peak;
    BandBlocks blocks[kMaxThreads];
    double largest[kMaxThreads];
};

// Output rows j + 3 for j in [First(band), First(band + 1)).
inline int32_t First(const VariableWidth& v, int32_t band) { return BandStart(band, v.bands, v.shape.height - 3); }

// Window row `row` of band `band` for `pass`: from the band's copies where another band writes it.
void WindowRow(const VariableWidth& v, int32_t band, int32_t row, int32_t pass, uint8_t* dst) {
    const BandBlocks& b = v.blocks[band];
    const int32_t first = First(v, band), end = First(v, band + 1);
    if (pass == 2 && b.foreign[0] && row < first + 3) {
        std::memcpy(dst, b.foreign[row - first], v.op.layout.blockBytes);
    } else if (pass == 2 && b.foreign[3] && row >= end + 3) {
        std::memcpy(dst, b.foreign[3 + row - end - 3], v.op.layout.blockBytes);
    } else {
        LoadWindowRow(v.image, row, pass, v.shape, v.op, dst);
    }
}

// Pass 1 keeps the band's largest squared magnitude; pass 2 writes its rows.
void Band(VariableWidth& v, int32_t band, int32_t pass, BandControl* control) {
    const int32_t width = v.shape.width, rowBytes = width * v.shape.planes;
    const BandBlocks& b = v.blocks[band];
    const int32_t first = First(v, band), end = First(v, band + 1);
    uint8_t* win[kWindowRows];
    for (int32_t i = 0; i < kWindowRows; ++i) win[i] = b.window[i];
    for (int32_t i = 0; i < kWindowRows - 1; ++i) WindowRow(v, band, first + i, pass, win[i]);

    double largest = 0.0;
    for (int32_t j = first; j < end; ++j) {
        if (!NextBandRow(control)) break;
        WindowRow(v, band, j + 6, pass, win[6]);
        const VariableRows rows = WindowRows(win, width, v.op);
        if (pass == 1) {
            largest = v.op.kernels->peakOfRow[v.op.reach - 1](&rows, width, largest);
        } else {
            const int32_t y = j + 3;
            // An image without any gradient (peak 0) stays white.
            if (v.peak > 0.0f) {
                v.op.kernels->shadeRow[v.op.reach - 1](&rows, width, v.peak, b.out);
            } else {
                for (int32_t x = 0; x < width; ++x) b.out[x] = 255;
            }
            uint8_t* result = BufferRow(v.image, y);
            if (v.shape.planes == 3) {
                v.op.kernels->recolourVariableRow(b.out, result, result, width);
            } else {
                std::memcpy(result, b.out, size_t(width));
            }
            if (j == 0)
                for (int32_t top = 0; top < 3; ++top) std::memcpy(BufferRow(v.image, top), result, size_t(rowBytes));
        }
        uint8_t* oldTop = win[0];
        for (int32_t i = 0; i < kWindowRows - 1; ++i) win[i] = win[i + 1];
        win[6] = oldTop;
    }
    v.largest[band] = largest;
}

void PeakBand(void* arg, int32_t band, BandControl* control) { Band(*static_cast<VariableWidth*>(arg), band, 1, control); }
void ShadeBand(void* arg, int32_t band, BandControl* control) { Band(*static_cast<VariableWidth*>(arg), band, 2, control); }

int16_t RunVariableWidth(VariableWidth& v, WorkerPool* pool, const ProgressPair* progress, bool report) {
    const int32_t height = v.shape.height;
    int16_t result = RunBands(pool, {PeakBand, &v, v.bands}, progress, report, 0, 2 * height);
    if (result != kNoErr) return result;
    // The peak is the largest M as a 32-bit float. Keeping the largest squared magnitude instead
    // and rounding once at the end gives the same float: the square root and the rounding to
    // float are both monotone, and so is taking the largest of the bands' largest.
    double largest = 0.0;
    for (int32_t band = 0; band < v.bands; ++band) largest = v.largest[band] > largest ? v.largest[band] : largest;
    v.peak = float(std::sqrt(largest));

    for (int32_t band = 0; band < v.bands; ++band) {
        const BandBlocks& b = v.blocks[band];
        const int32_t first = First(v, band), end = First(v, band + 1);
        for (int32_t i = 0; i < 3; ++i) {
            if (b.foreign[i]) LoadWindowRow(v.image, first + i, 2, v.shape, v.op, b.foreign[i]);
            if (b.foreign[3 + i]) LoadWindowRow(v.image, end + 3 + i, 2, v.shape, v.op, b.foreign[3 + i]);
        }
    }
    return RunBands(pool, {ShadeBand, &v, v.bands}, progress, report, height, 2 * height);
}

}  // namespace

int16_t FindEdgesVariableWidth(ImageBuffer* image, const ProgressPair* progress, int32_t radius, int32_t flag) {
    if (radius < 1 || radius > kMaxReach) return kErrBadParameters;
    BufferShape shape{};
    int16_t result = kNoErr;
    if (!MethodImage(image, &shape, &result)) return result;

    VariableWidth v{};
    v.image = image;
    v.shape = shape;
    v.op.kernels = ChooseGradientKernels();
    // The radius asks for lines radius + 2.5 pixels wide, rounded down (3 .. 5), which the operator
    // draws by reaching width - 2 pixels from the centre.
    const int32_t lineWidth = int32_t(float(radius) + 2.5f);
    v.op.reach = lineWidth - 2;
    v.op.layout = LayoutFor(shape.width);
    const uint32_t blockBytes = v.op.layout.blockBytes;
    uint8_t* own[kWindowRows + 1];
    bool allocated = true;
    for (uint8_t*& row : own) {
        row = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
        allocated = allocated && row != nullptr;
    }

    result = allocated ? kNoErr : kErrOutOfMemory;
    if (allocated && shape.height > 3) {
        // Every band has 14 blocks, each at a multiple of 64 bytes.
        const uint32_t stride = (blockBytes + 63u) & ~63u;
        WorkerPool pool;
        uint8_t* blocks[kMaxThreads] = {};
        v.bands = StartBandWorkers(&pool, shape.height - 3, 14 * stride + 64, blocks);
        if (v.bands == 0) {
            v.bands = 1;
            for (int32_t i = 0; i < kWindowRows; ++i) v.blocks[0].window[i] = own[i];
            v.blocks[0].out = own[kWindowRows];
        }
        for (int32_t band = 0; band < v.bands && blocks[band]; ++band) {
            uint8_t* next = blocks[band] + (64u - uintptr_t(blocks[band]) % 64u) % 64u;
            BandBlocks& b = v.blocks[band];
            for (uint8_t*& row : b.window) row = (next += stride) - stride;
            b.out = (next += stride) - stride;
            for (int32_t i = 0; i < 6; ++i) {
                uint8_t* block = (next += stride) - stride;
                // The first band has no rows above it that another band writes, the last none below.
                if ((i < 3 && band > 0) || (i >= 3 && band < v.bands - 1)) b.foreign[i] = block;
            }
        }
        result = RunVariableWidth(v, &pool, progress, (flag & 0xFF) != 0);
        StopBandWorkers(&pool, blocks);
    }

    for (uint8_t* row : own) FreeMemoryBlock(row);
    return result;
}

// Smoother: the brightness of every pixel becomes an edge value from the largest of three
// directional gradient responses around it; a colour pixel keeps its two colour differences.
//
// Three passes through the bordered scratch image "Kirsch" ((W + 2) x (H + 2) brightness samples,
// image pixel (x, y) at (x + 1, y + 1), the outer ring repeating the nearest image pixel), so that
// every pixel, the border included, has a full 3x3 neighbourhood:
//   1. image -> scratch: the brightness of every pixel, (R + G + B + 1) div 3 for colour, borders
//      repeated;
//   2. in place on the scratch image with a three-row ring: brightness -> edge value;
//   3. scratch -> image: a colour pixel takes the edge value as its new brightness and keeps its
//      two colour differences, which it still holds, because the image is not touched before
//      pass 3 and pass 3 writes each row only after reading it. The differences are therefore
//      taken from the image row itself rather than carried through the scratch image, which so
//      needs one plane instead of three.
// Every pass works on the rows where they lie; pass 2 keeps the values of the row above and of the
// row itself in two row blocks, as the rows below still need them once they are overwritten.
#include <cstring>

#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/gradient.h"
#include "edges/methods.h"

namespace {

struct Saved {
    uint8_t* above;   // brightness of the scratch row above the one being computed
    uint8_t* middle;  // brightness of the scratch row being computed
};

inline bool Stop(const ProgressPair* progress, bool report, int32_t step, int32_t steps) {
    if (!report) return false;
    ReportStep(progress, step, steps);
    return AbortRequested(progress) != 0;
}

int16_t RunSmoother(ImageBuffer* image, ImageBuffer* scratch, const ProgressPair* progress, bool report,
                    const BufferShape& shape, Saved saved) {
    const int32_t width = shape.width, height = shape.height, planes = shape.planes;
    const size_t scratchBytes = size_t(width) + 2;
    const GradientKernels* kernels = ChooseGradientKernels();

    // Pass 1: pixels 0 and W + 1 of a scratch row repeat pixels 1 and W, rows 0 and H + 1 rows 1
    // and H.
    for (int32_t y = 0; y < height; ++y) {
        if (Stop(progress, report, y, 3 * height)) return kErrUserCancelled;
        uint8_t* bright = BufferRow(scratch, y + 1);
        const uint8_t* pixels = BufferRow(image, y);
        if (planes == 3) {
            kernels->brightnessRow(pixels, width, bright + 1);
        } else {
            std::memcpy(bright + 1, pixels, size_t(width));
        }
        bright[0] = bright[1];
        bright[width + 1] = bright[width];
    }
    std::memcpy(BufferRow(scratch, 0), BufferRow(scratch, 1), scratchBytes);
    std::memcpy(BufferRow(scratch, height + 1), BufferRow(scratch, height), scratchBytes);

    // Pass 2: pixels 1 .. W get their edge values; the border pixels pass through unchanged.
    std::memcpy(saved.above, BufferRow(scratch, 0), scratchBytes);
    for (int32_t y = 1; y <= height; ++y) {
        if (Stop(progress, report, height + y - 1, 3 * height)) return kErrUserCancelled;
        uint8_t* row = BufferRow(scratch, y);
        std::memcpy(saved.middle, row, scratchBytes);
        kernels->kirschRow(saved.above + 1, saved.middle + 1, BufferRow(scratch, y + 1) + 1, width, row + 1);
        uint8_t* oldAbove = saved.above;
        saved.above = saved.middle;
        saved.middle = oldAbove;
    }

    // Pass 3.
    for (int32_t y = 0; y < height; ++y) {
        if (Stop(progress, report, 2 * height + y, 3 * height)) return kErrUserCancelled;
        const uint8_t* level = BufferRow(scratch, y + 1) + 1;
        uint8_t* pixels = BufferRow(image, y);
        if (planes == 3) {
            kernels->recolourSmootherRow(level, pixels, pixels, width);
        } else {
            std::memcpy(pixels, level, size_t(width));
        }
    }
    return kNoErr;
}

}  // namespace

int16_t FindEdgesSmoother(ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    BufferShape shape{};
    GetBufferShape(image, &shape);
    if (shape.width < 0 || shape.height < 0) return kNoErr;
    if (shape.planes != 1 && shape.planes != 3) return kErrBadParameters;

    // Blocks of the scratch row's size: never 0 bytes (an image with no columns), which the heap
    // would refuse.
    const uint32_t blockBytes = uint32_t(shape.width + 2);
    Saved saved{};
    saved.above = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    saved.middle = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    ImageBuffer* scratch = nullptr;

    int16_t result = kErrOutOfMemory;
    if (saved.above && saved.middle) {
        result = CreateScratchBuffer("Kirsch", shape.width, shape.height, 1, &scratch);
        if (result == kNoErr && !scratch) result = kErrOutOfMemory;
        if (result == kNoErr && shape.height > 0)
            result = RunSmoother(image, scratch, progress, (flag & 0xFF) != 0, shape, saved);
    }

    DisposeImageBuffer(scratch);
    FreeMemoryBlock(saved.above);
    FreeMemoryBlock(saved.middle);
    return result;
}

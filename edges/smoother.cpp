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
#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/gradient.h"
#include "edges/methods.h"

namespace {

struct Blocks {
    uint8_t* above;
    uint8_t* middle;
    uint8_t* below;
    uint8_t* output;
    uint8_t* line;
};

// Pixels 0 and W + 1 of a bordered scratch row repeat pixels 1 and W.
void RepeatEnds(uint8_t* row, int32_t width) {
    row[0] = row[1];
    row[width + 1] = row[width];
}

int16_t RunSmoother(ImageBuffer* image, ImageBuffer* scratch, const ProgressPair* progress, bool report,
                    const BufferShape& shape, Blocks b) {
    const int32_t width = shape.width, height = shape.height, planes = shape.planes;
    const int32_t rowBytes = width * planes;
    const int32_t scratchBytes = width + 2;
    const GradientKernels* kernels = ChooseGradientKernels();

    for (int32_t y = 0; y < height; ++y) {
        if (report) {
            ReportStep(progress, y, 3 * height);
            if (AbortRequested(progress)) return kErrUserCancelled;
        }
        if (planes == 3) {
            ReadBufferRow(image, 0, y, rowBytes, b.line);
            kernels->brightnessRow(b.line, width, b.below + 1);
        } else {
            ReadBufferRow(image, 0, y, rowBytes, b.below + 1);
        }
        RepeatEnds(b.below, width);
        if (y == 0) WriteBufferRow(scratch, 0, 0, scratchBytes, b.below);
        WriteBufferRow(scratch, 0, y + 1, scratchBytes, b.below);
    }
    WriteBufferRow(scratch, 0, height + 1, scratchBytes, b.below);

    ReadBufferRow(scratch, 0, 0, scratchBytes, b.above);
    ReadBufferRow(scratch, 0, 1, scratchBytes, b.middle);
    for (int32_t y = 1; y <= height; ++y) {
        if (report) {
            ReportStep(progress, height + y - 1, 3 * height);
            if (AbortRequested(progress)) return kErrUserCancelled;
        }
        ReadBufferRow(scratch, 0, y + 1, scratchBytes, b.below);
        // The border pixels pass through unchanged; pixels 1 .. W get their edge values.
        b.output[0] = b.middle[0];
        b.output[width + 1] = b.middle[width + 1];
        kernels->kirschRow(b.above + 1, b.middle + 1, b.below + 1, width, b.output + 1);
        WriteBufferRow(scratch, 0, y, scratchBytes, b.output);

        uint8_t* oldAbove = b.above;
        b.above = b.middle;
        b.middle = b.below;
        b.below = oldAbove;
    }

    for (int32_t y = 0; y < height; ++y) {
        if (report) {
            ReportStep(progress, 2 * height + y, 3 * height);
            if (AbortRequested(progress)) return kErrUserCancelled;
        }
        ReadBufferRow(scratch, 0, y + 1, scratchBytes, b.above);
        if (planes == 3) {
            ReadBufferRow(image, 0, y, rowBytes, b.line);
            kernels->recolourSmootherRow(b.above + 1, b.line, b.line, width);
            WriteBufferRow(image, 0, y, rowBytes, b.line);
        } else {
            WriteBufferRow(image, 0, y, rowBytes, b.above + 1);
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

    // Every block, the image row included, has the scratch row's size: never 0 bytes (an image
    // with no columns), which the heap would refuse.
    const uint32_t blockBytes = uint32_t(shape.width + 2) * uint32_t(shape.planes);
    Blocks blocks{};
    blocks.above = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    blocks.middle = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    blocks.below = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    blocks.output = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    blocks.line = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    ImageBuffer* scratch = nullptr;

    int16_t result = kErrOutOfMemory;
    if (blocks.above && blocks.middle && blocks.below && blocks.output && blocks.line) {
        result = CreateScratchBuffer("Kirsch", shape.width, shape.height, 1, &scratch);
        if (result == kNoErr && !scratch) result = kErrOutOfMemory;
        if (result == kNoErr) result = RunSmoother(image, scratch, progress, (flag & 0xFF) != 0, shape, blocks);
    }

    DisposeImageBuffer(scratch);
    FreeMemoryBlock(blocks.above);
    FreeMemoryBlock(blocks.middle);
    FreeMemoryBlock(blocks.below);
    FreeMemoryBlock(blocks.output);
    FreeMemoryBlock(blocks.line);
    return result;
}

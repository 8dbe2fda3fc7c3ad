// Traditional: every interior sample of every channel becomes 255 minus the Sobel gradient
// magnitude at that sample (divided by 5 before the square root), in place, one pass over a
// three-row ring. The outermost rows and columns keep their input values.
#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/gradient.h"
#include "edges/methods.h"

namespace {

struct Ring {
    uint8_t* above;
    uint8_t* middle;
    uint8_t* below;
    uint8_t* output;
};

int16_t RunTraditional(ImageBuffer* image, const ProgressPair* progress, bool report, const BufferShape& shape, Ring ring) {
    const int32_t width = shape.width, height = shape.height, planes = shape.planes;
    const int32_t rowBytes = width * planes;
    if (height < 3) return kNoErr;
    const GradientKernels* kernels = ChooseGradientKernels();

    ReadBufferRow(image, 0, 0, rowBytes, ring.above);
    ReadBufferRow(image, 0, 1, rowBytes, ring.middle);
    for (int32_t h = 0; h <= height - 3; ++h) {
        if (report) {
            ReportStep(progress, h, height);
            if (AbortRequested(progress)) return kErrUserCancelled;
        }
        ReadBufferRow(image, 0, h + 2, rowBytes, ring.below);
        // Columns 0 and W - 1 keep their input values (the whole row when W < 3); columns
        // 1 .. W - 2, every channel, are one contiguous run of samples.
        for (int32_t i = 0; i < planes && i < rowBytes; ++i) {
            ring.output[i] = ring.middle[i];
            ring.output[rowBytes - 1 - i] = ring.middle[rowBytes - 1 - i];
        }
        if (width >= 3)
            kernels->sobelRow(ring.above + planes, ring.middle + planes, ring.below + planes, planes,
                              rowBytes - 2 * planes, ring.output + planes);
        WriteBufferRow(image, 0, h + 1, rowBytes, ring.output);

        uint8_t* oldAbove = ring.above;
        ring.above = ring.middle;
        ring.middle = ring.below;
        ring.below = oldAbove;
    }
    return kNoErr;
}

}  // namespace

int16_t FindEdgesTraditional(ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    BufferShape shape{};
    GetBufferShape(image, &shape);
    if (shape.width < 0 || shape.height < 0 || shape.planes < 1) return kNoErr;

    const uint32_t blockBytes = uint32_t(shape.planes) * uint32_t(shape.width + 2);
    Ring ring{};
    ring.above = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    ring.middle = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    ring.below = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    ring.output = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));

    int16_t result = kErrOutOfMemory;
    if (ring.above && ring.middle && ring.below && ring.output)
        result = RunTraditional(image, progress, (flag & 0xFF) != 0, shape, ring);

    FreeMemoryBlock(ring.above);
    FreeMemoryBlock(ring.middle);
    FreeMemoryBlock(ring.below);
    FreeMemoryBlock(ring.output);
    return result;
}

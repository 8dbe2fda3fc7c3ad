// Traditional: every interior sample of every channel becomes 255 minus the Sobel gradient
// magnitude at that sample (divided by 5 before the square root), in place. The outermost rows and
// columns keep their input values. Each row's new values are written straight into the image; two
// row blocks keep the input values of the row above and of the row itself, which the next rows
// still need.
#include <cstring>

#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/gradient.h"
#include "edges/methods.h"

namespace {

struct Saved {
    uint8_t* above;   // input values of the row above the one being computed
    uint8_t* middle;  // input values of the row being computed
};

int16_t RunTraditional(ImageBuffer* image, const ProgressPair* progress, bool report, const BufferShape& shape,
                       Saved saved) {
    const int32_t width = shape.width, height = shape.height, planes = shape.planes;
    const int32_t rowBytes = width * planes;
    if (height < 3) return kNoErr;
    const GradientKernels* kernels = ChooseGradientKernels();

    ReadBufferRow(image, 0, 0, rowBytes, saved.above);
    for (int32_t h = 0; h <= height - 3; ++h) {
        if (report) {
            ReportStep(progress, h, height);
            if (AbortRequested(progress)) return kErrUserCancelled;
        }
        uint8_t* row = BufferRow(image, h + 1);
        const uint8_t* below = BufferRow(image, h + 2);
        if (!row || !below) return kNoErr;
        std::memcpy(saved.middle, row, size_t(rowBytes));
        // Columns 0 and W - 1 keep their input values (the whole row when W < 3); columns
        // 1 .. W - 2, every channel, are one contiguous run of samples.
        if (width >= 3)
            kernels->sobelRow(saved.above + planes, saved.middle + planes, below + planes, planes,
                              rowBytes - 2 * planes, row + planes);
        uint8_t* oldAbove = saved.above;
        saved.above = saved.middle;
        saved.middle = oldAbove;
    }
    return kNoErr;
}

}  // namespace

int16_t FindEdgesTraditional(ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    BufferShape shape{};
    GetBufferShape(image, &shape);
    if (shape.width < 0 || shape.height < 0 || shape.planes < 1) return kNoErr;

    const uint32_t blockBytes = uint32_t(shape.planes) * uint32_t(shape.width + 2);
    Saved saved{};
    saved.above = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    saved.middle = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));

    int16_t result = kErrOutOfMemory;
    if (saved.above && saved.middle) result = RunTraditional(image, progress, (flag & 0xFF) != 0, shape, saved);

    FreeMemoryBlock(saved.above);
    FreeMemoryBlock(saved.middle);
    return result;
}

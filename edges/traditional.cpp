// Traditional: every interior sample of every channel becomes 255 minus the Sobel gradient
// magnitude at that sample (divided by 5 before the square root), in place, one pass over a
// three-row ring. The outermost rows and columns keep their input values.
#include <cmath>

#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "host/plugin.h"

namespace {

// floor(sqrt(s)) for 0 <= s < 2^31, the same in every build: the double square root is correctly
// rounded, and the integer checks settle any doubt about the last step.
inline int32_t FloorSqrt(int32_t s) {
    int32_t m = int32_t(std::sqrt(double(s)));
    while (int64_t(m) * m > s) --m;
    while (int64_t(m + 1) * (m + 1) <= s) ++m;
    return m;
}

// The edge value of the sample at `mid` of the middle row; `above` and `below` point at the same
// sample of the neighbouring rows, and `step` bytes separate horizontally adjacent pixels.
inline uint8_t SobelSample(const uint8_t* above, const uint8_t* mid, const uint8_t* below, int32_t step) {
    const int32_t nw = above[-step], n = above[0], ne = above[step];
    const int32_t w = mid[-step], e = mid[step];
    const int32_t sw = below[-step], s = below[0], se = below[step];
    const int32_t gx = (ne + 2 * e + se) - (nw + 2 * w + sw);
    const int32_t gy = (nw + 2 * n + ne) - (sw + 2 * s + se);
    const int32_t m = FloorSqrt((gx * gx + gy * gy) / 5);
    return uint8_t(m <= 254 ? 255 - m : 0);
}

struct Ring {
    uint8_t* above;
    uint8_t* middle;
    uint8_t* below;
    uint8_t* output;
};

int16_t RunTraditional(ImageBuffer* image, const RunState* run, bool report, const BufferShape& shape, Ring ring) {
    const int32_t width = shape.width, height = shape.height, planes = shape.planes;
    const int32_t rowBytes = width * planes;
    if (height < 3) return kNoErr;

    ReadBufferRow(image, 0, 0, rowBytes, ring.above);
    ReadBufferRow(image, 0, 1, rowBytes, ring.middle);
    for (int32_t h = 0; h <= height - 3; ++h) {
        if (report) {
            ReportProgress(run, h, height);
            if (TestAbort(run)) return kErrUserCancelled;
        }
        ReadBufferRow(image, 0, h + 2, rowBytes, ring.below);
        for (int32_t i = 0; i < rowBytes; ++i) ring.output[i] = ring.middle[i];
        // Columns 1 .. W-2, every channel: one contiguous run of samples.
        for (int32_t i = planes; i < rowBytes - planes; ++i)
            ring.output[i] = SobelSample(ring.above + i, ring.middle + i, ring.below + i, planes);
        WriteBufferRow(image, 0, h + 1, rowBytes, ring.output);

        uint8_t* oldAbove = ring.above;
        ring.above = ring.middle;
        ring.middle = ring.below;
        ring.below = oldAbove;
    }
    return kNoErr;
}

}  // namespace

int16_t FindEdgesTraditional(ImageBuffer* image, const RunState* run, int32_t flag) {
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
        result = RunTraditional(image, run, (flag & 0xFF) != 0, shape, ring);

    FreeMemoryBlock(ring.above);
    FreeMemoryBlock(ring.middle);
    FreeMemoryBlock(ring.below);
    FreeMemoryBlock(ring.output);
    return result;
}

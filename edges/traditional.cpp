// Traditional: every interior sample of every channel becomes 255 minus the Sobel gradient
// magnitude at that sample (divided by 5 before the square root), in place. The outermost rows and
// columns keep their input values. Each row's new values are written straight into the image; two
// row blocks keep the input values of the row above and of the row itself, which the next rows
// still need.
//
// The interior rows run in bands (base/workers.h). A band needs the input values of the row above
// its first and of the row below its last, which its neighbours overwrite: both are copied into
// the band's own blocks before the bands start. A single band (one thread) reads the row below
// from the image, which nobody else writes.
#include <cstring>

#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "base/workers.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/gradient.h"
#include "edges/methods.h"

namespace {

struct Saved {
    uint8_t* above;   // input values of the row above the one being computed
    uint8_t* middle;  // input values of the row being computed
    uint8_t* below;   // input values of the row below the band (none: read the image)
};

struct Traditional {
    ImageBuffer* image;
    const GradientKernels* kernels;
    int32_t width;
    int32_t height;
    int32_t planes;
    int32_t bands;
    Saved saved[kMaxThreads];
};

// Rows 1 + [first, end) of the interior rows of band `band`; saved.above already holds the input
// of the row above the band.
void SobelBand(void* arg, int32_t band, BandControl* control) {
    Traditional& t = *static_cast<Traditional*>(arg);
    const int32_t planes = t.planes, rowBytes = t.width * planes;
    const int32_t first = 1 + BandStart(band, t.bands, t.height - 2), end = 1 + BandStart(band + 1, t.bands, t.height - 2);
    Saved saved = t.saved[band];
    for (int32_t r = first; r < end; ++r) {
        if (!NextBandRow(control)) return;
        uint8_t* row = BufferRow(t.image, r);
        const uint8_t* below = r + 1 == end && saved.below ? saved.below : BufferRow(t.image, r + 1);
        if (!row || !below) return;
        std::memcpy(saved.middle, row, size_t(rowBytes));
        // Columns 0 and W - 1 keep their input values (the whole row when W < 3); columns
        // 1 .. W - 2, every channel, are one contiguous run of samples.
        if (t.width >= 3)
            t.kernels->sobelRow(saved.above + planes, saved.middle + planes, below + planes, planes,
                                rowBytes - 2 * planes, row + planes);
        uint8_t* oldAbove = saved.above;
        saved.above = saved.middle;
        saved.middle = oldAbove;
    }
}

int16_t RunTraditional(ImageBuffer* image, const ProgressPair* progress, bool report, const BufferShape& shape,
                       Saved own, uint32_t blockBytes) {
    if (shape.height < 3) return kNoErr;
    Traditional t{};
    t.image = image;
    t.kernels = ChooseGradientKernels();
    t.width = shape.width;
    t.height = shape.height;
    t.planes = shape.planes;
    const int32_t rowBytes = shape.width * shape.planes;

    WorkerPool pool;
    uint8_t* blocks[kMaxThreads] = {};
    t.bands = StartBandWorkers(&pool, shape.height - 2, 3 * blockBytes, blocks);
    if (t.bands == 0) {
        t.bands = 1;
        t.saved[0] = own;
    }
    for (int32_t band = 0; band < t.bands; ++band) {
        if (blocks[band]) t.saved[band] = {blocks[band], blocks[band] + blockBytes, blocks[band] + 2 * blockBytes};
        ReadBufferRow(image, 0, BandStart(band, t.bands, shape.height - 2), rowBytes, t.saved[band].above);
        if (t.saved[band].below)
            ReadBufferRow(image, 0, 1 + BandStart(band + 1, t.bands, shape.height - 2), rowBytes, t.saved[band].below);
    }
    const int16_t result = RunBands(&pool, {SobelBand, &t, t.bands}, progress, report, 0, shape.height);
    StopBandWorkers(&pool, blocks);
    return result;
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
    if (saved.above && saved.middle)
        result = RunTraditional(image, progress, (flag & 0xFF) != 0, shape, saved, blockBytes);

    FreeMemoryBlock(saved.above);
    FreeMemoryBlock(saved.middle);
    return result;
}

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
// Each pass runs in bands of rows (base/workers.h); the bands of pass 2 start from copies of the
// scratch rows just above and below them, made before the pass, as their neighbours overwrite
// those rows.
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
    uint8_t* above;   // brightness of the scratch row above the one being computed
    uint8_t* middle;  // brightness of the scratch row being computed
    uint8_t* below;   // brightness of the scratch row below the band (none: read the scratch image)
};

struct Smoother {
    ImageBuffer* image;
    ImageBuffer* scratch;
    const GradientKernels* kernels;
    int32_t width;
    int32_t height;
    int32_t planes;
    int32_t bands;
    Saved saved[kMaxThreads];
};

inline int32_t First(const Smoother& m, int32_t band) { return BandStart(band, m.bands, m.height); }

// Pass 1: pixels 0 and W + 1 of a scratch row repeat pixels 1 and W.
void BrightnessBand(void* arg, int32_t band, BandControl* control) {
    const Smoother& m = *static_cast<const Smoother*>(arg);
    for (int32_t y = First(m, band), end = First(m, band + 1); y < end; ++y) {
        if (!NextBandRow(control)) return;
        uint8_t* bright = BufferRow(m.scratch, y + 1);
        const uint8_t* pixels = BufferRow(m.image, y);
        if (m.planes == 3) {
            m.kernels->brightnessRow(pixels, m.width, bright + 1);
        } else {
            std::memcpy(bright + 1, pixels, size_t(m.width));
        }
        bright[0] = bright[1];
        bright[m.width + 1] = bright[m.width];
    }
}

// Pass 2: pixels 1 .. W of scratch rows 1 + [first, end) get their edge values; the border pixels
// pass through unchanged. saved.above already holds the row above the band.
void KirschBand(void* arg, int32_t band, BandControl* control) {
    const Smoother& m = *static_cast<const Smoother*>(arg);
    const size_t scratchBytes = size_t(m.width) + 2;
    Saved saved = m.saved[band];
    for (int32_t y = 1 + First(m, band), end = 1 + First(m, band + 1); y < end; ++y) {
        if (!NextBandRow(control)) return;
        uint8_t* row = BufferRow(m.scratch, y);
        const uint8_t* below = y + 1 == end && saved.below ? saved.below : BufferRow(m.scratch, y + 1);
        std::memcpy(saved.middle, row, scratchBytes);
        m.kernels->kirschRow(saved.above + 1, saved.middle + 1, below + 1, m.width, row + 1);
        uint8_t* oldAbove = saved.above;
        saved.above = saved.middle;
        saved.middle = oldAbove;
    }
}

// Pass 3.
void OutputBand(void* arg, int32_t band, BandControl* control) {
    const Smoother& m = *static_cast<const Smoother*>(arg);
    for (int32_t y = First(m, band), end = First(m, band + 1); y < end; ++y) {
        if (!NextBandRow(control)) return;
        const uint8_t* level = BufferRow(m.scratch, y + 1) + 1;
        uint8_t* pixels = BufferRow(m.image, y);
        if (m.planes == 3) {
            m.kernels->recolourSmootherRow(level, pixels, pixels, m.width);
        } else {
            std::memcpy(pixels, level, size_t(m.width));
        }
    }
}

int16_t RunPasses(Smoother& m, WorkerPool* pool, const ProgressPair* progress, bool report) {
    const int32_t height = m.height;
    const int32_t scratchBytes = m.width + 2;
    int16_t result = RunBands(pool, {BrightnessBand, &m, m.bands}, progress, report, 0, 3 * height);
    if (result != kNoErr) return result;
    std::memcpy(BufferRow(m.scratch, 0), BufferRow(m.scratch, 1), size_t(scratchBytes));
    std::memcpy(BufferRow(m.scratch, height + 1), BufferRow(m.scratch, height), size_t(scratchBytes));

    for (int32_t band = 0; band < m.bands; ++band) {
        ReadBufferRow(m.scratch, 0, First(m, band), scratchBytes, m.saved[band].above);
        if (m.saved[band].below) ReadBufferRow(m.scratch, 0, 1 + First(m, band + 1), scratchBytes, m.saved[band].below);
    }
    result = RunBands(pool, {KirschBand, &m, m.bands}, progress, report, height, 3 * height);
    if (result != kNoErr) return result;
    return RunBands(pool, {OutputBand, &m, m.bands}, progress, report, 2 * height, 3 * height);
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
    struct {
        uint8_t* above;
        uint8_t* middle;
    } saved{};
    saved.above = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    saved.middle = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    Smoother m{};
    m.image = image;
    m.kernels = ChooseGradientKernels();
    m.width = shape.width;
    m.height = shape.height;
    m.planes = shape.planes;

    int16_t result = kErrOutOfMemory;
    if (saved.above && saved.middle) {
        result = CreateScratchBuffer("Kirsch", shape.width, shape.height, 1, &m.scratch);
        if (result == kNoErr && !m.scratch) result = kErrOutOfMemory;
        if (result == kNoErr && shape.height > 0) {
            WorkerPool pool;
            uint8_t* blocks[kMaxThreads] = {};
            m.bands = StartBandWorkers(&pool, shape.height, 3 * blockBytes, blocks);
            if (m.bands == 0) {
                m.bands = 1;
                m.saved[0] = {saved.above, saved.middle, nullptr};
            }
            for (int32_t band = 0; band < m.bands && blocks[band]; ++band)
                m.saved[band] = {blocks[band], blocks[band] + blockBytes, blocks[band] + 2 * blockBytes};
            result = RunPasses(m, &pool, progress, (flag & 0xFF) != 0);
            StopBandWorkers(&pool, blocks);
        }
    }

    DisposeImageBuffer(m.scratch);
    FreeMemoryBlock(saved.above);
    FreeMemoryBlock(saved.middle);
    return result;
}

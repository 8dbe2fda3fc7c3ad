// The band skeleton of the 3x3 methods (bands.h).
#include "edges/bands.h"

#include <cstring>

#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/gradient.h"

namespace {

void BrightnessBand(void* arg, int32_t band, BandControl* control) {
    const Bands& m = *static_cast<const Bands*>(arg);
    const GradientKernels* kernels = ChooseGradientKernels();
    for (int32_t y = First(m, band), end = First(m, band + 1); y < end; ++y) {
        if (!NextBandRow(control)) return;
        uint8_t* bright = BufferRow(m.scratch, y + 1);
        const uint8_t* pixels = BufferRow(m.image, y);
        if (m.planes == 3) {
            kernels->brightnessRow(pixels, m.width, bright + 1);
        } else {
            std::memcpy(bright + 1, pixels, size_t(m.width));
        }
        bright[0] = bright[1];
        bright[m.width + 1] = bright[m.width];
    }
}

// A pass of the rows of one kernel.
struct RowJob {
    const Bands* bands;
    ThreeRowKernel threeRow;
    WriteBackKernel writeBack;
};

// Rows 1 + [First(band), First(band + 1)) of `worked`; band.above already holds the row above.
void ThreeRowBand(void* arg, int32_t band, BandControl* control) {
    const RowJob& job = *static_cast<const RowJob*>(arg);
    const Bands& m = *job.bands;
    BandRows rows = m.band[band];
    for (int32_t y = 1 + First(m, band), end = 1 + First(m, band + 1); y < end; ++y) {
        if (!NextBandRow(control)) return;
        uint8_t* row = BufferRow(m.worked, y);
        const uint8_t* below = y + 1 == end && rows.below ? rows.below : BufferRow(m.worked, y + 1);
        std::memcpy(rows.middle, row, size_t(m.rowBytes));
        job.threeRow(m, rows.above, rows.middle, below, row);
        uint8_t* oldAbove = rows.above;
        rows.above = rows.middle;
        rows.middle = oldAbove;
    }
}

void WriteBackBand(void* arg, int32_t band, BandControl* control) {
    const RowJob& job = *static_cast<const RowJob*>(arg);
    const Bands& m = *job.bands;
    for (int32_t y = First(m, band), end = First(m, band + 1); y < end; ++y) {
        if (!NextBandRow(control)) return;
        job.writeBack(m, BufferRow(m.scratch, y + 1) + 1, BufferRow(m.image, y));
    }
}

int16_t UsualPasses(Bands* m, const BandMethod& method) {
    if (!m->scratch) return RunThreeRows(m, method.threeRow, 0, m->height);
    const int32_t height = m->height;
    int16_t result = LoadBrightness(m, 0, 3 * height);
    if (result == kNoErr) result = RunThreeRows(m, method.threeRow, height, 3 * height);
    if (result == kNoErr) result = WriteBack(m, method.writeBack, 2 * height, 3 * height);
    return result;
}

}  // namespace

bool MethodImage(const ImageBuffer* image, BufferShape* shape, int16_t* result) {
    GetBufferShape(image, shape);
    *result = kNoErr;
    if (shape->width <= 0 || shape->height <= 0) return false;
    // Brightness, colour differences and the colour outputs are defined for grey and RGB alone.
    if (shape->planes != 1 && shape->planes != 3) *result = kErrBadParameters;
    return *result == kNoErr;
}

int16_t RunBandMethod(const BandMethod& method, const void* state, ImageBuffer* image,
                      const ProgressPair* progress, int32_t flag) {
    BufferShape shape{};
    int16_t result = kNoErr;
    if (!MethodImage(image, &shape, &result)) return result;

    Bands m{};
    m.image = image;
    m.width = shape.width;
    m.height = shape.height;
    m.planes = shape.planes;
    // Without a scratch image the outermost rows keep their values: only the interior is computed.
    m.rows = method.scratchName ? shape.height : shape.height - 2;
    if (m.rows <= 0) return kNoErr;
    m.rowBytes = method.scratchName ? shape.width + 2 : shape.width * shape.planes;
    m.state = state;
    m.progress = progress;
    m.report = (flag & 0xFF) != 0;

    // The one band's blocks when no worker runs (above, middle and the spare one), then the flags.
    const uint32_t rowBytes = uint32_t(m.rowBytes), ownRows = method.spareRow ? 3 : 2;
    const uint32_t flagBytes = uint32_t(method.flagsPerRow) * uint32_t(m.rows + 2);
    uint8_t* own = static_cast<uint8_t*>(AllocateMemoryBlock(ownRows * rowBytes + flagBytes));
    result = own ? kNoErr : kErrOutOfMemory;
    if (own && flagBytes) m.flags = own + ownRows * rowBytes;
    if (result == kNoErr && method.scratchName) {
        result = CreateScratchBuffer(method.scratchName, m.width, m.height, 1, &m.scratch);
        if (result == kNoErr && !m.scratch) result = kErrOutOfMemory;
    }
    if (result == kNoErr) {
        m.worked = m.scratch ? m.scratch : image;
        WorkerPool pool;
        uint8_t* blocks[kMaxThreads] = {};
        m.pool = &pool;
        m.bands = StartBandWorkers(&pool, m.rows, (ownRows + 1) * rowBytes, blocks);
        if (m.bands == 0) {
            m.bands = 1;
            m.band[0] = {own, own + rowBytes, nullptr, method.spareRow ? own + 2 * rowBytes : nullptr};
        }
        for (int32_t band = 0; band < m.bands && blocks[band]; ++band) {
            uint8_t* block = blocks[band];
            uint8_t* spare = method.spareRow ? block + 3 * rowBytes : nullptr;
            m.band[band] = {block, block + rowBytes, block + 2 * rowBytes, spare};
        }
        result = method.passes ? method.passes(&m) : UsualPasses(&m, method);
        StopBandWorkers(&pool, blocks);
    }

    DisposeImageBuffer(m.scratch);
    FreeMemoryBlock(own);
    return result;
}

int16_t RunBandPass(Bands* m, void (*work)(void*, int32_t, BandControl*), void* arg, int32_t firstStep,
                    int32_t steps) {
    return RunBands(m->pool, {work, arg, m->bands}, m->progress, m->report, firstStep, steps);
}

int16_t LoadBrightness(Bands* m, int32_t firstStep, int32_t steps) {
    const int16_t result = RunBandPass(m, BrightnessBand, m, firstStep, steps);
    if (result != kNoErr) return result;
    std::memcpy(BufferRow(m->scratch, 0), BufferRow(m->scratch, 1), size_t(m->rowBytes));
    std::memcpy(BufferRow(m->scratch, m->height + 1), BufferRow(m->scratch, m->height), size_t(m->rowBytes));
    return kNoErr;
}

void CopyBandBorders(Bands* m) {
    for (int32_t band = 0; band < m->bands; ++band) {
        BandRows& rows = m->band[band];
        ReadBufferRow(m->worked, 0, First(*m, band), m->rowBytes, rows.above);
        if (rows.below) ReadBufferRow(m->worked, 0, 1 + First(*m, band + 1), m->rowBytes, rows.below);
    }
}

int16_t RunThreeRows(Bands* m, ThreeRowKernel kernel, int32_t firstStep, int32_t steps) {
    CopyBandBorders(m);
    RowJob job{m, kernel, nullptr};
    return RunBandPass(m, ThreeRowBand, &job, firstStep, steps);
}

int16_t WriteBack(Bands* m, WriteBackKernel kernel, int32_t firstStep, int32_t steps) {
    RowJob job{m, nullptr, kernel};
    return RunBandPass(m, WriteBackBand, &job, firstStep, steps);
}

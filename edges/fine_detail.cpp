// Fine detail: at every pixel the 3x3 brightness pattern is split over nine fixed masks, and the
// share of its energy that lies in the two straight-edge masks becomes darkness: flat areas white,
// pure edges black. Three passes through the bordered one-plane scratch image "FreiChen":
// brightness in, edge values in place, back to the image (grey, or the brightness of each colour
// pixel replaced while its two colour differences stay), every pass on the rows where they lie;
// pass 2 keeps the brightness of the row above and of the row itself in two row blocks. Every pass
// runs in bands of rows (base/workers.h); a band of pass 2 starts from copies, made before the
// pass, of the scratch rows just above and below it, which its neighbours overwrite. The
// per-row work is done by the kernels of pattern.h, chosen once per call; the edge value comes
// from the compile-time step tables of fine_detail.h.
#include <cstring>

#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "base/workers.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/pattern.h"
#include "edges/methods.h"

namespace {

struct Rows {
    uint8_t* above;   // brightness of the scratch row above the one being computed (width + 2 bytes)
    uint8_t* middle;  // brightness of the scratch row being computed
    uint8_t* below;   // brightness of the scratch row below the band (none: read the scratch image)
};

struct FineDetail {
    ImageBuffer* image;
    ImageBuffer* scratch;
    const PatternKernels* kernels;
    int32_t width;
    int32_t height;
    int32_t planes;
    int32_t bands;
    Rows rows[kMaxThreads];
};

inline int32_t First(const FineDetail& m, int32_t band) { return BandStart(band, m.bands, m.height); }

// Pass 1: the brightness of every pixel into the scratch image, the border repeating the nearest
// pixel.
void BrightnessBand(void* arg, int32_t band, BandControl* control) {
    const FineDetail& m = *static_cast<const FineDetail*>(arg);
    for (int32_t y = First(m, band), end = First(m, band + 1); y < end; ++y) {
        if (!NextBandRow(control)) return;
        uint8_t* row = BufferRow(m.scratch, y + 1);
        const uint8_t* pixels = BufferRow(m.image, y);
        if (m.planes == 3) {
            m.kernels->greyOfRgb(pixels, row + 1, m.width);
        } else {
            std::memcpy(row + 1, pixels, size_t(m.width));
        }
        row[0] = row[1];
        row[m.width + 1] = row[m.width];
    }
}

// Pass 2: edge values over the interior, in place; the border keeps its brightness. rows.above
// already holds the scratch row above the band.
void EdgeShareBand(void* arg, int32_t band, BandControl* control) {
    const FineDetail& m = *static_cast<const FineDetail*>(arg);
    Rows rows = m.rows[band];
    for (int32_t y = 1 + First(m, band), end = 1 + First(m, band + 1); y < end; ++y) {
        if (!NextBandRow(control)) return;
        uint8_t* row = BufferRow(m.scratch, y);
        const uint8_t* below = y + 1 == end && rows.below ? rows.below : BufferRow(m.scratch, y + 1);
        std::memcpy(rows.middle, row, size_t(m.width) + 2);
        m.kernels->fineEdgeShare(rows.above, rows.middle, below, row, m.width);
        uint8_t* oldAbove = rows.above;
        rows.above = rows.middle;
        rows.middle = oldAbove;
    }
}

// Pass 3: 255 minus the edge value becomes the grey level, or the brightness of the colour pixel.
void OutputBand(void* arg, int32_t band, BandControl* control) {
    const FineDetail& m = *static_cast<const FineDetail*>(arg);
    for (int32_t y = First(m, band), end = First(m, band + 1); y < end; ++y) {
        if (!NextBandRow(control)) return;
        const uint8_t* edges = BufferRow(m.scratch, y + 1) + 1;
        uint8_t* pixels = BufferRow(m.image, y);
        if (m.planes == 3) {
            m.kernels->fineOutputRgb(edges, pixels, m.width);
        } else {
            m.kernels->fineOutputGrey(edges, pixels, m.width);
        }
    }
}

// Progress runs over 3 x height steps, a pass each.
int16_t RunPasses(FineDetail& m, WorkerPool* pool, const ProgressPair* progress, bool report) {
    const int32_t height = m.height, scratchBytes = m.width + 2;
    int16_t result = RunBands(pool, {BrightnessBand, &m, m.bands}, progress, report, 0, 3 * height);
    if (result != kNoErr) return result;
    std::memcpy(BufferRow(m.scratch, 0), BufferRow(m.scratch, 1), size_t(scratchBytes));
    std::memcpy(BufferRow(m.scratch, height + 1), BufferRow(m.scratch, height), size_t(scratchBytes));

    for (int32_t band = 0; band < m.bands; ++band) {
        ReadBufferRow(m.scratch, 0, First(m, band), scratchBytes, m.rows[band].above);
        if (m.rows[band].below) ReadBufferRow(m.scratch, 0, 1 + First(m, band + 1), scratchBytes, m.rows[band].below);
    }
    result = RunBands(pool, {EdgeShareBand, &m, m.bands}, progress, report, height, 3 * height);
    if (result != kNoErr) return result;
    return RunBands(pool, {OutputBand, &m, m.bands}, progress, report, 2 * height, 3 * height);
}

}  // namespace

int16_t FindEdgesFineDetail(ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    BufferShape shape{};
    GetBufferShape(image, &shape);
    if (shape.width <= 0 || shape.height <= 0) return kNoErr;
    // Brightness and colour differences are defined for grey and RGB pixels only.
    if (shape.planes != 1 && shape.planes != 3) return kErrBadParameters;

    FineDetail m{};
    m.image = image;
    m.kernels = ChoosePatternKernels();
    m.width = shape.width;
    m.height = shape.height;
    m.planes = shape.planes;

    const uint32_t scratchRowBytes = uint32_t(m.width) + 2;
    uint8_t* above = static_cast<uint8_t*>(AllocateMemoryBlock(scratchRowBytes));
    uint8_t* middle = static_cast<uint8_t*>(AllocateMemoryBlock(scratchRowBytes));

    int16_t result = kErrOutOfMemory;
    if (above && middle) {
        result = CreateScratchBuffer("FreiChen", m.width, m.height, 1, &m.scratch);
        if (result == kNoErr) {
            WorkerPool pool;
            uint8_t* blocks[kMaxThreads] = {};
            m.bands = StartBandWorkers(&pool, m.height, 3 * scratchRowBytes, blocks);
            if (m.bands == 0) {
                m.bands = 1;
                m.rows[0] = {above, middle, nullptr};
            }
            for (int32_t band = 0; band < m.bands && blocks[band]; ++band)
                m.rows[band] = {blocks[band], blocks[band] + scratchRowBytes, blocks[band] + 2 * scratchRowBytes};
            result = RunPasses(m, &pool, progress, (flag & 0xFF) != 0);
            StopBandWorkers(&pool, blocks);
        }
    }

    if (m.scratch) DisposeImageBuffer(m.scratch);
    FreeMemoryBlock(above);
    FreeMemoryBlock(middle);
    return result;
}

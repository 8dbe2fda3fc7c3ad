// Skinny lines: the grey levels of the image go into the bordered one-plane scratch image "Canny",
// become inverted Sobel magnitudes there, are thinned by up to ten sweeps to lines one pixel wide,
// and are written back: line pixels keep their darkness (grey) or take it as the mean level of the
// image pixel's colour, everything else becomes white. The per-row work is done by the kernels of
// pattern.h, chosen once per call.
//
// Progress runs over n = 13 x height steps: Load, Gradient, ten possible thinning sweeps and Output
// each own `height` of them, so the Output stage always starts at 12 x height.
//
// Thinning sweeps after the first visit only the rows whose neighbourhood changed in the sweep
// before. A sweep decides row u from rows u - 1 .. u + 1 as they were before it. If none of those
// rows changed in the previous sweep, that sweep saw the same three rows and decided row u the way
// this one would; it also left row u as it was, so this sweep leaves it as it is too (and removes
// nothing from it: a removal is a change). Progress and abort tests still come once per row of
// every sweep.
//
// Every stage works on the scratch rows where they lie. The gradient stage keeps the values of the
// row above and of the row itself in two row blocks. A thinning sweep reads its three rows from the
// scratch image and writes a changed row's new values there only once the row below it has been
// decided, which is the last decision that needs its old values; unchanged rows are not copied at
// all.
//
// Every stage, each sweep included, runs in bands of rows (base/workers.h): a sweep decides every
// row from the rows as they were before it, so bands decide the same pixels as one pass does once
// each band starts from copies of the scratch rows just above and below it, made before the
// sweep (its neighbours overwrite those rows), and the removals are summed over the bands.

#include <cstring>

#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "base/workers.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/pattern.h"
#include "edges/methods.h"

namespace {

constexpr int32_t kMaxSweeps = 10;
constexpr int32_t kStagesOfProgress = 13;

// A band's row blocks, width + 2 bytes each.
struct BandRows {
    uint8_t* rows[2];  // the gradient's rows above and at the row being computed; a sweep's new rows
    uint8_t* above;    // the scratch row above the band, as it was before the stage (or sweep)
    uint8_t* below;    // the scratch row below the band (none: read the scratch image)
};

struct SkinnyLines {
    ImageBuffer* image;
    ImageBuffer* scratch;
    const PatternKernels* kernels;
    int32_t width;
    int32_t height;
    int32_t planes;
    int32_t bands;
    int32_t sweep;
    uint8_t* changedThen;  // per scratch row: changed in the previous sweep (height + 2 flags)
    uint8_t* changedNow;   // per scratch row: changed in this sweep
    BandRows band[kMaxThreads];
    int64_t removals[kMaxThreads];  // pixels each band removed in this sweep
};

inline uint8_t* ScratchRow(const SkinnyLines& m, int32_t row) { return BufferRow(m.scratch, row); }
inline int32_t First(const SkinnyLines& m, int32_t band) { return BandStart(band, m.bands, m.height); }

// Grey levels of the image into the scratch image, the border repeating the nearest pixel.
void LoadBand(void* arg, int32_t band, BandControl* control) {
    const SkinnyLines& m = *static_cast<const SkinnyLines*>(arg);
    for (int32_t y = First(m, band), end = First(m, band + 1); y < end; ++y) {
        if (!NextBandRow(control)) return;
        uint8_t* grey = ScratchRow(m, y + 1);
        const uint8_t* pixels = BufferRow(m.image, y);
        if (m.planes == 3) {
            m.kernels->greyOfRgb(pixels, grey + 1, m.width);
        } else {
            std::memcpy(grey + 1, pixels, size_t(m.width));
        }
        grey[0] = grey[1];
        grey[m.width + 1] = grey[m.width];
    }
}

// Inverted gradient magnitudes over the interior; the border keeps its grey levels.
void GradientBand(void* arg, int32_t band, BandControl* control) {
    const SkinnyLines& m = *static_cast<const SkinnyLines*>(arg);
    const BandRows& b = m.band[band];
    uint8_t* above = b.above;
    uint8_t* middle = b.rows[0];
    for (int32_t r = 1 + First(m, band), end = 1 + First(m, band + 1); r < end; ++r) {
        if (!NextBandRow(control)) return;
        uint8_t* row = ScratchRow(m, r);
        const uint8_t* below = r + 1 == end && b.below ? b.below : ScratchRow(m, r + 1);
        std::memcpy(middle, row, size_t(m.width) + 2);
        m.kernels->skinnyGradient(above, middle, below, row, m.width);
        uint8_t* oldAbove = above;
        above = middle;
        middle = oldAbove;
    }
}

// One thinning sweep over a band; every decision sees the values from before the sweep: the new
// values of a changed scratch row wait in a block until the row below it is decided (`pending`),
// and the rows just outside the band come from the copies made before the sweep. Counts the
// pixels it removes in m.removals[band].
void ThinningBand(void* arg, int32_t band, BandControl* control) {
    SkinnyLines& m = *static_cast<SkinnyLines*>(arg);
    const BandRows& b = m.band[band];
    const int32_t first = First(m, band), end = First(m, band + 1);
    int64_t removals = 0;
    int32_t pending = -1;  // the scratch row whose new values wait in b.rows[pending % 2]
    auto flush = [&]() {
        std::memcpy(ScratchRow(m, pending) + 1, b.rows[pending % 2] + 1, size_t(m.width));
        pending = -1;
    };
    for (int32_t u = first; u < end; ++u) {
        if (!NextBandRow(control)) break;
        const int32_t row = u + 1;
        m.changedNow[row] = 0;
        if (m.sweep > 0 && !(m.changedThen[u] | m.changedThen[u + 1] | m.changedThen[u + 2])) continue;
        if (pending >= 0 && pending < row - 1) flush();
        const uint8_t* above = u == first && b.below ? b.above : ScratchRow(m, row - 1);
        const uint8_t* below = u + 1 == end && b.below ? b.below : ScratchRow(m, row + 1);
        const int32_t changed =
            m.kernels->skinnyThinning(above, ScratchRow(m, row), below, b.rows[row % 2], m.width, &removals);
        if (pending == row - 1) flush();
        if (changed) {
            pending = row;
            m.changedNow[row] = 1;
        }
    }
    if (pending >= 0) flush();
    m.removals[band] = removals;
}

// The thinned picture back into the image.
void OutputBand(void* arg, int32_t band, BandControl* control) {
    const SkinnyLines& m = *static_cast<const SkinnyLines*>(arg);
    for (int32_t y = First(m, band), end = First(m, band + 1); y < end; ++y) {
        if (!NextBandRow(control)) return;
        const uint8_t* thinned = ScratchRow(m, y + 1) + 1;
        uint8_t* pixels = BufferRow(m.image, y);
        if (m.planes == 3) {
            m.kernels->skinnyOutputRgb(thinned, pixels, m.width);
        } else {
            m.kernels->skinnyOutputGrey(thinned, pixels, m.width);
        }
    }
}

// Copies the scratch rows just above and below every band into its blocks (a single band reads
// the border rows, which nobody writes, where they lie).
void CopyBandBorders(SkinnyLines& m) {
    for (int32_t band = 0; band < m.bands; ++band) {
        BandRows& b = m.band[band];
        if (!b.below) continue;
        ReadBufferRow(m.scratch, 0, First(m, band), m.width + 2, b.above);
        ReadBufferRow(m.scratch, 0, 1 + First(m, band + 1), m.width + 2, b.below);
    }
}

// Sweeps until one removes nothing at the very start, otherwise ten: the count of removals runs
// over all sweeps and is never reset.
int16_t ThinningStage(SkinnyLines& m, WorkerPool* pool, const ProgressPair* progress, bool report) {
    int64_t removals = 0;
    for (m.sweep = 0; m.sweep < kMaxSweeps; ++m.sweep) {
        CopyBandBorders(m);
        const int16_t result = RunBands(pool, {ThinningBand, &m, m.bands}, progress, report,
                                        (m.sweep + 2) * m.height, kStagesOfProgress * m.height);
        if (result != kNoErr) return result;
        for (int32_t band = 0; band < m.bands; ++band) removals += m.removals[band];
        if (removals == 0) break;
        uint8_t* then = m.changedThen;
        m.changedThen = m.changedNow;
        m.changedNow = then;
    }
    return kNoErr;
}

// Progress runs over 13 x height steps: Load, Gradient, ten possible sweeps and Output own `height`
// each.
int16_t RunStages(SkinnyLines& m, WorkerPool* pool, const ProgressPair* progress, bool report) {
    const int32_t height = m.height, steps = kStagesOfProgress * height;
    int16_t result = RunBands(pool, {LoadBand, &m, m.bands}, progress, report, 0, steps);
    if (result != kNoErr) return result;
    std::memcpy(ScratchRow(m, 0), ScratchRow(m, 1), size_t(m.width) + 2);
    std::memcpy(ScratchRow(m, height + 1), ScratchRow(m, height), size_t(m.width) + 2);

    for (int32_t band = 0; band < m.bands; ++band)
        ReadBufferRow(m.scratch, 0, First(m, band), m.width + 2, m.band[band].above);
    CopyBandBorders(m);
    result = RunBands(pool, {GradientBand, &m, m.bands}, progress, report, height, steps);
    if (result == kNoErr) result = ThinningStage(m, pool, progress, report);
    if (result == kNoErr) result = RunBands(pool, {OutputBand, &m, m.bands}, progress, report, 12 * height, steps);
    return result;
}

}  // namespace

int16_t FindEdgesSkinnyLines(ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    BufferShape shape{};
    GetBufferShape(image, &shape);
    if (shape.width <= 0 || shape.height <= 0) return kNoErr;
    // The grey level and the colour output are defined for grey and RGB pixels only.
    if (shape.planes != 1 && shape.planes != 3) return kErrBadParameters;

    SkinnyLines m{};
    m.image = image;
    m.kernels = ChoosePatternKernels();
    m.width = shape.width;
    m.height = shape.height;
    m.planes = shape.planes;

    const uint32_t rowBytes = uint32_t(m.width) + 2;
    const uint32_t scratchRows = uint32_t(m.height) + 2;
    uint8_t* rows[2];
    for (uint8_t*& row : rows) row = static_cast<uint8_t*>(AllocateMemoryBlock(rowBytes));
    uint8_t* flags = static_cast<uint8_t*>(AllocateMemoryBlock(2 * scratchRows));

    int16_t result = kErrOutOfMemory;
    if (rows[0] && rows[1] && flags) {
        m.changedThen = flags;
        m.changedNow = flags + scratchRows;
        result = CreateScratchBuffer("Canny", m.width, m.height, 1, &m.scratch);
        if (result == kNoErr) {
            WorkerPool pool;
            uint8_t* blocks[kMaxThreads] = {};
            m.bands = StartBandWorkers(&pool, m.height, 4 * rowBytes, blocks);
            if (m.bands == 0) {
                m.bands = 1;
                // One band reads the rows around it where they lie: `above` is only the first row
                // of the gradient's pair.
                m.band[0] = {{rows[1], rows[0]}, rows[0], nullptr};
            }
            for (int32_t band = 0; band < m.bands && blocks[band]; ++band) {
                uint8_t* block = blocks[band];
                m.band[band] = {{block, block + rowBytes}, block + 2 * rowBytes, block + 3 * rowBytes};
            }
            result = RunStages(m, &pool, (flag & 0xFF) != 0 ? progress : nullptr, (flag & 0xFF) != 0);
            StopBandWorkers(&pool, blocks);
        }
    }

    if (m.scratch) DisposeImageBuffer(m.scratch);
    for (uint8_t* row : rows) FreeMemoryBlock(row);
    FreeMemoryBlock(flags);
    return result;
}

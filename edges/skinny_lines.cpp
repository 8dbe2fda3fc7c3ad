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

#include <cstring>

#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/pattern.h"
#include "edges/methods.h"

namespace {

constexpr int32_t kMaxSweeps = 10;
constexpr int32_t kStagesOfProgress = 13;

struct SkinnyLines {
    ImageBuffer* image;
    ImageBuffer* scratch;
    const ProgressPair* progress;
    const PatternKernels* kernels;
    bool report;
    int32_t width;
    int32_t height;
    int32_t planes;
    uint8_t* rows[2];      // two blocks of width + 2 bytes
    uint8_t* changedThen;  // per scratch row: changed in the previous sweep (height + 2 flags)
    uint8_t* changedNow;   // per scratch row: changed in this sweep
};

// Reports step k of the method's 13 x height and asks whether to stop.
inline bool StopRequested(const SkinnyLines& m, int32_t k) {
    if (!m.report) return false;
    ReportStep(m.progress, k, kStagesOfProgress * m.height);
    return AbortRequested(m.progress) != 0;
}

inline uint8_t* ScratchRow(const SkinnyLines& m, int32_t row) { return BufferRow(m.scratch, row); }

// Grey levels of the image into the scratch image, the border repeating the nearest pixel.
int16_t LoadStage(SkinnyLines& m) {
    for (int32_t y = 0; y < m.height; ++y) {
        if (StopRequested(m, y)) return kErrUserCancelled;
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
    std::memcpy(ScratchRow(m, 0), ScratchRow(m, 1), size_t(m.width) + 2);
    std::memcpy(ScratchRow(m, m.height + 1), ScratchRow(m, m.height), size_t(m.width) + 2);
    return kNoErr;
}

// Inverted gradient magnitudes over the interior; the border keeps its grey levels.
int16_t GradientStage(SkinnyLines& m) {
    uint8_t* above = m.rows[0];
    uint8_t* middle = m.rows[1];
    std::memcpy(above, ScratchRow(m, 0), size_t(m.width) + 2);
    for (int32_t r = 1; r <= m.height; ++r) {
        if (StopRequested(m, m.height + r - 1)) return kErrUserCancelled;
        uint8_t* row = ScratchRow(m, r);
        std::memcpy(middle, row, size_t(m.width) + 2);
        m.kernels->skinnyGradient(above, middle, ScratchRow(m, r + 1), row, m.width);
        uint8_t* oldAbove = above;
        above = middle;
        middle = oldAbove;
    }
    return kNoErr;
}

// One thinning sweep; every decision sees the values from before the sweep: the new values of a
// changed scratch row wait in a block until the row below it is decided (`pending`). Adds the
// pixels it removes to `removals`.
int16_t ThinningSweep(SkinnyLines& m, int32_t sweep, int64_t& removals) {
    int32_t pending = -1;  // the scratch row whose new values wait in m.rows[pending % 2]
    auto flush = [&]() {
        std::memcpy(ScratchRow(m, pending) + 1, m.rows[pending % 2] + 1, size_t(m.width));
        pending = -1;
    };
    for (int32_t u = 0; u < m.height; ++u) {
        if (StopRequested(m, (sweep + 2) * m.height + u)) return kErrUserCancelled;
        const int32_t row = u + 1;
        m.changedNow[row] = 0;
        if (sweep > 0 && !(m.changedThen[u] | m.changedThen[u + 1] | m.changedThen[u + 2])) continue;
        if (pending >= 0 && pending < row - 1) flush();
        uint8_t* out = m.rows[row % 2];
        const int32_t changed =
            m.kernels->skinnyThinning(ScratchRow(m, row - 1), ScratchRow(m, row), ScratchRow(m, row + 1), out,
                                      m.width, &removals);
        if (pending == row - 1) flush();
        if (changed) {
            pending = row;
            m.changedNow[row] = 1;
        }
    }
    if (pending >= 0) flush();
    return kNoErr;
}

// Sweeps until one removes nothing at the very start, otherwise ten: the count of removals runs
// over all sweeps and is never reset.
int16_t ThinningStage(SkinnyLines& m) {
    int64_t removals = 0;
    for (int32_t sweep = 0; sweep < kMaxSweeps; ++sweep) {
        const int16_t result = ThinningSweep(m, sweep, removals);
        if (result != kNoErr) return result;
        if (removals == 0) break;
        uint8_t* then = m.changedThen;
        m.changedThen = m.changedNow;
        m.changedNow = then;
    }
    return kNoErr;
}

// The thinned picture back into the image.
int16_t OutputStage(SkinnyLines& m) {
    for (int32_t y = 0; y < m.height; ++y) {
        if (StopRequested(m, 12 * m.height + y)) return kErrUserCancelled;
        const uint8_t* thinned = ScratchRow(m, y + 1) + 1;
        uint8_t* pixels = BufferRow(m.image, y);
        if (m.planes == 3) {
            m.kernels->skinnyOutputRgb(thinned, pixels, m.width);
        } else {
            m.kernels->skinnyOutputGrey(thinned, pixels, m.width);
        }
    }
    return kNoErr;
}

int16_t RunStages(SkinnyLines& m) {
    int16_t result = LoadStage(m);
    if (result == kNoErr) result = GradientStage(m);
    if (result == kNoErr) result = ThinningStage(m);
    if (result == kNoErr) result = OutputStage(m);
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
    m.progress = progress;
    m.kernels = ChoosePatternKernels();
    m.report = (flag & 0xFF) != 0;
    m.width = shape.width;
    m.height = shape.height;
    m.planes = shape.planes;

    const uint32_t rowBytes = uint32_t(m.width) + 2;
    const uint32_t scratchRows = uint32_t(m.height) + 2;
    m.rows[0] = static_cast<uint8_t*>(AllocateMemoryBlock(rowBytes));
    m.rows[1] = static_cast<uint8_t*>(AllocateMemoryBlock(rowBytes));
    uint8_t* flags = static_cast<uint8_t*>(AllocateMemoryBlock(2 * scratchRows));

    int16_t result = kErrOutOfMemory;
    if (m.rows[0] && m.rows[1] && flags) {
        m.changedThen = flags;
        m.changedNow = flags + scratchRows;
        result = CreateScratchBuffer("Canny", m.width, m.height, 1, &m.scratch);
        if (result == kNoErr) result = RunStages(m);
    }

    if (m.scratch) DisposeImageBuffer(m.scratch);
    FreeMemoryBlock(m.rows[0]);
    FreeMemoryBlock(m.rows[1]);
    FreeMemoryBlock(flags);
    return result;
}

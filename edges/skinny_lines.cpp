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

#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/pattern.h"
#include "edges/methods.h"

namespace {

constexpr int32_t kMaxSweeps = 10;
constexpr int32_t kStagesOfProgress = 13;

struct Ring {
    uint8_t* above;
    uint8_t* middle;
    uint8_t* below;
};

inline void Rotate(Ring& ring) {
    uint8_t* oldAbove = ring.above;
    ring.above = ring.middle;
    ring.middle = ring.below;
    ring.below = oldAbove;
}

struct SkinnyLines {
    ImageBuffer* image;
    ImageBuffer* scratch;
    const ProgressPair* progress;
    const PatternKernels* kernels;
    bool report;
    int32_t width;
    int32_t height;
    int32_t planes;
    Ring ring;
    uint8_t* work;         // planes x (width + 2) bytes
    uint8_t* changedThen;  // per scratch row: changed in the previous sweep (height + 2 flags)
    uint8_t* changedNow;   // per scratch row: changed in this sweep
};

// Reports step k of the method's 13 x height and asks whether to stop.
inline bool StopRequested(const SkinnyLines& m, int32_t k) {
    if (!m.report) return false;
    ReportStep(m.progress, k, kStagesOfProgress * m.height);
    return AbortRequested(m.progress) != 0;
}

// Grey levels of the image into the scratch image, the border repeating the nearest pixel.
int16_t LoadStage(SkinnyLines& m) {
    uint8_t* grey = m.ring.middle;
    for (int32_t y = 0; y < m.height; ++y) {
        if (StopRequested(m, y)) return kErrUserCancelled;
        if (m.planes == 3) {
            ReadBufferRow(m.image, 0, y, 3 * m.width, m.work);
            m.kernels->greyOfRgb(m.work, grey + 1, m.width);
        } else {
            ReadBufferRow(m.image, 0, y, m.width, grey + 1);
        }
        grey[0] = grey[1];
        grey[m.width + 1] = grey[m.width];
        if (y == 0) WriteBufferRow(m.scratch, 0, 0, m.width + 2, grey);
        WriteBufferRow(m.scratch, 0, y + 1, m.width + 2, grey);
    }
    WriteBufferRow(m.scratch, 0, m.height + 1, m.width + 2, grey);
    return kNoErr;
}

// Inverted gradient magnitudes over the interior; the border keeps its grey levels.
int16_t GradientStage(SkinnyLines& m) {
    Ring ring = m.ring;
    ReadBufferRow(m.scratch, 0, 0, m.width + 2, ring.above);
    ReadBufferRow(m.scratch, 0, 1, m.width + 2, ring.middle);
    for (int32_t r = 2; r <= m.height + 1; ++r) {
        if (StopRequested(m, m.height + r - 2)) return kErrUserCancelled;
        ReadBufferRow(m.scratch, 0, r, m.width + 2, ring.below);
        m.work[0] = ring.middle[0];
        m.work[m.width + 1] = ring.middle[m.width + 1];
        m.kernels->skinnyGradient(ring.above, ring.middle, ring.below, m.work, m.width);
        WriteBufferRow(m.scratch, 0, r - 1, m.width + 2, m.work);
        Rotate(ring);
    }
    return kNoErr;
}

// Brings the ring from scratch rows first .. first + 2 to rows u .. u + 2, all as they were before
// the sweep: rows still held move up, the others are read. A row read here was not written in this
// sweep: rows below u have not been reached, and row u, when it was written, is still held.
void MoveRing(SkinnyLines& m, Ring& ring, int32_t& first, int32_t u) {
    const int32_t gap = u - first;
    if (gap >= 3) {
        ReadBufferRow(m.scratch, 0, u, m.width + 2, ring.above);
        ReadBufferRow(m.scratch, 0, u + 1, m.width + 2, ring.middle);
        ReadBufferRow(m.scratch, 0, u + 2, m.width + 2, ring.below);
    } else {
        for (int32_t step = 1; step <= gap; ++step) {
            Rotate(ring);
            ReadBufferRow(m.scratch, 0, first + step + 2, m.width + 2, ring.below);
        }
    }
    first = u;
}

// One thinning sweep; every decision sees the values from before the sweep (neighbours from the
// ring, results into `work`). Adds the pixels it removes to `removals`.
int16_t ThinningSweep(SkinnyLines& m, int32_t sweep, int64_t& removals) {
    Ring ring = m.ring;
    int32_t first = -3;  // the scratch row in ring.above; none held yet
    for (int32_t u = 0; u < m.height; ++u) {
        if (StopRequested(m, (sweep + 2) * m.height + u)) return kErrUserCancelled;
        m.changedNow[u + 1] = 0;
        if (sweep > 0 && !(m.changedThen[u] | m.changedThen[u + 1] | m.changedThen[u + 2])) continue;
        MoveRing(m, ring, first, u);
        m.work[0] = ring.middle[0];
        m.work[m.width + 1] = ring.middle[m.width + 1];
        if (m.kernels->skinnyThinning(ring.above, ring.middle, ring.below, m.work, m.width, &removals)) {
            WriteBufferRow(m.scratch, 0, u + 1, m.width + 2, m.work);
            m.changedNow[u + 1] = 1;
        }
    }
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
    uint8_t* line = m.ring.above;
    for (int32_t y = 0; y < m.height; ++y) {
        if (StopRequested(m, 12 * m.height + y)) return kErrUserCancelled;
        ReadBufferRow(m.scratch, 1, y + 1, m.width, line);
        if (m.planes == 3) {
            ReadBufferRow(m.image, 0, y, 3 * m.width, m.work);
            m.kernels->skinnyOutputRgb(line, m.work, m.width);
        } else {
            m.kernels->skinnyOutputGrey(line, m.work, m.width);
        }
        WriteBufferRow(m.image, 0, y, m.planes * m.width, m.work);
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

    const uint32_t ringBytes = uint32_t(m.width) + 2;
    const uint32_t scratchRows = uint32_t(m.height) + 2;
    m.ring.above = static_cast<uint8_t*>(AllocateMemoryBlock(ringBytes));
    m.ring.middle = static_cast<uint8_t*>(AllocateMemoryBlock(ringBytes));
    m.ring.below = static_cast<uint8_t*>(AllocateMemoryBlock(ringBytes));
    m.work = static_cast<uint8_t*>(AllocateMemoryBlock(uint32_t(m.planes) * ringBytes));
    uint8_t* flags = static_cast<uint8_t*>(AllocateMemoryBlock(2 * scratchRows));

    int16_t result = kErrOutOfMemory;
    if (m.ring.above && m.ring.middle && m.ring.below && m.work && flags) {
        m.changedThen = flags;
        m.changedNow = flags + scratchRows;
        result = CreateScratchBuffer("Canny", m.width, m.height, 1, &m.scratch);
        if (result == kNoErr) result = RunStages(m);
    }

    if (m.scratch) DisposeImageBuffer(m.scratch);
    FreeMemoryBlock(m.ring.above);
    FreeMemoryBlock(m.ring.middle);
    FreeMemoryBlock(m.ring.below);
    FreeMemoryBlock(m.work);
    FreeMemoryBlock(flags);
    return result;
}

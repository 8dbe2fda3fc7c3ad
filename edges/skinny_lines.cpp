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
// Every stage works on the scratch rows where they lie, in the band skeleton (bands.h), whose 3x3
// pass is the gradient stage. A thinning sweep reads its three rows from the
// scratch image and writes a changed row's new values there only once the row below it has been
// decided, which is the last decision that needs its old values; unchanged rows are not copied at
// all.
//
// Every stage, each sweep included, runs in bands of rows: a sweep decides every row from the rows
// as they were before it, so bands decide the same pixels as one pass does once each band starts
// from copies of the scratch rows just above and below it, made before the sweep (its neighbours
// overwrite those rows), and the removals are summed over the bands.

#include <cstring>

#include "base/results.h"
#include "buffers/image_buffer.h"
#include "edges/bands.h"
#include "edges/kernels/pattern.h"
#include "edges/methods.h"

namespace {

constexpr int32_t kMaxSweeps = 10;
constexpr int32_t kStagesOfProgress = 13;

struct SkinnyLines {
    Bands* bands;
    int32_t sweep;
    uint8_t* changedThen;  // per scratch row: changed in the previous sweep (height + 2 flags of Bands::flags)
    uint8_t* changedNow;   // per scratch row: changed in this sweep (the other height + 2)
    int64_t removals[kMaxThreads];  // pixels each band removed in this sweep
};

const PatternKernels* Kernels(const Bands& m) { return static_cast<const PatternKernels*>(m.state); }
inline uint8_t* ScratchRow(const Bands& m, int32_t row) { return BufferRow(m.scratch, row); }

// Inverted gradient magnitudes over the interior; the border keeps its grey levels.
void GradientRow(const Bands& m, const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out) {
    Kernels(m)->skinnyGradient(above, middle, below, out, m.width);
}

// One thinning sweep over a band; every decision sees the values from before the sweep: the new
// values of a changed scratch row wait in a block (middle or spare) until the row below it is
// decided (`pending`), and the rows just outside the band come from the copies made before the
// sweep. Counts the pixels it removes in s.removals[band].
void ThinningBand(void* arg, int32_t band, BandControl* control) {
    SkinnyLines& s = *static_cast<SkinnyLines*>(arg);
    const Bands& m = *s.bands;
    const BandRows& b = m.band[band];
    uint8_t* const next[2] = {b.middle, b.spare};
    const int32_t first = First(m, band), end = First(m, band + 1);
    int64_t removals = 0;
    int32_t pending = -1;  // the scratch row whose new values wait in next[pending % 2]
    auto flush = [&]() {
        std::memcpy(ScratchRow(m, pending) + 1, next[pending % 2] + 1, size_t(m.width));
        pending = -1;
    };
    for (int32_t u = first; u < end; ++u) {
        if (!NextBandRow(control)) break;
        const int32_t row = u + 1;
        s.changedNow[row] = 0;
        if (s.sweep > 0 && !(s.changedThen[u] | s.changedThen[u + 1] | s.changedThen[u + 2])) continue;
        if (pending >= 0 && pending < row - 1) flush();
        const uint8_t* above = u == first && b.below ? b.above : ScratchRow(m, row - 1);
        const uint8_t* below = u + 1 == end && b.below ? b.below : ScratchRow(m, row + 1);
        const int32_t changed =
            Kernels(m)->skinnyThinning(above, ScratchRow(m, row), below, next[row % 2], m.width, &removals);
        if (pending == row - 1) flush();
        if (changed) {
            pending = row;
            s.changedNow[row] = 1;
        }
    }
    if (pending >= 0) flush();
    s.removals[band] = removals;
}

// The thinned picture back into the image.
void OutputRow(const Bands& m, const uint8_t* thinned, uint8_t* pixels) {
    if (m.planes == 3) {
        Kernels(m)->skinnyOutputRgb(thinned, pixels, m.width);
    } else {
        Kernels(m)->skinnyOutputGrey(thinned, pixels, m.width);
    }
}

// Sweeps until one removes nothing at the very start, otherwise ten: the count of removals runs
// over all sweeps and is never reset.
int16_t ThinningStage(SkinnyLines& s) {
    Bands& m = *s.bands;
    int64_t removals = 0;
    for (s.sweep = 0; s.sweep < kMaxSweeps; ++s.sweep) {
        CopyBandBorders(&m);
        const int16_t result =
            RunBandPass(&m, ThinningBand, &s, (s.sweep + 2) * m.height, kStagesOfProgress * m.height);
        if (result != kNoErr) return result;
        for (int32_t band = 0; band < m.bands; ++band) removals += s.removals[band];
        if (removals == 0) break;
        uint8_t* then = s.changedThen;
        s.changedThen = s.changedNow;
        s.changedNow = then;
    }
    return kNoErr;
}

// Progress runs over 13 x height steps: Load, Gradient, ten possible sweeps and Output own `height`
// each.
int16_t Stages(Bands* m) {
    const int32_t height = m->height, steps = kStagesOfProgress * height;
    SkinnyLines s{};
    s.bands = m;
    s.changedThen = m->flags;
    s.changedNow = m->flags + height + 2;
    int16_t result = LoadBrightness(m, 0, steps);
    if (result == kNoErr) result = RunThreeRows(m, GradientRow, height, steps);
    if (result == kNoErr) result = ThinningStage(s);
    if (result == kNoErr) result = WriteBack(m, OutputRow, 12 * height, steps);
    return result;
}

}  // namespace

int16_t FindEdgesSkinnyLines(ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    const BandMethod method = {"Canny", true, 2, nullptr, nullptr, Stages};
    return RunBandMethod(method, ChoosePatternKernels(), image, progress, flag);
}

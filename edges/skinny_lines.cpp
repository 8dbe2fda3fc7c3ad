// Skinny lines: the grey levels of the image go into the bordered one-plane scratch image "Canny",
// become inverted Sobel magnitudes there, are thinned by up to ten sweeps to lines one pixel wide,
// and are written back: line pixels keep their darkness (grey) or take it as the mean level of the
// image pixel's colour, everything else becomes white.
//
// Progress runs over n = 13 x height steps: Load, Gradient, ten possible thinning sweeps and Output
// each own `height` of them, so the Output stage always starts at 12 x height.
#include <cmath>

#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "host/plugin.h"

namespace {

// During thinning a value at or above this is background, a value below it an edge pixel.
constexpr int32_t kBackgroundLevel = 230;
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
    const RunState* run;
    bool report;
    int32_t width;
    int32_t height;
    int32_t planes;
    Ring ring;
    uint8_t* work;  // planes x (width + 2) bytes
};

// Reports step k of the method's 13 x height and asks the host whether to stop.
inline bool StopRequested(const SkinnyLines& m, int32_t k) {
    if (!m.report) return false;
    ReportProgress(m.run, k, kStagesOfProgress * m.height);
    return TestAbort(m.run) != 0;
}

inline uint8_t ClampByte(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// 255 minus the Sobel magnitude (divided by 5 before the square root) at column x.
inline uint8_t GradientValue(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t x) {
    const int32_t nw = above[x - 1], n = above[x], ne = above[x + 1];
    const int32_t w = middle[x - 1], e = middle[x + 1];
    const int32_t sw = below[x - 1], s = below[x], se = below[x + 1];
    const int32_t gx = (ne + 2 * e + se) - (nw + 2 * w + sw);
    const int32_t gy = (nw + 2 * n + ne) - (sw + 2 * s + se);
    // s < 2^19: the double square root of it never rounds up to the next integer.
    const int32_t m = int32_t(std::sqrt(double((gx * gx + gy * gy) / 5)));
    return uint8_t(m <= 254 ? 255 - m : 0);
}

// side x (1 - t) + corner x t, truncated toward zero.
inline int32_t Interpolate(int32_t side, int32_t corner, double t) {
    return int32_t(double(side) * (1.0 - t) + double(corner) * t);
}

enum Thinning { kKeep, kToBackground, kRemove };

// What one thinning sweep does with the pixel at column x of `middle`, from the values before the
// sweep. A pixel goes only when it is not needed to hold a line together, is not the end of a line
// and is not strictly darker than both of its neighbours across the line.
inline Thinning ThinningDecision(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t x) {
    const int32_t p = middle[x];
    if (p >= kBackgroundLevel) return kToBackground;

    const int32_t nw = above[x - 1], n = above[x], ne = above[x + 1];
    const int32_t w = middle[x - 1], e = middle[x + 1];
    const int32_t sw = below[x - 1], s = below[x], se = below[x + 1];
    // The eight neighbours clockwise, the first repeated at the end to close the ring.
    const int32_t around[9] = {nw, n, ne, e, se, s, sw, w, nw};

    bool anyAbove = false;
    for (int32_t i = 0; i < 8; ++i) anyAbove |= around[i] > kBackgroundLevel;
    if (!anyAbove) return kKeep;

    int32_t lineToBackground = 0;
    for (int32_t i = 0; i < 8; ++i)
        lineToBackground += around[i] < kBackgroundLevel && around[i + 1] >= kBackgroundLevel;
    if (lineToBackground > 1) return kKeep;

    int32_t white = 0;
    for (int32_t i = 0; i < 8; ++i) white += around[i] == 255;
    if (white >= 7) return kKeep;

    int32_t darkToLight = 0;
    for (int32_t i = 0; i < 8; ++i) darkToLight += around[i] <= p && around[i + 1] > p;
    if (darkToLight > 1) return kKeep;

    const int32_t gx = 2 * (e - w) + ne + se - nw - sw;
    const int32_t gy = 2 * (s - n) + sw + se - nw - ne;
    if (gx == 0 && gy == 0) return kRemove;
    const int32_t ax = gx < 0 ? -gx : gx, ay = gy < 0 ? -gy : gy;
    int32_t a, b;
    if (ax >= ay) {
        const double t = double(ay) / double(ax);
        a = Interpolate(e, gy >= 0 ? se : ne, t);
        b = Interpolate(w, gy >= 0 ? nw : sw, t);
    } else {
        const double t = double(ax) / double(ay);
        a = Interpolate(s, gx >= 0 ? se : sw, t);
        b = Interpolate(n, gx >= 0 ? nw : ne, t);
    }
    return (p >= a || p >= b) ? kRemove : kKeep;
}

// Grey levels of the image into the scratch image, the border repeating the nearest pixel.
int16_t LoadStage(SkinnyLines& m) {
    uint8_t* grey = m.ring.middle;
    for (int32_t y = 0; y < m.height; ++y) {
        if (StopRequested(m, y)) return kErrUserCancelled;
        ReadBufferRow(m.image, 0, y, m.planes * m.width, m.work);
        for (int32_t x = 0; x < m.width; ++x) {
            const uint8_t* pixel = m.work + x * m.planes;
            grey[x + 1] = m.planes == 3 ? uint8_t((pixel[0] + pixel[1] + pixel[2] + 1) / 3) : pixel[0];
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
        for (int32_t x = 0; x < m.width + 2; ++x) m.work[x] = ring.middle[x];
        for (int32_t x = 1; x <= m.width; ++x) m.work[x] = GradientValue(ring.above, ring.middle, ring.below, x);
        WriteBufferRow(m.scratch, 0, r - 1, m.width + 2, m.work);
        Rotate(ring);
    }
    return kNoErr;
}

// One thinning sweep; every decision sees the values from before the sweep (neighbours from the
// ring, results into `work`). Adds the pixels it removes to `removals`.
int16_t ThinningSweep(SkinnyLines& m, int32_t sweep, int64_t& removals) {
    Ring ring = m.ring;
    ReadBufferRow(m.scratch, 0, 0, m.width + 2, ring.above);
    ReadBufferRow(m.scratch, 0, 1, m.width + 2, ring.middle);
    for (int32_t u = 0; u < m.height; ++u) {
        if (StopRequested(m, (sweep + 2) * m.height + u)) return kErrUserCancelled;
        ReadBufferRow(m.scratch, 0, u + 2, m.width + 2, ring.below);
        for (int32_t x = 0; x < m.width + 2; ++x) m.work[x] = ring.middle[x];
        for (int32_t x = 1; x <= m.width; ++x) {
            switch (ThinningDecision(ring.above, ring.middle, ring.below, x)) {
            case kKeep:
                break;
            case kToBackground:
                m.work[x] = 255;
                break;
            case kRemove:
                m.work[x] = 255;
                ++removals;
                break;
            }
        }
        WriteBufferRow(m.scratch, 0, u + 1, m.width + 2, m.work);
        Rotate(ring);
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
    }
    return kNoErr;
}

// The thinned picture back into the image.
int16_t OutputStage(SkinnyLines& m) {
    uint8_t* line = m.ring.above;
    for (int32_t y = 0; y < m.height; ++y) {
        if (StopRequested(m, 12 * m.height + y)) return kErrUserCancelled;
        ReadBufferRow(m.image, 0, y, m.planes * m.width, m.work);
        ReadBufferRow(m.scratch, 1, y + 1, m.width, line);
        if (m.planes == 3) {
            for (int32_t x = 0; x < m.width; ++x) {
                uint8_t* pixel = m.work + 3 * x;
                const int32_t c = line[x];
                if (c >= kBackgroundLevel) {
                    pixel[0] = pixel[1] = pixel[2] = 255;
                    continue;
                }
                // Keep the two colour differences, replace the mean level by c.
                const int32_t r = pixel[0], g = pixel[1], b = pixel[2];
                const int32_t d = (r + g) / 2 - b;
                const int32_t e = (r - g) / 2;
                pixel[0] = ClampByte(c + d / 3 + e);
                pixel[1] = ClampByte(c + d / 3 - e);
                pixel[2] = ClampByte(c - (2 * d) / 3);
            }
        } else {
            for (int32_t x = 0; x < m.width; ++x) m.work[x] = line[x] < kBackgroundLevel ? line[x] : 255;
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

int16_t FindEdgesSkinnyLines(ImageBuffer* image, const RunState* run, int32_t flag) {
    BufferShape shape{};
    GetBufferShape(image, &shape);
    if (shape.width <= 0 || shape.height <= 0) return kNoErr;
    // The grey level and the colour output are defined for grey and RGB pixels only.
    if (shape.planes != 1 && shape.planes != 3) return kErrBadParameters;

    SkinnyLines m{};
    m.image = image;
    m.run = run;
    m.report = (flag & 0xFF) != 0;
    m.width = shape.width;
    m.height = shape.height;
    m.planes = shape.planes;

    const uint32_t ringBytes = uint32_t(m.width) + 2;
    m.ring.above = static_cast<uint8_t*>(AllocateMemoryBlock(ringBytes));
    m.ring.middle = static_cast<uint8_t*>(AllocateMemoryBlock(ringBytes));
    m.ring.below = static_cast<uint8_t*>(AllocateMemoryBlock(ringBytes));
    m.work = static_cast<uint8_t*>(AllocateMemoryBlock(uint32_t(m.planes) * ringBytes));

    int16_t result = kErrOutOfMemory;
    if (m.ring.above && m.ring.middle && m.ring.below && m.work) {
        result = CreateScratchBuffer("Canny", m.width, m.height, 1, &m.scratch);
        if (result == kNoErr) result = RunStages(m);
    }

    if (m.scratch) DisposeImageBuffer(m.scratch);
    FreeMemoryBlock(m.ring.above);
    FreeMemoryBlock(m.ring.middle);
    FreeMemoryBlock(m.ring.below);
    FreeMemoryBlock(m.work);
    return result;
}

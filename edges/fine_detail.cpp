// Fine detail: at every pixel the 3x3 brightness pattern is split over nine fixed masks, and the
// share of its energy that lies in the two straight-edge masks becomes darkness: flat areas white,
// pure edges black. Three passes through the bordered one-plane scratch image "FreiChen":
// brightness in, edge values in place, back to the image (grey, or the brightness of each colour
// pixel replaced while its two colour differences stay).
#include <bit>
#include <cmath>

#include "buffers/image_buffer.h"
#include "edges/fine_detail.h"
#include "edges/methods.h"
#include "host/plugin.h"

namespace {

// The masks work in integers scaled by 41, with 58/41 standing for the square root of 2.
constexpr int32_t kSideWeight = 41;
constexpr int32_t kRootTwoWeight = 58;
// Undoes the 41 x 41 scale of the squared edge-mask responses: 1/1681 as a float.
constexpr float kMaskScale = 1.0f / 1681.0f;
static_assert(kMaskScale == 0.00059488398f);

// The right angle as a float, and the scale from an angle to a grey value: the float of the
// square root of 2 x 255.99 over that angle, so that a right angle lands just beyond 255.
constexpr float kHalfPi = float(3.14159265358979323846 / 2);
constexpr float kAngleScale = float(float(__builtin_sqrt(2.0) * 255.99) / kHalfPi);
static_assert(kHalfPi == 1.5707964f && kAngleScale == 230.47197f);

// The edge value of the share y by the formula itself. Evaluated only at compile time, where GCC
// folds the arc tangent and square root with correctly rounded results.
constexpr int32_t EdgeValueByFormula(float y) {
    const double yd = y;
    const double theta = y == 0.0f ? double(kHalfPi) : __builtin_atan(__builtin_sqrt(1.0 - yd * yd) / yd);
    const double v = theta * double(kAngleScale);
    return v >= 255.0 ? 255 : int32_t(v);
}

// For every value j the smallest float y in [0, 1] whose value is below j, by a binary search over
// the bit patterns of the non-negative floats (ordered like the floats themselves).
constexpr EdgeShareStepTable BuildEdgeShareSteps() {
    EdgeShareStepTable table{};
    table.bits[0] = 0xFFFFFFFFu;
    const uint32_t one = std::bit_cast<uint32_t>(1.0f);
    for (int32_t j = 1; j < 256; ++j) {
        uint32_t low = 0, high = one;
        while (low < high) {
            const uint32_t mid = low + (high - low) / 2;
            if (EdgeValueByFormula(std::bit_cast<float>(mid)) < j) high = mid;
            else low = mid + 1;
        }
        table.bits[j] = low;
    }
    return table;
}

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

struct FineDetail {
    ImageBuffer* image;
    ImageBuffer* scratch;
    const RunState* run;
    bool report;
    int32_t width;
    int32_t height;
    int32_t planes;
    Ring ring;
    uint8_t* output;  // width + 2 bytes
    uint8_t* line;    // one image row
};

// Reports step k of the method's 3 x height and asks the host whether to stop.
inline bool StopRequested(const FineDetail& m, int32_t k) {
    if (!m.report) return false;
    ReportProgress(m.run, k, 3 * m.height);
    return TestAbort(m.run) != 0;
}

inline uint8_t ClampByte(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

inline double Square(int32_t f) { return double(f) * double(f); }

// The edge value of the brightness pattern around column x of `middle`.
inline uint8_t EdgeShareAt(const uint8_t* above, const uint8_t* middle, const uint8_t* below, int32_t x) {
    const int32_t nw = above[x - 1], n = above[x], ne = above[x + 1];
    const int32_t w = middle[x - 1], p = middle[x], e = middle[x + 1];
    const int32_t sw = below[x - 1], s = below[x], se = below[x + 1];
    constexpr int32_t a = kSideWeight, b = kRootTwoWeight;

    const int32_t f1 = b * s + a * sw + a * se - b * n - a * nw - a * ne;
    const int32_t f2 = b * e + a * ne + a * se - b * w - a * nw - a * sw;
    const int32_t f3 = b * ne + a * w + a * s - b * sw - a * n - a * e;
    const int32_t f4 = b * nw + a * e + a * s - b * se - a * n - a * w;
    const int32_t f5 = n + e - s - w;
    const int32_t f6 = ne + sw + se - nw;
    const int32_t f7 = (nw + ne + sw + se) + 4 * p - 2 * (n + s + e + w);
    const int32_t f8 = (n + s + e + w) + 4 * p - 2 * (nw + ne + sw + se);
    const int32_t f9 = nw + n + ne + w + p + e + sw + s + se;

    const double k = kMaskScale;
    const double edge = Square(f1) * k + Square(f2) * k;
    double total = edge + Square(f3) * k + Square(f4) * k + Square(f9) + Square(f5) + Square(f6) +
                   Square(f7) + Square(f8);
    if (total == 0.0) total = 1.0;
    const float y = float(1.0 - std::sqrt(edge / total));
    return uint8_t(EdgeShareValue(y));
}

// Pass 1: the brightness of every pixel into the scratch image, the border repeating the nearest
// pixel.
int16_t BrightnessPass(FineDetail& m) {
    uint8_t* row = m.ring.below;
    for (int32_t y = 0; y < m.height; ++y) {
        if (StopRequested(m, y)) return kErrUserCancelled;
        ReadBufferRow(m.image, 0, y, m.planes * m.width, m.line);
        if (m.planes == 3) {
            for (int32_t x = 0; x < m.width; ++x) {
                const uint8_t* pixel = m.line + 3 * x;
                m.line[x] = uint8_t((pixel[0] + pixel[1] + pixel[2] + 1) / 3);
            }
        }
        for (int32_t x = 0; x < m.width; ++x) row[x + 1] = m.line[x];
        row[0] = row[1];
        row[m.width + 1] = row[m.width];
        if (y == 0) WriteBufferRow(m.scratch, 0, 0, m.width + 2, row);
        WriteBufferRow(m.scratch, 0, y + 1, m.width + 2, row);
    }
    WriteBufferRow(m.scratch, 0, m.height + 1, m.width + 2, row);
    return kNoErr;
}

// Pass 2: edge values over the interior, in place; the ring keeps the brightness of the rows
// already overwritten.
int16_t EdgeSharePass(FineDetail& m) {
    Ring ring = m.ring;
    ReadBufferRow(m.scratch, 0, 0, m.width + 2, ring.above);
    ReadBufferRow(m.scratch, 0, 1, m.width + 2, ring.middle);
    for (int32_t y = 1; y <= m.height; ++y) {
        if (StopRequested(m, m.height + y - 1)) return kErrUserCancelled;
        ReadBufferRow(m.scratch, 0, y + 1, m.width + 2, ring.below);
        for (int32_t x = 0; x < m.width + 2; ++x) m.output[x] = ring.middle[x];
        for (int32_t x = 1; x <= m.width; ++x) m.output[x] = EdgeShareAt(ring.above, ring.middle, ring.below, x);
        WriteBufferRow(m.scratch, 0, y, m.width + 2, m.output);
        Rotate(ring);
    }
    return kNoErr;
}

// Pass 3: 255 minus the edge value becomes the grey level, or the brightness of the colour pixel.
int16_t OutputPass(FineDetail& m) {
    uint8_t* edges = m.ring.above;
    for (int32_t y = 0; y < m.height; ++y) {
        if (StopRequested(m, 2 * m.height + y)) return kErrUserCancelled;
        ReadBufferRow(m.scratch, 0, y + 1, m.width + 2, edges);
        if (m.planes == 3) {
            ReadBufferRow(m.image, 0, y, 3 * m.width, m.line);
            for (int32_t x = 0; x < m.width; ++x) {
                uint8_t* pixel = m.line + 3 * x;
                const int32_t level = 255 - edges[x + 1];
                const int32_t r = pixel[0], g = pixel[1], b = pixel[2];
                const int32_t u = r - g;
                const int32_t t = (r + g) / 2 - b;
                pixel[0] = ClampByte(level + t / 3 + u / 2);
                pixel[1] = ClampByte(level - u / 2 + t / 3);
                pixel[2] = ClampByte(level - (2 * t) / 3);
            }
        } else {
            for (int32_t x = 0; x < m.width; ++x) m.line[x] = uint8_t(255 - edges[x + 1]);
        }
        WriteBufferRow(m.image, 0, y, m.planes * m.width, m.line);
    }
    return kNoErr;
}

int16_t RunPasses(FineDetail& m) {
    int16_t result = BrightnessPass(m);
    if (result == kNoErr) result = EdgeSharePass(m);
    if (result == kNoErr) result = OutputPass(m);
    return result;
}

}  // namespace

extern constexpr EdgeShareStepTable kEdgeShareSteps = BuildEdgeShareSteps();

int32_t EdgeShareValue(float y) {
    // The largest j whose step lies beyond y; the steps fall as j grows and step 0 lies beyond
    // every share.
    const uint32_t bits = std::bit_cast<uint32_t>(y);
    int32_t v = 0;
    for (int32_t step = 128; step > 0; step >>= 1) {
        if (bits < kEdgeShareSteps.bits[v + step]) v += step;
    }
    return v;
}

int16_t FindEdgesFineDetail(ImageBuffer* image, const RunState* run, int32_t flag) {
    BufferShape shape{};
    GetBufferShape(image, &shape);
    if (shape.width <= 0 || shape.height <= 0) return kNoErr;
    // Brightness and colour differences are defined for grey and RGB pixels only.
    if (shape.planes != 1 && shape.planes != 3) return kErrBadParameters;

    FineDetail m{};
    m.image = image;
    m.run = run;
    m.report = (flag & 0xFF) != 0;
    m.width = shape.width;
    m.height = shape.height;
    m.planes = shape.planes;

    const uint32_t scratchRowBytes = uint32_t(m.width) + 2;
    m.ring.above = static_cast<uint8_t*>(AllocateMemoryBlock(scratchRowBytes));
    m.ring.middle = static_cast<uint8_t*>(AllocateMemoryBlock(scratchRowBytes));
    m.ring.below = static_cast<uint8_t*>(AllocateMemoryBlock(scratchRowBytes));
    m.output = static_cast<uint8_t*>(AllocateMemoryBlock(scratchRowBytes));
    m.line = static_cast<uint8_t*>(AllocateMemoryBlock(uint32_t(m.planes) * uint32_t(m.width)));

    int16_t result = kErrOutOfMemory;
    if (m.ring.above && m.ring.middle && m.ring.below && m.output && m.line) {
        result = CreateScratchBuffer("FreiChen", m.width, m.height, 1, &m.scratch);
        if (result == kNoErr) result = RunPasses(m);
    }

    if (m.scratch) DisposeImageBuffer(m.scratch);
    FreeMemoryBlock(m.ring.above);
    FreeMemoryBlock(m.ring.middle);
    FreeMemoryBlock(m.ring.below);
    FreeMemoryBlock(m.output);
    FreeMemoryBlock(m.line);
    return result;
}

// Fine detail: at every pixel the 3x3 brightness pattern is split over nine fixed masks, and the
// share of its energy that lies in the two straight-edge masks becomes darkness: flat areas white,
// pure edges black. Three passes through the bordered one-plane scratch image "FreiChen":
// brightness in, edge values in place, back to the image (grey, or the brightness of each colour
// pixel replaced while its two colour differences stay). The per-row work is done by the kernels
// of pattern.h, chosen once per call; the edge value comes from the compile-time step tables of
// fine_detail.h.
#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/pattern.h"
#include "edges/methods.h"

namespace {

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
    const ProgressPair* progress;
    const PatternKernels* kernels;
    bool report;
    int32_t width;
    int32_t height;
    int32_t planes;
    Ring ring;
    uint8_t* output;  // width + 2 bytes
    uint8_t* line;    // one image row
};

// Reports step k of the method's 3 x height and asks whether to stop.
inline bool StopRequested(const FineDetail& m, int32_t k) {
    if (!m.report) return false;
    ReportStep(m.progress, k, 3 * m.height);
    return AbortRequested(m.progress) != 0;
}

// Pass 1: the brightness of every pixel into the scratch image, the border repeating the nearest
// pixel.
int16_t BrightnessPass(FineDetail& m) {
    uint8_t* row = m.ring.below;
    for (int32_t y = 0; y < m.height; ++y) {
        if (StopRequested(m, y)) return kErrUserCancelled;
        if (m.planes == 3) {
            ReadBufferRow(m.image, 0, y, 3 * m.width, m.line);
            m.kernels->greyOfRgb(m.line, row + 1, m.width);
        } else {
            ReadBufferRow(m.image, 0, y, m.width, row + 1);
        }
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
        m.output[0] = ring.middle[0];
        m.output[m.width + 1] = ring.middle[m.width + 1];
        m.kernels->fineEdgeShare(ring.above, ring.middle, ring.below, m.output, m.width);
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
        ReadBufferRow(m.scratch, 1, y + 1, m.width, edges);
        if (m.planes == 3) {
            ReadBufferRow(m.image, 0, y, 3 * m.width, m.line);
            m.kernels->fineOutputRgb(edges, m.line, m.width);
        } else {
            m.kernels->fineOutputGrey(edges, m.line, m.width);
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

int16_t FindEdgesFineDetail(ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    BufferShape shape{};
    GetBufferShape(image, &shape);
    if (shape.width <= 0 || shape.height <= 0) return kNoErr;
    // Brightness and colour differences are defined for grey and RGB pixels only.
    if (shape.planes != 1 && shape.planes != 3) return kErrBadParameters;

    FineDetail m{};
    m.image = image;
    m.progress = progress;
    m.kernels = ChoosePatternKernels();
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

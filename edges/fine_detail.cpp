// Fine detail: at every pixel the 3x3 brightness pattern is split over nine fixed masks, and the
// share of its energy that lies in the two straight-edge masks becomes darkness: flat areas white,
// pure edges black. Three passes through the bordered one-plane scratch image "FreiChen":
// brightness in, edge values in place, back to the image (grey, or the brightness of each colour
// pixel replaced while its two colour differences stay), every pass on the rows where they lie;
// pass 2 keeps the brightness of the row above and of the row itself in two row blocks. The
// per-row work is done by the kernels of pattern.h, chosen once per call; the edge value comes
// from the compile-time step tables of fine_detail.h.
#include <cstring>

#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/pattern.h"
#include "edges/methods.h"

namespace {

struct FineDetail {
    ImageBuffer* image;
    ImageBuffer* scratch;
    const ProgressPair* progress;
    const PatternKernels* kernels;
    bool report;
    int32_t width;
    int32_t height;
    int32_t planes;
    uint8_t* above;   // brightness of the scratch row above the one being computed (width + 2 bytes)
    uint8_t* middle;  // brightness of the scratch row being computed
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
    for (int32_t y = 0; y < m.height; ++y) {
        if (StopRequested(m, y)) return kErrUserCancelled;
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
    std::memcpy(BufferRow(m.scratch, 0), BufferRow(m.scratch, 1), size_t(m.width) + 2);
    std::memcpy(BufferRow(m.scratch, m.height + 1), BufferRow(m.scratch, m.height), size_t(m.width) + 2);
    return kNoErr;
}

// Pass 2: edge values over the interior, in place; the border keeps its brightness.
int16_t EdgeSharePass(FineDetail& m) {
    uint8_t* above = m.above;
    uint8_t* middle = m.middle;
    std::memcpy(above, BufferRow(m.scratch, 0), size_t(m.width) + 2);
    for (int32_t y = 1; y <= m.height; ++y) {
        if (StopRequested(m, m.height + y - 1)) return kErrUserCancelled;
        uint8_t* row = BufferRow(m.scratch, y);
        std::memcpy(middle, row, size_t(m.width) + 2);
        m.kernels->fineEdgeShare(above, middle, BufferRow(m.scratch, y + 1), row, m.width);
        uint8_t* oldAbove = above;
        above = middle;
        middle = oldAbove;
    }
    return kNoErr;
}

// Pass 3: 255 minus the edge value becomes the grey level, or the brightness of the colour pixel.
int16_t OutputPass(FineDetail& m) {
    for (int32_t y = 0; y < m.height; ++y) {
        if (StopRequested(m, 2 * m.height + y)) return kErrUserCancelled;
        const uint8_t* edges = BufferRow(m.scratch, y + 1) + 1;
        uint8_t* pixels = BufferRow(m.image, y);
        if (m.planes == 3) {
            m.kernels->fineOutputRgb(edges, pixels, m.width);
        } else {
            m.kernels->fineOutputGrey(edges, pixels, m.width);
        }
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
    m.above = static_cast<uint8_t*>(AllocateMemoryBlock(scratchRowBytes));
    m.middle = static_cast<uint8_t*>(AllocateMemoryBlock(scratchRowBytes));

    int16_t result = kErrOutOfMemory;
    if (m.above && m.middle) {
        result = CreateScratchBuffer("FreiChen", m.width, m.height, 1, &m.scratch);
        if (result == kNoErr) result = RunPasses(m);
    }

    if (m.scratch) DisposeImageBuffer(m.scratch);
    FreeMemoryBlock(m.above);
    FreeMemoryBlock(m.middle);
    return result;
}

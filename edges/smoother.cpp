// Smoother: the brightness of every pixel becomes an edge value from the largest of three
// directional gradient responses around it; a colour pixel keeps its two colour differences.
//
// Three passes through the bordered scratch image "Kirsch" ((W + 2) x (H + 2) pixels, image pixel
// (x, y) at (x + 1, y + 1), the outer ring repeating the nearest image pixel), so that every pixel,
// the border included, has a full 3x3 neighbourhood:
//   1. image -> scratch: colour pixels as (brightness, difference 1, difference 2), borders repeated;
//   2. in place on the scratch image with a three-row ring: brightness -> edge value;
//   3. scratch -> image: colour pixels rebuilt from the new brightness and their own differences.
// The image is not touched before pass 3.
#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "host/plugin.h"

namespace {

inline uint8_t ClampByte(int32_t v) { return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); }

// The edge value from the brightness samples around `mid` (a pointer at the centre pixel's
// brightness byte); `step` bytes separate horizontally adjacent pixels. The second diagonal (SW
// against NE) is deliberately not one of the responses.
inline uint8_t SmootherEdge(const uint8_t* above, const uint8_t* mid, const uint8_t* below, int32_t step) {
    const int32_t nw = above[-step], n = above[0], ne = above[step];
    const int32_t w = mid[-step], e = mid[step];
    const int32_t sw = below[-step], s = below[0], se = below[step];
    const int32_t kh = (ne + 2 * e + se) - (nw + 2 * w + sw);
    const int32_t kd = (e + 2 * se + s) - (n + 2 * nw + w);
    const int32_t kv = (sw + 2 * s + se) - (nw + 2 * n + ne);
    int32_t m = kh < 0 ? -kh : kh;
    const int32_t ad = kd < 0 ? -kd : kd;
    const int32_t av = kv < 0 ? -kv : kv;
    if (ad > m) m = ad;
    if (av > m) m = av;
    return uint8_t(m <= 509 ? (510 - m) >> 1 : 0);
}

// Pass 1 for one row: the image row `line` into pixels 1 .. W of the bordered `row`, with pixel 0
// repeating pixel 1 and pixel W + 1 repeating pixel W.
void GreyRowToScratch(const uint8_t* line, uint8_t* row, int32_t width) {
    for (int32_t x = 0; x < width; ++x) row[x + 1] = line[x];
    row[0] = row[1];
    row[width + 1] = row[width];
}

void ColourRowToScratch(const uint8_t* line, uint8_t* row, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        const int32_t r = line[3 * x], g = line[3 * x + 1], b = line[3 * x + 2];
        uint8_t* p = row + 3 * (x + 1);
        p[0] = uint8_t((r + g + b + 1) / 3);
        p[1] = uint8_t((r - g) / 2 + 128);
        p[2] = uint8_t(((r + g) / 2 - b) / 2 + 128);
    }
    for (int32_t c = 0; c < 3; ++c) {
        row[c] = row[3 + c];
        row[3 * (width + 1) + c] = row[3 * width + c];
    }
}

// Pass 3 for one row: pixels 1 .. W of the bordered `row` back into the image row `line`.
void ScratchRowToGrey(const uint8_t* row, uint8_t* line, int32_t width) {
    for (int32_t x = 0; x < width; ++x) line[x] = row[x + 1];
}

void ScratchRowToColour(const uint8_t* row, uint8_t* line, int32_t width) {
    for (int32_t x = 0; x < width; ++x) {
        const uint8_t* p = row + 3 * (x + 1);
        const int32_t i = p[0], u = 2 * p[1] - 256, t = 2 * p[2] - 256;
        line[3 * x] = ClampByte(i + t / 3 + u / 2);
        line[3 * x + 1] = ClampByte(i - u / 2 + t / 3);
        line[3 * x + 2] = ClampByte(i - (2 * t) / 3);
    }
}

struct Blocks {
    uint8_t* above;
    uint8_t* middle;
    uint8_t* below;
    uint8_t* output;
    uint8_t* line;
};

int16_t RunSmoother(ImageBuffer* image, ImageBuffer* scratch, const RunState* run, bool report,
                    const BufferShape& shape, Blocks b) {
    const int32_t width = shape.width, height = shape.height, planes = shape.planes;
    const int32_t rowBytes = width * planes;
    const int32_t scratchBytes = (width + 2) * planes;
    void (*toScratch)(const uint8_t*, uint8_t*, int32_t) = planes == 3 ? ColourRowToScratch : GreyRowToScratch;
    void (*fromScratch)(const uint8_t*, uint8_t*, int32_t) = planes == 3 ? ScratchRowToColour : ScratchRowToGrey;

    for (int32_t y = 0; y < height; ++y) {
        if (report) {
            ReportProgress(run, y, 3 * height);
            if (TestAbort(run)) return kErrUserCancelled;
        }
        ReadBufferRow(image, 0, y, rowBytes, b.line);
        toScratch(b.line, b.below, width);
        if (y == 0) WriteBufferRow(scratch, 0, 0, scratchBytes, b.below);
        WriteBufferRow(scratch, 0, y + 1, scratchBytes, b.below);
    }
    WriteBufferRow(scratch, 0, height + 1, scratchBytes, b.below);

    ReadBufferRow(scratch, 0, 0, scratchBytes, b.above);
    ReadBufferRow(scratch, 0, 1, scratchBytes, b.middle);
    for (int32_t y = 1; y <= height; ++y) {
        if (report) {
            ReportProgress(run, height + y - 1, 3 * height);
            if (TestAbort(run)) return kErrUserCancelled;
        }
        ReadBufferRow(scratch, 0, y + 1, scratchBytes, b.below);
        for (int32_t i = 0; i < scratchBytes; ++i) b.output[i] = b.middle[i];
        for (int32_t i = planes; i <= width * planes; i += planes)
            b.output[i] = SmootherEdge(b.above + i, b.middle + i, b.below + i, planes);
        WriteBufferRow(scratch, 0, y, scratchBytes, b.output);

        uint8_t* oldAbove = b.above;
        b.above = b.middle;
        b.middle = b.below;
        b.below = oldAbove;
    }

    for (int32_t y = 0; y < height; ++y) {
        if (report) {
            ReportProgress(run, 2 * height + y, 3 * height);
            if (TestAbort(run)) return kErrUserCancelled;
        }
        ReadBufferRow(scratch, 0, y + 1, scratchBytes, b.above);
        fromScratch(b.above, b.line, width);
        WriteBufferRow(image, 0, y, rowBytes, b.line);
    }
    return kNoErr;
}

}  // namespace

int16_t FindEdgesSmoother(ImageBuffer* image, const RunState* run, int32_t flag) {
    BufferShape shape{};
    GetBufferShape(image, &shape);
    if (shape.width < 0 || shape.height < 0) return kNoErr;
    if (shape.planes != 1 && shape.planes != 3) return kErrUnsupportedMode;

    // Every block, the image row included, has the scratch row's size: never 0 bytes (an image
    // with no columns), which the heap would refuse.
    const uint32_t blockBytes = uint32_t(shape.width + 2) * uint32_t(shape.planes);
    Blocks blocks{};
    blocks.above = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    blocks.middle = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    blocks.below = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    blocks.output = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    blocks.line = static_cast<uint8_t*>(AllocateMemoryBlock(blockBytes));
    ImageBuffer* scratch = nullptr;

    int16_t result = kErrOutOfMemory;
    if (blocks.above && blocks.middle && blocks.below && blocks.output && blocks.line) {
        result = CreateScratchBuffer("Kirsch", shape.width, shape.height, shape.planes, &scratch);
        if (result == kNoErr && !scratch) result = kErrOutOfMemory;
        if (result == kNoErr) result = RunSmoother(image, scratch, run, (flag & 0xFF) != 0, shape, blocks);
    }

    DisposeImageBuffer(scratch);
    FreeMemoryBlock(blocks.above);
    FreeMemoryBlock(blocks.middle);
    FreeMemoryBlock(blocks.below);
    FreeMemoryBlock(blocks.output);
    FreeMemoryBlock(blocks.line);
    return result;
}

// Rectangle copy between image buffers with grey/colour conversion, and inversion, one row at a
// time through a single row block.
#include "buffers/region.h"

#include "base/memory.h"
#include "base/results.h"
#include "buffers/image_buffer.h"

namespace {

int32_t Smaller(int32_t a, int32_t b) { return a < b ? a : b; }

// Converts the first `count` pixels of `block` in place from `from` to `to` planes.
void ConvertPixels(uint8_t* block, int32_t count, int32_t from, int32_t to) {
    if (from == 1 && to == 3) {
        // From the last pixel back, so that no grey value is overwritten before it is read.
        for (int32_t i = count - 1; i >= 0; --i) {
            uint8_t v = block[i];
            block[3 * i] = v;
            block[3 * i + 1] = v;
            block[3 * i + 2] = v;
        }
    } else if (from == 3 && to == 1) {
        // The grey level trunc((R + G + B + 1) x 0.3333333333333333) in double precision equals
        // (R + G + B + 1) div 3 for every sum a pixel can have (1 to 766), so the integer form
        // serves, and it vectorises.
        for (int32_t i = 0; i < count; ++i) {
            const uint32_t sum = uint32_t(block[3 * i]) + block[3 * i + 1] + block[3 * i + 2] + 1;
            block[i] = uint8_t(sum / 3);
        }
    }
}

}  // namespace

int16_t CopyBufferRegion(const ImageBuffer* source, ImageBuffer* destination, Rect16 rect,
                         int16_t originRow, int16_t originColumn) {
    BufferShape from = {0, 0, 0};
    BufferShape to = {0, 0, 0};
    GetBufferShape(source, &from);
    GetBufferShape(destination, &to);
    int32_t w = int32_t(rect.right) - rect.left;
    if (w <= 0 || rect.bottom <= rect.top) return kNoErr;
    int32_t ps = from.planes;
    int32_t pd = to.planes;
    auto* block = static_cast<uint8_t*>(AllocateMemoryBlock(uint32_t((pd + ps + 4) * w)));
    if (!block) return kErrOutOfMemory;
    int32_t n = Smaller(w, int32_t(from.width) - rect.left);
    int32_t m = Smaller(w, int32_t(to.width) - originColumn);
    for (int32_t r = rect.top; r < rect.bottom; ++r) {
        int32_t row = int32_t(originRow) + r - rect.top;
        // Whatever of the rectangle lies outside the source reads as black.
        int32_t inside = 0;
        if (r >= 0 && r < from.height && rect.left >= 0 && n > 0) {
            ReadBufferRow(source, rect.left * ps, r, n * ps, block);
            inside = n * ps;
        }
        for (int32_t i = inside; i < w * ps; ++i) block[i] = 0;
        ConvertPixels(block, w, ps, pd);
        if (m > 0) WriteBufferRow(destination, originColumn * pd, row, m * pd, block);
    }
    FreeMemoryBlock(block);
    return kNoErr;
}

int16_t InvertBufferRegion(ImageBuffer* buffer, Rect16 rect) {
    BufferShape shape = {0, 0, 0};
    GetBufferShape(buffer, &shape);
    int32_t w = int32_t(rect.right) - rect.left;
    int32_t n = Smaller(w, int32_t(shape.width) - rect.left);
    if (n <= 0 || shape.planes <= 0 || rect.bottom <= rect.top) return kNoErr;
    int32_t p = shape.planes;
    auto* block = static_cast<uint8_t*>(AllocateMemoryBlock(uint32_t(p * w)));
    if (!block) return kErrOutOfMemory;
    for (int32_t r = rect.top; r < rect.bottom; ++r) {
        if (r < 0 || r >= shape.height) continue;
        ReadBufferRow(buffer, rect.left * p, r, n * p, block);
        for (int32_t i = 0; i < n * p; ++i) block[i] = uint8_t(255 - block[i]);
        WriteBufferRow(buffer, rect.left * p, r, n * p, block);
    }
    FreeMemoryBlock(block);
    return kNoErr;
}

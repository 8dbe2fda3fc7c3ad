// Rectangle copy between image buffers with grey/colour conversion, and inversion.
// Buffers hold 1 plane (grey) or 3 interleaved planes (R, G, B). Both return 0.
#pragma once

#include <cstdint>

struct ImageBuffer;

// top, left, bottom, right; bottom and right exclusive.
struct Rect16 {
    int16_t top, left, bottom, right;
};

// Copies `rect` of the source (rows outside it read as black) to (originRow, originColumn) of the
// destination; 3 -> 1 planes gives (R + G + B + 1) div 3, 1 -> 3 repeats the grey value.
int16_t CopyBufferRegion(const ImageBuffer* source, ImageBuffer* destination, Rect16 rect,
                         int16_t originRow, int16_t originColumn);
// Every sample v of `rect` becomes 255 - v.
int16_t InvertBufferRegion(ImageBuffer* buffer, Rect16 rect);

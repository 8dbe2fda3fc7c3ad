// The preview's arithmetic (see preview_math.h).
#include "ui/preview_math.h"

#include <cstring>

#include "buffers/image_buffer.h"
#include "plugin/plugin.h"

namespace {

// Truncation towards zero that cannot overflow: NaN gives 0, values beyond int32 saturate.
int32_t TruncateReal(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t Clamp(int32_t value, int32_t low, int32_t high) {
    if (value < low) return low;
    if (value > high) return high;
    return value;
}

}  // namespace

int32_t ZoomIn(int32_t zoom) {
    for (int32_t step : kZoomSteps) {
        if (step > zoom) return step;
    }
    return kZoomSteps[sizeof(kZoomSteps) / sizeof(kZoomSteps[0]) - 1];
}

int32_t ZoomOut(int32_t zoom) {
    int32_t result = kZoomSteps[0];
    for (int32_t step : kZoomSteps) {
        if (step < zoom) result = step;
    }
    return result;
}

void FormatZoomLabel(int32_t zoom, char* text) {
    // At most 12 digits and signs for any int32 x 100, the '%' and the terminator.
    int64_t percent = static_cast<int64_t>(zoom) * 100;
    char digits[24];
    int32_t count = 0;
    bool negative = percent < 0;
    uint64_t magnitude = negative ? static_cast<uint64_t>(-percent) : static_cast<uint64_t>(percent);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int32_t at = 0;
    if (negative) text[at++] = '-';
    while (count > 0) text[at++] = digits[--count];
    text[at++] = '%';
    text[at] = '\0';
}

Rect16 InitialView(int32_t imageWidth, int32_t imageHeight, int32_t frameWidth, int32_t frameHeight) {
    Rect16 view;
    view.top = 0;
    view.left = 0;
    view.bottom = static_cast<int16_t>(Clamp(imageHeight < frameHeight ? imageHeight : frameHeight, 0, INT16_MAX));
    view.right = static_cast<int16_t>(Clamp(imageWidth < frameWidth ? imageWidth : frameWidth, 0, INT16_MAX));
    return view;
}

Rect16 ResizedView(Rect16 view, int32_t imageWidth, int32_t imageHeight, int32_t frameWidth, int32_t frameHeight) {
    const Rect16 size = InitialView(imageWidth, imageHeight, frameWidth, frameHeight);
    const int32_t left = Clamp(view.left, 0, Clamp(imageWidth - size.right, 0, INT16_MAX));
    const int32_t top = Clamp(view.top, 0, Clamp(imageHeight - size.bottom, 0, INT16_MAX));
    Rect16 resized;
    resized.left = static_cast<int16_t>(left);
    resized.top = static_cast<int16_t>(top);
    resized.right = static_cast<int16_t>(Clamp(left + size.right, 0, INT16_MAX));
    resized.bottom = static_cast<int16_t>(Clamp(top + size.bottom, 0, INT16_MAX));
    return resized;
}

int32_t ScaleForDpi(int32_t pixels, int32_t toDpi, int32_t fromDpi) {
    if (fromDpi <= 0) return pixels;
    const int64_t product = static_cast<int64_t>(pixels) * toDpi;
    const int64_t half = fromDpi / 2;
    const int64_t scaled = product >= 0 ? (product + half) / fromDpi : -((-product + half) / fromDpi);
    return scaled > INT32_MAX ? INT32_MAX : scaled < INT32_MIN ? INT32_MIN : static_cast<int32_t>(scaled);
}

int32_t PanRange(int32_t imageSize, int32_t frameSize) {
    int64_t range = static_cast<int64_t>(imageSize) - frameSize + 1;
    if (range <= 0) return 0;
    return range > INT32_MAX ? INT32_MAX : static_cast<int32_t>(range);
}

int32_t PanPageStep(int32_t frameSize, int32_t zoom) {
    return TruncateReal(static_cast<double>(frameSize) / (2.0 * static_cast<double>(zoom)));
}

bool PanScrollTarget(int32_t code, int32_t position, int32_t thumb, int32_t frameSize, int32_t zoom,
                     int32_t range, int32_t* target) {
    int64_t next;
    switch (code) {
        case kScrollLineUp: next = static_cast<int64_t>(position) - 1; break;
        case kScrollLineDown: next = static_cast<int64_t>(position) + 1; break;
        case kScrollPageUp:
            next = static_cast<int64_t>(position) +
                   TruncateReal(static_cast<double>(frameSize) / (-2.0 * static_cast<double>(zoom)));
            break;
        case kScrollPageDown: next = static_cast<int64_t>(position) + PanPageStep(frameSize, zoom); break;
        case kScrollThumbPosition:
        case kScrollThumbTrack: next = thumb; break;
        case kScrollTop: next = 0; break;
        case kScrollBottom: next = range; break;
        default: return false;
    }
    if (next > INT32_MAX) next = INT32_MAX;
    if (next < INT32_MIN) next = INT32_MIN;
    *target = static_cast<int32_t>(next);
    return true;
}

int32_t ClampPanPosition(int32_t position, int32_t range) {
    if (range <= 0) return 0;
    return Clamp(position, 0, range - 1);
}

int32_t PixelBlockStride(int32_t frameWidth) {
    if (frameWidth <= 0) return 0;
    return ((frameWidth + 7) / 8) * 8 * 4;
}

BlitGeometry ComputeBlitGeometry(int32_t frameWidth, int32_t frameHeight, int32_t zoom) {
    BlitGeometry g;
    if (frameWidth < 0) frameWidth = 0;
    if (frameHeight < 0) frameHeight = 0;
    g.bitmapWidth = PixelBlockStride(frameWidth) / 4;
    g.bitmapHeight = frameHeight;
    if (zoom < 2) {
        // 1:1, limited to the frame: the bitmap's padding columns lie outside it.
        g.sourceLeft = 0;
        g.sourceTop = 0;
        g.sourceWidth = frameWidth;
        g.sourceHeight = frameHeight;
        g.destinationWidth = frameWidth;
        g.destinationHeight = frameHeight;
        return g;
    }
    int32_t halfWidth = g.bitmapWidth / 2;
    int32_t halfHeight = g.bitmapHeight / 2;
    int32_t cropHalfWidth = (g.bitmapWidth / zoom) / 2;
    int32_t cropHalfHeight = (g.bitmapHeight / zoom) / 2;
    g.sourceLeft = halfWidth - cropHalfWidth;
    g.sourceTop = halfHeight - cropHalfHeight;
    g.sourceWidth = 2 * cropHalfWidth;
    g.sourceHeight = 2 * cropHalfHeight;
    g.destinationWidth = (frameWidth + 1) / 2 * 2;
    g.destinationHeight = frameHeight;
    return g;
}

void CentreOffsets(int32_t frameWidth, int32_t frameHeight, int32_t imageWidth, int32_t imageHeight,
                   int32_t* rowOffset, int32_t* columnOffset) {
    *rowOffset = (frameHeight - imageHeight) / 2;
    *columnOffset = (frameWidth - imageWidth) / 2;
}

int16_t FillPixelBlock(uint8_t* block, int32_t stride, int32_t frameWidth, int32_t frameHeight,
                       const ImageBuffer* image) {
    if (block == nullptr || frameWidth <= 0 || frameHeight <= 0 || stride < frameWidth * 4) return kNoErr;
    BufferShape shape = {0, 0, 0};
    GetBufferShape(image, &shape);
    int32_t width = shape.width > 0 ? shape.width : 0;
    int32_t height = shape.height > 0 ? shape.height : 0;
    // Only the part that fits the frame is drawn, so no row or column can leave the block.
    if (width > frameWidth) width = frameWidth;
    if (height > frameHeight) height = frameHeight;

    uint32_t rowBlockSize = static_cast<uint32_t>(3 * width + 3 * (frameWidth + 2));
    uint8_t* row = static_cast<uint8_t*>(AllocateMemoryBlock(rowBlockSize));
    if (row == nullptr) return kErrOutOfMemory;

    int32_t rowOffset = 0;
    int32_t columnOffset = 0;
    CentreOffsets(frameWidth, frameHeight, width, height, &rowOffset, &columnOffset);

    if (width < frameWidth || height < frameHeight) {
        for (int32_t r = 0; r <= frameHeight; ++r) std::memset(block + static_cast<size_t>(r) * stride, 0, 4 * static_cast<size_t>(width));
    }
    for (int32_t i = 0; i < height; ++i) {
        ReadBufferRow(image, 0, i, 3 * width, row);
        uint8_t* out = block + static_cast<size_t>(rowOffset + i) * stride + 4 * static_cast<size_t>(columnOffset);
        for (int32_t k = 0; k < width; ++k) {
            out[4 * k + 0] = row[3 * k + 2];
            out[4 * k + 1] = row[3 * k + 1];
            out[4 * k + 2] = row[3 * k + 0];
            out[4 * k + 3] = 0;
        }
    }
    FreeMemoryBlock(row);
    return kNoErr;
}

// The preview's picture: the preview's pixels in an image buffer, the method run on them without
// progress or stop requests (as the plug-in's own preview runs it), the picture read back.
#include "gimp/preview.h"

#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "base/results.h"

namespace varno {

int16_t PreviewPicture(const uint8_t* pixels, int32_t width, int32_t height, int32_t bpp, const GimpChoice& choice,
                       std::vector<uint8_t>* picture, int32_t* planes) {
    if (bpp < 1 || bpp > 4 || width < 1 || height < 1 || width > kGimpMaxSide || height > kGimpMaxSide)
        return kErrBadParameters;
    const int32_t colour = bpp >= 3 ? 3 : 1;
    const size_t rowBytes = size_t(width) * size_t(colour);
    std::vector<uint8_t> rows(rowBytes * size_t(height));
    for (size_t i = 0, count = size_t(width) * size_t(height); i < count; ++i)
        for (int32_t c = 0; c < colour; ++c) rows[i * size_t(colour) + size_t(c)] = pixels[i * size_t(bpp) + size_t(c)];

    ImageBuffer* image = nullptr;
    int16_t result = CreateImageBuffer("Preview", int16_t(width), int16_t(height), int16_t(colour), &image);
    if (result == kNoErr && (!image || !image->mapped)) result = kErrOutOfMemory;
    if (result == kNoErr) {
        for (int32_t row = 0; row < height; ++row)
            WriteBufferRow(image, 0, row, int32_t(rowBytes), &rows[size_t(row) * rowBytes]);
        result = RunEdgeMethod(choice.method, choice.radius, image, nullptr, 0);
    }
    if (result == kNoErr)
        for (int32_t row = 0; row < height; ++row)
            ReadBufferRow(image, 0, row, int32_t(rowBytes), &rows[size_t(row) * rowBytes]);
    DisposeImageBuffer(image);
    if (result != kNoErr) return result;
    *picture = std::move(rows);
    *planes = colour;
    return kNoErr;
}

}  // namespace varno

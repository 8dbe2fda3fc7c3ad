// The dialog's preview picture: a method run directly on the 8-bit pixels the preview shows.
//
// Contract: `pixels` is width x height pixels of `bpp` bytes (1 grey, 2 grey and alpha, 3 RGB,
// 4 RGB and alpha), row after row. On success `picture` holds the method's picture of the same
// size with alpha dropped, 1 (grey) or 3 (RGB) samples per pixel as `planes` says, and 0 is
// returned; otherwise the method's or the buffer layer's code (-30700 for another bpp, -108 when
// the picture cannot be held), and `picture` is left alone.
#pragma once

#include <cstdint>
#include <vector>

#include "gimp/bridge.h"

namespace varno {

int16_t PreviewPicture(const uint8_t* pixels, int32_t width, int32_t height, int32_t bpp, const GimpChoice& choice,
                       std::vector<uint8_t>* picture, int32_t* planes);

}  // namespace varno

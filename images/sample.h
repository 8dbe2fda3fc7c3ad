// Pictures made by the project itself: the demo's sample photograph and the test documents.
//
// Contract: everything here is integer arithmetic on the inputs only, so every build draws the
// same bytes. The sample is a landscape with sky, sun, mountains, hills, a house, a tree and a
// path, with texture and noise, softened once by a 3x3 box filter.
#pragma once

#include <cstdint>
#include <vector>

#include "images/document.h"

namespace varno {

// Interleaved 8-bit RGB, width x height pixels (both at least 1).
std::vector<uint8_t> DrawSample(int32_t width, int32_t height, uint32_t seed);

// A document of any mode this host can hold, drawn from the sample: grey as luminance, CMYK as
// the inks of the RGB picture (255 = no ink), Lab with a and b around 128 from the colour
// differences, other modes from the same planes. 16-bit documents hold the 8-bit values scaled by
// 257 plus a small noise that the host's reduction to 8 bits removes again, so a 16-bit document
// gives the plug-in exactly the samples of its 8-bit counterpart.
Document MakeTestDocument(int32_t mode, int32_t width, int32_t height, uint32_t seed);

// A soft elliptical selection: 255 inside, falling to 0 across a ring, 0 outside.
std::vector<uint8_t> MakeTestSelection(int32_t width, int32_t height);

// FNV-1a, 64 bits.
uint64_t Fnv1a64(const uint8_t* bytes, size_t size);

}  // namespace varno

// A photograph of camera size made of real photographs: the colour photographs that ship with
// Debian's python3-skimage (in its data folder), each scaled to a fifth of the picture's height
// and laid side by side in five rows, in turn, every other copy mirrored, the last one of a row cut.
//
// Contract: MakePhotoMosaic fills `rgb` with width x height interleaved 8-bit RGB pixels (both at
// least 1) from the photographs found in `directory`, or returns false with the reason when none of
// them can be read. The same photographs always give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnobench {

// Where python3-skimage keeps its photographs.
constexpr const char* kPhotoDirectory = "/usr/lib/python3/dist-packages/skimage/data";

bool MakePhotoMosaic(const std::string& directory, int32_t width, int32_t height, std::vector<uint8_t>* rgb,
                     std::string* error);

}  // namespace varnobench

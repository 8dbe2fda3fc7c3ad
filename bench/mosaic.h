// A large picture of real photographs for the benchmarks: a mosaic of square cells, each cut from
// one of a fixed list of photographs that ship with Debian's python3-skimage.
//
// Contract: TileMosaic fills width x height interleaved RGB pixels with cells of kMosaicCell x
// kMosaicCell pixels in rows (the last row and column cut at the picture's edge). Cell k (counted
// row by row) shows photograph k mod count: a photograph at least a cell in size is cut at an
// origin that moves with each of its uses; a smaller one is repeated mirror-wise (reflected at its
// edges, as a mirror tiling does) so that the cell holds no seams of flat colour. Grey photographs
// are repeated into R, G and B. The result depends on the photographs and the size only.
// BuildMosaic reads the listed photographs from a folder through the host library's readers and
// tiles them; it returns an empty text, or the reason it could not.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnobench {

constexpr int32_t kMosaicCell = 500;

struct Photo {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> rgb;  // interleaved, width x height pixels
};

// The folder where python3-skimage keeps its sample photographs, and the ones the mosaic uses.
extern const char* const kPhotoFolder;
extern const char* const kMosaicPhotos[];
extern const int32_t kMosaicPhotoCount;

std::vector<uint8_t> TileMosaic(const std::vector<Photo>& photos, int32_t width, int32_t height);

std::string BuildMosaic(const std::string& folder, int32_t width, int32_t height, std::vector<uint8_t>* rgb);

}  // namespace varnobench

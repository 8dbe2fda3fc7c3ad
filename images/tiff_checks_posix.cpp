// The strips and tiles of a TIFF, checked before its planes are sized (see tiff_posix.h).
#include <tiffio.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "images/codecs.h"
#include "images/tiff_posix.h"

namespace varno {

std::string CheckTiffBlocks(TIFF* tiff, uint32_t height, uint16_t samples, bool separate, uint16_t compression,
                            uint64_t fileSize) {
    const bool tiled = TIFFIsTiled(tiff);
    const char* kind = tiled ? "tile" : "strip";
    const uint32_t count = tiled ? TIFFNumberOfTiles(tiff) : TIFFNumberOfStrips(tiff);
    if (count == 0) return std::string("the TIFF has no ") + kind + "s";
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    ranges.reserve(count);
    uint64_t stored = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t offset = TIFFGetStrileOffset(tiff, i), bytes = TIFFGetStrileByteCount(tiff, i);
        if (bytes == 0 || offset == 0 || offset >= fileSize)
            return "the TIFF's " + std::string(kind) + " " + std::to_string(i) + " has no data in the file";
        const uint64_t inFile = std::min(bytes, fileSize - offset);
        ranges.emplace_back(offset, inFile);
        stored += inFile;
    }
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].first < ranges[i - 1].first + ranges[i - 1].second)
            return std::string("two of the TIFF's ") + kind + "s share their bytes";
    const uint64_t rowBytes = uint64_t(TIFFScanlineSize64(tiff));
    const uint64_t needed =
        tiled ? uint64_t(TIFFTileSize64(tiff)) * count : uint64_t(TIFFVStripSize64(tiff, height)) * (separate ? samples : 1);
    const uint64_t expansion = TiffMostExpansion(compression, rowBytes);
    if (expansion && stored < needed / expansion + (needed % expansion != 0))
        return "the TIFF's " + std::to_string(stored) + " bytes of pixel data cannot hold its " + std::to_string(needed) +
               " bytes of samples";
    return {};
}


}  // namespace varno

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
                            const uint8_t* bytes, uint64_t fileSize) {
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
    // Deflate data is unpacked to its end without pixels (as the Windows builds' outline check
    // does): libtiff stops at the rows it wants, so damage after them and the checksum would pass.
    // A strip may hold up to RowsPerStrip rows: some writers fill the last one up.
    if (compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE) {
        uint32_t rowsPerStrip = height;
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
        const uint32_t blockRows = std::max<uint32_t>(1, std::min(rowsPerStrip, height));
        const uint32_t held = std::min<uint32_t>(rowsPerStrip, kMaxDocumentSide);
        const uint32_t perPlane = count / (separate && !tiled ? samples : 1);
        for (uint32_t i = 0; i < count; ++i) {
            const uint64_t offset = TIFFGetStrileOffset(tiff, i);
            const uint32_t rows = std::min(blockRows, height - std::min(height, i % perPlane * blockRows));
            const uint64_t least = tiled ? uint64_t(TIFFTileSize64(tiff)) : uint64_t(TIFFVStripSize64(tiff, rows));
            const uint64_t most = tiled ? least : uint64_t(TIFFVStripSize64(tiff, std::max(rows, held)));
            const std::string error =
                CheckDeflateData(bytes + offset, std::min(TIFFGetStrileByteCount(tiff, i), fileSize - offset), least, most);
            if (!error.empty()) return "the TIFF's " + std::string(kind) + " " + std::to_string(i) + " " + error;
        }
    }
    return {};
}

uint64_t StoredTiffTag(const uint8_t* bytes, uint64_t size, uint16_t tag, uint64_t absent) {
    if (size < 16 || (bytes[0] != 'I' && bytes[0] != 'M')) return absent;
    const bool little = bytes[0] == 'I';
    auto read = [&](uint64_t at, int count) {
        uint64_t v = 0;
        for (int i = 0; i < count; ++i) v |= uint64_t(bytes[at + uint64_t(little ? i : count - 1 - i)]) << (8 * i);
        return v;
    };
    const bool big = read(2, 2) == 43;
    const uint64_t directory = big ? read(8, 8) : read(4, 4), countBytes = big ? 8 : 2, entryBytes = big ? 20 : 12;
    if (directory >= size || size - directory < countBytes) return absent;
    const uint64_t entries = std::min(read(directory, int(countBytes)), (size - directory - countBytes) / entryBytes);
    for (uint64_t e = 0; e < entries; ++e) {
        const uint64_t at = directory + countBytes + e * entryBytes;
        const uint64_t type = read(at + 2, 2), value = at + (big ? 12 : 8);
        if (read(at, 2) == tag) return type == 3 ? read(value, 2) : type == 4 ? read(value, 4) : absent;
    }
    return absent;
}

}  // namespace varno

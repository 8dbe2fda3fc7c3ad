// Picture files made byte by byte by the tests, whole and damaged: PNG (stored deflate blocks, so no
// compressor is needed), BMP and TIFF (some coded by hand), and JPEG made by the host's own encoder and then
// edited. Everything is built in memory; every build makes the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace hosttest {

using Bytes = std::vector<uint8_t>;

// zlib streams: stored blocks, or one fixed-code block of `matched` zero bytes (a literal and copies
// of 258 bytes: a small file whose data can unpack a lot) and then `literals`; TIFF's LZW of zeros.
Bytes Stored(const Bytes& raw);
Bytes FixedCodes(size_t matched, const Bytes& literals);
Bytes LzwZeros(size_t count);

// ---- PNG --------------------------------------------------------------------------------------

// A PNG of `rows` (each row's bytes without its filter byte, which is written as 0); `interlaced`
// takes the rows of each Adam7 pass in turn, as PngPasses gives them. `before` chunks go between
// IHDR and IDAT.
struct PngChunk {
    std::string type;
    Bytes data;
};
Bytes PngFile(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, const std::vector<Bytes>& rows,
              bool interlaced = false, const std::vector<PngChunk>& before = {});
// The rows of an 8-bit grey picture (samples width x height, row after row) in Adam7 order.
std::vector<Bytes> PngPasses(const Bytes& samples, uint32_t width, uint32_t height);
// Where chunk `type` starts (its length field), or the file's size when it has none.
size_t FindChunk(const Bytes& png, const char* type);

// ---- BMP --------------------------------------------------------------------------------------

struct BmpLayout {
    uint32_t infoSize = 40;
    int32_t width = 0, height = 0;  // height < 0: top-down
    uint16_t planes = 1, bitCount = 24;
    uint32_t compression = 0;
    std::vector<uint32_t> masks;     // after a 40-byte header, or inside a larger one
    std::vector<uint32_t> palette;   // 0x00RRGGBB entries
    uint32_t colours = 0;            // the header's colour count
    int64_t dataOffset = -1;         // -1: right after the palette
    Bytes pixels;                    // the rows as stored, padding included
};
Bytes BmpFile(const BmpLayout& layout);

// ---- TIFF -------------------------------------------------------------------------------------

struct TiffLayout {
    uint32_t width = 0, height = 0;
    uint16_t bits = 8, samples = 1, photometric = 1, planar = 1, sampleFormat = 1;
    uint32_t tileWidth = 0, tileHeight = 0;  // 0: one strip
    std::vector<uint16_t> colourMap;         // 3 x 2^bits entries for palette pictures
    Bytes pixels;                            // the strip (or the one tile) as stored
    int64_t byteCount = -1;                  // -1: the size of `pixels`
    uint16_t compression = 1;
    uint32_t rowsPerStrip = 0;               // 0: all rows
    // Several strips or tiles: each one's offset into `pixels` and byte count (none: one block).
    std::vector<std::pair<uint32_t, uint32_t>> blocks;
    std::vector<std::pair<uint16_t, std::vector<uint32_t>>> shorts;  // more SHORT tags
    std::vector<uint16_t> without;                                   // tags left out
};
Bytes TiffFile(const TiffLayout& layout);

// ---- JPEG -------------------------------------------------------------------------------------

// A small valid JPEG of the sample picture (3 channels) or its grey version, from the host's encoder.
Bytes SampleJpeg(int32_t width, int32_t height, bool grey);
// The offset of the first marker 0xFF `marker` (the 0xFF byte), or the size when there is none.
size_t FindMarker(const Bytes& jpeg, uint8_t marker);

// ---- damaged and oversized files ---------------------------------------------------------------

struct DamagedFile {
    std::string what;
    std::string name;     // file name, with the format's extension
    Bytes bytes;
    std::string message;  // what the native build says
};
std::vector<DamagedFile> DamagedFiles();

}  // namespace hosttest

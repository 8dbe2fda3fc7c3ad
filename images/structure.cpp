// The outline of PNG, JPEG and TIFF files, checked before a platform decoder that decodes a whole
// picture at once, or pads what is missing, is given the file (see codecs.h).
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "images/codecs.h"
#include "images/fax_check.h"

namespace varno {

namespace {

uint32_t Big16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Big32(const uint8_t* p) { return Big16(p) << 16 | Big16(p + 2); }

uint32_t Crc32(const uint8_t* data, size_t size) {
    static uint32_t table[256];
    if (!table[1])
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    uint32_t crc = 0xffffffffu;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
    return ~crc;
}

// A PNG's pixel data (its IDAT chunks' bytes in order; the chunks were walked already) unpacked
// with the output dropped: whether it is one whole zlib stream of at least `raw` bytes whose own
// check matches, and if not, what is wrong in the native reader's words.
std::string CheckPngData(const uint8_t* bytes, size_t size, uint64_t raw) {
    const PngDataUnpacked unpacked = UnpackPngData(bytes, size, UINT64_MAX);
    if (!unpacked.ended || unpacked.bytes < raw) return unpacked.error.empty() ? "Not enough image data" : unpacked.error;
    return {};
}

}  // namespace

PngDataUnpacked UnpackPngData(const uint8_t* bytes, size_t size, uint64_t enough) {
    PngDataUnpacked result;
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK) {
        result.error = "out of memory";
        return result;
    }
    uint8_t scratch[1 << 15];
    int status = Z_OK;
    for (size_t at = 8; status == Z_OK && result.bytes < enough && size - at >= 12 &&
                        std::memcmp(bytes + at + 4, "IEND", 4) != 0;) {
        const uint32_t length = Big32(bytes + at);
        if (std::memcmp(bytes + at + 4, "IDAT", 4) == 0) {
            stream.next_in = const_cast<uint8_t*>(bytes + at + 8);
            stream.avail_in = length;
            do {
                stream.next_out = scratch;
                stream.avail_out = sizeof scratch;
                status = inflate(&stream, Z_NO_FLUSH);
                result.bytes += sizeof scratch - stream.avail_out;
            } while (status == Z_OK && result.bytes < enough && (stream.avail_in > 0 || stream.avail_out == 0));
            if (status == Z_BUF_ERROR) status = Z_OK;  // it wants the next chunk's bytes
        }
        at += 12 + size_t(length);
    }
    result.ended = status == Z_STREAM_END;
    if (status != Z_OK && status != Z_STREAM_END) result.error = "IDAT: " + std::string(stream.msg ? stream.msg : "damaged LZ stream");
    inflateEnd(&stream);
    return result;
}

uint64_t PngRawBytes(uint64_t width, uint64_t height, uint32_t depth, uint32_t colourType, bool interlaced) {
    const uint64_t samples = colourType == 2 ? 3 : colourType == 4 ? 2 : colourType == 6 ? 4 : 1;
    auto rows = [&](uint64_t columns, uint64_t count) {
        return columns == 0 || count == 0 ? 0 : count * (1 + (columns * samples * depth + 7) / 8);
    };
    if (!interlaced) return rows(width, height);
    static const uint32_t x0[7] = {0, 4, 0, 2, 0, 1, 0}, dx[7] = {8, 8, 4, 4, 2, 2, 1};
    static const uint32_t y0[7] = {0, 0, 4, 0, 2, 0, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
    uint64_t total = 0;
    for (int p = 0; p < 7; ++p)
        total += rows(width > x0[p] ? (width - x0[p] + dx[p] - 1) / dx[p] : 0, height > y0[p] ? (height - y0[p] + dy[p] - 1) / dy[p] : 0);
    return total;
}

std::string CheckPngOutline(const uint8_t* bytes, size_t size, const ReadLimits& limits, bool checksums) {
    if (SniffFormat(bytes, size) != ImageFormat::kPng) return "not a PNG file";
    size_t at = 8;
    bool first = true;
    uint64_t raw = 0, compressed = 0;
    while (true) {
        if (size - at < 12) return "the PNG file is truncated";
        const uint32_t length = Big32(bytes + at);
        if (length > 0x7fffffffu) return "the PNG has a chunk of impossible length";
        if (size - at - 12 < length) return "the PNG file is truncated";
        char type[5] = {};
        std::memcpy(type, bytes + at + 4, 4);
        if (checksums && Crc32(bytes + at + 4, 4 + size_t(length)) != Big32(bytes + at + 8 + length))
            return std::string(type) + ": CRC error";
        if (first) {
            if (std::strcmp(type, "IHDR") != 0 || length != 13) return "the PNG does not start with its header";
            const uint32_t width = Big32(bytes + at + 8), height = Big32(bytes + at + 12);
            if (std::string error = CheckPictureSize(width, height, limits); !error.empty()) return error;
            raw = PngRawBytes(width, height, bytes[at + 16], bytes[at + 17], bytes[at + 20] == 1);
            first = false;
        }
        if (std::strcmp(type, "IDAT") == 0) compressed += length;
        // Pixel data that cannot expand to the whole picture is refused before any row is kept:
        // an interlaced picture's first pass alone would otherwise size the whole document.
        if (std::strcmp(type, "IEND") == 0) {
            if (compressed * kDeflateMostExpansion + 64 < raw)
                return "the PNG's " + std::to_string(compressed) + " bytes of pixel data cannot hold its " +
                       std::to_string(raw) + " bytes of rows";
            // The platform decoder may not check the data's own checksum (WIC does not).
            return checksums ? CheckPngData(bytes, size, raw) : std::string();
        }
        at += 12 + size_t(length);
    }
}

std::string CheckJpegOutline(const uint8_t* bytes, size_t size, const ReadLimits& limits) {
    if (SniffFormat(bytes, size) != ImageFormat::kJpeg) return "not a JPEG file";
    const std::string truncated = "damaged JPEG data: Premature end of JPEG file";
    size_t at = 2;
    bool sized = false;
    while (true) {
        // Markers may be padded with any number of 0xFF bytes.
        if (at >= size || bytes[at] != 0xff) return at >= size ? truncated : "damaged JPEG data: a marker is missing";
        while (at < size && bytes[at] == 0xff) ++at;
        if (at >= size) return truncated;
        const uint8_t marker = bytes[at++];
        if (marker == 0xd9) return sized ? CheckJpegScans(bytes, size, limits) : "the JPEG has no frame header";
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7)) continue;  // markers without a segment
        if (size - at < 2) return truncated;
        const size_t length = Big16(bytes + at);
        if (length < 2) return "damaged JPEG data: a segment of impossible length";
        if (size - at < length) return truncated;
        const bool frame = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
        if (frame) {
            if (length < 8) return "damaged JPEG data: a frame header too short";
            const uint32_t height = Big16(bytes + at + 3), width = Big16(bytes + at + 5);
            if (height == 0) return "JPEGs that give their height after the pixels are not supported";
            if (std::string error = CheckPictureSize(width, height, limits); !error.empty()) return error;
            sized = true;
        }
        at += length;
        if (marker == 0xda) {
            // Entropy-coded data run to the next marker other than a stuffed zero or a restart.
            while (at + 1 < size && !(bytes[at] == 0xff && bytes[at + 1] != 0 && (bytes[at + 1] < 0xd0 || bytes[at + 1] > 0xd7)))
                ++at;
            if (at + 1 >= size) return truncated;
        }
    }
}

std::string CheckTiffOutline(const uint8_t* bytes, size_t size, const ReadLimits& limits) {
    if (SniffFormat(bytes, size) != ImageFormat::kTiff || size < 8) return "not a TIFF file";
    const bool little = bytes[0] == 'I';
    auto read = [&](uint64_t at, int count) -> uint64_t {
        uint64_t v = 0;
        for (int i = 0; i < count; ++i) v |= uint64_t(bytes[at + uint64_t(little ? i : count - 1 - i)]) << (8 * i);
        return v;
    };
    const bool big = read(2, 2) == 43;
    const uint64_t directory = big ? (size >= 16 ? read(8, 8) : size) : read(4, 4);
    const uint64_t countBytes = big ? 8 : 2, entryBytes = big ? 20 : 12;
    if (directory >= size || size - directory < countBytes) return "the TIFF's first directory is outside the file";
    const uint64_t entries = read(directory, int(countBytes));
    if (entries > (size - directory - countBytes) / entryBytes) return "the TIFF's first directory is outside the file";
    uint64_t width = 0, height = 0, samples = 1, bits = 1, rowsPerStrip = 0, tileWidth = 0, tileHeight = 0;
    uint64_t photometric = 0, format = 1, compression = 1, planar = 1, fillOrder = 1, t4Options = 0;
    uint64_t predictors = 1, colourMap = 0;  // the counts of Predictor's and ColorMap's values
    struct Table {
        uint64_t count = 0, unit = 0, place = 0;
    } offsets, counts;  // of the strips or tiles
    std::vector<bool> seen(65536);  // as the native reader, a tag's first entry counts, its repeats not
    for (uint64_t e = 0; e < entries; ++e) {
        const uint64_t at = directory + countBytes + e * entryBytes;
        const uint64_t tag = read(at, 2), type = read(at + 2, 2), count = read(at + 4, big ? 8 : 4);
        if (seen[tag]) continue;
        seen[tag] = true;
        uint64_t place = at + 4 + (big ? 8 : 4);
        // A list too long for the entry's own field lies elsewhere; its first value is enough here.
        const uint64_t unit = type == 1 || type == 2 || type == 6 || type == 7 ? 1 : type == 3 || type == 8 ? 2
                              : type >= 16 && type <= 18 ? 8 : 4;
        const uint64_t field = big ? 8 : 4;
        if (unit > field || count * unit > field) {
            place = read(place, big ? 8 : 4);
            if (place >= size || size - place < unit) continue;
        }
        const uint64_t value = read(place, int(unit));
        if (tag == 273 || tag == 324 || tag == 279 || tag == 325) (tag == 273 || tag == 324 ? offsets : counts) = {count, unit, place};
        if (tag == 256) width = value;
        if (tag == 257) height = value;
        if (tag == 258) bits = value;
        if (tag == 277) samples = value;
        if (tag == 278 && count == 1) rowsPerStrip = value;  // these the native reader ignores unless single
        if (tag == 322) tileWidth = value;
        if (tag == 323) tileHeight = value;
        if (tag == 262) photometric = value;
        if (tag == 339) format = value;
        if (tag == 259) compression = value;
        if (tag == 284) planar = value;
        if (tag == 266 && count == 1) fillOrder = value;
        if (tag == 292 && count == 1) t4Options = value;
        if (tag == 317) predictors = count;
        if (tag == 320) colourMap = count;
    }
    if (std::string error = CheckPictureSize(int64_t(width), int64_t(height), limits); !error.empty()) return error;
    // As the native reader: signed samples would be read as the wrong values (Lab's a and b are
    // signed by definition).
    if (format != 1 && format != 4 && photometric != 8 && photometric != 9)
        return "TIFF samples that are not unsigned integers are not supported";
    // As the native reader: a tag that decides how pixels are read is never ignored. (libtiff
    // would read the differences a Predictor of the wrong count leaves as pixels, and the indices
    // of a palette without a colour map as grey.)
    if (predictors != 1 && (compression == 5 || compression == 8 || compression == 32946))
        return "the TIFF's Predictor tag has " + std::to_string(predictors) + " values; it must have one";
    if (photometric == 3 && (bits > 16 || colourMap != uint64_t(3) << bits)) return "the palette TIFF has no colour map";
    // Strips and tiles are decoded whole: each may ask for no more than the decoder budget.
    const bool tiled = tileWidth > 0;
    const uint64_t blockWidth = tiled ? tileWidth : width;
    const uint64_t blockHeight = tiled ? tileHeight : rowsPerStrip == 0 || rowsPerStrip > height ? height : rowsPerStrip;
    if (samples == 0 || samples > 64 || bits == 0 || bits > 64) return "the TIFF declares impossible samples";
    if (blockWidth > (uint64_t(1) << 31) || blockHeight > (uint64_t(1) << 31)) return "the TIFF declares impossible tiles";
    const uint64_t bytesOfBlock = blockWidth * blockHeight * samples * bits / 8;
    if (bytesOfBlock > DecoderBudget(size, limits))
        return std::string("a TIFF ") + (tiled ? "tile" : "strip") + " of " + std::to_string(bytesOfBlock >> 20) +
               " MB is larger than a file of this size may ask for";

    // As the native reader: every strip or tile in the file, none sharing bytes, and together able
    // to expand to the picture under the codec's bound.
    const char* kind = tiled ? "tile" : "strip";
    if (blockWidth == 0 || blockHeight == 0) return std::string("the TIFF declares empty ") + kind + "s";
    const uint64_t planes = planar == 2 ? samples : 1, perBlock = planar == 2 ? 1 : samples;
    const uint64_t across = tiled ? (width + blockWidth - 1) / blockWidth : 1;
    const uint64_t blocks = across * ((height + blockHeight - 1) / blockHeight) * planes;
    if (offsets.count < blocks || counts.count < blocks) return std::string("the TIFF lacks some of its ") + kind + "s";
    if (offsets.count != 1 && (offsets.place >= size || (size - offsets.place) / offsets.unit < blocks))
        return std::string("the TIFF's table of ") + kind + "s lies outside the file";
    if (counts.count != 1 && (counts.place >= size || (size - counts.place) / counts.unit < blocks))
        return std::string("the TIFF's table of ") + kind + "s lies outside the file";
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    uint64_t stored = 0;
    for (uint64_t i = 0; i < blocks; ++i) {
        const uint64_t offset = read(offsets.place + i * offsets.unit, int(offsets.unit));
        const uint64_t bytes = read(counts.place + i * counts.unit, int(counts.unit));
        if (bytes == 0 || offset == 0 || offset >= size)
            return "the TIFF's " + std::string(kind) + " " + std::to_string(i) + " has no data in the file";
        ranges.emplace_back(offset, std::min<uint64_t>(bytes, size - offset));
        stored += ranges.back().second;
    }
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 1; i < ranges.size(); ++i)
        if (ranges[i].first < ranges[i - 1].first + ranges[i - 1].second)
            return std::string("two of the TIFF's ") + kind + "s share their bytes";
    const uint64_t rowBytes = (blockWidth * perBlock * bits + 7) / 8;
    const uint64_t needed = tiled ? rowBytes * blockHeight * blocks : rowBytes * height * planes;
    const uint64_t expansion = TiffMostExpansion(uint16_t(compression), rowBytes);
    if (expansion && stored < needed / expansion + (needed % expansion != 0))
        return "the TIFF's " + std::to_string(stored) + " bytes of pixel data cannot hold its " + std::to_string(needed) +
               " bytes of samples";
    // Deflate data is unpacked to its end, without pixels: a decoder that stops at the rows it
    // wants would take damage after them, or a checksum that does not match. A strip holds its rows
    // and may hold up to RowsPerStrip (some writers fill the last one up); YCbCr rows are counted
    // by the native reader only (their size depends on the subsampling).
    if (compression == 8 || compression == 32946) {
        const uint64_t perPlane = blocks / planes, held = std::min<uint64_t>(rowsPerStrip ? rowsPerStrip : height, kMaxDocumentSide);
        const bool sized = photometric != 6;
        for (uint64_t i = 0; i < blocks; ++i) {
            const uint64_t offset = read(offsets.place + i * offsets.unit, int(offsets.unit));
            const uint64_t count = read(counts.place + i * counts.unit, int(counts.unit));
            const uint64_t rows = tiled ? blockHeight : std::min(blockHeight, height - i % perPlane * blockHeight);
            const std::string error = CheckDeflateData(bytes + offset, std::min<uint64_t>(count, size - offset), sized ? rowBytes * rows : 0,
                                                       !sized ? UINT64_MAX : rowBytes * (tiled ? rows : std::max(rows, held)));
            if (!error.empty()) return "the TIFF's " + std::string(kind) + " " + std::to_string(i) + " " + error;
        }
    }
    // Fax code is decoded without pixels: the platform decoder pads short or missing rows. The
    // native reader decodes the first plane's blocks (a 1-bit picture's only channel) in order.
    if (compression == 2 || compression == 3 || compression == 4 || compression == 32771) {
        if (bits != 1) return "a fax-coded TIFF must have samples of 1 bit";
        const FaxLayout layout{uint16_t(compression), uint32_t(t4Options), fillOrder == 2, blockWidth, tiled};
        std::vector<FaxBlock> fax(size_t(blocks / planes));
        for (uint64_t i = 0; i < fax.size(); ++i) {
            const uint64_t offset = read(offsets.place + i * offsets.unit, int(offsets.unit));
            const uint64_t count = read(counts.place + i * counts.unit, int(counts.unit));
            const uint64_t rows = tiled ? blockHeight : std::min(blockHeight, height - i * blockHeight);
            fax[i] = {offset, std::min<uint64_t>(count, size - offset), uint32_t(rows)};
        }
        return CheckFaxBlocks(layout, bytes, size, fax, DecoderBudget(size, limits));
    }
    return {};
}

std::string CheckDeflateData(const uint8_t* data, uint64_t size, uint64_t least, uint64_t most) {
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK) return "out of memory";
    uint8_t scratch[16384];
    uint64_t made = 0, left = size;
    int status = Z_OK;
    stream.next_in = const_cast<uint8_t*>(data);
    while (status == Z_OK && made <= most) {
        if (stream.avail_in == 0 && left) {
            stream.avail_in = uInt(std::min<uint64_t>(left, uint64_t(1) << 30));
            left -= stream.avail_in;
        }
        stream.next_out = scratch;
        stream.avail_out = sizeof scratch;
        status = inflate(&stream, Z_NO_FLUSH);
        made += sizeof scratch - stream.avail_out;
    }
    const std::string why = status == Z_DATA_ERROR && stream.msg ? stream.msg
                            : status == Z_BUF_ERROR ? "it ends before its stream does"
                            : status == Z_NEED_DICT ? "it needs a preset dictionary" : "damaged data";
    inflateEnd(&stream);
    if (status == Z_MEM_ERROR) return "out of memory";
    if (status != Z_OK && status != Z_STREAM_END) return "holds damaged Deflate data (" + why + ")";
    if (made > most) return "unpacks to more than its " + std::to_string(most) + " bytes";
    if (made < least) return "unpacks to " + std::to_string(made) + " of its " + std::to_string(least) + " bytes";
    return {};
}

uint64_t TiffMostExpansion(uint16_t compression, uint64_t rowBytes) {
    switch (compression) {
        case 1: return 1;                     // none
        case 32773: return 64;                // PackBits: two bytes make a run of 128
        case 5: return 4096 * 8 / 12;         // LZW: a 12-bit code makes at most a 4096-byte string
        case 8: case 32946: return kDeflateMostExpansion;
        case 2: case 3: case 4: case 32771:   // CCITT: at least one bit a row
            return rowBytes * 8;
        default: return 0;                    // JPEG's runs of empty blocks, the general compressors
    }
}

}  // namespace varno

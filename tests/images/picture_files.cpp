// Picture files made byte by byte by the tests (see picture_files.h).
#include "tests/images/picture_files.h"

#include <algorithm>
#include <cstring>

#include "images/images.h"
#include "images/sample.h"

namespace hosttest {

namespace {

void Put16(Bytes* out, uint32_t v) { out->push_back(uint8_t(v)), out->push_back(uint8_t(v >> 8)); }
void Put32(Bytes* out, uint32_t v) { Put16(out, v & 0xffff), Put16(out, v >> 16); }
void Put32Big(Bytes* out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(uint8_t(v >> shift));
}
void Set16Big(Bytes* bytes, size_t at, uint32_t v) { (*bytes)[at] = uint8_t(v >> 8), (*bytes)[at + 1] = uint8_t(v); }

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xffffffffu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = crc & 1 ? (crc >> 1) ^ 0xedb88320u : crc >> 1;
    }
    return ~crc;
}

void AppendChunk(Bytes* png, const std::string& type, const Bytes& data) {
    Put32Big(png, uint32_t(data.size()));
    const size_t start = png->size();
    png->insert(png->end(), type.begin(), type.end());
    png->insert(png->end(), data.begin(), data.end());
    Put32Big(png, Crc32(png->data() + start, png->size() - start));
}

}  // namespace

Bytes FixedCodes(size_t matched, const Bytes& literals) {
    Bytes out = {0x78, 0x01};
    uint32_t bits = 0;
    int count = 0;
    auto code = [&](uint32_t value, int n) {  // codes go most significant bit first
        for (int i = n - 1; i >= 0; --i) {
            bits |= (value >> i & 1) << count;
            if (++count == 8) out.push_back(uint8_t(bits)), bits = 0, count = 0;
        }
    };
    code(6, 3);      // the last block, fixed codes
    if (matched) code(0x30, 8);   // literal 0
    size_t left = matched ? matched - 1 : 0;
    for (; left >= 258; left -= 258) code(0xc5, 8), code(0, 5);  // length 258, distance 1
    for (; left > 0; --left) code(0x30, 8);
    for (uint8_t v : literals) v < 144 ? code(0x30u + v, 8) : code(0x190u + v - 144, 9);
    code(0, 7);      // end of block
    if (count) out.push_back(uint8_t(bits));
    uint32_t a = 1, b = uint32_t(matched % 65521);
    for (uint8_t v : literals) a = (a + v) % 65521, b = (b + a) % 65521;
    Put32Big(&out, b << 16 | a);
    return out;
}

Bytes Stored(const Bytes& raw) {
    Bytes out = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - at, 65535);
        out.push_back(at + n == raw.size() ? 1 : 0);
        Put16(&out, uint32_t(n));
        Put16(&out, uint32_t(~n & 0xffff));
        out.insert(out.end(), raw.begin() + long(at), raw.begin() + long(at + n));
        at += n;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) a = (a + v) % 65521, b = (b + a) % 65521;
    Put32Big(&out, b << 16 | a);
    return out;
}

Bytes LzwZeros(size_t count) {
    Bytes out;
    uint64_t bits = 0;
    int held = 0, width = 9;
    auto code = [&](uint32_t value) {  // codes go most significant bit first
        for (bits = bits << width | value, held += width; held >= 8; held -= 8) out.push_back(uint8_t(bits >> (held - 8)));
    };
    code(256), code(0);  // clear, then a zero; code 256 + k is then k zeros, known as it is read
    for (size_t left = count - 1, length = 2, next = 258; left > 0; left -= std::min(length, left), ++length) {
        code(left == 1 ? 0 : uint32_t(256 + std::min(length, left)));
        if (++next >= (size_t(1) << width) - 1) ++width;  // the decoder widens its codes one early
    }
    code(257);  // end of information
    if (held) out.push_back(uint8_t(bits << (8 - held)));
    return out;
}

Bytes PngFile(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, const std::vector<Bytes>& rows,
              bool interlaced, const std::vector<PngChunk>& before) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Bytes header;
    Put32Big(&header, width);
    Put32Big(&header, height);
    header.insert(header.end(), {depth, colourType, 0, 0, uint8_t(interlaced ? 1 : 0)});
    AppendChunk(&png, "IHDR", header);
    for (const PngChunk& chunk : before) AppendChunk(&png, chunk.type, chunk.data);
    Bytes raw;
    for (const Bytes& row : rows) {
        raw.push_back(0);
        raw.insert(raw.end(), row.begin(), row.end());
    }
    AppendChunk(&png, "IDAT", Stored(raw));
    AppendChunk(&png, "IEND", {});
    return png;
}

std::vector<Bytes> PngPasses(const Bytes& samples, uint32_t width, uint32_t height) {
    const uint32_t x0[7] = {0, 4, 0, 2, 0, 1, 0}, dx[7] = {8, 8, 4, 4, 2, 2, 1};
    const uint32_t y0[7] = {0, 0, 4, 0, 2, 0, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
    std::vector<Bytes> rows;
    for (int pass = 0; pass < 7; ++pass) {
        if (x0[pass] >= width) continue;
        for (uint32_t y = y0[pass]; y < height; y += dy[pass]) {
            Bytes row;
            for (uint32_t x = x0[pass]; x < width; x += dx[pass]) row.push_back(samples[size_t(y) * width + x]);
            rows.push_back(row);
        }
    }
    return rows;
}

size_t FindChunk(const Bytes& png, const char* type) {
    size_t at = 8;
    while (at + 8 <= png.size()) {
        if (std::memcmp(&png[at + 4], type, 4) == 0) return at;
        const uint32_t length = uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 | png[at + 3];
        at += 12 + size_t(length);
    }
    return png.size();
}

Bytes BmpFile(const BmpLayout& s) {
    Bytes info;
    Put32(&info, s.infoSize);
    if (s.infoSize == 12) {
        Put16(&info, uint32_t(s.width)), Put16(&info, uint32_t(s.height)), Put16(&info, s.planes), Put16(&info, s.bitCount);
    } else {
        Put32(&info, uint32_t(s.width)), Put32(&info, uint32_t(s.height)), Put16(&info, s.planes), Put16(&info, s.bitCount);
        Put32(&info, s.compression), Put32(&info, uint32_t(s.pixels.size())), Put32(&info, 2835), Put32(&info, 2835);
        Put32(&info, s.colours), Put32(&info, 0);
        if (s.infoSize > 40) {
            for (uint32_t mask : s.masks) Put32(&info, mask);
            info.resize(s.infoSize, 0);
        }
    }
    if (s.infoSize == 40)
        for (uint32_t mask : s.masks) Put32(&info, mask);
    for (uint32_t colour : s.palette) {
        info.push_back(uint8_t(colour)), info.push_back(uint8_t(colour >> 8)), info.push_back(uint8_t(colour >> 16));
        if (s.infoSize != 12) info.push_back(0);
    }
    const size_t offset = s.dataOffset >= 0 ? size_t(s.dataOffset) : 14 + info.size();
    Bytes file = {'B', 'M'};
    Put32(&file, uint32_t(std::max(offset, 14 + info.size()) + s.pixels.size()));
    Put32(&file, 0);
    Put32(&file, uint32_t(offset));
    file.insert(file.end(), info.begin(), info.end());
    if (file.size() < offset) file.resize(offset, 0);
    file.insert(file.end(), s.pixels.begin(), s.pixels.end());
    return file;
}

Bytes TiffFile(const TiffLayout& s) {
    struct Entry {
        uint16_t tag, type;  // type 3 SHORT, 4 LONG
        std::vector<uint32_t> values;
    };
    const bool tiled = s.tileWidth > 0;
    const uint32_t count = s.byteCount >= 0 ? uint32_t(s.byteCount) : uint32_t(s.pixels.size());
    std::vector<Entry> entries = {
        {256, 4, {s.width}}, {257, 4, {s.height}}, {258, 3, std::vector<uint32_t>(s.samples, s.bits)}, {259, 3, {s.compression}},
        {262, 3, {s.photometric}}, {277, 3, {s.samples}}, {284, 3, {s.planar}},
    };
    for (const auto& [tag, values] : s.shorts) entries.push_back({tag, 3, values});
    std::vector<uint32_t> offsets = {0}, counts = {count};
    if (!s.blocks.empty()) offsets.clear(), counts.clear();
    for (const auto& [offset, bytes] : s.blocks) offsets.push_back(offset), counts.push_back(bytes);
    if (s.sampleFormat != 1) entries.push_back({339, 3, std::vector<uint32_t>(s.samples, s.sampleFormat)});
    if (tiled) {
        entries.push_back({322, 4, {s.tileWidth}});
        entries.push_back({323, 4, {s.tileHeight}});
        entries.push_back({324, 4, offsets});  // moved by the data's offset below
        entries.push_back({325, 4, counts});
    } else {
        entries.push_back({273, 4, offsets});
        entries.push_back({278, 4, {s.rowsPerStrip ? s.rowsPerStrip : s.height}});
        entries.push_back({279, 4, counts});
    }
    if (!s.colourMap.empty()) entries.push_back({320, 3, std::vector<uint32_t>(s.colourMap.begin(), s.colourMap.end())});
    std::erase_if(entries, [&](const Entry& e) { return std::count(s.without.begin(), s.without.end(), e.tag) > 0; });
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });

    // Header, the directory, the values too long for an entry, then the pixels.
    const size_t directory = 8, directoryBytes = 2 + 12 * entries.size() + 4;
    size_t extra = directory + directoryBytes;
    std::vector<size_t> places(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const size_t bytes = entries[i].values.size() * (entries[i].type == 3 ? 2 : 4);
        places[i] = bytes > 4 ? extra : 0;
        if (bytes > 4) extra += bytes;
    }
    const uint32_t data = uint32_t(extra);
    Bytes file = {'I', 'I', 42, 0};
    Put32(&file, uint32_t(directory));
    Put16(&file, uint32_t(entries.size()));
    Bytes tail;
    for (size_t i = 0; i < entries.size(); ++i) {
        Entry& e = entries[i];
        if (e.tag == 273 || e.tag == 324)
            for (uint32_t& offset : e.values) offset += data;
        Put16(&file, e.tag), Put16(&file, e.type), Put32(&file, uint32_t(e.values.size()));
        Bytes values;
        for (uint32_t v : e.values) e.type == 3 ? Put16(&values, v) : Put32(&values, v);
        if (places[i]) {
            Put32(&file, uint32_t(places[i]));
            tail.insert(tail.end(), values.begin(), values.end());
        } else {
            values.resize(4, 0);
            file.insert(file.end(), values.begin(), values.end());
        }
    }
    Put32(&file, 0);
    file.insert(file.end(), tail.begin(), tail.end());
    file.insert(file.end(), s.pixels.begin(), s.pixels.end());
    return file;
}

Bytes SampleJpeg(int32_t width, int32_t height, bool grey) {
    std::vector<uint8_t> pixels = varno::DrawSample(width, height, 3);
    if (grey)
        for (size_t i = 0; i < size_t(width) * size_t(height); ++i) pixels[i] = pixels[3 * i + 1];
    Bytes jpeg;
    varno::EncodeImage("sample.jpg", width, height, grey ? 1 : 3, pixels.data(), &jpeg);
    return jpeg;
}

size_t FindMarker(const Bytes& jpeg, uint8_t marker) {
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xff && jpeg[i + 1] == marker) return i;
    return jpeg.size();
}

std::vector<DamagedFile> DamagedFiles() {
    std::vector<DamagedFile> files;
    const std::string side = "a side may have at most 32767";

    const std::vector<Bytes> greyRows = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    const Bytes png = PngFile(4, 2, 8, 0, greyRows);
    files.push_back({"PNG wider than a side may be", "wide.png", PngFile(40000, 2, 8, 0, greyRows),
                     "the picture is 40000 x 2 pixels; " + side});
    Bytes badCrc = png;
    badCrc[FindChunk(png, "IEND") - 1] ^= 1;  // the last byte of IDAT's checksum
    files.push_back({"PNG with a wrong checksum on its pixel data", "crc.png", badCrc, "IDAT: CRC error"});
    const Bytes withText = PngFile(4, 2, 8, 0, greyRows, false, {{"tEXt", {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'h', 'i'}}});
    Bytes badText = withText;
    badText[FindChunk(withText, "IDAT") - 1] ^= 1;
    files.push_back({"PNG with a wrong checksum on a text chunk", "text.png", badText, "tEXt: CRC error"});
    files.push_back({"PNG cut inside its pixel data", "cut.png", Bytes(png.begin(), png.begin() + long(FindChunk(png, "IDAT") + 12)),
                     "the PNG file is truncated"});
    files.push_back({"PNG with a row fewer than it declares", "short.png", PngFile(4, 3, 8, 0, greyRows),
                     "Not enough image data"});
    // A damaged sample and its data's check in an IDAT of its own, every chunk checksum right:
    // libpng meets the check only after the last row.
    const size_t idat = FindChunk(png, "IDAT");
    Bytes stream(png.begin() + long(idat + 8), png.begin() + long(FindChunk(png, "IEND") - 4));
    stream[stream.size() - 5] ^= 0x10;
    Bytes adler(png.begin(), png.begin() + long(idat));
    AppendChunk(&adler, "IDAT", Bytes(stream.begin(), stream.end() - 4));
    AppendChunk(&adler, "IDAT", Bytes(stream.end() - 4, stream.end()));
    AppendChunk(&adler, "IEND", {});
    files.push_back({"PNG whose data check fails after its last row", "adler.png", adler, "IDAT: incorrect data check"});
    Bytes longText = withText;
    const size_t text = FindChunk(withText, "tEXt");
    longText[text] = 0x73, longText[text + 3] = 3;  // 1.9 GB declared in a file of a hundred bytes
    files.push_back({"PNG with a text chunk declaring 1.9 GB", "long.png", longText, "the PNG file is truncated"});
    files.push_back({"PNG without its end chunk", "noend.png", Bytes(png.begin(), png.begin() + long(FindChunk(png, "IEND"))),
                     "the PNG file is truncated"});

    const Bytes jpeg = SampleJpeg(16, 16, false);
    const size_t frame = FindMarker(jpeg, 0xc0);
    Bytes huge = jpeg;
    Set16Big(&huge, frame + 5, 40000), Set16Big(&huge, frame + 7, 40000);
    files.push_back({"JPEG declaring 40000 x 40000", "huge.jpg", huge, "the picture is 40000 x 40000 pixels; " + side});
    files.push_back({"JPEG cut in half", "cut.jpg", Bytes(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2)),
                     "damaged JPEG data: Premature end of JPEG file"});
    Bytes table = jpeg;
    for (size_t i = 0; i < 16; ++i) table[FindMarker(jpeg, 0xc4) + 5 + i] = 0xff;
    files.push_back({"JPEG with a Huffman table of too many codes", "table.jpg", table, "Bogus Huffman table definition"});
    Bytes shortCodes = jpeg;  // three codes of one bit, as many codes in all
    const size_t counts = FindMarker(jpeg, 0xc4) + 5;
    shortCodes[counts] = uint8_t(shortCodes[counts] + 3), shortCodes[counts + 2] = uint8_t(shortCodes[counts + 2] - 3);
    files.push_back({"JPEG with a Huffman table of three 1-bit codes", "codes.jpg", shortCodes, "Bogus Huffman table definition"});
    // Within what the decoder reads ahead of its codes, so that it drops them without a warning.
    Bytes stray = SampleJpeg(8, 8, false);
    stray.insert(stray.end() - 2, {0x12, 0x34, 0x56});
    files.push_back({"JPEG with 3 stray bytes before its end marker", "stray.jpg", stray,
                     "damaged JPEG data: Corrupt JPEG data: 3 extraneous bytes before marker 0xd9"});
    Bytes progressive = jpeg;
    progressive[frame + 1] = 0xc2;
    Set16Big(&progressive, frame + 5, 30000), Set16Big(&progressive, frame + 7, 30000);
    files.push_back({"progressive JPEG of a few hundred bytes declaring 30000 x 30000", "progressive.jpg", progressive,
                     "the JPEG needs more than 128 MB for its coefficients before its first row, more than a file of "
                     "this size may ask for"});

    BmpLayout bmp;
    bmp.width = 40000, bmp.height = 1, bmp.pixels.assign(120000, 7);
    files.push_back({"BMP wider than a side may be", "wide.bmp", BmpFile(bmp), "the picture is 40000 x 1 pixels; " + side});
    bmp.width = 32536, bmp.height = 4112, bmp.pixels.assign(72, 7);
    files.push_back({"BMP of 126 bytes declaring 32536 x 4112", "tiny.bmp", BmpFile(bmp),
                     "the BMP is truncated: it holds 0 of its 4112 rows"});
    bmp.width = 4, bmp.height = 8, bmp.pixels.assign(3 * 12 + 2, 7);
    files.push_back({"BMP cut inside its rows", "cut.bmp", BmpFile(bmp), "the BMP is truncated: it holds 3 of its 8 rows"});
    BmpLayout indexed;
    indexed.width = 4, indexed.height = 1, indexed.bitCount = 8, indexed.colours = 2;
    indexed.palette = {0x000000, 0xffffff}, indexed.pixels = {0, 1, 5, 0};
    files.push_back({"BMP pixel beyond its palette", "palette.bmp", BmpFile(indexed), "a BMP pixel uses colour 5 of a palette of 2"});
    indexed.colours = 3, indexed.bitCount = 1, indexed.palette = {0, 0xffffff, 0xff0000}, indexed.pixels = {0x50, 0, 0, 0};
    files.push_back({"BMP palette larger than its pixels can name", "colours.bmp", BmpFile(indexed),
                     "a BMP palette of 3 colours for 1-bit pixels"});
    BmpLayout masked;
    masked.width = 2, masked.height = 1, masked.bitCount = 16, masked.compression = 3, masked.pixels = {1, 2, 3, 4};
    masked.masks = {0xf800, 0x0fe0, 0x001f};
    files.push_back({"BMP with overlapping colour masks", "overlap.bmp", BmpFile(masked), "the BMP's colour masks overlap"});
    masked.masks = {0xf00f, 0x07e0, 0x001f};
    files.push_back({"BMP with a colour mask of two runs", "mask.bmp", BmpFile(masked),
                     "a BMP colour mask is empty, not one run of bits, or wider than the pixel"});
    BmpLayout odd;
    odd.width = 1, odd.height = 1, odd.pixels = {1, 2, 3, 0};
    odd.planes = 2;
    files.push_back({"BMP of two colour planes", "planes.bmp", BmpFile(odd), "the BMP declares 2 colour planes; it must be 1"});
    odd.planes = 1, odd.dataOffset = 20;
    files.push_back({"BMP whose pixels start inside its header", "offset.bmp", BmpFile(odd),
                     "the BMP's pixels start at byte 20, inside its header or palette"});
    odd.dataOffset = -1, odd.bitCount = 8, odd.compression = 1, odd.palette = {0, 0xffffff};
    files.push_back({"run-length BMP", "rle.bmp", BmpFile(odd), "run-length compressed BMPs are not supported"});

    TiffLayout tiff;
    tiff.width = 40000, tiff.height = 1, tiff.pixels.assign(40000, 9);
    files.push_back({"TIFF wider than a side may be", "wide.tif", TiffFile(tiff), "the picture is 40000 x 1 pixels; " + side});
    tiff.width = 16384, tiff.height = 16384, tiff.samples = 3, tiff.photometric = 2;
    tiff.tileWidth = 16384, tiff.tileHeight = 16384, tiff.pixels.assign(7000, 9);
    files.push_back({"TIFF of 7 KB with one huge tile", "tile.tif", TiffFile(tiff),
                     "the TIFF's 7000 bytes of pixel data cannot hold its 805306368 bytes of samples"});
    TiffLayout strip;
    strip.width = 30000, strip.height = 30000, strip.pixels.assign(16, 9), strip.byteCount = 900000000;
    files.push_back({"TIFF of 150 bytes declaring 30000 x 30000", "strip.tif", TiffFile(strip),
                     "the TIFF's strip 1 has no data in the file"});
    strip.width = 8, strip.height = 8, strip.pixels.assign(20, 9), strip.byteCount = 64;
    files.push_back({"TIFF cut inside its strip", "cut.tif", TiffFile(strip),
                     "the TIFF's 20 bytes of pixel data cannot hold its 64 bytes of samples"});
    TiffLayout signedGrey;
    signedGrey.width = 2, signedGrey.height = 1, signedGrey.bits = 16, signedGrey.sampleFormat = 2;
    signedGrey.pixels = {0xff, 0xff, 0, 0x80};
    files.push_back({"TIFF of signed 16-bit grey samples", "signed.tif", TiffFile(signedGrey),
                     "TIFF samples that are not unsigned integers are not supported"});
    files.push_back({"interlaced PNG of 8 KB holding part of the first pass of 32767 x 32767", "passes.png",
                     PngFile(32767, 32767, 8, 0, std::vector<Bytes>(2, Bytes(4096, 7)), true),
                     "the PNG's 8205 bytes of pixel data cannot hold its 1073737728 bytes of rows"});
    // Under 1 MB, enough data for the bound of what deflate can expand to, and a whole first pass
    // of 32767 x 32767 (which reaches the last row) and little more.
    Bytes shortPasses = PngFile(32767, 32767, 8, 0, {}, true);
    shortPasses.resize(33);
    AppendChunk(&shortPasses, "IDAT", FixedCodes(4096 * 4097, Bytes(940000, 0)));
    AppendChunk(&shortPasses, "IEND", {});
    files.push_back({"interlaced PNG of 1 MB whose data stops after the first pass of 32767 x 32767", "short.png",
                     shortPasses, "the PNG's pixel data unpacks to 17721312 of its 1073737728 bytes of rows"});
    files.push_back({"palette PNG with a pixel beyond its palette", "index.png",
                     PngFile(4, 1, 8, 3, {{0, 1, 5, 0}}, false, {{"PLTE", {0, 0, 0, 255, 255, 255}}}),
                     "a pixel uses a colour beyond the PNG's palette"});
#ifndef _WIN32
    // libjpeg-turbo's encoder makes the same bytes every time; this cut leaves the decoder short of
    // its marker (many cuts cannot be told from valid data: a JPEG's scan has no checksum).
    Bytes cut = SampleJpeg(64, 64, false);
    cut.erase(cut.begin() + 1017);
    files.push_back({"JPEG with one byte cut from its scan", "byte.jpg", cut,
                     "damaged JPEG data: Corrupt JPEG data: 61 extraneous bytes before marker 0xd9"});
#endif
    TiffLayout tiles;
    tiles.width = 64, tiles.height = 1024, tiles.tileWidth = 16, tiles.tileHeight = 1024;
    tiles.pixels.assign(16 * 1024, 5), tiles.blocks = {{0, 16 * 1024}, {0, 0}, {0, 0}, {0, 0}};
    files.push_back({"TIFF with one real tile of four", "tiles.tif", TiffFile(tiles), "the TIFF's tile 1 has no data in the file"});
    tiles.blocks = {{0, 16 * 1024}, {0, 16 * 1024}, {0, 16 * 1024}, {0, 16 * 1024}};
    files.push_back({"TIFF whose tiles are one tile four times", "same.tif", TiffFile(tiles), "two of the TIFF's tiles share their bytes"});
    TiffLayout strips;
    strips.width = 8, strips.height = 8, strips.rowsPerStrip = 2, strips.pixels.assign(40, 3);
    strips.blocks = {{0, 16}, {8, 16}, {24, 8}, {32, 8}};
    files.push_back({"TIFF with overlapping strips", "overlap.tif", TiffFile(strips), "two of the TIFF's strips share their bytes"});
    TiffLayout none;
    none.width = 8, none.height = 8, none.samples = 0, none.planar = 2, none.pixels.assign(64, 3);
    files.push_back({"planar TIFF of no samples", "none.tif", TiffFile(none),
                     "TIFF: _TIFFVSetField: Bad value 0 for \"SamplesPerPixel\" tag"});
    TiffLayout fax;
    fax.width = 8, fax.height = 20, fax.bits = 1, fax.photometric = 0, fax.compression = 4, fax.pixels = {0xff, 0xff, 0x00};
    files.push_back({"CCITT G4 TIFF that ends before its last row", "fax.tif", TiffFile(fax),
                     "TIFF: Fax4Decode: Premature EOL at line 16 of strip 0 (got 0, expected 8)"});
    // Four white rows, then a white run of the whole row and no valid black code: libtiff says so as
    // an error yet finishes the row and reports success.
    fax.height = 5, fax.pixels = {0xf3, 0x30, 0x08, 0x00};
    files.push_back({"CCITT G4 TIFF with a bad code at the end of a row", "code.tif", TiffFile(fax),
                     "TIFF: Fax4Decode: Bad code word at line 4 of strip 0 (x 8)"});
    // Deflate literals with a bit flipped (libtiff stops at the rows it wants); tags libtiff would make up.
    Bytes grey(256);
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = uint8_t(i * 7 + 3);
    TiffLayout z, t, lzw;
    z.width = 8, z.height = 4, z.compression = 8, z.pixels = FixedCodes(0, Bytes(grey.begin(), grey.begin() + 32)), z.pixels[11] ^= 8;
    files.push_back({"Deflate TIFF strip with a bit flipped", "flip.tif", TiffFile(z),
                     "the TIFF's strip 0 holds damaged Deflate data (incorrect data check)"});
    z.width = z.height = z.tileWidth = z.tileHeight = 16, z.pixels = FixedCodes(0, grey), z.pixels[27] ^= 2;
    files.push_back({"Deflate TIFF tile with a bit flipped", "fliptile.tif", TiffFile(z),
                     "the TIFF's tile 0 holds damaged Deflate data (invalid distance too far back)"});
    t.width = t.height = 4, t.compression = 8, t.pixels = Stored(Bytes(16, 10)), t.shorts = {{317, {2, 2}}};
    files.push_back({"TIFF whose Predictor has two values", "predictor.tif", TiffFile(t),
                     "TIFF: TIFFFetchNormalTag: Incorrect count for \"Predictor\"; tag ignored"});
    t.compression = 1, t.shorts = {}, t.photometric = 3, t.pixels = Bytes(16, 1);
    files.push_back({"palette TIFF without a colour map", "nomap.tif", TiffFile(t), "the palette TIFF has no colour map"});
    t.colourMap.assign(700, 0);
    files.push_back({"palette TIFF with a colour map of the wrong size", "map.tif", TiffFile(t),
                     "TIFF: TIFFReadDirectory: Incorrect count for \"ColorMap\"; tag ignored"});
    t.photometric = 1, t.colourMap = {}, t.without = {278}, t.blocks = {{8, 8}, {0, 8}}, t.pixels.assign(grey.begin(), grey.begin() + 24);
    files.push_back({"TIFF of two strips out of order and no RowsPerStrip", "order.tif", TiffFile(t),
                     "TIFF: TIFFReadDirectory: Bogus \"StripByteCounts\" field, ignoring and calculating from imagelength"});
    lzw.width = lzw.height = 32767, lzw.tileWidth = 16, lzw.tileHeight = 32768, lzw.compression = 5, lzw.pixels = LzwZeros(16 << 15);
    for (uint32_t i = 0, n = uint32_t(lzw.pixels.size()); i < 2048; ++i) lzw.blocks.push_back({i ? n + i * 200 - 200 : 0, i ? 200 : n});
    lzw.pixels.resize(lzw.pixels.size() + 2047 * 200, 0xff);
    files.push_back({"LZW TIFF of 427 KB whose one real tile of 32768 rows would size 1 GB of them", "lzw.tif", TiffFile(lzw),
                     "TIFF: Using code not yet in table"});
    return files;
}

}  // namespace hosttest

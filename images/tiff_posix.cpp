// TIFF files through libtiff, read from memory a row (or a row of tiles) at a time: grey of 1, 2,
// 4, 8 or 16 bits, palette pictures of 1 to 8 bits, RGB, CMYK and CIE Lab of 8 or 16 bits, in
// strips or tiles, interleaved or planar, and YCbCr (JPEG-compressed ones decoded straight to RGB).
//
// libtiff's errors become the reading's error, also when the call that gave one succeeds (a fax
// row with a bad code is finished as best it can). Its warnings about tags (read while the
// directory is read) are passed on as warnings, unless libtiff had to ignore, compute or guess a
// tag that decides how the pixels are read (a Predictor or ColorMap of the wrong count, strip
// sizes "calculated from imagelength"): then the pixels would be wrong, and it is an error, as is
// a palette TIFF that libtiff reads as grey for want of a colour map. Every other warning comes
// from decoding pixels and means they are wrong (a CCITT line of the wrong length, bytes discarded
// by a codec), so it is an error. Before any plane is sized, every strip or tile must lie in the
// file, no two may share bytes, their declared sizes must be able to expand to the picture, and
// Deflate data must unpack whole (see tiff_posix.h). A tile, a PackBits strip (whose runs may
// cross rows) or a strip of YCbCr pixels is decoded whole: its buffer may be no larger than the
// decoder budget, and libtiff itself may allocate no more than that at once. A row of tiles whose
// rows across the picture would take more than the budget is decoded once without keeping it
// before its rows are sized. Orientation is not applied: rows come out in the order they are
// stored, as from every other reader.
//
// Written: 8-bit grey or RGB, Deflate-compressed strips of about 64 KiB of rows each, through
// libtiff into memory (zlib as the codec, so the bytes do not depend on libtiff's build).
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "images/codecs.h"
#include "images/tiff_posix.h"

namespace varno {

namespace {

constexpr uint16_t kMaxSamplesPerPixel = 16;

struct MemoryFile {
    const uint8_t* bytes = nullptr;
    uint64_t size = 0;
    uint64_t at = 0;
    std::string error;
    bool damaged = false;  // an error or warning that means damaged data
    std::string guessed;   // the first tag warning that means the pixels would be read wrong
    DecoderNotes* notes = nullptr;
};

// The name the file is opened under, which libtiff gives as the source of some of its messages.
constexpr const char* kFileName = "TIFF";

// One line from a libtiff message: "TIFF: SOURCE: TEXT", the file's name left out where libtiff
// gives it as the source or at the start of the text, and a text that says nothing replaced.
std::string MessageLine(const char* module, const char* format, va_list arguments) {
    char text[400];
    std::vsnprintf(text, sizeof text, format, arguments);
    std::string line = "TIFF: ";
    if (module && *module && std::strcmp(module, kFileName) != 0) line += std::string(module) + ": ";
    std::string body = text;
    // Many messages start with the file's name themselves.
    if (body.rfind(std::string(kFileName) + ": ", 0) == 0) body.erase(0, std::strlen(kFileName) + 2);
    for (char& c : body) c = c == '\n' ? ' ' : c;
    while (!body.empty() && (body.back() == ' ' || body.back() == '.' || body.back() == ':')) body.pop_back();
    if (body.empty()) body = "damaged data";
    return line + body;
}

tmsize_t ReadProc(thandle_t handle, void* out, tmsize_t count) {
    MemoryFile* file = static_cast<MemoryFile*>(handle);
    if (count < 0) return -1;
    const uint64_t n = std::min<uint64_t>(uint64_t(count), file->at < file->size ? file->size - file->at : 0);
    if (n) std::memcpy(out, file->bytes + file->at, size_t(n));
    file->at += n;
    return tmsize_t(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    MemoryFile* file = static_cast<MemoryFile*>(handle);
    const uint64_t base = whence == SEEK_CUR ? file->at : whence == SEEK_END ? file->size : 0;
    if (offset > UINT64_MAX - base) return toff_t(-1);
    file->at = base + offset;
    return file->at;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return static_cast<MemoryFile*>(handle)->size; }

// The file is in memory already: libtiff may read strips straight from it.
int MapProc(thandle_t handle, void** base, toff_t* size) {
    MemoryFile* file = static_cast<MemoryFile*>(handle);
    *base = const_cast<uint8_t*>(file->bytes);
    *size = file->size;
    return 1;
}

void UnmapProc(thandle_t, void*, toff_t) {}

// Warnings given while the directory's tags are read; any other is about pixels.
bool AboutTags(const char* module) {
    if (!module) return false;
    for (const char* prefix : {"TIFFReadDirectory", "TIFFFetch", "TIFFReadCustomDirectory", "TIFFAdvanceDirectory",
                               "_TIFFVSetField", "TIFFReadDirEntry"})
        if (std::strncmp(module, prefix, std::strlen(prefix)) == 0) return true;
    return false;
}

int OnError(TIFF*, void* user, const char* module, const char* format, va_list arguments) {
    MemoryFile* file = static_cast<MemoryFile*>(user);
    if (file->error.empty()) file->error = MessageLine(module, format, arguments);
    // A codec may report an error and still finish the row and succeed (a fax row with a bad
    // code): its pixels are wrong all the same.
    if (!AboutTags(module)) file->damaged = true;
    return 1;
}

// A tag warning that says libtiff ignored, computed or guessed a tag that decides how the pixels
// are read: it names the tag in quotes ("Incorrect count for \"Predictor\"; tag ignored", "Bogus
// \"StripByteCounts\" field, ignoring and calculating from imagelength") or starts with it ("Ignoring
// ColorMap since ...", "BitsPerSample tag is missing, assuming ..."). Warnings that a tag's value
// was taken for every sample, or about other tags, leave the pixels right.
bool PixelsGuessed(const std::string& line) {
    for (const char* tag : {"ImageWidth", "ImageLength", "BitsPerSample", "Compression", "Photometric", "FillOrder",
                            "StripOffsets", "SamplesPerPixel", "RowsPerStrip", "StripByteCounts", "PlanarConfiguration",
                            "Planarconfig", "Group3Options", "Group4Options", "T4Options", "T6Options", "Predictor",
                            "ColorMap", "TileWidth", "TileLength", "TileOffsets", "TileByteCounts", "SampleFormat",
                            "InkSet", "JPEGTables", "YCbCrCoefficients", "YCbCrSubsampling", "ReferenceBlackWhite"}) {
        const std::string name = tag;
        if (line.find('"' + name + '"') != std::string::npos || line.find(": " + name + " tag ") != std::string::npos ||
            line.find(": Ignoring " + name + " ") != std::string::npos)
            return true;
    }
    return false;
}

int OnWarning(TIFF*, void* user, const char* module, const char* format, va_list arguments) {
    MemoryFile* file = static_cast<MemoryFile*>(user);
    ++file->notes->seen;
    const std::string line = MessageLine(module, format, arguments);
    if (AboutTags(module) && PixelsGuessed(line)) {
        if (file->guessed.empty()) file->guessed = line;
    } else if (AboutTags(module)) {
        file->notes->warnings.push_back(line);
    } else {
        if (file->error.empty()) file->error = line;
        file->damaged = true;
    }
    return 1;
}

struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// How the file's samples become the document's: for each sample of a pixel, the channel it feeds
// (-1: dropped) and what is done to it on the way.
enum class Transform : uint8_t { kKeep, kInvert, kSignedToCentred, kPalette };

struct Plan {
    uint32_t width = 0, height = 0;
    uint16_t bits = 8, samples = 1, planar = PLANARCONFIG_CONTIG;
    int32_t mode = 0;
    size_t channels = 0;  // of the document
    bool wide = false;    // 16-bit document
    int8_t target[kMaxSamplesPerPixel] = {};
    Transform transform[kMaxSamplesPerPixel] = {};
    std::vector<uint8_t> palette;  // 3 bytes per entry, for Transform::kPalette
};

// `count` samples of `bits` bits from a row that starts on a byte boundary, as unsigned values
// (16-bit samples arrive in host order from libtiff).
void Unpack(const uint8_t* row, size_t count, uint16_t bits, uint16_t* out) {
    if (bits == 8) {
        for (size_t i = 0; i < count; ++i) out[i] = row[i];
    } else if (bits == 16) {
        std::memcpy(out, row, count * 2);
    } else {
        const uint32_t mask = (1u << bits) - 1;
        for (size_t i = 0; i < count; ++i) {
            const size_t bit = i * bits;
            out[i] = uint16_t((row[bit / 8] >> (8 - bits - bit % 8)) & mask);
        }
    }
}

// Stores `count` pixels starting at column x0 of row y, samples firstSample.. of each, from
// `values` (perPixel values a pixel).
template <typename Sample>
void Deliver(const Plan& plan, const uint16_t* values, size_t count, size_t perPixel, size_t firstSample, size_t y,
             size_t x0, GrowingPlanes<Sample>* planes) {
    const uint32_t full = (1u << plan.bits) - 1;
    for (size_t s = 0; s < perPixel; ++s) {
        const int8_t target = plan.target[firstSample + s];
        if (target < 0) continue;
        const Transform transform = plan.transform[firstSample + s];
        if (transform == Transform::kPalette) {
            for (size_t c = 0; c < plan.channels; ++c) {
                Sample* out = planes->Row(c, y) + x0;
                for (size_t i = 0; i < count; ++i) out[i] = plan.palette[size_t(values[i * perPixel + s]) * 3 + c];
            }
            continue;
        }
        Sample* out = planes->Row(size_t(target), y) + x0;
        for (size_t i = 0; i < count; ++i) {
            uint32_t v = values[i * perPixel + s];
            if (transform == Transform::kInvert) v = full - v;
            if (transform == Transform::kSignedToCentred)
                v = plan.bits == 16 ? uint32_t(int32_t(int16_t(uint16_t(v))) + 32768) : uint32_t(int32_t(int8_t(uint8_t(v))) + 128);
            if (plan.bits < 8) v = (v * 255 + full / 2) / full;
            out[i] = Sample(v);
        }
    }
}

// Strips row by row, or whole when the codec's runs may cross rows (PackBits: reading one row
// at a time would lose the rest of a run that goes on into the next row).
template <typename Sample>
std::string ReadStrips(TIFF* tiff, MemoryFile* file, const Plan& plan, bool wholeStrips, size_t budget,
                       GrowingPlanes<Sample>* planes) {
    const bool separate = plan.planar == PLANARCONFIG_SEPARATE;
    const size_t perPixel = separate ? 1 : plan.samples;
    const size_t lineBytes = size_t(TIFFScanlineSize64(tiff));
    if (lineBytes * 8 < size_t(plan.width) * perPixel * plan.bits) return "bad TIFF scanline size";
    uint32_t rowsPerStrip = plan.height;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::max<uint32_t>(1, std::min(rowsPerStrip, plan.height));
    if (wholeStrips && uint64_t(lineBytes) * rowsPerStrip > budget)
        return "a TIFF strip of " + std::to_string((uint64_t(lineBytes) * rowsPerStrip) >> 20) +
               " MB is larger than a file of this size may ask for";
    std::vector<uint8_t> buffer(wholeStrips ? lineBytes * rowsPerStrip : lineBytes);
    std::vector<uint16_t> values(size_t(plan.width) * perPixel);
    const uint32_t stripsPerPlane = (plan.height + rowsPerStrip - 1) / rowsPerStrip;
    for (size_t sample = 0; sample < (separate ? plan.samples : 1); ++sample) {
        if (plan.target[sample] < 0 && separate) continue;
        for (uint32_t y = 0; y < plan.height; ++y) {
            const uint8_t* line = buffer.data();
            if (wholeStrips) {
                const uint32_t row = y % rowsPerStrip;
                const uint32_t rows = std::min(rowsPerStrip, plan.height - (y - row));
                if (row == 0) {
                    const uint32_t strip = uint32_t(sample) * stripsPerPlane + y / rowsPerStrip;
                    const tmsize_t got = TIFFReadEncodedStrip(tiff, strip, buffer.data(), tmsize_t(lineBytes * rows));
                    if (got != tmsize_t(lineBytes * rows) || file->damaged)
                        return file->error.empty() ? "cannot read TIFF strip " + std::to_string(strip) : file->error;
                }
                line = buffer.data() + size_t(row) * lineBytes;
            } else if (TIFFReadScanline(tiff, buffer.data(), y, uint16_t(sample)) < 0 || file->damaged) {
                return file->error.empty() ? "cannot read TIFF row " + std::to_string(y) : file->error;
            }
            Unpack(line, values.size(), plan.bits, values.data());
            Deliver(plan, values.data(), plan.width, perPixel, sample, y, 0, planes);
        }
    }
    return {};
}

// The first tile of a row of tiles sizes its rows across the whole picture. When those rows would
// take more than the budget, the row's tiles are first decoded once without keeping them, so that
// memory follows data that decodes (not a file of one real tile and garbage after it).
bool ProveFirst(uint64_t width, uint64_t rows, uint64_t bytesPerPixel, size_t budget) {
    return width * rows * bytesPerPixel > budget;
}

template <typename Sample>
std::string ReadTiles(TIFF* tiff, MemoryFile* file, const Plan& plan, size_t budget, GrowingPlanes<Sample>* planes) {
    uint32_t tileWidth = 0, tileHeight = 0;
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    const uint64_t tileBytes = TIFFTileSize64(tiff);
    if (tileWidth == 0 || tileHeight == 0 || tileBytes == 0) return "bad TIFF tile size";
    if (tileBytes > budget) return "a TIFF tile of " + std::to_string(tileBytes >> 20) + " MB is larger than a file of this size may ask for";
    const bool separate = plan.planar == PLANARCONFIG_SEPARATE;
    const size_t perPixel = separate ? 1 : plan.samples;
    const size_t rowBytes = (size_t(tileWidth) * perPixel * plan.bits + 7) / 8;
    if (rowBytes * tileHeight > tileBytes) return "bad TIFF tile size";
    std::vector<uint8_t> tile(tileBytes);
    std::vector<uint16_t> values(size_t(tileWidth) * perPixel);
    for (size_t sample = 0; sample < (separate ? plan.samples : 1); ++sample) {
        if (plan.target[sample] < 0 && separate) continue;
        for (uint32_t y = 0; y < plan.height; y += tileHeight) {
            const uint64_t rows = std::min(tileHeight, plan.height - y);
            for (int pass = ProveFirst(plan.width, rows, plan.channels * sizeof(Sample), budget) ? 0 : 1; pass < 2; ++pass)
                for (uint32_t x = 0; x < plan.width; x += tileWidth) {
                    if (TIFFReadTile(tiff, tile.data(), x, y, 0, uint16_t(sample)) < 0 || file->damaged)
                        return file->error.empty() ? "cannot read a TIFF tile" : file->error;
                    if (pass == 0) continue;
                    const size_t columns = std::min<size_t>(tileWidth, plan.width - x);
                    for (uint32_t r = 0; r < rows; ++r) {
                        Unpack(tile.data() + r * rowBytes, columns * perPixel, plan.bits, values.data());
                        Deliver(plan, values.data(), columns, perPixel, sample, y + r, x, planes);
                    }
                }
        }
    }
    return {};
}

// YCbCr pictures other than JPEG-compressed ones, through libtiff's RGBA conversion one strip or
// tile at a time (which hands each strip or tile over bottom row first).
std::string ReadYCbCr(TIFF* tiff, MemoryFile* file, const Plan& plan, size_t budget, GrowingPlanes<uint8_t>* planes) {
    const bool tiled = TIFFIsTiled(tiff);
    uint32_t blockWidth = plan.width, blockHeight = 0;
    if (tiled) {
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &blockWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &blockHeight);
    } else {
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &blockHeight);
        blockHeight = std::min(blockHeight, plan.height);
    }
    if (blockWidth == 0 || blockHeight == 0) return "bad TIFF strip or tile size";
    if (uint64_t(blockWidth) * blockHeight * 4 > budget) return "a TIFF strip or tile is larger than a file of this size may ask for";
    // The RGBA reading would turn each strip or tile by itself by the file's orientation; rows are
    // taken as stored, as on every other path.
    TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    std::vector<uint32_t> raster(size_t(blockWidth) * blockHeight);
    for (uint32_t y = 0; y < plan.height; y += blockHeight) {
        const uint32_t rows = std::min(blockHeight, plan.height - y);
        for (int pass = tiled && ProveFirst(plan.width, rows, 3, budget) ? 0 : 1; pass < 2; ++pass)
            for (uint32_t x = 0; x < plan.width; x += (tiled ? blockWidth : plan.width)) {
                const int ok = tiled ? TIFFReadRGBATileExt(tiff, x, y, raster.data(), 1) : TIFFReadRGBAStripExt(tiff, y, raster.data(), 1);
                if (!ok || file->damaged) return file->error.empty() ? "cannot decode the TIFF's YCbCr pixels" : file->error;
                if (pass == 0) continue;
                const uint32_t columns = std::min(blockWidth, plan.width - x);
                // A tile comes as a whole tile, bottom row first; a strip as only the rows it has.
                const uint32_t stored = tiled ? blockHeight : rows;
                for (uint32_t r = 0; r < rows; ++r) {
                    const uint32_t* in = raster.data() + size_t(stored - 1 - r) * blockWidth;
                    uint8_t* red = planes->Row(0, y + r) + x;
                    uint8_t* green = planes->Row(1, y + r) + x;
                    uint8_t* blue = planes->Row(2, y + r) + x;
                    for (uint32_t c = 0; c < columns; ++c)
                        red[c] = uint8_t(TIFFGetR(in[c])), green[c] = uint8_t(TIFFGetG(in[c])), blue[c] = uint8_t(TIFFGetB(in[c]));
                }
            }
    }
    return {};
}

// The plan for the file's photometric interpretation; empty on success, else why it cannot be read.
std::string MakePlan(TIFF* tiff, uint16_t photometric, Plan* plan) {
    uint16_t format = SAMPLEFORMAT_UINT, inkSet = INKSET_CMYK;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_INKSET, &inkSet);
    if (format == SAMPLEFORMAT_IEEEFP) return "floating-point TIFF samples are not supported";
    // Signed samples would be read as the wrong values (Lab's a and b are signed by definition).
    const bool lab = photometric == PHOTOMETRIC_CIELAB || photometric == PHOTOMETRIC_ICCLAB;
    if (format != SAMPLEFORMAT_UINT && format != SAMPLEFORMAT_VOID && !lab)
        return "TIFF samples that are not unsigned integers are not supported";
    const uint16_t bits = plan->bits;
    const bool small = bits == 1 || bits == 2 || bits == 4;
    if (!small && bits != 8 && bits != 16) return std::to_string(bits) + "-bit TIFF samples are not supported (1, 2, 4, 8 or 16 bits)";
    plan->wide = bits == 16;
    for (int8_t& t : plan->target) t = -1;

    size_t colours = 0;
    switch (photometric) {
        case PHOTOMETRIC_MINISBLACK: case PHOTOMETRIC_MINISWHITE:
            plan->mode = plan->wide ? 10 : 1, colours = 1;
            if (photometric == PHOTOMETRIC_MINISWHITE) plan->transform[0] = Transform::kInvert;  // the host's grey is white-is-full
            break;
        case PHOTOMETRIC_RGB:
            plan->mode = plan->wide ? 11 : 3, colours = 3;
            break;
        case PHOTOMETRIC_SEPARATED:
            if (inkSet != INKSET_CMYK) return "only CMYK separations are supported";
            plan->mode = plan->wide ? 13 : 4, colours = 4;
            for (size_t c = 0; c < 4; ++c) plan->transform[c] = Transform::kInvert;  // the host's inks are 255-is-none
            break;
        case PHOTOMETRIC_CIELAB: case PHOTOMETRIC_ICCLAB:
            plan->mode = plan->wide ? 12 : 9, colours = 3;
            if (photometric == PHOTOMETRIC_CIELAB) plan->transform[1] = plan->transform[2] = Transform::kSignedToCentred;
            break;
        case PHOTOMETRIC_PALETTE: {
            if (plan->wide) return "16-bit palette TIFFs are not supported";
            uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
            if (!TIFFGetField(tiff, TIFFTAG_COLORMAP, &red, &green, &blue)) return "the palette TIFF has no colour map";
            const size_t entries = size_t(1) << bits;
            // Colour map entries are 16-bit; their high byte is the colour (as libtiff's own RGBA
            // reading takes it). Some writers store 8-bit values there; those are taken as they are.
            bool eightBit = true;
            for (size_t i = 0; i < entries; ++i) eightBit = eightBit && red[i] < 256 && green[i] < 256 && blue[i] < 256;
            bool grey = true;
            plan->palette.resize(entries * 3);
            for (size_t i = 0; i < entries; ++i) {
                const uint16_t rgb[3] = {red[i], green[i], blue[i]};
                for (size_t c = 0; c < 3; ++c) plan->palette[i * 3 + c] = uint8_t(eightBit ? rgb[c] : rgb[c] >> 8);
                grey = grey && plan->palette[i * 3] == plan->palette[i * 3 + 1] && plan->palette[i * 3 + 1] == plan->palette[i * 3 + 2];
            }
            plan->mode = grey ? 1 : 3;
            plan->channels = grey ? 1 : 3;
            plan->target[0] = 0;
            plan->transform[0] = Transform::kPalette;
            if (plan->samples < 1) return "the TIFF has no samples";
            return {};
        }
        default:
            return "TIFF photometric interpretation " + std::to_string(photometric) + " is not supported";
    }
    if (small && colours != 1) return "TIFF colour samples of fewer than 8 bits are not supported";
    if (plan->samples < colours) return "the TIFF has fewer samples per pixel than its colours need";
    plan->channels = colours;
    for (size_t c = 0; c < colours; ++c) plan->target[c] = int8_t(c);
    return {};
}

std::string Read(TIFF* tiff, MemoryFile* file, const ReadLimits& limits, size_t budget, Document* document) {
    Plan plan;
    uint16_t photometric = 0, compression = COMPRESSION_NONE;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &plan.width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &plan.height) ||
        !TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric))
        return "the TIFF lacks its size or photometric interpretation";
    if (std::string error = CheckPictureSize(plan.width, plan.height, limits); !error.empty()) return error;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &plan.samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &plan.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &plan.planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    if (plan.samples < 1 || plan.samples > kMaxSamplesPerPixel)
        return "the TIFF has " + std::to_string(plan.samples) + " samples per pixel; varno reads at most 16";
    if (plan.planar != PLANARCONFIG_CONTIG) plan.planar = PLANARCONFIG_SEPARATE;
    if (file->damaged) return file->error;
    if (std::string error = CheckTiffBlocks(tiff, plan.height, plan.samples, plan.planar == PLANARCONFIG_SEPARATE, compression,
                                            file->bytes, file->size);
        !error.empty())
        return error;
    if (!file->guessed.empty()) return file->guessed;
    if (photometric != PHOTOMETRIC_PALETTE && StoredTiffTag(file->bytes, file->size, TIFFTAG_PHOTOMETRIC, 0) == PHOTOMETRIC_PALETTE)
        return "the palette TIFF has no colour map";
    // libtiff hands a strip or tile read whole to libdeflate, which leaves the rows wrong when the
    // data holds more than they (a last strip filled up to RowsPerStrip); zlib stops at the rows.
    if (compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE)
        TIFFSetField(tiff, TIFFTAG_DEFLATE_SUBCODEC, DEFLATE_SUBCODEC_ZLIB);

    if (photometric == PHOTOMETRIC_YCBCR) {
        if (plan.bits != 8 || plan.samples < 3) return "YCbCr TIFFs must have three 8-bit samples";
        if (compression == COMPRESSION_JPEG) {
            // The JPEG decoder turns YCbCr into RGB itself.
            TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
            photometric = PHOTOMETRIC_RGB;
        } else {
            GrowingPlanes<uint8_t> planes(3, plan.width, plan.height);
            if (std::string error = ReadYCbCr(tiff, file, plan, budget, &planes); !error.empty()) return error;
            return FinishDocument(3, &planes, document);
        }
    }
    if (std::string error = MakePlan(tiff, photometric, &plan); !error.empty()) return error;
    const bool tiled = TIFFIsTiled(tiff);
    const bool whole = compression == COMPRESSION_PACKBITS;
    if (plan.wide) {
        GrowingPlanes<uint16_t> planes(plan.channels, plan.width, plan.height);
        std::string error = tiled ? ReadTiles(tiff, file, plan, budget, &planes) : ReadStrips(tiff, file, plan, whole, budget, &planes);
        return error.empty() ? FinishDocument(plan.mode, &planes, document) : error;
    }
    GrowingPlanes<uint8_t> planes(plan.channels, plan.width, plan.height);
    std::string error = tiled ? ReadTiles(tiff, file, plan, budget, &planes) : ReadStrips(tiff, file, plan, whole, budget, &planes);
    return error.empty() ? FinishDocument(plan.mode, &planes, document) : error;
}

}  // namespace

std::string DecodeTiff(const uint8_t* bytes, size_t size, const ReadLimits& limits, Document* document) {
    // Errors reach this reading through the handlers of its own options; the process-wide ones,
    // which would print, are silenced once (several files are read at once under -j).
    static std::once_flag silenced;
    std::call_once(silenced, [] {
        TIFFSetErrorHandler(nullptr);
        TIFFSetWarningHandler(nullptr);
    });
    MemoryFile file;
    file.bytes = bytes;
    file.size = size;
    DecoderNotes notes;
    file.notes = limits.notes ? limits.notes : &notes;
    const size_t budget = DecoderBudget(size, limits);
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    if (!options) return "out of memory";
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(budget));
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnError, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnWarning, &file);
    std::unique_ptr<TIFF, TiffClose> tiff(TIFFClientOpenExt(kFileName, "r", &file, ReadProc, WriteProc, SeekProc, CloseProc,
                                                            SizeProc, MapProc, UnmapProc, options.get()));
    if (!tiff) return file.error.empty() ? "not a TIFF file varno can open" : file.error;
    try {
        return Read(tiff.get(), &file, limits, budget, document);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
}

namespace {

// The file a TIFF is written to: bytes in memory that libtiff extends and patches in place.
struct GrowingFile {
    std::vector<uint8_t>* bytes = nullptr;
    uint64_t at = 0;
    std::string error;
};

tmsize_t WriteGrowing(thandle_t handle, void* data, tmsize_t count) {
    GrowingFile* file = static_cast<GrowingFile*>(handle);
    if (count < 0 || file->at > SIZE_MAX - uint64_t(count)) return -1;
    const size_t end = size_t(file->at) + size_t(count);
    try {
        if (file->bytes->size() < end) file->bytes->resize(end);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    if (count) std::memcpy(file->bytes->data() + file->at, data, size_t(count));
    file->at = end;
    return count;
}

tmsize_t ReadGrowing(thandle_t handle, void* out, tmsize_t count) {
    GrowingFile* file = static_cast<GrowingFile*>(handle);
    const uint64_t size = file->bytes->size();
    const uint64_t n = count < 0 ? 0 : std::min<uint64_t>(uint64_t(count), file->at < size ? size - file->at : 0);
    if (n) std::memcpy(out, file->bytes->data() + file->at, size_t(n));
    file->at += n;
    return tmsize_t(n);
}

toff_t SeekGrowing(thandle_t handle, toff_t offset, int whence) {
    GrowingFile* file = static_cast<GrowingFile*>(handle);
    const uint64_t base = whence == SEEK_CUR ? file->at : whence == SEEK_END ? file->bytes->size() : 0;
    if (offset > UINT64_MAX - base) return toff_t(-1);
    file->at = base + offset;
    return file->at;
}

toff_t SizeGrowing(thandle_t handle) { return static_cast<GrowingFile*>(handle)->bytes->size(); }
int NoMap(thandle_t, void**, toff_t*) { return 0; }

int OnWriteMessage(TIFF*, void* user, const char* module, const char* format, va_list arguments) {
    GrowingFile* file = static_cast<GrowingFile*>(user);
    if (file->error.empty()) file->error = MessageLine(module, format, arguments);
    return 1;
}

bool WriteTiffRows(TIFF* tiff, int32_t width, int32_t height, int32_t channels, const uint8_t* pixels) {
    const size_t rowBytes = size_t(width) * size_t(channels);
    const uint32_t rowsPerStrip = uint32_t(std::max<size_t>(1, std::min<size_t>(size_t(height), 65536 / rowBytes)));
    if (!TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(width)) || !TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(height)) ||
        !TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8)) ||
        !TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(channels)) ||
        !TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(channels == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB)) ||
        !TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG)) ||
        !TIFFSetField(tiff, TIFFTAG_COMPRESSION, uint16_t(COMPRESSION_ADOBE_DEFLATE)) ||
        !TIFFSetField(tiff, TIFFTAG_DEFLATE_SUBCODEC, DEFLATE_SUBCODEC_ZLIB) ||
        !TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip))
        return false;
    for (uint32_t strip = 0, row = 0; row < uint32_t(height); ++strip, row += rowsPerStrip) {
        const size_t rows = std::min<size_t>(rowsPerStrip, size_t(height) - row);
        if (TIFFWriteEncodedStrip(tiff, strip, const_cast<uint8_t*>(pixels + row * rowBytes), tmsize_t(rows * rowBytes)) < 0)
            return false;
    }
    return TIFFWriteDirectory(tiff) != 0;
}

}  // namespace

std::string EncodeTiff(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels, std::vector<uint8_t>* out) {
    std::vector<uint8_t> bytes;
    GrowingFile file;
    file.bytes = &bytes;
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> options(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    if (!options) return "out of memory";
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnWriteMessage, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnWriteMessage, &file);
    // "m": nothing is mapped; the file is written from its start.
    TIFF* tiff = TIFFClientOpenExt(kFileName, "wm", &file, ReadGrowing, WriteGrowing, SeekGrowing, CloseProc, SizeGrowing,
                                   NoMap, UnmapProc, options.get());
    if (!tiff) return "the TIFF could not be encoded: " + (file.error.empty() ? std::string("out of memory") : file.error);
    const bool written = WriteTiffRows(tiff, width, height, channels, pixels);
    TIFFClose(tiff);  // writes what is still pending
    if (!written || !file.error.empty())
        return "the TIFF could not be encoded: " + (file.error.empty() ? std::string("out of memory") : file.error);
    out->insert(out->end(), bytes.begin(), bytes.end());
    return {};
}

}  // namespace varno

// PNG files through libpng: read row by row (interlaced pictures pass by pass), written at a fast
// compression level unless the smaller file is asked for.
//
// Every chunk's checksum is checked and a wrong one is an error, ancillary chunks included; so is
// a file that ends before its last row or its end chunk, pixel data whose own check does not match
// (also when it is met after the last row), and a pixel naming a colour beyond the palette. libpng's warnings (odd but harmless chunks) are passed on as warnings. libpng reports errors by a long jump back to the function that set
// it up, so the functions that set one up keep every object with a destructor in their callers.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>

#include "images/codecs.h"

namespace varno {

namespace {

struct PngSource {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    size_t at = 0;
    std::string error;
    DecoderNotes* notes = nullptr;
    bool rows = false;  // the rows are being read
};

void OnError(png_structp png, png_const_charp message) {
    static_cast<PngSource*>(png_get_error_ptr(png))->error.assign(message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp png, png_const_charp message) {
    // The rows of each pass are read as they are stored, which is what this remark is about.
    if (std::strstr(message, "Interlace handling should be turned on")) return;
    PngSource* source = static_cast<PngSource*>(png_get_error_ptr(png));
    if (!source || !source->notes) return;  // the encoder's
    // After the last row libpng reads the pixel data to its end and only warns about what it finds
    // there. Data beyond the picture's rows leaves them right; any other fault (a data check that
    // does not match, a broken stream) means the rows may be wrong, as it does before the last row.
    if (source->rows && !std::strstr(message, "Extra compressed data") && !std::strstr(message, "Too much image data"))
        png_error(png, message);
    ++source->notes->seen;
    source->notes->warnings.push_back(std::string("PNG: ") + message);
}

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
    PngSource* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->at) png_error(png, "the PNG file is truncated");
    std::memcpy(out, source->bytes + source->at, count);
    source->at += count;
}

// What the reading needs beyond libpng's own state; owned by DecodePng.
struct PngDecoding {
    std::vector<uint8_t> row;
    std::vector<uint8_t> palette, expanded;  // palette pictures: 3 bytes an entry, and a row of colours
    GrowingPlanes<uint8_t> narrow{0, 0, 0};
    GrowingPlanes<uint16_t> wide{0, 0, 0};
    int32_t mode = 0;
};

template <typename Sample>
void StoreRow(const uint8_t* row, size_t columns, size_t channels, size_t x0, size_t dx, size_t y,
              GrowingPlanes<Sample>* planes) {
    const size_t kept = planes->planes.size();
    for (size_t c = 0; c < kept; ++c) {
        Sample* out = planes->Row(c, y);
        for (size_t i = 0; i < columns; ++i) {
            const size_t at = i * channels + c;
            if constexpr (sizeof(Sample) == 2)
                out[x0 + i * dx] = uint16_t(row[2 * at] << 8 | row[2 * at + 1]);  // PNG stores big-endian
            else
                out[x0 + i * dx] = row[at];
        }
    }
}

// The header and the chunks before the pixels; an error jumps back here and is returned from
// `source->error`.
bool ReadPngHeader(png_structp png, png_infop info, PngSource* source) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);  // the sides are checked by the caller
    // No text or profile needs more than a megabyte unpacked (or the file's size).
    png_set_chunk_malloc_max(png, std::max<size_t>(source->size, size_t(1) << 20));
    png_set_crc_action(png, PNG_CRC_ERROR_QUIT, PNG_CRC_ERROR_QUIT);
    png_set_read_fn(png, source, ReadFromMemory);
    png_read_info(png, info);
    return true;
}

// The pixels, row by row.
bool RunPngDecoder(png_structp png, png_infop info, PngDecoding* d) {
    if (setjmp(png_jmpbuf(png))) return false;
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    const int colourType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    bool grey = (colourType & PNG_COLOR_MASK_COLOR) == 0;
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &palette, &count) != PNG_INFO_PLTE) png_error(png, "the PNG has no palette");
        grey = true;
        for (int i = 0; i < count; ++i) {
            grey = grey && palette[i].red == palette[i].green && palette[i].green == palette[i].blue;
            d->palette.insert(d->palette.end(), {palette[i].red, palette[i].green, palette[i].blue});
        }
        // Indices are looked up here rather than by libpng, which only warns about an index
        // beyond the palette and paints it black.
        if (depth < 8) png_set_packing(png);
    } else if (grey && depth < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    png_read_update_info(png, info);
    const size_t channels = png_get_channels(png, info);
    const bool sixteen = png_get_bit_depth(png, info) == 16;
    d->row.resize(png_get_rowbytes(png, info));
    const size_t kept = grey ? 1 : 3;
    const bool indexed = !d->palette.empty();
    if (channels < (indexed ? 1 : kept)) png_error(png, "unexpected PNG sample layout");
    if (indexed) d->expanded.resize(size_t(width) * 3);
    d->mode = sixteen ? (grey ? 10 : 11) : (grey ? 1 : 3);
    if (sixteen) d->wide = GrowingPlanes<uint16_t>(kept, width, height);
    else d->narrow = GrowingPlanes<uint8_t>(kept, width, height);

    const bool interlaced = png_get_interlace_type(png, info) == PNG_INTERLACE_ADAM7;
    static_cast<PngSource*>(png_get_error_ptr(png))->rows = true;
    for (int pass = 0; pass < (interlaced ? 7 : 1); ++pass) {
        const png_uint_32 columns = interlaced ? PNG_PASS_COLS(width, pass) : width;
        const png_uint_32 rows = interlaced ? PNG_PASS_ROWS(height, pass) : height;
        if (columns == 0 || rows == 0) continue;  // libpng skips empty passes too
        const size_t x0 = interlaced ? PNG_PASS_START_COL(pass) : 0, dx = interlaced ? PNG_PASS_COL_OFFSET(pass) : 1;
        const size_t y0 = interlaced ? PNG_PASS_START_ROW(pass) : 0, dy = interlaced ? PNG_PASS_ROW_OFFSET(pass) : 1;
        for (png_uint_32 r = 0; r < rows; ++r) {
            png_read_row(png, d->row.data(), nullptr);
            if (indexed) {
                const size_t entries = d->palette.size() / 3;
                for (size_t i = 0; i < columns; ++i) {
                    const size_t index = d->row[i];
                    if (index >= entries) png_error(png, "a pixel uses a colour beyond the PNG's palette");
                    std::memcpy(&d->expanded[3 * i], &d->palette[3 * index], 3);
                }
                StoreRow(d->expanded.data(), columns, 3, x0, dx, y0 + r * dy, &d->narrow);
            } else if (sixteen) StoreRow(d->row.data(), columns, channels, x0, dx, y0 + r * dy, &d->wide);
            else StoreRow(d->row.data(), columns, channels, x0, dx, y0 + r * dy, &d->narrow);
        }
    }
    static_cast<PngSource*>(png_get_error_ptr(png))->rows = false;
    png_read_end(png, nullptr);
    return true;
}

// An interlaced picture's first pass reaches its last row, so the planes would take the whole
// picture's size before data that stops short is found out: such a file is refused before any row
// is kept. Rows stored in order are kept only as they arrive and need no such check.
std::string CheckInterlacedDataFillsPicture(const uint8_t* bytes, size_t size) {
    if (bytes[28] != 1) return {};  // the header's interlace method (the outline check found the header)
    const uint64_t raw = PngRawBytes(png_get_uint_32(bytes + 16), png_get_uint_32(bytes + 20), bytes[24], bytes[25], true);
    const uint64_t unpacked = UnpackPngData(bytes, size, raw).bytes;
    if (unpacked >= raw) return {};
    return "the PNG's pixel data unpacks to " + std::to_string(unpacked) + " of its " + std::to_string(raw) +
           " bytes of rows";
}

void AppendToVector(png_structp png, png_bytep data, size_t count) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + count);
}

void Flush(png_structp) {}

bool RunPngEncoder(png_structp png, png_infop info, int32_t width, int32_t height, int32_t channels,
                   const uint8_t* pixels, bool smaller) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (smaller) {
        // zlib's own default level with every filter tried row by row: a few percent smaller, about
        // seven times slower. The highest level gains little more for several times that again.
        png_set_compression_level(png, Z_DEFAULT_COMPRESSION);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    } else {
        // The fastest level, and one cheap filter: differences with the left neighbour, which
        // turns flat runs into zeros for the run-length matcher.
        png_set_compression_level(png, Z_BEST_SPEED);
        png_set_compression_strategy(png, Z_RLE);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    }
    png_write_info(png, info);
    const size_t stride = size_t(width) * size_t(channels);
    for (int32_t y = 0; y < height; ++y) png_write_row(png, pixels + size_t(y) * stride);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

std::string DecodePng(const uint8_t* bytes, size_t size, const ReadLimits& limits, Document* document) {
    if (std::string error = CheckPngOutline(bytes, size, limits, false); !error.empty()) return error;
    if (std::string error = CheckInterlacedDataFillsPicture(bytes, size); !error.empty()) return error;
    PngSource source;
    source.bytes = bytes;
    source.size = size;
    DecoderNotes notes;
    source.notes = limits.notes ? limits.notes : &notes;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return "out of memory";
    }
    PngDecoding decoding;
    bool decoded = ReadPngHeader(png, info, &source);
    if (decoded) {
        source.error = CheckPictureSize(png_get_image_width(png, info), png_get_image_height(png, info), limits);
        try {
            decoded = source.error.empty() && RunPngDecoder(png, info, &decoding);
        } catch (const std::bad_alloc&) {
            source.error = "out of memory", decoded = false;
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!decoded) return source.error;
    if (decoding.mode >= 10) return FinishDocument(decoding.mode, &decoding.wide, document);
    return FinishDocument(decoding.mode, &decoding.narrow, document);
}

std::string EncodePng(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels, bool smaller,
                      std::vector<uint8_t>* out) {
    PngSource errors;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return "out of memory";
    }
    png_set_write_fn(png, out, AppendToVector, Flush);
    // Room for the picture unpacked: pages are only used as the encoder fills them, and the output
    // is never copied to a larger block on the way.
    out->reserve(out->size() + (size_t(width) * size_t(channels) + 1) * size_t(height) + 1024);
    AdviseLargeBlock(out->data(), out->capacity());
    const bool encoded = RunPngEncoder(png, info, width, height, channels, pixels, smaller);
    png_destroy_write_struct(&png, &info);
    return encoded ? std::string() : "the PNG could not be encoded: " + errors.error;
}

}  // namespace varno

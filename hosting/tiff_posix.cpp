// TIFF documents through libtiff: grey, RGB, CMYK, CIE Lab, palette and 1-bit images, 8- and
// 16-bit samples, in strips or tiles, interleaved or planar.
#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

#include "hosting/images.h"

namespace varno {

namespace {

// libtiff reports errors on the thread that reads, and varno reads several files at once.
thread_local std::string lastTiffError;

void KeepError(const char*, const char* format, va_list arguments) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    lastTiffError = text;
}

struct TiffClose {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t samples = 1, bits = 8, planar = PLANARCONFIG_CONTIG;
};

// Every sample of the image, interleaved (`samples` per pixel), as unsigned values of `bits`
// bits (8 or 16).
std::string ReadSamples(TIFF* tiff, const Layout& layout, std::vector<uint16_t>* raw) {
    const size_t spp = layout.samples;
    const size_t bytes = layout.bits / 8;
    raw->assign(size_t(layout.width) * layout.height * spp, 0);
    const bool separate = layout.planar == PLANARCONFIG_SEPARATE && spp > 1;
    const size_t planes = separate ? spp : 1;
    const size_t perPixel = separate ? 1 : spp;
    auto store = [&](const uint8_t* source, uint32_t row, uint32_t column, size_t plane) {
        for (size_t s = 0; s < perPixel; ++s) {
            const uint8_t* at = source + s * bytes;
            uint16_t value;
            if (bytes == 2) std::memcpy(&value, at, 2);  // libtiff hands 16-bit samples in host order
            else value = *at;
            (*raw)[(size_t(row) * layout.width + column) * spp + plane + s] = value;
        }
    };

    if (TIFFIsTiled(tiff)) {
        uint32_t tileWidth = 0, tileHeight = 0;
        TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
        if (tileWidth == 0 || tileHeight == 0) return "bad TIFF tile size";
        std::vector<uint8_t> tile(size_t(TIFFTileSize(tiff)));
        const size_t stride = size_t(tileWidth) * perPixel * bytes;
        if (tile.size() < stride * tileHeight) return "bad TIFF tile size";
        for (size_t plane = 0; plane < planes; ++plane)
            for (uint32_t y = 0; y < layout.height; y += tileHeight)
                for (uint32_t x = 0; x < layout.width; x += tileWidth) {
                    if (TIFFReadTile(tiff, tile.data(), x, y, 0, uint16_t(plane)) < 0) return "cannot read a TIFF tile";
                    for (uint32_t r = 0; r < tileHeight && y + r < layout.height; ++r)
                        for (uint32_t c = 0; c < tileWidth && x + c < layout.width; ++c)
                            store(tile.data() + r * stride + c * perPixel * bytes, y + r, x + c, plane);
                }
        return {};
    }
    std::vector<uint8_t> line(size_t(TIFFScanlineSize(tiff)));
    if (line.size() < size_t(layout.width) * perPixel * bytes) return "bad TIFF scanline size";
    for (size_t plane = 0; plane < planes; ++plane)
        for (uint32_t row = 0; row < layout.height; ++row) {
            if (TIFFReadScanline(tiff, line.data(), row, uint16_t(plane)) < 0) return "cannot read TIFF row " + std::to_string(row);
            for (uint32_t column = 0; column < layout.width; ++column)
                store(line.data() + size_t(column) * perPixel * bytes, row, column, plane);
        }
    return {};
}

std::string ReadBitmap(TIFF* tiff, const Layout& layout, bool whiteIsZero, Document* document) {
    std::vector<uint8_t> line(size_t(TIFFScanlineSize(tiff)));
    if (line.size() * 8 < layout.width) return "bad TIFF scanline size";
    std::vector<uint16_t> plane(size_t(layout.width) * layout.height);
    for (uint32_t row = 0; row < layout.height; ++row) {
        if (TIFFReadScanline(tiff, line.data(), row, 0) < 0) return "cannot read TIFF row " + std::to_string(row);
        for (uint32_t column = 0; column < layout.width; ++column) {
            const bool set = (line[column / 8] >> (7 - column % 8)) & 1;
            plane[size_t(row) * layout.width + column] = set != whiteIsZero ? 255 : 0;
        }
    }
    std::string error;
    if (!MakeDocument(0, int32_t(layout.width), int32_t(layout.height), {std::move(plane)}, document, &error)) return error;
    return {};
}

std::string ReadYCbCr(TIFF* tiff, const Layout& layout, Document* document) {
    const size_t pixels = size_t(layout.width) * layout.height;
    std::vector<uint32_t> raster(pixels);
    if (!TIFFReadRGBAImageOriented(tiff, layout.width, layout.height, raster.data(), ORIENTATION_TOPLEFT, 0))
        return "cannot decode the TIFF's YCbCr pixels";
    std::vector<std::vector<uint16_t>> planes(3, std::vector<uint16_t>(pixels));
    for (size_t i = 0; i < pixels; ++i) {
        planes[0][i] = uint16_t(TIFFGetR(raster[i]));
        planes[1][i] = uint16_t(TIFFGetG(raster[i]));
        planes[2][i] = uint16_t(TIFFGetB(raster[i]));
    }
    std::string error;
    if (!MakeDocument(3, int32_t(layout.width), int32_t(layout.height), std::move(planes), document, &error)) return error;
    return {};
}

}  // namespace

std::string ReadTiffFile(const std::string& path, Document* document) {
    static std::once_flag handlers;
    std::call_once(handlers, [] {
        TIFFSetWarningHandler(nullptr);
        TIFFSetErrorHandler(KeepError);
    });
    lastTiffError.clear();
    std::unique_ptr<TIFF, TiffClose> tiff(TIFFOpen(path.c_str(), "r"));
    if (!tiff) return lastTiffError.empty() ? "cannot open the TIFF file" : lastTiffError;

    Layout layout;
    uint16_t photometric = 0, format = SAMPLEFORMAT_UINT, inkSet = INKSET_CMYK;
    if (!TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &layout.width) ||
        !TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &layout.height) ||
        !TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric))
        return "the TIFF lacks its size or photometric interpretation";
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &layout.samples);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &layout.bits);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_PLANARCONFIG, &layout.planar);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_INKSET, &inkSet);
    if (layout.width < 1 || layout.height < 1 || layout.width > 1000000 || layout.height > 1000000 ||
        uint64_t(layout.width) * layout.height > (uint64_t(1) << 30))
        return "TIFF size " + std::to_string(layout.width) + "x" + std::to_string(layout.height) + " is not supported";
    if (format == SAMPLEFORMAT_IEEEFP) return "floating-point TIFF samples are not supported";

    if (layout.bits == 1 && (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) &&
        layout.samples == 1 && !TIFFIsTiled(tiff.get()))
        return ReadBitmap(tiff.get(), layout, photometric == PHOTOMETRIC_MINISWHITE, document);
    if (photometric == PHOTOMETRIC_YCBCR) return ReadYCbCr(tiff.get(), layout, document);
    if (layout.bits != 8 && layout.bits != 16)
        return std::to_string(layout.bits) + "-bit TIFF samples are not supported (8 or 16 bits)";
    const bool wide = layout.bits == 16;
    const uint16_t full = wide ? 65535 : 255;

    int32_t mode = 0;
    size_t channels = 0;
    switch (photometric) {
        case PHOTOMETRIC_MINISBLACK: case PHOTOMETRIC_MINISWHITE:
            mode = wide ? 10 : 1, channels = 1;
            break;
        case PHOTOMETRIC_RGB:
            mode = wide ? 11 : 3, channels = 3;
            break;
        case PHOTOMETRIC_SEPARATED:
            if (inkSet != INKSET_CMYK) return "only CMYK separations are supported";
            mode = wide ? 13 : 4, channels = 4;
            break;
        case PHOTOMETRIC_CIELAB: case PHOTOMETRIC_ICCLAB:
            mode = wide ? 12 : 9, channels = 3;
            break;
        case PHOTOMETRIC_PALETTE:
            if (wide) return "16-bit palette TIFFs are not supported";
            mode = 2, channels = 1;
            break;
        default:
            return "TIFF photometric interpretation " + std::to_string(photometric) + " is not supported";
    }
    if (layout.samples < channels) return "the TIFF has fewer samples per pixel than its colours need";

    std::vector<uint16_t> raw;
    if (std::string error = ReadSamples(tiff.get(), layout, &raw); !error.empty()) return error;
    const size_t pixels = size_t(layout.width) * layout.height;
    std::vector<std::vector<uint16_t>> planes(channels, std::vector<uint16_t>(pixels));
    for (size_t i = 0; i < pixels; ++i) {
        for (size_t c = 0; c < channels; ++c) {
            uint16_t v = raw[i * layout.samples + c];
            if (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_SEPARATED) {
                v = uint16_t(full - v);  // the API's grey is white-is-full and its inks 255-is-none
            } else if (photometric == PHOTOMETRIC_CIELAB && c > 0) {
                v = wide ? uint16_t(int32_t(int16_t(v)) + 32768) : uint16_t(int32_t(int8_t(uint8_t(v))) + 128);
            }
            planes[c][i] = v;
        }
    }
    std::string error;
    if (!MakeDocument(mode, int32_t(layout.width), int32_t(layout.height), std::move(planes), document, &error))
        return error;
    return {};
}

}  // namespace varno

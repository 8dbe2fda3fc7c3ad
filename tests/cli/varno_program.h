// Running the varno program from the tests, the files it is given, and what its results are
// compared with.
#pragma once

#include <sys/wait.h>
#include <tiffio.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "images/images.h"
#include "tests/host/host_fixture.h"

namespace varnotest {

using hosttest::DriveC;
using varno::Document;

struct Outcome {
    int status;
    std::string out, err;
};

inline std::string Quote(const std::string& text) { return "'" + text + "'"; }

inline Outcome Varno(const DriveC& drive, const std::string& arguments) {
    const std::string out = drive.Temp("stdout.txt"), err = drive.Temp("stderr.txt");
    const std::string command = Quote(VARNO_PROGRAM_PATH) + " " + arguments + " >" + Quote(out) + " 2>" + Quote(err);
    const int raw = std::system(command.c_str());
    Outcome outcome;
    outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const std::vector<uint8_t> o = hosttest::ReadBytes(out), e = hosttest::ReadBytes(err);
    outcome.out.assign(o.begin(), o.end());
    outcome.err.assign(e.begin(), e.end());
    return outcome;
}

// The selection the host library gets for `document` (method and radius played, so the stored
// settings play no part).
inline std::vector<uint8_t> LibraryMask(Document document, int32_t method, int32_t radius) {
    EXPECT_EQ(hosttest::RunLoaded(&document, hosttest::Play(method, radius)).result, 0);
    return document.selection;
}

inline std::vector<uint8_t> GreyPlane(const std::string& path) {
    Document picture;
    EXPECT_EQ(varno::ReadImageFile(path, &picture), "") << path;
    EXPECT_EQ(picture.mode, 1) << path;
    if (picture.channels8.empty()) return {};
    return picture.channels8[0];
}

// Writes a TIFF the way other programs store these colours: CMYK as ink amounts (0 = no ink), CIE
// Lab with signed a and b; `planar` stores each channel on its own, `tiled` in 16x16 tiles.
inline void WriteTiff(const std::string& path, const Document& d, bool planar = false, bool tiled = false) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tiff, nullptr);
    const bool wide = d.depth == 16;
    const uint16_t samples = uint16_t(varno::ChannelCount(d));
    uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    if (d.mode == 3 || d.mode == 11) photometric = PHOTOMETRIC_RGB;
    if (d.mode == 4 || d.mode == 13) photometric = PHOTOMETRIC_SEPARATED;
    if (d.mode == 9 || d.mode == 12) photometric = PHOTOMETRIC_CIELAB;
    if (d.mode == 2) photometric = PHOTOMETRIC_PALETTE;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(d.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(d.height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(wide ? 16 : 8));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG));
    if (photometric == PHOTOMETRIC_SEPARATED) TIFFSetField(tiff, TIFFTAG_INKSET, uint16_t(INKSET_CMYK));
    std::vector<uint16_t> map(256);
    if (photometric == PHOTOMETRIC_PALETTE) {
        for (int i = 0; i < 256; ++i) map[size_t(i)] = uint16_t(i * 257);
        TIFFSetField(tiff, TIFFTAG_COLORMAP, map.data(), map.data(), map.data());
    }
    if (tiled) {
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16u);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16u);
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 7u);
    }
    auto stored = [&](size_t c, size_t i) -> int32_t {
        const int32_t v = varno::SampleAt(d, c, i), full = wide ? 65535 : 255, centre = wide ? 32768 : 128;
        if (photometric == PHOTOMETRIC_SEPARATED) return full - v;
        if (photometric == PHOTOMETRIC_CIELAB && c > 0) return v - centre;  // signed, two's complement
        return v;
    };
    const size_t bytes = wide ? 2 : 1;
    auto put = [&](uint8_t* at, int32_t v) {
        if (wide) {
            const uint16_t s = uint16_t(v);
            std::memcpy(at, &s, 2);
        } else {
            *at = uint8_t(v);
        }
    };
    const size_t planes = planar ? samples : 1, perPixel = planar ? 1 : samples;
    if (tiled) {
        std::vector<uint8_t> tile(size_t(TIFFTileSize(tiff)));
        for (size_t plane = 0; plane < planes; ++plane)
            for (int32_t y = 0; y < d.height; y += 16)
                for (int32_t x = 0; x < d.width; x += 16) {
                    std::fill(tile.begin(), tile.end(), 0);
                    for (int32_t r = 0; r < 16 && y + r < d.height; ++r)
                        for (int32_t c = 0; c < 16 && x + c < d.width; ++c)
                            for (size_t s = 0; s < perPixel; ++s)
                                put(&tile[((size_t(r) * 16 + size_t(c)) * perPixel + s) * bytes],
                                    stored(plane + s, size_t(y + r) * size_t(d.width) + size_t(x + c)));
                    ASSERT_GE(TIFFWriteTile(tiff, tile.data(), uint32_t(x), uint32_t(y), 0, uint16_t(plane)), 0);
                }
    } else {
        std::vector<uint8_t> line(size_t(d.width) * perPixel * bytes);
        for (size_t plane = 0; plane < planes; ++plane)
            for (int32_t y = 0; y < d.height; ++y) {
                for (int32_t x = 0; x < d.width; ++x)
                    for (size_t s = 0; s < perPixel; ++s)
                        put(&line[(size_t(x) * perPixel + s) * bytes], stored(plane + s, size_t(y) * size_t(d.width) + size_t(x)));
                ASSERT_EQ(TIFFWriteScanline(tiff, line.data(), uint32_t(y), uint16_t(plane)), 1);
            }
    }
    TIFFClose(tiff);
}

}  // namespace varnotest

// Fax-coded TIFFs made by libtiff, whole and damaged: the Windows builds' outline check passes
// every file the native reader reads and refuses every one it refuses for its fax data.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <tiffio.h>

#include "images/codecs.h"
#include "tests/host/host_fixture.h"
#include "tests/images/picture_files.h"

namespace {

using hosttest::Bytes;

// Runs longer than 2560 of both colours (extended make-up codes), then busy pixels that repeat
// every other row one pixel on (vertical modes) or change (horizontal and pass modes). libtiff
// cannot read back its own word-aligned rows when its look-ahead crosses a row's end, as after a
// busy row's short codes: those pictures have the long runs only.
bool Black(uint32_t x, uint32_t y, bool busy) {
    if (x < 2600 + 7 * y) return false;
    if (!busy) return x >= 5400 - 5 * y && x < 5800 + y;
    if (x < 5400 - 5 * y) return true;
    const uint32_t seed = (x + (y & 1)) * 2654435761u ^ (y & ~1u) * 40503u;
    return (seed >> 13) % 3 == 0;
}

TEST(FaxFiles, OutlineCheckRefusesExactlyWhatTheNativeReaderRefusesForItsFaxData) {
    hosttest::DriveC drive;
    const uint32_t width = 5901, height = 14, rowsPerStrip = 5;
    const size_t steps = 150;  // cut lengths and flipped bits per strip
    struct Variant {
        uint16_t compression;
        uint32_t t4Options;  // bit 0: 2D rows, bit 2: fill bits
    } variants[] = {{2, 0}, {3, 0}, {3, 1}, {3, 5}, {4, 0}, {32771, 0}};
    int refused = 0;
    for (const Variant& v : variants)
        for (uint16_t fillOrder : {1, 2}) {
            const std::string what = std::to_string(v.compression) + "/" + std::to_string(v.t4Options) + "/" +
                                     std::to_string(fillOrder);
            const std::string path = drive.Temp("fax.tif");
            TIFF* out = TIFFOpen(path.c_str(), "w");
            ASSERT_NE(out, nullptr);
            TIFFSetField(out, TIFFTAG_IMAGEWIDTH, width), TIFFSetField(out, TIFFTAG_IMAGELENGTH, height);
            TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1), TIFFSetField(out, TIFFTAG_PHOTOMETRIC, 0);
            TIFFSetField(out, TIFFTAG_COMPRESSION, v.compression), TIFFSetField(out, TIFFTAG_FILLORDER, fillOrder);
            TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
            if (v.compression == 3) TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, v.t4Options);
            Bytes row((width + 7) / 8);
            for (uint32_t y = 0; y < height; ++y) {
                std::fill(row.begin(), row.end(), 0);
                for (uint32_t x = 0; x < width; ++x) row[x / 8] |= uint8_t(Black(x, y, v.compression != 32771) << (7 - x % 8));
                ASSERT_EQ(TIFFWriteScanline(out, row.data(), y, 0), 1) << what;
            }
            TIFFClose(out);
            // The strips as libtiff stored them, each at an even offset, in a file of our own.
            TIFF* in = TIFFOpen(path.c_str(), "r");
            ASSERT_NE(in, nullptr);
            hosttest::TiffLayout layout;
            layout.width = width, layout.height = height, layout.bits = 1, layout.photometric = 0;
            layout.compression = v.compression, layout.rowsPerStrip = rowsPerStrip;
            layout.shorts = {{266, {fillOrder}}, {292, {v.t4Options}}};
            for (uint32_t s = 0; s < TIFFNumberOfStrips(in); ++s) {
                Bytes strip(TIFFRawStripSize(in, s));
                ASSERT_EQ(TIFFReadRawStrip(in, s, strip.data(), tmsize_t(strip.size())), tmsize_t(strip.size()));
                layout.blocks.push_back({uint32_t(layout.pixels.size()), uint32_t(strip.size())});
                layout.pixels.insert(layout.pixels.end(), strip.begin(), strip.end());
                if (layout.pixels.size() & 1) layout.pixels.push_back(0);
            }
            TIFFClose(in);
            // The whole file, then each strip cut at many lengths, then one bit at a time flipped.
            const hosttest::TiffLayout whole = layout;
            for (size_t variant = 0; variant <= 2 * 3 * steps; ++variant) {
                layout = whole;
                const size_t k = variant ? (variant - 1) % steps : 0, s = variant ? (variant - 1) / steps % 3 : 0;
                auto& [offset, bytes] = layout.blocks[s];
                if (variant > 3 * steps)
                    layout.pixels[offset + bytes * k / steps] ^= uint8_t(1 << (k * 5 % 8));
                else if (variant > 0)
                    bytes = uint32_t(bytes * k / steps);
                const Bytes file = hosttest::TiffFile(layout);
                varno::Document document;
                const std::string native = varno::DecodeTiff(file.data(), file.size(), {}, &document);
                const std::string outline = varno::CheckTiffOutline(file.data(), file.size(), {});
                ASSERT_TRUE(variant > 0 || native.empty()) << what << ": " << native;
                EXPECT_TRUE(!native.empty() || outline.empty()) << what << " variant " << variant << ": " << outline;
                if (native.find(": Fax") != std::string::npos) {
                    EXPECT_NE(outline, "") << what << " variant " << variant << ": " << native;
                    ++refused;
                }
            }
        }
    EXPECT_GT(refused, 12 * 3 * int(steps) / 2);  // most cuts and many flips are damage the reader sees
}

}  // namespace
#endif

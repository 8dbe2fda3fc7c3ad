// Pictures read as their bytes say: runs that cross rows, every orientation the same stored rows,
// and the outline checks refusing what cannot fill its picture.
#include <gtest/gtest.h>

#include "images/codecs.h"
#include "images/images.h"
#include "tests/host/host_fixture.h"
#include "tests/images/picture_files.h"

namespace {

#ifndef _WIN32  // PackBits and YCbCr are not among the TIFFs WIC reads under wine
// PackBits runs across rows, and RGB and YCbCr (no colour: red is Y) in every orientation, 4 x 4.
TEST(ReadAsStored, TiffRowsComeAsStored) {
    hosttest::DriveC drive;
    std::vector<uint8_t> grey, rgb, ycbcr;
    for (uint8_t i = 0; i < 16; ++i) grey.push_back(uint8_t(15 * i)), rgb.insert(rgb.end(), 3, uint8_t(15 * i));
    for (uint8_t i = 0; i < 16; ++i) ycbcr.insert(ycbcr.end(), {uint8_t(15 * i), 128, 128});
    std::vector<std::pair<hosttest::TiffLayout, std::vector<uint8_t>>> cases;
    hosttest::TiffLayout packed;
    packed.width = packed.height = 4, packed.compression = 32773, packed.pixels = {0xf1, 0x55};
    cases.push_back({packed, std::vector<uint8_t>(16, 0x55)});
    packed.rowsPerStrip = 2, packed.pixels = {0x05, 1, 2, 3, 4, 5, 6, 0xff, 9, 0xf9, 7}, packed.blocks = {{0, 9}, {9, 2}};
    cases.push_back({packed, {1, 2, 3, 4, 5, 6, 9, 9, 7, 7, 7, 7, 7, 7, 7, 7}});
    for (uint32_t orientation = 1; orientation <= 8; ++orientation)
        for (uint16_t photometric : {2, 6}) {
            hosttest::TiffLayout layout;
            layout.width = layout.height = 4, layout.samples = 3, layout.photometric = photometric, layout.rowsPerStrip = 2;
            layout.pixels = photometric == 2 ? rgb : ycbcr, layout.blocks = {{0, 24}, {24, 24}};
            layout.shorts = {{274, {orientation}}};
            if (photometric == 6) layout.shorts.push_back({530, {1, 1}});
            cases.push_back({layout, grey});
        }
    for (const auto& [layout, expected] : cases) {
        hosttest::WriteBytes(drive.Temp("stored.tif"), hosttest::TiffFile(layout));
        varno::Document document;
        ASSERT_EQ(varno::ReadImageFile(drive.Temp("stored.tif"), &document), "") ;
        EXPECT_EQ(document.channels8[0], expected) << "photometric " << layout.photometric << ", orientation "
                                                   << (layout.shorts.empty() ? 1 : layout.shorts[0].second[0]);
    }
}
#endif

// The Windows builds' outline checks refuse what the native readers refuse for want of data, with
// the same words (unless the budget refuses it first).
TEST(ReadAsStored, OutlineChecksRefuseWhatCannotFillThePicture) {
    size_t checked = 0;
    for (const hosttest::DamagedFile& f : hosttest::DamagedFiles()) {
        const bool tiff = f.message.find("the TIFF's") < 8, png = f.message.rfind("the PNG's", 0) == 0;
        if (!tiff && !png) continue;
        const uint8_t* b = f.bytes.data();
        const std::string error = tiff ? varno::CheckTiffOutline(b, f.bytes.size(), {}) : varno::CheckPngOutline(b, f.bytes.size(), {});
        EXPECT_TRUE(error == f.message || error.rfind("a TIFF ", 0) == 0) << f.what << ": " << error;
        checked += error.empty() ? 0 : 1;
    }
    EXPECT_GE(checked, 6u);
}

}  // namespace

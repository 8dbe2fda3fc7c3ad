// TIFFs read as their bytes say: runs that cross rows, every orientation the same stored rows.
#include <gtest/gtest.h>

#include "images/images.h"
#include "tests/host/host_fixture.h"
#include "tests/images/picture_files.h"

namespace {

#ifndef _WIN32  // PackBits and YCbCr are not among the TIFFs WIC reads under wine
// PackBits runs across rows, and RGB and YCbCr (no colour: red is Y) in every orientation, 4 x 4.
TEST(ReadAsStored, TiffRowsComeAsStored) {
    hosttest::DriveC drive;
    std::vector<uint8_t> grey, rgb, ycbcr;
    for (uint8_t i = 0; i < 240; i += 15) grey.push_back(i), rgb.insert(rgb.end(), 3, i), ycbcr.insert(ycbcr.end(), {i, 128, 128});
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

}  // namespace

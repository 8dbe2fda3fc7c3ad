// Pictures read as their bytes say: runs that cross rows, every orientation the same stored rows,
// and the outline checks refusing what cannot fill its picture.
#include <gtest/gtest.h>

#include "images/codecs.h"
#include "images/images.h"
#include "tests/host/host_fixture.h"
#include "tests/images/picture_files.h"

namespace {

using hosttest::Bytes;

// The first channel of the TIFF `layout` describes, as read.
std::vector<uint8_t> ReadPlane(const hosttest::DriveC& drive, const hosttest::TiffLayout& layout, std::string* error) {
    const std::string path = drive.Temp("stored.tif");
    hosttest::WriteBytes(path, hosttest::TiffFile(layout));
    varno::Document document;
    *error = varno::ReadImageFile(path, &document);
    return error->empty() ? document.channels8[0] : std::vector<uint8_t>();
}

#ifndef _WIN32  // PackBits and YCbCr are not among the TIFFs WIC reads under wine
TEST(ReadAsStored, PackBitsRunsThatCrossRows) {
    hosttest::DriveC drive;
    struct Case {
        const char* what;
        uint32_t rowsPerStrip;
        Bytes pixels;
        std::vector<std::pair<uint32_t, uint32_t>> blocks;
        std::vector<uint8_t> expected;  // 4 x 4 grey
    };
    const Case cases[] = {
        {"one run over all rows", 0, {0xf1, 0x55}, {}, std::vector<uint8_t>(16, 0x55)},
        {"a literal and a run across rows, two strips", 2, {0x05, 1, 2, 3, 4, 5, 6, 0xff, 9, 0xf9, 7},
         {{0, 9}, {9, 2}}, {1, 2, 3, 4, 5, 6, 9, 9, 7, 7, 7, 7, 7, 7, 7, 7}},
    };
    for (const Case& c : cases) {
        hosttest::TiffLayout layout;
        layout.width = 4, layout.height = 4, layout.compression = 32773, layout.rowsPerStrip = c.rowsPerStrip;
        layout.pixels = c.pixels, layout.blocks = c.blocks;
        std::string error;
        EXPECT_EQ(ReadPlane(drive, layout, &error), c.expected) << c.what << ": " << error;
    }
}

TEST(ReadAsStored, EveryOrientationGivesTheStoredRowsOnEveryPath) {
    hosttest::DriveC drive;
    const uint32_t w = 3, h = 4;
    Bytes rgb, ycbcr;
    std::vector<uint8_t> grey;
    for (uint32_t i = 0; i < w * h; ++i) {
        const uint8_t v = uint8_t(20 * i + 5);
        grey.push_back(v);
        rgb.insert(rgb.end(), {v, v, v});
        ycbcr.insert(ycbcr.end(), {v, 128, 128});  // no colour: red, green and blue are Y
    }
    for (uint32_t orientation = 1; orientation <= 8; ++orientation)
        for (uint16_t photometric : {2, 6}) {
            hosttest::TiffLayout layout;
            layout.width = w, layout.height = h, layout.samples = 3, layout.photometric = photometric, layout.rowsPerStrip = 2;
            layout.pixels = photometric == 2 ? rgb : ycbcr;
            layout.blocks = {{0, 18}, {18, 18}};
            layout.shorts = {{274, {orientation}}};
            if (photometric == 6) layout.shorts.push_back({530, {1, 1}});
            std::string error;
            EXPECT_EQ(ReadPlane(drive, layout, &error), grey) << "photometric " << photometric << ", orientation "
                                                                  << orientation << ": " << error;
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
        // A strip or tile beyond the decoder budget is refused first, in its own words.
        if (error.rfind("a TIFF ", 0) != 0) {
            EXPECT_EQ(error, f.message) << f.what;
        }
        checked += error.empty() ? 0 : 1;
    }
    EXPECT_GE(checked, 6u);
}

}  // namespace

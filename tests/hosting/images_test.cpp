// Image files in and out of the host, the never-half-written rule, and the generated pictures.
#include <gtest/gtest.h>

#include <filesystem>

#include "hosting/images.h"
#include "hosting/sample.h"
#include "host_fixture.h"

namespace {

using hosttest::DriveC;

TEST(ImageFiles, GreyAndColourRoundTripThroughPngAndBmp) {
    DriveC drive;
    const int32_t width = 13, height = 7;
    const std::vector<uint8_t> rgb = varno::DrawSample(width, height, 5);
    std::vector<uint8_t> grey(size_t(width * height));
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = rgb[3 * i + 1];
    for (const char* name : {"picture.png", "picture.BMP"}) {
        for (int32_t channels : {1, 3}) {
            const std::string path = drive.Temp(std::to_string(channels) + name);
            const std::vector<uint8_t>& pixels = channels == 1 ? grey : rgb;
            std::vector<uint8_t> bytes;
            ASSERT_EQ(varno::EncodeImage(path, width, height, channels, pixels.data(), &bytes), "");
            ASSERT_EQ(varno::WriteFileAtomically(path, bytes), "");
            varno::Document document;
            ASSERT_EQ(varno::ReadImageFile(path, &document), "") << path;
            const size_t stored = size_t(channels);
            EXPECT_EQ(document.mode, stored == 1 ? 1 : 3);
            EXPECT_EQ(document.width, width);
            EXPECT_EQ(document.height, height);
            ASSERT_EQ(varno::ChannelCount(document), stored);
            for (size_t i = 0; i < size_t(width * height); ++i)
                for (size_t c = 0; c < stored; ++c)
                    ASSERT_EQ(varno::SampleAt(document, c, i), pixels[i * size_t(channels) + (channels == 1 ? 0 : c)]) << path << " " << i;
        }
    }
}

TEST(ImageFiles, FailuresSayWhyAndLeaveTheDocumentAlone) {
    DriveC drive;
    const std::string text = drive.Temp("notes.txt");
    hosttest::WriteBytes(text, {'h', 'e', 'l', 'l', 'o'});
    varno::Document document;
    document.mode = 77;
    EXPECT_EQ(varno::ReadImageFile(drive.Temp("absent.png"), &document), "file not found");
    EXPECT_EQ(varno::ReadImageFile(text, &document), "not an image varno can read (PNG, JPEG, BMP or TIFF)");
    EXPECT_EQ(document.mode, 77);

    std::vector<uint8_t> bytes;
    const uint8_t pixel[3] = {1, 2, 3};
    EXPECT_NE(varno::EncodeImage(drive.Temp("out.gif"), 1, 1, 3, pixel, &bytes), "");
    EXPECT_NE(varno::EncodeImage(drive.Temp("out"), 1, 1, 3, pixel, &bytes), "");
    EXPECT_NE(varno::EncodeImage(drive.Temp("out.png"), 1, 1, 2, pixel, &bytes), "");
    EXPECT_TRUE(bytes.empty());
}

TEST(ImageFiles, AnOutputIsReplacedWholeOrNotAtAll) {
    DriveC drive;
    const std::string path = drive.Temp("out.png");
    hosttest::WriteBytes(path, {9, 9, 9});
    ASSERT_EQ(varno::WriteFileAtomically(path, {1, 2, 3, 4}), "");
    EXPECT_EQ(hosttest::ReadBytes(path), (std::vector<uint8_t>{1, 2, 3, 4}));
    // A directory that does not exist: nothing is created, and no temporary file is left over.
    const std::string nowhere = drive.Temp("missing/out.png");
    EXPECT_NE(varno::WriteFileAtomically(nowhere, {1}), "");
    EXPECT_FALSE(hosttest::Exists(nowhere));
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1u);
}

TEST(Sample, IsTheSamePictureInEveryBuild) {
    // Hashes of the native build; the Windows builds must draw the same bytes.
    EXPECT_EQ(hosttest::Hash(varno::DrawSample(640, 427, 1)), 0x096c6e8871dee887ull);
    EXPECT_EQ(hosttest::Hash(varno::DrawSample(31, 17, 9)), 0x9388c35f3eb685e2ull);
    EXPECT_EQ(hosttest::Hash(varno::MakeTestSelection(31, 17)), 0xf497e145897a8b3eull);
}

TEST(Sample, HasTheShapesOfALandscape) {
    const int32_t w = 200, h = 150;
    const std::vector<uint8_t> rgb = varno::DrawSample(w, h, 1);
    auto at = [&](int32_t x, int32_t y, int32_t c) { return int(rgb[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)]); };
    // Blue sky at the top, green grass low on the right, a bright sun, a red brick wall.
    EXPECT_GT(at(20, 5, 2), at(20, 5, 0) + 60);
    EXPECT_GT(at(190, 140, 1), at(190, 140, 2) + 30);
    EXPECT_GT(at(w * 76 / 100, h * 18 / 100, 0), 220);
    EXPECT_GT(at(w * 235 / 1024, h * 680 / 1024, 0), at(w * 235 / 1024, h * 680 / 1024, 2) + 30);
    // Degenerate sizes draw without trouble.
    EXPECT_EQ(varno::DrawSample(1, 1, 0).size(), 3u);
    EXPECT_EQ(varno::DrawSample(1, 9, 0).size(), 27u);
}

TEST(Sample, SixteenBitDocumentsReduceToTheirEightBitKin) {
    const int32_t pairs[][2] = {{1, 10}, {3, 11}, {9, 12}, {4, 13}};
    for (const auto& pair : pairs) {
        const varno::Document narrow = varno::MakeTestDocument(pair[0], 23, 11, 3);
        const varno::Document wide = varno::MakeTestDocument(pair[1], 23, 11, 3);
        ASSERT_EQ(wide.depth, 16);
        ASSERT_EQ(narrow.depth, 8);
        ASSERT_EQ(narrow.channels8.size(), wide.channels16.size());
        bool noisy = false;
        for (size_t c = 0; c < wide.channels16.size(); ++c)
            for (size_t i = 0; i < wide.channels16[c].size(); ++i) {
                ASSERT_EQ(varno::ReduceTo8(wide.channels16[c][i]), narrow.channels8[c][i]) << pair[1];
                noisy = noisy || wide.channels16[c][i] != narrow.channels8[c][i] * 257;
            }
        EXPECT_TRUE(noisy) << "the 16-bit samples should carry bits below the 8-bit ones";
    }
}

TEST(Sample, DocumentsForEveryModeTheHostHolds) {
    for (int32_t mode = 0; mode <= 15; ++mode) {
        const varno::Document d = varno::MakeTestDocument(mode, 9, 4, 1);
        EXPECT_EQ(d.mode, mode);
        EXPECT_EQ(d.width, 9);
        EXPECT_EQ(varno::ChannelCount(d), mode == 7 || mode == 14 ? 3u : size_t(varno::ChannelCountForMode(mode)));
    }
}

}  // namespace

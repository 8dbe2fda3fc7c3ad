// The mosaic of photographs: where each cell's pixels come from, and the photographs' files.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "bench/mosaic.h"

namespace varnobench {
namespace {

// A photograph whose pixel (x, y) is (x, y, id) below 256, so that every mosaic pixel tells where
// it came from.
Photo Marked(int32_t width, int32_t height, uint8_t id) {
    Photo photo;
    photo.width = width;
    photo.height = height;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) photo.rgb.insert(photo.rgb.end(), {uint8_t(x % 256), uint8_t(y % 256), id});
    return photo;
}

TEST(Mosaic, CellsTakeThePhotographsInTurnCutOrMirrored) {
    // Photograph 0 is larger than a cell, 1 smaller (mirrored), 2 larger in width only.
    const std::vector<Photo> photos = {Marked(700, 600, 0), Marked(200, 150, 1), Marked(510, 300, 2)};
    const int32_t width = 1300, height = 1100;  // 3 x 3 cells, the last ones cut
    const std::vector<uint8_t> rgb = TileMosaic(photos, width, height);
    ASSERT_EQ(rgb.size(), size_t(width) * height * 3);
    auto at = [&](int32_t x, int32_t y, int32_t c) { return rgb[(size_t(y) * width + size_t(x)) * 3 + size_t(c)]; };

    // Cell (0, 0): photograph 0's first use, cut at its top-left corner.
    EXPECT_EQ(at(0, 0, 2), 0);
    EXPECT_EQ(at(499, 499, 0), 499 % 256);
    EXPECT_EQ(at(499, 499, 1), 499 % 256);
    // Cell (1, 0): photograph 1 mirrored: columns 0..199, then 199..0, then 0..99.
    EXPECT_EQ(at(500, 0, 2), 1);
    EXPECT_EQ(at(500 + 199, 0, 0), 199);
    EXPECT_EQ(at(500 + 200, 0, 0), 199);
    EXPECT_EQ(at(500 + 399, 0, 0), 0);
    EXPECT_EQ(at(500 + 400, 0, 0), 0);
    EXPECT_EQ(at(500 + 150, 150, 1), 149);
    // Cell (2, 0) is photograph 2, cut at the picture's right edge; rows past its 300 mirror.
    EXPECT_EQ(at(1299, 0, 2), 2);
    EXPECT_EQ(at(1000, 300, 1), 299 % 256);
    // Cell (0, 1) is photograph 0's second use: its origin moves (211 across, 137 down, within
    // the 200 and 100 pixels it has to spare).
    EXPECT_EQ(at(0, 500, 2), 0);
    EXPECT_EQ(at(0, 500, 0), 211 % 201);
    EXPECT_EQ(at(0, 500, 1), 137 % 101);
}

TEST(Mosaic, BuildsFromThePhotographFolderOrSaysWhatIsMissing) {
    std::vector<uint8_t> rgb;
    const std::string error = BuildMosaic("/nonexistent-folder", 100, 100, &rgb);
    EXPECT_NE(error.find("/nonexistent-folder/"), std::string::npos) << error;
    EXPECT_TRUE(rgb.empty());
    if (!std::filesystem::exists(kPhotoFolder)) GTEST_SKIP() << "skipped: no photographs at " << kPhotoFolder;
    ASSERT_EQ(BuildMosaic(kPhotoFolder, 1000, 600, &rgb), "");
    ASSERT_EQ(rgb.size(), 1000u * 600u * 3u);
    // Real photographs: many distinct values, and the grey ones have R = G = B.
    std::vector<bool> seen(256);
    for (uint8_t v : rgb) seen[v] = true;
    int32_t distinct = 0;
    for (bool s : seen) distinct += s;
    EXPECT_GT(distinct, 200);
    const uint8_t* camera = &rgb[(size_t(10) * 1000 + 510) * 3];  // cell 1 is the grey camera.png
    EXPECT_EQ(camera[0], camera[1]);
    EXPECT_EQ(camera[1], camera[2]);
}

}  // namespace
}  // namespace varnobench

// CMYK and Lab pixels to RGB, checked against worked values.
#include <gtest/gtest.h>

#include "host/pixels.h"

namespace {

struct Pixel {
    uint8_t in[4];
    uint8_t rgb[3];
};

TEST(CmykConversion, WorkedValues) {
    const Pixel cases[] = {
        // No ink at all: red is boosted past 255, blue damped.
        {{255, 255, 255, 255}, {255, 254, 224}},
        // Full black ink hides every other ink.
        {{255, 255, 255, 0}, {0, 0, 0}},
        {{0, 0, 0, 0}, {0, 0, 0}},
        {{17, 200, 90, 0}, {0, 0, 0}},
        // Full cyan, magenta and yellow without black.
        {{0, 0, 0, 255}, {0, 0, 0}},
    };
    for (const Pixel& p : cases) {
        uint8_t rgb[3];
        ConvertCmykPixel(p.in[0], p.in[1], p.in[2], p.in[3], rgb);
        EXPECT_EQ(rgb[0], p.rgb[0]) << int(p.in[0]) << "," << int(p.in[1]) << "," << int(p.in[2]) << "," << int(p.in[3]);
        EXPECT_EQ(rgb[1], p.rgb[1]);
        EXPECT_EQ(rgb[2], p.rgb[2]);
    }
}

TEST(CmykConversion, MoreInkNeverBrightens) {
    // Taking ink away from one channel (raising its value towards 255) never darkens its colour.
    for (int k : {255, 200, 128}) {
        uint8_t previous[3] = {0, 0, 0};
        for (int c = 0; c <= 255; c += 15) {
            uint8_t rgb[3];
            ConvertCmykPixel(uint8_t(c), 128, 128, uint8_t(k), rgb);
            EXPECT_GE(rgb[0], previous[0]) << "k=" << k << " c=" << c;
            previous[0] = rgb[0];
        }
    }
}

TEST(LabConversion, WorkedValues) {
    const Pixel cases[] = {
        {{255, 128, 128}, {255, 255, 255}},
        {{0, 128, 128}, {0, 0, 0}},
        {{128, 128, 128}, {106, 106, 106}},
    };
    for (const Pixel& p : cases) {
        uint8_t rgb[3];
        ConvertLabPixel(p.in[0], p.in[1], p.in[2], rgb);
        EXPECT_EQ(rgb[0], p.rgb[0]) << int(p.in[0]);
        EXPECT_EQ(rgb[1], p.rgb[1]);
        EXPECT_EQ(rgb[2], p.rgb[2]);
    }
}

TEST(LabConversion, ColourDifferencesMoveTheChannelsApart) {
    // Roughly R = Y + 1.5(a - 128) + 0.4(b - 128), G = Y - 1.5(a - 128) + 0.4(b - 128),
    // B = Y - 0.8(b - 128).
    uint8_t grey[3], reddish[3], yellowish[3];
    ConvertLabPixel(128, 128, 128, grey);
    ConvertLabPixel(128, 138, 128, reddish);
    ConvertLabPixel(128, 128, 148, yellowish);
    EXPECT_EQ(reddish[0], grey[0] + 15);
    EXPECT_EQ(reddish[1], grey[1] - 15);
    EXPECT_EQ(reddish[2], grey[2]);
    EXPECT_EQ(yellowish[0], grey[0] + 8);
    EXPECT_EQ(yellowish[2], grey[2] - 16);
}

TEST(ImageModes, PlanesOfTheWorkingImage) {
    const struct {
        int32_t mode;
        int16_t planes;
    } cases[] = {{1, 1}, {10, 1}, {3, 3}, {11, 3}, {4, 3}, {13, 3}, {9, 3}, {12, 3},
                 {0, 0}, {2, 0},  {5, 0}, {6, 0},  {7, 0}, {8, 0},  {14, 0}, {15, 0}, {16, 0}, {17, 0}};
    for (const auto& c : cases) EXPECT_EQ(PlanesForImageMode(c.mode), c.planes) << "mode " << c.mode;
}

}  // namespace

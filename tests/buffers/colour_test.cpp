// CMYK and Lab pixels to RGB, checked against worked values.
#include <gtest/gtest.h>

#include <algorithm>

#include "buffers/colour.h"

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

// The conversion written straight from its formula, every real quantity in double precision
// and rounded to single precision only where the formula says so.
void CmykByFormula(int c, int m, int y, int k, uint8_t rgb[3]) {
    auto byte = [](double v) { return v > 255.0 ? uint8_t(255) : v > 0.0 ? uint8_t(v) : uint8_t(0); };
    const double e = float(0.0001 + (255 - k) / 255.0);
    const double f = float(1.0 - e);
    auto density = [&](int v) { return double(float(255.0 * std::min(1.0, e + f * (255 - v) / 255.0))); };
    const double r1 = 1.15 * (255.0 - density(c));
    const double g1 = float(255.0 - density(m));
    const double b1 = 0.85 * (255.0 - density(y));
    const double avg = (b1 + g1 + double(float(r1))) * double(0.33333334f);
    rgb[0] = byte(0.8 * r1 + 0.2 * avg);
    rgb[1] = byte(0.6 * g1 + 0.4 * double(float(avg)));
    rgb[2] = byte(0.8 * double(float(b1)) + 0.2 * double(float(avg)));
}

TEST(CmykConversion, MatchesTheFormulaInDoublePrecision) {
    // Every black and cyan level against a spread of magenta and yellow levels, plus inputs whose
    // coverage product, taken in single precision, lands one level off.
    int mismatches = 0;
    auto check = [&](int c, int m, int y, int k) {
        uint8_t got[3], want[3];
        ConvertCmykPixel(uint8_t(c), uint8_t(m), uint8_t(y), uint8_t(k), got);
        CmykByFormula(c, m, y, k, want);
        if (got[0] == want[0] && got[1] == want[1] && got[2] == want[2]) return;
        if (++mismatches <= 5)
            ADD_FAILURE() << "CMYK " << c << "," << m << "," << y << "," << k << " gives " << int(got[0]) << ","
                          << int(got[1]) << "," << int(got[2]) << " instead of " << int(want[0]) << ","
                          << int(want[1]) << "," << int(want[2]);
    };
    for (int k = 0; k < 256; ++k)
        for (int c = 0; c < 256; ++c)
            for (int m : {0, 50, 106, 188, 255})
                for (int y : {18, 26, 237}) check(c, m, y, k);
    const int known[][4] = {{69, 50, 18, 7}, {157, 188, 26, 9}, {220, 96, 78, 10}, {127, 192, 171, 12}, {129, 106, 237, 12}};
    for (const auto& p : known) check(p[0], p[1], p[2], p[3]);
    EXPECT_EQ(mismatches, 0);

    uint8_t rgb[3];
    ConvertCmykPixel(69, 50, 18, 7, rgb);
    EXPECT_EQ(rgb[0], 2);
    EXPECT_EQ(rgb[1], 1);
    EXPECT_EQ(rgb[2], 0);
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

}  // namespace

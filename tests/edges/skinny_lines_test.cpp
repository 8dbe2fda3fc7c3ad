// Skinny lines: the worked examples (the 0/50/100 ramp, steps of 14 and 15, colour lines) and the
// thinning rules on hand-made gradient pictures. What it shares with the other methods (flat
// areas, the 13 x height progress count) is in method_contract_test.cpp.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/skinny_fine_reference.h"

namespace {

using namespace edgetest;

Padded PictureOf(int32_t width, int32_t height, int32_t value) {
    Padded p;
    p.width = width;
    p.height = height;
    p.v.assign(size_t(width + 2) * size_t(height + 2), value);
    return p;
}

TEST(SkinnyLines, RampWithOneIntermediateColumnLeavesALineOfSeventySeven) {
    const Image in = Columns({0, 0, 0, 0, 50, 100, 100, 100, 100}, 1, 8);
    int16_t code = -1;
    const Image out = Apply(kMethodSkinnyLines, 0, in, 1, &code);
    ASSERT_EQ(code, 0);
    for (int32_t y = 0; y < in.height; ++y)
        for (int32_t x = 0; x < in.width; ++x) EXPECT_EQ(out.at(x, y), x == 4 ? 77 : 255) << x << "," << y;
}

TEST(SkinnyLines, ColourLineTakesTheLineDarknessAsItsMeanLevel) {
    // Grey levels 0, 50, 100 across; the middle colour keeps its two colour differences around the
    // line value 77, divisions truncating toward zero.
    struct Case {
        uint8_t middle[3];
        uint8_t expected[3];
    } cases[] = {
        {{80, 50, 20}, {107, 77, 47}},   // d = 45, e = 15
        {{20, 50, 81}, {47, 77, 107}},   // d = -46: d/3 = -15, 2d/3 = -30
        {{21, 50, 80}, {48, 76, 107}},   // e = -29/2 = -14
    };
    for (const Case& c : cases) {
        Image in = Blank(7, 5, 3);
        for (int32_t y = 0; y < in.height; ++y) {
            for (int32_t x = 0; x < in.width; ++x) {
                for (int32_t ch = 0; ch < 3; ++ch)
                    in.at(x, y, ch) = x < 3 ? 0 : x == 3 ? c.middle[ch] : 100;
            }
        }
        int16_t code = -1;
        const Image out = Apply(kMethodSkinnyLines, 0, in, 0, &code);
        ASSERT_EQ(code, 0);
        for (int32_t y = 0; y < in.height; ++y) {
            for (int32_t x = 0; x < in.width; ++x) {
                for (int32_t ch = 0; ch < 3; ++ch) {
                    EXPECT_EQ(out.at(x, y, ch), x == 3 ? c.expected[ch] : 255)
                        << int(c.middle[0]) << " at " << x << "," << y << " channel " << ch;
                }
            }
        }
    }
}

// The number of sweeps shows in the progress: after one sweep k jumps to 12 x height.
int32_t SweepsSeen(const FakeRun& fake, int32_t height) {
    int32_t thinningRows = 0;
    for (auto [k, n] : fake.Steps()) thinningRows += k >= 2 * height && k < 12 * height;
    return thinningRows / height;
}

TEST(SkinnyLines, StepsOfFourteenAndFifteenLeaveNothing) {
    // 14: both columns beside the step get 230, background at once, one sweep. 15: both get 229,
    // equally dark across the line, and both are removed in the first sweep, so all ten run.
    struct Case {
        uint8_t high;
        int32_t sweeps;
    } cases[] = {{14, 1}, {15, 10}};
    for (const Case& c : cases) {
        const Image in = Columns({0, 0, 0, c.high, c.high, c.high}, 1, 6);
        FakeRun fake;
        int16_t code = -1;
        const Image out = Apply(kMethodSkinnyLines, 0, in, 1, &code, &fake);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(out.bytes, std::vector<uint8_t>(in.bytes.size(), 255)) << int(c.high);
        EXPECT_EQ(SweepsSeen(fake, in.height), c.sweeps) << int(c.high);
    }
}

TEST(SkinnyLines, GradientOfTheWorkedExamples) {
    struct Case {
        std::vector<uint8_t> columns;
        std::vector<int32_t> gradient;  // image columns, any row
    } cases[] = {
        {{0, 0, 50, 100, 100}, {255, 166, 77, 166, 255}},
        {{0, 0, 14, 14}, {255, 230, 230, 255}},
        {{0, 0, 15, 15}, {255, 229, 229, 255}},
    };
    for (const Case& c : cases) {
        const Padded g = ReferenceSkinnyGradient(ReferenceBorderedGrey(Columns(c.columns, 1, 3)));
        for (size_t x = 0; x < c.gradient.size(); ++x) EXPECT_EQ(g.at(int32_t(x) + 1, 2), c.gradient[x]);
    }
}

// The thinning rules on gradient pictures that no image produces; the reference thinning is the
// one the method matches on every generated image (method_contract_test.cpp).
TEST(SkinnyLines, ThinningOfHandMadePictures) {
    {
        // A band 200, 100, 200 on white: the outer columns and the two end pixels of the middle
        // column go in the first sweep; the rest of the middle column stays.
        Padded p = PictureOf(9, 12, 255);
        for (int32_t py = 3; py <= 10; ++py) {
            p.at(4, py) = 200;
            p.at(5, py) = 100;
            p.at(6, py) = 200;
        }
        EXPECT_EQ(ReferenceSkinnyThinning(p), 10);
        for (int32_t py = 0; py < 14; ++py)
            for (int32_t px = 0; px < 11; ++px)
                EXPECT_EQ(p.at(px, py), px == 5 && py >= 4 && py <= 9 ? 100 : 255) << px << "," << py;
    }
    {
        // A lone dark pixel and a short line stay (8 and 7 white neighbours; the middle of the
        // line holds it together); nothing was removed, so one sweep.
        Padded p = PictureOf(9, 7, 255);
        p.at(2, 2) = 120;
        p.at(5, 5) = p.at(6, 5) = p.at(7, 5) = 90;
        const Padded before = p;
        EXPECT_EQ(ReferenceSkinnyThinning(p), 1);
        EXPECT_EQ(p.v, before.v);
    }
    {
        // A dark pixel ringed by 240: no rule protects it, gx = gy = 0, it goes; the 240s are
        // background and become 255.
        Padded p = PictureOf(5, 5, 255);
        for (int32_t py = 2; py <= 4; ++py)
            for (int32_t px = 2; px <= 4; ++px) p.at(px, py) = 240;
        p.at(3, 3) = 100;
        EXPECT_EQ(ReferenceSkinnyThinning(p), 10);
        EXPECT_EQ(p.v, PictureOf(5, 5, 255).v);
    }
    {
        // Surrounded by values of 230 or less, a pixel is kept whatever its neighbours' darkness.
        Padded p = PictureOf(3, 3, 230);
        p.at(2, 2) = 229;
        Padded q = p;
        ReferenceSkinnyThinning(q);
        EXPECT_EQ(q.at(2, 2), 229);
    }
}

}  // namespace

// Traditional: the Sobel magnitude values, channel independence and the untouched border; what it
// shares with the other methods is in method_contract_test.cpp.
#include <gtest/gtest.h>

#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/traditional_smoother_variable_reference.h"

namespace {

using namespace edgetest;

TEST(Traditional, VerticalStepGivesTheSobelValueOnBothSides) {
    // (low, high, value beside the step): the division by 5 comes before the square root.
    const struct {
        uint8_t low, high, expected;
    } cases[] = {{0, 10, 238}, {0, 255, 0}, {0, 1, 254}, {0, 2, 252}, {0, 3, 250}, {10, 0, 238}, {40, 40, 255}};
    for (const auto& c : cases) {
        const Image in = VerticalStep(8, 5, 4, c.low, c.high);
        FakeRun fake;
        int16_t code = -1;
        const Image out = Apply(kMethodTraditional, 0, in, 1, &code, &fake);
        EXPECT_EQ(code, 0);
        for (int32_t y = 0; y < 5; ++y) {
            for (int32_t x = 0; x < 8; ++x) {
                const bool border = x == 0 || y == 0 || x == 7 || y == 4;
                const uint8_t expected = border ? in.at(x, y) : (x == 3 || x == 4) ? c.expected : 255;
                EXPECT_EQ(out.at(x, y), expected) << int(c.low) << "->" << int(c.high) << " at " << x << "," << y;
            }
        }
    }
}

TEST(Traditional, EveryStepHeightMatchesTheIntegerSquareRoot) {
    // Gx = 4 x step, Gy = 0: m = floor(sqrt(16 step^2 div 5)), found here by counting.
    for (int32_t step = 0; step <= 255; ++step) {
        const Image in = VerticalStep(3, 3, 2, 0, uint8_t(step));
        FakeRun fake;
        int16_t code = -1;
        const Image out = Apply(kMethodTraditional, 0, in, 0, &code, &fake);
        const int32_t m = CountingSqrt(16 * step * step / 5);
        ASSERT_EQ(out.at(1, 1), m <= 254 ? 255 - m : 0) << step;
    }
}

TEST(Traditional, ChannelsAreComputedFromTheirOwnValuesOnly) {
    Image in = Blank(7, 6, 3, 90);
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 7; ++x) in.at(x, y, 0) = x < 3 ? 0 : 255;
    FakeRun fake;
    int16_t code = -1;
    const Image out = Apply(kMethodTraditional, 0, in, 1, &code, &fake);
    EXPECT_EQ(code, 0);
    for (int32_t y = 1; y < 5; ++y) {
        for (int32_t x = 1; x < 6; ++x) {
            EXPECT_EQ(out.at(x, y, 1), 255);
            EXPECT_EQ(out.at(x, y, 2), 255);
            EXPECT_EQ(out.at(x, y, 0), (x == 2 || x == 3) ? 0 : 255) << x << "," << y;
        }
    }
    EXPECT_EQ(out.at(0, 2, 1), 90);
    EXPECT_EQ(out.at(6, 2, 0), 255);
    EXPECT_EQ(out.at(0, 2, 0), 0);
}

}  // namespace

// Smoother: the three directional responses; what it shares with the other methods (colour casts,
// progress, stops, the largest documents) is in method_contract_test.cpp.
#include <gtest/gtest.h>

#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/traditional_smoother_variable_reference.h"

namespace {

using namespace edgetest;

TEST(Smoother, VerticalStepGivesTheLargestResponseOnBothSides) {
    // Beside a 0 -> 10 step: Kh = 40, Kd = 30, Kv = 0, so (510 - 40) div 2 = 235.
    const struct {
        uint8_t low, high, expected;
    } cases[] = {{0, 10, 235}, {10, 0, 235}, {0, 255, 0}, {0, 127, 1}, {0, 1, 253}, {60, 60, 255}};
    for (const auto& c : cases) {
        const Image in = VerticalStep(6, 4, 3, c.low, c.high);
        FakeRun fake;
        int16_t code = -1;
        const Image out = Apply(kMethodSmoother, 0, in, 1, &code, &fake);
        EXPECT_EQ(code, 0);
        for (int32_t y = 0; y < 4; ++y)
            for (int32_t x = 0; x < 6; ++x)
                EXPECT_EQ(out.at(x, y), (x == 2 || x == 3) ? c.expected : 255)
                    << int(c.low) << "->" << int(c.high) << " at " << x << "," << y;
    }
}

TEST(Smoother, SecondDiagonalIsNotEvaluated) {
    Image in = Blank(7, 7, 1, 0);
    in.at(3, 3) = 10;
    FakeRun fake;
    int16_t code = -1;
    const Image out = Apply(kMethodSmoother, 0, in, 1, &code, &fake);
    EXPECT_EQ(code, 0);
    // South-west of the dot: |Kh| = |Kv| = 10 and Kd = 0 (the SW-NE diagonal would give 20).
    EXPECT_EQ(out.at(2, 4), 250);
    // North-west of the dot: Kd = 20 is its largest response.
    EXPECT_EQ(out.at(2, 2), 245);
    EXPECT_EQ(out.at(3, 3), 255);
    EXPECT_EQ(out.bytes, ReferenceSmoother(in).bytes);
}

}  // namespace

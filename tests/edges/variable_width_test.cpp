// Variable width: the step profiles for each reach, the normalisation by the peak, the lopsided
// reach-3 weights, the copied top rows and unsupported radii; what it shares with the other methods
// is in method_contract_test.cpp.
#include <gtest/gtest.h>

#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/traditional_smoother_variable_reference.h"

namespace {

using namespace edgetest;

TEST(VariableWidth, StepProfileWidensWithTheReach) {
    // A 0 -> 100 step between columns 5 and 6 of every row.
    const struct {
        int32_t reach;
        uint8_t profile[12];
    } cases[] = {
        {1, {255, 255, 255, 255, 255, 0, 0, 255, 255, 255, 255, 255}},
        {2, {255, 255, 255, 255, 158, 0, 0, 158, 255, 255, 255, 255}},
        {3, {255, 255, 255, 219, 138, 0, 0, 138, 219, 255, 255, 255}},
    };
    const Image in = VerticalStep(12, 9, 6, 0, 100);
    for (const auto& c : cases) {
        FakeRun fake;
        int16_t code = -1;
        const Image out = Apply(kMethodVariableWidth, c.reach, in, 1, &code, &fake);
        EXPECT_EQ(code, 0);
        for (int32_t y = 0; y < in.height; ++y)
            for (int32_t x = 0; x < in.width; ++x)
                EXPECT_EQ(out.at(x, y), c.profile[x]) << "reach " << c.reach << " at " << x << "," << y;
    }
}

TEST(VariableWidth, HalfThePeakBecomes127) {
    // Steps of 100 (columns 4|5) and 50 (columns 9|10): M = 255.2 and 127.6 at reach 1.
    Image in = Blank(15, 6, 1);
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 15; ++x) in.at(x, y) = x < 5 ? 0 : x < 10 ? 100 : 150;
    FakeRun fake;
    int16_t code = -1;
    const Image out = Apply(kMethodVariableWidth, 1, in, 0, &code, &fake);
    EXPECT_EQ(code, 0);
    const uint8_t profile[15] = {255, 255, 255, 255, 0, 0, 255, 255, 255, 127, 127, 255, 255, 255, 255};
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 15; ++x) EXPECT_EQ(out.at(x, y), profile[x]) << x << "," << y;
}

TEST(VariableWidth, ReachThreeSecondRingIsHeavierAboveAndLeft) {
    // One bright dot at (10, 8). Each of the four probes sees it through exactly one weight of
    // d = 2 (0.24 at k = -3, 0.14 at k = +3) and the weight 0.104 of d = 3.
    Image in = Blank(21, 17, 1);
    in.at(10, 8) = 200;
    FakeRun fake;
    int16_t code = -1;
    const Image out = Apply(kMethodVariableWidth, 3, in, 0, &code, &fake);
    EXPECT_EQ(code, 0);
    const uint8_t topRowOfGh = out.at(12, 11), leftColumnOfGv = out.at(13, 6);
    const uint8_t bottomRowOfGh = out.at(12, 5), rightColumnOfGv = out.at(7, 6);
    EXPECT_EQ(topRowOfGh, leftColumnOfGv);
    EXPECT_EQ(bottomRowOfGh, rightColumnOfGv);
    EXPECT_LT(topRowOfGh, bottomRowOfGh);
    EXPECT_EQ(out.bytes, ReferenceVariableWidth(in, 3).bytes);
}

TEST(VariableWidth, TopThreeRowsRepeatRowThree) {
    for (int32_t planes : {1, 3}) {
        const Image in = PhotoLike(14, 10, planes, 31);
        for (int32_t radius = 1; radius <= 3; ++radius) {
            int16_t code = -1;
            const Image out = Apply(kMethodVariableWidth, radius, in, 1, &code);
            EXPECT_EQ(code, 0);
            const size_t rowBytes = size_t(in.width * planes);
            for (int32_t y = 0; y < 3; ++y)
                EXPECT_TRUE(std::equal(out.bytes.begin() + y * rowBytes, out.bytes.begin() + (y + 1) * rowBytes,
                                       out.bytes.begin() + 3 * rowBytes));
        }
    }
}

TEST(VariableWidth, UnsupportedRadiusIsRefusedUntouched) {
    const Image in = PhotoLike(9, 8, 1, 1);
    for (int32_t radius : {-3, -1, 0, 4, 253}) {
        FakeRun fake;
        const LiveResources before = CountLiveResources();
        int16_t code = 0;
        const Image out = Apply(kMethodVariableWidth, radius, in, 1, &code, &fake);
        EXPECT_EQ(code, kErrBadParameters) << radius;
        EXPECT_EQ(out.bytes, in.bytes);
        EXPECT_TRUE(fake.log.events.empty());
        EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks);
    }
}

}  // namespace

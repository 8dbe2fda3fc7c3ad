// Fine detail: the worked examples (steps, a single pixel, colour pixels) and the step table behind
// the edge value. What it shares with the other methods (flat areas, the 3 x height progress
// count) is in method_contract_test.cpp.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <vector>

#include "edges/fine_detail.h"
#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/skinny_fine_reference.h"

namespace {

using namespace edgetest;

TEST(FineDetail, VerticalStepsScoreByContrastRatioNotHeight) {
    // Dark on the left: the dark side's share is 0.3331 (black), the bright side's 0.1880 (v = 223).
    struct Case {
        uint8_t low, high;
        uint8_t darkSide, brightSide;
    } cases[] = {{0, 10, 0, 32}, {0, 1, 0, 32}, {0, 255, 0, 32}, {100, 110, 194, 195}};
    for (const Case& c : cases) {
        const Image in = Columns({c.low, c.low, c.low, c.high, c.high, c.high}, 1, 5);
        int16_t code = -1;
        const Image out = Apply(kMethodFineDetail, 0, in, 1, &code);
        ASSERT_EQ(code, 0);
        for (int32_t y = 0; y < in.height; ++y) {
            const uint8_t expected[6] = {255, 255, c.darkSide, c.brightSide, 255, 255};
            for (int32_t x = 0; x < in.width; ++x)
                EXPECT_EQ(out.at(x, y), expected[x]) << int(c.low) << "->" << int(c.high) << " at " << x << "," << y;
        }
    }
}

TEST(FineDetail, HorizontalStepMatchesTheVerticalOne) {
    Image in = Blank(4, 6, 1);
    for (int32_t y = 0; y < in.height; ++y)
        for (int32_t x = 0; x < in.width; ++x) in.at(x, y) = y < 3 ? 0 : 10;
    int16_t code = -1;
    const Image out = Apply(kMethodFineDetail, 0, in, 0, &code);
    ASSERT_EQ(code, 0);
    for (int32_t x = 0; x < in.width; ++x) {
        EXPECT_EQ(out.at(x, 2), 0);
        EXPECT_EQ(out.at(x, 3), 32);
    }
}

TEST(FineDetail, SinglePixelOnBlack) {
    Image in = Blank(7, 7, 1);
    in.at(3, 3) = 10;
    int16_t code = -1;
    const Image out = Apply(kMethodFineDetail, 0, in, 0, &code);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(out.at(3, 3), 255);  // its own pattern is no edge: Q = 0
    EXPECT_EQ(out.at(3, 2), 34);   // the pixel above
    EXPECT_EQ(out.at(4, 2), 34);   // the pixel to its upper right
    EXPECT_EQ(out.at(0, 0), 255);  // all-zero neighbourhood: T taken as 1
    EXPECT_EQ(out.bytes, ReferenceFineDetail(in).bytes);
}

TEST(FineDetail, ColourPixelTakesTheEdgeBrightness) {
    // (200, 100, 50) has brightness 117; beside a column of brightness 150 its edge value is 100,
    // so it becomes (238, 138, 89); the flat colour further left becomes (255, 238, 189).
    const Image in = Columns({200, 100, 50, 200, 100, 50, 200, 100, 50, 150, 150, 150, 150, 150, 150}, 3, 4);
    int16_t code = -1;
    const Image out = Apply(kMethodFineDetail, 0, in, 1, &code);
    ASSERT_EQ(code, 0);
    for (int32_t y = 0; y < in.height; ++y) {
        const uint8_t left[3] = {255, 238, 189}, edge[3] = {238, 138, 89};
        for (int32_t ch = 0; ch < 3; ++ch) {
            EXPECT_EQ(out.at(0, y, ch), left[ch]);
            EXPECT_EQ(out.at(2, y, ch), edge[ch]);
        }
    }
}

TEST(FineDetail, StepTableIsAStaircaseFromWhiteToBlack) {
    const uint32_t one = std::bit_cast<uint32_t>(1.0f);
    EXPECT_EQ(kEdgeShareSteps.bits[0], 0xFFFFFFFFu);
    for (int32_t j = 1; j < 256; ++j) {
        EXPECT_LE(kEdgeShareSteps.bits[j], kEdgeShareSteps.bits[j - 1]) << j;
        EXPECT_LE(kEdgeShareSteps.bits[j], one) << j;
        // At the step the value falls below j; just before it, it is j or more.
        const uint32_t step = kEdgeShareSteps.bits[j];
        EXPECT_LT(EdgeShareValue(std::bit_cast<float>(step)), j) << j;
        if (step > 0) {
            EXPECT_GE(EdgeShareValue(std::bit_cast<float>(step - 1)), j) << j;
        }
    }
    // No share gives a right angle: y = 0 (all energy in the edge masks) and every y up to the
    // last step are clamped at 255; y = 1 (no edge energy) gives an angle of 0.
    struct Case {
        float y;
        int32_t v;
    } cases[] = {{0.0f, 255}, {1e-30f, 255}, {1.0f, 0}, {0.99999994f, 0}, {0.5f, 241}};
    for (const Case& c : cases) EXPECT_EQ(EdgeShareValue(c.y), c.v) << c.y;
}

// The edge value of a ratio d by the share it makes (every square root is correctly rounded).
int32_t ValueThroughTheShare(double d) { return EdgeShareValue(float(1.0 - std::sqrt(d))); }

TEST(FineDetail, RatioTableGivesTheValueOfTheShare) {
    // Around every step of the ratio table, and the bucket starts.
    int32_t steps = 0;
    for (int32_t i = 0; i < kEdgeRatioBucketCount; ++i) {
        if (kEdgeRatioSteps.step[i] == 2.0) continue;
        ++steps;
        const uint64_t step = std::bit_cast<uint64_t>(kEdgeRatioSteps.step[i]);
        for (int64_t d = -3; d <= 3; ++d) {
            const double ratio = std::bit_cast<double>(uint64_t(int64_t(step) + d));
            ASSERT_EQ(EdgeRatioValue(ratio), ValueThroughTheShare(ratio)) << "bucket " << i << " offset " << d;
        }
        EXPECT_EQ(EdgeRatioValue(kEdgeRatioSteps.step[i]) + 1,
                  EdgeRatioValue(std::bit_cast<double>(step + 1)))
            << "one step per bucket, each worth 1";
    }
    EXPECT_EQ(steps, 255);
    // A dense sweep over the doubles of [0, 1], and the ends.
    const uint64_t one = std::bit_cast<uint64_t>(1.0);
    for (uint64_t bits = 0; bits <= one; bits += one / 3000001) {
        const double ratio = std::bit_cast<double>(bits);
        ASSERT_EQ(EdgeRatioValue(ratio), ValueThroughTheShare(ratio)) << std::hexfloat << ratio;
    }
    struct Case {
        double ratio;
        int32_t value;
    } cases[] = {{0.0, 0}, {1e-12, 0}, {1.0, 255}, {0.5, 255}, {0.3331, 255}, {0.1880, 223}};
    for (const Case& c : cases) EXPECT_EQ(EdgeRatioValue(c.ratio), c.value) << c.ratio;
}

// An estimate that the table settles has the value of every double within 16 of its units in the
// last place, also at the edges of the buckets; the others (near a step) are left to the double
// arithmetic.
TEST(FineDetail, EstimateTableSettlesOnlyWhatTheRatioDecides) {
    int64_t tried = 0, open = 0;
    for (int32_t bucket = 0; bucket < kEdgeRatioEstimateBucketCount; ++bucket) {
        const uint32_t start = bucket == 0 ? std::bit_cast<uint32_t>(0x1p-36f)
                                           : (kEdgeRatioEstimateFirst + uint32_t(bucket - 1)) << 16;
        const int32_t place = int32_t(kEdgeRatioEstimateSteps.entry[bucket] & 0xFFFFFF);
        std::vector<int32_t> lows = {0, 1, 63, 64, 65, 32768, 65470, 65471, 65472, 65535};
        for (int32_t low = 5; low < 65536; low += 251) lows.push_back(low);
        for (int32_t d = -66; d <= 66; ++d) lows.push_back(place + d);
        for (int32_t low : lows) {
            if (low < 0 || low > 0xFFFF) continue;
            const float f = std::bit_cast<float>(start + uint32_t(low));
            if (f > 1.0f) continue;
            ++tried;
            const int32_t value = EdgeRatioEstimateValue(f);
            if (value < 0) {
                ++open;
                continue;
            }
            const double unit = double(std::bit_cast<float>(std::bit_cast<uint32_t>(f) + 1)) - double(f);
            for (double ratio : {double(f) - 16 * unit, double(f), double(f) + 16 * unit}) {
                if (ratio < 0.0 || ratio > 1.0) continue;
                ASSERT_EQ(value, EdgeRatioValue(ratio)) << "bucket " << bucket << " low " << low << std::hexfloat
                                                        << " estimate " << f << " ratio " << ratio;
            }
        }
    }
    EXPECT_EQ(EdgeRatioEstimateValue(0.0f), 0);
    EXPECT_EQ(EdgeRatioEstimateValue(0x1p-40f), 0);
    // The samples crowd around the steps and edges; over all floats far fewer stay open.
    EXPECT_LT(double(open), 0.5 * double(tried));
    EXPECT_GT(open, 0);
}

}  // namespace

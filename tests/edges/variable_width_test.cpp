// Variable width: the published step profiles for each reach, the normalisation by the peak, the
// lopsided reach-3 weights, the copied top rows, colour casts, progress over two passes, a stop in
// each pass and unsupported line widths.
#include <gtest/gtest.h>

#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/traditional_smoother_variable_reference.h"

namespace {

using namespace edgetest;

Image RunVariable(const Image& in, int32_t lineWidth, int32_t flag, int16_t* code, FakeRun* fake) {
    ImageBuffer* buffer = MakeBuffer(in);
    EXPECT_NE(buffer, nullptr);
    *code = FindEdgesVariableWidth(buffer, &fake->progress, lineWidth - 2, flag);
    Image out = ReadBack(buffer);
    DisposeImageBuffer(buffer);
    return out;
}

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
        const Image out = RunVariable(in, c.reach + 2, 1, &code, &fake);
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
    const Image out = RunVariable(in, 3, 0, &code, &fake);
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
    const Image out = RunVariable(in, 5, 0, &code, &fake);
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
        for (int32_t lineWidth = 3; lineWidth <= 5; ++lineWidth) {
            FakeRun fake;
            int16_t code = -1;
            const Image out = RunVariable(in, lineWidth, 1, &code, &fake);
            EXPECT_EQ(code, 0);
            const size_t rowBytes = size_t(in.width * planes);
            for (int32_t y = 0; y < 3; ++y)
                EXPECT_TRUE(std::equal(out.bytes.begin() + y * rowBytes, out.bytes.begin() + (y + 1) * rowBytes,
                                       out.bytes.begin() + 3 * rowBytes));
        }
    }
}

TEST(VariableWidth, ColourPixelsKeepTheirDifferences) {
    // A uniform colour image has no gradient at all: every mean level becomes 255, and the colour
    // differences ride on it exactly as in a flat area of any other picture.
    const struct {
        uint8_t in[3], out[3];
    } cases[] = {
        {{200, 100, 50}, {255, 238, 189}},  // d = 100, e = 50
        {{0, 0, 255}, {170, 170, 255}},     // d = -255, e = 0
        {{128, 128, 128}, {255, 255, 255}},
    };
    for (const auto& c : cases) {
        Image in = Blank(6, 5, 3);
        for (size_t i = 0; i < in.bytes.size(); ++i) in.bytes[i] = c.in[i % 3];
        for (int32_t lineWidth = 3; lineWidth <= 5; ++lineWidth) {
            FakeRun fake;
            int16_t code = -1;
            const Image out = RunVariable(in, lineWidth, 1, &code, &fake);
            EXPECT_EQ(code, 0);
            for (size_t i = 0; i < out.bytes.size(); ++i) ASSERT_EQ(out.bytes[i], c.out[i % 3]) << i;
        }
    }
}

TEST(VariableWidth, ThreeRowsOrFewerAreUnchanged) {
    for (int32_t height : {1, 2, 3}) {
        const Image in = PhotoLike(8, height, 3, 2);
        FakeRun fake;
        int16_t code = -1;
        const Image out = RunVariable(in, 4, 1, &code, &fake);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(out.bytes, in.bytes);
        EXPECT_TRUE(fake.log.events.empty());
    }
}

TEST(VariableWidth, ProgressCoversBothPasses) {
    const int32_t height = 7;
    const Image in = PhotoLike(5, height, 1, 8);
    FakeRun fake;
    int16_t code = -1;
    RunVariable(in, 4, 1, &code, &fake);
    EXPECT_EQ(code, 0);
    std::vector<std::pair<int32_t, int32_t>> expected;
    for (int32_t pass = 1; pass <= 2; ++pass)
        for (int32_t j = 0; j <= height - 4; ++j) expected.emplace_back((pass - 1) * height + j, 2 * height);
    EXPECT_EQ(fake.Steps(), expected);
    for (size_t i = 0; i < fake.log.events.size(); ++i) EXPECT_EQ(fake.log.events[i], i % 2 ? "A" : "P");
}

TEST(VariableWidth, StopInTheSecondPassKeepsTheRowsAlreadyWritten) {
    // The rows a stop leaves written are those of the single-threaded order; with several
    // threads any band may be part done (threads_test.cpp).
    const ThreadsOverride oneThread(1);
    const int32_t height = 9, rowsPerPass = height - 3;
    const Image in = PhotoLike(11, height, 3, 40);
    for (int32_t lineWidth = 3; lineWidth <= 5; ++lineWidth) {
        const Image done = ReferenceVariableWidth(in, lineWidth - 2);
        for (int32_t stopAt = 1; stopAt <= 2 * rowsPerPass; ++stopAt) {
            FakeRun fake(stopAt);
            ImageBuffer* buffer = MakeBuffer(in);
            const LiveResources before = CountLiveResources();
            EXPECT_EQ(FindEdgesVariableWidth(buffer, &fake.progress, lineWidth - 2, 1), kErrUserCancelled);
            const LiveResources after = CountLiveResources();
            EXPECT_EQ(after.memoryBlocks, before.memoryBlocks);
            EXPECT_EQ(after.mappings, before.mappings);
            const Image out = ReadBack(buffer);
            DisposeImageBuffer(buffer);
            // Stopped at the start of row j of pass 2: rows 0 .. j + 2 are written when j >= 1.
            const int32_t j = stopAt - rowsPerPass - 1;
            const int32_t written = j >= 1 ? j + 3 : 0;
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < in.width; ++x)
                    for (int32_t c = 0; c < 3; ++c)
                        ASSERT_EQ(out.at(x, y, c), y < written ? done.at(x, y, c) : in.at(x, y, c))
                            << "line width " << lineWidth << " stop " << stopAt << " at " << x << "," << y;
        }
    }
}

TEST(VariableWidth, UnsupportedLineWidthIsRefusedUntouched) {
    const Image in = PhotoLike(9, 8, 1, 1);
    for (int32_t lineWidth : {-1, 0, 2, 6, 255}) {
        FakeRun fake;
        const LiveResources before = CountLiveResources();
        int16_t code = 0;
        const Image out = RunVariable(in, lineWidth, 1, &code, &fake);
        EXPECT_EQ(code, kErrBadParameters) << lineWidth;
        EXPECT_EQ(out.bytes, in.bytes);
        EXPECT_TRUE(fake.log.events.empty());
        EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks);
    }
}

TEST(VariableWidth, WidestImageMatchesReference) {
    const Image in = PhotoLike(32767, 5, 1, 9);
    FakeRun fake;
    int16_t code = -1;
    const Image out = RunVariable(in, 5, 0, &code, &fake);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out.bytes, ReferenceVariableWidth(in, 3).bytes);
}

}  // namespace

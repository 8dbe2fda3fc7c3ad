// Traditional: the Sobel magnitude values, channel independence, the untouched border, the
// progress sequence and a stop at every row.
#include <gtest/gtest.h>

#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/traditional_smoother_variable_reference.h"

namespace {

using namespace edgetest;

Image RunTraditional(const Image& in, int32_t flag, int16_t* code, FakeRun* fake) {
    ImageBuffer* buffer = MakeBuffer(in);
    EXPECT_NE(buffer, nullptr);
    *code = FindEdgesTraditional(buffer, &fake->progress, flag);
    Image out = ReadBack(buffer);
    DisposeImageBuffer(buffer);
    return out;
}

TEST(Traditional, VerticalStepGivesTheSobelValueOnBothSides) {
    // (low, high, value beside the step): the division by 5 comes before the square root.
    const struct {
        uint8_t low, high, expected;
    } cases[] = {{0, 10, 238}, {0, 255, 0}, {0, 1, 254}, {0, 2, 252}, {0, 3, 250}, {10, 0, 238}, {40, 40, 255}};
    for (const auto& c : cases) {
        const Image in = VerticalStep(8, 5, 4, c.low, c.high);
        FakeRun fake;
        int16_t code = -1;
        const Image out = RunTraditional(in, 1, &code, &fake);
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
        const Image out = RunTraditional(in, 0, &code, &fake);
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
    const Image out = RunTraditional(in, 1, &code, &fake);
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

TEST(Traditional, ImagesTooSmallToComputeAreUnchanged) {
    for (auto size : {std::pair{5, 2}, std::pair{5, 1}, std::pair{2, 5}, std::pair{1, 5}, std::pair{2, 2}}) {
        const Image in = PhotoLike(size.first, size.second, 3, 11);
        FakeRun fake;
        int16_t code = -1;
        const Image out = RunTraditional(in, 1, &code, &fake);
        EXPECT_EQ(code, 0);
        EXPECT_EQ(out.bytes, in.bytes);
        // Fewer than 3 rows: no row is visited at all.
        if (size.second < 3) {
            EXPECT_TRUE(fake.log.events.empty());
        }
    }
}

TEST(Traditional, ReportsEachRowThenTestsForAbort) {
    const Image in = PhotoLike(9, 7, 1, 3);
    FakeRun fake;
    int16_t code = -1;
    RunTraditional(in, 1, &code, &fake);
    EXPECT_EQ(code, 0);
    std::vector<std::pair<int32_t, int32_t>> expected;
    for (int32_t h = 0; h <= 4; ++h) expected.emplace_back(h, 7);
    EXPECT_EQ(fake.Steps(), expected);
    EXPECT_EQ(fake.log.progress.front(), (std::pair<int32_t, int32_t>{7, 42}));
    const std::vector<std::string> order = {"P", "A", "P", "A", "P", "A", "P", "A", "P", "A"};
    EXPECT_EQ(fake.log.events, order);
}

TEST(Traditional, StopAtARowKeepsEarlierRowsAndReleasesEverything) {
    // The rows a stop leaves written are those of the single-threaded order; with several
    // threads any band may be part done (threads_test.cpp).
    const ThreadsOverride oneThread(1);
    const Image in = PhotoLike(10, 8, 3, 21);
    const Image done = ReferenceTraditional(in);
    for (int32_t stopAt = 1; stopAt <= 6; ++stopAt) {
        FakeRun fake(stopAt);
        ImageBuffer* buffer = MakeBuffer(in);
        const LiveResources before = CountLiveResources();
        EXPECT_EQ(FindEdgesTraditional(buffer, &fake.progress, 1), kErrUserCancelled);
        const LiveResources after = CountLiveResources();
        EXPECT_EQ(after.memoryBlocks, before.memoryBlocks);
        EXPECT_EQ(after.mappings, before.mappings);
        const Image out = ReadBack(buffer);
        DisposeImageBuffer(buffer);
        // Stopped at the start of loop row h = stopAt - 1: rows 1 .. h carry edges.
        for (int32_t y = 0; y < in.height; ++y) {
            const bool computed = y >= 1 && y <= stopAt - 1;
            for (int32_t x = 0; x < in.width; ++x)
                for (int32_t c = 0; c < 3; ++c)
                    ASSERT_EQ(out.at(x, y, c), computed ? done.at(x, y, c) : in.at(x, y, c))
                        << "stop " << stopAt << " at " << x << "," << y;
        }
    }
}

TEST(Traditional, WidestImageMatchesReference) {
    const Image in = PhotoLike(32767, 4, 1, 8);
    FakeRun fake;
    int16_t code = -1;
    const Image out = RunTraditional(in, 1, &code, &fake);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(out.bytes, ReferenceTraditional(in).bytes);
}

}  // namespace

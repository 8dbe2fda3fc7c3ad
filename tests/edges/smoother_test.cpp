// Smoother: the three directional responses, colour casts kept through the brightness and
// difference triple, the three-pass progress sequence, a stop in each pass, and a document too
// wide for the bordered scratch image.
#include <gtest/gtest.h>

#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/traditional_smoother_variable_reference.h"

namespace {

using namespace edgetest;

Image RunSmoother(const Image& in, int32_t flag, int16_t* code, FakeRun* fake) {
    ImageBuffer* buffer = MakeBuffer(in);
    EXPECT_NE(buffer, nullptr);
    *code = FindEdgesSmoother(buffer, &fake->progress, flag);
    Image out = ReadBack(buffer);
    DisposeImageBuffer(buffer);
    return out;
}

TEST(Smoother, VerticalStepGivesTheLargestResponseOnBothSides) {
    // Beside a 0 -> 10 step: Kh = 40, Kd = 30, Kv = 0, so (510 - 40) div 2 = 235.
    const struct {
        uint8_t low, high, expected;
    } cases[] = {{0, 10, 235}, {10, 0, 235}, {0, 255, 0}, {0, 127, 1}, {0, 1, 253}, {60, 60, 255}};
    for (const auto& c : cases) {
        const Image in = VerticalStep(6, 4, 3, c.low, c.high);
        FakeRun fake;
        int16_t code = -1;
        const Image out = RunSmoother(in, 1, &code, &fake);
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
    const Image out = RunSmoother(in, 1, &code, &fake);
    EXPECT_EQ(code, 0);
    // South-west of the dot: |Kh| = |Kv| = 10 and Kd = 0 (the SW-NE diagonal would give 20).
    EXPECT_EQ(out.at(2, 4), 250);
    // North-west of the dot: Kd = 20 is its largest response.
    EXPECT_EQ(out.at(2, 2), 245);
    EXPECT_EQ(out.at(3, 3), 255);
    EXPECT_EQ(out.bytes, ReferenceSmoother(in).bytes);
}

TEST(Smoother, ColourPixelsKeepTheirCast) {
    const struct {
        uint8_t in[3], out[3];
    } cases[] = {
        {{200, 100, 50}, {255, 238, 189}},  // triple (117, 178, 178) -> (255, 178, 178)
        {{90, 90, 90}, {255, 255, 255}},
        {{0, 0, 255}, {171, 171, 255}},  // D2 = 1: t = -254
        {{255, 0, 0}, {255, 170, 171}},  // D1 = 255, D2 = 191
    };
    for (const auto& c : cases) {
        Image in = Blank(4, 3, 3);
        for (size_t i = 0; i < in.bytes.size(); ++i) in.bytes[i] = c.in[i % 3];
        FakeRun fake;
        int16_t code = -1;
        const Image out = RunSmoother(in, 1, &code, &fake);
        EXPECT_EQ(code, 0);
        for (size_t i = 0; i < out.bytes.size(); ++i)
            ASSERT_EQ(out.bytes[i], c.out[i % 3]) << int(c.in[0]) << "," << int(c.in[1]) << "," << int(c.in[2]);
    }
}

TEST(Smoother, ProgressRunsThroughThreePassesWithoutStepBack) {
    const int32_t height = 5;
    const Image in = PhotoLike(8, height, 3, 4);
    FakeRun fake;
    int16_t code = -1;
    RunSmoother(in, 1, &code, &fake);
    EXPECT_EQ(code, 0);
    std::vector<std::pair<int32_t, int32_t>> expected;
    for (int32_t k = 0; k < 3 * height; ++k) expected.emplace_back(k, 3 * height);
    EXPECT_EQ(fake.Steps(), expected);
    EXPECT_EQ(fake.log.abortTests, 3 * height);
    for (size_t i = 0; i < fake.log.events.size(); ++i) EXPECT_EQ(fake.log.events[i], i % 2 ? "A" : "P");
}

TEST(Smoother, StopLeavesTheImageAloneUntilThePassThatWritesIt) {
    // The rows a stop leaves written are those of the single-threaded order; with several
    // threads any band may be part done (threads_test.cpp).
    const ThreadsOverride oneThread(1);
    const int32_t height = 6;
    const Image in = PhotoLike(9, height, 3, 12);
    const Image done = ReferenceSmoother(in);
    for (int32_t stopAt = 1; stopAt <= 3 * height; ++stopAt) {
        FakeRun fake(stopAt);
        ImageBuffer* buffer = MakeBuffer(in);
        const LiveResources before = CountLiveResources();
        EXPECT_EQ(FindEdgesSmoother(buffer, &fake.progress, 1), kErrUserCancelled);
        const LiveResources after = CountLiveResources();
        EXPECT_EQ(after.memoryBlocks, before.memoryBlocks) << stopAt;
        EXPECT_EQ(after.mappings, before.mappings) << stopAt;
        const Image out = ReadBack(buffer);
        DisposeImageBuffer(buffer);
        // A stop at the start of row y of pass 3 (call 2H + y + 1) leaves rows 0 .. y - 1 converted.
        const int32_t converted = stopAt > 2 * height ? stopAt - 2 * height - 1 : 0;
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < in.width; ++x)
                for (int32_t c = 0; c < 3; ++c)
                    ASSERT_EQ(out.at(x, y, c), y < converted ? done.at(x, y, c) : in.at(x, y, c))
                        << "stop " << stopAt << " at " << x << "," << y;
    }
}

TEST(Smoother, TheWidestAndHighestDocumentsMatchTheReference) {
    // Their bordered scratch images are 32768 and 32769 pixels across.
    const struct {
        int32_t width, height, planes;
    } sizes[] = {{32766, 2, 1}, {32767, 3, 3}, {1, 32767, 1}, {2, 32766, 3}};
    for (const auto& size : sizes) {
        const Image in = PhotoLike(size.width, size.height, size.planes, 14);
        FakeRun fake;
        int16_t code = -1;
        const Image out = RunSmoother(in, 0, &code, &fake);
        EXPECT_EQ(code, 0) << size.width << "x" << size.height;
        EXPECT_EQ(out.bytes, ReferenceSmoother(in).bytes) << size.width << "x" << size.height;
    }
}

}  // namespace

// Every method gives the bytes of the single-threaded run (hashes taken before the methods ran in
// bands) at every thread count, also beyond the rows of a tiny image, reports the same progress
// steps in the same order, and when asked to stop with several threads ends with -128, all its
// threads joined and every block given back.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

#include "base/workers.h"
#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"

namespace {

using namespace edgetest;

struct Case {
    const char* name;
    int32_t method, radius, width, height, planes;
    uint64_t hash;
};

const Case kCases[] = {
    {"Traditional grey", 3, 2, 61, 47, 1, 0x2d4a169662694df1ull},
    {"Traditional colour", 3, 2, 61, 47, 3, 0x5ed35c7f9a5a8416ull},
    {"Traditional tiny", 3, 2, 9, 5, 3, 0xef76088cc6f24d99ull},
    {"Skinny grey", 4, 2, 61, 47, 1, 0xd067ec050161d8b0ull},
    {"Skinny colour", 4, 2, 61, 47, 3, 0x973a505d8042d5beull},
    {"Skinny tiny", 4, 2, 9, 5, 1, 0x30d7a48075fc81bcull},
    {"Smoother grey", 5, 2, 61, 47, 1, 0x24877a91e4a1f226ull},
    {"Smoother colour", 5, 2, 61, 47, 3, 0x69fce018679be299ull},
    {"Smoother tiny", 5, 2, 9, 5, 3, 0x8ef481e641988462ull},
    {"Fine grey", 6, 2, 61, 47, 1, 0x1209de84dcf78668ull},
    {"Fine colour", 6, 2, 61, 47, 3, 0x55ee8905dcfc0e25ull},
    {"Fine tiny", 6, 2, 9, 5, 1, 0xe337b4b86151d912ull},
    {"Variable 1 grey", 7, 1, 61, 47, 1, 0x2814186321baa4f1ull},
    {"Variable 2 colour", 7, 2, 61, 47, 3, 0x42aeb36001a0f63aull},
    {"Variable 3 grey", 7, 3, 61, 47, 1, 0x33b2119852d3a5b8ull},
    {"Variable 3 colour", 7, 3, 61, 47, 3, 0xa3d10a796ad42d02ull},
    {"Variable 2 tiny", 7, 2, 9, 5, 3, 0x7174252bf5c51ee6ull},
    {"Variable 3 short", 7, 3, 23, 11, 1, 0xb85e670593e37fedull},
};

struct Outcome {
    int16_t code;
    uint64_t hash;
    std::vector<std::pair<int32_t, int32_t>> steps;
};

Outcome RunCase(const Case& c, int32_t threads, int32_t abortAtCall = 0) {
    const ThreadsOverride override(threads);
    const Image in = PhotoLike(c.width, c.height, c.planes, uint32_t(c.method * 977 + c.width * 31 + c.planes));
    ImageBuffer* buffer = MakeBuffer(in);
    EXPECT_NE(buffer, nullptr);
    FakeRun fake(abortAtCall);
    Outcome outcome;
    outcome.code = RunEdgeMethod(c.method, c.radius, buffer, &fake.progress, 1);
    outcome.hash = Fnv1a64(ReadBack(buffer).bytes);
    outcome.steps = fake.Steps();
    DisposeImageBuffer(buffer);
    return outcome;
}

TEST(MethodThreads, EveryThreadCountGivesTheSingleThreadedBytesAndSteps) {
    for (const Case& c : kCases) {
        const Outcome one = RunCase(c, 1);
        char hex[32];
        std::snprintf(hex, sizeof hex, "0x%016" PRIx64 "ull", one.hash);
        EXPECT_EQ(one.hash, c.hash) << c.name << ": " << hex;
        for (int32_t threads : {2, 3, 7, 64}) {
            const Outcome many = RunCase(c, threads);
            EXPECT_EQ(many.code, 0) << c.name << ", " << threads;
            EXPECT_EQ(many.hash, one.hash) << c.name << ", " << threads << " threads";
            EXPECT_EQ(many.steps, one.steps) << c.name << ", " << threads << " threads";
        }
    }
}

TEST(MethodThreads, AStopEndsEveryThreadAndGivesBackEveryBlock) {
    for (const Case& c : kCases) {
        const int32_t calls = int32_t(RunCase(c, 1).steps.size());
        for (int32_t threads : {3, 7}) {
            const LiveResources before = CountLiveResources();
            const Outcome stopped = RunCase(c, threads, calls / 2);
            const LiveResources after = CountLiveResources();
            EXPECT_EQ(stopped.code, -128) << c.name << ", " << threads;
            EXPECT_EQ(int32_t(stopped.steps.size()), calls / 2) << c.name << ", " << threads;
            for (size_t i = 1; i < stopped.steps.size(); ++i)
                EXPECT_LT(stopped.steps[i - 1].first, stopped.steps[i].first) << c.name << ", step " << i;
            EXPECT_EQ(after.memoryBlocks, before.memoryBlocks) << c.name;
            EXPECT_EQ(after.mappings, before.mappings) << c.name;
        }
    }
}

}  // namespace

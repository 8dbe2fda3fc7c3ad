// Every build must produce the same bytes: the outputs of every method (each reach of Variable
// width) on fixed generated 61x47 images hash to constants taken from the native build, so the
// same test run under the 32- and 64-bit Windows builds proves they agree with it, at every kernel
// level the processor has.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>

#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/kernel_levels.h"

namespace {

using namespace edgetest;

uint64_t HashOfMethod(int32_t method, int32_t lineWidth, int32_t planes, uint32_t seed) {
    const Image in = PhotoLike(61, 47, planes, seed);
    ImageBuffer* buffer = MakeBuffer(in);
    EXPECT_NE(buffer, nullptr);
    FakeRun fake;
    EXPECT_EQ(RunEdgeMethod(method, lineWidth - 2, buffer, &fake.progress, 1), 0);
    const Image out = ReadBack(buffer);
    DisposeImageBuffer(buffer);
    EXPECT_NE(out.bytes, in.bytes);
    return Fnv1a64(out.bytes);
}

TEST(CrossBuildHash, InputImagesAreTheSameEverywhere) {
    EXPECT_EQ(Fnv1a64(PhotoLike(61, 47, 1, 0x61470001u).bytes), 0xe83a96e9daa0c6b4ull);
    EXPECT_EQ(Fnv1a64(PhotoLike(61, 47, 3, 0x61470003u).bytes), 0x249384cb6ebd0197ull);
}

TEST(CrossBuildHash, MethodOutputsAreTheSameEverywhere) {
    const struct {
        const char* name;
        int32_t method, lineWidth, planes;
        uint32_t seed;
        uint64_t hash;
    } cases[] = {
        {"Traditional grey", kMethodTraditional, 0, 1, 0x61470001u, 0xf664fbf557b63638ull},
        {"Traditional colour", kMethodTraditional, 0, 3, 0x61470003u, 0x51e8fe30d3b0bee6ull},
        {"Smoother grey", kMethodSmoother, 0, 1, 0x61470001u, 0x69210badcf3da79aull},
        {"Smoother colour", kMethodSmoother, 0, 3, 0x61470003u, 0x5a49f98f3048b0fdull},
        {"Variable width 1 grey", kMethodVariableWidth, 3, 1, 0x61470001u, 0x1c25c097469591afull},
        {"Variable width 1 colour", kMethodVariableWidth, 3, 3, 0x61470003u, 0x58374bf86f8aa159ull},
        {"Variable width 2 grey", kMethodVariableWidth, 4, 1, 0x61470001u, 0xfd620ebde35d20f9ull},
        {"Variable width 2 colour", kMethodVariableWidth, 4, 3, 0x61470003u, 0x81994ad89cbcf61aull},
        {"Variable width 3 grey", kMethodVariableWidth, 5, 1, 0x61470001u, 0x3e0cc5a651be9309ull},
        {"Variable width 3 colour", kMethodVariableWidth, 5, 3, 0x61470003u, 0x7e56ac9e464f9742ull},
        {"Skinny lines grey", kMethodSkinnyLines, 0, 1, 6147, 0x96c46e1a53c9ab35ull},
        {"Skinny lines colour", kMethodSkinnyLines, 0, 3, 6147, 0x4683ca4130a4b024ull},
        {"Fine detail grey", kMethodFineDetail, 0, 1, 6147, 0xa411e067c7f08b0full},
        {"Fine detail colour", kMethodFineDetail, 0, 3, 6147, 0x8ecd4f0b9b187a02ull},
    };
    // Every kernel level this processor has gives the same bytes.
    for (int32_t level = kKernelPlain; level <= kKernelHighest; ++level) {
        if (!LevelAvailable(level)) {
            std::printf("%s\n", LevelMissing(level).c_str());
            continue;
        }
        LevelLimit limit(level);
        for (const auto& c : cases) {
            const uint64_t hash = HashOfMethod(c.method, c.lineWidth, c.planes, c.seed);
            char hex[32];
            std::snprintf(hex, sizeof hex, "0x%016" PRIx64 "ull", hash);
            EXPECT_EQ(hash, c.hash) << c.name << " at kernel level " << KernelLevelName(level) << ": " << hex;
        }
    }
}

}  // namespace

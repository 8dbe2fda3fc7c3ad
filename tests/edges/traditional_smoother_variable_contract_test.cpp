// What the Traditional, Smoother and Variable width methods share: exact agreement with the plain
// whole-image references on photograph-like images of many (also degenerate) sizes, silence with
// the preview flag, grey pixels staying grey, and no leak and no damage when memory runs out.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/traditional_smoother_variable_reference.h"

namespace {

using namespace edgetest;

struct MethodCase {
    const char* name;
    int32_t method;
    int32_t reach;  // Variable width only
};

const MethodCase kMethods[] = {
    {"Traditional", kMethodTraditional, 0}, {"Smoother", kMethodSmoother, 0},
    {"VariableReach1", kMethodVariableWidth, 1}, {"VariableReach2", kMethodVariableWidth, 2},
    {"VariableReach3", kMethodVariableWidth, 3},
};

void PrintTo(const MethodCase& m, std::ostream* os) { *os << m.name; }

int16_t RunMethod(const MethodCase& m, ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    if (m.method == kMethodTraditional) return FindEdgesTraditional(image, progress, flag);
    if (m.method == kMethodSmoother) return FindEdgesSmoother(image, progress, flag);
    return FindEdgesVariableWidth(image, progress, m.reach + 2, flag);
}

Image Reference(const MethodCase& m, const Image& in) {
    if (m.method == kMethodTraditional) return ReferenceTraditional(in);
    if (m.method == kMethodSmoother) return ReferenceSmoother(in);
    return ReferenceVariableWidth(in, m.reach);
}

// Runs the method on a buffer made from `in` and reads the result back.
Image Apply(const MethodCase& m, const Image& in, int32_t flag, int16_t* code, FakeRun* host = nullptr) {
    std::unique_ptr<FakeRun> local;
    if (!host) local = std::make_unique<FakeRun>();
    FakeRun& fake = host ? *host : *local;
    ImageBuffer* buffer = MakeBuffer(in);
    EXPECT_NE(buffer, nullptr);
    *code = RunMethod(m, buffer, &fake.progress, flag);
    Image out = ReadBack(buffer);
    DisposeImageBuffer(buffer);
    return out;
}

class GradientMethod : public ::testing::TestWithParam<MethodCase> {};

TEST_P(GradientMethod, MatchesReferenceOnPhotoLikeImagesOfManySizes) {
    const MethodCase m = GetParam();
    const int32_t sizes[][2] = {{1, 1}, {2, 2}, {3, 3}, {1, 9}, {9, 1}, {2, 7}, {7, 2}, {4, 4},
                                {5, 5}, {6, 4}, {4, 6}, {13, 11}, {61, 47}, {100, 37}, {37, 100}};
    uint32_t seed = 7;
    for (const auto& size : sizes) {
        for (int32_t planes : {1, 3}) {
            const Image in = PhotoLike(size[0], size[1], planes, seed++);
            int16_t code = -1;
            const Image out = Apply(m, in, 1, &code);
            EXPECT_EQ(code, 0);
            EXPECT_EQ(out.bytes, Reference(m, in).bytes)
                << m.name << " " << size[0] << "x" << size[1] << " planes " << planes;
        }
    }
}

TEST_P(GradientMethod, PreviewFlagMakesNoHostCallsAndSameResult) {
    const MethodCase m = GetParam();
    const Image in = PhotoLike(23, 19, 3, 99);
    int16_t code = -1;
    FakeRun full;
    const Image withHost = Apply(m, in, 1, &code, &full);
    EXPECT_EQ(code, 0);
    EXPECT_FALSE(full.log.progress.empty());
    // Only the low byte of the flag counts: 0x100 is a preview, 0x101 a full run.
    for (int32_t flag : {0, 0x100, 0x7F00}) {
        FakeRun silent;
        const Image preview = Apply(m, in, flag, &code, &silent);
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(silent.log.progress.empty()) << flag;
        EXPECT_EQ(silent.log.abortTests, 0) << flag;
        EXPECT_EQ(preview.bytes, withHost.bytes) << flag;
    }
    FakeRun high;
    Apply(m, in, 0x101, &code, &high);
    EXPECT_EQ(high.log.progress.size(), full.log.progress.size());
}

TEST_P(GradientMethod, GreyPixelsOfAColourImageComeOutAsTheGreyResult) {
    const MethodCase m = GetParam();
    const Image grey = PhotoLike(17, 13, 1, 5);
    Image colour = Blank(grey.width, grey.height, 3);
    for (int32_t y = 0; y < grey.height; ++y)
        for (int32_t x = 0; x < grey.width; ++x)
            for (int32_t c = 0; c < 3; ++c) colour.at(x, y, c) = grey.at(x, y);
    int16_t code = -1;
    const Image greyOut = Apply(m, grey, 0, &code);
    const Image colourOut = Apply(m, colour, 0, &code);
    for (int32_t y = 0; y < grey.height; ++y)
        for (int32_t x = 0; x < grey.width; ++x)
            for (int32_t c = 0; c < 3; ++c)
                ASSERT_EQ(colourOut.at(x, y, c), greyOut.at(x, y)) << m.name << " " << x << "," << y;
}

TEST_P(GradientMethod, FlatImageHasNoEdges) {
    const MethodCase m = GetParam();
    const Image in = Blank(9, 8, 1, 77);
    int16_t code = -1;
    const Image out = Apply(m, in, 1, &code);
    EXPECT_EQ(code, 0);
    for (int32_t y = 0; y < in.height; ++y) {
        for (int32_t x = 0; x < in.width; ++x) {
            // Traditional never computes the outermost rows and columns.
            const bool kept = m.method == kMethodTraditional &&
                              (x == 0 || y == 0 || x == in.width - 1 || y == in.height - 1);
            EXPECT_EQ(out.at(x, y), kept ? 77 : 255) << m.name << " " << x << "," << y;
        }
    }
}

TEST_P(GradientMethod, FailedAllocationReleasesEverythingAndLeavesImageAlone) {
    const MethodCase m = GetParam();
    FailureReset reset;
    const Image in = PhotoLike(12, 10, 3, 17);
    int32_t failures = 0;
    for (int32_t nth = 1; nth < 30; ++nth) {
        FakeRun fake;
        ImageBuffer* buffer = MakeBuffer(in);
        ASSERT_NE(buffer, nullptr);
        const LiveResources before = CountLiveResources();
        FailMemoryBlocksAfter(nth, false);
        const int16_t code = RunMethod(m, buffer, &fake.progress, 1);
        FailMemoryBlocksAfter(0, false);
        const LiveResources after = CountLiveResources();
        EXPECT_EQ(after.memoryBlocks, before.memoryBlocks) << nth;
        EXPECT_EQ(after.mappings, before.mappings) << nth;
        const Image out = ReadBack(buffer);
        DisposeImageBuffer(buffer);
        if (code == 0) break;  // the method makes fewer than nth allocations
        ++failures;
        EXPECT_EQ(code, kErrOutOfMemory) << nth;
        EXPECT_EQ(out.bytes, in.bytes) << nth;
    }
    // Two row blocks (Traditional), two and the scratch record (Smoother), eight (Variable width).
    const int32_t expected = m.method == kMethodTraditional ? 2 : m.method == kMethodSmoother ? 3 : 8;
    EXPECT_EQ(failures, expected);
}

TEST_P(GradientMethod, EmptyImagesPassThrough) {
    const MethodCase m = GetParam();
    for (auto size : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}}) {
        for (int32_t planes : {1, 3}) {
            FakeRun fake;
            ImageBuffer* buffer = nullptr;
            CreateImageBuffer("EdgeTest", int16_t(size.first), int16_t(size.second), int16_t(planes), &buffer);
            const LiveResources before = CountLiveResources();
            EXPECT_EQ(RunMethod(m, buffer, &fake.progress, 1), 0);
            const LiveResources after = CountLiveResources();
            EXPECT_EQ(after.memoryBlocks, before.memoryBlocks);
            EXPECT_EQ(after.mappings, before.mappings);
            DisposeImageBuffer(buffer);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, GradientMethod, ::testing::ValuesIn(kMethods),
                         [](const ::testing::TestParamInfo<MethodCase>& info) { return std::string(info.param.name); });

}  // namespace

// What every method shares (edges/methods.h): exact agreement with the plain whole-image
// references on photograph-like images of many (also degenerate) sizes and on the largest
// documents, silence with the preview flag, grey pixels staying grey, flat images without edges,
// the layouts it refuses, empty images, running out of memory, and stopping at any row.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/skinny_fine_reference.h"
#include "tests/edges/traditional_smoother_variable_reference.h"

namespace {

using namespace edgetest;

struct MethodCase {
    const char* name;
    int32_t method;
    int32_t reach;         // Variable width only
    int32_t allocations;   // row blocks plus scratch image records
    int32_t stagesBefore;  // heights of progress before the one pass that writes the image (0: none)
};

const MethodCase kMethods[] = {
    {"Traditional", kMethodTraditional, 0, 1, 0},      {"SkinnyLines", kMethodSkinnyLines, 0, 2, 12},
    {"Smoother", kMethodSmoother, 0, 2, 2},            {"FineDetail", kMethodFineDetail, 0, 2, 2},
    {"VariableReach1", kMethodVariableWidth, 1, 8, 0}, {"VariableReach2", kMethodVariableWidth, 2, 8, 0},
    {"VariableReach3", kMethodVariableWidth, 3, 8, 0},
};

void PrintTo(const MethodCase& m, std::ostream* os) { *os << m.name; }

int16_t RunMethod(const MethodCase& m, ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    return RunEdgeMethod(m.method, m.reach, image, progress, flag);
}

Image Reference(const MethodCase& m, const Image& in) {
    switch (m.method) {
        case kMethodTraditional:
            return ReferenceTraditional(in);
        case kMethodSkinnyLines:
            return ReferenceSkinnyLines(in);
        case kMethodSmoother:
            return ReferenceSmoother(in);
        case kMethodFineDetail:
            return ReferenceFineDetail(in);
        default:
            return ReferenceVariableWidth(in, m.reach);
    }
}

// Runs the method on a buffer made from `in` and reads the result back; `host` sees the calls, or
// a fake host of its own when none is given.
Image Apply(const MethodCase& m, const Image& in, int32_t flag, int16_t* code, FakeRun* host = nullptr) {
    if (!host) {
        FakeRun local;
        return Apply(m, in, flag, code, &local);
    }
    ImageBuffer* buffer = MakeBuffer(in);
    EXPECT_NE(buffer, nullptr);
    *code = RunMethod(m, buffer, &host->progress, flag);
    Image out = ReadBack(buffer);
    DisposeImageBuffer(buffer);
    return out;
}

bool SameLive(const LiveResources& a, const LiveResources& b) {
    return a.memoryBlocks == b.memoryBlocks && a.pluginHandles == b.pluginHandles && a.mappings == b.mappings;
}

class MethodContract : public ::testing::TestWithParam<MethodCase> {};

TEST_P(MethodContract, MatchesReferenceOnPhotoLikeImagesOfManySizes) {
    const MethodCase m = GetParam();
    const int32_t sizes[][2] = {{1, 1}, {2, 2}, {3, 3}, {1, 9},   {9, 1},   {2, 7},  {7, 2},   {4, 4},
                                {5, 3}, {5, 5}, {6, 4}, {4, 6}, {13, 11}, {61, 47}, {100, 37}, {37, 100}};
    uint32_t seed = 7;
    for (const auto& size : sizes) {
        for (int32_t planes : {1, 3}) {
            const Image in = PhotoLike(size[0], size[1], planes, seed++);
            int16_t code = -1;
            const Image out = Apply(m, in, 1, &code);
            EXPECT_EQ(code, 0);
            EXPECT_EQ(out.bytes, Reference(m, in).bytes) << size[0] << "x" << size[1] << " planes " << planes;
        }
    }
}

TEST_P(MethodContract, TheLargestDocumentsMatchTheReference) {
    // Bordered scratch images 32768 and 32769 pixels across.
    const MethodCase m = GetParam();
    const int32_t sizes[][3] = {{32766, 1, 1}, {1, 32766, 1}, {32767, 2, 3}, {1, 32767, 1}};
    for (const auto& size : sizes) {
        Image in = Blank(size[0], size[1], size[2]);
        for (size_t i = 0; i < in.bytes.size(); ++i) in.bytes[i] = uint8_t(i * 7);
        const LiveResources before = CountLiveResources();
        int16_t code = -1;
        const Image out = Apply(m, in, 1, &code);
        EXPECT_EQ(code, 0) << size[0] << "x" << size[1];
        EXPECT_EQ(out.bytes, Reference(m, in).bytes) << size[0] << "x" << size[1];
        EXPECT_TRUE(SameLive(CountLiveResources(), before));
    }
}

TEST_P(MethodContract, PreviewFlagMakesNoHostCallsAndSameResult) {
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
        EXPECT_TRUE(silent.log.events.empty()) << flag;
        EXPECT_EQ(preview.bytes, withHost.bytes) << flag;
    }
    FakeRun high;
    Apply(m, in, 0x101, &code, &high);
    EXPECT_EQ(high.log.progress.size(), full.log.progress.size());
}

TEST_P(MethodContract, GreyPixelsOfAColourImageComeOutAsTheGreyResult) {
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
            for (int32_t c = 0; c < 3; ++c) ASSERT_EQ(colourOut.at(x, y, c), greyOut.at(x, y)) << x << "," << y;
}

TEST_P(MethodContract, FlatImageHasNoEdges) {
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
            EXPECT_EQ(out.at(x, y), kept ? 77 : 255) << x << "," << y;
        }
    }
}

TEST_P(MethodContract, OtherPixelLayoutsAndEmptyImages) {
    const MethodCase m = GetParam();
    // Every method needs grey or RGB and refuses the rest untouched.
    for (int32_t planes : {2, 4}) {
        Image odd = Blank(5, 4, planes);
        for (size_t i = 0; i < odd.bytes.size(); ++i) odd.bytes[i] = uint8_t(i * 29);
        int16_t code = 0;
        const Image out = Apply(m, odd, 1, &code);
        EXPECT_EQ(code, kErrBadParameters) << planes;
        EXPECT_EQ(out.bytes, odd.bytes) << planes;
    }
    // An image without rows or columns, or none at all: nothing to do, nothing kept, no host call.
    FakeRun fake;
    for (auto size : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}}) {
        for (int32_t planes : {1, 3}) {
            const LiveResources before = CountLiveResources();
            int16_t code = -1;
            EXPECT_EQ(Apply(m, Blank(size.first, size.second, planes), 1, &code, &fake).bytes.size(), 0u);
            EXPECT_EQ(code, 0);
            EXPECT_TRUE(SameLive(CountLiveResources(), before));
        }
    }
    EXPECT_EQ(RunMethod(m, nullptr, &fake.progress, 1), 0);
    EXPECT_TRUE(fake.log.events.empty());
}

TEST_P(MethodContract, FailedAllocationsLeakNothingAndLeaveTheImage) {
    const MethodCase m = GetParam();
    for (int32_t planes : {1, 3}) {
        const Image in = PhotoLike(12, 10, planes, 77);
        for (bool sticky : {false, true}) {
            int16_t code = -1;
            int32_t failing = 1;
            for (; failing <= 20 && code != 0; ++failing) {
                FailureReset reset;
                FakeRun fake;
                ImageBuffer* buffer = MakeBuffer(in);
                ASSERT_NE(buffer, nullptr);
                const LiveResources before = CountLiveResources();
                FailMemoryBlocksAfter(failing, sticky);
                code = RunMethod(m, buffer, &fake.progress, 1);
                FailMemoryBlocksAfter(0, false);
                EXPECT_TRUE(SameLive(CountLiveResources(), before)) << failing;
                const Image out = ReadBack(buffer);
                DisposeImageBuffer(buffer);
                if (code != 0) {
                    EXPECT_EQ(code, kErrOutOfMemory);
                    EXPECT_EQ(out.bytes, in.bytes) << failing;
                    EXPECT_TRUE(fake.log.events.empty()) << failing;
                } else {
                    EXPECT_EQ(out.bytes, Reference(m, in).bytes);
                }
            }
            EXPECT_EQ(code, 0);
            EXPECT_EQ(failing - 1, m.allocations + 1) << "every allocation was made to fail once";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, MethodContract, ::testing::ValuesIn(kMethods),
                         [](const ::testing::TestParamInfo<MethodCase>& info) { return std::string(info.param.name); });

// The methods that write the image in one last pass, row by row: a stop before it leaves the
// image as it was, a stop at its row y leaves rows 0..y-1 finished, and everything is released.
TEST(MethodContract, StopAtAnyRowOfTheLastPass) {
    // The rows a stop leaves written are those of the single-threaded order; with several
    // threads any band may be part done (threads_test.cpp).
    const ThreadsOverride oneThread(1);
    for (const MethodCase& m : kMethods) {
        if (m.stagesBefore == 0) continue;
        for (int32_t planes : {1, 3}) {
            const Image in = PhotoLike(9, 7, planes, 21);
            const int32_t h = in.height, last = m.stagesBefore * h;
            FakeRun full;
            int16_t code = -1;
            const Image finished = Apply(m, in, 1, &code, &full);
            ASSERT_EQ(code, 0);
            ASSERT_EQ(full.log.abortTests, last + h) << m.name << ": the image must use every stage";
            const size_t rowBytes = size_t(in.width * planes);
            for (int32_t call : {1, 2, h, h + 1, 2 * h, 2 * h + 1, last, last + 1, last + 4, last + h}) {
                const LiveResources before = CountLiveResources();
                FakeRun fake(call);
                const Image out = Apply(m, in, 1, &code, &fake);
                EXPECT_EQ(code, kErrUserCancelled) << m.name << " " << call;
                EXPECT_EQ(fake.log.abortTests, call);
                EXPECT_TRUE(SameLive(CountLiveResources(), before));
                const int32_t rowsDone = call > last ? call - last - 1 : 0;
                for (int32_t y = 0; y < h; ++y) {
                    const Image& expected = y < rowsDone ? finished : in;
                    EXPECT_TRUE(std::equal(out.bytes.begin() + ptrdiff_t(size_t(y) * rowBytes),
                                           out.bytes.begin() + ptrdiff_t(size_t(y + 1) * rowBytes),
                                           expected.bytes.begin() + ptrdiff_t(size_t(y) * rowBytes)))
                        << m.name << " stop " << call << " row " << y;
                }
            }
        }
    }
}

}  // namespace

// What Skinny lines and Fine detail share: exact agreement with the plain whole-image references
// on photograph-like images of many (also degenerate) sizes, silence with the preview flag,
// stopping at any row, running out of memory, documents too large for the bordered scratch image,
// and the same bytes in every build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/kernel_levels.h"
#include "tests/edges/skinny_fine_reference.h"

namespace {

using namespace edgetest;

struct MethodCase {
    const char* name;
    int16_t (*run)(ImageBuffer*, const ProgressPair*, int32_t);
    Image (*reference)(const Image&);
    int32_t allocations;   // row blocks plus the scratch image's record
    int32_t stagesBefore;  // rows of progress before the one stage that writes the image, in heights
    uint64_t hashes[2];    // grey and colour 61x47 outputs, from the native build
};

Image SkinnyReference(const Image& in) { return ReferenceSkinnyLines(in); }

const MethodCase kMethods[] = {
    {"SkinnyLines", FindEdgesSkinnyLines, SkinnyReference, 4, 12, {0x96c46e1a53c9ab35ull, 0x4683ca4130a4b024ull}},
    {"FineDetail", FindEdgesFineDetail, ReferenceFineDetail, 3, 2, {0xa411e067c7f08b0full, 0x8ecd4f0b9b187a02ull}},
};

Image Apply(const MethodCase& m, const Image& in, int32_t flag, int16_t* code, FakeRun* host = nullptr) {
    if (!host) {
        FakeRun local;
        return Apply(m, in, flag, code, &local);
    }
    ImageBuffer* buffer = MakeBuffer(in);
    EXPECT_NE(buffer, nullptr);
    *code = m.run(buffer, &host->progress, flag);
    Image out = ReadBack(buffer);
    DisposeImageBuffer(buffer);
    return out;
}

bool SameLive(const LiveResources& a, const LiveResources& b) {
    return a.memoryBlocks == b.memoryBlocks && a.pluginHandles == b.pluginHandles && a.mappings == b.mappings;
}

bool SameRow(const Image& a, const Image& b, int32_t y) {
    const size_t rowBytes = size_t(a.width) * size_t(a.planes);
    return std::equal(a.bytes.begin() + ptrdiff_t(size_t(y) * rowBytes),
                      a.bytes.begin() + ptrdiff_t(size_t(y + 1) * rowBytes),
                      b.bytes.begin() + ptrdiff_t(size_t(y) * rowBytes));
}

class SkinnyFine : public ::testing::TestWithParam<MethodCase> {};

TEST_P(SkinnyFine, MatchesReferenceOnPhotoLikeImagesOfManySizes) {
    const MethodCase m = GetParam();
    const int32_t sizes[][2] = {{1, 1}, {2, 2}, {3, 3}, {1, 9}, {9, 1}, {2, 7}, {7, 2}, {4, 4}, {5, 3},
                                {13, 11}, {61, 47}, {100, 37}, {37, 100}};
    uint32_t seed = 401;
    for (const auto& size : sizes) {
        for (int32_t planes : {1, 3}) {
            const Image in = PhotoLike(size[0], size[1], planes, seed++);
            int16_t code = -1;
            const Image out = Apply(m, in, 1, &code);
            EXPECT_EQ(code, 0);
            EXPECT_EQ(out.bytes, m.reference(in).bytes) << size[0] << "x" << size[1] << " planes " << planes;
        }
    }
}

TEST_P(SkinnyFine, PreviewFlagMakesNoHostCalls) {
    const MethodCase m = GetParam();
    const Image in = PhotoLike(17, 13, 3, 5);
    // Only the low byte of the flag counts.
    for (int32_t flag : {0, 0x100, 0x7F00}) {
        FakeRun fake;
        int16_t code = -1;
        const Image out = Apply(m, in, flag, &code, &fake);
        EXPECT_EQ(code, 0);
        EXPECT_TRUE(fake.log.events.empty()) << flag;
        EXPECT_EQ(out.bytes, m.reference(in).bytes);
    }
}

TEST_P(SkinnyFine, StopAtAnyRowReleasesEverything) {
    // The rows a stop leaves written are those of the single-threaded order; with several
    // threads any band may be part done (threads_test.cpp).
    const ThreadsOverride oneThread(1);
    // Only the last stage writes the image, row by row: a stop before it leaves the image as it
    // was, a stop at its row y leaves rows 0..y-1 finished.
    const MethodCase m = GetParam();
    for (int32_t planes : {1, 3}) {
        const Image in = PhotoLike(9, 7, planes, 21);
        const int32_t h = in.height, last = m.stagesBefore * h;
        FakeRun full;
        int16_t code = -1;
        const Image finished = Apply(m, in, 1, &code, &full);
        ASSERT_EQ(code, 0);
        ASSERT_EQ(full.log.abortTests, last + h) << "the image must use every stage";
        const int32_t stopCalls[] = {1, 2, h, h + 1, 2 * h, 2 * h + 1, last, last + 1, last + 4, last + h};
        for (int32_t call : stopCalls) {
            const LiveResources before = CountLiveResources();
            FakeRun fake(call);
            ImageBuffer* buffer = MakeBuffer(in);
            ASSERT_NE(buffer, nullptr);
            const LiveResources withImage = CountLiveResources();
            EXPECT_EQ(m.run(buffer, &fake.progress, 1), kErrUserCancelled) << call;
            EXPECT_TRUE(SameLive(CountLiveResources(), withImage)) << call;
            EXPECT_EQ(fake.log.abortTests, call);
            const Image out = ReadBack(buffer);
            DisposeImageBuffer(buffer);
            EXPECT_TRUE(SameLive(CountLiveResources(), before));
            const int32_t rowsDone = call > last ? call - last - 1 : 0;
            for (int32_t y = 0; y < h; ++y)
                EXPECT_TRUE(SameRow(out, y < rowsDone ? finished : in, y)) << m.name << " stop " << call << " row " << y;
        }
    }
}

TEST_P(SkinnyFine, FailedAllocationsLeakNothingAndLeaveTheImage) {
    const MethodCase m = GetParam();
    for (int32_t planes : {1, 3}) {
        const Image in = PhotoLike(11, 8, planes, 77);
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
                code = m.run(buffer, &fake.progress, 1);
                FailMemoryBlocksAfter(0, false);
                EXPECT_TRUE(SameLive(CountLiveResources(), before)) << failing;
                const Image out = ReadBack(buffer);
                DisposeImageBuffer(buffer);
                if (code != 0) {
                    EXPECT_EQ(code, kErrOutOfMemory);
                    EXPECT_EQ(out.bytes, in.bytes) << failing;
                    EXPECT_TRUE(fake.log.events.empty()) << failing;
                } else {
                    EXPECT_EQ(out.bytes, m.reference(in).bytes);
                }
            }
            EXPECT_EQ(code, 0);
            EXPECT_EQ(failing - 1, m.allocations + 1) << "every allocation was made to fail once";
        }
    }
}

TEST_P(SkinnyFine, TheLargestDocumentsMatchTheReference) {
    // Their bordered scratch images are 32768 and 32769 pixels across.
    const MethodCase m = GetParam();
    const int32_t sizes[][3] = {{32766, 1, 1}, {1, 32766, 1}, {32767, 2, 3}, {1, 32767, 1}};
    for (const auto& size : sizes) {
        Image in = Blank(size[0], size[1], size[2]);
        for (size_t i = 0; i < in.bytes.size(); ++i) in.bytes[i] = uint8_t(i * 7);
        const LiveResources before = CountLiveResources();
        int16_t code = -1;
        const Image out = Apply(m, in, 1, &code);
        EXPECT_EQ(code, 0) << size[0] << "x" << size[1];
        EXPECT_EQ(out.bytes, m.reference(in).bytes) << size[0] << "x" << size[1];
        EXPECT_TRUE(SameLive(CountLiveResources(), before));
    }
}

TEST_P(SkinnyFine, UnusablePixelLayoutsAndEmptyImages) {
    const MethodCase m = GetParam();
    // Neither grey nor RGB: refused untouched.
    for (int32_t planes : {2, 4}) {
        Image odd = Blank(5, 4, planes);
        for (size_t i = 0; i < odd.bytes.size(); ++i) odd.bytes[i] = uint8_t(i * 29);
        int16_t code = 0;
        EXPECT_EQ(Apply(m, odd, 1, &code).bytes, odd.bytes);
        EXPECT_EQ(code, kErrBadParameters);
    }
    // No image, or one without rows or columns: nothing to do, no host calls.
    FakeRun fake;
    EXPECT_EQ(m.run(nullptr, &fake.progress, 1), 0);
    int16_t code = -1;
    EXPECT_EQ(Apply(m, Blank(0, 4, 1), 1, &code, &fake).bytes.size(), 0u);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Apply(m, Blank(4, 0, 3), 1, &code, &fake).bytes.size(), 0u);
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(fake.log.events.empty());
}

// The hashes come from the native build; the win32 and win64 programs, and every kernel level
// this processor has, must reproduce them.
TEST_P(SkinnyFine, OutputHashesAreTheSameInEveryBuild) {
    const MethodCase m = GetParam();
    for (int32_t level = kKernelPlain; level <= kKernelHighest; ++level) {
        if (!LevelAvailable(level)) {
            std::printf("%s\n", LevelMissing(level).c_str());
            continue;
        }
        LevelLimit limit(level);
        for (int32_t planes : {1, 3}) {
            const Image in = PhotoLike(61, 47, planes, 6147);
            int16_t code = -1;
            const uint64_t hash = Fnv1a64(Apply(m, in, 0, &code).bytes);
            EXPECT_EQ(code, 0);
            EXPECT_EQ(hash, m.hashes[planes == 3])
                << "planes " << planes << " at " << KernelLevelName(level) << std::hex << " got 0x" << hash;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, SkinnyFine, ::testing::ValuesIn(kMethods),
                         [](const ::testing::TestParamInfo<MethodCase>& info) { return std::string(info.param.name); });

}  // namespace

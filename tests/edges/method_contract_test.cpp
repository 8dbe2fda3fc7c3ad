// What every method shares (edges/methods.h), one suite over method x size x planes: exact
// agreement with the plain whole-image references on photograph-like images of many (also
// degenerate) sizes and on the largest documents, silence with the preview flag, grey pixels
// staying grey, flat images without edges keeping their colour cast, the layouts it refuses, empty
// images, running out of memory, the progress steps of every pass, and stopping at any row.
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
    int32_t radius;       // Variable width only
    int32_t allocations;  // row blocks plus scratch image records
    // Progress runs over stages x height steps, in runs of `passes` passes from stage `first` on,
    // each pass a step for each of its height - skipped rows; the image is written by the last pass
    // from row firstRow on, the rows above it with that row.
    int32_t stages;
    struct {
        int32_t first, passes, skipped;
    } runs[2];
    int32_t firstRow;
    bool flat = false;  // run on a flat image rather than PhotoLike(9, 7)
};

const MethodCase kMethods[] = {
    {"Traditional", kMethodTraditional, 0, 1, 1, {{0, 1, 2}}, 1},
    {"SkinnyLines", kMethodSkinnyLines, 0, 2, 13, {{0, 13, 0}}, 0},  // all ten sweeps on PhotoLike(9, 7)
    {"Smoother", kMethodSmoother, 0, 2, 3, {{0, 3, 0}}, 0},
    {"FineDetail", kMethodFineDetail, 0, 2, 3, {{0, 3, 0}}, 0},
    {"VariableReach1", kMethodVariableWidth, 1, 8, 2, {{0, 1, 3}, {1, 1, 3}}, 3},
    {"VariableReach2", kMethodVariableWidth, 2, 8, 2, {{0, 1, 3}, {1, 1, 3}}, 3},
    {"VariableReach3", kMethodVariableWidth, 3, 8, 2, {{0, 1, 3}, {1, 1, 3}}, 3},
};

void PrintTo(const MethodCase& m, std::ostream* os) { *os << m.name; }

int16_t RunMethod(const MethodCase& m, ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    return RunEdgeMethod(m.method, m.radius, image, progress, flag);
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
            return ReferenceVariableWidth(in, m.radius);
    }
}

Image Apply(const MethodCase& m, const Image& in, int32_t flag, int16_t* code, FakeRun* host = nullptr) {
    return edgetest::Apply(m.method, m.radius, in, flag, code, host);
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
    const int32_t sizes[][3] = {{32766, 1, 1}, {1, 32766, 1}, {32767, 2, 3}, {1, 32767, 1},
                                {32767, 4, 1}, {32767, 5, 1}, {32767, 3, 3}, {2, 32766, 3}};
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

// Every pass reports a step for each of its rows, each followed by one abort test; a stop before
// the last pass leaves the image as it was, a stop at its row y leaves the rows before it
// finished, and everything is released. A method that has no row to compute makes no host call.
TEST(MethodContract, ProgressOfEveryPassAndAStopAtAnyRow) {
    // The rows a stop leaves written are those of the single-threaded order; with several
    // threads any band may be part done (threads_test.cpp).
    const ThreadsOverride oneThread(1);
    // Skinny lines on a flat image: one sweep, then the output stage at 12 x height all the same.
    std::vector<MethodCase> cases(std::begin(kMethods), std::end(kMethods));
    cases.push_back({"SkinnyLinesFlat", kMethodSkinnyLines, 0, 2, 13, {{0, 3, 0}, {12, 1, 0}}, 0, true});
    for (const MethodCase& m : cases) {
        for (int32_t planes : {1, 3}) {
            const Image in = m.flat ? Blank(9, 7, planes, 90) : PhotoLike(9, 7, planes, 21);
            const int32_t h = in.height;
            std::vector<std::pair<int32_t, int32_t>> steps;
            for (const auto& run : m.runs)
                for (int32_t stage = run.first; stage < run.first + run.passes; ++stage)
                    for (int32_t row = 0; row < h - run.skipped; ++row) steps.emplace_back(stage * h + row, m.stages * h);
            FakeRun full;
            int16_t code = -1;
            const Image finished = Apply(m, in, 1, &code, &full);
            ASSERT_EQ(code, 0);
            ASSERT_EQ(full.Steps(), steps) << m.name;
            EXPECT_EQ(full.log.progress.front(), std::make_pair(m.stages * h, 6 * m.stages * h));
            for (size_t i = 0; i < full.log.events.size(); ++i) EXPECT_EQ(full.log.events[i], i % 2 ? "A" : "P");

            const int32_t calls = int32_t(steps.size()), skipped = m.runs[m.runs[1].passes ? 1 : 0].skipped;
            const int32_t before = calls - (h - skipped);
            const size_t rowBytes = size_t(in.width * planes);
            for (int32_t call = 1; call <= calls; ++call) {
                const LiveResources live = CountLiveResources();
                FakeRun fake(call);
                const Image out = Apply(m, in, 1, &code, &fake);
                EXPECT_EQ(code, kErrUserCancelled) << m.name << " " << call;
                EXPECT_EQ(fake.log.abortTests, call);
                EXPECT_TRUE(SameLive(CountLiveResources(), live));
                const int32_t rowsDone = call - before - 1 > 0 ? call - before - 1 + m.firstRow : 0;
                for (int32_t y = 0; y < h; ++y) {
                    const Image& expected = y < rowsDone ? finished : in;
                    ASSERT_TRUE(std::equal(out.bytes.begin() + ptrdiff_t(size_t(y) * rowBytes),
                                           out.bytes.begin() + ptrdiff_t(size_t(y + 1) * rowBytes),
                                           expected.bytes.begin() + ptrdiff_t(size_t(y) * rowBytes)))
                        << m.name << " stop " << call << " row " << y;
                }
            }
            for (int32_t height = 1; height <= skipped; ++height) {
                const Image small = PhotoLike(8, height, planes, 2);
                FakeRun fake;
                EXPECT_EQ(Apply(m, small, 1, &code, &fake).bytes, small.bytes) << m.name << " " << height;
                EXPECT_TRUE(fake.log.events.empty());
            }
        }
    }
}

// A flat image has no edges: every pixel comes out alike, white but for its colour differences
// (kept as each method rounds them); Traditional keeps the outermost rows and columns as they were.
TEST(MethodContract, FlatImagesHaveNoEdgesAndKeepTheirColourCast) {
    const struct {
        int32_t method, width, height, planes;
        uint8_t in[3], out[3];
    } cases[] = {
        {kMethodTraditional, 9, 8, 1, {77}, {255}},
        {kMethodTraditional, 5, 4, 3, {200, 100, 50}, {255, 255, 255}},
        {kMethodSkinnyLines, 1, 1, 1, {0}, {255}},
        {kMethodSkinnyLines, 5, 4, 1, {77}, {255}},
        {kMethodSkinnyLines, 6, 3, 1, {255}, {255}},
        {kMethodSkinnyLines, 4, 4, 3, {200, 100, 50}, {255, 255, 255}},
        {kMethodSkinnyLines, 1, 7, 3, {0, 0, 0}, {255, 255, 255}},
        {kMethodSkinnyLines, 9, 1, 3, {10, 250, 128}, {255, 255, 255}},
        {kMethodSmoother, 9, 8, 1, {77}, {255}},
        {kMethodSmoother, 4, 3, 3, {200, 100, 50}, {255, 238, 189}},  // triple (117, 178, 178) -> (255, 178, 178)
        {kMethodSmoother, 4, 3, 3, {90, 90, 90}, {255, 255, 255}},
        {kMethodSmoother, 4, 3, 3, {0, 0, 255}, {171, 171, 255}},  // D2 = 1: t = -254
        {kMethodSmoother, 4, 3, 3, {255, 0, 0}, {255, 170, 171}},  // D1 = 255, D2 = 191
        {kMethodFineDetail, 1, 1, 1, {0}, {255}},
        {kMethodFineDetail, 6, 5, 1, {128}, {255}},
        {kMethodFineDetail, 3, 1, 1, {255}, {255}},
        {kMethodFineDetail, 5, 4, 3, {200, 100, 50}, {255, 238, 189}},
        {kMethodFineDetail, 4, 4, 3, {90, 90, 90}, {255, 255, 255}},
        {kMethodFineDetail, 1, 6, 3, {0, 0, 255}, {170, 170, 255}},  // u = 0, t = -255: red and green 255 - 85
        {kMethodVariableWidth, 9, 8, 1, {77}, {255}},
        {kMethodVariableWidth, 6, 5, 3, {200, 100, 50}, {255, 238, 189}},  // d = 100, e = 50
        {kMethodVariableWidth, 6, 5, 3, {0, 0, 255}, {170, 170, 255}},     // d = -255, e = 0
        {kMethodVariableWidth, 6, 5, 3, {128, 128, 128}, {255, 255, 255}},
    };
    for (const auto& c : cases) {
        Image in = Blank(c.width, c.height, c.planes);
        for (size_t i = 0; i < in.bytes.size(); ++i) in.bytes[i] = c.in[i % size_t(c.planes)];
        for (int32_t radius = 1; radius <= (c.method == kMethodVariableWidth ? 3 : 1); ++radius) {
            int16_t code = -1;
            const Image out = edgetest::Apply(c.method, radius, in, 1, &code);
            EXPECT_EQ(code, 0);
            for (int32_t y = 0; y < in.height; ++y) {
                for (int32_t x = 0; x < in.width; ++x) {
                    const bool kept = c.method == kMethodTraditional &&
                                      (x == 0 || y == 0 || x == in.width - 1 || y == in.height - 1);
                    for (int32_t ch = 0; ch < c.planes; ++ch)
                        ASSERT_EQ(out.at(x, y, ch), kept ? c.in[ch] : c.out[ch])
                            << c.method << " radius " << radius << " " << int(c.in[0]) << " at " << x << "," << y;
                }
            }
        }
    }
}

}  // namespace

// The kernel levels of Skinny lines and Fine detail: every level's row kernels give the plain
// kernels' bytes on rows of every width and many kinds of values, and both methods give the
// reference pictures at every level, also on images that need all ten thinning sweeps. (Their
// gradient is Traditional's Sobel row, whose root gradient_kernels_test.cpp checks for every sum.)
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "edges/kernels/pattern.h"
#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/kernel_levels.h"
#include "tests/edges/skinny_fine_reference.h"

namespace {

using namespace edgetest;

// Restores the automatic choice of level when a test ends.
struct LevelReset {
    ~LevelReset() { SetKernelLevelLimit(-1); }
};

// The levels this processor runs, plain first.
std::vector<int32_t> Levels() {
    std::vector<int32_t> levels;
    for (int32_t level = kKernelPlain; level <= kKernelHighest; ++level) {
        if (LevelAvailable(level)) {
            levels.push_back(level);
        } else {
            std::printf("%s\n", LevelMissing(level).c_str());
        }
    }
    return levels;
}

const PatternKernels* KernelsAt(int32_t level) {
    SetKernelLevelLimit(level);
    const PatternKernels* kernels = ChoosePatternKernels();
    EXPECT_EQ(kernels->level, level);
    return kernels;
}

// ---- row kernels against the plain ones -------------------------------------------------------

enum class Values { kUniform, kThinning, kSparseLines, kSmooth, kFlat };

// A scratch row of width + 2 bytes of the given kind.
std::vector<uint8_t> RowOf(Values kind, int32_t width, Random& random) {
    static const uint8_t kThinningLevels[] = {0, 40, 99, 100, 101, 150, 200, 228, 229, 230, 231, 240, 254, 255, 255};
    std::vector<uint8_t> row(size_t(width) + 2);
    int32_t level = random.Below(256);
    for (uint8_t& v : row) {
        switch (kind) {
            case Values::kUniform:
                v = uint8_t(random.Below(256));
                break;
            case Values::kThinning:
                v = kThinningLevels[random.Below(int32_t(sizeof kThinningLevels))];
                break;
            case Values::kSparseLines:
                v = random.Below(9) == 0 ? uint8_t(random.Below(230)) : 255;
                break;
            case Values::kSmooth:
                level += random.Below(7) - 3;
                level = level < 0 ? 0 : level > 255 ? 255 : level;
                v = uint8_t(level);
                break;
            case Values::kFlat:
                v = uint8_t(level);
                break;
        }
    }
    return row;
}

constexpr uint8_t kGuard = 0xA5;

// An output row of width + 2 bytes and 64 guard bytes beyond it, all kGuard.
std::vector<uint8_t> GuardedRow(int32_t width) { return std::vector<uint8_t>(size_t(width) + 2 + 64, kGuard); }

std::vector<int32_t> Widths() {
    std::vector<int32_t> widths;
    for (int32_t w = 1; w <= 70; ++w) widths.push_back(w);
    for (int32_t w : {95, 96, 97, 127, 128, 129, 255, 1001}) widths.push_back(w);
    return widths;
}

TEST(PatternKernels, ThreeRowKernelsMatchThePlainOnes) {
    LevelReset reset;
    const PatternKernels* plain = KernelsAt(kKernelPlain);
    Random random(2024);
    for (int32_t level : Levels()) {
        if (level == kKernelPlain) continue;
        const PatternKernels* fast = KernelsAt(level);
        for (Values kind : {Values::kUniform, Values::kThinning, Values::kSparseLines, Values::kSmooth, Values::kFlat}) {
            for (int32_t width : Widths()) {
                const std::vector<uint8_t> above = RowOf(kind, width, random), middle = RowOf(kind, width, random),
                                           below = RowOf(kind, width, random);
                const std::string where =
                    "level " + std::to_string(level) + " kind " + std::to_string(int(kind)) + " width " + std::to_string(width);

                std::vector<uint8_t> expected = GuardedRow(width), got = GuardedRow(width);
                plain->skinnyGradient(above.data(), middle.data(), below.data(), expected.data(), width);
                fast->skinnyGradient(above.data(), middle.data(), below.data(), got.data(), width);
                ASSERT_EQ(got, expected) << "gradient, " << where;

                expected = GuardedRow(width);
                got = GuardedRow(width);
                int64_t expectedRemovals = 5, gotRemovals = 5;
                const int32_t expectedChange =
                    plain->skinnyThinning(above.data(), middle.data(), below.data(), expected.data(), width, &expectedRemovals);
                const int32_t gotChange =
                    fast->skinnyThinning(above.data(), middle.data(), below.data(), got.data(), width, &gotRemovals);
                ASSERT_EQ(got, expected) << "thinning, " << where;
                ASSERT_EQ(gotRemovals, expectedRemovals) << "thinning, " << where;
                ASSERT_EQ(gotChange, expectedChange) << "thinning, " << where;

                expected = GuardedRow(width);
                got = GuardedRow(width);
                plain->fineEdgeShare(above.data(), middle.data(), below.data(), expected.data(), width);
                fast->fineEdgeShare(above.data(), middle.data(), below.data(), got.data(), width);
                ASSERT_EQ(got, expected) << "edge share, " << where;
            }
        }
    }
}

// The thinning rule interpolates across the gradient in double precision. Where the exact value on
// a side is a whole number k with the pixel at k - 1, the roundings alone decide: these patterns,
// found by search, each stand alone in three columns of three rows.
TEST(PatternKernels, ThinningDecidesWholeNumberInterpolationsAsThePlainRule) {
    LevelReset reset;
    Random random(77);
    std::vector<uint8_t> rows[3];
    int32_t found = 0;
    while (found < 1500) {
        int32_t v[9];  // nw, n, ne, w, p, e, sw, s, se
        for (int32_t& value : v) value = random.Below(8) < 2 ? 231 + random.Below(25) : random.Below(230);
        const int32_t nw = v[0], n = v[1], ne = v[2], w = v[3], p = v[4], e = v[5], sw = v[6], s = v[7], se = v[8];
        const int32_t gx = 2 * (e - w) + ne + se - nw - sw, gy = 2 * (s - n) + sw + se - nw - ne;
        const int32_t ax = gx < 0 ? -gx : gx, ay = gy < 0 ? -gy : gy;
        const int32_t num = ax < ay ? ax : ay, den = ax < ay ? ay : ax;
        if (num == 0 || num == den) continue;
        const bool across = ax >= ay;
        const int32_t sides[2][2] = {{across ? e : s, across ? (gy >= 0 ? se : ne) : (gx >= 0 ? se : sw)},
                                     {across ? w : n, across ? (gy >= 0 ? nw : sw) : (gx >= 0 ? nw : ne)}};
        bool whole = false;
        for (const auto& side : sides) whole |= side[0] * (den - num) + side[1] * num == (p + 1) * den;
        if (!whole) continue;
        for (int32_t r = 0; r < 3; ++r)
            for (int32_t c = 0; c < 3; ++c) rows[r].push_back(uint8_t(v[3 * r + c]));
        ++found;
    }
    const int32_t width = int32_t(rows[0].size()) - 2;
    const PatternKernels* plain = KernelsAt(kKernelPlain);
    std::vector<uint8_t> expected = GuardedRow(width);
    int64_t expectedRemovals = 0;
    plain->skinnyThinning(rows[0].data(), rows[1].data(), rows[2].data(), expected.data(), width, &expectedRemovals);
    // Both answers occur, so that a rule that settled these patterns one way would be caught.
    int32_t removed = 0;
    for (int32_t i = 0; i < found; ++i) removed += expected[size_t(3 * i + 1)] == 255;
    EXPECT_GT(removed, 50);
    EXPECT_LT(removed, found - 50);
    for (int32_t level : Levels()) {
        if (level == kKernelPlain) continue;
        std::vector<uint8_t> got = GuardedRow(width);
        int64_t gotRemovals = 0;
        KernelsAt(level)->skinnyThinning(rows[0].data(), rows[1].data(), rows[2].data(), got.data(), width, &gotRemovals);
        EXPECT_EQ(got, expected) << KernelLevelName(level);
        EXPECT_EQ(gotRemovals, expectedRemovals) << KernelLevelName(level);
    }
}

// A million patterns each of random and of gently varying brightness: the vector kernels estimate
// the energy ratio in single precision and must hand every estimate near a step to the double
// arithmetic.
TEST(PatternKernels, EdgeShareOfManyPatternsMatchesThePlainKernel) {
    LevelReset reset;
    const PatternKernels* plain = KernelsAt(kKernelPlain);
    const int32_t width = 100003;
    Random random(31337);
    for (Values kind : {Values::kUniform, Values::kSmooth}) {
        for (int32_t row = 0; row < 10; ++row) {
            const std::vector<uint8_t> above = RowOf(kind, width, random), middle = RowOf(kind, width, random),
                                       below = RowOf(kind, width, random);
            std::vector<uint8_t> expected = GuardedRow(width);
            plain->fineEdgeShare(above.data(), middle.data(), below.data(), expected.data(), width);
            for (int32_t level : Levels()) {
                if (level == kKernelPlain) continue;
                std::vector<uint8_t> got = GuardedRow(width);
                KernelsAt(level)->fineEdgeShare(above.data(), middle.data(), below.data(), got.data(), width);
                ASSERT_EQ(got, expected) << "level " << level << " kind " << int(kind) << " row " << row;
            }
        }
    }
}

// Patterns whose energy ratio, estimated in single precision, lies on the other side of a step of
// the edge value than the ratio in double precision (found by a search over random patterns): the
// estimate must hand them to the double arithmetic.
TEST(PatternKernels, EdgeShareOfPatternsAtAStepMatchesThePlainKernel) {
    const uint8_t patterns[][9] = {  // NW, N, NE, W, P, E, SW, S, SE
        {30, 55, 7, 12, 39, 7, 39, 0, 35},         {67, 41, 8, 41, 76, 44, 74, 58, 62},
        {36, 55, 46, 10, 28, 34, 38, 9, 7},        {69, 12, 45, 72, 14, 7, 39, 21, 74},
        {30, 33, 15, 19, 27, 39, 20, 18, 27},      {147, 88, 160, 92, 152, 148, 127, 113, 91},
        {105, 108, 20, 71, 64, 42, 65, 7, 18},     {92, 64, 40, 58, 62, 26, 38, 89, 27},
        {61, 78, 62, 68, 35, 43, 48, 78, 38},      {227, 255, 240, 255, 255, 224, 234, 255, 240},
        {47, 1, 83, 39, 51, 104, 12, 107, 82},     {166, 206, 174, 148, 198, 190, 138, 169, 193},
        {61, 62, 67, 66, 61, 63, 63, 65, 65},      {0, 0, 31, 21, 52, 0, 28, 46, 42},
        {28, 1, 39, 21, 33, 37, 0, 9, 20},         {5, 0, 0, 12, 0, 42, 1, 0, 47},
        {37, 2, 71, 0, 59, 61, 0, 72, 10},         {169, 157, 165, 150, 156, 151, 163, 146, 169},
        {14, 13, 78, 55, 20, 19, 75, 40, 33},      {255, 255, 255, 255, 255, 255, 235, 199, 245},
        {157, 202, 160, 212, 204, 212, 165, 162, 162}, {117, 116, 158, 153, 126, 134, 151, 135, 157},
        {201, 196, 237, 175, 255, 255, 255, 216, 255}, {111, 48, 96, 47, 115, 77, 82, 43, 104},
    };
    LevelReset reset;
    const PatternKernels* plain = KernelsAt(kKernelPlain);
    // Each pattern in columns 3i .. 3i + 2, read at 3i + 1; the rows repeat so that every pattern
    // meets every lane, shifted by one column each time.
    for (int32_t shift = 0; shift < 48; ++shift) {
        std::vector<uint8_t> rows[3];
        for (std::vector<uint8_t>& row : rows) row.assign(size_t(shift), 128);
        for (int32_t repeat = 0; repeat < 3; ++repeat) {
            for (const auto& p : patterns) {
                for (int32_t r = 0; r < 3; ++r) rows[r].insert(rows[r].end(), p + 3 * r, p + 3 * r + 3);
            }
        }
        const int32_t width = int32_t(rows[1].size()) - 2;
        std::vector<uint8_t> expected = GuardedRow(width);
        plain->fineEdgeShare(rows[0].data(), rows[1].data(), rows[2].data(), expected.data(), width);
        for (int32_t level : Levels()) {
            std::vector<uint8_t> got = GuardedRow(width);
            KernelsAt(level)->fineEdgeShare(rows[0].data(), rows[1].data(), rows[2].data(), got.data(), width);
            ASSERT_EQ(got, expected) << "level " << level << " shift " << shift;
        }
    }
}

TEST(PatternKernels, ThinningReportsWhetherTheRowChanged) {
    // 255 stays 255 and kept edge pixels stay: no change. A value from 230 to 254 becomes 255, and
    // a removed pixel too: a change.
    struct Case {
        std::vector<uint8_t> above, middle, below;
        int32_t changed;
        int64_t removed;
    } cases[] = {
        {{255, 255, 255, 255, 255}, {255, 255, 255, 255, 255}, {255, 255, 255, 255, 255}, 0, 0},
        {{255, 255, 255, 255, 255}, {255, 255, 120, 255, 255}, {255, 255, 255, 255, 255}, 0, 0},  // a lone point
        {{255, 255, 255, 255, 255}, {255, 255, 230, 255, 255}, {255, 255, 255, 255, 255}, 1, 0},
        {{255, 255, 255, 255, 255}, {255, 254, 255, 255, 255}, {255, 255, 255, 255, 255}, 1, 0},
        {{240, 240, 240, 255, 255}, {240, 100, 240, 255, 255}, {240, 240, 240, 255, 255}, 1, 1},  // ringed by 240
    };
    LevelReset reset;
    for (int32_t level : Levels()) {
        const PatternKernels* kernels = KernelsAt(level);
        for (const Case& c : cases) {
            const int32_t width = int32_t(c.middle.size()) - 2;
            std::vector<uint8_t> out = GuardedRow(width);
            int64_t removals = 0;
            EXPECT_EQ(kernels->skinnyThinning(c.above.data(), c.middle.data(), c.below.data(), out.data(), width, &removals),
                      c.changed)
                << "level " << level;
            EXPECT_EQ(removals, c.removed) << "level " << level;
        }
    }
}

TEST(PatternKernels, ImageRowKernelsMatchThePlainOnes) {
    LevelReset reset;
    const PatternKernels* plain = KernelsAt(kKernelPlain);
    Random random(77);
    for (int32_t level : Levels()) {
        if (level == kKernelPlain) continue;
        const PatternKernels* fast = KernelsAt(level);
        for (Values kind : {Values::kUniform, Values::kThinning, Values::kSparseLines, Values::kSmooth, Values::kFlat}) {
            for (int32_t width : Widths()) {
                const std::string where =
                    "level " + std::to_string(level) + " kind " + std::to_string(int(kind)) + " width " + std::to_string(width);
                std::vector<uint8_t> rgb(size_t(width) * 3 + 64);
                for (uint8_t& v : rgb) v = uint8_t(random.Below(256));
                const std::vector<uint8_t> values = RowOf(kind, width, random);  // thinned values or edge values

                std::vector<uint8_t> expected(size_t(width) + 64, kGuard), got = expected;
                plain->greyOfRgb(rgb.data(), expected.data(), width);
                fast->greyOfRgb(rgb.data(), got.data(), width);
                ASSERT_EQ(got, expected) << "grey, " << where;

                expected.assign(size_t(width) + 64, kGuard);
                got = expected;
                plain->skinnyOutputGrey(values.data(), expected.data(), width);
                fast->skinnyOutputGrey(values.data(), got.data(), width);
                ASSERT_EQ(got, expected) << "skinny grey output, " << where;
                plain->fineOutputGrey(values.data(), expected.data(), width);
                fast->fineOutputGrey(values.data(), got.data(), width);
                ASSERT_EQ(got, expected) << "fine grey output, " << where;

                std::vector<uint8_t> expectedRgb = rgb, gotRgb = rgb;
                plain->skinnyOutputRgb(values.data(), expectedRgb.data(), width);
                fast->skinnyOutputRgb(values.data(), gotRgb.data(), width);
                ASSERT_EQ(gotRgb, expectedRgb) << "skinny colour output, " << where;
                expectedRgb = rgb;
                gotRgb = rgb;
                plain->fineOutputRgb(values.data(), expectedRgb.data(), width);
                fast->fineOutputRgb(values.data(), gotRgb.data(), width);
                ASSERT_EQ(gotRgb, expectedRgb) << "fine colour output, " << where;
            }
        }
    }
}

// ---- whole methods at every level ---------------------------------------------------------------

// Sharp blocks of random levels: bands of gradient several pixels wide that take many sweeps to
// thin, next to thin lines that are done at once.
Image Blocky(int32_t width, int32_t height, int32_t planes, uint32_t seed) {
    Image image = Blank(width, height, planes);
    Random random(seed);
    const int32_t block = 3 + random.Below(5);
    std::vector<uint8_t> levels(size_t((width / block + 1) * (height / block + 1) * planes));
    for (uint8_t& v : levels) v = uint8_t(random.Below(4) * 85);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            for (int32_t c = 0; c < planes; ++c) {
                const size_t cell = size_t((y / block) * (width / block + 1) + x / block);
                image.at(x, y, c) = levels[cell * size_t(planes) + size_t(c)];
            }
        }
    }
    return image;
}

struct MethodUnderTest {
    const char* name;
    int16_t (*run)(ImageBuffer*, const ProgressPair*, int32_t);
    Image (*reference)(const Image&);
};

Image SkinnyReference(const Image& in) { return ReferenceSkinnyLines(in); }

const MethodUnderTest kMethods[] = {
    {"Skinny lines", FindEdgesSkinnyLines, SkinnyReference},
    {"Fine detail", FindEdgesFineDetail, ReferenceFineDetail},
};

Image RunMethod(const MethodUnderTest& m, const Image& in, FakeRun* host) {
    ImageBuffer* buffer = MakeBuffer(in);
    EXPECT_NE(buffer, nullptr);
    EXPECT_EQ(m.run(buffer, &host->progress, 1), 0);
    Image out = ReadBack(buffer);
    DisposeImageBuffer(buffer);
    return out;
}

TEST(PatternKernels, MethodsMatchTheReferenceAtEveryLevel) {
    std::vector<std::pair<int32_t, int32_t>> sizes;
    for (int32_t w = 1; w <= 4; ++w)
        for (int32_t h = 1; h <= 4; ++h) sizes.emplace_back(w, h);
    for (int32_t w : {15, 16, 17, 31, 32, 33, 34, 47, 48, 49, 63, 64, 65, 66, 129}) sizes.emplace_back(w, 7);
    sizes.emplace_back(1, 40);
    sizes.emplace_back(2, 33);
    sizes.emplace_back(101, 53);
    LevelReset reset;
    for (int32_t level : Levels()) {
        SetKernelLevelLimit(level);
        uint32_t seed = 900;
        for (const MethodUnderTest& m : kMethods) {
            for (auto [w, h] : sizes) {
                for (int32_t planes : {1, 3}) {
                    for (bool blocky : {false, true}) {
                        const Image in = blocky ? Blocky(w, h, planes, seed++) : PhotoLike(w, h, planes, seed++);
                        FakeRun host;
                        ASSERT_EQ(RunMethod(m, in, &host).bytes, m.reference(in).bytes)
                            << m.name << " level " << level << " " << w << "x" << h << " planes " << planes
                            << (blocky ? " blocky" : " photo-like");
                    }
                }
            }
        }
    }
}

// Sweeps after the first visit only rows near the changes of the sweep before; the pictures and
// the progress (a report and an abort test for every row of every sweep) are those of the plain
// thinning. Images that need all ten sweeps and images that settle early.
TEST(PatternKernels, SkinnyLinesSweepsKeepEveryRowOfProgress) {
    LevelReset reset;
    for (int32_t level : Levels()) {
        SetKernelLevelLimit(level);
        int32_t tenSweeps = 0;
        for (uint32_t seed = 1; seed <= 12; ++seed) {
            const Image in = seed % 2 ? Blocky(57, 41, 1 + 2 * int32_t(seed % 4 == 1), seed) : PhotoLike(57, 41, 3, seed);
            int32_t sweeps = 0;
            const Image expected = ReferenceSkinnyLines(in, &sweeps);
            tenSweeps += sweeps == 10;
            FakeRun host;
            EXPECT_EQ(RunMethod(kMethods[0], in, &host).bytes, expected.bytes) << "level " << level << " seed " << seed;
            const int32_t h = in.height;
            std::vector<std::pair<int32_t, int32_t>> steps;
            for (int32_t k = 0; k < (2 + sweeps) * h; ++k) steps.emplace_back(k, 13 * h);
            for (int32_t k = 12 * h; k < 13 * h; ++k) steps.emplace_back(k, 13 * h);
            EXPECT_EQ(host.Steps(), steps) << "level " << level << " seed " << seed;
            EXPECT_EQ(host.log.abortTests, int32_t(steps.size()));
        }
        EXPECT_GE(tenSweeps, 3) << "the images must exercise the later sweeps";
    }
}

}  // namespace

// The gradient kernels at every level this processor can run (SSE2 always, AVX2 and AVX-512
// where present, the others skipped): exhaustive checks of the arithmetic the
// vector code replaces (square roots, divisions by 3, colour splitting and joining), and the
// methods against the plain whole-image references on sizes around every vector width.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "edges/kernels/gradient.h"
#include "edges/methods.h"
#include "tests/edges/edge_test_support.h"
#include "tests/edges/kernel_levels.h"
#include "tests/edges/traditional_smoother_variable_reference.h"

namespace {

using namespace edgetest;

class KernelLevels : public ::testing::TestWithParam<int32_t> {
protected:
    void SetUp() override {
        level_ = std::make_unique<LevelLimit>(GetParam());
        if (!LevelAvailable(GetParam())) GTEST_SKIP() << LevelMissing(GetParam());
        kernels_ = ChooseGradientKernels();
        ASSERT_EQ(kernels_->level, GetParam());
    }
    std::unique_ptr<LevelLimit> level_;
    const GradientKernels* kernels_ = nullptr;
};

TEST_P(KernelLevels, SobelValueOfEverySquaredSumIsTheIntegerRoot) {
    // gx^2 + gy^2 reaches 2 x 1020^2 = 2080800.
    constexpr int32_t kLargest = 2080800;
    std::vector<int32_t> sums(kLargest + 1);
    for (int32_t q = 0; q <= kLargest; ++q) sums[size_t(q)] = q;
    std::vector<uint8_t> values(sums.size());
    kernels_->sobelValues(sums.data(), int32_t(sums.size()), values.data());
    int32_t m = 0;  // largest m with 5 m^2 <= q, kept up by counting
    for (int32_t q = 0; q <= kLargest; ++q) {
        while (5 * (m + 1) * (m + 1) <= q) ++m;
        ASSERT_EQ(values[size_t(q)], m <= 254 ? 255 - m : 0) << "q = " << q;
    }
}

// Every colour, as 2^24 pixels of one long row processed in rows of an awkward width.
std::vector<uint8_t> EveryColour() {
    std::vector<uint8_t> rgb(size_t(3) << 24);
    for (uint32_t i = 0; i < (1u << 24); ++i) {
        rgb[3 * size_t(i)] = uint8_t(i >> 16);
        rgb[3 * size_t(i) + 1] = uint8_t(i >> 8);
        rgb[3 * size_t(i) + 2] = uint8_t(i);
    }
    return rgb;
}

constexpr int32_t kOddRow = 4093;  // not a multiple of any group, so every row ends in a tail

TEST_P(KernelLevels, BrightnessOfEveryColour) {
    const std::vector<uint8_t> rgb = EveryColour();
    const int32_t pixels = 1 << 24;
    std::vector<uint8_t> bright(size_t(pixels) + 64);
    for (int32_t x = 0; x < pixels; x += kOddRow)
        kernels_->brightnessRow(rgb.data() + 3 * size_t(x), std::min(kOddRow, pixels - x), bright.data() + x);
    for (int32_t i = 0; i < pixels; ++i) {
        const int32_t r = rgb[3 * size_t(i)], g = rgb[3 * size_t(i) + 1], b = rgb[3 * size_t(i) + 2];
        ASSERT_EQ(bright[size_t(i)], (r + g + b + 1) / 3) << r << "," << g << "," << b;
    }
}

TEST_P(KernelLevels, JoiningPlanesGivesEveryColourInPlaceAndTouchesNothingElse) {
    const std::vector<uint8_t> every = EveryColour();
    const int32_t pixels = 1 << 24;
    std::vector<uint8_t> planes[3];
    for (int32_t c = 0; c < 3; ++c) {
        planes[c].resize(size_t(pixels));
        for (int32_t i = 0; i < pixels; ++i) planes[c][size_t(i)] = every[3 * size_t(i) + size_t(c)];
    }
    // Rows of every width up to a few groups, then the long awkward ones; a guard byte after each.
    std::vector<uint8_t> rgb(3 * size_t(pixels) + 1, 0x5A);
    int32_t x = 0;
    for (int32_t width = 0; width < 100 && x + width <= pixels; x += width, ++width) {
        rgb[3 * size_t(x + width)] = 0x5A;
        kernels_->joinRow(&planes[0][size_t(x)], &planes[1][size_t(x)], &planes[2][size_t(x)], width, &rgb[3 * size_t(x)]);
        ASSERT_EQ(rgb[3 * size_t(x + width)], 0x5A) << "width " << width;
    }
    for (; x < pixels; x += kOddRow) {
        const int32_t width = std::min(kOddRow, pixels - x);
        kernels_->joinRow(&planes[0][size_t(x)], &planes[1][size_t(x)], &planes[2][size_t(x)], width, &rgb[3 * size_t(x)]);
    }
    rgb.pop_back();
    EXPECT_TRUE(rgb == every);
}

// The colour of (r, g, b) given the mean level c, straight from the formulas of both methods.
void Recoloured(int32_t r, int32_t g, int32_t b, int32_t c, bool smoother, int32_t out[3]) {
    int32_t d = (r + g) / 2 - b;
    if (smoother) d = 2 * (((r + g) / 2 - b) / 2);  // t = 2 D2 - 256 with D2 = d quot 2 + 128
    const int32_t e = (r - g) / 2;
    out[0] = ClampInt(c + d / 3 + e, 0, 255);
    out[1] = ClampInt(c + d / 3 - e, 0, 255);
    out[2] = ClampInt(c - (2 * d) / 3, 0, 255);
}

TEST_P(KernelLevels, RecolouringOfEveryColourAtSeveralLevels) {
    const std::vector<uint8_t> rgb = EveryColour();
    const int32_t pixels = 1 << 24;
    std::vector<uint8_t> levels(size_t(pixels) + 64);
    Random random(77);
    for (uint8_t& level : levels) level = uint8_t(random.Below(256));
    for (const bool smoother : {true, false}) {
        // Smoother recolours in place, Variable width into another row.
        std::vector<uint8_t> out = smoother ? rgb : std::vector<uint8_t>(rgb.size(), 0);
        for (int32_t x = 0; x < pixels; x += kOddRow) {
            const int32_t n = std::min(kOddRow, pixels - x);
            uint8_t* row = out.data() + 3 * size_t(x);
            if (smoother) {
                kernels_->recolourSmootherRow(levels.data() + x, row, row, n);
            } else {
                kernels_->recolourVariableRow(levels.data() + x, rgb.data() + 3 * size_t(x), row, n);
            }
        }
        for (int32_t i = 0; i < pixels; ++i) {
            int32_t expected[3];
            Recoloured(rgb[3 * size_t(i)], rgb[3 * size_t(i) + 1], rgb[3 * size_t(i) + 2], levels[size_t(i)], smoother,
                       expected);
            for (int32_t c = 0; c < 3; ++c)
                ASSERT_EQ(out[3 * size_t(i) + size_t(c)], expected[c])
                    << (smoother ? "Smoother " : "Variable ") << int(rgb[3 * size_t(i)]) << ","
                    << int(rgb[3 * size_t(i) + 1]) << "," << int(rgb[3 * size_t(i) + 2]) << " level "
                    << int(levels[size_t(i)]);
        }
    }
}

struct MethodUnderTest {
    const char* name;
    int32_t method;
    int32_t reach;
};

const MethodUnderTest kAll[] = {{"Traditional", kMethodTraditional, 0},
                                {"Smoother", kMethodSmoother, 0},
                                {"Variable reach 1", kMethodVariableWidth, 1},
                                {"Variable reach 2", kMethodVariableWidth, 2},
                                {"Variable reach 3", kMethodVariableWidth, 3}};

Image RunMethod(const MethodUnderTest& m, const Image& in) {
    ImageBuffer* buffer = MakeBuffer(in);
    EXPECT_NE(buffer, nullptr);
    FakeRun fake;
    int16_t code = -1;
    if (m.method == kMethodTraditional) code = FindEdgesTraditional(buffer, &fake.progress, 0);
    if (m.method == kMethodSmoother) code = FindEdgesSmoother(buffer, &fake.progress, 0);
    if (m.method == kMethodVariableWidth) code = FindEdgesVariableWidth(buffer, &fake.progress, m.reach, 0);
    EXPECT_EQ(code, 0);
    Image out = ReadBack(buffer);
    DisposeImageBuffer(buffer);
    return out;
}

Image Reference(const MethodUnderTest& m, const Image& in) {
    if (m.method == kMethodTraditional) return ReferenceTraditional(in);
    if (m.method == kMethodSmoother) return ReferenceSmoother(in);
    return ReferenceVariableWidth(in, m.reach);
}

TEST_P(KernelLevels, MethodsMatchTheReferenceAroundEveryGroupWidth) {
    // Widths on both sides of the 8-, 16- and 32-sample groups (and of those plus the border
    // columns), degenerate shapes, and one wide image with long rows.
    const int32_t sizes[][2] = {{1, 1},  {2, 2},  {3, 3},  {4, 4},  {1, 6},  {6, 1},  {2, 9},  {7, 5},  {8, 5},
                                {9, 6},  {10, 7}, {11, 4}, {15, 5}, {16, 6}, {17, 7}, {18, 4}, {19, 5}, {31, 6},
                                {32, 4}, {33, 5}, {34, 7}, {35, 4}, {47, 5}, {63, 6}, {64, 5}, {65, 4}, {66, 8},
                                {97, 9}, {130, 5}, {257, 11}, {1001, 6}};
    uint32_t seed = 1000;
    for (const MethodUnderTest& m : kAll) {
        for (const auto& size : sizes) {
            for (int32_t planes : {1, 3}) {
                const Image in = PhotoLike(size[0], size[1], planes, seed++);
                ASSERT_EQ(RunMethod(m, in).bytes, Reference(m, in).bytes)
                    << m.name << " " << size[0] << "x" << size[1] << " planes " << planes;
            }
        }
    }
}

TEST_P(KernelLevels, StrongNoiseAndSaturatedStepsMatchTheReference) {
    // Full-range noise drives the Sobel roots past 255 and every response to its extremes.
    for (int32_t planes : {1, 3}) {
        Image in = Blank(77, 13, planes);
        Random random(5 + uint32_t(planes));
        for (uint8_t& v : in.bytes) v = random.Below(2) ? uint8_t(random.Below(256)) : (random.Below(2) ? 0 : 255);
        for (const MethodUnderTest& m : kAll)
            ASSERT_EQ(RunMethod(m, in).bytes, Reference(m, in).bytes) << m.name << " planes " << planes;
    }
}

TEST_P(KernelLevels, VariableWidthShadesLyingOnWholeNumbersMatchTheReference) {
    // Steps of every height beside a step of 255 (the peak): 255 - 255 h / 255 is a whole number
    // in exact arithmetic, so these shades lie on the boundaries where single precision cannot
    // decide and double precision must.
    Image in = Blank(9 * 256, 10, 1);
    for (int32_t y = 0; y < in.height; ++y)
        for (int32_t h = 0; h < 256; ++h)
            for (int32_t x = 0; x < 9; ++x) in.at(9 * h + x, y) = x < 4 ? 0 : uint8_t(h);
    for (int32_t reach = 1; reach <= 3; ++reach) {
        const MethodUnderTest m{"Variable", kMethodVariableWidth, reach};
        ASSERT_EQ(RunMethod(m, in).bytes, Reference(m, in).bytes) << "reach " << reach;
    }
}

TEST_P(KernelLevels, ExtremesOfEveryRowAreThoseOfItsSevenLevels) {
    Random random(31);
    for (int32_t width : {1, 5, 8, 15, 16, 17, 33, 100}) {
        std::vector<uint8_t> grey(size_t(width) + 6);
        for (uint8_t& g : grey) g = uint8_t(random.Below(256));
        std::vector<uint8_t> most(static_cast<size_t>(width)), least(static_cast<size_t>(width));
        kernels_->extremesRow(grey.data(), width, most.data(), least.data());
        for (int32_t x = 0; x < width; ++x) {
            const auto window = grey.begin() + x;
            EXPECT_EQ(most[size_t(x)], *std::max_element(window, window + 7)) << width << " at " << x;
            EXPECT_EQ(least[size_t(x)], *std::min_element(window, window + 7)) << width << " at " << x;
        }
    }
}

TEST_P(KernelLevels, VariableWidthOnFaintFlatAndWidePicturesMatchesTheReference) {
    // A faint picture (steps of 1 to 3 levels: a small peak, so wide margins and many samples
    // decided in double precision), one whose upper half is flat (the peak stays 0 for many
    // rows), a single faint dot, and widths that end in a short run of columns.
    std::vector<Image> pictures;
    Image faint = Blank(83, 21, 1, 100);
    Random random(9);
    for (uint8_t& v : faint.bytes) v = uint8_t(100 + random.Below(4));
    pictures.push_back(faint);
    Image flatTop = PhotoLike(70, 24, 3, 12);
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 70; ++x)
            for (int32_t c = 0; c < 3; ++c) flatTop.at(x, y, c) = 60;
    pictures.push_back(flatTop);
    Image dot = Blank(40, 15, 1, 0);
    dot.at(20, 7) = 1;
    pictures.push_back(dot);
    pictures.push_back(PhotoLike(517, 7, 1, 3));
    pictures.push_back(PhotoLike(1029, 6, 3, 4));
    for (const Image& in : pictures) {
        for (int32_t reach = 1; reach <= 3; ++reach) {
            const MethodUnderTest m{"Variable", kMethodVariableWidth, reach};
            ASSERT_EQ(RunMethod(m, in).bytes, Reference(m, in).bytes)
                << in.width << "x" << in.height << " planes " << in.planes << " reach " << reach;
        }
    }
}

TEST_P(KernelLevels, VariableWidthFindsAPeakBarelyAboveAnEarlierOne) {
    // Every row holds the same strong step, so the peak is known early; one pixel further down
    // raises the strongest response by a single smallest weight (a relative 1e-4), and that
    // pixel must still be found to be the peak: with a peak that small amount too low, some of
    // the many shades of the fainter picture beside the steps come out one level darker.
    const Image texture = PhotoLike(64, 24, 1, 21);
    Image in = Blank(80, 24, 1);
    for (int32_t y = 0; y < in.height; ++y) {
        for (int32_t x = 8; x < 16; ++x) in.at(x, y) = 254;
        for (int32_t x = 16; x < 80; ++x) in.at(x, y) = uint8_t(80 + texture.at(x - 16, y) / 3);
    }
    in.at(10, 17) = 255;
    for (int32_t reach = 1; reach <= 3; ++reach) {
        const MethodUnderTest m{"Variable", kMethodVariableWidth, reach};
        ASSERT_EQ(RunMethod(m, in).bytes, Reference(m, in).bytes) << "reach " << reach;
    }
}

TEST_P(KernelLevels, TraditionalTreatsEveryChannelAlike) {
    // Three interleaved channels of noise: neighbours three bytes apart, each channel on its own.
    Image in = Blank(37, 9, 3);
    Random random(44);
    for (uint8_t& v : in.bytes) v = uint8_t(random.Below(256));
    const MethodUnderTest m{"Traditional", kMethodTraditional, 0};
    EXPECT_EQ(RunMethod(m, in).bytes, ReferenceTraditional(in).bytes);
}

INSTANTIATE_TEST_SUITE_P(Levels, KernelLevels, ::testing::Values(kKernelSse2, kKernelAvx2, kKernelAvx512),
                         [](const ::testing::TestParamInfo<int32_t>& info) { return LevelTestName(info.param); });

}  // namespace

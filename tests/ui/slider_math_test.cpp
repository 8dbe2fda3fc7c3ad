// The width slider's arithmetic: positions and values, the scroll codes, the shown text and the
// typed-number parser, and the thumb-to-text-to-value round trip the dialog goes through.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "ui/preview_math.h"
#include "ui/slider_math.h"

namespace {

constexpr float kMinimum = 1.0f;
constexpr float kMaximum = 3.0f;
constexpr int32_t kHighest = 200;

// What the dialog does when the thumb is dropped at `position`: the value from the position is
// shown as a whole number, and the edit field's change notification reads that text back.
struct Snap {
    float shownValue;
    std::string text;
    float value;
    int32_t position;
};
Snap DropThumb(int32_t position) {
    Snap s;
    s.shownValue = SliderValueAt(kMinimum, kMaximum, position, 0, kHighest);
    char text[16];
    FormatSliderValue(s.shownValue, text);
    s.text = text;
    s.value = ClampSliderValue(ParseDecimalText(text), kMinimum, kMaximum);
    s.position = SliderPositionOf(s.value, kMinimum);
    return s;
}

TEST(Slider, DialogRangeAndStartPositions) {
    EXPECT_EQ(SliderPositionOf(kMaximum, kMinimum), kHighest);
    EXPECT_EQ(SliderPositionOf(1.0f, kMinimum), 0);
    EXPECT_EQ(SliderPositionOf(2.0f, kMinimum), 100);
    EXPECT_EQ(SliderPositionOf(3.0f, kMinimum), 200);
    EXPECT_EQ(SliderPositionOf(2.7f, kMinimum), 170);
    EXPECT_EQ(SliderStartValue(2.0f), 2.0f);
    EXPECT_EQ(SliderStartValue(0.01f), 0.01f);
    EXPECT_EQ(SliderStartValue(0.005f), 0.0f);
    EXPECT_EQ(SliderStartValue(-3.0f), 0.0f);
}

TEST(Slider, ThumbSnapsToTheShownWholeNumber) {
    struct Case {
        int32_t thumb;
        float shown;
        const char* text;
        float value;
        int32_t position;
        int32_t radius;
    };
    const Case cases[] = {
        {150, 2.5f, "3", 3.0f, 200, 3},
        {140, 2.4f, "2", 2.0f, 100, 2},
        {0, 1.0f, "1", 1.0f, 0, 1},
        {49, 1.49f, "1", 1.0f, 0, 1},
        {50, 1.5f, "2", 2.0f, 100, 2},
        {200, 3.0f, "3", 3.0f, 200, 3},
    };
    for (const Case& c : cases) {
        Snap s = DropThumb(c.thumb);
        EXPECT_FLOAT_EQ(s.shownValue, c.shown) << c.thumb;
        EXPECT_EQ(s.text, c.text) << c.thumb;
        EXPECT_EQ(s.value, c.value) << c.thumb;
        EXPECT_EQ(s.position, c.position) << c.thumb;
        EXPECT_EQ(TruncateToInt32(s.value), c.radius) << c.thumb;
    }
}

TEST(Slider, TypedTextSetsTheValue) {
    struct Case {
        const char* typed;
        float value;
        int32_t radius;
        int32_t position;
    };
    const Case cases[] = {
        {"2.7", 2.7f, 2, 170}, {"9", 3.0f, 3, 200},  {"0", 1.0f, 1, 0},       {"letters", 1.0f, 1, 0},
        {"-2", 1.0f, 1, 0},    {"  2.5x", 2.5f, 2, 150}, {"3.0000001", 3.0f, 3, 200}, {"1e9999", 3.0f, 3, 200},
        {"2,9", 2.0f, 2, 100}, {"\t+1.25", 1.25f, 1, 25},
    };
    for (const Case& c : cases) {
        float value = ClampSliderValue(ParseDecimalText(c.typed), kMinimum, kMaximum);
        EXPECT_EQ(value, c.value) << c.typed;
        EXPECT_EQ(TruncateToInt32(value), c.radius) << c.typed;
        EXPECT_EQ(SliderPositionOf(value, kMinimum), c.position) << c.typed;
    }
}

TEST(Slider, ParserReadsTheLongestNumberAtTheStart) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"2.7", 2.7},
        {"0.1", 0.1},
        {"   12", 12.0},
        {"\n\v\f\r 3", 3.0},
        {"-0.5", -0.5},
        {"+7", 7.0},
        {".5", 0.5},
        {"5.", 5.0},
        {"007.250", 7.25},
        {"0.000123", 0.000123},
        {"1e2", 100.0},
        {"1E-2", 0.01},
        {"2.5e+1x", 25.0},
        {"2e", 2.0},         // an exponent mark without digits is not part of the number
        {"2e+", 2.0},
        {"3abc", 3.0},
        {"1.2.3", 1.2},
        {"0.30000000000000004", 0.30000000000000004},
        {"1e-400", 0.0},
        {"", 0.0},
        {"   ", 0.0},
        {".", 0.0},
        {"-", 0.0},
        {"+.e5", 0.0},
        {"abc", 0.0},
        {"x2", 0.0},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseDecimalText(c.text), c.value) << '"' << c.text << '"';
    EXPECT_DOUBLE_EQ(ParseDecimalText("12345678901234567890123"), 12345678901234567890123.0);
    EXPECT_TRUE(std::isinf(ParseDecimalText("1e400")));
    EXPECT_EQ(ParseDecimalText(nullptr), 0.0);
}

TEST(Slider, ScrollCodesStopAtTheEnds) {
    struct Case {
        int32_t code, position, thumb;
        int32_t target;
    };
    // Line and page steps of 100 positions (a value step of 1.0).
    const Case cases[] = {
        {kScrollLineDown, 100, 0, 200}, {kScrollLineDown, 200, 0, 200}, {kScrollLineDown, 150, 0, 200},
        {kScrollLineUp, 100, 0, 0},     {kScrollLineUp, 0, 0, 0},       {kScrollLineUp, 50, 0, 0},
        {kScrollPageDown, 0, 0, 100},   {kScrollPageDown, 200, 0, 200}, {kScrollPageUp, 200, 0, 100},
        {kScrollPageUp, 0, 0, 0},       {kScrollThumbPosition, 0, 150, 150}, {kScrollThumbTrack, 0, 140, 140},
        {kScrollTop, 170, 0, 0},        {kScrollBottom, 30, 0, 200},
    };
    for (const Case& c : cases) {
        int32_t target = -1;
        ASSERT_TRUE(SliderScrollTarget(c.code, c.position, c.thumb, 0, kHighest, 100.0f, 100.0f, &target));
        EXPECT_EQ(target, c.target) << "code " << c.code << " from " << c.position;
    }
    int32_t untouched = 77;
    EXPECT_FALSE(SliderScrollTarget(8, 100, 0, 0, kHighest, 100.0f, 100.0f, &untouched));
    EXPECT_EQ(untouched, 77);
}

TEST(Slider, ArrowsMoveTheValueByOneAndStopAtTheLimits) {
    int32_t position = SliderPositionOf(2.0f, kMinimum);
    const float expectedUp[] = {3.0f, 3.0f, 3.0f};
    for (float expected : expectedUp) {
        ASSERT_TRUE(SliderScrollTarget(kScrollLineDown, position, 0, 0, kHighest, 100.0f, 100.0f, &position));
        EXPECT_EQ(SliderValueAt(kMinimum, kMaximum, position, 0, kHighest), expected);
    }
    const float expectedDown[] = {2.0f, 1.0f, 1.0f};
    for (float expected : expectedDown) {
        ASSERT_TRUE(SliderScrollTarget(kScrollLineUp, position, 0, 0, kHighest, 100.0f, 100.0f, &position));
        EXPECT_EQ(SliderValueAt(kMinimum, kMaximum, position, 0, kHighest), expected);
    }
}

TEST(Slider, ShownTextIsTheRoundedWholeNumber) {
    struct Case {
        float value;
        const char* text;
    };
    const Case cases[] = {{1.0f, "1"}, {2.0f, "2"}, {2.4f, "2"}, {2.5f, "3"}, {2.7f, "3"},
                          {0.0f, "0"}, {0.49f, "0"}, {123.5f, "124"}, {-0.75f, "0"}, {-1.6f, "-1"}};
    for (const Case& c : cases) {
        char text[16];
        FormatSliderValue(c.value, text);
        EXPECT_STREQ(text, c.text) << c.value;
    }
    char text[16];
    FormatSliderValue(1e30f, text);
    EXPECT_STREQ(text, "2147483647");
}

TEST(Slider, ValueOfAnEmptyScrollRangeIsTheMinimum) {
    EXPECT_EQ(SliderValueAt(2.0f, 2.0f, 0, 0, 0), 2.0f);
    EXPECT_EQ(SliderValueAt(1.0f, 3.0f, 100, 0, 200), 2.0f);
    EXPECT_FLOAT_EQ(SliderValueAt(1.0f, 3.0f, 170, 0, 200), 2.7f);
}

TEST(Slider, TruncationSaturatesAndIgnoresNaN) {
    EXPECT_EQ(TruncateToInt32(2.99), 2);
    EXPECT_EQ(TruncateToInt32(-2.99), -2);
    EXPECT_EQ(TruncateToInt32(1e12), INT32_MAX);
    EXPECT_EQ(TruncateToInt32(-1e12), INT32_MIN);
    EXPECT_EQ(TruncateToInt32(std::nan("")), 0);
    EXPECT_EQ(ClampSliderValue(std::nan(""), kMinimum, kMaximum), kMinimum);
}

}  // namespace

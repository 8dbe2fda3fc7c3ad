// The width slider's arithmetic, free of any window system: a scroll bar whose positions are
// hundredths of a floating-point value, and an edit field that shows the value as a whole number
// and accepts a typed decimal number.
//
// Contract: values are 32-bit floats, positions signed 32-bit; positions run from 0 to
// trunc((maximum - minimum) x 100). Real arithmetic is done in double precision and rounded to a
// float where a value is stored; every real-to-integer conversion truncates towards zero and
// saturates at the int32 limits (NaN gives 0). The text parser never reads past the terminator.
#pragma once

#include <cstdint>

// Truncation towards zero of a real, saturated to int32 (NaN gives 0).
int32_t TruncateToInt32(double value);

// The value a slider starts with: the given value if it is 0.01 or more, else 0.
float SliderStartValue(float value);

// trunc((value - minimum) x 100): the scroll position of a value (also gives the highest position
// when passed the maximum).
int32_t SliderPositionOf(float value, float minimum);

// minimum + (maximum - minimum) x position / (highest - lowest); the minimum when the scroll
// range is empty.
float SliderValueAt(float minimum, float maximum, int32_t position, int32_t lowest, int32_t highest);

// The new position for a scroll code (codes as in preview_math.h): line and page steps of
// trunc(step) positions that stop at lowest and highest and do nothing when already there, the
// thumb's position, lowest or highest. False for an unknown code (no change at all).
bool SliderScrollTarget(int32_t code, int32_t position, int32_t thumb, int32_t lowest, int32_t highest,
                        float lineStep, float pageStep, int32_t* target);

// The edit field's text for a value: the decimal text of trunc(value + 0.5). `text` holds at least
// 16 bytes.
void FormatSliderValue(float value, char* text);

// A typed decimal number: leading white space skipped, then an optional sign, digits, an optional
// point and digits, and an optional exponent (e or E, optional sign, digits); parsing stops at the
// first character that cannot continue the number. No number at all gives 0. The result is the
// same in every build (it does not depend on the C runtime's conversion).
double ParseDecimalText(const char* text);

// A typed value held to the slider's range: below the minimum gives the minimum, above the maximum
// the maximum, rounded to a float.
float ClampSliderValue(double typed, float minimum, float maximum);

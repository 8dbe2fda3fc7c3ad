// The width slider's arithmetic (see slider_math.h).
#include "ui/slider_math.h"

#include "ui/preview_math.h"

namespace {

// Powers of ten that a double holds exactly: one multiplication or division by one of them rounds
// a mantissa of up to 2^53 correctly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int32_t kLargestExactPower = 22;
constexpr int32_t kMantissaDigits = 19;       // what a uint64 holds without overflow
constexpr int32_t kExponentLimit = 100000;    // far beyond the range of a double either way

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

double ScaleByPowerOfTen(double value, int32_t exponent) {
    while (exponent > kLargestExactPower && value != 0.0 && value < 1e308) {
        value *= kExactPowersOfTen[kLargestExactPower];
        exponent -= kLargestExactPower;
    }
    while (exponent < -kLargestExactPower && value != 0.0) {
        value /= kExactPowersOfTen[kLargestExactPower];
        exponent += kLargestExactPower;
    }
    if (exponent > kLargestExactPower) return value * 1e308 * 10.0;  // overflows to infinity
    if (exponent >= 0) return value * kExactPowersOfTen[exponent];
    if (exponent >= -kLargestExactPower) return value / kExactPowersOfTen[-exponent];
    return value;
}

}  // namespace

int32_t TruncateToInt32(double value) {
    if (!(value == value)) return 0;
    if (value >= 2147483647.0) return INT32_MAX;
    if (value <= -2147483648.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

float SliderStartValue(float value) { return value >= 0.01f ? value : 0.0f; }

int32_t SliderPositionOf(float value, float minimum) {
    return TruncateToInt32((static_cast<double>(value) - static_cast<double>(minimum)) * 100.0);
}

float SliderValueAt(float minimum, float maximum, int32_t position, int32_t lowest, int32_t highest) {
    int64_t span = static_cast<int64_t>(highest) - lowest;
    if (span == 0) return minimum;
    double value = static_cast<double>(minimum) +
                   (static_cast<double>(maximum) - static_cast<double>(minimum)) * static_cast<double>(position) /
                       static_cast<double>(span);
    return static_cast<float>(value);
}

bool SliderScrollTarget(int32_t code, int32_t position, int32_t thumb, int32_t lowest, int32_t highest,
                        float lineStep, float pageStep, int32_t* target) {
    int64_t next = position;
    switch (code) {
        case kScrollLineUp:
        case kScrollPageUp:
            if (position > lowest) {
                next = static_cast<int64_t>(position) - TruncateToInt32(code == kScrollLineUp ? lineStep : pageStep);
                if (next < lowest) next = lowest;
            }
            break;
        case kScrollLineDown:
        case kScrollPageDown:
            if (position < highest) {
                next = static_cast<int64_t>(position) + TruncateToInt32(code == kScrollLineDown ? lineStep : pageStep);
                if (next > highest) next = highest;
            }
            break;
        case kScrollThumbPosition:
        case kScrollThumbTrack: next = thumb; break;
        case kScrollTop: next = lowest; break;
        case kScrollBottom: next = highest; break;
        default: return false;
    }
    if (next > INT32_MAX) next = INT32_MAX;
    if (next < INT32_MIN) next = INT32_MIN;
    *target = static_cast<int32_t>(next);
    return true;
}

void FormatSliderValue(float value, char* text) {
    int64_t number = TruncateToInt32(static_cast<double>(value) + 0.5);
    bool negative = number < 0;
    uint64_t magnitude = static_cast<uint64_t>(negative ? -number : number);
    char digits[24];
    int32_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int32_t at = 0;
    if (negative) text[at++] = '-';
    while (count > 0) text[at++] = digits[--count];
    text[at] = '\0';
}

double ParseDecimalText(const char* text) {
    if (text == nullptr) return 0.0;
    const char* p = text;
    while (IsSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint64_t mantissa = 0;
    int32_t kept = 0;       // significant digits held in the mantissa
    int32_t exponent = 0;   // decimal exponent of the mantissa's last digit
    bool anyDigit = false;
    for (; IsDigit(*p); ++p) {
        anyDigit = true;
        if (mantissa == 0 && *p == '0') continue;
        if (kept < kMantissaDigits) {
            mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
            ++kept;
        } else if (exponent < kExponentLimit) {
            ++exponent;
        }
    }
    if (*p == '.') {
        ++p;
        for (; IsDigit(*p); ++p) {
            anyDigit = true;
            if (mantissa == 0 && *p == '0') {
                if (exponent > -kExponentLimit) --exponent;
                continue;
            }
            if (kept < kMantissaDigits) {
                mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
                ++kept;
                if (exponent > -kExponentLimit) --exponent;
            }
        }
    }
    if (!anyDigit) return 0.0;
    if (*p == 'e' || *p == 'E') {
        const char* q = p + 1;
        bool exponentNegative = false;
        if (*q == '+' || *q == '-') {
            exponentNegative = *q == '-';
            ++q;
        }
        if (IsDigit(*q)) {
            int32_t written = 0;
            for (; IsDigit(*q); ++q) {
                if (written < kExponentLimit) written = written * 10 + (*q - '0');
            }
            exponent += exponentNegative ? -written : written;
        }
    }
    if (exponent > kExponentLimit) exponent = kExponentLimit;
    if (exponent < -kExponentLimit) exponent = -kExponentLimit;
    double value = mantissa == 0 ? 0.0 : ScaleByPowerOfTen(static_cast<double>(mantissa), exponent);
    return negative ? -value : value;
}

float ClampSliderValue(double typed, float minimum, float maximum) {
    if (!(typed == typed)) return minimum;
    if (typed < minimum) return minimum;
    if (typed > maximum) return maximum;
    return static_cast<float>(typed);
}

// Look-ups in the edge parameter table, and the remembered choice read from the preferences file.
#include "params/edge_table.h"

#include "base/results.h"
#include "buffers/files.h"
#include "buffers/image_buffer.h"
#include "params/preferences.h"
#include "params/settings.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Equal but for the case of ASCII letters.
bool SameTextAnyCase(const char* a, const char* b) {
    while (*a != 0 && Lower(*a) == Lower(*b)) ++a, ++b;
    return Lower(*a) == Lower(*b);
}

// A single digit from `low` to `high`; 0 for anything else.
int32_t Digit(const char* text, int32_t low, int32_t high) {
    if (text[0] < '0' || text[0] > '9' || text[1] != 0) return 0;
    const int32_t value = text[0] - '0';
    return value >= low && value <= high ? value : 0;
}

// The part of the file that holds both remembered values.
constexpr int32_t kRememberedBytes = kSettingRadius + 4;
static_assert(kSettingMethod + 4 <= kRememberedBytes);

// The value the plug-in seeds from the real stored at `offset` (truncated toward zero) when the
// file held it and it lies in [low, high], else `fallback`. The range is checked on the real, so
// that no NaN or huge value is ever converted.
int32_t StoredValue(const uint8_t* head, int32_t held, int32_t offset, int32_t low, int32_t high, int32_t fallback) {
    if (held < offset + 4) return fallback;
    const float value = GetSettingReal(head, offset);
    if (!(value >= float(low) && value < float(high + 1))) return fallback;
    return int32_t(value);
}

}  // namespace

const EdgeMethodEntry* FindEdgeMethod(int32_t number) {
    return IsEdgeMethod(number) ? &kEdgeMethods[number - kEdgeMethodFirst] : nullptr;
}

int32_t EdgeMethodFromText(const char* text) {
    if (!text) return 0;
    for (const EdgeMethodEntry& entry : kEdgeMethods)
        if (SameTextAnyCase(text, entry.shortName) || SameTextAnyCase(text, entry.name)) return entry.number;
    return Digit(text, kEdgeMethodFirst, kEdgeMethodLast);
}

int32_t EdgeRadiusFromText(const char* text) { return text ? Digit(text, kEdgeRadiusMin, kEdgeRadiusMax) : 0; }

RememberedEdgeChoice RememberedChoiceFrom(const uint8_t* bytes, int32_t size) {
    RememberedEdgeChoice choice = {kDefaultMethod, kDefaultRadius};
    if (!bytes || size <= 0) return choice;
    choice.method = StoredValue(bytes, size, kSettingMethod, kEdgeMethodFirst, kEdgeMethodLast, kDefaultMethod);
    choice.radius = StoredValue(bytes, size, kSettingRadius, kEdgeRadiusMin, kEdgeRadiusMax, kDefaultRadius);
    return choice;
}

RememberedEdgeChoice ReadRememberedChoice(void) {
    char path[kPathCapacity];
    CopyTextBounded(kPreferencesName, path, kPathCapacity);
    ResolveInstallPath(path);
    FileHandle file = kNoFile;
    if (FileOpen(path, &file) != kNoErr) return RememberedChoiceFrom(nullptr, 0);
    uint8_t head[kRememberedBytes] = {};
    int32_t held = kRememberedBytes;
    if (FileRead(file, &held, head) != kNoErr) held = 0;
    FileClose(file);
    return RememberedChoiceFrom(head, held);
}

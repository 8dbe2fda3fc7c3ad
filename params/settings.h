// Meaningful positions of the SettingsArea (4096 bytes of little-endian 32-bit words in the
// RunState, persisted in the preferences file), and access to its single-precision reals.
#pragma once

#include <cstdint>
#include <cstring>

enum : int32_t {
    kSettingUnitCode = 8,        // default 6
    kSettingScale = 12,          // default 1/72
    kSettingDialogRadius = 424,  // radius accepted in the dialog
    kSettingDialogMethod = 848,  // method accepted in the dialog
    kSettingMethod = 948,        // method of the last run, seeds the next one
    kSettingRadius = 952,        // radius of the last run
};

inline float GetSettingReal(const uint8_t* settings, int32_t offset) {
    uint32_t bits = uint32_t(settings[offset]) | uint32_t(settings[offset + 1]) << 8 |
                    uint32_t(settings[offset + 2]) << 16 | uint32_t(settings[offset + 3]) << 24;
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

inline void SetSettingReal(uint8_t* settings, int32_t offset, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    for (int i = 0; i < 4; ++i) settings[offset + i] = uint8_t(bits >> (8 * i));
}

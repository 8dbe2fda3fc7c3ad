// The per-run record: the SettingsArea and string slots the preferences file persists, the run's
// mask image and the host record the run reaches the host through.
//
// Contract: one RunState per Execute call, zero-filled when made; the driver fills the shape,
// run word, host and mask before anything else reads it.
#pragma once

#include <cstdint>

struct ImageBuffer;
struct SelectionRecord;

constexpr int32_t kSettingsAreaSize = 4096;
constexpr int32_t kStringSlotCount = 48;

struct RunState {
    int16_t width;
    int16_t height;
    int16_t planes;
    int32_t reserved;
    uint32_t runWord;
    SelectionRecord* host;
    uint8_t settings[kSettingsAreaSize];  // the SettingsArea, persisted in the preferences file
    ImageBuffer* maskImage;
    char* stringSlots[kStringSlotCount];
    void* spare[2];
};

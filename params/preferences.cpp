// The preferences file: the SettingsArea and the 48 string slots of the run, read before the
// parameters are gathered and written back in full after a successful run.
//
// File layout (53248 bytes): SettingsArea bytes 0..1023 at 0; slot k at 1024 + 1024 k, its text
// and a zero byte (byte 513 of every record is zero); SettingsArea bytes 1024..4095 at 50176.
#include "params/preferences.h"

#include <cmath>
#include <cstring>

#include "base/memory.h"
#include "base/results.h"
#include "buffers/image_buffer.h"
#include "params/parameter_set.h"
#include "params/run_state.h"
#include "params/settings.h"

namespace {

constexpr int32_t kRecordSize = 1024;
constexpr int32_t kHeadBytes = 1024;
constexpr int32_t kTailBytes = kSettingsAreaSize - kHeadBytes;
constexpr int32_t kTailOffset = kRecordSize * (kStringSlotCount + 1);
constexpr int32_t kSlotTextCapacity = 514;  // 513 characters and the terminator
constexpr uint32_t kDefaultScaleBits = 0x3C638E39;  // 1/72 in single precision
constexpr float kDefaultUnitCode = 6.0f;

static_assert(kTailOffset == 50176 && kTailOffset + kTailBytes == kPreferencesFileSize);

// Replaces the file by an empty one and opens it; kNoFile when that fails. (The creator and type
// codes 'CREA' and 'TYPE' of a classic file system have no place on the file systems in use.)
FileHandle RecreateAndOpen(const char* path) {
    FileDelete(path);
    FileCreate(path);
    FileHandle file = kNoFile;
    if (FileOpen(path, &file) != kNoErr) return kNoFile;
    return file;
}

void ReleaseStringSlots(RunState* run) {
    for (int32_t k = 0; k < kStringSlotCount; ++k) {
        DisposeText(run->stringSlots[k]);
        run->stringSlots[k] = nullptr;
    }
}

void ReadStringSlots(RunState* run, FileHandle file) {
    auto* record = static_cast<char*>(AllocateMemoryBlock(kRecordSize));
    if (!record) {
        // The slots stay empty, but the tail must still come from its own place in the file.
        FileSetPos(file, kTailOffset);
        return;
    }
    for (int32_t k = 0; k < kStringSlotCount; ++k) {
        // Cleared for every slot, so that a record cut short by the end of the file cannot pick
        // up the text of the slot before it.
        std::memset(record, 0, kRecordSize);
        int16_t moved = FileSetPos(file, kRecordSize * (k + 1));
        int32_t count = kRecordSize;
        int16_t read = FileRead(file, &count, record);
        if (moved == kNoErr && read == kNoErr && record[0] != 0) SetStringSlot(run, k, record);
    }
    FreeMemoryBlock(record);
}

}  // namespace

void SetStringSlot(RunState* run, int32_t index, const char* text) {
    if (!run || index < 0 || index >= kStringSlotCount) return;
    DisposeText(run->stringSlots[index]);
    run->stringSlots[index] = nullptr;
    if (!text || !text[0]) return;
    size_t length = std::strlen(text);
    int32_t capacity = length + 1 < size_t(kSlotTextCapacity) ? int32_t(length + 1) : kSlotTextCapacity;
    char* copy = NewText(capacity);
    if (!copy) return;
    CopyTextBounded(text, copy, capacity);
    run->stringSlots[index] = copy;
}

const char* GetStringSlot(const RunState* run, int32_t index) {
    if (!run || index < 0 || index >= kStringSlotCount || !run->stringSlots[index]) return "";
    return run->stringSlots[index];
}

FileHandle LoadPreferences(RunState* run, char* path) {
    if (!run || !path) return kNoFile;
    CopyTextBounded(kPreferencesName, path, kPathCapacity);
    ResolveInstallPath(path);

    FileHandle file = kNoFile;
    int16_t opened = FileOpen(path, &file);
    if (opened == kErrFileNotFound) {
        file = RecreateAndOpen(path);
    } else if (opened != kNoErr) {
        // The file is there but cannot be had (held by another program, no permission): it is
        // neither read nor replaced, and the emptied path tells the save to leave it alone.
        path[0] = 0;
        return kNoFile;
    }
    if (file == kNoFile) return kNoFile;

    int32_t count = kHeadBytes;
    FileRead(file, &count, run->settings);
    if (count == kHeadBytes) ReadStringSlots(run, file);
    // From wherever the reads ended: 50176 after a complete file, the end of a short one.
    count = kTailBytes;
    FileRead(file, &count, run->settings + kHeadBytes);
    return file;
}

ParameterSet* SeedParameters(RunState* run) {
    if (!run) return nullptr;
    ParameterSet* set = BuildEdgeParameters(run);
    float unit = GetSettingReal(run->settings, kSettingUnitCode);
    if (unit == 0.0f || std::isnan(unit)) {
        SetSettingReal(run->settings, kSettingUnitCode, kDefaultUnitCode);
        float scale;
        std::memcpy(&scale, &kDefaultScaleBits, sizeof scale);
        SetSettingReal(run->settings, kSettingScale, scale);
    }
    return set;
}

int16_t SavePreferences(RunState* run, const char* path, FileHandle file) {
    if (!run) {
        if (file != kNoFile) FileClose(file);
        return kNoErr;
    }
    if (file == kNoFile) {
        if (!path || !path[0]) {
            ReleaseStringSlots(run);
            return kNoErr;
        }
        file = RecreateAndOpen(path);
        if (file == kNoFile) {
            ReleaseStringSlots(run);
            return kNoErr;
        }
    }
    // One zero-filled record serves the padding and every slot; without it nothing is written,
    // so that the file is never left half replaced.
    auto* record = static_cast<char*>(AllocateMemoryBlock(kRecordSize));
    if (!record) {
        ReleaseStringSlots(run);
        FileClose(file);
        return kErrOutOfMemory;
    }

    FileSetPos(file, 0);
    int32_t count = kHeadBytes;
    FileWrite(file, &count, run->settings);
    if (count >= 0 && count < kHeadBytes) {
        int32_t missing = kHeadBytes - count;
        FileWrite(file, &missing, record);
    }
    for (int32_t k = 0; k < kStringSlotCount; ++k) {
        std::memset(record, 0, kRecordSize);
        if (run->stringSlots[k]) {
            CopyTextBounded(run->stringSlots[k], record, kSlotTextCapacity);
            DisposeText(run->stringSlots[k]);
            run->stringSlots[k] = nullptr;
        }
        record[kSlotTextCapacity - 1] = 0;
        count = kRecordSize;
        FileWrite(file, &count, record);
    }
    count = kTailBytes;
    int16_t status = FileWrite(file, &count, run->settings + kHeadBytes);
    FreeMemoryBlock(record);
    FileClose(file);
    return status;
}

void AbandonPreferences(RunState* run, FileHandle file) {
    if (run) ReleaseStringSlots(run);
    if (file != kNoFile) FileClose(file);
}

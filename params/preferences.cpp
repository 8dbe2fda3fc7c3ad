// The preferences file: the SettingsArea and the 48 string slots of the run, read before the
// parameters are gathered and written back in full after a successful run. A file that another
// program's run holds is waited for a few seconds; after that the run goes on with the defaults
// (the host finds the file held as well and tells the user: a host reads the error string only
// when a run fails with -30904, so the plug-in leaves nothing there).
//
// File layout (53248 bytes): SettingsArea bytes 0..1023 at 0; slot k at 1024 + 1024 k, its text
// and a zero byte (byte 513 of every record is zero); SettingsArea bytes 1024..4095 at 50176.
#include "params/preferences.h"

#include <cmath>
#include <cstring>

#include "api/host_api.h"
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

// The save writes this file beside the preferences and then puts it in their place.
constexpr const char* kNewFileSuffix = ".new";
constexpr int32_t kNewPathCapacity = kPathCapacity + 8;

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

bool AbortAsked(const RunState* run) {
    return run->host && run->host->abortProc && run->host->abortProc() != 0;
}

}  // namespace

void SetStringSlot(RunState* run, int32_t index, const char* text) {
    if (!run || index < 0 || index >= kStringSlotCount) return;
    DisposeText(run->stringSlots[index]);
    run->stringSlots[index] = nullptr;
    if (!text || !text[0]) return;
    // Never looked at beyond the 513 characters a slot keeps: a record read from the file need
    // not hold a zero byte at all.
    int32_t length = 0;
    while (length < kSlotTextCapacity - 1 && text[length] != 0) ++length;
    char* copy = NewText(length + 1);
    if (!copy) return;
    std::memcpy(copy, text, size_t(length));
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
    // Another program's run holds the file until its own save: wait for it a few seconds, for as
    // long as the user does not stop the run.
    for (int32_t waited = 0; opened == kErrFileBusy && waited < kPreferencesBusyWait && !AbortAsked(run);
         waited += kPreferencesBusyPoll) {
        FilePause(kPreferencesBusyPoll);
        opened = FileOpen(path, &file);
    }
    // A missing file is made by the save, so that a run that fails leaves none behind.
    if (opened == kErrFileNotFound) return kNoFile;
    if (opened != kNoErr) {
        // The file is there but cannot be had (held by another program, no permission, not a
        // file at all): it is neither read nor replaced, and the emptied path tells the save to
        // leave it alone.
        path[0] = 0;
        return kNoFile;
    }

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

namespace {

// Writes `count` bytes; a write that stores fewer than asked is a failure too.
int16_t WriteAll(FileHandle file, int32_t count, const void* bytes) {
    int32_t written = count;
    int16_t status = FileWrite(file, &written, bytes);
    if (status == kNoErr && written != count) return kErrIO;
    return status;
}

// The whole file into `out`: the SettingsArea and the slots (released on the way). Bytes an older
// file held beyond its 53248 are not carried over: the file is read and written only as far as its
// layout goes, so a longer one is cut to it by the first save and never copied in full again.
int16_t WriteWholeFile(RunState* run, FileHandle out, char* record) {
    int16_t status = WriteAll(out, kHeadBytes, run->settings);
    for (int32_t k = 0; k < kStringSlotCount; ++k) {
        std::memset(record, 0, kRecordSize);
        if (run->stringSlots[k]) {
            CopyTextBounded(run->stringSlots[k], record, kSlotTextCapacity);
            DisposeText(run->stringSlots[k]);
            run->stringSlots[k] = nullptr;
        }
        record[kSlotTextCapacity - 1] = 0;
        if (status == kNoErr) status = WriteAll(out, kRecordSize, record);
    }
    if (status == kNoErr) status = WriteAll(out, kTailBytes, run->settings + kHeadBytes);
    return status;
}

}  // namespace

int16_t SavePreferences(RunState* run, const char* path, FileHandle file) {
    if (!run) {
        if (file != kNoFile) FileClose(file);
        return kNoErr;
    }
    // No name: the load found a file that is not to be touched.
    if (!path || !path[0]) {
        AbandonPreferences(run, file);
        return kNoErr;
    }
    // A file the user made read-only stays as it is.
    if (file != kNoFile && !FileWritable(file)) {
        AbandonPreferences(run, file);
        return kErrNoWritePermission;
    }
    // Through a symbolic link the save replaces the file the link names, and the link stays.
    char target[kPathCapacity];
    if (FileLinkTarget(path, target, kPathCapacity) != kNoErr) CopyTextBounded(path, target, kPathCapacity);
    char newPath[kNewPathCapacity];
    JoinTexts(target, kNewFileSuffix, newPath);
    auto* record = static_cast<char*>(AllocateMemoryBlock(kRecordSize));
    if (!record) {
        AbandonPreferences(run, file);
        return kErrOutOfMemory;
    }

    // The new file is written in full beside the old one, which stays intact until the new one
    // takes its place in one step; a save that fails anywhere leaves the old file (or no file)
    // and no new one.
    FileDelete(newPath);
    int16_t status = FileCreate(newPath);
    FileHandle out = kNoFile;
    if (status == kNoErr) status = FileOpen(newPath, &out);
    if (status == kNoErr) status = WriteWholeFile(run, out, record);
    if (status == kNoErr) status = FileFlush(out);
    if (out != kNoFile && FileClose(out) != kNoErr && status == kNoErr) status = kErrIO;
    FreeMemoryBlock(record);
    ReleaseStringSlots(run);
    // The old file is closed first: an open file cannot be replaced on every system.
    if (file != kNoFile) FileClose(file);
    if (status == kNoErr) status = FileReplace(newPath, target);
    if (status != kNoErr) FileDelete(newPath);
    return status;
}

void AbandonPreferences(RunState* run, FileHandle file) {
    if (run) ReleaseStringSlots(run);
    if (file != kNoFile) FileClose(file);
}

// Noting the preferences file and the run log around a run, and putting them back after a run
// that the host failed.
#include "params/run_files.h"

#include <cstring>

#include "base/memory.h"
#include "base/results.h"
#include "buffers/files.h"
#include "params/preferences.h"
#include "params/run_log.h"

namespace {

int16_t OpenWaiting(const char* name, FileHandle* file, int32_t wait, int32_t poll, int32_t (*stop)(void*), void* context) {
    int16_t opened = FileOpen(name, file);
    for (int32_t waited = 0; opened == kErrFileBusy && waited < wait && !(stop && stop(context)); waited += poll) {
        FilePause(poll);
        opened = FileOpen(name, file);
    }
    return opened;
}

// The whole of an open file into a new block; its size, or kFileNotNoted.
int32_t ReadWhole(FileHandle file, uint8_t** bytes) {
    *bytes = nullptr;
    int64_t length = 0;
    if (FileLength(file, &length) != kNoErr || length > kMostNotedBytes) return kFileNotNoted;
    if (length == 0) return 0;
    *bytes = static_cast<uint8_t*>(AllocateMemoryBlock(uint32_t(length)));
    int32_t count = int32_t(length);
    if (!*bytes || FileSetPos(file, 0) != kNoErr || FileRead(file, &count, *bytes) != kNoErr || count != length) {
        FreeMemoryBlock(*bytes);
        *bytes = nullptr;
        return kFileNotNoted;
    }
    return count;
}

// The preferences as they are now, under their lock (kept in `file` until the caller closes it).
int32_t NotePreferences(const RunFileNotes* notes, FileHandle* file, uint8_t** bytes, bool* busy,
                        int32_t (*stop)(void*), void* context) {
    *bytes = nullptr;
    const int16_t opened = OpenWaiting(notes->preferences, file, kPreferencesBusyWait, kPreferencesBusyPoll, stop, context);
    if (busy) *busy = opened == kErrFileBusy;
    if (opened == kErrFileNotFound) return kFileAbsent;
    if (opened != kNoErr) return kFileNotNoted;
    return ReadWhole(*file, bytes);
}

int64_t LogLength(int16_t* opened, FileHandle* file) {
    *opened = OpenWaiting(kRunLogName, file, kRunLogBusyWait, kRunLogBusyPoll, nullptr, nullptr);
    if (*opened == kErrFileNotFound) return kFileAbsent;
    int64_t length = 0;
    if (*opened != kNoErr || FileLength(*file, &length) != kNoErr) return kFileNotNoted;
    return length;
}

bool SameBytes(const uint8_t* a, int32_t aSize, const uint8_t* b, int32_t bSize) {
    return aSize == bSize && (aSize <= 0 || std::memcmp(a, b, size_t(aSize)) == 0);
}

int16_t WriteAll(FileHandle file, int32_t count, const void* bytes) {
    int32_t written = count;
    const int16_t status = FileWrite(file, &written, bytes);
    return status == kNoErr && written != count ? int16_t(kErrIO) : status;
}

}  // namespace

void NoteFilesBeforeRun(RunFileNotes* notes, int32_t (*stop)(void*), void* context) {
    std::memset(notes, 0, sizeof *notes);
    notes->beforeSize = notes->afterSize = kFileNotNoted;
    notes->logBefore = notes->logAfter = kFileNotNoted;
    CopyTextBounded(kPreferencesName, notes->preferences, kPathCapacity);
    ResolveInstallPath(notes->preferences);
    if (FileLinkTarget(notes->preferences, notes->target, kPathCapacity) != kNoErr)
        CopyTextBounded(notes->preferences, notes->target, kPathCapacity);
    JoinTexts(notes->target, ".new", notes->newFile);

    FileHandle file = kNoFile;
    notes->beforeSize = NotePreferences(notes, &file, &notes->before, &notes->busy, stop, context);
    if (file != kNoFile) FileClose(file);
    notes->choice = RememberedChoiceFrom(notes->before, notes->beforeSize);
    int16_t opened = 0;
    notes->logBefore = LogLength(&opened, &file);
    if (opened == kNoErr) FileClose(file);
}

void NoteFilesAfterRun(RunFileNotes* notes) {
    FileHandle file = kNoFile;
    FreeMemoryBlock(notes->after);
    notes->after = nullptr;
    notes->afterSize = kFileNotNoted;
    // Preferences not noted before the run are never put back: no need to wait for them again.
    if (notes->beforeSize != kFileNotNoted)
        notes->afterSize = NotePreferences(notes, &file, &notes->after, nullptr, nullptr, nullptr);
    if (file != kNoFile) FileClose(file);

    int16_t opened = 0;
    FreeMemoryBlock(notes->record);
    notes->record = nullptr;
    notes->logAfter = LogLength(&opened, &file);
    const int64_t appended = notes->logAfter - notes->logBefore;
    if (opened == kNoErr && notes->logBefore >= 0 && appended > 0 && appended <= kMostNotedBytes) {
        notes->record = static_cast<uint8_t*>(AllocateMemoryBlock(uint32_t(appended)));
        int32_t count = int32_t(appended);
        if (notes->record && (FileSetPosFar(file, notes->logBefore) != kNoErr ||
                              FileRead(file, &count, notes->record) != kNoErr || count != appended)) {
            FreeMemoryBlock(notes->record);
            notes->record = nullptr;
        }
    }
    if (opened == kNoErr) FileClose(file);
}

int16_t PutBackPreferences(const RunFileNotes* notes) {
    if (notes->beforeSize == kFileNotNoted || notes->afterSize == kFileNotNoted) return kNoErr;
    if (SameBytes(notes->before, notes->beforeSize, notes->after, notes->afterSize)) return kNoErr;
    FileHandle file = kNoFile;
    uint8_t* now = nullptr;
    const int32_t nowSize = NotePreferences(notes, &file, &now, nullptr, nullptr, nullptr);
    const bool ours = nowSize != kFileNotNoted && SameBytes(now, nowSize, notes->after, notes->afterSize);
    FreeMemoryBlock(now);
    int16_t status = kNoErr;
    if (ours && notes->beforeSize == kFileAbsent) {
        // Closed first: a file held open is not removed (nor replaced) on every system.
        if (file != kNoFile) FileClose(file);
        return FileDelete(notes->target);
    }
    if (ours) {
        // As the plug-in saves: the whole file beside the old one, then in its place in one step.
        FileDelete(notes->newFile);
        status = FileCreate(notes->newFile);
        FileHandle out = kNoFile;
        if (status == kNoErr) status = FileOpen(notes->newFile, &out);
        if (status == kNoErr && notes->beforeSize > 0) status = WriteAll(out, notes->beforeSize, notes->before);
        if (status == kNoErr) status = FileFlush(out);
        if (out != kNoFile && FileClose(out) != kNoErr && status == kNoErr) status = kErrIO;
    }
    if (file != kNoFile) FileClose(file);
    if (!ours) return nowSize == kFileNotNoted ? int16_t(kErrFileBusy) : int16_t(kNoErr);
    if (status == kNoErr) status = FileReplace(notes->newFile, notes->target);
    if (status != kNoErr) FileDelete(notes->newFile);
    return status;
}

int64_t CutRunRecord(const RunFileNotes* notes) {
    const int64_t size = notes->logAfter - notes->logBefore;
    if (!notes->record || notes->logBefore < 0 || size <= 0) return 0;
    int16_t opened = 0;
    FileHandle file = kNoFile;
    const int64_t length = LogLength(&opened, &file);
    if (opened != kNoErr) return 0;
    int64_t cut = 0;
    uint8_t* held = nullptr;
    uint8_t* tail = nullptr;
    const int64_t tailSize = length - notes->logAfter;
    if (length >= notes->logAfter && tailSize <= kMostNotedBytes) {
        held = static_cast<uint8_t*>(AllocateMemoryBlock(uint32_t(size)));
        tail = tailSize > 0 ? static_cast<uint8_t*>(AllocateMemoryBlock(uint32_t(tailSize))) : nullptr;
        int32_t count = int32_t(size), rest = int32_t(tailSize);
        bool found = held && (tailSize == 0 || tail) && FileSetPosFar(file, notes->logBefore) == kNoErr &&
                     FileRead(file, &count, held) == kNoErr && count == size &&
                     std::memcmp(held, notes->record, size_t(size)) == 0 &&
                     (tailSize == 0 || (FileRead(file, &rest, tail) == kNoErr && rest == tailSize));
        // What came after the record takes its place; the log is then cut to its new end.
        if (found && tailSize > 0)
            found = FileSetPosFar(file, notes->logBefore) == kNoErr && WriteAll(file, int32_t(tailSize), tail) == kNoErr;
        if (found && FileSetLength(file, length - size) == kNoErr) cut = size;
    }
    FreeMemoryBlock(held);
    FreeMemoryBlock(tail);
    FileClose(file);
    return cut;
}

void ReleaseRunFileNotes(RunFileNotes* notes) {
    FreeMemoryBlock(notes->before);
    FreeMemoryBlock(notes->after);
    FreeMemoryBlock(notes->record);
    notes->before = notes->after = notes->record = nullptr;
}

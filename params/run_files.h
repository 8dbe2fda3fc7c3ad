// The plug-in's preferences file and run log as a host notes them around one run, so that a run
// the user sees fail leaves both as they were.
//
// Contract: the plug-in saves its preferences and appends its record to the run log at the end of
// every run that returns 0, before the host has done its own part (writing the selection, which
// can fail; a stop asked for after the plug-in's last abort test). A host notes both files before
// the run (NoteFilesBeforeRun) and again after a run that returned 0 (NoteFilesAfterRun); when its
// own part fails it puts them back (PutBackPreferences, CutRunRecord). Both take the files'
// locks the way the plug-in does and change a file only while it still holds what the run left, so
// that whatever another program did since is never undone.
//
// NoteFilesBeforeRun takes the preferences file as the plug-in does (the install-path rule, the
// lock, a wait of up to kPreferencesBusyWait while another program holds it, which `stop` ends
// when it answers non-zero) and lets it go before it returns. `busy` then says the file was still
// held: the plug-in will find it held too and run with the defaults, which the host tells the
// user. `choice` is the method and radius the file remembers (the defaults when it has none). A
// file that cannot be noted (held, unreadable, over kMostNotedBytes) is never put back. Memory
// comes from the plug-in's memory blocks; ReleaseRunFileNotes frees it.
#pragma once

#include <cstdint>

#include "buffers/image_buffer.h"
#include "params/edge_table.h"

constexpr int32_t kFileAbsent = -1;     // a size or length: there was no file
constexpr int32_t kFileNotNoted = -2;   // a size or length: what the file held is not known
constexpr int32_t kMostNotedBytes = 1 << 24;
// What a host tells the user after a run that found the preferences file held (`busy`).
constexpr const char kDefaultsUsedWarning[] =
    "the remembered settings were not available (the preferences file is in use by another program); "
    "this run used the defaults and does not remember its settings";

struct RunFileNotes {
    char preferences[kPathCapacity];  // the name the plug-in opens (after the install-path rule)
    char target[kPathCapacity];       // the file its save replaces (a symbolic link followed)
    char newFile[kPathCapacity + 8];  // the save's temporary file beside it
    uint8_t* before;                  // the preferences before the run: beforeSize bytes
    int32_t beforeSize;               // or kFileAbsent, kFileNotNoted
    uint8_t* after;                   // what a run that returned 0 left there
    int32_t afterSize;
    int64_t logBefore;                // the run log's length before the run (kFileAbsent, kFileNotNoted)
    int64_t logAfter;                 // and after it
    uint8_t* record;                  // the bytes the run appended: logAfter - logBefore of them
    bool busy;
    RememberedEdgeChoice choice;
};

void NoteFilesBeforeRun(RunFileNotes* notes, int32_t (*stop)(void* context), void* context);
void NoteFilesAfterRun(RunFileNotes* notes);
// Puts the preferences as they were before the run back in place (written beside them and renamed
// over them, as the plug-in saves; removed when there were none) when the file holds what the run
// left. 0 when it did or there was nothing to do; else the file layer's code, nothing changed.
int16_t PutBackPreferences(const RunFileNotes* notes);
// Takes the run's record out of the log when it is still where the run appended it; what was
// appended after it moves up. Returns how many bytes went (0: none, the log left as it is).
int64_t CutRunRecord(const RunFileNotes* notes);
void ReleaseRunFileNotes(RunFileNotes* notes);

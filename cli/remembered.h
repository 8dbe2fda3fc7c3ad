// The plug-in's remembered settings as varno meets them: a lone -m or -r completed from them, and
// the preferences file and run log noted around each run, so that a picture that fails after its
// run (its selection not written, a stop) leaves both as they were.
//
// Contract: the plug-in takes a played method or radius only as a pair (either one missing means
// both fall back to the defaults). A host composing an action with only one of the two fills in
// the other from the remembered choice (RunFileNotes::choice, params/run_files.h): the value the
// plug-in's preferences file holds from its last run when it is a valid one, else the default.
//
// RunFiles keeps the notes of a command's runs in their order. Before notes both files ahead of a
// run (waiting, as the plug-in would, for a preferences file another program holds, until
// `stopped` answers true); Ran after a run that returned 0, before the run is left; Succeeded
// once the picture is done, Failed when it is not (whether or not its run returned 0). A failed
// run's record leaves the log at once (what later runs appended stays). The preferences follow
// the last run whose picture is done: once every run after that one has failed, they go back to
// what they were before the first of them. EndOfProgram fails every run whose picture is not done;
// `runHeld` says the run in progress was stopped where it stood (its thread held, its files
// perhaps half written): its files are then put back by ForceFilesBack, without the locks that
// thread may hold, and no memory is freed (the held thread may hold the allocator's lock). Safe
// from several threads.
#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

#include "host/descriptor.h"
#include "params/run_files.h"

namespace varno {

// Fills in the missing one when `played` holds exactly one of method and radius.
void CompleteEdgeChoice(Descriptor* played, const RememberedEdgeChoice& remembered);

class RunFiles {
public:
    struct Entry {
        RunFileNotes notes = {};
        std::atomic<bool> ran{false};  // the run returned 0 and its files were noted after it
        int outcome = 0;               // 0 not yet known, kDone, kFailed (under the lock)
    };
    ~RunFiles();
    Entry* Before(bool (*stopped)(void));
    void Ran(Entry* entry);
    // Both forget `entry` (set it to none): the notes may go at once. None does nothing.
    void Succeeded(Entry*& entry);
    void Failed(Entry*& entry);
    void EndOfProgram(bool runHeld);

private:
    void FailLocked(Entry* entry);
    void SettlePreferences(bool release);
    void Prune();
    std::mutex lock_;
    std::deque<std::unique_ptr<Entry>> entries_;
};

// The run's files put back with system calls only (no lock, no allocation): its preferences
// file's temporary removed, the preferences as they were before it, the log cut to its length
// before it. Only for a run whose thread is held (POSIX); never called on Windows.
void ForceFilesBack(const RunFileNotes& notes);

}  // namespace varno

// Completing a lone -m or -r from the remembered choice, and the files of a command's runs.
#include "cli/remembered.h"

#include "host/actions.h"

namespace varno {

namespace {

constexpr int kDone = 1;
constexpr int kFailed = 2;

int32_t AskStopped(void* context) { return reinterpret_cast<bool (*)(void)>(context)() ? 1 : 0; }

}  // namespace

void CompleteEdgeChoice(Descriptor* played, const RememberedEdgeChoice& remembered) {
    const bool hasMethod = played->Find(FourCC("EdgM")) != nullptr;
    const bool hasRadius = played->Find(FourCC("edgR")) != nullptr;
    if (hasMethod == hasRadius) return;
    if (hasMethod) PutEdgeChoice(played, 0, remembered.radius);
    else PutEdgeChoice(played, remembered.method, 0);
}

RunFiles::~RunFiles() {
    for (auto& entry : entries_) ReleaseRunFileNotes(&entry->notes);
}

RunFiles::Entry* RunFiles::Before(bool (*stopped)(void)) {
    auto entry = std::make_unique<Entry>();
    // Noted without the lock: the wait for a busy file must not hold up other pictures' outcomes.
    NoteFilesBeforeRun(&entry->notes, stopped ? AskStopped : nullptr, reinterpret_cast<void*>(stopped));
    std::lock_guard<std::mutex> guard(lock_);
    entries_.push_back(std::move(entry));
    return entries_.back().get();
}

void RunFiles::Ran(Entry* entry) {
    NoteFilesAfterRun(&entry->notes);
    entry->ran = true;
}

void RunFiles::Succeeded(Entry*& entry) {
    if (!entry) return;
    std::lock_guard<std::mutex> guard(lock_);
    entry->outcome = kDone;
    entry = nullptr;
    SettlePreferences(true);
    Prune();
}

// Runs before the last one whose picture is done no longer decide the preferences; those whose
// picture is not done yet stay for their record in the log.
void RunFiles::Prune() {
    size_t lastDone = entries_.size();
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i]->outcome == kDone) lastDone = i;
    while (!entries_.empty() && entries_.front()->outcome != 0 && lastDone != entries_.size()) {
        ReleaseRunFileNotes(&entries_.front()->notes);
        entries_.pop_front();
        if (lastDone-- == 0) break;
    }
}

void RunFiles::Failed(Entry*& entry) {
    if (!entry) return;
    std::lock_guard<std::mutex> guard(lock_);
    FailLocked(entry);
    entry = nullptr;
    SettlePreferences(true);
}

void RunFiles::FailLocked(Entry* entry) {
    if (entry->outcome != 0) return;
    entry->outcome = kFailed;
    if (!entry->ran) return;
    const RunFileNotes& notes = entry->notes;
    const int64_t cut = CutRunRecord(&notes);
    if (cut <= 0) return;
    // What later runs appended moved up by the record's length.
    for (auto& later : entries_) {
        RunFileNotes& other = later->notes;
        if (later.get() == entry) continue;
        if (other.logBefore >= notes.logAfter) other.logBefore -= cut;
        if (other.logAfter >= notes.logAfter) other.logAfter -= cut;
    }
}

void RunFiles::SettlePreferences(bool release) {
    size_t start = 0;
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i]->outcome == kDone) start = i + 1;
    if (start == entries_.size()) return;
    const Entry* lastRan = nullptr;
    for (size_t i = start; i < entries_.size(); ++i) {
        if (entries_[i]->outcome == 0) return;
        if (entries_[i]->ran) lastRan = entries_[i].get();
    }
    // Every run after the last done one failed: the preferences as the first of them found them,
    // if they still hold what the last of them that ran left.
    if (lastRan) {
        RunFileNotes span = lastRan->notes;
        span.before = entries_[start]->notes.before;
        span.beforeSize = entries_[start]->notes.beforeSize;
        PutBackPreferences(&span);
    }
    if (!release) return;
    for (size_t i = start; i < entries_.size(); ++i) ReleaseRunFileNotes(&entries_[i]->notes);
    entries_.erase(entries_.begin() + ptrdiff_t(start), entries_.end());
    Prune();
}

void RunFiles::EndOfProgram(bool runHeld) {
    std::lock_guard<std::mutex> guard(lock_);
    for (size_t i = entries_.size(); i-- > 0;) {
        Entry* entry = entries_[i].get();
        if (entry->outcome != 0) continue;
        if (runHeld && !entry->ran) {
            // The run in progress: its preferences and log as they were before it, whatever it did.
            ForceFilesBack(entry->notes);
            runHeld = false;
        }
        FailLocked(entry);
    }
    SettlePreferences(false);
}

}  // namespace varno

// When a stop request ends the program: at once, or as soon as the plug-in's run returns.
#include "cli/interrupt.h"

#include <mutex>

#include "host/messages.h"
#include "images/output_files.h"

namespace varno {

namespace {

std::atomic<int> stopFlag{0};
// Never destroyed: a request may arrive while the program is already ending.
std::mutex& lock = *new std::mutex;
bool inRun = false;
int pendingRequest = 0;
std::function<void(bool)>& cleanup = *new std::function<void(bool)>;

// `duringRun`: the plug-in's run has not returned, and its thread is held before the cleanup.
[[noreturn]] void EndProgram(int request, bool duringRun) {
    PrintLine(stderr, "varno: interrupted");
    const bool held = duringRun && PlatformHoldRunThread();
    if (cleanup) cleanup(held);
    PlatformEndProgram(request);
}

}  // namespace

void InstallStopHandling(void) { PlatformInstallStopHandling(); }

const std::atomic<int>* StopFlag(void) { return &stopFlag; }

void OnStopRequest(int request) {
    std::unique_lock<std::mutex> guard(lock);
    const bool again = stopFlag.exchange(1) != 0;
    // No output is completed after the request, even while the end waits for the plug-in.
    StopOutputs();
    if (!inRun || again) EndProgram(request, inRun);
    pendingRequest = request;
}

bool EnterPluginRun(void) {
    std::lock_guard<std::mutex> guard(lock);
    if (stopFlag) return false;
    inRun = true;
    PlatformNoteRunThread();
    return true;
}

void LeavePluginRun(void) {
    std::unique_lock<std::mutex> guard(lock);
    inRun = false;
    if (stopFlag) EndProgram(pendingRequest, false);
}

void SetStopCleanup(std::function<void(bool runHeld)> cleanupBeforeEnd) {
    std::lock_guard<std::mutex> guard(lock);
    cleanup = std::move(cleanupBeforeEnd);
}

}  // namespace varno

// Console control events on Windows. The system calls the handler on a thread of its own, so the
// stop runs as ordinary code there.
#include <windows.h>

#include "cli/interrupt.h"
#include "cli/remembered.h"

namespace varno {

namespace {

constexpr UINT kControlCExit = 0xC000013A;  // STATUS_CONTROL_C_EXIT, what Ctrl-C ends a program with

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    OnStopRequest(int(event));
    // Closing the console ends the process as soon as the handler returns: wait here instead
    // until the plug-in's run has returned and LeavePluginRun ends the program.
    if (event == CTRL_CLOSE_EVENT) Sleep(INFINITE);
    return TRUE;
}

}  // namespace

void PlatformInstallStopHandling(void) { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

void PlatformEndProgram(int) { ExitProcess(kControlCExit); }

// A thread held with SuspendThread may hold the process heap's lock, which the file calls of the
// cleanup take: the run's thread is not held here, and a second request ends the program at once.
void PlatformNoteRunThread(void) {}

bool PlatformHoldRunThread(void) { return false; }

void ForceFilesBack(const RunFileNotes&) {}

}  // namespace varno

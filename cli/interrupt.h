// Stop requests from the user: SIGINT, SIGTERM and SIGHUP natively; Ctrl-C, Ctrl-Break and
// closing the console on Windows.
//
// Contract: after InstallStopHandling a stop request sets StopFlag (the plug-in's abortProc
// answers it) and at once removes every temporary output file and refuses further outputs
// (StopOutputs), so that each output is either as it was or complete. Outside a plug-in run the
// program then ends, as the request asks (natively by the same signal, on Windows with the Ctrl-C
// status). During a plug-in run the end waits until the run returns, so that the plug-in stops at
// its next abort test and leaves its own files (preferences, run log) whole; LeavePluginRun then
// ends the program the same way. A second request while waiting ends it at once: natively the
// thread in the plug-in's run is first held where it stands, so that it changes no file any more.
// Before the program ends, the cleanup set with SetStopCleanup runs, told whether a run was held
// (the plug-in's files may then be half written). A signal the program was started with ignored
// (nohup, a background job) stays ignored.
#pragma once

#include <atomic>
#include <functional>

namespace varno {

void InstallStopHandling(void);
const std::atomic<int>* StopFlag(void);
// False when a stop was requested: the run is not to start.
bool EnterPluginRun(void);
// Does not return when a stop was requested during the run.
void LeavePluginRun(void);
// What to do before a stop request ends the program (none: nothing).
void SetStopCleanup(std::function<void(bool runHeld)> cleanup);

// The common part, called by the platform part on each request (`request` is the signal or the
// console event); returns only when the request arrived during a plug-in run.
void OnStopRequest(int request);

// Platform parts.
void PlatformInstallStopHandling(void);
[[noreturn]] void PlatformEndProgram(int request);
// The thread that calls EnterPluginRun is the run's; holding it stops it where it stands for the
// rest of the program. False when it could not be held (on Windows, which does not hold it).
void PlatformNoteRunThread(void);
bool PlatformHoldRunThread(void);

}  // namespace varno

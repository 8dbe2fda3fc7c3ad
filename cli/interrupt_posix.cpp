// Signals on POSIX: blocked in every thread and taken by one thread of their own with sigwait, so
// that the stop runs as ordinary code (locks, file removal) instead of inside a signal handler.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <thread>

#include "cli/interrupt.h"

namespace varno {

namespace {

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

bool StartedIgnored(int signal) {
    struct sigaction current = {};
    return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

void PlatformInstallStopHandling(void) {
    sigset_t stops;
    sigemptyset(&stops);
    for (int signal : kStopSignals)
        if (!StartedIgnored(signal)) sigaddset(&stops, signal);
    // Threads started later inherit the mask, so the signals reach only sigwait below.
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    std::thread([stops] {
        for (;;) {
            int signal = 0;
            if (sigwait(&stops, &signal) == 0) OnStopRequest(signal);
        }
    }).detach();
}

void PlatformEndProgram(int request) {
    // Ends as the signal asks, so that the caller sees the signal (a shell's 130 for Ctrl-C).
    signal(request, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, request);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(request);
    _exit(128 + request);
}

}  // namespace varno

// Signals on POSIX: blocked in every thread and taken by one thread of their own with sigwait, so
// that the stop runs as ordinary code (locks, file removal) instead of inside a signal handler.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <thread>

#include "buffers/files.h"
#include "cli/interrupt.h"
#include "cli/remembered.h"
#include "params/run_log.h"

namespace varno {

namespace {

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
// Sent to the run's thread to hold it: its handler never returns.
constexpr int kHoldSignal = SIGUSR2;
constexpr int kMostHoldWaitMilliseconds = 2000;

pthread_t runThread;
std::atomic<int> runHeld{0};

void HoldHere(int) {
    runHeld = 1;
    sigset_t all;
    sigfillset(&all);
    for (;;) sigsuspend(&all);
}

void Pause(long nanoseconds) {
    struct timespec pause = {0, nanoseconds};
    nanosleep(&pause, nullptr);
}

// Whether the file at `path` holds exactly `size` bytes equal to `bytes` (read in small pieces:
// nothing is allocated).
bool Holds(const char* path, const uint8_t* bytes, int32_t size) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    uint8_t piece[4096];
    int64_t at = 0;
    bool same = true;
    for (ssize_t got; same && (got = read(fd, piece, sizeof piece)) > 0; at += got)
        same = at + got <= size && std::memcmp(piece, bytes + at, size_t(got)) == 0;
    close(fd);
    return same && at == size;
}

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
    struct sigaction hold = {};
    hold.sa_handler = HoldHere;
    sigfillset(&hold.sa_mask);
    sigaction(kHoldSignal, &hold, nullptr);
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

namespace varno {

void PlatformNoteRunThread(void) { runThread = pthread_self(); }

bool PlatformHoldRunThread(void) {
    if (pthread_equal(runThread, pthread_self()) || pthread_kill(runThread, kHoldSignal) != 0) return false;
    for (int waited = 0; !runHeld && waited < kMostHoldWaitMilliseconds; ++waited) Pause(1000000L);
    return runHeld != 0;
}

void ForceFilesBack(const RunFileNotes& notes) {
    char target[4096], fresh[4096], log[4096];
    if (notes.beforeSize != kFileNotNoted && MapFixedName(notes.target, target, sizeof target, nullptr) == 0 &&
        MapFixedName(notes.newFile, fresh, sizeof fresh, nullptr) == 0) {
        unlink(fresh);
        if (notes.beforeSize == kFileAbsent) {
            unlink(target);
        } else if (!Holds(target, notes.before, notes.beforeSize)) {
            const int fd = open(fresh, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            bool written = fd >= 0;
            for (int32_t at = 0; written && at < notes.beforeSize;) {
                const ssize_t put = write(fd, notes.before + at, size_t(notes.beforeSize - at));
                written = put > 0;
                at += written ? int32_t(put) : 0;
            }
            written = written && fsync(fd) == 0;
            if (fd >= 0) close(fd);
            if (!written || rename(fresh, target) != 0) unlink(fresh);
        }
    }
    if (notes.logBefore < 0 || MapFixedName(kRunLogName, log, sizeof log, nullptr) != 0) return;
    if (truncate(log, off_t(notes.logBefore)) != 0) return;
}

}  // namespace varno

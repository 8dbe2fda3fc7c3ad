// POSIX threads under the worker pool; the processors come from the process's affinity mask.
#include <pthread.h>
#include <sched.h>
#include <time.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "base/memory.h"
#include "base/workers.h"
#include "base/workers_platform.h"

struct ThreadStart {
    void (*main)(void* arg);
    void* arg;
};

struct WorkerSync {
    pthread_mutex_t lock;
    pthread_cond_t wake[2];
    pthread_t threads[kMaxThreads];
    ThreadStart starts[kMaxThreads];
};

namespace {
void* ThreadMain(void* start) {
    const ThreadStart* s = static_cast<const ThreadStart*>(start);
    s->main(s->arg);
    return nullptr;
}
}  // namespace

WorkerSync* PlatformCreateSync(void) {
    WorkerSync* sync = static_cast<WorkerSync*>(AllocateMemoryBlock(sizeof(WorkerSync)));
    if (!sync) return nullptr;
    if (pthread_mutex_init(&sync->lock, nullptr) != 0) {
        FreeMemoryBlock(sync);
        return nullptr;
    }
    if (pthread_cond_init(&sync->wake[0], nullptr) != 0) {
        pthread_mutex_destroy(&sync->lock);
        FreeMemoryBlock(sync);
        return nullptr;
    }
    if (pthread_cond_init(&sync->wake[1], nullptr) != 0) {
        pthread_cond_destroy(&sync->wake[0]);
        pthread_mutex_destroy(&sync->lock);
        FreeMemoryBlock(sync);
        return nullptr;
    }
    return sync;
}

void PlatformDestroySync(WorkerSync* sync) {
    pthread_cond_destroy(&sync->wake[1]);
    pthread_cond_destroy(&sync->wake[0]);
    pthread_mutex_destroy(&sync->lock);
    FreeMemoryBlock(sync);
}

bool PlatformStartThread(WorkerSync* sync, int32_t index, void (*main)(void* arg), void* arg) {
    sync->starts[index] = {main, arg};
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_attr_setstacksize(&attributes, 1 << 20);
    // A worker runs no code of the host's: it starts with every signal blocked, so that the host's
    // handlers run on the host's threads alone.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const bool started = pthread_create(&sync->threads[index], &attributes, ThreadMain, &sync->starts[index]) == 0;
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    pthread_attr_destroy(&attributes);
    return started;
}

void PlatformJoinThread(WorkerSync* sync, int32_t index) { pthread_join(sync->threads[index], nullptr); }
void PlatformLock(WorkerSync* sync) { pthread_mutex_lock(&sync->lock); }
void PlatformUnlock(WorkerSync* sync) { pthread_mutex_unlock(&sync->lock); }
void PlatformWait(WorkerSync* sync, int32_t which) { pthread_cond_wait(&sync->wake[which], &sync->lock); }
void PlatformWakeAll(WorkerSync* sync, int32_t which) { pthread_cond_broadcast(&sync->wake[which]); }

int32_t PlatformProcessorCount(void) {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? int32_t(online > kMaxThreads ? kMaxThreads : online) : 1;
}

bool PlatformEnvironment(const char* name, char* value, int32_t capacity) {
    const char* found = std::getenv(name);
    if (!found || std::strlen(found) >= size_t(capacity)) return false;
    std::strcpy(value, found);
    return true;
}

int64_t PlatformNanoseconds(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

uint64_t PlatformThreadId(void) { return uint64_t(pthread_self()); }

// Windows threads under the worker pool (CreateThread: the plug-in imports no runtime DLL), a
// slim reader/writer lock and two condition variables; the processors come from the process's
// affinity mask.
#include <windows.h>

#include "base/memory.h"
#include "base/workers.h"
#include "base/workers_platform.h"

struct ThreadStart {
    void (*main)(void* arg);
    void* arg;
};

struct WorkerSync {
    SRWLOCK lock;  // SRWLOCK_INIT and CONDITION_VARIABLE_INIT are all zero: a zero-filled block is ready
    CONDITION_VARIABLE wake[2];
    HANDLE threads[kMaxThreads];
    ThreadStart starts[kMaxThreads];
};

namespace {
DWORD WINAPI ThreadMain(LPVOID start) {
    const ThreadStart* s = static_cast<const ThreadStart*>(start);
    s->main(s->arg);
    return 0;
}
}  // namespace

WorkerSync* PlatformCreateSync(void) {
    return static_cast<WorkerSync*>(AllocateMemoryBlock(sizeof(WorkerSync)));
}

void PlatformDestroySync(WorkerSync* sync) { FreeMemoryBlock(sync); }

bool PlatformStartThread(WorkerSync* sync, int32_t index, void (*main)(void* arg), void* arg) {
    sync->starts[index] = {main, arg};
    sync->threads[index] =
        CreateThread(nullptr, 1 << 20, ThreadMain, &sync->starts[index], STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    return sync->threads[index] != nullptr;
}

void PlatformJoinThread(WorkerSync* sync, int32_t index) {
    WaitForSingleObject(sync->threads[index], INFINITE);
    CloseHandle(sync->threads[index]);
}

void PlatformLock(WorkerSync* sync) { AcquireSRWLockExclusive(&sync->lock); }
void PlatformUnlock(WorkerSync* sync) { ReleaseSRWLockExclusive(&sync->lock); }
void PlatformWait(WorkerSync* sync, int32_t which) {
    SleepConditionVariableSRW(&sync->wake[which], &sync->lock, INFINITE, 0);
}
void PlatformWakeAll(WorkerSync* sync, int32_t which) { WakeAllConditionVariable(&sync->wake[which]); }

int32_t PlatformProcessorCount(void) {
    DWORD_PTR process = 0, system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
        return __builtin_popcountll(uint64_t(process));
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors > 0 ? int32_t(info.dwNumberOfProcessors) : 1;
}

bool PlatformEnvironment(const char* name, char* value, int32_t capacity) {
    const DWORD length = GetEnvironmentVariableA(name, value, DWORD(capacity));
    return length > 0 && length < DWORD(capacity);
}

int64_t PlatformNanoseconds(void) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return int64_t(double(now.QuadPart) * 1e9 / double(frequency.QuadPart));
}

uint64_t PlatformThreadId(void) { return GetCurrentThreadId(); }

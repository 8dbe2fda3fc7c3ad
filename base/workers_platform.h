// The platform under the worker pool: a block holding up to kMaxThreads threads, one lock and two
// wake-ups (work for the workers, news for the caller).
//
// Contract: PlatformCreateSync hands back a zero-filled, initialised block or none; the caller
// frees it with PlatformDestroySync after joining every thread it started. Only a thread holding
// the lock waits or wakes.
#pragma once

#include <cstdint>

struct WorkerSync;

WorkerSync* PlatformCreateSync(void);
void PlatformDestroySync(WorkerSync* sync);
// Starts thread `index` running main(arg); false when the system refuses.
bool PlatformStartThread(WorkerSync* sync, int32_t index, void (*main)(void* arg), void* arg);
void PlatformJoinThread(WorkerSync* sync, int32_t index);
void PlatformLock(WorkerSync* sync);
void PlatformUnlock(WorkerSync* sync);
// which: 0 the workers' wake-up, 1 the caller's.
void PlatformWait(WorkerSync* sync, int32_t which);
void PlatformWakeAll(WorkerSync* sync, int32_t which);
// Processors the process may run on (at least 1), and the environment variable `name` into
// `value` (false when unset or longer than `capacity` - 1).
int32_t PlatformProcessorCount(void);
bool PlatformEnvironment(const char* name, char* value, int32_t capacity);
// The calling thread's identity.
uint64_t PlatformThreadId(void);
// A monotonic clock in nanoseconds, for the benchmark's account of banded time.
int64_t PlatformNanoseconds(void);

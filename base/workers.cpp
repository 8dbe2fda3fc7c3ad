// The worker pool: workers wait for a job, take its bands one at a time and count the rows they
// begin; the calling thread wakes them, turns the count into progress steps and abort tests, and
// waits until every worker has finished the job.
#include "base/workers.h"

#include "base/memory.h"
#include "base/results.h"
#include "base/workers_platform.h"

namespace {

// Rows a worker begins between two wake-ups of the calling thread, which then reports them.
constexpr int32_t kRowsPerWakeUp = 16;

struct Countdown {
    int32_t left;
    bool sticky;
};
Countdown threadFailure;
uint32_t threadRequests;
int64_t bandedNanoseconds;

// The pool lent to one thread, and that thread (read by any thread, so both atomically).
struct Lending {
    WorkerPool* pool;
    uint64_t thread;
};
Lending lending;

WorkerPool* LentPool() {
    if (__atomic_load_n(&lending.thread, __ATOMIC_ACQUIRE) != PlatformThreadId()) return nullptr;
    return __atomic_load_n(&lending.pool, __ATOMIC_RELAXED);
}

bool ThreadStartFails() {
    ++threadRequests;
    if (threadFailure.left <= 0) return false;
    if (--threadFailure.left > 0) return false;
    if (threadFailure.sticky) threadFailure.left = 1;
    return true;
}

void WorkerMain(void* arg) {
    WorkerPool* pool = static_cast<WorkerPool*>(arg);
    int32_t seen = 0;
    PlatformLock(pool->sync);
    for (;;) {
        while (pool->generation == seen && !pool->quit) PlatformWait(pool->sync, 0);
        if (pool->quit) break;
        seen = pool->generation;
        BandControl control{pool, nullptr, false, 0, 0, false};
        while (pool->nextBand < pool->job.bands) {
            const int32_t band = pool->nextBand++;
            PlatformUnlock(pool->sync);
            pool->job.work(pool->job.arg, band, &control);
            PlatformLock(pool->sync);
        }
        ++pool->finished;
        PlatformWakeAll(pool->sync, 1);
    }
    PlatformUnlock(pool->sync);
}

}  // namespace

int32_t ParseThreadCount(const char* text) {
    int32_t n = 0;
    if (!*text) return 0;
    for (; *text; ++text) {
        if (*text < '0' || *text > '9') return 0;
        n = n * 10 + (*text - '0');
        if (n > kMaxThreads) n = kMaxThreads + 1;
    }
    return n > kMaxThreads ? kMaxThreads : n;
}

int32_t ThreadCount(void) {
    char value[24];
    if (PlatformEnvironment("VARNOCKETILE_THREADS", value, int32_t(sizeof value))) {
        const int32_t n = ParseThreadCount(value);
        if (n > 0) return n;
    }
    const int32_t processors = PlatformProcessorCount();
    return processors < 1 ? 1 : (processors > kMaxThreads ? kMaxThreads : processors);
}

void StartWorkerPool(WorkerPool* pool, int32_t wanted) {
    *pool = WorkerPool{};
    if (wanted < 2) return;
    if (wanted > kMaxThreads) wanted = kMaxThreads;
    pool->sync = PlatformCreateSync();
    if (!pool->sync) return;
    for (int32_t i = 0; i < wanted; ++i) {
        if (ThreadStartFails()) continue;
        if (PlatformStartThread(pool->sync, pool->workers, WorkerMain, pool)) ++pool->workers;
    }
}

void StopWorkerPool(WorkerPool* pool) {
    if (pool->sync) {
        PlatformLock(pool->sync);
        pool->quit = 1;
        PlatformWakeAll(pool->sync, 0);
        PlatformUnlock(pool->sync);
        for (int32_t i = 0; i < pool->workers; ++i) PlatformJoinThread(pool->sync, i);
        PlatformDestroySync(pool->sync);
    }
    *pool = WorkerPool{};
}

void LendWorkerPool(WorkerPool* pool) {
    StartWorkerPool(pool, ThreadCount());
    if (pool->workers == 0) return;  // nothing to lend: each job runs as it would without it
    __atomic_store_n(&lending.pool, pool, __ATOMIC_RELAXED);
    __atomic_store_n(&lending.thread, PlatformThreadId(), __ATOMIC_RELEASE);
}

void TakeBackWorkerPool(WorkerPool* pool) {
    if (__atomic_load_n(&lending.pool, __ATOMIC_RELAXED) == pool) {
        __atomic_store_n(&lending.thread, uint64_t(0), __ATOMIC_RELEASE);
        __atomic_store_n(&lending.pool, static_cast<WorkerPool*>(nullptr), __ATOMIC_RELAXED);
    }
    StopWorkerPool(pool);
}

int32_t StartBandWorkers(WorkerPool* pool, int32_t maxBands, uint32_t bandBytes, uint8_t** blocks) {
    WorkerPool* lent = LentPool();
    int32_t wanted = lent ? lent->workers : ThreadCount();
    if (wanted > maxBands) wanted = maxBands;
    int32_t allocated = 0;
    for (; wanted >= 2 && allocated < wanted; ++allocated) {
        if (bandBytes == 0) continue;
        blocks[allocated] = static_cast<uint8_t*>(AllocateMemoryBlock(bandBytes));
        if (!blocks[allocated]) break;
    }
    if (lent) {
        if (allocated < 2) {
            for (int32_t i = 0; i < allocated; ++i) FreeMemoryBlock(blocks[i]), blocks[i] = nullptr;
            allocated = 0;
        }
        *pool = WorkerPool{};
        pool->lent = lent;
        pool->workers = allocated;
        return allocated;
    }
    StartWorkerPool(pool, allocated);
    for (int32_t i = pool->workers; i < allocated; ++i) {
        FreeMemoryBlock(blocks[i]);
        blocks[i] = nullptr;
    }
    return pool->workers;
}

void StopBandWorkers(WorkerPool* pool, uint8_t** blocks) {
    if (pool->lent) *pool = WorkerPool{};
    else StopWorkerPool(pool);
    for (int32_t i = 0; i < kMaxThreads; ++i) {
        FreeMemoryBlock(blocks[i]);
        blocks[i] = nullptr;
    }
}

bool NextBandRow(BandControl* control) {
    WorkerPool* pool = control->pool;
    if (!pool) {
        if (!control->report) return true;
        ReportStep(control->progress, control->step++, control->steps);
        if (AbortRequested(control->progress) == 0) return true;
        control->stopped = true;
        return false;
    }
    if (__atomic_load_n(&pool->stop, __ATOMIC_RELAXED)) return false;
    const int32_t begun = __atomic_add_fetch(&pool->started, 1, __ATOMIC_RELAXED);
    if (pool->reporting && begun % kRowsPerWakeUp == 0) {
        PlatformLock(pool->sync);
        PlatformWakeAll(pool->sync, 1);
        PlatformUnlock(pool->sync);
    }
    return true;
}

namespace {

// RunBands without the account of its time.
int16_t RunJobBands(WorkerPool* pool, const BandJob& job, const ProgressPair* progress, bool report, int32_t firstStep,
                    int32_t steps) {
    if (!pool || pool->workers == 0) {
        BandControl control{nullptr, progress, report, firstStep, steps, false};
        for (int32_t band = 0; band < job.bands && !control.stopped; ++band) job.work(job.arg, band, &control);
        return control.stopped ? kErrUserCancelled : kNoErr;
    }

    PlatformLock(pool->sync);
    pool->job = job;
    pool->nextBand = 0;
    pool->finished = 0;
    pool->reporting = report;
    __atomic_store_n(&pool->started, 0, __ATOMIC_RELAXED);
    __atomic_store_n(&pool->stop, 0, __ATOMIC_RELAXED);
    ++pool->generation;
    PlatformWakeAll(pool->sync, 0);
    // The steps are reported in order as rows are begun, each followed by the abort test; once a
    // stop is asked for, nothing more is reported.
    int32_t reported = 0;
    bool stopped = false;
    for (;;) {
        const bool done = pool->finished == pool->workers;
        const int32_t begun = __atomic_load_n(&pool->started, __ATOMIC_RELAXED);
        if (!report || stopped || reported >= begun) {
            if (done) break;
            PlatformWait(pool->sync, 1);
            continue;
        }
        PlatformUnlock(pool->sync);
        for (; reported < begun && !stopped; ++reported) {
            ReportStep(progress, firstStep + reported, steps);
            if (AbortRequested(progress) != 0) {
                stopped = true;
                __atomic_store_n(&pool->stop, 1, __ATOMIC_RELAXED);
            }
        }
        PlatformLock(pool->sync);
    }
    PlatformUnlock(pool->sync);
    return stopped ? kErrUserCancelled : kNoErr;
}

}  // namespace

int16_t RunBands(WorkerPool* pool, const BandJob& job, const ProgressPair* progress, bool report, int32_t firstStep,
                 int32_t steps) {
    const int64_t start = PlatformNanoseconds();
    if (pool && pool->lent && pool->workers > 0) pool = pool->lent;
    const int16_t result = RunJobBands(pool, job, progress, report, firstStep, steps);
    __atomic_add_fetch(&bandedNanoseconds, PlatformNanoseconds() - start, __ATOMIC_RELAXED);
    return result;
}

int64_t BandedNanoseconds(void) { return __atomic_load_n(&bandedNanoseconds, __ATOMIC_RELAXED); }

void FailThreadsAfter(int32_t countdown, bool sticky) { threadFailure = {countdown, sticky}; }
int32_t CountThreadRequests(void) { return int32_t(threadRequests); }

// Worker threads for one computation: a small pool made by the call that needs it and joined
// before that call returns, which runs the rows of a pass in bands while the calling thread keeps
// the progress and abort callbacks.
//
// Contract: everything here is started, fed and stopped from one thread, the caller's (the host's
// thread); the workers run only a job's band function and never allocate, report or ask the host
// anything. A pool with no workers (one thread wanted, a thread or the pool's memory refused) runs
// every band on the calling thread, reporting and asking once per row exactly as a single-threaded
// pass does; with workers the caller reports the same steps in the same order while they run,
// asks whether to stop after each, and tells the workers to stop at their next row when asked.
// Bands never overlap, so a job whose band function writes only its own band's rows (and reads
// only rows nobody writes during the job) gives the same bytes whatever the number of workers.
#pragma once

#include <cstdint>

#include "base/progress.h"

constexpr int32_t kMaxThreads = 64;

// The threads a computation runs on: VARNOCKETILE_THREADS when it holds a whole number 1 .. 64
// (larger numbers count as 64), otherwise the processors the process may run on, at most 64.
int32_t ThreadCount(void);
// A thread count as VARNOCKETILE_THREADS holds it: a whole number 1 .. 64 (larger numbers count as
// 64) in decimal digits alone; 0 for anything else. Hosts check a setting with it before a run.
int32_t ParseThreadCount(const char* text);

struct WorkerSync;  // the platform's threads, lock and wake-ups (workers_platform.h)

// What a band's rows do between them: NextBandRow before each row.
struct BandControl {
    struct WorkerPool* pool;  // none on the calling thread without workers
    const ProgressPair* progress;
    bool report;
    int32_t step;  // next step to report (calling thread only)
    int32_t steps;
    bool stopped;  // the calling thread was asked to stop
};

struct BandJob {
    void (*work)(void* arg, int32_t band, BandControl* control);
    void* arg;
    int32_t bands;
};

struct WorkerPool {
    WorkerSync* sync;
    int32_t workers;  // started
    // The job being run; written by the caller under the lock before the workers are woken.
    BandJob job;
    int32_t generation;
    int32_t nextBand;
    int32_t finished;   // workers done with this job
    int32_t started;    // rows begun by the workers (atomic)
    int32_t stop;       // set by the caller when the host asked to stop (atomic)
    int32_t quit;
    bool reporting;  // the caller reports this job's rows: wake it now and then
    WorkerPool* lent;  // the pool lent to this computation's thread, which runs its jobs instead
};

// Starts `wanted` workers (at most kMaxThreads): none for wanted < 2, fewer when a thread or the
// pool's memory is refused. The pool must be stopped with StopWorkerPool whatever happened.
void StartWorkerPool(WorkerPool* pool, int32_t wanted);
void StopWorkerPool(WorkerPool* pool);

// One pool for a computation of many passes: LendWorkerPool starts ThreadCount() workers, and
// every StartBandWorkers call made on the calling thread until TakeBackWorkerPool takes its
// workers from that pool instead of starting and joining threads of its own. Calls on other
// threads are not affected. TakeBackWorkerPool joins the workers. Not nested.
void LendWorkerPool(WorkerPool* pool);
void TakeBackWorkerPool(WorkerPool* pool);

// Starts the workers for a job of at most `maxBands` bands, each with a zero-filled scratch block
// of `bandBytes` in blocks[band] (blocks: kMaxThreads entries, none on entry): as many as
// ThreadCount() allows, fewer when a block or a thread is refused (no blocks for bandBytes 0). Returns the bands to run, the
// workers started; 0 means none (the caller runs one band with its own blocks).
int32_t StartBandWorkers(WorkerPool* pool, int32_t maxBands, uint32_t bandBytes, uint8_t** blocks);
// Joins the workers and frees the blocks.
void StopBandWorkers(WorkerPool* pool, uint8_t** blocks);

// Runs bands 0 .. job.bands - 1 of a pass of `steps` progress steps starting at `firstStep`, one
// step per row begun: on the workers when there are any (each takes the next band as it comes
// free), else one after the other here. 0, or -128 when the progress pair asked to stop (reported only when
// `report`); the bands may then be part done.
int16_t RunBands(WorkerPool* pool, const BandJob& job, const ProgressPair* progress, bool report, int32_t firstStep,
                 int32_t steps);

// Bands for a pass whose bands need no blocks of their own: several a worker (one without
// workers), at most one a row, so that workers take them as they come free and one that started
// late or was held up takes fewer.
inline int32_t SpreadBands(int32_t workers, int32_t rows) {
    const int32_t bands = workers < 1 ? 1 : 4 * workers;
    return rows < bands ? (rows < 1 ? 1 : rows) : bands;
}

// Before each row of a band: false when the band is to stop at once.
bool NextBandRow(BandControl* control);

// The rows [first, end) of band `band` of `bands` over `rows` rows, as equal as they come.
inline int32_t BandStart(int32_t band, int32_t bands, int32_t rows) {
    return int32_t(int64_t(rows) * band / bands);
}

// Test hook: the thread start numbered `countdown` from now (1 = the next one) fails, as do all
// later ones while `sticky` is set; 0 switches failures off. Starts asked for since the program
// started, so that a test can make each fail in turn.
void FailThreadsAfter(int32_t countdown, bool sticky);
int32_t CountThreadRequests(void);
// Benchmark aid: the wall time, in nanoseconds, that RunBands has taken since the program started
// (bands run on workers or, without them, on the calling thread). The rest of a computation's own
// time is its serial part.
int64_t BandedNanoseconds(void);

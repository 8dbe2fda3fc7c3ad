// The batch's workers: each takes the next file, prepares it, waits for that file's turn to run,
// hands the turn on and finishes the file while the next one runs.
#include "cli/batch.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace varno {

void RunBatch(size_t count, int32_t jobs, const BatchSteps& steps) {
    std::atomic<size_t> next{0};
    std::mutex lock;
    std::condition_variable turnPassed;
    size_t turn = 0;
    // Files are taken in order, so every file waiting for its turn waits only on files that are
    // already taken by other workers: the turn always comes.
    auto worker = [&] {
        for (size_t file; (file = next++) < count;) {
            bool ok = steps.prepare(file);
            {
                std::unique_lock<std::mutex> guard(lock);
                turnPassed.wait(guard, [&] { return turn == file; });
            }
            if (ok) ok = steps.run(file);
            {
                std::lock_guard<std::mutex> guard(lock);
                ++turn;
            }
            turnPassed.notify_all();
            if (ok) steps.finish(file);
        }
    };
    const size_t workers = std::min(count, size_t(std::max(jobs, 1)));
    if (workers <= 1) {
        worker();
        return;
    }
    std::vector<std::thread> threads;
    for (size_t i = 0; i < workers; ++i) threads.emplace_back(worker);
    for (std::thread& thread : threads) thread.join();
}

}  // namespace varno

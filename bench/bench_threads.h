// The thread count of the plug-in's runs in the benchmark, and the table of Execute runs on one
// thread and on all of them beside the peer library at one thread and at its default count.
//
// Contract: RememberThreadsSetting keeps VARNOCKETILE_THREADS as the program was started with it;
// UseThreads(false) sets it to 1 for the runs that follow, UseThreads(true) back to that setting
// (unset: every processor of the process), which ThreadsInUse counts. FormatThreadsTable prints,
// per row, the time inside the host's pixel callbacks and the plug-in's own share of an Execute run
// on one thread and on all of them, each split into its serial part and its passes in bands; the
// ratio of the own shares against the goal (kThreadsGoal); the serial share s = serial / own on one
// thread and the speed-ups it predicts at 8 and 16 threads by Amdahl's law (1 / (s + (1 - s) / n));
// the peer at one thread and at its default count, and the ratio of the run on all threads to the
// peer at its default count against the row's goal (0: none).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_table.h"

namespace varnobench {

constexpr double kThreadsGoal = 0.60;

void RememberThreadsSetting();
void UseThreads(bool all);
int32_t ThreadsInUse();

struct ThreadsRow {
    std::string label;
    std::string execute;    // Execute, one thread
    std::string threaded;   // Execute, all threads
    std::string peer;       // the peer, one thread (may be empty)
    std::string peerAll;    // the peer at its default thread count (may be empty)
    double goal = 0.0;      // largest ratio threaded / peerAll; 0 none
};

std::string FormatThreadsTable(int32_t threads, int32_t peerThreads, const std::vector<ThreadsRow>& rows,
                               const ResultBook& book);

}  // namespace varnobench

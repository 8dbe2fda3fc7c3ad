// The timed cases of the benchmark: a method alone, one copy of the document, one copy into a fresh
// image buffer, and a whole Execute run through the host library.
//
// Contract: each case times its iterations by hand (the picture's preparation excluded), sets the
// megapixel rate of `picture`, and on any failure (a method's non-zero result, a picture left
// unchanged, a resource left behind) notes the failure in Book() and skips the benchmark with its
// message. Everything runs on the calling thread.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "bench/bench_peers.h"
#include "bench/bench_table.h"
#include "images/document.h"

namespace varnobench {

// Every benchmark's times and failures, for the closing table.
ResultBook& Book();

double Seconds(std::chrono::steady_clock::time_point start, std::chrono::steady_clock::time_point end);
void Fail(benchmark::State& state, const std::string& name, const std::string& message);
void SetRate(benchmark::State& state, const BenchPicture* picture);

struct MethodCase {
    std::string name;
    int32_t method;
    int32_t radius;
    bool grey;
};

// One method in place on the picture, the copy into the working image excluded from the time.
void TimeMethod(benchmark::State& state, const BenchPicture* picture, const MethodCase& c);
// One copy of the document's bytes into memory that is already the process's (no page faults).
void TimeCopy(benchmark::State& state, const BenchPicture* picture, bool grey);
// One copy of the picture into an image buffer made for it, as Execute makes its working image,
// timed from the buffer's creation to its disposal.
void TimeFreshCopy(benchmark::State& state, const BenchPicture* picture, bool grey);
// The whole run as a host makes it: About, then Execute playing back `method` and `radius`, from
// reading the document through the host's callbacks to the new selection handed back. The time is
// the plug-in's own share of the Execute call.
void TimeExecute(benchmark::State& state, const BenchPicture* picture, const varno::Document* original,
                 const std::string& name, int32_t method, int32_t radius, bool allThreads = false);

}  // namespace varnobench

// The whole program in the benchmark: `varno select` on a photograph as a JPEG, and varno's peak
// memory on the photograph as an 8-bit JPEG and as a 16-bit TIFF.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_peers.h"

namespace varnobench {

struct MemoryCase {
    std::string label;
    std::string path;
    int64_t rawBytes = 0;
    int64_t peak = -1;
};

// The photograph (`given`, or the drawn picture of width x height written as JPEG) and its 16-bit
// TIFF in the drive, and varno's peak memory on each. Runs while this process holds no picture.
bool PreparePhotograph(const std::string& given, int32_t width, int32_t height, const std::string& drive,
                       std::string* jpeg, BenchPicture* shape, std::vector<MemoryCase>* memory);
// `varno select JPEG -o OUTPUT`, timed from its start to its end.
void TimeProgram(benchmark::State& state, const std::string& jpeg, const std::string& output, const BenchPicture* picture);
// The memory cases as lines of the closing report.
std::string FormatMemory(const std::vector<MemoryCase>& cases);

}  // namespace varnobench

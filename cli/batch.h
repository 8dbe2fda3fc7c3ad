// Files of a batch through three steps: prepare (reading the picture), run (the plug-in) and
// finish (writing the result).
//
// Contract: every file goes through prepare, then run, then finish; a step that returns false
// ends that file (its later steps are skipped) and never the batch. Runs happen one at a time, in
// the batch's order, whatever fails or finishes early: a host runs one filter at a time, and the
// plug-in's remembered settings and run log then follow the same order as one file after another.
// With `jobs` above 1, up to that many files are in progress at once, so that reading and writing
// of some files overlap the run of another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace varno {

struct BatchSteps {
    std::function<bool(size_t)> prepare;
    std::function<bool(size_t)> run;
    std::function<void(size_t)> finish;
};

void RunBatch(size_t count, int32_t jobs, const BatchSteps& steps);

}  // namespace varno

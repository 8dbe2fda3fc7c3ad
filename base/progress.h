// The progress/abort pair a long computation is given: two callbacks and the context they share.
//
// Contract: report(context, k, n) says that k of n steps are done; abort(context) is non-zero
// when the work is to stop. A missing pair or callback reports nothing and never asks to stop, so
// a computation that nobody watches (the preview, a benchmark) passes none.
#pragma once

#include <cstdint>

struct ProgressPair {
    void (*report)(void* context, int32_t k, int32_t n);
    int32_t (*abort)(void* context);
    void* context;
};

inline void ReportStep(const ProgressPair* pair, int32_t k, int32_t n) {
    if (pair && pair->report) pair->report(pair->context, k, n);
}

inline int32_t AbortRequested(const ProgressPair* pair) {
    return pair && pair->abort ? pair->abort(pair->context) : 0;
}

// The failure chosen for the run under way and the count of every callback kind.
#include "host/faults.h"

#include <new>

namespace varno {

namespace {
const CallbackFailure* planned;
int32_t* counted;
}  // namespace

bool CallbackFails(HostCallback kind, OSErr* code) {
    if (!counted) return false;
    const int32_t call = ++counted[int32_t(kind)];
    if (!planned || planned->kind != kind) return false;
    if (call != planned->call && !(planned->sticky && call > planned->call)) return false;
    if (planned->outOfMemory) throw std::bad_alloc();
    *code = planned->code;
    return true;
}

void BeginCallbackFaults(const CallbackFailure* failure, int32_t* counts) {
    planned = failure;
    counted = counts;
}

void EndCallbackFaults(void) {
    planned = nullptr;
    counted = nullptr;
}

}  // namespace varno

// Callbacks of the host that fail on purpose, for tests of how a plug-in copes with a host that
// cannot do what it is asked (RunOptions::fail).
//
// Contract: during RunPlugin, every callback of the kinds below asks CallbackFails before it does
// anything; the call is counted for the run's report, and when it is the one chosen to fail (or a
// later one of a sticky failure) the callback answers the chosen code and does nothing. Outside a
// run nothing fails and nothing is counted.
#pragma once

#include <cstdint>

#include "api/host_api.h"

namespace varno {

enum class HostCallback : int32_t {
    kNone,
    kReadPixels,
    kWriteBasePixels,
    kAbort,  // fails by answering stop
    kOpenReadDescriptor,
    kGetKey,  // fails by reporting no further key
    kGetInteger,
    kGetEnumerated,
    kCloseReadDescriptor,
    kOpenWriteDescriptor,
    kPutInteger,
    kPutEnumerated,
    kCloseWriteDescriptor,
    kCount,
};

struct CallbackFailure {
    HostCallback kind = HostCallback::kNone;
    int32_t call = 1;     // 1 = the first call of that kind in the run
    bool sticky = false;  // every later call of the kind fails too
    OSErr code = -1;
    bool outOfMemory = false;  // the callback runs out of memory instead (std::bad_alloc, as an allocation)
};

// Counts the call and says whether it fails, giving the code to answer (or throws std::bad_alloc
// for a failure that runs out of memory).
bool CallbackFails(HostCallback kind, OSErr* code);
// RunPlugin's frame for one run: the failure to make and where to count the calls.
void BeginCallbackFaults(const CallbackFailure* failure, int32_t* counts);
void EndCallbackFaults(void);

}  // namespace varno

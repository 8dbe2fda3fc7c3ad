// The benchmark's host timing: an entry point that stands between the host and the plug-in's
// ENTRYPOINT and measures one Execute call, the time spent inside the host's pixel callbacks
// during it, and the memory the process took on for it.
//
// Contract: TimedEntry passes every call to the entry point set with SetTimedPlugin. For Execute
// it first replaces the record's channel-port callbacks (readPixelsProc, writeBasePixelsProc) by
// timed trampolines to the host's own, calls the plug-in, restores them, and keeps in LastExecute
// the wall time of the call, the time inside those callbacks (the host's share) and the peak of
// the process's resident memory during the call less its resident memory before it (-1 when the
// system does not tell; Linux resets the peak through /proc/self/clear_refs). The plug-in's own
// share is the call less the host's. One call at a time, on one thread.
#pragma once

#include <cstdint>

#include "api/host_api.h"

namespace varnobench {

struct ExecuteTiming {
    double seconds = 0.0;          // the whole Execute call
    double callbackSeconds = 0.0;  // inside the host's pixel callbacks
    double bandedSeconds = 0.0;    // in the plug-in's passes run in bands (the rest of its own share is serial)
    int64_t callbacks = 0;
    int64_t peakBytes = -1;        // resident memory taken on during the call
};

void SetTimedPlugin(PluginEntryProc entry);
void PIAPI TimedEntry(int16_t selector, void* record, intptr_t* data, int16_t* result);
ExecuteTiming LastExecute();

}  // namespace varnobench

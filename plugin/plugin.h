// The plug-in's side of the host: the block the host keeps between calls, progress and abort of a
// run through the host record, channel lookup and the exported entry point. Brings the ground
// floor (result codes, memory, the progress pair) and the run record along.
//
// Contract: everything runs on the host's calling thread.
#pragma once

#include <cstdint>

#include "base/memory.h"
#include "base/progress.h"
#include "base/results.h"
#include "api/host_api.h"
#include "params/run_state.h"

struct ImageBuffer;

// ---- the block the host keeps between calls --------------------------------------------------------

constexpr uint32_t kPersistentBlockSize = 52;

struct PersistentBlock {
    int16_t flags;
    int16_t result;  // printed by the run log; never set
    ImageBuffer* workingImage;
    PluginHandle* choice;  // holds the EdgeChoice during Execute
    int32_t runWord;
    ImageBuffer* maskImage;
    uint8_t flagByte;
};
static_assert(sizeof(PersistentBlock) <= kPersistentBlockSize);

// ---- the run ------------------------------------------------------------------------------------

// Calls the host's progressProc with done = n + 4k and total = 6n: a caller's n steps fill the
// middle two thirds of the host's bar. Does nothing without a host or progress procedure.
void ReportProgress(const RunState* run, int32_t k, int32_t n);
// The host's abortProc, non-zero meaning stop; 0 without a host or abort procedure.
int32_t TestAbort(const RunState* run);
// The pair a method is given for `run`: ReportProgress and TestAbort above, with the run as context.
ProgressPair RunProgress(RunState* run);

// First channel of `list` (followed through `next`) whose channelType equals `type`; none if absent.
const ReadChannelDesc* FindChannel(const ReadChannelDesc* list, int16_t type);

// The exported entry point (extern "C", cdecl, exported under this name only).
#if defined(_WIN32)
#define PLUGIN_EXPORT
#else
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif
extern "C" PLUGIN_EXPORT void PIAPI ENTRYPOINT(int16_t selector, void* record, intptr_t* data, int16_t* result);

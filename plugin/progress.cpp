// Progress, abort and channel lookup through the host record of the run.
#include "plugin/plugin.h"

void ReportProgress(const RunState* run, int32_t k, int32_t n) {
    if (!run || !run->host || !run->host->progressProc) return;
    run->host->progressProc(n + 4 * k, 6 * n);
}

int32_t TestAbort(const RunState* run) {
    if (!run || !run->host || !run->host->abortProc) return 0;
    // A host's Boolean defines only the low byte of the return register.
    return run->host->abortProc() ? 1 : 0;
}

namespace {
void ReportRunProgress(void* run, int32_t k, int32_t n) { ReportProgress(static_cast<const RunState*>(run), k, n); }
int32_t TestRunAbort(void* run) { return TestAbort(static_cast<const RunState*>(run)); }
}  // namespace

ProgressPair RunProgress(RunState* run) { return {ReportRunProgress, TestRunAbort, run}; }

const ReadChannelDesc* FindChannel(const ReadChannelDesc* list, int16_t type) {
    for (; list; list = list->next) {
        if (list->channelType == type) return list;
    }
    return nullptr;
}

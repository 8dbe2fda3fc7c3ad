// Progress, abort and channel lookup through the host record of the run.
#include "host/plugin.h"

void ReportProgress(const RunState* run, int32_t k, int32_t n) {
    if (!run || !run->host || !run->host->progressProc) return;
    run->host->progressProc(n + 4 * k, 6 * n);
}

int32_t TestAbort(const RunState* run) {
    if (!run || !run->host || !run->host->abortProc) return 0;
    // A host's Boolean defines only the low byte of the return register.
    return run->host->abortProc() ? 1 : 0;
}

const ReadChannelDesc* FindChannel(const ReadChannelDesc* list, int16_t type) {
    for (; list; list = list->next) {
        if (list->channelType == type) return list;
    }
    return nullptr;
}

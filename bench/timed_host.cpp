// Timed Execute calls.
#include "bench/timed_host.h"

#include <chrono>
#include <fstream>
#include <string>

#include "base/workers.h"

namespace varnobench {

namespace {

using Clock = std::chrono::steady_clock;

PluginEntryProc plugin;
ChannelPortProcs hostPorts;  // the host's own callbacks during a timed call
ExecuteTiming last;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

OSErr PIAPI TimedRead(PIChannelPort port, const PSScaling* scaling, const VRect* writeRect,
                      const PixelMemoryDesc* destination, VRect* wroteRect) {
    const Clock::time_point start = Clock::now();
    const OSErr error = hostPorts.readPixelsProc(port, scaling, writeRect, destination, wroteRect);
    last.callbackSeconds += Since(start);
    ++last.callbacks;
    return error;
}

OSErr PIAPI TimedWrite(PIChannelPort port, const VRect* writeRect, const PixelMemoryDesc* source) {
    const Clock::time_point start = Clock::now();
    const OSErr error = hostPorts.writeBasePixelsProc(port, writeRect, source);
    last.callbackSeconds += Since(start);
    ++last.callbacks;
    return error;
}

// A figure of /proc/self/status in bytes (its lines read "VmHWM:   123 kB"), or -1.
int64_t StatusBytes(const char* key) {
#if defined(__linux__)
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key, 0) == 0) return std::stoll(line.substr(line.find(':') + 1)) * 1024;
    }
#else
    (void)key;
#endif
    return -1;
}

// Sets the peak resident memory to the present one; false where the system cannot.
bool ResetPeak() {
#if defined(__linux__)
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return clear.good();
#else
    return false;
#endif
}

}  // namespace

void SetTimedPlugin(PluginEntryProc entry) { plugin = entry; }

ExecuteTiming LastExecute() { return last; }

void PIAPI TimedEntry(int16_t selector, void* record, intptr_t* data, int16_t* result) {
    if (selector != kSelectorExecute || !record) {
        plugin(selector, record, data, result);
        return;
    }
    auto* selection = static_cast<SelectionRecord*>(record);
    ChannelPortProcs* ports = selection->channelPortProcs;
    last = ExecuteTiming();
    const bool peakKnown = ResetPeak();
    const int64_t before = StatusBytes("VmRSS:");
    if (ports) {
        hostPorts = *ports;
        if (ports->readPixelsProc) ports->readPixelsProc = TimedRead;
        if (ports->writeBasePixelsProc) ports->writeBasePixelsProc = TimedWrite;
    }
    const int64_t bandedBefore = BandedNanoseconds();
    const Clock::time_point start = Clock::now();
    plugin(selector, record, data, result);
    last.seconds = Since(start);
    last.bandedSeconds = double(BandedNanoseconds() - bandedBefore) * 1e-9;
    if (ports) *ports = hostPorts;
    const int64_t peak = StatusBytes("VmHWM:");
    if (peakKnown && before >= 0 && peak >= before) last.peakBytes = peak - before;
}

}  // namespace varnobench

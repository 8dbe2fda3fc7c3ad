// The benchmark's timed entry point: it passes every call on, counts the host's pixel callbacks of
// an Execute call and the time spent in them, and leaves the host's own callbacks in the record.
#include <gtest/gtest.h>

#include <chrono>

#include "bench/timed_host.h"

namespace varnobench {
namespace {

using Clock = std::chrono::steady_clock;

void Spin(double seconds) {
    const Clock::time_point start = Clock::now();
    while (std::chrono::duration<double>(Clock::now() - start).count() < seconds) {
    }
}

int hostCalls;
OSErr PIAPI SlowRead(PIChannelPort, const PSScaling*, const VRect*, const PixelMemoryDesc*, VRect*) {
    ++hostCalls;
    Spin(0.004);
    return -7;
}
OSErr PIAPI SlowWrite(PIChannelPort, const VRect*, const PixelMemoryDesc*) {
    ++hostCalls;
    Spin(0.004);
    return 0;
}

int16_t lastSelector = -1;

// A plug-in that reads three rows and writes two, working 10 ms of its own; the code of the first
// read becomes its result, so that the host's answers are seen to reach it.
void PIAPI FakePlugin(int16_t selector, void* record, intptr_t*, int16_t* result) {
    lastSelector = selector;
    *result = 0;
    if (selector != kSelectorExecute) return;
    const ChannelPortProcs* ports = static_cast<SelectionRecord*>(record)->channelPortProcs;
    for (int i = 0; i < 3; ++i) {
        const OSErr error = ports->readPixelsProc(nullptr, nullptr, nullptr, nullptr, nullptr);
        if (i == 0) *result = error;
    }
    for (int i = 0; i < 2; ++i) ports->writeBasePixelsProc(nullptr, nullptr, nullptr);
    Spin(0.010);
}

TEST(TimedHost, ExecuteIsTimedWithTheHostsCallbacksApart) {
    ChannelPortProcs ports = {1, 3, SlowRead, SlowWrite, nullptr};
    SelectionRecord record = {};
    record.channelPortProcs = &ports;
    SetTimedPlugin(FakePlugin);
    intptr_t data = 0;
    int16_t result = 1;
    hostCalls = 0;

    TimedEntry(kSelectorExecute, &record, &data, &result);
    const ExecuteTiming timing = LastExecute();
    EXPECT_EQ(result, -7);
    EXPECT_EQ(hostCalls, 5);
    EXPECT_EQ(timing.callbacks, 5);
    EXPECT_GE(timing.callbackSeconds, 0.020);
    EXPECT_GE(timing.seconds - timing.callbackSeconds, 0.010);
    EXPECT_LT(timing.callbackSeconds, timing.seconds);
    EXPECT_EQ(ports.readPixelsProc, SlowRead) << "the host's own callbacks are back";
    EXPECT_EQ(ports.writeBasePixelsProc, SlowWrite);

    // Other selectors pass straight through and leave the last Execute's figures alone.
    TimedEntry(kSelectorAbout, nullptr, &data, &result);
    EXPECT_EQ(lastSelector, kSelectorAbout);
    EXPECT_EQ(LastExecute().callbacks, 5);
}

}  // namespace
}  // namespace varnobench

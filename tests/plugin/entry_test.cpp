// The entry point, the plug-in's memory blocks and handles, and the host wrappers.
#include <gtest/gtest.h>

#include <vector>

#include "plugin/plugin.h"

namespace {

TEST(MemoryBlock, SizesRoundUpToEightZeroedBytes) {
    for (uint32_t size : {1u, 7u, 8u, 9u, 13u, 4096u}) {
        auto* block = static_cast<uint8_t*>(AllocateMemoryBlock(size));
        ASSERT_NE(block, nullptr);
        const uint32_t rounded = (size + 7) / 8 * 8;
        for (uint32_t i = 0; i < rounded; ++i) ASSERT_EQ(block[i], 0) << size << " byte " << i;
        for (uint32_t i = 0; i < rounded; ++i) block[i] = 0xA5;  // the whole rounded size is ours
        FreeMemoryBlock(block);
    }
    FreeMemoryBlock(nullptr);
}

TEST(MemoryBlock, LiveCountsFollowAllocationsAndInjectedFailures) {
    const LiveResources before = CountLiveResources();
    void* a = AllocateMemoryBlock(16);
    PluginHandle* h = CreatePluginHandle(52);
    EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks + 1);
    EXPECT_EQ(CountLiveResources().pluginHandles, before.pluginHandles + 1);

    FailMemoryBlocksAfter(2, false);
    void* b = AllocateMemoryBlock(16);  // the first goes through
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(AllocateMemoryBlock(16), nullptr);  // the second fails
    void* c = AllocateMemoryBlock(16);            // and only that one
    EXPECT_NE(c, nullptr);
    FailMemoryBlocksAfter(1, true);
    EXPECT_EQ(AllocateMemoryBlock(16), nullptr);
    EXPECT_EQ(CreatePluginHandle(8), nullptr);
    FailMemoryBlocksAfter(0, false);

    for (void* p : {a, b, c}) FreeMemoryBlock(p);
    DisposePluginHandle(h);
    DisposePluginHandle(nullptr);
    EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks);
    EXPECT_EQ(CountLiveResources().pluginHandles, before.pluginHandles);
}

TEST(PluginHandle, HoldsAZeroedDataBlockAndItsTag) {
    PluginHandle* handle = CreatePluginHandle(52);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->tag, 0x464F544Fu);  // FOTO
    const auto* data = static_cast<const uint8_t*>(handle->data);
    for (int i = 0; i < 52; ++i) EXPECT_EQ(data[i], 0);
    DisposePluginHandle(handle);
}

std::vector<std::pair<int32_t, int32_t>> reports;
int32_t abortAnswer;
void PIAPI Record(int32_t done, int32_t total) { reports.push_back({done, total}); }
Boolean PIAPI Answer(void) { return Boolean(abortAnswer); }

TEST(HostWrappers, ProgressFillsTheMiddleTwoThirdsAndAbortPassesThrough) {
    SelectionRecord host = {};
    host.progressProc = Record;
    host.abortProc = Answer;
    RunState run = {};
    run.host = &host;
    reports.clear();
    ReportProgress(&run, 0, 10);
    ReportProgress(&run, 10, 10);
    ReportProgress(&run, 3, 7);
    const std::vector<std::pair<int32_t, int32_t>> expected = {{10, 60}, {50, 60}, {19, 42}};
    EXPECT_EQ(reports, expected);

    abortAnswer = 0;
    EXPECT_EQ(TestAbort(&run), 0);
    abortAnswer = 1;
    EXPECT_NE(TestAbort(&run), 0);

    // No host, or a host without the procedures: nothing is called and nothing stops.
    host.progressProc = nullptr;
    host.abortProc = nullptr;
    ReportProgress(&run, 1, 2);
    EXPECT_EQ(TestAbort(&run), 0);
    EXPECT_EQ(TestAbort(nullptr), 0);
    EXPECT_EQ(reports.size(), 3u);
}

TEST(HostWrappers, TheRunsPairGoesThroughTheHostAndAMissingPairOrCallbackDoesNothing) {
    SelectionRecord host = {};
    host.progressProc = Record;
    host.abortProc = Answer;
    RunState run = {};
    run.host = &host;
    reports.clear();
    const ProgressPair pair = RunProgress(&run);
    ReportStep(&pair, 3, 7);
    EXPECT_EQ(reports, (std::vector<std::pair<int32_t, int32_t>>{{19, 42}}));
    abortAnswer = 1;
    EXPECT_NE(AbortRequested(&pair), 0);
    abortAnswer = 0;
    EXPECT_EQ(AbortRequested(&pair), 0);

    abortAnswer = 1;
    const ProgressPair empty = {nullptr, nullptr, &run};
    for (const ProgressPair* none : {&empty, static_cast<const ProgressPair*>(nullptr)}) {
        ReportStep(none, 1, 2);
        EXPECT_EQ(AbortRequested(none), 0);
    }
    EXPECT_EQ(reports.size(), 1u);
}

TEST(ChannelLookup, FirstChannelOfTheTypeAlongTheList) {
    ReadChannelDesc c[3] = {};
    c[0].channelType = kChannelRed;
    c[1].channelType = kChannelBlack;
    c[2].channelType = kChannelBlack;
    c[0].next = &c[1];
    c[1].next = &c[2];
    EXPECT_EQ(FindChannel(c, kChannelRed), &c[0]);
    EXPECT_EQ(FindChannel(c, kChannelBlack), &c[1]);
    EXPECT_EQ(FindChannel(c, kChannelBlue), nullptr);
    EXPECT_EQ(FindChannel(nullptr, kChannelRed), nullptr);
}

TEST(EntryPoint, AboutCreatesNothingAndOtherSelectorsKeepOneBlock) {
    const LiveResources before = CountLiveResources();
    intptr_t data = 0;
    int16_t result = -1;
    AboutRecord about = {};
    ENTRYPOINT(kSelectorAbout, &about, &data, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(data, 0);
    EXPECT_EQ(CountLiveResources().pluginHandles, before.pluginHandles);

    for (int16_t selector : {2, 3, -1, 100}) {
        ENTRYPOINT(selector, nullptr, &data, &result);
        EXPECT_EQ(result, -30700) << selector;
    }
    ASSERT_NE(data, 0);
    // One block for all calls: it is created once and kept for the host.
    EXPECT_EQ(CountLiveResources().pluginHandles, before.pluginHandles + 1);
    auto* block = reinterpret_cast<PluginHandle*>(data);
    EXPECT_EQ(block->tag, kPluginHandleTag);
    DisposePluginHandle(block);
}

TEST(EntryPoint, ABlockThatCannotBeCreatedIsOutOfMemoryAndTriedAgainNextTime) {
    intptr_t data = 0;
    int16_t result = 0;
    FailMemoryBlocksAfter(1, false);
    ENTRYPOINT(2, nullptr, &data, &result);
    EXPECT_EQ(result, -108);
    EXPECT_EQ(data, 0);
    ENTRYPOINT(2, nullptr, &data, &result);
    EXPECT_EQ(result, -30700);
    ASSERT_NE(data, 0);
    DisposePluginHandle(reinterpret_cast<PluginHandle*>(data));
}

}  // namespace

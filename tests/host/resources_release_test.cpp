// With the plug-in's code linked into this program, every run, good or bad, must give back every
// memory block, handle and mapping it took, and the host every handle and descriptor reader.
#include <gtest/gtest.h>

#include "tests/host/host_fixture.h"
#include "plugin/plugin.h"

namespace {

using varno::Document;
using varno::RunOptions;
using varno::RunReport;

RunReport RunLinked(Document* document, const RunOptions& options) {
    RunReport report;
    varno::RunPlugin(hosttest::LinkedPlugin(), document, options, &report);
    return report;
}

class ReleasesEverything : public ::testing::Test {
protected:
    void SetUp() override {
        // The block the plug-in keeps between calls is made on the first call and lives on.
        Document warm = varno::MakeTestDocument(1, 4, 4, 1);
        RunLinked(&warm, hosttest::Play(5, 2));
    }
    void TearDown() override { FailMemoryBlocksAfter(0, false); }

    void Check(const char* what, Document document, const RunOptions& options, int16_t expected) {
        const LiveResources before = CountLiveResources();
        const RunReport report = RunLinked(&document, options);
        const LiveResources after = CountLiveResources();
        EXPECT_EQ(report.result, expected) << what;
        EXPECT_EQ(after.memoryBlocks, before.memoryBlocks) << what;
        EXPECT_EQ(after.pluginHandles, before.pluginHandles) << what;
        EXPECT_EQ(after.mappings, before.mappings) << what;
        EXPECT_EQ(report.handlesLeft, 0) << what;
        EXPECT_EQ(report.descriptorTokensLeft, 0) << what;
    }

    hosttest::DriveC drive;
};

Document WithSelection(int32_t mode, int32_t width = 30, int32_t height = 20) {
    Document document = varno::MakeTestDocument(mode, width, height, 4);
    std::string error;
    varno::SetSelection(&document, varno::MakeTestSelection(width, height), &error);
    return document;
}

TEST_F(ReleasesEverything, GoodRuns) {
    for (int32_t mode : {1, 3, 4, 9, 10, 11, 12, 13})
        for (int32_t method = 3; method <= 7; ++method)
            Check("good run", WithSelection(mode), hosttest::Play(method, 2), 0);
    Check("remembered settings", WithSelection(3), RunOptions(), 0);
    RunOptions partial = hosttest::Play(5, 2);
    partial.partial.endColumn = 7;
    partial.partial.skipRowPeriod = 3;
    partial.partial.composite = partial.partial.selection = true;
    Check("partial delivery", WithSelection(4), partial, 0);
    Check("one pixel", WithSelection(3, 1, 1), hosttest::Play(6, 1), 0);
}

TEST_F(ReleasesEverything, BadRuns) {
    for (int32_t mode : {0, 2, 5, 6, 7, 8, 14, 15}) Check("unsupported mode", WithSelection(mode), hosttest::Play(5, 2), -30701);
    for (int32_t method = 3; method <= 7; ++method) {
        RunOptions stop = hosttest::Play(method, 3);
        stop.abortAfter = 7;
        Check("stopped in the method", WithSelection(3), stop, -128);
    }
#if !defined(_WIN32)
    RunOptions dialog = hosttest::Play(5, 2);
    dialog.playInfo = kPlayDialogDisplay;
    Check("dialog that cannot be shown", WithSelection(1), dialog, -128);
#endif
}

#if !defined(_WIN32)
// Natively only: where the plug-in cannot read the played action for lack of memory it lets the
// user choose in its dialog, which a Windows build would really show.
TEST_F(ReleasesEverything, RunsThatRunOutOfMemory) {
    // Every allocation of the run fails in turn: the run ends with -108, or with -128 where the
    // plug-in fell back to its dialog (this build has none), or succeeds when the failed
    // allocation was one it can do without; it gives everything back in every case.
    for (int32_t countdown = 1; countdown <= 60; ++countdown) {
        Document document = WithSelection(3, 12, 9);
        const Document before = document;
        const LiveResources start = CountLiveResources();
        FailMemoryBlocksAfter(countdown, false);
        const RunReport report = RunLinked(&document, hosttest::Play(4, 2));
        FailMemoryBlocksAfter(0, false);
        const LiveResources end = CountLiveResources();
        EXPECT_TRUE(report.result == 0 || report.result == -108 || report.result == -128)
            << countdown << ": " << report.result;
        if (report.result != 0) {
            EXPECT_EQ(document.selection, before.selection) << countdown;
        }
        EXPECT_EQ(end.memoryBlocks, start.memoryBlocks) << countdown;
        EXPECT_EQ(end.pluginHandles, start.pluginHandles) << countdown;
        EXPECT_EQ(end.mappings, start.mappings) << countdown;
        EXPECT_EQ(report.handlesLeft, 0) << countdown;
    }
}
#endif

}  // namespace

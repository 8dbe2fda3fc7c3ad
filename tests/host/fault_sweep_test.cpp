// Fault sweeps: one run repeated while each host callback, each allocation, each mapping and each
// change to a stored file fails in turn. Whatever fails, the run either reports it or hands back
// the selection a clean run gives; after a reported failure the host's selection, the preferences
// file and the run log are as they were; nothing is ever left half written; and the plug-in and
// the host get back every block, handle, mapping and descriptor reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "base/workers.h"
#include "buffers/files.h"
#include "plugin/plugin.h"
#include "tests/edges/edge_test_support.h"
#include "tests/host/host_fixture.h"

namespace {

using varno::Document;
using varno::HostCallback;
using varno::PluginInstance;
using varno::RunOptions;
using varno::RunReport;

// A file's bytes, or none when it does not exist.
using Stored = std::optional<std::vector<uint8_t>>;

class FaultSweep : public ::testing::Test {
protected:
    void TearDown() override {
        FailMemoryBlocksAfter(0, false);
        FailMappingsAfter(0, false);
        FailFileChangesAfter(0, 0);
        FailThreadsAfter(0, false);
        edgetest::ThreadsOverride::Set(nullptr);
    }

    Stored Read(const std::string& path) const {
        if (!hosttest::Exists(path)) return std::nullopt;
        return hosttest::ReadBytes(path);
    }
    void Put(const std::string& path, const Stored& bytes) const {
        hosttest::Remove(path);
        if (bytes) hosttest::WriteBytes(path, *bytes);
    }
    std::string Preferences() const { return drive.Path("QUENpref.xxx"); }
    std::string Log() const { return drive.Path("VEXAlog.txt"); }

    // A clean run from the given preferences (none: a first run) and an empty run log; what it
    // leaves is what every run of the sweep that succeeds must leave.
    RunReport Baseline(PluginInstance* plugin, const Stored& preferences) {
        Put(Preferences(), preferences);
        Put(Log(), std::vector<uint8_t>());
        Document document = document_;
        RunReport report;
        varno::RunPlugin(plugin, &document, options_, &report);
        EXPECT_EQ(report.result, 0);
        initial_ = preferences;
        saved_ = Read(Preferences());
        logged_ = Read(Log());
        selection_ = document.selection;
        EXPECT_TRUE(saved_ && logged_ && !logged_->empty());
        return report;
    }

    // One run of the sweep from the baseline's starting files, with the checks every run must pass.
    // Returns the result.
    int16_t RunAndCheck(const std::string& what, PluginInstance* plugin, const RunOptions& options,
                        std::initializer_list<int16_t> allowed) {
        Put(Preferences(), initial_);
        Put(Log(), std::vector<uint8_t>());
        Document document = document_;
        const LiveResources before = CountLiveResources();
        RunReport report;
        varno::RunPlugin(plugin, &document, options, &report);
        FailMemoryBlocksAfter(0, false);
        FailMappingsAfter(0, false);
        FailFileChangesAfter(0, 0);
        const LiveResources after = CountLiveResources();

        const int16_t result = report.result;
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), result), allowed.end()) << what << ": " << result;
        const Stored preferences = Read(Preferences());
        if (result == 0) {
            EXPECT_EQ(document.selection, selection_) << what;
            EXPECT_TRUE(preferences == initial_ || preferences == saved_) << what << ": preferences half written";
        } else {
            EXPECT_EQ(document.selection, document_.selection) << what;
            EXPECT_EQ(document.hasSelection, document_.hasSelection) << what;
            EXPECT_FALSE(report.recorded) << what;
            EXPECT_EQ(preferences, initial_) << what;
            EXPECT_EQ(Read(Log()), Stored(std::vector<uint8_t>())) << what;
        }
        EXPECT_FALSE(hosttest::Exists(Preferences() + ".new")) << what;
        EXPECT_EQ(after.memoryBlocks, before.memoryBlocks) << what;
        EXPECT_EQ(after.pluginHandles, before.pluginHandles) << what;
        EXPECT_EQ(after.mappings, before.mappings) << what;
        EXPECT_EQ(report.handlesLeft, 0) << what;
        EXPECT_EQ(report.descriptorTokensLeft, 0) << what;
        return result;
    }

    hosttest::DriveC drive;
    // A colour document with a selection; the method and radius played back are those stored,
    // so a run that cannot read the played values still makes the same selection.
    Document document_ = [] {
        Document document = varno::MakeTestDocument(kModeRGB, 14, 9, 7);
        std::string error;
        varno::SetSelection(&document, varno::MakeTestSelection(14, 9), &error);
        return document;
    }();
    RunOptions options_ = hosttest::Play(7, 3);
    Stored initial_, saved_, logged_;
    std::vector<uint8_t> selection_;
};

// Every call of every callback kind fails in turn, through the plug-in as a host loads it and
// through the linked code (whose counters can be read). Pixel transfers that fail end the run
// with the host's code; a stop ends it with -128; scripting that fails leaves the stored values.
TEST_F(FaultSweep, EveryHostCallbackFailsInTurn) {
    const struct {
        HostCallback kind;
        int16_t result;
    } kinds[] = {
        {HostCallback::kReadPixels, -1},          {HostCallback::kWriteBasePixels, -1},
        {HostCallback::kAbort, -128},             {HostCallback::kOpenReadDescriptor, 0},
        {HostCallback::kGetKey, 0},               {HostCallback::kGetInteger, 0},
        {HostCallback::kGetEnumerated, 0},        {HostCallback::kCloseReadDescriptor, 0},
        {HostCallback::kOpenWriteDescriptor, 0},  {HostCallback::kPutInteger, 0},
        {HostCallback::kPutEnumerated, 0},        {HostCallback::kCloseWriteDescriptor, 0},
    };
    for (PluginInstance* plugin : {hosttest::LoadedPlugin(), hosttest::LinkedPlugin()}) {
        const bool linked = plugin == hosttest::LinkedPlugin();
        Baseline(plugin, std::nullopt);
        const RunReport clean = Baseline(plugin, saved_);
        for (const auto& k : kinds) {
            const int32_t calls = clean.callbackCalls[int32_t(k.kind)];
            EXPECT_GT(calls, 0) << "kind " << int32_t(k.kind);
            for (int32_t call = 1; call <= calls; ++call) {
                RunOptions options = options_;
                options.fail = {k.kind, call, false, -1};
                const std::string what = std::string(linked ? "linked" : "loaded") + ", kind " +
                                         std::to_string(int32_t(k.kind)) + ", call " + std::to_string(call);
                RunAndCheck(what, plugin, options, {k.result});
            }
            // Out of memory inside the callback: it answers -108, which ends pixel transfers' runs.
            RunOptions options = options_;
            options.fail = {k.kind, 1, false, 0, true};
            RunAndCheck("out of memory " + std::to_string(int32_t(k.kind)), plugin, options, {int16_t(k.result == -1 ? -108 : 0)});
        }
    }
}

// Every change to a stored file fails in turn (a full disk from then on), on a first run and with
// a file already there: the run succeeds, and the preferences are the old file or the complete new
// one, never a part of it.
TEST_F(FaultSweep, EveryChangeToAFileFailsInTurn) {
    PluginInstance* plugin = hosttest::LinkedPlugin();
    Baseline(plugin, std::nullopt);
    for (const Stored& start : {Stored(), saved_}) {
        Baseline(plugin, start);
        const int32_t first = CountFileChanges();
        RunAndCheck("counting", plugin, options_, {0});
        const int32_t changes = CountFileChanges() - first;
        EXPECT_GT(changes, 2);
        for (int32_t countdown = 1; countdown <= changes; ++countdown) {
            FailFileChangesAfter(countdown, -34);
            RunAndCheck("file change " + std::to_string(countdown), plugin, options_, {0});
            // The preferences are the last file a run changes: from the failing change on, the
            // disk is full for them too.
            EXPECT_EQ(Read(Preferences()), initial_) << countdown;
        }
    }
}

// Where the plug-in cannot read the played action for lack of memory it lets the user choose in
// its dialog, which the linked code cannot show (the native build has none, and the dialog's
// resource is the plug-in library's): -128.
TEST_F(FaultSweep, EveryAllocationAndMappingFailsInTurn) {
    PluginInstance* plugin = hosttest::LinkedPlugin();
    for (int32_t method = 3; method <= 7; ++method) {
        options_ = hosttest::Play(method, 2);
        Baseline(plugin, std::nullopt);
        Baseline(plugin, saved_);
        const int32_t blocks = CountMemoryRequests(), mappings = CountMappingRequests();
        RunAndCheck("counting", plugin, options_, {0});
        const int32_t blockRequests = CountMemoryRequests() - blocks;
        const int32_t mappingRequests = CountMappingRequests() - mappings;
        EXPECT_GT(blockRequests, 10);
        EXPECT_GE(mappingRequests, 2);
        const std::string name = "method " + std::to_string(method);
        for (int32_t countdown = 1; countdown <= blockRequests; ++countdown) {
            for (bool sticky : {false, true}) {
                FailMemoryBlocksAfter(countdown, sticky);
                RunAndCheck(name + ", block " + std::to_string(countdown) + (sticky ? " on" : ""), plugin, options_,
                            {0, -108, -128});
            }
        }
        for (int32_t countdown = 1; countdown <= mappingRequests; ++countdown) {
            FailMappingsAfter(countdown, false);
            RunAndCheck(name + ", mapping " + std::to_string(countdown), plugin, options_, {-36});
        }
    }
}

// The plug-in as a host loads it gives the single-threaded selection on 2, 3, 7 and 64 threads (more
// than the document's rows). With three threads wanted, every thread start fails in turn, and abort
// tests answer stop in turn
// through the plug-in as a host loads it and through the linked code: a refused thread leaves the
// run on fewer threads with the selection of a single-threaded run; a stop ends it with -128,
// nothing written and everything given back (the pool's block goes only once its threads are
// joined), the progress reported until then the start of the single-threaded run's.
TEST_F(FaultSweep, ThreadStartsFailAndStopsComeInTurnWithSeveralThreads) {
    using Steps = std::vector<std::pair<int32_t, int32_t>>;
    PluginInstance* linked = hosttest::LinkedPlugin();
    for (int32_t method = 3; method <= 7; ++method) {
        const std::string name = "method " + std::to_string(method);
        options_ = hosttest::Play(method, 2);
        Steps single;
        options_.progress = [&single](int32_t done, int32_t total) { single.emplace_back(done, total); };
        edgetest::ThreadsOverride::Set("1");
        Baseline(linked, std::nullopt);
        single.clear();
        const RunReport clean = Baseline(linked, saved_);
        const Steps ordinary = single;
        options_.progress = nullptr;
        edgetest::ThreadsOverride::Set("3");

        for (PluginInstance* plugin : {hosttest::LoadedPlugin(), linked}) {
            for (int32_t call = 1; call <= clean.abortCalls; call += 1 + clean.abortCalls / 24) {
                Steps seen;
                RunOptions options = options_;
                options.progress = [&seen](int32_t done, int32_t total) { seen.emplace_back(done, total); };
                options.abortAfter = call;
                const std::string what = name + ", stop at " + std::to_string(call);
                RunAndCheck(what, plugin, options, {-128});
                ASSERT_LE(seen.size(), ordinary.size()) << what;
                EXPECT_EQ(seen, Steps(ordinary.begin(), ordinary.begin() + std::ptrdiff_t(seen.size()))) << what;
            }
        }

        for (const char* threads : {"2", "3", "7", "64"}) {
            edgetest::ThreadsOverride::Set(threads);
            RunAndCheck(name + ", loaded, " + threads + " threads", hosttest::LoadedPlugin(), options_, {0});
        }
        edgetest::ThreadsOverride::Set("3");
        const int32_t before = CountThreadRequests();
        RunAndCheck(name + ", counting", linked, options_, {0});
        const int32_t starts = CountThreadRequests() - before;
        EXPECT_GE(starts, 3) << name;
        for (int32_t countdown = 1; countdown <= starts; ++countdown) {
            for (bool sticky : {false, true}) {
                FailThreadsAfter(countdown, sticky);
                RunAndCheck(name + ", thread " + std::to_string(countdown) + (sticky ? " on" : ""), linked, options_,
                            {0});
                FailThreadsAfter(0, false);
            }
        }
    }
}

}  // namespace

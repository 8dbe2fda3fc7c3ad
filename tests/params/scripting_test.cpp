// Reading a played descriptor into the parameter set, against the fake host of scripting_host.h.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/params/scripting_host.h"

namespace {

using namespace scripting_fixture;

constexpr uint32_t kKeyUnknown = 0x7A7A7A7A;  // 'zzzz'
constexpr uint32_t kTypeDouble = 0x646F7562;  // 'doub'

struct ReadCase {
    const char* name;
    std::vector<PlayedValue> played;
    int32_t method;
    int32_t radius;
};

TEST(ScriptingRead, AcceptsOnlyInRangeValuesKeyByKey) {
    const ReadCase cases[] = {
        {"method 9 ignored", {{kKeyMethod, kTypeMethodEnum, 9}}, 5, 2},
        {"method 6 taken", {{kKeyMethod, kTypeMethodEnum, 6}}, 6, 2},
        {"method bounds", {{kKeyMethod, kTypeMethodEnum, 3}}, 3, 2},
        {"method upper bound", {{kKeyMethod, kTypeMethodEnum, 7}}, 7, 2},
        {"method 2 ignored", {{kKeyMethod, kTypeMethodEnum, 2}}, 5, 2},
        {"method all ones ignored", {{kKeyMethod, kTypeMethodEnum, 0xFFFFFFFF}}, 5, 2},
        {"radius 0 ignored", {{kKeyRadius, kTypeLong, 0}}, 5, 2},
        {"radius 4 ignored", {{kKeyRadius, kTypeLong, 4}}, 5, 2},
        {"radius -1 ignored", {{kKeyRadius, kTypeLong, uint32_t(-1)}}, 5, 2},
        {"radius 1 taken", {{kKeyRadius, kTypeLong, 1}}, 5, 1},
        {"radius 3 taken", {{kKeyRadius, kTypeLong, 3}}, 5, 3},
        {"both", {{kKeyRadius, kTypeLong, 1}, {kKeyMethod, kTypeMethodEnum, 4}}, 4, 1},
        {"unknown key skipped", {{kKeyUnknown, kTypeLong, 3}, {kKeyRadius, kTypeLong, 3}}, 5, 3},
        {"duplicate applied twice", {{kKeyMethod, kTypeMethodEnum, 6}, {kKeyMethod, kTypeMethodEnum, 4}}, 4, 2},
        {"last valid wins", {{kKeyMethod, kTypeMethodEnum, 6}, {kKeyMethod, kTypeMethodEnum, 9}}, 6, 2},
        // An enumeration is read as one whatever the host calls it; the radius as the integer or
        // the real ('doub') it holds, rounded to the nearest whole number, then range-checked.
        {"enumeration whatever its host type", {{kKeyMethod, kTypeLong, 7}}, 7, 2},
        {"radius real 3.0 taken", {{kKeyRadius, kTypeDouble, 0, 3.0}}, 5, 3},
        {"radius real 1.49 taken as 1", {{kKeyRadius, kTypeDouble, 0, 1.49}}, 5, 1},
        {"radius real 2.5 taken as 3", {{kKeyRadius, kTypeDouble, 0, 2.5}}, 5, 3},
        {"radius real 3.5 ignored", {{kKeyRadius, kTypeDouble, 0, 3.5}}, 5, 2},
        {"radius real 0.4 ignored", {{kKeyRadius, kTypeDouble, 0, 0.4}}, 5, 2},
        {"radius real not a number ignored", {{kKeyRadius, kTypeDouble, 0, std::nan("")}}, 5, 2},
        {"radius real 1e300 ignored", {{kKeyRadius, kTypeDouble, 0, 1e300}}, 5, 2},
        {"radius of another type is missing", {{kKeyRadius, 0x54455854, 3}, {kKeyRadius, 0x626F6F6C, 1}}, 5, 2},
        {"empty descriptor", {}, 5, 2},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptingHost host;
        host.state.played = c.played;
        EdgeSet edges;
        EXPECT_TRUE(ReadScriptParameters(&host.record, edges.set));
        EXPECT_EQ(edges.method(), c.method);
        EXPECT_EQ(edges.radius(), c.radius);
    }
}

TEST(ScriptingRead, ReadsEachEntryByItsOwnKindOfGet) {
    ScriptingHost host;
    host.state.played = {{kKeyMethod, kTypeMethodEnum, 6}, {kKeyUnknown, kTypeLong, 1}, {kKeyRadius, kTypeLong, 1},
                         {kKeyRadius, kTypeLong, 9}};
    EdgeSet edges;
    ReadScriptParameters(&host.record, edges.set);
    EXPECT_EQ(host.state.enumeratedGets, 1);
    EXPECT_EQ(host.state.integerGets, 2);
}

TEST(ScriptingRead, RangesCompareSignedForIntegersAndUnsignedForEnumerations) {
    ParameterSet* set = CreateParameterSet(5);
    InitParameterSet(set, kSignatureEdges, 0, 0);
    AddIntegerParameter(set, 0x696E7431, -5, 5, 0);            // 'int1'
    AddTypedParameter(set, 0x656E6D31, 0x72423939, -1, 5, 0);  // 'enm1', 'rB99': 0xFFFFFFFF..5
    AddTypedParameter(set, 0x656E6D32, 0x72423938, 1, -1, 0);  // 'enm2', 'rB98': 1..0xFFFFFFFF
    ScriptingHost host;
    host.state.played = {{0x696E7431, kTypeLong, uint32_t(-3)},
                         {0x656E6D31, kTypeLong, 2},
                         {0x656E6D32, kTypeLong, 0x80000000}};
    ReadScriptParameters(&host.record, set);
    EXPECT_EQ(GetIntegerParameter(set, 0), -3);
    EXPECT_EQ(GetIntegerParameter(set, 1), 0);  // no unsigned value lies in 0xFFFFFFFF..5
    EXPECT_EQ(GetIntegerParameter(set, 2), int32_t(0x80000000));
    FreeParameterSet(set);
}

TEST(ScriptingRead, DialogShownOnlyWhenTheHostAsksForIt) {
    const struct {
        int16_t playInfo;
        bool skip;
    } cases[] = {{kPlayDialogDontDisplay, true}, {kPlayDialogDisplay, false}, {kPlayDialogSilent, true}};
    for (const auto& c : cases) {
        ScriptingHost host(c.playInfo);
        host.state.played = {{kKeyMethod, kTypeMethodEnum, 6}, {kKeyRadius, kTypeLong, 3}};
        EdgeSet edges;
        EXPECT_EQ(ReadScriptParameters(&host.record, edges.set), c.skip) << c.playInfo;
        // With the dialog shown, it starts from the played-back values.
        EXPECT_EQ(edges.method(), 6);
        EXPECT_EQ(edges.radius(), 3);
    }
}

TEST(ScriptingRead, OpensWithTheKeyListThenClosesAndDisposesTheDescriptor) {
    LiveResources before = CountLiveResources();
    ScriptingHost host;
    host.state.played = {{kKeyRadius, kTypeLong, 3}};
    EdgeSet edges;
    ReadScriptParameters(&host.record, edges.set);
    EXPECT_EQ(host.state.openedWith, kPlayedHandle);
    EXPECT_EQ(host.state.keyList, (std::vector<uint32_t>{kKeyMethod, kKeyRadius}));
    EXPECT_EQ(host.state.calls, (std::vector<std::string>{"open-read", "close-read", "dispose"}));
    EXPECT_EQ(host.state.disposed, std::vector<Handle>{kPlayedHandle});
    EXPECT_EQ(host.params.descriptor, nullptr);
    EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks + 1);  // only the set remains
}

TEST(ScriptingRead, NoReaderTokenReadsNothingAndKeepsTheDescriptor) {
    for (int16_t playInfo : {kPlayDialogDontDisplay, kPlayDialogDisplay}) {
        ScriptingHost host(playInfo);
        host.state.openReturnsToken = false;
        host.state.played = {{kKeyMethod, kTypeMethodEnum, 6}};
        EdgeSet edges;
        EXPECT_EQ(ReadScriptParameters(&host.record, edges.set), playInfo != kPlayDialogDisplay);
        EXPECT_EQ(host.state.calls, std::vector<std::string>{"open-read"});
        EXPECT_EQ(edges.method(), 5);
        EXPECT_EQ(host.params.descriptor, kPlayedHandle);
    }
}


TEST(ScriptingRead, UnusableSuitesShowTheDialogAndTouchNothing) {
    for (int how = 0; how < kBrokenSuiteKinds; ++how) {
        ScriptingHost host;
        BreakDescriptorSuites(host, how);
        host.state.played = {{kKeyMethod, kTypeMethodEnum, 6}};
        EdgeSet edges;
        EXPECT_FALSE(ReadScriptParameters(&host.record, edges.set)) << how;
        EXPECT_TRUE(host.state.calls.empty()) << how;
        EXPECT_EQ(edges.method(), 5) << how;
        EXPECT_EQ(host.params.descriptor, kPlayedHandle) << how;
    }
    // Newer suite versions with more procedures are fine.
    ScriptingHost newer;
    newer.read.readDescriptorProcsVersion = 3;
    newer.read.numReadDescriptorProcs = 30;
    newer.write.writeDescriptorProcsVersion = 2;
    newer.write.numWriteDescriptorProcs = 20;
    newer.state.played = {{kKeyMethod, kTypeMethodEnum, 6}};
    EdgeSet edges;
    EXPECT_TRUE(ReadScriptParameters(&newer.record, edges.set));
    EXPECT_EQ(edges.method(), 6);
}

TEST(ScriptingRead, UnusableHandleSuiteStillClearsTheDescriptor) {
    for (int how = 0; how < 6; ++how) {
        ScriptingHost host;
        switch (how) {
            case 0: host.handles.handleProcsVersion = 2; break;
            case 1: host.handles.handleProcsVersion = 0; break;
            case 2: host.handles.numHandleProcs = 3; break;
            case 3: host.handles.disposeProc = nullptr; break;
            case 4: host.handles.setSizeProc = nullptr; break;
            case 5: host.record.handleProcs = nullptr; break;
        }
        host.state.played = {{kKeyRadius, kTypeLong, 1}};
        EdgeSet edges;
        EXPECT_TRUE(ReadScriptParameters(&host.record, edges.set)) << how;
        EXPECT_EQ(edges.radius(), 1) << how;
        EXPECT_TRUE(host.state.disposed.empty()) << how;
        EXPECT_EQ(host.params.descriptor, nullptr) << how;
    }
}

TEST(ScriptingRead, EmptySetOnlyAnswersTheDialogQuestion) {
    ParameterSet* set = CreateParameterSet(2);
    InitParameterSet(set, kSignatureEdges, 0, 0);
    const struct {
        int16_t playInfo;
        bool usable;
        bool skip;
    } cases[] = {{kPlayDialogDontDisplay, true, true}, {kPlayDialogDisplay, true, false},
                 {kPlayDialogSilent, true, true}, {kPlayDialogDontDisplay, false, false}};
    for (const auto& c : cases) {
        ScriptingHost host(c.playInfo);
        if (!c.usable) BreakDescriptorSuites(host, 5);
        EXPECT_EQ(ReadScriptParameters(&host.record, set), c.skip);
        EXPECT_TRUE(host.state.calls.empty());
        EXPECT_EQ(host.params.descriptor, kPlayedHandle);
    }
    FreeParameterSet(set);
}

TEST(ScriptingRead, KeyListWithoutMemoryFallsBackToTheDialog) {
    ScriptingHost host;
    host.state.played = {{kKeyMethod, kTypeMethodEnum, 6}};
    EdgeSet edges;
    LiveResources before = CountLiveResources();
    FailMemoryBlocksAfter(1, false);
    EXPECT_FALSE(ReadScriptParameters(&host.record, edges.set));
    FailMemoryBlocksAfter(0, false);
    EXPECT_TRUE(host.state.calls.empty());
    EXPECT_EQ(edges.method(), 5);
    EXPECT_EQ(host.params.descriptor, kPlayedHandle);
    EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks);
}

}  // namespace

// The scripting exchange against a fake host: a read suite that hands out keys and values from a
// list, a write suite that captures what is put, and a handle suite that counts disposals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "plugin/plugin.h"
#include "params/parameter_set.h"
#include "params/scripting.h"

namespace {

struct PlayedValue {
    uint32_t key;
    uint32_t type;  // what the host claims: enumerations go by the entry's own type, integers by this
    uint32_t value;
    double real = 0;  // what the host gives for a real
};

struct Put {
    std::string kind;
    uint32_t key;
    uint32_t type;
    uint32_t value;
};

char playedHandleData;
char recordedHandleData;
char readTokenData;
char writeTokenData;
Handle const kPlayedHandle = reinterpret_cast<Handle>(&playedHandleData);
Handle const kRecordedHandle = reinterpret_cast<Handle>(&recordedHandleData);

// What the fake host saw and what it will answer.
struct FakeHost {
    std::vector<PlayedValue> played;
    size_t next = 0;
    size_t current = 0;
    bool openReturnsToken = true;
    std::vector<std::string> calls;
    std::vector<uint32_t> keyList;
    Handle openedWith = nullptr;
    int integerGets = 0;
    int enumeratedGets = 0;
    std::vector<Put> puts;
    std::vector<Handle> disposed;
    PIDescriptorHandle* closeTarget = nullptr;
};
FakeHost* fake;

PIReadDescriptor PIAPI OpenRead(PIDescriptorHandle descriptor, uint32_t* keys) {
    fake->calls.push_back("open-read");
    fake->openedWith = descriptor;
    for (uint32_t* k = keys; *k; ++k) fake->keyList.push_back(*k);
    return fake->openReturnsToken ? reinterpret_cast<PIReadDescriptor>(&readTokenData) : nullptr;
}
OSErr PIAPI CloseRead(PIReadDescriptor token) {
    EXPECT_EQ(token, reinterpret_cast<PIReadDescriptor>(&readTokenData));
    fake->calls.push_back("close-read");
    return 0;
}
Boolean PIAPI GetKey(PIReadDescriptor, uint32_t* key, uint32_t* type, int32_t* flags) {
    if (fake->next >= fake->played.size()) return 0;
    fake->current = fake->next++;
    *key = fake->played[fake->current].key;
    *type = fake->played[fake->current].type;
    *flags = 0;
    return 1;
}
OSErr PIAPI GetInteger(PIReadDescriptor, int32_t* value) {
    ++fake->integerGets;
    *value = int32_t(fake->played[fake->current].value);
    return 0;
}
OSErr PIAPI GetFloat(PIReadDescriptor, double* value) {
    ++fake->integerGets;
    *value = fake->played[fake->current].real;
    return 0;
}
OSErr PIAPI GetEnumerated(PIReadDescriptor, uint32_t* value) {
    ++fake->enumeratedGets;
    *value = fake->played[fake->current].value;
    return 0;
}

PIWriteDescriptor PIAPI OpenWrite() {
    fake->calls.push_back("open-write");
    return fake->openReturnsToken ? reinterpret_cast<PIWriteDescriptor>(&writeTokenData) : nullptr;
}
OSErr PIAPI CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* out) {
    EXPECT_EQ(token, reinterpret_cast<PIWriteDescriptor>(&writeTokenData));
    fake->calls.push_back("close-write");
    fake->closeTarget = out;
    *out = kRecordedHandle;
    return 0;
}
OSErr PIAPI PutInteger(PIWriteDescriptor, uint32_t key, int32_t value) {
    fake->puts.push_back({"integer", key, 0, uint32_t(value)});
    return 0;
}
OSErr PIAPI PutEnumerated(PIWriteDescriptor, uint32_t key, uint32_t type, uint32_t value) {
    fake->puts.push_back({"enumerated", key, type, value});
    return 0;
}

Handle PIAPI NewHandle(int32_t) { return nullptr; }
void PIAPI DisposeHandle(Handle h) {
    fake->calls.push_back("dispose");
    fake->disposed.push_back(h);
}
int32_t PIAPI GetHandleSize(Handle) { return 0; }
OSErr PIAPI SetHandleSize(Handle, int32_t) { return 0; }

// A complete, usable scripting host around one FakeHost.
struct ScriptingHost {
    FakeHost state;
    ReadDescriptorProcs read{};
    WriteDescriptorProcs write{};
    HandleProcs handles{};
    PIDescriptorParameters params{};
    SelectionRecord record{};

    explicit ScriptingHost(int16_t playInfo = kPlayDialogDontDisplay) {
        fake = &state;
        read.readDescriptorProcsVersion = 0;
        read.numReadDescriptorProcs = 18;
        read.openReadDescriptorProc = OpenRead;
        read.closeReadDescriptorProc = CloseRead;
        read.getKeyProc = GetKey;
        read.getIntegerProc = GetInteger;
        read.getFloatProc = GetFloat;
        read.getEnumeratedProc = GetEnumerated;
        write.writeDescriptorProcsVersion = 0;
        write.numWriteDescriptorProcs = 16;
        write.openWriteDescriptorProc = OpenWrite;
        write.closeWriteDescriptorProc = CloseWrite;
        write.putIntegerProc = PutInteger;
        write.putEnumeratedProc = PutEnumerated;
        handles.handleProcsVersion = 1;
        handles.numHandleProcs = 8;
        handles.newProc = NewHandle;
        handles.disposeProc = DisposeHandle;
        handles.getSizeProc = GetHandleSize;
        handles.setSizeProc = SetHandleSize;
        params.descriptorParametersVersion = 0;
        params.playInfo = playInfo;
        params.recordInfo = 1;
        params.descriptor = kPlayedHandle;
        params.readDescriptorProcs = &read;
        params.writeDescriptorProcs = &write;
        record.handleProcs = &handles;
        record.descriptorParameters = &params;
    }
    ScriptingHost(const ScriptingHost&) = delete;
    ~ScriptingHost() { fake = nullptr; }
};

// The plug-in's own set: 'EdgM' (rB45, 3..7) = 5, 'edgR' (long, 1..3) = 2.
struct EdgeSet {
    ParameterSet* set;
    EdgeSet() {
        set = CreateParameterSet(kParameterUnits);
        InitParameterSet(set, kSignatureEdges, 0, 0);
        AddTypedParameter(set, kKeyMethod, kTypeMethodEnum, 3, 7, 5);
        AddIntegerParameter(set, kKeyRadius, 1, 3, 2);
    }
    ~EdgeSet() { FreeParameterSet(set); }
    int32_t method() const { return GetIntegerParameter(set, 0); }
    int32_t radius() const { return GetIntegerParameter(set, 1); }
};

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

// Ways in which a host's descriptor suites are missing or not of the kind the plug-in knows.
void BreakDescriptorSuites(ScriptingHost& host, int how) {
    switch (how) {
        case 0: host.record.descriptorParameters = nullptr; break;
        case 1: host.params.descriptorParametersVersion = 1; break;
        case 2: host.params.readDescriptorProcs = nullptr; break;
        case 3: host.params.writeDescriptorProcs = nullptr; break;
        case 4: host.read.readDescriptorProcsVersion = -1; break;
        case 5: host.read.numReadDescriptorProcs = 17; break;
        case 6: host.write.writeDescriptorProcsVersion = -1; break;
        case 7: host.write.numWriteDescriptorProcs = 15; break;
        case 8: host.read.openReadDescriptorProc = nullptr; break;
        case 9: host.write.putEnumeratedProc = nullptr; break;
    }
}
constexpr int kBrokenSuiteKinds = 10;

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

TEST(ScriptingWrite, PutsEveryInputByTypeThenReplacesTheDescriptor) {
    ScriptingHost host;
    EdgeSet edges;
    SetIntegerParameter(edges.set, 0, 6);
    SetIntegerParameter(edges.set, 1, 3);
    EXPECT_EQ(WriteScriptParameters(&host.record, edges.set), 0);
    ASSERT_EQ(host.state.puts.size(), 2u);
    EXPECT_EQ(host.state.puts[0].kind, "enumerated");
    EXPECT_EQ(host.state.puts[0].key, kKeyMethod);
    EXPECT_EQ(host.state.puts[0].type, kTypeMethodEnum);
    EXPECT_EQ(host.state.puts[0].value, 6u);
    EXPECT_EQ(host.state.puts[1].kind, "integer");
    EXPECT_EQ(host.state.puts[1].key, kKeyRadius);
    EXPECT_EQ(host.state.puts[1].value, 3u);
    // The old descriptor goes before the new one lands in the host's record.
    EXPECT_EQ(host.state.calls, (std::vector<std::string>{"open-write", "dispose", "close-write"}));
    EXPECT_EQ(host.state.disposed, std::vector<Handle>{kPlayedHandle});
    EXPECT_EQ(host.state.closeTarget, &host.params.descriptor);
    EXPECT_EQ(host.params.descriptor, kRecordedHandle);
    EXPECT_EQ(host.params.recordInfo, 0);
}

TEST(ScriptingWrite, EntryOrderAndNonIntegerTypesGoAsEnumerations) {
    ParameterSet* set = CreateParameterSet(5);
    InitParameterSet(set, kSignatureEdges, 0, 0);
    AddIntegerParameter(set, 0x61616161, -9, 9, -4);
    AddTypedParameter(set, 0x62626262, 0x72423337, 0, 9, 8);
    AddTypedParameter(set, 0x63636363, 0x626F6F6C, 0, 1, 1);  // 'bool' goes the enumeration way too
    ScriptingHost host;
    host.params.descriptor = nullptr;
    WriteScriptParameters(&host.record, set);
    ASSERT_EQ(host.state.puts.size(), 3u);
    EXPECT_EQ(host.state.puts[0].kind, "integer");
    EXPECT_EQ(host.state.puts[0].value, uint32_t(-4));
    EXPECT_EQ(host.state.puts[1].kind, "enumerated");
    EXPECT_EQ(host.state.puts[1].type, 0x72423337u);
    EXPECT_EQ(host.state.puts[2].kind, "enumerated");
    EXPECT_EQ(host.state.puts[2].type, 0x626F6F6Cu);
    // Nothing held before: nothing disposed, the new descriptor arrives all the same.
    EXPECT_TRUE(host.state.disposed.empty());
    EXPECT_EQ(host.params.descriptor, kRecordedHandle);
    FreeParameterSet(set);
}

TEST(ScriptingWrite, EmptySetStillRecordsAnEmptyDescriptor) {
    ParameterSet* set = CreateParameterSet(2);
    InitParameterSet(set, kSignatureEdges, 0, 0);
    ScriptingHost host;
    EXPECT_EQ(WriteScriptParameters(&host.record, set), 0);
    EXPECT_TRUE(host.state.puts.empty());
    EXPECT_EQ(host.state.calls, (std::vector<std::string>{"open-write", "dispose", "close-write"}));
    EXPECT_EQ(host.params.descriptor, kRecordedHandle);
    EXPECT_EQ(host.params.recordInfo, 0);
    FreeParameterSet(set);
}

TEST(ScriptingWrite, NoWriterTokenWritesNothing) {
    ScriptingHost host;
    host.state.openReturnsToken = false;
    EdgeSet edges;
    EXPECT_EQ(WriteScriptParameters(&host.record, edges.set), 0);
    EXPECT_TRUE(host.state.puts.empty());
    EXPECT_EQ(host.state.calls, std::vector<std::string>{"open-write"});
    EXPECT_EQ(host.params.descriptor, kPlayedHandle);
    EXPECT_EQ(host.params.recordInfo, 1);
}

TEST(ScriptingWrite, UnusableSuitesWriteNothing) {
    for (int how = 0; how < kBrokenSuiteKinds; ++how) {
        ScriptingHost host;
        BreakDescriptorSuites(host, how);
        EdgeSet edges;
        EXPECT_EQ(WriteScriptParameters(&host.record, edges.set), 0) << how;
        EXPECT_TRUE(host.state.calls.empty()) << how;
        EXPECT_EQ(host.params.descriptor, kPlayedHandle) << how;
        EXPECT_EQ(host.params.recordInfo, 1) << how;
    }
}

TEST(ScriptingWrite, UnusableHandleSuiteReplacesWithoutDisposing) {
    ScriptingHost host;
    host.handles.handleProcsVersion = 0;
    EdgeSet edges;
    WriteScriptParameters(&host.record, edges.set);
    EXPECT_TRUE(host.state.disposed.empty());
    EXPECT_EQ(host.params.descriptor, kRecordedHandle);
}

TEST(ScriptingRelease, DisposesThroughUsableHandleSuiteAndAlwaysClears) {
    {
        ScriptingHost host;
        ReleaseScriptDescriptor(&host.record);
        EXPECT_EQ(host.state.disposed, std::vector<Handle>{kPlayedHandle});
        EXPECT_EQ(host.params.descriptor, nullptr);
        ReleaseScriptDescriptor(&host.record);  // nothing left to dispose of
        EXPECT_EQ(host.state.disposed.size(), 1u);
    }
    {
        ScriptingHost host;
        host.handles.numHandleProcs = 2;
        ReleaseScriptDescriptor(&host.record);
        EXPECT_TRUE(host.state.disposed.empty());
        EXPECT_EQ(host.params.descriptor, nullptr);
    }
    {
        ScriptingHost host;
        host.record.descriptorParameters = nullptr;
        ReleaseScriptDescriptor(&host.record);
        EXPECT_TRUE(host.state.disposed.empty());
    }
}

}  // namespace

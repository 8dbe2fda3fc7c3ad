// Recording the parameter set into a descriptor, and releasing the played one, against the fake
// host of scripting_host.h.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/params/scripting_host.h"

namespace {

using namespace scripting_fixture;

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

// The fake host of the scripting tests: a read suite that hands out keys and values from a list,
// a write suite that captures what is put, and a handle suite that counts disposals; the
// plug-in's own edge parameter set; and the ways a host's descriptor suites can be unusable.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/plugin.h"
#include "params/parameter_set.h"
#include "params/scripting.h"

namespace scripting_fixture {


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

inline char playedHandleData;
inline char recordedHandleData;
inline char readTokenData;
inline char writeTokenData;
inline Handle const kPlayedHandle = reinterpret_cast<Handle>(&playedHandleData);
inline Handle const kRecordedHandle = reinterpret_cast<Handle>(&recordedHandleData);

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
inline FakeHost* fake;

inline PIReadDescriptor PIAPI OpenRead(PIDescriptorHandle descriptor, uint32_t* keys) {
    fake->calls.push_back("open-read");
    fake->openedWith = descriptor;
    for (uint32_t* k = keys; *k; ++k) fake->keyList.push_back(*k);
    return fake->openReturnsToken ? reinterpret_cast<PIReadDescriptor>(&readTokenData) : nullptr;
}
inline OSErr PIAPI CloseRead(PIReadDescriptor token) {
    EXPECT_EQ(token, reinterpret_cast<PIReadDescriptor>(&readTokenData));
    fake->calls.push_back("close-read");
    return 0;
}
inline Boolean PIAPI GetKey(PIReadDescriptor, uint32_t* key, uint32_t* type, int32_t* flags) {
    if (fake->next >= fake->played.size()) return 0;
    fake->current = fake->next++;
    *key = fake->played[fake->current].key;
    *type = fake->played[fake->current].type;
    *flags = 0;
    return 1;
}
inline OSErr PIAPI GetInteger(PIReadDescriptor, int32_t* value) {
    ++fake->integerGets;
    *value = int32_t(fake->played[fake->current].value);
    return 0;
}
inline OSErr PIAPI GetFloat(PIReadDescriptor, double* value) {
    ++fake->integerGets;
    *value = fake->played[fake->current].real;
    return 0;
}
inline OSErr PIAPI GetEnumerated(PIReadDescriptor, uint32_t* value) {
    ++fake->enumeratedGets;
    *value = fake->played[fake->current].value;
    return 0;
}

inline PIWriteDescriptor PIAPI OpenWrite() {
    fake->calls.push_back("open-write");
    return fake->openReturnsToken ? reinterpret_cast<PIWriteDescriptor>(&writeTokenData) : nullptr;
}
inline OSErr PIAPI CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* out) {
    EXPECT_EQ(token, reinterpret_cast<PIWriteDescriptor>(&writeTokenData));
    fake->calls.push_back("close-write");
    fake->closeTarget = out;
    *out = kRecordedHandle;
    return 0;
}
inline OSErr PIAPI PutInteger(PIWriteDescriptor, uint32_t key, int32_t value) {
    fake->puts.push_back({"integer", key, 0, uint32_t(value)});
    return 0;
}
inline OSErr PIAPI PutEnumerated(PIWriteDescriptor, uint32_t key, uint32_t type, uint32_t value) {
    fake->puts.push_back({"enumerated", key, type, value});
    return 0;
}

inline Handle PIAPI NewHandle(int32_t) { return nullptr; }
inline void PIAPI DisposeHandle(Handle h) {
    fake->calls.push_back("dispose");
    fake->disposed.push_back(h);
}
inline int32_t PIAPI GetHandleSize(Handle) { return 0; }
inline OSErr PIAPI SetHandleSize(Handle, int32_t) { return 0; }

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


// Ways in which a host's descriptor suites are missing or not of the kind the plug-in knows.
inline void BreakDescriptorSuites(ScriptingHost& host, int how) {
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

}  // namespace scripting_fixture

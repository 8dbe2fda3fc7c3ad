// The plug-in's scripting exchange driven by any sequence of keys, types, values and answers of the
// host, the radius played as an integer, a real or something else. Half the inputs go through the host library's own descriptor suites, the bytes being the
// played descriptor; the other half through suites whose every answer (tokens, keys, values,
// result codes, versions and counts) comes from the input. Whatever the host plays back, the
// parameters end in their ranges or as they were, the played descriptor is disposed of exactly
// when it was read, the recorded descriptor holds exactly the parameters, and nothing is leaked.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "plugin/plugin.h"
#include "host/descriptor.h"
#include "host/handles.h"
#include "params/parameter_set.h"
#include "params/run_state.h"
#include "params/scripting.h"
#include "params/settings.h"

namespace {


// ---- suites whose answers come from the input ---------------------------------------------------

FuzzedDataProvider* input;
int32_t openReaders, disposals;
Handle handedOut;
std::vector<std::pair<uint32_t, int64_t>> recordedPuts;
int32_t closedWriters;
int readToken, writeToken;
uint32_t reportedType;  // the type GetKey reported last

constexpr uint32_t kKeys[] = {FourCC("EdgM"), FourCC("edgR"), FourCC("edgS"), 0};

PIReadDescriptor PIAPI OpenRead(PIDescriptorHandle, uint32_t* keys) {
    CHECK(keys != nullptr && keys[0] == FourCC("EdgM") && keys[1] == FourCC("edgR") && keys[2] == 0);
    if (input->ConsumeBool()) return nullptr;
    ++openReaders;
    return reinterpret_cast<PIReadDescriptor>(&readToken);
}
OSErr PIAPI CloseRead(PIReadDescriptor token) {
    CHECK(token == reinterpret_cast<PIReadDescriptor>(&readToken));
    --openReaders;
    return input->ConsumeIntegral<int16_t>();
}
Boolean PIAPI GetKey(PIReadDescriptor token, uint32_t* key, uint32_t* type, int32_t* flags) {
    CHECK(token == reinterpret_cast<PIReadDescriptor>(&readToken) && key && type && flags);
    if (input->remaining_bytes() == 0 || input->ConsumeBool()) return 0;
    *key = input->ConsumeBool() ? input->PickValueInArray(kKeys) : input->ConsumeIntegral<uint32_t>();
    *type = input->ConsumeBool() ? input->PickValueInArray({FourCC("long"), FourCC("doub"), FourCC("enum")})
                                 : input->ConsumeIntegral<uint32_t>();
    reportedType = *type;
    *flags = input->ConsumeIntegral<int32_t>();
    return input->ConsumeIntegralInRange<uint8_t>(1, 255);
}
OSErr PIAPI GetInteger(PIReadDescriptor, int32_t* value) {
    // The radius is read as an integer only when the host says it holds one.
    CHECK(value != nullptr && reportedType == FourCC("long"));
    if (input->ConsumeBool()) *value = input->ConsumeBool() ? input->ConsumeIntegralInRange<int32_t>(-2, 6) : input->ConsumeIntegral<int32_t>();
    return input->ConsumeBool() ? 0 : input->ConsumeIntegral<int16_t>();
}
OSErr PIAPI GetFloat(PIReadDescriptor, double* value) {
    CHECK(value != nullptr && reportedType == FourCC("doub"));
    if (input->ConsumeBool()) {
        *value = input->ConsumeBool() ? input->ConsumeFloatingPointInRange<double>(-1.0, 5.0)
                                      : input->ConsumeFloatingPoint<double>();
    }
    return input->ConsumeBool() ? 0 : input->ConsumeIntegral<int16_t>();
}
OSErr PIAPI GetEnumerated(PIReadDescriptor, uint32_t* value) {
    CHECK(value != nullptr);
    if (input->ConsumeBool()) *value = input->ConsumeBool() ? input->ConsumeIntegralInRange<uint32_t>(0, 10) : input->ConsumeIntegral<uint32_t>();
    return input->ConsumeBool() ? 0 : input->ConsumeIntegral<int16_t>();
}
PIWriteDescriptor PIAPI OpenWrite(void) {
    return input->ConsumeBool() ? nullptr : reinterpret_cast<PIWriteDescriptor>(&writeToken);
}
OSErr PIAPI CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* out) {
    CHECK(token == reinterpret_cast<PIWriteDescriptor>(&writeToken) && out != nullptr && *out == nullptr);
    ++closedWriters;
    *out = handedOut;
    return input->ConsumeIntegral<int16_t>();
}
OSErr PIAPI PutInteger(PIWriteDescriptor token, uint32_t key, int32_t value) {
    CHECK(token == reinterpret_cast<PIWriteDescriptor>(&writeToken));
    recordedPuts.push_back({key, value});
    return input->ConsumeIntegral<int16_t>();
}
OSErr PIAPI PutEnumerated(PIWriteDescriptor token, uint32_t key, uint32_t type, uint32_t value) {
    CHECK(token == reinterpret_cast<PIWriteDescriptor>(&writeToken) && type == FourCC("rB45"));
    recordedPuts.push_back({key, int64_t(value)});
    return input->ConsumeIntegral<int16_t>();
}
void PIAPI Dispose(Handle) { ++disposals; }
Handle PIAPI NewHandle(int32_t) { return nullptr; }
int32_t PIAPI HandleSize(Handle) { return 0; }
OSErr PIAPI SetHandleSize(Handle, int32_t) { return -108; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 2048) return -1;
    FuzzedDataProvider provider(data, size);
    input = &provider;
    openReaders = disposals = closedWriters = 0;
    recordedPuts.clear();
    const LiveResources before = CountLiveResources();
    const int32_t handlesBefore = varno::LiveHostHandles();
    const bool hosts = provider.ConsumeBool();

    auto run = std::make_unique<RunState>();
    const float storedMethod = provider.ConsumeFloatingPoint<float>();
    const float storedRadius = provider.ConsumeFloatingPoint<float>();
    SetSettingReal(run->settings, kSettingMethod, storedMethod);
    SetSettingReal(run->settings, kSettingRadius, storedRadius);
    ParameterSet* set = BuildEdgeParameters(run.get());
    CHECK(set != nullptr);
    const int32_t seededMethod = GetIntegerParameter(set, 0), seededRadius = GetIntegerParameter(set, 1);

    ReadDescriptorProcs reading = {};
    reading.numReadDescriptorProcs = 18;
    reading.openReadDescriptorProc = OpenRead;
    reading.closeReadDescriptorProc = CloseRead;
    reading.getKeyProc = GetKey;
    reading.getIntegerProc = GetInteger;
    reading.getFloatProc = GetFloat;
    reading.getEnumeratedProc = GetEnumerated;
    WriteDescriptorProcs writing = {};
    writing.numWriteDescriptorProcs = 16;
    writing.openWriteDescriptorProc = OpenWrite;
    writing.closeWriteDescriptorProc = CloseWrite;
    writing.putIntegerProc = PutInteger;
    writing.putEnumeratedProc = PutEnumerated;
    HandleProcs handles = {};
    handles.handleProcsVersion = 1;
    handles.numHandleProcs = 8;
    handles.newProc = NewHandle;
    handles.disposeProc = Dispose;
    handles.getSizeProc = HandleSize;
    handles.setSizeProc = SetHandleSize;
    PIDescriptorParameters parameters = {};
    SelectionRecord host = {};
    host.descriptorParameters = &parameters;
    parameters.playInfo = provider.ConsumeIntegralInRange<int16_t>(-1, 3);
    int32_t handStyle = 0;
    if (hosts) {
        parameters.readDescriptorProcs = varno::HostReadDescriptorProcs();
        parameters.writeDescriptorProcs = varno::HostWriteDescriptorProcs();
        host.handleProcs = varno::HostHandleProcs();
        const std::vector<uint8_t> played = provider.ConsumeRemainingBytes<uint8_t>();
        parameters.descriptor = varno::NewHostHandleWith(played);
    } else {
        // Versions, counts and missing procedures that make a suite unusable, now and then.
        handStyle = provider.ConsumeIntegralInRange<int32_t>(0, 15);
        if (handStyle == 1) reading.readDescriptorProcsVersion = -1;
        if (handStyle == 2) reading.numReadDescriptorProcs = 17;
        if (handStyle == 3) writing.numWriteDescriptorProcs = 15;
        if (handStyle == 4) reading.getEnumeratedProc = nullptr;
        if (handStyle == 5) parameters.descriptorParametersVersion = 1;
        if (handStyle == 6) handles.handleProcsVersion = 2;
        if (handStyle == 7) handles.disposeProc = nullptr;
        if (handStyle == 10) reading.getFloatProc = nullptr;  // a real radius then counts as missing
        parameters.readDescriptorProcs = handStyle == 8 ? nullptr : &reading;
        parameters.writeDescriptorProcs = &writing;
        host.handleProcs = handStyle == 9 ? nullptr : &handles;
        parameters.descriptor = reinterpret_cast<Handle>(&handStyle);
    }
    const Handle played = parameters.descriptor;

    const bool skip = ReadScriptParameters(&host, set);
    CHECK(openReaders == 0);
    const int32_t method = GetIntegerParameter(set, 0), radius = GetIntegerParameter(set, 1);
    CHECK(method == seededMethod || (method >= 3 && method <= 7));
    CHECK(radius == seededRadius || (radius >= 1 && radius <= 3));
    // The played descriptor is released (and cleared) exactly when a reader was opened on it.
    if (parameters.descriptor != nullptr) CHECK(parameters.descriptor == played);
    const bool handlesUsable = host.handleProcs != nullptr && handStyle != 6 && handStyle != 7;
    if (!hosts) CHECK(disposals == (parameters.descriptor == nullptr && handlesUsable ? 1 : 0));
    if (skip) CHECK(parameters.playInfo != 1);

    if (hosts) {
        if (parameters.descriptor) varno::DisposeHostHandle(parameters.descriptor);
        parameters.descriptor = nullptr;
        WriteScriptParameters(&host, set);
        varno::Descriptor recorded;
        if (parameters.descriptor) {
            CHECK(varno::ParseDescriptor(varno::HostHandleBytes(parameters.descriptor), &recorded));
            CHECK(recorded.items.size() == 2);
            CHECK(recorded.Find(FourCC("EdgM"))->integer == int64_t(uint32_t(method)));
            CHECK(recorded.Find(FourCC("edgR"))->integer == radius);
            varno::DisposeHostHandle(parameters.descriptor);
        }
        CHECK(varno::OpenDescriptorTokens() == 0);
        CHECK(varno::LiveHostHandles() == handlesBefore);
    } else {
        handedOut = reinterpret_cast<Handle>(&handedOut);
        parameters.descriptor = nullptr;
        WriteScriptParameters(&host, set);
        if (closedWriters) {
            CHECK(recordedPuts.size() == 2 && recordedPuts[0] == std::make_pair(FourCC("EdgM"), int64_t(uint32_t(method))) &&
                  recordedPuts[1] == std::make_pair(FourCC("edgR"), int64_t(radius)));
            CHECK(parameters.descriptor == handedOut && parameters.recordInfo == 0);
        } else {
            CHECK(recordedPuts.empty() && parameters.descriptor == nullptr);
        }
    }
    FreeParameterSet(set);
    const LiveResources after = CountLiveResources();
    CHECK(after.memoryBlocks == before.memoryBlocks);
    return 0;
}

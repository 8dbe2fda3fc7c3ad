// A whole Execute run on host records made from the input: image mode and depth, bounds (mostly
// small, now and then none a host can describe), channel lists with missing, repeated
// or port-less channels, a selection or none, partial and misreported rows, pixel transfers and
// stops that fail at any call, missing suites and procedures, and a played descriptor. Whatever the
// host does, the run must not touch memory it does not own, must report a refused read or write
// with the host's code (writing nothing back after a refused read), hand back every row exactly
// once when it succeeds, keep progress within its total, and release everything it took.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "plugin/execute.h"
#include "plugin/plugin.h"
#include "host/descriptor.h"
#include "host/handles.h"

struct PIChannelPortDesc {
    int32_t channel;  // index into the host's channels; -1 the selection, -2 the new selection
};

namespace {


struct Transfer {
    VRect rect;
    OSErr result;
};

// The host of one run.
struct Host {
    FuzzedDataProvider* input = nullptr;
    int32_t width = 0, height = 0;
    std::vector<Transfer> reads, writes;
    OSErr firstReadError = 0;
    int32_t abortCalls = 0, stopAt = 0;
    bool progressSound = true;
};
Host* host;

OSErr PIAPI ReadPixels(PIChannelPort port, const PSScaling* scaling, const VRect* writeRect,
                       const PixelMemoryDesc* destination, VRect* wroteRect) {
    CHECK(port && scaling && writeRect && destination && destination->data && wroteRect && port->channel != -2);
    const int32_t step = destination->colBits / 8, offset = destination->bitOffset / 8;
    CHECK(destination->depth == 8 && destination->colBits % 8 == 0 && step >= 1 && destination->bitOffset % 8 == 0 &&
          offset >= 0 && offset < step && destination->rowBits >= destination->colBits * (writeRect->right - writeRect->left));
    FuzzedDataProvider& in = *host->input;
    // A host may serve one packed plane only and refuse any other layout.
    const bool packed = step == 1 && offset == 0;
    OSErr result = in.ConsumeIntegralInRange<uint8_t>(0, 15) == 0 ? in.ConsumeIntegral<int16_t>() : 0;
    if (result == 0 && !packed && in.ConsumeIntegralInRange<uint8_t>(0, 3) == 0) result = -30912;
    host->reads.push_back({*writeRect, result});
    if (result != 0) {
        // A refused layout is asked again plane by plane; any other failure ends the run with it.
        const bool layoutRefused = !packed && result <= -30911 && result >= -30913;
        if (!layoutRefused && host->firstReadError == 0) host->firstReadError = result;
        return result;
    }
    // Mostly the whole request; sometimes part of it, or a rectangle that is not the request.
    VRect wrote = *writeRect;
    if (in.ConsumeIntegralInRange<uint8_t>(0, 3) == 0) {
        wrote.top += in.ConsumeIntegralInRange<int32_t>(-1, 1);
        wrote.left = in.ConsumeIntegralInRange<int32_t>(-3, host->width + 3);
        wrote.right = in.ConsumeIntegralInRange<int32_t>(-3, host->width + 3);
    }
    const int32_t left = std::max(wrote.left, writeRect->left), right = std::min(wrote.right, writeRect->right);
    uint8_t* row = static_cast<uint8_t*>(destination->data) + offset;
    const uint8_t seed = in.ConsumeIntegral<uint8_t>();
    for (int32_t x = left; x < right; ++x)
        row[size_t(x - writeRect->left) * size_t(step)] = uint8_t(seed + 37 * x + 11 * port->channel);
    *wroteRect = wrote;
    return 0;
}

OSErr PIAPI WriteBasePixels(PIChannelPort port, const VRect* writeRect, const PixelMemoryDesc* source) {
    CHECK(port && port->channel == -2 && writeRect && source && source->data && source->depth == 8);
    const VRect r = *writeRect;
    // Every byte the plug-in hands over is read, so that a short buffer shows.
    volatile uint8_t sum = 0;
    for (int32_t x = 0; x < r.right - r.left; ++x) sum = sum + static_cast<const uint8_t*>(source->data)[x];
    FuzzedDataProvider& in = *host->input;
    const OSErr result = in.ConsumeIntegralInRange<uint8_t>(0, 31) == 0 ? in.ConsumeIntegral<int16_t>() : 0;
    host->writes.push_back({r, result});
    return result;
}

Boolean PIAPI Abort(void) {
    ++host->abortCalls;
    return host->stopAt > 0 && host->abortCalls >= host->stopAt;
}

void PIAPI Progress(int32_t done, int32_t total) {
    if (done < 0 || total < 0 || done > total) host->progressSound = false;
}

// Mostly a few pixels; now and then a size no host can describe. (The largest sides a host can
// describe have tests of their own: under the fuzzer's instrumentation one such run costs as much
// as thousands of small ones.)
int32_t Side(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<uint8_t>(0, 63)) {
        case 0:
            return in.PickValueInArray({32768, -1, 0, 70000});
        case 1:
            return in.ConsumeIntegralInRange<int32_t>(17, 40);
        default:
            return in.ConsumeIntegralInRange<int32_t>(1, 16);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // No drive C that could be made: the preferences and the run log are absent, as on a host
    // with nowhere to keep them, and each run stays quick. (The preferences have a target of their
    // own.)
    setenv("VARNO_DRIVE_C", "/dev/null/varno", 1);
    unsetenv("MORVELAN_PATH");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return -1;
    FuzzedDataProvider in(data, size);
    Host state;
    state.input = &in;
    host = &state;

    ReadImageDocumentDesc document = {};
    document.imageMode = in.PickValueInArray({1, 3, 4, 9, 10, 11, 12, 13, 1, 3, 4, 9, 0, 2, 7, 8, 16});
    // Depths the plug-in refuses at once (1, 32) now and then; mostly the ones it reads.
    document.depth = in.PickValueInArray({8, 16, 8, 16, 8, 16, 1, 32});
    state.width = Side(in);
    state.height = Side(in);
    // Both sides large would make a slow run that proves nothing more.
    if (state.width > 16 && state.height > 16) state.height = 2;
    document.bounds = {0, 0, state.height, state.width};
    if (in.ConsumeIntegralInRange<uint8_t>(0, 15) == 0) document.bounds.top = in.ConsumeIntegralInRange<int32_t>(-3, 3);

    // The channels the mode reads, in their order, then a few more; now and then one missing, of
    // another type, or without a port.
    std::vector<int16_t> types;
    switch (document.imageMode) {
        case 1: case 10: types = {7}; break;
        case 3: case 11: types = {1, 2, 3}; break;
        case 4: case 13: types = {4, 5, 6, 7}; break;
        case 9: case 12: types = {8, 9, 10}; break;
        default: types = {1, 2, 3}; break;
    }
    PIChannelPortDesc ports[8];
    ReadChannelDesc channels[8] = {};
    const int32_t count = std::clamp<int32_t>(int32_t(types.size()) + in.ConsumeIntegralInRange<int32_t>(-1, 3), 0, 8);
    for (int32_t i = 0; i < count; ++i) {
        ports[i].channel = i;
        channels[i].channelType = i < int32_t(types.size()) ? types[size_t(i)] : in.ConsumeIntegralInRange<int16_t>(0, 12);
        if (in.ConsumeIntegralInRange<uint8_t>(0, 15) == 0) channels[i].channelType = in.ConsumeIntegralInRange<int16_t>(-1, 22);
        channels[i].port = in.ConsumeIntegralInRange<uint8_t>(0, 15) ? &ports[i] : nullptr;
        if (i > 0) channels[i - 1].next = &channels[i];
    }
    ReadChannelDesc* list = count ? channels : nullptr;
    switch (in.ConsumeIntegralInRange<uint8_t>(0, 7)) {
        case 0: document.mergedCompositeChannels = list; break;
        case 1: document.alphaChannels = list; break;
        default: document.targetCompositeChannels = list; break;
    }
    PIChannelPortDesc selectionPort = {-1};
    ReadChannelDesc selection = {};
    selection.channelType = 19;
    selection.port = in.ConsumeIntegralInRange<uint8_t>(0, 7) ? &selectionPort : nullptr;
    if (in.ConsumeBool()) document.selection = &selection;

    PIChannelPortDesc newSelectionPort = {-2};
    WriteChannelDesc newSelection = {};
    newSelection.port = in.ConsumeIntegralInRange<uint8_t>(0, 31) ? &newSelectionPort : nullptr;

    ChannelPortProcs portProcs = {1, 3, ReadPixels, WriteBasePixels, nullptr};
    switch (in.ConsumeIntegralInRange<uint8_t>(0, 31)) {
        case 0: portProcs.numChannelPortProcs = 1; break;
        case 1: portProcs.readPixelsProc = nullptr; break;
        case 2: portProcs.writeBasePixelsProc = nullptr; break;
        default: break;
    }

    SelectionRecord record = {};
    record.abortProc = in.ConsumeIntegralInRange<uint8_t>(0, 15) ? Abort : nullptr;
    record.progressProc = in.ConsumeIntegralInRange<uint8_t>(0, 15) ? Progress : nullptr;
    state.stopAt = in.ConsumeIntegralInRange<uint8_t>(0, 3) == 0 ? in.ConsumeIntegralInRange<int32_t>(1, 200) : 0;
    record.hostSig = FourCC("8BIM");
    record.handleProcs = in.ConsumeIntegralInRange<uint8_t>(0, 15) ? varno::HostHandleProcs() : nullptr;
    record.channelPortProcs = in.ConsumeIntegralInRange<uint8_t>(0, 31) ? &portProcs : nullptr;
    record.documentInfo = in.ConsumeIntegralInRange<uint8_t>(0, 63) ? &document : nullptr;
    record.newSelection = in.ConsumeIntegralInRange<uint8_t>(0, 31) ? &newSelection : nullptr;

    const int32_t handlesBefore = varno::LiveHostHandles();
    PIDescriptorParameters parameters = {};
    Handle played = nullptr;
    if (in.ConsumeIntegralInRange<uint8_t>(0, 7)) {
        parameters.playInfo = in.PickValueInArray<int16_t>({0, 0, 2, 1});
        parameters.readDescriptorProcs = varno::HostReadDescriptorProcs();
        parameters.writeDescriptorProcs = varno::HostWriteDescriptorProcs();
        if (in.ConsumeBool()) {
            varno::Descriptor descriptor;
            const int32_t items = in.ConsumeIntegralInRange<int32_t>(0, 3);
            for (int32_t i = 0; i < items; ++i) {
                if (in.ConsumeBool()) descriptor.PutEnumerated(FourCC("EdgM"), FourCC("rB45"), in.ConsumeIntegralInRange<uint32_t>(0, 9));
                else descriptor.PutInteger(FourCC("edgR"), in.ConsumeIntegralInRange<int32_t>(-1, 4));
            }
            played = varno::NewHostHandleWith(varno::SerializeDescriptor(descriptor));
            parameters.descriptor = played;
        }
        record.descriptorParameters = &parameters;
    }

    const LiveResources before = CountLiveResources();
    PersistentBlock block = {};
    const int16_t result = Execute(&block, &record);
    const LiveResources after = CountLiveResources();
    CHECK(after.memoryBlocks == before.memoryBlocks && after.pluginHandles == before.pluginHandles &&
          after.mappings == before.mappings);
    CHECK(state.progressSound);
    CHECK(varno::OpenDescriptorTokens() == 0);

    if (state.firstReadError != 0) {
        CHECK(result == state.firstReadError);
        CHECK(state.writes.empty());
    }
    for (size_t i = 0; i < state.writes.size(); ++i) {
        const Transfer& w = state.writes[i];
        CHECK(w.rect.top == int32_t(i) && w.rect.bottom == int32_t(i) + 1 && w.rect.left == 0 && w.rect.right == state.width);
        if (w.result != 0) CHECK(result == w.result && i + 1 == state.writes.size());
    }
    if (result == 0) {
        CHECK(int32_t(state.writes.size()) == state.height);
        CHECK(state.firstReadError == 0);
    } else {
        // Nothing recorded: the played descriptor is still there or was released.
        CHECK(parameters.descriptor == nullptr || parameters.descriptor == played);
    }
    // What the plug-in left in the slot, and the played handle when it let go of it without a
    // handle suite to dispose of it through, are the host's.
    if (parameters.descriptor) varno::DisposeHostHandle(parameters.descriptor);
    if (played && varno::IsHostHandle(played)) varno::DisposeHostHandle(played);
    CHECK(varno::LiveHostHandles() == handlesBefore);
    return 0;
}

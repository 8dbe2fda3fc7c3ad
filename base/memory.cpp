// Memory blocks and the plug-in's handles, over the platform's heap primitives, with live counts
// and an injectable failure for tests.
#include "base/memory.h"
#include "base/memory_platform.h"

namespace {
LiveResources live;
uint32_t memoryRequests;  // unsigned: a long-lived host may wrap them
uint32_t mappingRequests;

struct Countdown {
    int32_t left;
    bool sticky;
};
Countdown memoryFailure;
Countdown mappingFailure;

bool Due(Countdown* failure) {
    if (failure->left <= 0) return false;
    if (--failure->left > 0) return false;
    if (failure->sticky) failure->left = 1;
    return true;
}

bool InjectedFailure() {
    ++memoryRequests;
    return Due(&memoryFailure);
}
}  // namespace

void* AllocateMemoryBlock(uint32_t size) {
    if (InjectedFailure()) return nullptr;
    uint64_t rounded = (uint64_t(size) + 7) & ~uint64_t(7);
    if (rounded > 0xFFFFFFF8u) return nullptr;
    void* block = PlatformAllocateZeroed(uint32_t(rounded));
    if (block) ++live.memoryBlocks;
    return block;
}

void FreeMemoryBlock(void* block) {
    if (!block) return;
    PlatformFree(block);
    --live.memoryBlocks;
}

PluginHandle* CreatePluginHandle(uint32_t size) {
    if (InjectedFailure()) return nullptr;
    auto* handle = static_cast<PluginHandle*>(PlatformAllocateZeroed(sizeof(PluginHandle)));
    if (!handle) return nullptr;
    handle->data = PlatformAllocateZeroed(size);
    if (!handle->data) {
        PlatformFree(handle);
        return nullptr;
    }
    handle->tag = kPluginHandleTag;
    ++live.pluginHandles;
    return handle;
}

void DisposePluginHandle(PluginHandle* handle) {
    if (!handle) return;
    if (handle->data) PlatformFree(handle->data);
    PlatformFree(handle);
    --live.pluginHandles;
}

LiveResources CountLiveResources(void) { return live; }
void NoteMappingCreated(void) { ++live.mappings; }
void NoteMappingReleased(void) { --live.mappings; }

void FailMemoryBlocksAfter(int32_t countdown, bool sticky) { memoryFailure = {countdown, sticky}; }
void FailMappingsAfter(int32_t countdown, bool sticky) { mappingFailure = {countdown, sticky}; }

bool MappingFails(void) {
    ++mappingRequests;
    return Due(&mappingFailure);
}

int32_t CountMemoryRequests(void) { return int32_t(memoryRequests); }
int32_t CountMappingRequests(void) { return int32_t(mappingRequests); }

// Memory blocks and the plug-in's handles, over the platform's heap primitives, with live counts
// and an injectable failure for tests.
#include "base/memory.h"
#include "base/memory_platform.h"

namespace {
// The counts change atomically: a host may call the library's file helpers on one thread while
// the plug-in runs on another. They are tallies only, so no order between them is needed.
LiveResources live;
uint32_t memoryRequests;  // unsigned: a long-lived host may wrap them
uint32_t mappingRequests;

void Count(int32_t* count, int32_t by) { __atomic_add_fetch(count, by, __ATOMIC_RELAXED); }
void Count(uint32_t* count) { __atomic_add_fetch(count, 1u, __ATOMIC_RELAXED); }

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
    Count(&memoryRequests);
    return Due(&memoryFailure);
}
}  // namespace

void* AllocateMemoryBlock(uint32_t size) {
    if (InjectedFailure()) return nullptr;
    uint64_t rounded = (uint64_t(size) + 7) & ~uint64_t(7);
    if (rounded > 0xFFFFFFF8u) return nullptr;
    void* block = PlatformAllocateZeroed(uint32_t(rounded));
    if (block) Count(&live.memoryBlocks, 1);
    return block;
}

void FreeMemoryBlock(void* block) {
    if (!block) return;
    PlatformFree(block);
    Count(&live.memoryBlocks, -1);
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
    Count(&live.pluginHandles, 1);
    return handle;
}

void DisposePluginHandle(PluginHandle* handle) {
    if (!handle) return;
    if (handle->data) PlatformFree(handle->data);
    PlatformFree(handle);
    Count(&live.pluginHandles, -1);
}

LiveResources CountLiveResources(void) {
    return {__atomic_load_n(&live.memoryBlocks, __ATOMIC_RELAXED), __atomic_load_n(&live.pluginHandles, __ATOMIC_RELAXED),
            __atomic_load_n(&live.mappings, __ATOMIC_RELAXED)};
}
void NoteMappingCreated(void) { Count(&live.mappings, 1); }
void NoteMappingReleased(void) { Count(&live.mappings, -1); }

void FailMemoryBlocksAfter(int32_t countdown, bool sticky) { memoryFailure = {countdown, sticky}; }
void FailMappingsAfter(int32_t countdown, bool sticky) { mappingFailure = {countdown, sticky}; }

bool MappingFails(void) {
    Count(&mappingRequests);
    return Due(&mappingFailure);
}

int32_t CountMemoryRequests(void) { return int32_t(__atomic_load_n(&memoryRequests, __ATOMIC_RELAXED)); }
int32_t CountMappingRequests(void) { return int32_t(__atomic_load_n(&mappingRequests, __ATOMIC_RELAXED)); }

// The plug-in's memory: blocks, two-level handles, live counts and a failure hook for tests.
//
// Contract: every allocation of the plug-in is a MemoryBlock: zero-filled, its size rounded up to
// a multiple of 8 (a request of 0 bytes is passed on as 0 and nothing is cleared). Freeing none
// does nothing. Everything runs on the host's calling thread.
#pragma once

#include <cstdint>

void* AllocateMemoryBlock(uint32_t size);
void FreeMemoryBlock(void* block);

// The plug-in's own two-level handle: a master record pointing at a separately allocated,
// zero-filled data block.
struct PluginHandle {
    void* data;
    uint32_t tag;  // kPluginHandleTag
};
constexpr uint32_t kPluginHandleTag = 0x464F544F;  // 'FOTO'

PluginHandle* CreatePluginHandle(uint32_t size);
void DisposePluginHandle(PluginHandle* handle);

// Live counts of what the plug-in holds, so tests can assert that a call released everything
// (leak sanitizers do not see mappings).
struct LiveResources {
    int32_t memoryBlocks;
    int32_t pluginHandles;
    int32_t mappings;
};
LiveResources CountLiveResources(void);
void NoteMappingCreated(void);
void NoteMappingReleased(void);

// Test hook: the allocation numbered `countdown` from now (1 = the next one) fails, as do all
// later ones while `sticky` is set. 0 switches failures off.
void FailMemoryBlocksAfter(int32_t countdown, bool sticky);
// The same for the mappings of image buffers; the buffer layer asks MappingFails before each.
void FailMappingsAfter(int32_t countdown, bool sticky);
bool MappingFails(void);
// Requests made since the program started (memory blocks and plug-in handles; mappings), so
// that a test can make each request of a call fail in turn.
int32_t CountMemoryRequests(void);
int32_t CountMappingRequests(void);

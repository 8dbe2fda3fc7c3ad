// The platform's heap under MemoryBlock and PluginHandle: a zero-filled block of exactly `size`
// bytes (a request of 0 is passed on as 0), or none.
#pragma once

#include <cstdint>

void* PlatformAllocateZeroed(uint32_t size);
void PlatformFree(void* block);

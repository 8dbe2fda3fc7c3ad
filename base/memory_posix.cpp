// POSIX heap: the C library's zero-filled allocation.
#include <cstdlib>

#include "base/memory_platform.h"

void* PlatformAllocateZeroed(uint32_t size) { return size ? std::calloc(1, size) : std::malloc(0); }

void PlatformFree(void* block) { std::free(block); }

// Windows global heap: moveable, zero-initialised blocks, locked at once; freed through the handle
// that owns the pointer.
#include <windows.h>

#include "base/memory_platform.h"

void* PlatformAllocateZeroed(uint32_t size) {
    HGLOBAL handle = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    if (!handle) return nullptr;
    void* block = GlobalLock(handle);
    if (!block) GlobalFree(handle);
    return block;
}

void PlatformFree(void* block) {
    HGLOBAL handle = GlobalHandle(block);
    if (!handle) return;
    GlobalUnlock(handle);
    GlobalFree(handle);
}

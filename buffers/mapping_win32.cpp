// Mappings backed by the paging file: an unnamed read/write section and a view of all of it. The
// system hands out such sections zero-filled.
#include <windows.h>

#include <cstddef>

#include "base/memory.h"
#include "buffers/image_buffer.h"

uint8_t* MapAnonymous(uint64_t size, intptr_t* mapping) {
    *mapping = 0;
    if (size == 0 || size > uint64_t(SIZE_MAX)) return nullptr;
    HANDLE section = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, DWORD(size >> 32),
                                        DWORD(size & 0xFFFFFFFFu), nullptr);
    if (!section) return nullptr;
    void* view = MapViewOfFile(section, FILE_MAP_ALL_ACCESS, 0, 0, SIZE_T(size));
    if (!view) {
        CloseHandle(section);
        return nullptr;
    }
    *mapping = reinterpret_cast<intptr_t>(section);
    NoteMappingCreated();
    return static_cast<uint8_t*>(view);
}

void UnmapAnonymous(uint8_t* view, uint64_t size, intptr_t mapping) {
    if (!view) return;
    FlushViewOfFile(view, SIZE_T(size));
    UnmapViewOfFile(view);
    if (mapping) CloseHandle(reinterpret_cast<HANDLE>(mapping));
    NoteMappingReleased();
}

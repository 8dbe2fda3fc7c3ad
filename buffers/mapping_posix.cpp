// Anonymous private mappings: zero-filled by the kernel, with transparent huge pages asked for
// where a buffer is large enough to use them.
#include <sys/mman.h>

#include <cstddef>

#include "base/memory.h"
#include "buffers/image_buffer.h"

namespace {
constexpr uint64_t kHugePageThreshold = uint64_t(2) << 20;
}

uint8_t* MapAnonymous(uint64_t size, intptr_t* mapping) {
    *mapping = 0;
    if (size == 0 || size > uint64_t(SIZE_MAX)) return nullptr;
    void* view = mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (view == MAP_FAILED) return nullptr;
#ifdef MADV_HUGEPAGE
    if (size >= kHugePageThreshold) madvise(view, size_t(size), MADV_HUGEPAGE);
#endif
    NoteMappingCreated();
    return static_cast<uint8_t*>(view);
}

void UnmapAnonymous(uint8_t* view, uint64_t size, intptr_t) {
    if (!view) return;
    munmap(view, size_t(size));
    NoteMappingReleased();
}

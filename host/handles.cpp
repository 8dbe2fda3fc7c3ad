// Host handles: a registered master pointer per handle, pointing 16 bytes into a block whose head
// records the size.
#include "host/handles.h"

#include <cstdlib>
#include <cstring>
#include <map>

#include "host/guard.h"

namespace varno {

namespace {

constexpr int32_t kMaxHandleSize = 1 << 30;
constexpr size_t kPrefix = 16;

// Each live handle with its serial number: an address the heap hands out again is a new handle.
std::map<Handle, uint64_t>& Registry() {
    static std::map<Handle, uint64_t> handles;
    return handles;
}
uint64_t lastSerial;
int32_t foreignDisposals;

char* BlockOf(Handle handle) { return *handle - kPrefix; }

int64_t StoredSize(Handle handle) {
    int64_t size;
    std::memcpy(&size, BlockOf(handle), sizeof size);
    return size;
}

char* NewBlock(int32_t size) {
    char* block = static_cast<char*>(std::calloc(1, kPrefix + size_t(size)));
    if (!block) return nullptr;
    const int64_t stored = size;
    std::memcpy(block, &stored, sizeof stored);
    return block + kPrefix;
}

Handle PIAPI NewProc(int32_t size) { return NewHostHandle(size); }
void PIAPI DisposeProc(Handle handle) { DisposeHostHandle(handle); }
int32_t PIAPI GetSizeProc(Handle handle) { return HostHandleSize(handle); }
OSErr PIAPI SetSizeProc(Handle handle, int32_t size) { return SetHostHandleSize(handle, size); }
char* PIAPI LockProc(Handle handle, Boolean) { return IsHostHandle(handle) ? *handle : nullptr; }
void PIAPI UnlockProc(Handle) {}
void PIAPI RecoverSpaceProc(int32_t) {}
void PIAPI DisposeRegularProc(Handle handle) { DisposeHostHandle(handle); }

}  // namespace

Handle NewHostHandle(int32_t size) {
    if (size < 0 || size > kMaxHandleSize) return nullptr;
    Handle handle = static_cast<Handle>(std::malloc(sizeof(char*)));
    if (!handle) return nullptr;
    *handle = NewBlock(size);
    if (!*handle) {
        std::free(handle);
        return nullptr;
    }
    Registry()[handle] = ++lastSerial;
    return handle;
}

void DisposeHostHandle(Handle handle) {
    if (!handle) return;
    if (Registry().erase(handle) == 0) {
        ++foreignDisposals;
        return;
    }
    std::free(BlockOf(handle));
    std::free(handle);
}

bool IsHostHandle(Handle handle) { return handle && Registry().count(handle) != 0; }

uint64_t HostHandleSerial(Handle handle) {
    if (!handle) return 0;
    auto found = Registry().find(handle);
    return found == Registry().end() ? 0 : found->second;
}

int32_t HostHandleSize(Handle handle) { return IsHostHandle(handle) ? int32_t(StoredSize(handle)) : 0; }

OSErr SetHostHandleSize(Handle handle, int32_t size) {
    if (!IsHostHandle(handle)) return -109;  // nilHandleErr
    if (size < 0 || size > kMaxHandleSize) return -108;
    char* data = NewBlock(size);
    if (!data) return -108;
    const int64_t old = StoredSize(handle);
    std::memcpy(data, *handle, size_t(old < size ? old : size));
    std::free(BlockOf(handle));
    *handle = data;
    return 0;
}

Handle NewHostHandleWith(const std::vector<uint8_t>& bytes) {
    if (bytes.size() > size_t(kMaxHandleSize)) return nullptr;
    Handle handle = NewHostHandle(int32_t(bytes.size()));
    if (handle && !bytes.empty()) std::memcpy(*handle, bytes.data(), bytes.size());
    return handle;
}

std::vector<uint8_t> HostHandleBytes(Handle handle) {
    if (!IsHostHandle(handle)) return {};
    const uint8_t* data = reinterpret_cast<const uint8_t*>(*handle);
    return std::vector<uint8_t>(data, data + StoredSize(handle));
}

int32_t LiveHostHandles(void) { return int32_t(Registry().size()); }
int32_t ForeignDisposals(void) { return foreignDisposals; }

HandleProcs* HostHandleProcs(void) {
    static HandleProcs procs = {1, 8, Guarded<NewProc>::Call, Guarded<DisposeProc>::Call, Guarded<GetSizeProc>::Call,
                                Guarded<SetSizeProc>::Call, Guarded<LockProc>::Call, Guarded<UnlockProc>::Call,
                                Guarded<RecoverSpaceProc>::Call, Guarded<DisposeRegularProc>::Call};
    return &procs;
}

}  // namespace varno

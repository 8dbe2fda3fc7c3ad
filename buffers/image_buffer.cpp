// Named image buffers over anonymous mappings: creation with the install-path rule for fixed
// names, clipped row access, row addresses, and disposal that removes any stale file of a fixed
// name.
#include <cstring>

#include "base/memory.h"
#include "base/results.h"
#include "buffers/files.h"
#include "buffers/image_buffer.h"

namespace {

constexpr uint32_t kHeaderBytes = 6;
constexpr int32_t kLargestSide = 32767;  // the widest and highest document a host describes

bool IsFixedName(const char* name) {
    return (name[0] == 'c' || name[0] == 'C') && name[1] == ':' && name[2] == '\\';
}

constexpr int32_t kLargestField = 65535;  // what a 16-bit field of the header holds

void PutField(uint8_t* bytes, int32_t value) {
    bytes[0] = uint8_t(value & 0xFF);
    bytes[1] = uint8_t((value >> 8) & 0xFF);
}

// The byte run [column, column + count) of a row, cut at the row's end; false when nothing of it
// lies inside the buffer.
bool ClipRun(const ImageBuffer* buffer, int32_t column, int32_t row, int32_t count, uint64_t* offset,
             uint32_t* length) {
    if (!buffer || !buffer->mapped || !buffer->view) return false;
    if (row < 0 || column < 0 || count <= 0) return false;
    if (row >= buffer->shape.height || uint32_t(column) > buffer->rowBytes) return false;
    uint64_t end = uint64_t(column) + uint64_t(count);
    if (end > buffer->rowBytes) end = buffer->rowBytes;
    *length = uint32_t(end - uint64_t(column));
    *offset = kHeaderBytes + uint64_t(row) * buffer->rowBytes + uint64_t(column);
    return *length > 0;
}

}  // namespace

int16_t CreateImageBuffer(const char* name, int32_t width, int32_t height, int32_t planes,
                          ImageBuffer** buffer) {
    if (!buffer) return kErrOutOfMemory;
    *buffer = static_cast<ImageBuffer*>(AllocateMemoryBlock(sizeof(ImageBuffer)));
    ImageBuffer* record = *buffer;
    if (!record) return kErrOutOfMemory;

    CopyTextBounded(name ? name : "", record->path, kPathCapacity);
    if (IsFixedName(record->path)) {
        ResolveInstallPath(record->path);
        FileDelete(record->path);
        record->fixedName = 1;
    }

    record->shape = BufferShape{planes, width, height};
    record->mapped = 1;
    // Sizes in 64 bits: a shape whose bytes do not fit the record's 32-bit size (or the address
    // space) gets no storage at all rather than a wrapped, smaller one.
    bool sound = width >= 0 && height >= 0 && planes >= 0 && width <= kLargestField && height <= kLargestField &&
                 planes <= kLargestField;
    uint64_t rowBytes = sound ? uint64_t(width) * uint64_t(planes) : 0;
    uint64_t size = rowBytes * uint64_t(sound ? height : 0) + kHeaderBytes;
    record->rowBytes = uint32_t(rowBytes);
    if (sound && size <= 0xFFFFFFFFu && !MappingFails()) {
        record->mappingSize = uint32_t(size);
        record->view = MapAnonymous(size, &record->mapping);
    }
    if (!record->view) {
        record->mapped = 0;
        record->mappingSize = 0;
        return height >= 1 ? kErrIO : kNoErr;
    }
    // The mapping arrives zero-filled, so only the header is written: touching every pixel page
    // would commit the whole buffer at once for nothing.
    PutField(record->view, planes);
    PutField(record->view + 2, width);
    PutField(record->view + 4, height);
    return kNoErr;
}

int16_t CreateBackingBuffer(int32_t width, int32_t height, int32_t planes, ImageBuffer** buffer) {
    return CreateImageBuffer("c:\\BackingS.xxx", width, height, planes, buffer);
}

int16_t CreateMaskBuffer(int32_t width, int32_t height, int32_t planes, ImageBuffer** buffer) {
    return CreateImageBuffer("c:\\MaskImag.xxx", width, height, planes, buffer);
}

int16_t CreateScratchBuffer(const char* name, int32_t width, int32_t height, int32_t planes,
                            ImageBuffer** buffer) {
    if (!buffer) return kErrOutOfMemory;
    *buffer = nullptr;
    if (width < 0 || height < 0 || planes < 1 || width > kLargestSide || height > kLargestSide) {
        return kErrOutOfMemory;
    }
    ImageBuffer* scratch = nullptr;
    int16_t result = CreateImageBuffer(name, width + 2, height + 2, planes, &scratch);
    if (result != kNoErr) {
        DisposeImageBuffer(scratch);
        return result;
    }
    *buffer = scratch;
    return kNoErr;
}

void DisposeImageBuffer(ImageBuffer* buffer) {
    if (!buffer) return;
    if (buffer->mapped) UnmapAnonymous(buffer->view, buffer->mappingSize, buffer->mapping);
    if (buffer->fixedName) FileDelete(buffer->path);
    FreeMemoryBlock(buffer);
}

void GetBufferShape(const ImageBuffer* buffer, BufferShape* shape) {
    if (!buffer || !shape || !buffer->mapped) return;
    *shape = buffer->shape;
}

void ReadBufferRow(const ImageBuffer* buffer, int32_t column, int32_t row, int32_t count, void* destination) {
    uint64_t offset = 0;
    uint32_t length = 0;
    if (!destination || !ClipRun(buffer, column, row, count, &offset, &length)) return;
    std::memcpy(destination, buffer->view + offset, length);
}

void WriteBufferRow(ImageBuffer* buffer, int32_t column, int32_t row, int32_t count, const void* source) {
    uint64_t offset = 0;
    uint32_t length = 0;
    if (!source || !ClipRun(buffer, column, row, count, &offset, &length)) return;
    std::memcpy(buffer->view + offset, source, length);
}

uint8_t* BufferRow(const ImageBuffer* buffer, int32_t row) {
    if (!buffer || !buffer->mapped || !buffer->view || row < 0 || row >= buffer->shape.height) return nullptr;
    return buffer->view + kHeaderBytes + uint64_t(row) * buffer->rowBytes;
}

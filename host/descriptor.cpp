// Descriptors: the item list and its bytes in a host handle. The two suites over them are in
// descriptor_read.cpp and descriptor_write.cpp.
#include "host/descriptor.h"

#include <cstring>

#include "host/descriptor_suites.h"

namespace varno {

namespace {

int32_t openTokens;

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out->push_back(uint8_t(v >> (8 * i)));
}
void PutU64(std::vector<uint8_t>* out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

struct Reader {
    const std::vector<uint8_t>& bytes;
    size_t at = 0;
    bool U32(uint32_t* v) {
        if (bytes.size() - at < 4) return false;
        *v = 0;
        for (int i = 0; i < 4; ++i) *v |= uint32_t(bytes[at + i]) << (8 * i);
        at += 4;
        return true;
    }
    bool U64(uint64_t* v) {
        if (bytes.size() - at < 8) return false;
        *v = 0;
        for (int i = 0; i < 8; ++i) *v |= uint64_t(bytes[at + i]) << (8 * i);
        at += 8;
        return true;
    }
};

}  // namespace

const DescriptorItem* Descriptor::Find(uint32_t key) const {
    for (const DescriptorItem& item : items)
        if (item.key == key) return &item;
    return nullptr;
}

void Descriptor::Put(const DescriptorItem& item) {
    for (DescriptorItem& existing : items) {
        if (existing.key == item.key) {
            existing = item;
            return;
        }
    }
    items.push_back(item);
}

void Descriptor::PutInteger(uint32_t key, int32_t value) {
    DescriptorItem item = Item(key, kDescInteger);
    item.integer = value;
    Put(item);
}

void Descriptor::PutEnumerated(uint32_t key, uint32_t enumType, uint32_t value) {
    DescriptorItem item = Item(key, kDescEnumerated);
    item.detail = enumType;
    item.integer = value;
    Put(item);
}

std::vector<uint8_t> SerializeDescriptor(const Descriptor& descriptor) {
    std::vector<uint8_t> out;
    PutU32(&out, uint32_t(descriptor.items.size()));
    for (const DescriptorItem& item : descriptor.items) {
        PutU32(&out, item.key);
        PutU32(&out, item.type);
        PutU32(&out, item.detail);
        PutU64(&out, uint64_t(item.integer));
        uint64_t bits;
        std::memcpy(&bits, &item.real, sizeof bits);
        PutU64(&out, bits);
        PutU32(&out, uint32_t(item.bytes.size()));
        out.insert(out.end(), item.bytes.begin(), item.bytes.end());
    }
    return out;
}

bool ParseDescriptor(const std::vector<uint8_t>& bytes, Descriptor* descriptor) {
    Reader reader{bytes};
    uint32_t count;
    if (!reader.U32(&count)) return false;
    Descriptor parsed;
    for (uint32_t i = 0; i < count; ++i) {
        DescriptorItem item;
        uint64_t integer, real;
        uint32_t length;
        if (!reader.U32(&item.key) || !reader.U32(&item.type) || !reader.U32(&item.detail) ||
            !reader.U64(&integer) || !reader.U64(&real) || !reader.U32(&length))
            return false;
        if (bytes.size() - reader.at < length) return false;
        item.integer = int64_t(integer);
        std::memcpy(&item.real, &real, sizeof real);
        item.bytes.assign(bytes.begin() + std::ptrdiff_t(reader.at), bytes.begin() + std::ptrdiff_t(reader.at + length));
        reader.at += length;
        parsed.items.push_back(std::move(item));
    }
    if (reader.at != bytes.size()) return false;
    *descriptor = std::move(parsed);
    return true;
}

void CountDescriptorToken(int32_t change) { openTokens += change; }
int32_t OpenDescriptorTokens(void) { return openTokens; }

}  // namespace varno

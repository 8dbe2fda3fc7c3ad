// Descriptors in host handles, and the read and write suites over them.
#include "host/descriptor.h"

#include <cmath>
#include <cstring>

#include "host/faults.h"
#include "host/handles.h"

struct PIReadDescriptorToken {
    varno::Descriptor descriptor;
    size_t next = 0;
    const varno::DescriptorItem* current = nullptr;
    uint32_t* keys = nullptr;
    size_t keyCount = 0;
    OSErr error = 0;
};

struct PIWriteDescriptorToken {
    varno::Descriptor descriptor;
};

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

// ---- reading ------------------------------------------------------------------------------------

// The item getKeyProc returned last, or none (and the reader's error set) when there is none.
const DescriptorItem* Current(PIReadDescriptor token) {
    if (!token) return nullptr;
    if (!token->current && token->error == 0) token->error = -50;
    return token->current;
}

OSErr Fail(PIReadDescriptor token, OSErr error) {
    if (token && token->error == 0) token->error = error;
    return error;
}

// Integer view of an item: integers, counts, booleans and enumerations as they are, reals
// truncated when they fit.
bool AsInteger(const DescriptorItem& item, int64_t* value) {
    if (item.type == kDescInteger || item.type == kDescCount || item.type == kDescBoolean) {
        *value = item.integer;
        return true;
    }
    if (item.type == kDescFloat || item.type == kDescUnitFloat) {
        if (!std::isfinite(item.real) || item.real < -2147483648.0 || item.real >= 2147483648.0) return false;
        *value = int64_t(item.real);
        return true;
    }
    return false;
}

bool AsReal(const DescriptorItem& item, double* value) {
    if (item.type == kDescFloat || item.type == kDescUnitFloat) {
        *value = item.real;
        return true;
    }
    if (item.type == kDescInteger || item.type == kDescCount) {
        *value = double(item.integer);
        return true;
    }
    return false;
}

PIReadDescriptor PIAPI OpenRead(PIDescriptorHandle handle, uint32_t* keys) {
    OSErr failure = 0;
    if (CallbackFails(HostCallback::kOpenReadDescriptor, &failure)) return nullptr;
    if (!IsHostHandle(handle)) return nullptr;
    auto* token = new PIReadDescriptorToken;
    if (!ParseDescriptor(HostHandleBytes(handle), &token->descriptor)) {
        delete token;
        return nullptr;
    }
    token->keys = keys;
    // The array's length is fixed now: getKeyProc zeroes entries, which must not shorten it.
    if (keys)
        while (keys[token->keyCount] != 0) ++token->keyCount;
    ++openTokens;
    return token;
}

OSErr PIAPI CloseRead(PIReadDescriptor token) {
    OSErr failure = 0;
    const bool fails = CallbackFails(HostCallback::kCloseReadDescriptor, &failure);
    if (!token) return -50;
    OSErr result = fails ? failure : token->error;
    for (size_t i = 0; result == 0 && i < token->keyCount; ++i)
        if (token->keys[i] != 0) result = kErrMissingParameter;
    delete token;
    --openTokens;
    return result;
}

Boolean PIAPI GetKey(PIReadDescriptor token, uint32_t* key, uint32_t* type, int32_t* flags) {
    OSErr failure = 0;
    if (CallbackFails(HostCallback::kGetKey, &failure)) return 0;
    if (!token || token->next >= token->descriptor.items.size()) return 0;
    const DescriptorItem& item = token->descriptor.items[token->next++];
    token->current = &item;
    if (key) *key = item.key;
    if (type) *type = item.type;
    if (flags) *flags = 0;
    for (size_t i = 0; i < token->keyCount; ++i)
        if (token->keys[i] == item.key) token->keys[i] = 0;
    return 1;
}

OSErr PIAPI GetInteger(PIReadDescriptor token, int32_t* value) {
    OSErr failure = 0;
    if (CallbackFails(HostCallback::kGetInteger, &failure)) return Fail(token, failure);
    const DescriptorItem* item = Current(token);
    if (!item || !value) return Fail(token, -50);
    int64_t v;
    if (!AsInteger(*item, &v) || v < INT32_MIN || v > INT32_MAX) return Fail(token, kErrCoercionFailed);
    *value = int32_t(v);
    return 0;
}

OSErr PIAPI GetFloat(PIReadDescriptor token, double* value) {
    const DescriptorItem* item = Current(token);
    if (!item || !value) return Fail(token, -50);
    if (!AsReal(*item, value)) return Fail(token, kErrCoercionFailed);
    return 0;
}

OSErr PIAPI GetUnitFloat(PIReadDescriptor token, uint32_t* unit, double* value) {
    const DescriptorItem* item = Current(token);
    if (!item || !value) return Fail(token, -50);
    if (!AsReal(*item, value)) return Fail(token, kErrCoercionFailed);
    if (unit) *unit = item->type == kDescUnitFloat ? item->detail : kUnitNone;
    return 0;
}

OSErr PIAPI GetBoolean(PIReadDescriptor token, Boolean* value) {
    const DescriptorItem* item = Current(token);
    if (!item || !value) return Fail(token, -50);
    if (item->type != kDescBoolean && item->type != kDescInteger) return Fail(token, kErrCoercionFailed);
    *value = item->integer != 0 ? 1 : 0;
    return 0;
}

OSErr GetBytesAsHandle(PIReadDescriptor token, uint32_t wanted, Handle* out) {
    const DescriptorItem* item = Current(token);
    if (!item || !out) return Fail(token, -50);
    if (item->type != wanted) return Fail(token, kErrCoercionFailed);
    Handle handle = NewHostHandleWith(item->bytes);
    if (!handle) return Fail(token, -108);
    *out = handle;
    return 0;
}

OSErr PIAPI GetText(PIReadDescriptor token, Handle* out) { return GetBytesAsHandle(token, kDescText, out); }
OSErr PIAPI GetAlias(PIReadDescriptor token, Handle* out) { return GetBytesAsHandle(token, kDescAlias, out); }

OSErr PIAPI GetEnumerated(PIReadDescriptor token, uint32_t* value) {
    OSErr failure = 0;
    if (CallbackFails(HostCallback::kGetEnumerated, &failure)) return Fail(token, failure);
    const DescriptorItem* item = Current(token);
    if (!item || !value) return Fail(token, -50);
    if (item->type != kDescEnumerated) return Fail(token, kErrCoercionFailed);
    *value = uint32_t(item->integer);
    return 0;
}

OSErr PIAPI GetClass(PIReadDescriptor token, uint32_t* value) {
    const DescriptorItem* item = Current(token);
    if (!item || !value) return Fail(token, -50);
    if (item->type != kDescClass && item->type != kDescScopedClass) return Fail(token, kErrCoercionFailed);
    *value = item->detail;
    return 0;
}

OSErr PIAPI GetSimpleReference(PIReadDescriptor token, void* reference) {
    const DescriptorItem* item = Current(token);
    if (!item || !reference) return Fail(token, -50);
    if (item->type != kDescReference || item->bytes.size() != kSimpleReferenceSize)
        return Fail(token, kErrCoercionFailed);
    std::memcpy(reference, item->bytes.data(), kSimpleReferenceSize);
    return 0;
}

OSErr PIAPI GetObject(PIReadDescriptor token, uint32_t* type, PIDescriptorHandle* out) {
    const DescriptorItem* item = Current(token);
    if (!item || !out) return Fail(token, -50);
    if (item->type != kDescObject && item->type != kDescScopedObject) return Fail(token, kErrCoercionFailed);
    Handle handle = NewHostHandleWith(item->bytes);
    if (!handle) return Fail(token, -108);
    if (type) *type = item->detail;
    *out = handle;
    return 0;
}

OSErr PIAPI GetCount(PIReadDescriptor token, uint32_t* value) {
    const DescriptorItem* item = Current(token);
    if (!item || !value) return Fail(token, -50);
    if ((item->type != kDescCount && item->type != kDescInteger) || item->integer < 0 || item->integer > UINT32_MAX)
        return Fail(token, kErrCoercionFailed);
    *value = uint32_t(item->integer);
    return 0;
}

OSErr PIAPI GetString(PIReadDescriptor token, unsigned char (*value)[256]) {
    const DescriptorItem* item = Current(token);
    if (!item || !value) return Fail(token, -50);
    if (item->type != kDescText) return Fail(token, kErrCoercionFailed);
    const size_t length = item->bytes.size() < 255 ? item->bytes.size() : 255;
    (*value)[0] = uint8_t(length);
    if (length) std::memcpy(&(*value)[1], item->bytes.data(), length);
    return 0;
}

OSErr PIAPI GetPinnedInteger(PIReadDescriptor token, int32_t min, int32_t max, int32_t* value) {
    int32_t v = 0;
    OSErr error = GetInteger(token, &v);
    if (error != 0) return error;
    OSErr result = 0;
    if (v < min) v = min, result = kCoercedParameter;
    if (v > max) v = max, result = kCoercedParameter;
    *value = v;
    return result;
}

OSErr Pin(double* v, const double* min, const double* max) {
    OSErr result = 0;
    if (min && *v < *min) *v = *min, result = kCoercedParameter;
    if (max && *v > *max) *v = *max, result = kCoercedParameter;
    return result;
}

OSErr PIAPI GetPinnedFloat(PIReadDescriptor token, const double* min, const double* max, double* value) {
    double v = 0;
    OSErr error = GetFloat(token, &v);
    if (error != 0) return error;
    OSErr result = Pin(&v, min, max);
    *value = v;
    return result;
}

OSErr PIAPI GetPinnedUnitFloat(PIReadDescriptor token, const double* min, const double* max, uint32_t* unit,
                               double* value) {
    double v = 0;
    OSErr error = GetUnitFloat(token, unit, &v);
    if (error != 0) return error;
    OSErr result = Pin(&v, min, max);
    *value = v;
    return result;
}

// ---- writing ------------------------------------------------------------------------------------

PIWriteDescriptor PIAPI OpenWrite(void) {
    OSErr failure = 0;
    if (CallbackFails(HostCallback::kOpenWriteDescriptor, &failure)) return nullptr;
    ++openTokens;
    return new PIWriteDescriptorToken;
}

OSErr PIAPI CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* out) {
    OSErr failure = 0;
    const bool fails = CallbackFails(HostCallback::kCloseWriteDescriptor, &failure);
    if (!token) return -50;
    OSErr result = 0;
    if (fails) {
        result = failure;
    } else if (!out) {
        result = -50;
    } else {
        Handle handle = NewHostHandleWith(SerializeDescriptor(token->descriptor));
        if (handle) *out = handle;
        else result = -108;
    }
    delete token;
    --openTokens;
    return result;
}

OSErr Put(PIWriteDescriptor token, DescriptorItem item) {
    if (!token) return -50;
    token->descriptor.Put(item);
    return 0;
}

DescriptorItem Item(uint32_t key, uint32_t type) {
    DescriptorItem item;
    item.key = key;
    item.type = type;
    return item;
}

OSErr PIAPI PutInteger(PIWriteDescriptor token, uint32_t key, int32_t value) {
    OSErr failure = 0;
    if (CallbackFails(HostCallback::kPutInteger, &failure)) return failure;
    DescriptorItem item = Item(key, kDescInteger);
    item.integer = value;
    return Put(token, item);
}

OSErr PIAPI PutFloat(PIWriteDescriptor token, uint32_t key, const double* value) {
    if (!value) return -50;
    DescriptorItem item = Item(key, kDescFloat);
    item.real = *value;
    return Put(token, item);
}

OSErr PIAPI PutUnitFloat(PIWriteDescriptor token, uint32_t key, uint32_t unit, const double* value) {
    if (!value) return -50;
    DescriptorItem item = Item(key, kDescUnitFloat);
    item.detail = unit;
    item.real = *value;
    return Put(token, item);
}

OSErr PIAPI PutBoolean(PIWriteDescriptor token, uint32_t key, Boolean value) {
    DescriptorItem item = Item(key, kDescBoolean);
    item.integer = value ? 1 : 0;
    return Put(token, item);
}

OSErr PutHandleBytes(PIWriteDescriptor token, uint32_t key, uint32_t type, uint32_t detail, Handle handle) {
    if (handle && !IsHostHandle(handle)) return -109;
    DescriptorItem item = Item(key, type);
    item.detail = detail;
    item.bytes = HostHandleBytes(handle);
    return Put(token, item);
}

OSErr PIAPI PutText(PIWriteDescriptor token, uint32_t key, Handle text) {
    return PutHandleBytes(token, key, kDescText, 0, text);
}
OSErr PIAPI PutAlias(PIWriteDescriptor token, uint32_t key, Handle alias) {
    return PutHandleBytes(token, key, kDescAlias, 0, alias);
}

OSErr PIAPI PutEnumerated(PIWriteDescriptor token, uint32_t key, uint32_t type, uint32_t value) {
    OSErr failure = 0;
    if (CallbackFails(HostCallback::kPutEnumerated, &failure)) return failure;
    DescriptorItem item = Item(key, kDescEnumerated);
    item.detail = type;
    item.integer = value;
    return Put(token, item);
}

OSErr PIAPI PutClass(PIWriteDescriptor token, uint32_t key, uint32_t type) {
    DescriptorItem item = Item(key, kDescClass);
    item.detail = type;
    return Put(token, item);
}

OSErr PIAPI PutSimpleReference(PIWriteDescriptor token, uint32_t key, const void* reference) {
    if (!reference) return -50;
    DescriptorItem item = Item(key, kDescReference);
    const uint8_t* bytes = static_cast<const uint8_t*>(reference);
    item.bytes.assign(bytes, bytes + kSimpleReferenceSize);
    return Put(token, item);
}

OSErr PIAPI PutObject(PIWriteDescriptor token, uint32_t key, uint32_t type, PIDescriptorHandle handle) {
    return PutHandleBytes(token, key, kDescObject, type, handle);
}

OSErr PIAPI PutCount(PIWriteDescriptor token, uint32_t key, uint32_t count) {
    DescriptorItem item = Item(key, kDescCount);
    item.integer = count;
    return Put(token, item);
}

OSErr PIAPI PutString(PIWriteDescriptor token, uint32_t key, const unsigned char* text) {
    if (!text) return -50;
    DescriptorItem item = Item(key, kDescText);
    item.bytes.assign(text + 1, text + 1 + text[0]);
    return Put(token, item);
}

OSErr PIAPI PutScopedClass(PIWriteDescriptor token, uint32_t key, uint32_t type) {
    DescriptorItem item = Item(key, kDescScopedClass);
    item.detail = type;
    return Put(token, item);
}

OSErr PIAPI PutScopedObject(PIWriteDescriptor token, uint32_t key, uint32_t type, PIDescriptorHandle handle) {
    return PutHandleBytes(token, key, kDescScopedObject, type, handle);
}

template <typename F>
PIAnyProc Any(F* procedure) {
    return reinterpret_cast<PIAnyProc>(procedure);
}

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

ReadDescriptorProcs* HostReadDescriptorProcs(void) {
    static ReadDescriptorProcs procs = {
        0, 18, OpenRead, CloseRead, GetKey, GetInteger,
        GetFloat, Any(GetUnitFloat), Any(GetBoolean), Any(GetText), Any(GetAlias),
        GetEnumerated,
        Any(GetClass), Any(GetSimpleReference), Any(GetObject), Any(GetCount), Any(GetString),
        Any(GetPinnedInteger), Any(GetPinnedFloat), Any(GetPinnedUnitFloat)};
    return &procs;
}

WriteDescriptorProcs* HostWriteDescriptorProcs(void) {
    static WriteDescriptorProcs procs = {
        0, 16, OpenWrite, CloseWrite, PutInteger,
        Any(PutFloat), Any(PutUnitFloat), Any(PutBoolean), Any(PutText), Any(PutAlias),
        PutEnumerated,
        Any(PutClass), Any(PutSimpleReference), Any(PutObject), Any(PutCount), Any(PutString),
        Any(PutScopedClass), Any(PutScopedObject)};
    return &procs;
}

int32_t OpenDescriptorTokens(void) { return openTokens; }

}  // namespace varno

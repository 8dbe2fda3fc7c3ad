// The read-descriptor suite: the plug-in reading a descriptor the host plays back.
#include <cmath>
#include <cstring>
#include <memory>

#include "host/descriptor_suites.h"
#include "host/faults.h"
#include "host/guard.h"
#include "host/handles.h"

struct PIReadDescriptorToken {
    varno::Descriptor descriptor;
    size_t next = 0;
    const varno::DescriptorItem* current = nullptr;
    uint32_t* keys = nullptr;
    size_t keyCount = 0;
    OSErr error = 0;
};

namespace varno {

namespace {

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
    auto token = std::make_unique<PIReadDescriptorToken>();  // freed when the parsing runs out of memory
    if (!ParseDescriptor(HostHandleBytes(handle), &token->descriptor)) return nullptr;
    token->keys = keys;
    // The array's length is fixed now: getKeyProc zeroes entries, which must not shorten it.
    if (keys)
        while (keys[token->keyCount] != 0) ++token->keyCount;
    CountDescriptorToken(+1);
    return token.release();
}

OSErr PIAPI CloseRead(PIReadDescriptor token) {
    Closing<PIReadDescriptorToken> closing{token};
    OSErr failure = 0;
    const bool fails = CallbackFails(HostCallback::kCloseReadDescriptor, &failure);
    if (!token) return -50;
    OSErr result = fails ? failure : token->error;
    for (size_t i = 0; result == 0 && i < token->keyCount; ++i)
        if (token->keys[i] != 0) result = kErrMissingParameter;
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

}  // namespace

ReadDescriptorProcs* HostReadDescriptorProcs(void) {
    static ReadDescriptorProcs procs = {
        0, 18, Guarded<OpenRead>::Call, Guarded<CloseRead>::Call, Guarded<GetKey>::Call, Guarded<GetInteger>::Call,
        Guarded<GetFloat>::Call, Any(Guarded<GetUnitFloat>::Call), Any(Guarded<GetBoolean>::Call),
        Any(Guarded<GetText>::Call), Any(Guarded<GetAlias>::Call), Guarded<GetEnumerated>::Call,
        Any(Guarded<GetClass>::Call), Any(Guarded<GetSimpleReference>::Call), Any(Guarded<GetObject>::Call),
        Any(Guarded<GetCount>::Call), Any(Guarded<GetString>::Call), Any(Guarded<GetPinnedInteger>::Call),
        Any(Guarded<GetPinnedFloat>::Call), Any(Guarded<GetPinnedUnitFloat>::Call)};
    return &procs;
}

}  // namespace varno

// The write-descriptor suite: the plug-in recording a descriptor for the host.
#include <cstring>

#include "host/descriptor_suites.h"
#include "host/faults.h"
#include "host/guard.h"
#include "host/handles.h"

struct PIWriteDescriptorToken {
    varno::Descriptor descriptor;
};

namespace varno {

namespace {

PIWriteDescriptor PIAPI OpenWrite(void) {
    OSErr failure = 0;
    if (CallbackFails(HostCallback::kOpenWriteDescriptor, &failure)) return nullptr;
    CountDescriptorToken(+1);
    return new PIWriteDescriptorToken;
}

OSErr PIAPI CloseWrite(PIWriteDescriptor token, PIDescriptorHandle* out) {
    Closing<PIWriteDescriptorToken> closing{token};
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
    return result;
}

OSErr Put(PIWriteDescriptor token, DescriptorItem item) {
    if (!token) return -50;
    token->descriptor.Put(item);
    return 0;
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

}  // namespace

WriteDescriptorProcs* HostWriteDescriptorProcs(void) {
    static WriteDescriptorProcs procs = {
        0, 16, Guarded<OpenWrite>::Call, Guarded<CloseWrite>::Call, Guarded<PutInteger>::Call,
        Any(Guarded<PutFloat>::Call), Any(Guarded<PutUnitFloat>::Call), Any(Guarded<PutBoolean>::Call),
        Any(Guarded<PutText>::Call), Any(Guarded<PutAlias>::Call), Guarded<PutEnumerated>::Call,
        Any(Guarded<PutClass>::Call), Any(Guarded<PutSimpleReference>::Call), Any(Guarded<PutObject>::Call),
        Any(Guarded<PutCount>::Call), Any(Guarded<PutString>::Call), Any(Guarded<PutScopedClass>::Call),
        Any(Guarded<PutScopedObject>::Call)};
    return &procs;
}

}  // namespace varno

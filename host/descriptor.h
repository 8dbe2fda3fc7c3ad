// The host's scripting descriptors and the two descriptor suites it offers the plug-in: reading
// (version 0, 18 procedures) and writing (version 0, 16 procedures).
//
// Contract: a descriptor is an ordered list of keyed, typed values. In a host handle it is stored
// as: uint32 item count, then per item key, type, detail (uint32 each), integer (int64), real
// (IEEE double), byte count (uint32) and the bytes, all little-endian. Parsing checks every length
// against the bytes present and refuses anything malformed.
//
// Reading follows the API: open with the descriptor handle and a 0-terminated key array (none for
// a handle that is none or not a descriptor); getKeyProc returns the items in order, reports each
// key, its type and flags 0, and zeroes every entry of the key array equal to that key; the get
// procedures read the item getKeyProc returned last, converting between integer, real and unit
// real where that loses nothing but a fraction; closeReadDescriptorProc frees the reader and
// returns the first error of the reader's calls, else -1715 when a key of the array was never
// returned, else 0. The descriptor handle itself stays the caller's. Writing collects put calls
// (a key put twice keeps its place and takes the later value) and closeWriteDescriptorProc hands
// back a new host handle holding the descriptor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "api/host_api.h"

namespace varno {

constexpr uint32_t kDescInteger = FourCC("long");
constexpr uint32_t kDescFloat = FourCC("doub");
constexpr uint32_t kDescUnitFloat = FourCC("UntF");
constexpr uint32_t kDescBoolean = FourCC("bool");
constexpr uint32_t kDescEnumerated = FourCC("enum");
constexpr uint32_t kDescText = FourCC("TEXT");
constexpr uint32_t kDescAlias = FourCC("alis");
constexpr uint32_t kDescClass = FourCC("type");
constexpr uint32_t kDescScopedClass = FourCC("GlbC");
constexpr uint32_t kDescObject = FourCC("Objc");
constexpr uint32_t kDescScopedObject = FourCC("GlbO");
constexpr uint32_t kDescReference = FourCC("obj ");
constexpr uint32_t kDescCount = FourCC("cnt ");
constexpr uint32_t kUnitNone = FourCC("#Nne");

constexpr OSErr kErrMissingParameter = -1715;
constexpr OSErr kErrCoercionFailed = -1700;
constexpr OSErr kCoercedParameter = 2;
constexpr size_t kSimpleReferenceSize = 276;

struct DescriptorItem {
    uint32_t key = 0;
    uint32_t type = 0;            // one of the kDesc... kinds
    uint32_t detail = 0;          // enumeration type, unit or class
    int64_t integer = 0;          // integer, boolean, enumeration value, count
    double real = 0;              // real and unit real
    std::vector<uint8_t> bytes;   // text characters, alias, nested descriptor, reference
};

struct Descriptor {
    std::vector<DescriptorItem> items;

    const DescriptorItem* Find(uint32_t key) const;
    // Adds the item, or replaces the value of the item with the same key where it stands.
    void Put(const DescriptorItem& item);
    void PutInteger(uint32_t key, int32_t value);
    void PutEnumerated(uint32_t key, uint32_t enumType, uint32_t value);
};

std::vector<uint8_t> SerializeDescriptor(const Descriptor& descriptor);
bool ParseDescriptor(const std::vector<uint8_t>& bytes, Descriptor* descriptor);

ReadDescriptorProcs* HostReadDescriptorProcs(void);
WriteDescriptorProcs* HostWriteDescriptorProcs(void);
// Readers and writers opened and not yet closed, for tests of the plug-in's discipline.
int32_t OpenDescriptorTokens(void);

}  // namespace varno

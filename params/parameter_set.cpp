// The ParameterSet: header and entries of big-endian 32-bit words in one MemoryBlock.
//
// The block carries an 8-byte prefix in front of the documented bytes holding the number of
// entries that fit, so that adding to a full set and indexing past its end are refused instead of
// writing beyond the block. The set's pointer (and ParameterSetBytes) point past the prefix, so
// the documented layout is exactly what callers see.
#include "params/parameter_set.h"

#include "base/memory.h"
#include "params/edge_table.h"
#include "params/run_state.h"
#include "params/settings.h"

namespace {

constexpr uint32_t kUnitBytes = 24;
constexpr int32_t kHeaderUnits = 2;
constexpr uint32_t kPrefixBytes = 8;

// Word positions in the header.
enum : int32_t {
    kWordInputCount = 3,
    kWordOutputCount = 4,
    kWordSignature = 5,
    kWordNeedsMask = 6,
    kWordNoWriteback = 7,
};

// Word positions in an entry.
enum : int32_t {
    kEntryKey = 0,
    kEntryType = 1,
    kEntryPresent = 2,
    kEntryMin = 3,
    kEntryMax = 4,
    kEntryValue = 5,
};

constexpr uint32_t kHeaderBytes = kHeaderUnits * kUnitBytes;

uint8_t* Bytes(ParameterSet* set) { return reinterpret_cast<uint8_t*>(set); }
const uint8_t* Bytes(const ParameterSet* set) { return reinterpret_cast<const uint8_t*>(set); }

int32_t Capacity(const ParameterSet* set) {
    const uint8_t* prefix = Bytes(set) - kPrefixBytes;
    return int32_t(uint32_t(prefix[0]) | uint32_t(prefix[1]) << 8 | uint32_t(prefix[2]) << 16 |
                   uint32_t(prefix[3]) << 24);
}

uint32_t LoadWord(const uint8_t* at) {
    return uint32_t(at[0]) << 24 | uint32_t(at[1]) << 16 | uint32_t(at[2]) << 8 | uint32_t(at[3]);
}

void StoreWord(uint8_t* at, uint32_t value) {
    at[0] = uint8_t(value >> 24);
    at[1] = uint8_t(value >> 16);
    at[2] = uint8_t(value >> 8);
    at[3] = uint8_t(value);
}

uint32_t HeaderWord(const ParameterSet* set, int32_t word) { return LoadWord(Bytes(set) + 4 * word); }
void SetHeaderWord(ParameterSet* set, int32_t word, uint32_t value) {
    StoreWord(Bytes(set) + 4 * word, value);
}

bool ValidIndex(const ParameterSet* set, int32_t index) {
    return index >= 0 && index < Capacity(set);
}

uint32_t EntryWord(const ParameterSet* set, int32_t index, int32_t word) {
    if (!ValidIndex(set, index)) return 0;
    return LoadWord(Bytes(set) + kHeaderBytes + kUnitBytes * uint32_t(index) + 4 * word);
}

void SetEntryWord(ParameterSet* set, int32_t index, int32_t word, uint32_t value) {
    if (!ValidIndex(set, index)) return;
    StoreWord(Bytes(set) + kHeaderBytes + kUnitBytes * uint32_t(index) + 4 * word, value);
}

// Truncation toward zero; a stored real that is not a number or lies beyond the 32-bit range
// (a damaged preferences file) becomes 0 or the nearest end of the range instead of undefined
// behaviour.
int32_t TruncateReal(float value) {
    if (value != value) return 0;
    if (value >= 2147483648.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return int32_t(value);
}

}  // namespace

ParameterSet* CreateParameterSet(int32_t units) {
    if (units < kHeaderUnits || units > int32_t((0xFFFFFFF0u - kPrefixBytes) / kUnitBytes)) {
        return nullptr;
    }
    auto* block = static_cast<uint8_t*>(AllocateMemoryBlock(kPrefixBytes + kUnitBytes * uint32_t(units)));
    if (!block) return nullptr;
    uint32_t entries = uint32_t(units - kHeaderUnits);
    for (int i = 0; i < 4; ++i) block[i] = uint8_t(entries >> (8 * i));
    return reinterpret_cast<ParameterSet*>(block + kPrefixBytes);
}

void FreeParameterSet(ParameterSet* set) {
    if (!set) return;
    FreeMemoryBlock(Bytes(set) - kPrefixBytes);
}

void InitParameterSet(ParameterSet* set, uint32_t signature, int32_t needsMask, int32_t noWriteback) {
    SetHeaderWord(set, kWordSignature, signature);
    SetHeaderWord(set, kWordInputCount, 0);
    SetHeaderWord(set, kWordOutputCount, 0);
    SetHeaderWord(set, kWordNeedsMask, uint32_t(needsMask) & 0xFF);
    SetHeaderWord(set, kWordNoWriteback, uint32_t(noWriteback) & 0xFF);
}

int32_t AddTypedParameter(ParameterSet* set, uint32_t key, uint32_t type, int32_t min, int32_t max,
                          int32_t value) {
    int32_t index = ParameterInputCount(set);
    if (!ValidIndex(set, index)) return -1;
    SetEntryWord(set, index, kEntryKey, key);
    SetEntryWord(set, index, kEntryType, type);
    SetEntryWord(set, index, kEntryPresent, 1);
    SetEntryWord(set, index, kEntryMin, uint32_t(min));
    SetEntryWord(set, index, kEntryMax, uint32_t(max));
    SetEntryWord(set, index, kEntryValue, uint32_t(value));
    SetHeaderWord(set, kWordInputCount, uint32_t(index + 1));
    return index;
}

int32_t AddIntegerParameter(ParameterSet* set, uint32_t key, int32_t min, int32_t max, int32_t value) {
    return AddTypedParameter(set, key, kTypeLong, min, max, value);
}

int32_t ParameterInputCount(const ParameterSet* set) { return int32_t(HeaderWord(set, kWordInputCount)); }
int32_t ParameterOutputCount(const ParameterSet* set) { return int32_t(HeaderWord(set, kWordOutputCount)); }
uint32_t ParameterSignature(const ParameterSet* set) { return HeaderWord(set, kWordSignature); }
int32_t ParameterNoWriteback(const ParameterSet* set) { return int32_t(HeaderWord(set, kWordNoWriteback)); }
int32_t ParameterNeedsMask(const ParameterSet* set) { return int32_t(HeaderWord(set, kWordNeedsMask)); }

uint32_t ParameterKey(const ParameterSet* set, int32_t index) { return EntryWord(set, index, kEntryKey); }
uint32_t ParameterType(const ParameterSet* set, int32_t index) { return EntryWord(set, index, kEntryType); }
int32_t ParameterPresent(const ParameterSet* set, int32_t index) {
    return int32_t(EntryWord(set, index, kEntryPresent));
}
int32_t ParameterMin(const ParameterSet* set, int32_t index) { return int32_t(EntryWord(set, index, kEntryMin)); }
int32_t ParameterMax(const ParameterSet* set, int32_t index) { return int32_t(EntryWord(set, index, kEntryMax)); }

int32_t GetIntegerParameter(const ParameterSet* set, int32_t index) {
    return int32_t(EntryWord(set, index, kEntryValue));
}

void SetIntegerParameter(ParameterSet* set, int32_t index, int32_t value) {
    SetEntryWord(set, index, kEntryValue, uint32_t(value));
}

const uint8_t* ParameterSetBytes(const ParameterSet* set) { return Bytes(set); }

ParameterSet* BuildEdgeParameters(const RunState* run) {
    ParameterSet* set = CreateParameterSet(kParameterUnits);
    if (!set) return nullptr;
    InitParameterSet(set, kSignatureEdges, 0, 0);
    AddTypedParameter(set, kKeyMethod, kTypeMethodEnum, kEdgeMethodFirst, kEdgeMethodLast,
                      TruncateReal(GetSettingReal(run->settings, kSettingMethod)));
    AddIntegerParameter(set, kKeyRadius, kEdgeRadiusMin, kEdgeRadiusMax,
                        TruncateReal(GetSettingReal(run->settings, kSettingRadius)));
    return set;
}

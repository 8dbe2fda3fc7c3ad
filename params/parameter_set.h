// The ParameterSet: a header and 24-byte typed entries describing the plug-in's parameters.
//
// Layout: every 32-bit word is held big-endian (most significant byte first) whatever the
// processor; every read and write goes through a byte swap. Header (12 words): 3 unused, input
// count, output count, signature, needs-mask flag, no-writeback flag, 4 unused. Then entries of
// six words: key, type, present (1), min, max, value. Input entries come first; output j is entry
// input count + j. The set is one MemoryBlock of units x 24 bytes, the header taking two units.
// Indices are not validated: callers pass indices below input count + output count.
#pragma once

#include <cstdint>

struct RunState;

struct ParameterSet;  // opaque: only the operations below touch its bytes

constexpr uint32_t kTypeLong = 0x6C6F6E67;         // 'long'
constexpr uint32_t kSignatureEdges = 0x65646753;   // 'edgS'
constexpr uint32_t kKeyMethod = 0x4564674D;        // 'EdgM'
constexpr uint32_t kKeyRadius = 0x65646752;        // 'edgR'
constexpr uint32_t kTypeMethodEnum = 0x72423435;   // 'rB45'
constexpr int32_t kParameterUnits = 22;

// An enumeration type: a code whose first two characters are "rB".
inline bool IsEnumerationType(uint32_t type) { return (type >> 16) == 0x7242; }

ParameterSet* CreateParameterSet(int32_t units);
void FreeParameterSet(ParameterSet* set);
void InitParameterSet(ParameterSet* set, uint32_t signature, int32_t needsMask, int32_t noWriteback);
int32_t AddIntegerParameter(ParameterSet* set, uint32_t key, int32_t min, int32_t max, int32_t value);
int32_t AddTypedParameter(ParameterSet* set, uint32_t key, uint32_t type, int32_t min, int32_t max,
                          int32_t value);

int32_t ParameterInputCount(const ParameterSet* set);
int32_t ParameterOutputCount(const ParameterSet* set);
uint32_t ParameterSignature(const ParameterSet* set);
int32_t ParameterNoWriteback(const ParameterSet* set);
int32_t ParameterNeedsMask(const ParameterSet* set);

uint32_t ParameterKey(const ParameterSet* set, int32_t index);
uint32_t ParameterType(const ParameterSet* set, int32_t index);
int32_t ParameterPresent(const ParameterSet* set, int32_t index);
int32_t ParameterMin(const ParameterSet* set, int32_t index);
int32_t ParameterMax(const ParameterSet* set, int32_t index);
int32_t GetIntegerParameter(const ParameterSet* set, int32_t index);
void SetIntegerParameter(ParameterSet* set, int32_t index, int32_t value);

// The raw bytes (big-endian words), for tests and for the run log.
const uint8_t* ParameterSetBytes(const ParameterSet* set);

// Builds this plug-in's set from the run's SettingsArea: signature 'edgS', flags 0, entry 0
// ('EdgM', 'rB45', the methods' numbers) and entry 1 ('edgR', 'long', the radius range) of
// params/edge_table.h, seeded from the stored method and
// radius (single-precision reals at settings offsets 948 and 952, truncated). None when out of
// memory.
ParameterSet* BuildEdgeParameters(const RunState* run);

// Reading a plug-in's property list (PiPL) the way a Windows host does.
//
// Layout (little-endian): int16 1, int32 version 0, int32 property count, then each property:
// vendor, key (4CCs stored as little-endian 32-bit values), int32 id, int32 length, `length`
// data bytes, and zero padding to a multiple of 4 bytes measured from the start of the property.
// The last property's padding may be missing. Anything that runs past the end is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varno {

struct PiplProperty {
    uint32_t vendor = 0;
    uint32_t key = 0;
    int32_t id = 0;
    std::vector<uint8_t> data;
};

// Empty on success, else what is wrong.
std::string ParsePipl(const uint8_t* bytes, size_t size, std::vector<PiplProperty>* properties);

// Checks that the list describes a selection module ('kind' '8BSM') and gives the entry point's
// name from the code property for this program's bitness ('8664' when `wide`, else 'wx86'), read
// up to its terminating zero. Empty on success, else what is wrong.
std::string PiplEntryPoint(const std::vector<PiplProperty>& properties, bool wide, std::string* name);

}  // namespace varno

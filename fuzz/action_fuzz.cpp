// The action-file parser on any text. An action it accepts must survive a round trip: written out
// and read again, it writes out the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/actions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    varno::Descriptor descriptor;
    if (!varno::ParseAction(std::string(reinterpret_cast<const char*>(data), size), &descriptor).empty()) return 0;
    const std::string text = varno::FormatAction(descriptor);
    varno::Descriptor again;
    if (!varno::ParseAction(text, &again).empty() || varno::FormatAction(again) != text) std::abort();
    return 0;
}

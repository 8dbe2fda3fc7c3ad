// The TIFF reader on any bytes, and the outline check the Windows builds make before the platform
// decoder. That check decodes fax-coded strips and tiles itself: refusing for their fax data a file
// the native reader takes is a finding.
#include <string>

#include "fuzz/reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string outline = varno::CheckTiffOutline(data, size, fuzzing::SmallLimits());
    bool accepted = false;
    fuzzing::Read(varno::DecodeTiff, data, size, &accepted);
    if (accepted && outline.find("fax") != std::string::npos) std::abort();
    return 0;
}

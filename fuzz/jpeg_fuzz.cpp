// The JPEG reader on any bytes, and the outline check the Windows builds make before the platform decoder.
#include "fuzz/reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    varno::CheckJpegOutline(data, size, fuzzing::SmallLimits());
    return fuzzing::Read(varno::DecodeJpeg, data, size);
}

// The BMP reader on any bytes.
#include "fuzz/reader_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzzing::Read(varno::DecodeBmp, data, size);
}

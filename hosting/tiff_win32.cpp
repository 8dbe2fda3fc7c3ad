// The Windows builds read what stb_image reads; TIFF documents need the native build's libtiff.
#include "hosting/images.h"

namespace varno {

std::string ReadTiffFile(const std::string&, Document*) {
    return "TIFF files are read by the native build only; convert it to PNG for this build";
}

}  // namespace varno

// PNG output for the dialog's screenshot, through the host library's encoder.
#include <cstdint>
#include <string>
#include <vector>

#include "images/images.h"

bool WritePng(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> bytes;
    return varno::EncodeImage(path, width, height, 3, rgb.data(), &bytes).empty() &&
           varno::WriteFileAtomically(path, bytes).empty();
}

// PNG output for the dialog's screenshot, through stb_image_write.
#include <cstdint>
#include <string>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb_image_write.h>
#pragma GCC diagnostic pop

bool WritePng(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& rgb) {
    return stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}

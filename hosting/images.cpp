// Reading images through stb_image (TIFF through the platform part), writing them through
// stb_image_write, and the temporary-file-then-rename rule for every output.
#include "hosting/images.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "hosting/platform.h"

namespace varno {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
}

std::string Extension(const std::string& path) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return Lower(path.substr(dot));
}

bool IsTiff(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 4) return false;
    const bool little = bytes[0] == 'I' && bytes[1] == 'I' && (bytes[2] == 42 || bytes[2] == 43) && bytes[3] == 0;
    const bool big = bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && (bytes[3] == 42 || bytes[3] == 43);
    return little || big;
}

void AppendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

struct StbFree {
    void operator()(void* pixels) const { stbi_image_free(pixels); }
};

}  // namespace

std::string ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return errno == ENOENT ? "file not found" : std::strerror(errno);
    std::vector<uint8_t> data;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + got);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return "read error";
    *bytes = std::move(data);
    return {};
}

std::string ReadImageFile(const std::string& path, Document* document) {
    std::vector<uint8_t> bytes;
    if (std::string error = ReadWholeFile(path, &bytes); !error.empty()) return error;
    if (IsTiff(bytes)) return ReadTiffFile(path, document);
    if (bytes.size() > size_t(INT32_MAX)) return "file too large";

    const stbi_uc* data = bytes.data();
    const int length = int(bytes.size());
    int width = 0, height = 0, components = 0;
    if (!stbi_info_from_memory(data, length, &width, &height, &components))
        return "not an image varno can read (PNG, JPEG, BMP or TIFF)";
    const int mode8 = components <= 2 ? 1 : 3;
    const int channels = components <= 2 ? 1 : 3;
    const size_t pixels = size_t(width) * size_t(height);

    std::string error;
    if (stbi_is_16_bit_from_memory(data, length)) {
        std::unique_ptr<stbi_us, StbFree> samples(stbi_load_16_from_memory(data, length, &width, &height, &components, 0));
        if (!samples) return stbi_failure_reason();
        std::vector<std::vector<uint16_t>> planes(static_cast<size_t>(channels), std::vector<uint16_t>(pixels));
        for (size_t i = 0; i < pixels; ++i)
            for (int c = 0; c < channels; ++c) planes[size_t(c)][i] = samples.get()[i * size_t(components) + size_t(c)];
        if (!MakeDocument(mode8 == 1 ? 10 : 11, width, height, std::move(planes), document, &error)) return error;
        return {};
    }
    std::unique_ptr<stbi_uc, StbFree> samples(stbi_load_from_memory(data, length, &width, &height, &components, 0));
    if (!samples) return stbi_failure_reason();
    std::vector<std::vector<uint8_t>> planes(static_cast<size_t>(channels), std::vector<uint8_t>(pixels));
    for (size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < channels; ++c) planes[size_t(c)][i] = samples.get()[i * size_t(components) + size_t(c)];
    if (!MakeDocument8(mode8, width, height, std::move(planes), document, &error)) return error;
    return {};
}

std::string EncodeImage(const std::string& path, int32_t width, int32_t height, int32_t channels,
                        const uint8_t* pixels, std::vector<uint8_t>* bytes) {
    if (channels != 1 && channels != 3) return "only grey and RGB pictures are written";
    if (width < 1 || height < 1 || int64_t(width) * channels > INT32_MAX) return "bad picture size";
    const std::string extension = Extension(path);
    std::vector<uint8_t> out;
    int ok = 0;
    if (extension == ".png") {
        ok = stbi_write_png_to_func(AppendBytes, &out, width, height, channels, pixels, width * channels);
    } else if (extension == ".bmp") {
        ok = stbi_write_bmp_to_func(AppendBytes, &out, width, height, channels, pixels);
    } else if (extension == ".jpg" || extension == ".jpeg") {
        ok = stbi_write_jpg_to_func(AppendBytes, &out, width, height, channels, pixels, 95);
    } else {
        return "unknown picture type '" + extension + "' (use .png, .bmp or .jpg)";
    }
    if (!ok) return "the picture could not be encoded";
    *bytes = std::move(out);
    return {};
}

std::string WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    const std::string temporary = path + ".varno-" + std::to_string(ProcessId()) + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) return std::strerror(errno);
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int writeError = ok ? 0 : errno;
    ok = std::fclose(file) == 0 && ok;
    if (!ok) {
        std::remove(temporary.c_str());
        return writeError ? std::strerror(writeError) : "write error";
    }
    std::string error = RenameOver(temporary, path);
    if (!error.empty()) std::remove(temporary.c_str());
    return error;
}

}  // namespace varno

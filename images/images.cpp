// Image files: the format by the file's first bytes, the limits every decoder keeps, files and
// standard input read, and the encoder by type or extension (outputs are written through
// output_files.h).
#include "images/images.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "images/codecs.h"
#include "images/system.h"

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

template <typename Sample>
std::string Finish(int32_t mode, GrowingPlanes<Sample>* planes, Document* document) {
    if (!planes->Complete()) return "the picture's rows are incomplete";
    std::string error;
    bool made;
    if constexpr (sizeof(Sample) == 1)
        made = MakeDocument8(mode, int32_t(planes->width), int32_t(planes->height), std::move(planes->planes), document, &error);
    else
        made = MakeDocument(mode, int32_t(planes->width), int32_t(planes->height), std::move(planes->planes), document, &error);
    return made ? std::string() : error;
}

}  // namespace

size_t DecoderBudget(size_t fileSize, const ReadLimits& limits) {
    if (limits.budget) return limits.budget;
    constexpr size_t kFloor = size_t(128) << 20;
    constexpr size_t kPerFileByte = 256;
    return fileSize > kFloor / kPerFileByte ? fileSize * kPerFileByte : kFloor;
}

std::string CheckPictureSize(int64_t width, int64_t height, const ReadLimits& limits) {
    char text[160];
    if (width < 1 || height < 1) {
        std::snprintf(text, sizeof text, "the picture declares %lld x %lld pixels", (long long)width, (long long)height);
        return text;
    }
    if (width > limits.maxSide || height > limits.maxSide) {
        std::snprintf(text, sizeof text, "the picture is %lld x %lld pixels; a side may have at most %d",
                      (long long)width, (long long)height, int(limits.maxSide));
        return text;
    }
    if (limits.maxPixels > 0 && width * height > limits.maxPixels) {
        std::snprintf(text, sizeof text, "the picture is %lld x %lld pixels, more than the %lld allowed here",
                      (long long)width, (long long)height, (long long)limits.maxPixels);
        return text;
    }
    return {};
}

ImageFormat SniffFormat(const uint8_t* b, size_t size) {
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (size >= 8 && std::memcmp(b, png, 8) == 0) return ImageFormat::kPng;
    if (size >= 3 && b[0] == 0xff && b[1] == 0xd8 && b[2] == 0xff) return ImageFormat::kJpeg;
    if (size >= 4 && ((b[0] == 'I' && b[1] == 'I' && (b[2] == 42 || b[2] == 43) && b[3] == 0) ||
                      (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && (b[3] == 42 || b[3] == 43))))
        return ImageFormat::kTiff;
    if (size >= 2 && b[0] == 'B' && b[1] == 'M') return ImageFormat::kBmp;
    return ImageFormat::kUnknown;
}

std::string FinishDocument(int32_t mode, GrowingPlanes<uint8_t>* planes, Document* document) {
    return Finish(mode, planes, document);
}

std::string FinishDocument(int32_t mode, GrowingPlanes<uint16_t>* planes, Document* document) {
    return Finish(mode, planes, document);
}

std::string CheckRegularFile(const std::string& path) {
    namespace fs = std::filesystem;
    if (std::string refusal = CheckPathName(path); !refusal.empty()) return refusal;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error) return error == std::errc::no_such_file_or_directory ? "file not found" : error.message();
    switch (status.type()) {
        case fs::file_type::regular: return {};
        case fs::file_type::directory: return "it is a directory";
        case fs::file_type::fifo: return "it is a FIFO, not a file";
        case fs::file_type::character: case fs::file_type::block: return "it is a device, not a file";
        case fs::file_type::socket: return "it is a socket, not a file";
        default: return "not a regular file";
    }
}

namespace {

// The bytes of an open stream to its end (`size` of them expected, when known); when `accept` is
// given, the first 16 bytes (or all, when fewer) must satisfy it before the rest is read, else
// `refusal` is returned.
std::string ReadStreamBytes(std::FILE* file, std::uintmax_t size, bool known, bool (*accept)(const uint8_t*, size_t),
                            const char* refusal, std::vector<uint8_t>* bytes) {
    uint8_t head[16];
    const size_t headSize = std::fread(head, 1, sizeof head, file);
    if (std::ferror(file)) return "read error";
    if (accept && !accept(head, headSize)) return refusal;
    std::vector<uint8_t> data;
    try {
        // One block of the file's size (when it has one), not a chain of ever larger copies.
        if (known && size < std::uintmax_t(SIZE_MAX)) {
            data.reserve(size_t(size));
            AdviseLargeBlock(data.data(), data.capacity());
        }
        data.insert(data.end(), head, head + headSize);
        uint8_t chunk[65536];
        size_t got;
        while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + got);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
    if (std::ferror(file)) return "read error";
    *bytes = std::move(data);
    return {};
}

std::string ReadFileBytes(const std::string& path, bool (*accept)(const uint8_t*, size_t), const char* refusal,
                          std::vector<uint8_t>* bytes) {
    if (std::string error = CheckRegularFile(path); !error.empty()) return error;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return errno == ENOENT ? "file not found" : std::strerror(errno);
    std::error_code unknown;
    const std::uintmax_t size = std::filesystem::file_size(path, unknown);
    std::string error = ReadStreamBytes(file, size, !unknown, accept, refusal, bytes);
    std::fclose(file);
    return error;
}

bool KnownImage(const uint8_t* head, size_t size) { return SniffFormat(head, size) != ImageFormat::kUnknown; }

}  // namespace

std::string ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes) {
    return ReadFileBytes(path, nullptr, nullptr, bytes);
}

namespace {

constexpr const char* kNoPicture = "not an image varno can read (PNG, JPEG, BMP or TIFF)";

std::string DecodeRead(const std::vector<uint8_t>& bytes, Document* document, std::vector<std::string>* warnings) {
    DecoderNotes notes;
    ReadLimits limits;
    limits.notes = &notes;
    std::string error;
    try {
        error = DecodeImage(bytes.data(), bytes.size(), limits, document);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    if (error.empty() && warnings) *warnings = std::move(notes.warnings);
    return error;
}

}  // namespace

std::string ReadImageFile(const std::string& path, Document* document, std::vector<std::string>* warnings) {
    std::vector<uint8_t> bytes;
    if (std::string error = ReadFileBytes(path, KnownImage, kNoPicture, &bytes); !error.empty()) return error;
    return DecodeRead(bytes, document, warnings);
}

std::string ReadImageStandardInput(Document* document, std::vector<std::string>* warnings) {
    if (!StandardStreamOpen(stdin)) return "it is closed";
    PrepareStandardStream(stdin);
    std::vector<uint8_t> bytes;
    if (std::string error = ReadStreamBytes(stdin, 0, false, KnownImage, kNoPicture, &bytes); !error.empty()) return error;
    return DecodeRead(bytes, document, warnings);
}

PictureType PictureTypeNamed(const std::string& name) {
    const std::string word = Lower(name);
    if (word == "png") return PictureType::kPng;
    if (word == "bmp") return PictureType::kBmp;
    if (word == "jpg" || word == "jpeg") return PictureType::kJpeg;
    if (word == "tif" || word == "tiff") return PictureType::kTiff;
    return PictureType::kNone;
}

PictureType PictureTypeOfPath(const std::string& path) {
    const std::string extension = Extension(path);
    return extension.empty() ? PictureType::kNone : PictureTypeNamed(extension.substr(1));
}

std::string CheckOutputType(const std::string& path) {
    if (PictureTypeOfPath(path) != PictureType::kNone) return {};
    return "unknown picture type '" + Extension(path) + "' (use .png, .tif, .bmp or .jpg)";
}

std::string EncodeImage(const std::string& path, int32_t width, int32_t height, int32_t channels,
                        const uint8_t* pixels, std::vector<uint8_t>* bytes, const EncodeOptions& options) {
    if (std::string error = CheckOutputType(path); !error.empty()) return error;
    return EncodePicture(PictureTypeOfPath(path), width, height, channels, pixels, bytes, options);
}

std::string EncodePicture(PictureType type, int32_t width, int32_t height, int32_t channels, const uint8_t* pixels,
                          std::vector<uint8_t>* bytes, const EncodeOptions& options) {
    if (channels != 1 && channels != 3) return "only grey and RGB pictures are written";
    if (width < 1 || height < 1 || width > kMaxDocumentSide || height > kMaxDocumentSide) return "bad picture size";
    std::vector<uint8_t> out;
    std::string error;
    switch (type) {
        case PictureType::kPng: error = EncodePng(width, height, channels, pixels, options.smaller, &out); break;
        case PictureType::kBmp: error = EncodeBmp(width, height, channels, pixels, &out); break;
        case PictureType::kJpeg: error = EncodeJpeg(width, height, channels, pixels, &out); break;
        case PictureType::kTiff: error = EncodeTiff(width, height, channels, pixels, &out); break;
        default: error = "no picture type to write";
    }
    if (!error.empty()) return error;
    *bytes = std::move(out);
    return {};
}

}  // namespace varno

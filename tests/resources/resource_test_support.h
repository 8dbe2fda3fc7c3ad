// Helpers of the resource tests: a bounds-checked little-endian reader of resource bytes and the
// spelling of a build-tree path for the platform the test runs on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#if defined(_WIN32)
constexpr bool kWindowsBuild = true;
#else
constexpr bool kWindowsBuild = false;
#endif

// Reads resource bytes in order; a read past the end yields zeros and sets Failed().
class ResourceReader {
public:
    explicit ResourceReader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    uint8_t U8() {
        if (offset_ >= bytes_.size()) {
            failed_ = true;
            return 0;
        }
        return bytes_[offset_++];
    }
    uint16_t U16() {
        uint16_t low = U8();
        return uint16_t(low | U8() << 8);
    }
    uint32_t U32() {
        uint32_t low = U16();
        return low | uint32_t(U16()) << 16;
    }
    // A four-character code stored as a little-endian 32-bit value, as its characters.
    std::string Code() {
        uint32_t value = U32();
        return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    }
    std::string Pascal() {
        size_t length = U8();
        if (offset_ + length > bytes_.size()) {
            failed_ = true;
            return {};
        }
        std::string text(bytes_.begin() + long(offset_), bytes_.begin() + long(offset_ + length));
        offset_ += length;
        return text;
    }
    std::vector<uint8_t> Raw(size_t count) {
        std::vector<uint8_t> out;
        for (size_t i = 0; i < count; ++i) out.push_back(U8());
        return out;
    }
    size_t Offset() const { return offset_; }
    bool AtEnd() const { return offset_ == bytes_.size(); }
    bool Failed() const { return failed_; }

private:
    const std::vector<uint8_t>& bytes_;
    size_t offset_ = 0;
    bool failed_ = false;
};

// Build-tree paths are Unix paths; under wine they are reached through drive Z:.
inline std::string HostPath(const std::string& path) {
    if (kWindowsBuild && !path.empty() && path[0] == '/') return "Z:" + path;
    return path;
}

// PiPL parsing and the entry-point look-up a Windows host makes before calling a plug-in.
#include "host/pipl.h"

#include "api/host_api.h"

namespace varno {

namespace {

uint32_t ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string CodeText(uint32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) text += char(code >> shift);
    return text;
}

}  // namespace

std::string ParsePipl(const uint8_t* bytes, size_t size, std::vector<PiplProperty>* properties) {
    properties->clear();
    if (size < 10) return "the PiPL resource is too short";
    const int32_t prelude = int16_t(uint16_t(bytes[0] | bytes[1] << 8));
    if (prelude != 1) return "the PiPL resource does not start with 1";
    const int32_t version = int32_t(ReadU32(bytes + 2));
    if (version != 0) return "PiPL version " + std::to_string(version) + " is not 0";
    const int32_t count = int32_t(ReadU32(bytes + 6));
    if (count < 0) return "the PiPL resource has a negative property count";
    size_t at = 10;
    for (int32_t i = 0; i < count; ++i) {
        if (size - at < 16) return "PiPL property " + std::to_string(i) + " runs past the end";
        PiplProperty property;
        property.vendor = ReadU32(bytes + at);
        property.key = ReadU32(bytes + at + 4);
        property.id = int32_t(ReadU32(bytes + at + 8));
        const int32_t length = int32_t(ReadU32(bytes + at + 12));
        if (length < 0 || size_t(length) > size - at - 16)
            return "PiPL property " + std::to_string(i) + " runs past the end";
        property.data.assign(bytes + at + 16, bytes + at + 16 + length);
        const size_t span = (16 + size_t(length) + 3) & ~size_t(3);
        at = span <= size - at ? at + span : size;
        properties->push_back(std::move(property));
    }
    return {};
}

std::string PiplEntryPoint(const std::vector<PiplProperty>& properties, bool wide, std::string* name) {
    const uint32_t vendor = FourCC("8BIM");
    const uint32_t codeKey = wide ? FourCC("8664") : FourCC("wx86");
    const PiplProperty* kind = nullptr;
    const PiplProperty* code = nullptr;
    for (const PiplProperty& property : properties) {
        if (property.vendor != vendor) continue;
        if (property.key == FourCC("kind") && !kind) kind = &property;
        if (property.key == codeKey && !code) code = &property;
    }
    if (!kind || kind->data.size() < 4) return "the PiPL has no 'kind' property";
    const uint32_t kindCode = ReadU32(kind->data.data());
    if (kindCode != FourCC("8BSM")) return "the PiPL's kind is '" + CodeText(kindCode) + "', not a selection module";
    if (!code) return "the PiPL has no '" + CodeText(codeKey) + "' entry point for this program";
    name->clear();
    for (uint8_t c : code->data) {
        if (c == 0) break;
        *name += char(c);
    }
    if (name->empty()) return "the PiPL's '" + CodeText(codeKey) + "' entry point name is empty";
    return {};
}

}  // namespace varno

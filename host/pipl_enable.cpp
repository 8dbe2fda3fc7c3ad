// What a current host reads from a PiPL before it offers a plug-in for a document: the enable
// expression ('enbl') or the supported-mode flags ('mode'); and the ELF section where a native
// plug-in keeps its PiPL.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>

#include "api/host_api.h"
#include "host/pipl.h"

namespace varno {

namespace {

// The API's image modes, by number.
constexpr const char* kModeNames[] = {
    "Bitmap", "GrayScale", "Indexed", "RGB",  "CMYK", "HSL",  "HSB",  "Multichannel", "Duotone",
    "Lab",    "Gray16",    "RGB48",   "Lab48", "CMYK64", "DeepMultichannel", "Duotone16", "RGB96", "Gray32",
};
constexpr int32_t kModeCount = int32_t(std::size(kModeNames));
constexpr int32_t kMaxNesting = 64;

// A recursive-descent reader of the expression; `error` is set at the first fault and ends it.
struct Parser {
    explicit Parser(const std::string& expression) : text(expression) {}
    const std::string& text;
    size_t at = 0;
    int32_t mode = 0, depth = 0;
    int32_t nesting = 0;
    std::string error;

    void Space() {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    }
    bool Take(const char* token) {
        Space();
        const size_t length = std::strlen(token);
        if (text.compare(at, length, token) != 0) return false;
        at += length;
        return true;
    }
    void Fail(const std::string& what) {
        if (error.empty()) error = what + " at offset " + std::to_string(at);
    }
    std::string Word() {
        Space();
        const size_t start = at;
        while (at < text.size() && (std::isalnum(static_cast<unsigned char>(text[at])) || text[at] == '_')) ++at;
        return text.substr(start, at - start);
    }
    // A number, a document property or a mode name.
    bool Value(int64_t* value) {
        const size_t start = (Space(), at);
        const std::string word = Word();
        if (word.empty()) {
            Fail("a value is missing");
            return false;
        }
        if (std::isdigit(static_cast<unsigned char>(word[0]))) {
            int64_t number = 0;
            for (char c : word) {
                if (!std::isdigit(static_cast<unsigned char>(c)) || number > 100000000) {
                    at = start;
                    Fail("bad number '" + word + "'");
                    return false;
                }
                number = number * 10 + (c - '0');
            }
            *value = number;
            return true;
        }
        if (word == "PSHOP_ImageMode") return *value = mode, true;
        if (word == "PSHOP_ImageDepth") return *value = depth, true;
        for (int32_t m = 0; m < kModeCount; ++m) {
            if (word == std::string(kModeNames[m]) + "Mode") return *value = m, true;
        }
        at = start;
        Fail("unknown name '" + word + "'");
        return false;
    }
    bool In() {
        if (!Take("(")) return Fail("'(' expected after 'in'"), false;
        int64_t subject = 0;
        if (!Value(&subject)) return false;
        bool found = false;
        while (Take(",")) {
            int64_t candidate = 0;
            if (!Value(&candidate)) return false;
            found = found || candidate == subject;
        }
        if (!Take(")")) Fail("')' expected");
        return found;
    }
    bool Comparison() {
        int64_t left = 0, right = 0;
        if (!Value(&left)) return false;
        static const char* const kOperators[] = {"==", "!=", "<=", ">=", "<", ">"};
        int32_t op = -1;
        for (int32_t i = 0; i < 6 && op < 0; ++i)
            if (Take(kOperators[i])) op = i;
        if (op < 0) return Fail("a comparison is expected"), false;
        if (!Value(&right)) return false;
        switch (op) {
            case 0: return left == right;
            case 1: return left != right;
            case 2: return left <= right;
            case 3: return left >= right;
            case 4: return left < right;
            default: return left > right;
        }
    }
    bool Not() {
        if (!error.empty()) return false;
        if (Take("!")) {
            if (Take("=")) return Fail("unexpected '!='"), false;
            return !Not();
        }
        if (Take("(")) {
            if (++nesting > kMaxNesting) return Fail("parentheses nest too deep"), false;
            const bool value = Or();
            --nesting;
            if (!Take(")")) Fail("')' expected");
            return value;
        }
        Space();
        const size_t start = at;
        const std::string word = Word();
        if (word == "true") return true;
        if (word == "false") return false;
        if (word == "in") return In();
        at = start;
        return Comparison();
    }
    bool And() {
        bool value = Not();
        while (error.empty() && Take("&&")) value = Not() && value;
        return value;
    }
    bool Or() {
        bool value = And();
        while (error.empty() && Take("||")) value = And() || value;
        return value;
    }
};

const PiplProperty* FindProperty(const std::vector<PiplProperty>& properties, uint32_t key) {
    for (const PiplProperty& property : properties)
        if (property.vendor == FourCC("8BIM") && property.key == key) return &property;
    return nullptr;
}

// The 8-bit mode whose flag stands for a 16- or 32-bit mode.
int32_t BaseMode(int32_t mode) {
    static const int32_t kBase[] = {1, 3, 9, 4, 7, 8, 3, 1};  // modes 10..17
    return mode >= 10 && mode < kModeCount ? kBase[mode - 10] : mode;
}

bool ModeFlagSet(const std::vector<uint8_t>& flags, int32_t mode) {
    const int32_t base = BaseMode(mode);
    if (base < 0 || base > 9) return false;
    const size_t byte = size_t(base / 8);
    return byte < flags.size() && (flags[byte] & (0x80 >> (base % 8))) != 0;
}

uint64_t ReadLittle(const uint8_t* p, int32_t bytes) {
    uint64_t value = 0;
    for (int32_t i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
    return value;
}

}  // namespace

std::string ImageModeName(int32_t mode) {
    return mode >= 0 && mode < kModeCount ? kModeNames[mode] : "mode " + std::to_string(mode);
}

std::string EvaluateEnableExpression(const std::string& expression, int32_t mode, int32_t depth, bool* enabled) {
    Parser parser(expression);
    parser.mode = mode;
    parser.depth = depth;
    const bool value = parser.Or();
    parser.Space();
    if (parser.error.empty() && parser.at != expression.size()) parser.Fail("unexpected text");
    if (!parser.error.empty()) return parser.error;
    *enabled = value;
    return {};
}

bool PiplEnablesDocument(const std::vector<PiplProperty>& properties, int32_t mode, int32_t depth, std::string* why) {
    const std::string document = ImageModeName(mode) + " documents of " + std::to_string(depth) + " bits per channel";
    bool enabled = true;
    if (const PiplProperty* enable = FindProperty(properties, FourCC("enbl"))) {
        const std::string expression(enable->data.begin(), std::find(enable->data.begin(), enable->data.end(), 0));
        const std::string error = EvaluateEnableExpression(expression, mode, depth, &enabled);
        if (!error.empty()) {
            *why = "the plug-in's enable expression cannot be read (" + error + "), so it is not offered for " + document;
            return false;
        }
    } else if (const PiplProperty* modes = FindProperty(properties, FourCC("mode"))) {
        enabled = depth == 8 && ModeFlagSet(modes->data, mode);
    }
    if (!enabled) *why = "the plug-in is not enabled for " + document;
    return enabled;
}

std::string FindElfSection(const uint8_t* bytes, size_t size, const std::string& name, std::vector<uint8_t>* section) {
    section->clear();
    if (size < 64 || std::memcmp(bytes, "\x7f" "ELF", 4) != 0) return "not an ELF file";
    if (bytes[4] != 2 || bytes[5] != 1) return "not a 64-bit little-endian ELF file";
    const uint64_t table = ReadLittle(bytes + 0x28, 8);
    const uint64_t entrySize = ReadLittle(bytes + 0x3A, 2);
    const uint64_t count = ReadLittle(bytes + 0x3C, 2);
    const uint64_t namesIndex = ReadLittle(bytes + 0x3E, 2);
    if (entrySize < 64 || table > size || count > (size - table) / entrySize || namesIndex >= count)
        return "the ELF section table lies outside the file";
    auto header = [&](uint64_t i) { return bytes + table + i * entrySize; };
    const uint64_t namesAt = ReadLittle(header(namesIndex) + 0x18, 8);
    const uint64_t namesSize = ReadLittle(header(namesIndex) + 0x20, 8);
    if (namesAt > size || namesSize > size - namesAt) return "the ELF section names lie outside the file";
    for (uint64_t i = 0; i < count; ++i) {
        const uint64_t nameAt = ReadLittle(header(i), 4);
        if (nameAt >= namesSize || namesSize - nameAt < name.size() + 1) continue;
        const uint8_t* text = bytes + namesAt + nameAt;
        if (std::memcmp(text, name.data(), name.size()) != 0 || text[name.size()] != 0) continue;
        const uint32_t type = uint32_t(ReadLittle(header(i) + 4, 4));
        const uint64_t at = ReadLittle(header(i) + 0x18, 8);
        const uint64_t length = ReadLittle(header(i) + 0x20, 8);
        if (type != 1) return "the ELF section " + name + " holds no bytes";  // SHT_PROGBITS
        if (at > size || length > size - at) return "the ELF section " + name + " lies outside the file";
        section->assign(bytes + at, bytes + at + length);
        return {};
    }
    return "no ELF section " + name;
}

}  // namespace varno

// Action files: descriptors written and read as lines of text.
#include "host/actions.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace varno {

namespace {

constexpr const char* kHeader = "varno action 1";

std::string CodeToken(uint32_t code) {
    char chars[4];
    bool bare = true, quotable = true;
    for (int i = 0; i < 4; ++i) {
        chars[i] = char(code >> (24 - 8 * i));
        const unsigned char c = uint8_t(chars[i]);
        if (c < 0x20 || c > 0x7E || c == '\'') quotable = false;
        if (c <= 0x20 || c > 0x7E || c == '\'' || c == '"' || c == '#') bare = false;
    }
    if (bare) return std::string(chars, 4);
    if (quotable) {
        std::string quoted(6, '\'');
        quoted.replace(1, 4, chars, 4);
        return quoted;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", unsigned(code));
    return hex;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return "-";
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

std::string Quoted(const std::vector<uint8_t>& bytes) {
    std::string text = "\"";
    for (uint8_t b : bytes) {
        if (b == '"' || b == '\\') {
            text += '\\';
            text += char(b);
        } else if (b < 0x20 || b > 0x7E) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", unsigned(b));
            text += escape;
        } else {
            text += char(b);
        }
    }
    return text + "\"";
}

std::string Real(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// Splits a line into tokens: bare words, 'quoted codes' (kept with their quotes) and "texts"
// (kept with their quotes, escapes untouched).
bool Tokens(const std::string& line, std::vector<std::string>* tokens) {
    tokens->clear();
    size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        size_t start = i;
        if (line[i] == '\'') {
            if (i + 5 >= line.size() || line[i + 5] != '\'') return false;
            i += 6;
        } else if (line[i] == '"') {
            ++i;
            while (i < line.size() && line[i] != '"') i += line[i] == '\\' ? 2 : 1;
            if (i >= line.size()) return false;
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
        }
        tokens->push_back(line.substr(start, i - start));
    }
    return true;
}

bool ParseCode(const std::string& token, uint32_t* code) {
    std::string chars;
    if (token.size() == 4) chars = token;
    else if (token.size() == 6 && token.front() == '\'' && token.back() == '\'') chars = token.substr(1, 4);
    else if (token.size() == 10 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(token.c_str() + 2, &end, 16);
        if (*end != 0) return false;
        *code = uint32_t(value);
        return true;
    } else {
        return false;
    }
    *code = 0;
    for (char c : chars) *code = *code << 8 | uint8_t(c);
    return true;
}

bool ParseInteger(const std::string& token, int64_t min, int64_t max, int64_t* value) {
    if (token.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(token.c_str(), &end, 10);
    if (*end != 0 || errno != 0 || parsed < min || parsed > max) return false;
    *value = parsed;
    return true;
}

bool ParseReal(const std::string& token, double* value) {
    if (token.empty()) return false;
    char* end = nullptr;
    *value = std::strtod(token.c_str(), &end);
    return *end == 0;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHex(const std::string& token, std::vector<uint8_t>* bytes) {
    bytes->clear();
    if (token == "-") return true;
    if (token.size() % 2 != 0) return false;
    for (size_t i = 0; i < token.size(); i += 2) {
        const int high = HexDigit(token[i]), low = HexDigit(token[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes->push_back(uint8_t(high << 4 | low));
    }
    return true;
}

bool ParseText(const std::string& token, std::vector<uint8_t>* bytes) {
    bytes->clear();
    if (token.size() < 2 || token.front() != '"' || token.back() != '"') return false;
    for (size_t i = 1; i + 1 < token.size(); ++i) {
        if (token[i] != '\\') {
            bytes->push_back(uint8_t(token[i]));
            continue;
        }
        if (i + 2 >= token.size()) return false;
        const char next = token[++i];
        if (next == '"' || next == '\\') {
            bytes->push_back(uint8_t(next));
        } else if (next == 'x' && i + 2 < token.size()) {
            const int high = HexDigit(token[i + 1]), low = HexDigit(token[i + 2]);
            if (high < 0 || low < 0) return false;
            bytes->push_back(uint8_t(high << 4 | low));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

// One item from the tokens after the key and type; false when they do not fit the type.
bool ParseValue(const std::vector<std::string>& t, DescriptorItem* item) {
    const size_t n = t.size();
    int64_t integer;
    switch (item->type) {
        case kDescInteger:
            if (n != 3 || !ParseInteger(t[2], INT32_MIN, INT32_MAX, &integer)) return false;
            item->integer = integer;
            return true;
        case kDescCount:
            if (n != 3 || !ParseInteger(t[2], 0, UINT32_MAX, &integer)) return false;
            item->integer = integer;
            return true;
        case kDescFloat:
            return n == 3 && ParseReal(t[2], &item->real);
        case kDescUnitFloat:
            return n == 4 && ParseCode(t[2], &item->detail) && ParseReal(t[3], &item->real);
        case kDescBoolean:
            if (n != 3 || (t[2] != "true" && t[2] != "false")) return false;
            item->integer = t[2] == "true" ? 1 : 0;
            return true;
        case kDescEnumerated:
            if (n != 4 || !ParseCode(t[2], &item->detail) || !ParseInteger(t[3], 0, UINT32_MAX, &integer)) return false;
            item->integer = integer;
            return true;
        case kDescText:
            return n == 3 && ParseText(t[2], &item->bytes);
        case kDescClass: case kDescScopedClass:
            return n == 3 && ParseCode(t[2], &item->detail);
        case kDescAlias:
            return n == 3 && ParseHex(t[2], &item->bytes);
        case kDescReference:
            return n == 3 && ParseHex(t[2], &item->bytes) && item->bytes.size() == kSimpleReferenceSize;
        case kDescObject: case kDescScopedObject:
            return n == 4 && ParseCode(t[2], &item->detail) && ParseHex(t[3], &item->bytes);
        default:
            return false;
    }
}

}  // namespace

std::string FormatAction(const Descriptor& descriptor) {
    std::string text = std::string(kHeader) + "\n";
    for (const DescriptorItem& item : descriptor.items) {
        std::string line = CodeToken(item.key) + " " + CodeToken(item.type) + " ";
        switch (item.type) {
            case kDescInteger: case kDescCount:
                line += std::to_string(item.integer);
                break;
            case kDescFloat:
                line += Real(item.real);
                break;
            case kDescUnitFloat:
                line += CodeToken(item.detail) + " " + Real(item.real);
                break;
            case kDescBoolean:
                line += item.integer ? "true" : "false";
                break;
            case kDescEnumerated:
                line += CodeToken(item.detail) + " " + std::to_string(uint32_t(item.integer));
                break;
            case kDescText:
                line += Quoted(item.bytes);
                break;
            case kDescClass: case kDescScopedClass:
                line += CodeToken(item.detail);
                break;
            case kDescObject: case kDescScopedObject:
                line += CodeToken(item.detail) + " " + Hex(item.bytes);
                break;
            default:
                line += Hex(item.bytes);
                break;
        }
        text += line + "\n";
    }
    return text;
}

std::string ParseAction(const std::string& text, Descriptor* descriptor) {
    Descriptor parsed;
    size_t start = 0;
    int lineNumber = 0;
    bool headerSeen = false;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        if (!headerSeen) {
            if (line.substr(first) != kHeader) return where + "expected \"" + kHeader + "\"";
            headerSeen = true;
            continue;
        }
        std::vector<std::string> tokens;
        DescriptorItem item;
        if (!Tokens(line, &tokens) || tokens.size() < 3 || !ParseCode(tokens[0], &item.key) ||
            !ParseCode(tokens[1], &item.type))
            return where + "expected KEY TYPE VALUE";
        if (!ParseValue(tokens, &item)) return where + "bad value for type " + tokens[1];
        parsed.items.push_back(std::move(item));
    }
    if (!headerSeen) return "not a varno action file (no \"" + std::string(kHeader) + "\" line)";
    *descriptor = std::move(parsed);
    return {};
}

void PutEdgeChoice(Descriptor* descriptor, int32_t method, int32_t radius) {
    if (method != 0) descriptor->PutEnumerated(FourCC("EdgM"), FourCC("rB45"), uint32_t(method));
    if (radius != 0) descriptor->PutInteger(FourCC("edgR"), radius);
}

}  // namespace varno

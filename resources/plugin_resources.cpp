// The PiPL and AETE of the plug-in: one declarative table for each, and the writers that turn
// them into resource bytes. The tables are checked at compile time, so a name that outgrows its
// property cannot produce a truncated resource.
#include "resources/plugin_resources.h"

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "params/edge_table.h"

namespace {

// ---- what the host learns about the plug-in ------------------------------------------------------

constexpr std::string_view kMenuName = "Varnocketile...";
constexpr std::string_view kCategory = "QUENLIX";
constexpr std::string_view kEntryPoint = "ENTRYPOINT";
constexpr std::string_view kVendor = "Varnocketile Team";
constexpr std::string_view kScriptClass = "vXEa";
constexpr std::string_view kScriptEvent = "edgS";
constexpr std::string_view kScriptScope = "VEXAedgS";
constexpr uint32_t kInterfaceVersion = 0x00010000;  // selection interface 1.0

enum class Payload {
    FourCC,        // a four-character code
    Word,          // a 32-bit number
    PaddedPascal,  // length byte and characters, then spaces to the property's length
    EntryPoint,    // the entry point's name, then zero bytes to the property's length
    Terminology,   // scripting class, event, terminology ID, scope and vendor, zero-padded
    Bytes,         // raw bytes
    CString,       // the characters and a zero byte, then zero bytes to the property's length
};

struct PiplProperty {
    std::string_view key;  // the 32-bit plug-in's key; the code property changes with the build
    uint32_t length;
    Payload payload;
    std::string_view text;
    uint32_t number;
};

constexpr std::string_view kCodeKey32 = "wx86";
constexpr std::string_view kCodeKey64 = "8664";
constexpr std::string_view kCodeKeyArm64 = "wa64";
// Supported modes, the flags a host defines: first byte 0x40 grey | 0x10 RGB | 0x08 CMYK, second
// byte 0x40 Lab. They enable 8-bit documents only; the enable expression below is what a current
// host reads, and it adds the 16-bit documents.
constexpr std::string_view kModeFlags{"\x58\x40\x00\x00", 4};
// The documents the plug-in reads (plugin/execute.cpp checks the same): grey, RGB, CMYK and Lab at
// 8 and 16 bits per channel, whether the host names a 16-bit document by its 8-bit mode or its own.
constexpr std::string_view kEnableExpression =
    "in (PSHOP_ImageMode, GrayScaleMode, RGBMode, CMYKMode, LabMode, Gray16Mode, RGB48Mode, CMYK64Mode, "
    "Lab48Mode) && (PSHOP_ImageDepth == 8 || PSHOP_ImageDepth == 16)";
// A C string's property length: the characters and their zero, padded to a multiple of 4.
constexpr uint32_t CStringLength(std::string_view text) { return uint32_t(text.size() + 1 + 3) / 4 * 4; }

constexpr PiplProperty kPiplProperties[] = {
    {"kind", 4, Payload::FourCC, "8BSM", 0},
    {"name", 32, Payload::PaddedPascal, kMenuName, 0},
    {"catg", 32, Payload::PaddedPascal, kCategory, 0},
    {"vers", 4, Payload::Word, {}, kInterfaceVersion},
    {kCodeKey32, 12, Payload::EntryPoint, kEntryPoint, 0},
    {"hstm", 48, Payload::Terminology, {}, 0},
    {"mode", 4, Payload::Bytes, kModeFlags, 0},
    {"prog", 32, Payload::PaddedPascal, kMenuName, 0},
    {"enbl", CStringLength(kEnableExpression), Payload::CString, kEnableExpression, 0},
    // The dialog lays itself out for the DPI of its monitor (ui/dialog_layout_win32.h), so a
    // per-monitor aware host need not scale it as a bitmap.
    {"pmsa", 4, Payload::Word, {}, 1},
};

// ---- the scripting terminology -----------------------------------------------------------------

constexpr uint16_t kEnumeratedFlag = 0x2000;

struct AeteParameter {
    std::string_view name;
    std::string_view key;
    std::string_view type;
    uint16_t flags;
};

struct AeteItem {
    std::string_view name;
    uint32_t value;
};

struct AeteEnumeration {
    std::string_view id;
    std::span<const AeteItem> items;
};

// The terminology is shared by a family of plug-ins; this one reads and writes only the edge
// radius (held as an integer although the family declares it a real) and the method.
constexpr AeteParameter kAeteParameters[] = {
    {"Amount", "amnT", "doub", 0},
    {"Threshold", "thrS", "doub", 0},
    {"Softness", "sofT", "doub", 0},
    {"Contrast", "ctrS", "doub", 0},
    {"Brightness", "brtN", "doub", 0},
    {"Angle", "angL", "doub", 0},
    {"Distance", "dstN", "doub", 0},
    {"Grain Size", "grnS", "doub", 0},
    {"Noise Amount", "noiS", "doub", 0},
    {"Blur Radius", "blrR", "doub", 0},
    {"Sharpen Amount", "shrP", "doub", 0},
    {"Line Weight", "lnwT", "doub", 0},
    {"Texture Scale", "txsC", "doub", 0},
    {"Texture Relief", "txrL", "doub", 0},
    {"Light Angle", "lgtA", "doub", 0},
    {"Invert", "invR", "bool", 0},
    {"Preserve Colors", "prsC", "bool", 0},
    {"Monochrome", "monO", "bool", 0},
    {"Smooth Edges", "smeD", "bool", 0},
    {"Texture File", "txfL", "TEXT", 0},
    {"Caption", "capT", "TEXT", 0},
    {"Line Style", "lnsT", "rB37", kEnumeratedFlag},
    {"Texture Type", "txtY", "rB39", kEnumeratedFlag},
    {"Light Direction", "lgtD", "rB40", kEnumeratedFlag},
    {"Noise Distribution", "noiD", "rB41", kEnumeratedFlag},
    {"Blend Mode", "blnM", "rB42", kEnumeratedFlag},
    {"Edge Intensity", "edgI", "doub", 0},
    {"Edge Contrast", "edgC", "doub", 0},
    {"Colour Levels", "clrL", "doub", 0},
    {"Stroke Direction", "strD", "rB47", kEnumeratedFlag},
    {"Edge Radius", "edgR", "doub", 0},
    {"Edge Softness", "edgF", "doub", 0},
    {"Outline Mode", "otlM", "rB48", kEnumeratedFlag},
    {"Edge Threshold", "edgT", "doub", 0},
    {"Edge Finding Method", "EdgM", "rB45", kEnumeratedFlag},
};

constexpr AeteItem kLineStyles[] = {{"Solid", 1}, {"Dashed", 2}, {"Dotted", 3}};
constexpr AeteItem kTextureTypes[] = {{"Canvas", 1}, {"Burlap", 2}, {"Brick", 3}, {"Sandstone", 4}};
constexpr AeteItem kLightDirections[] = {{"Top", 1}, {"Bottom", 2}, {"Left", 3}, {"Right", 4}};
constexpr AeteItem kNoiseDistributions[] = {{"Uniform", 1}, {"Gaussian", 2}};
constexpr AeteItem kBlendModes[] = {{"Normal", 1}, {"Multiply", 2}, {"Screen", 3}, {"Overlay", 4}};
constexpr AeteItem kStrokeDirections[] = {{"Horizontal", 1}, {"Vertical", 2}, {"Diagonal", 3}};
// The methods by the names and numbers of the edge parameter table.
constexpr auto kMethodItems = [] {
    std::array<AeteItem, kEdgeMethodCount> items{};
    for (int32_t i = 0; i < kEdgeMethodCount; ++i)
        items[size_t(i)] = {kEdgeMethods[i].name, uint32_t(kEdgeMethods[i].number)};
    return items;
}();
constexpr AeteItem kOutlineModes[] = {{"Inside", 1}, {"Centre", 2}, {"Outside", 3}};

constexpr AeteEnumeration kAeteEnumerations[] = {
    {"rB37", kLineStyles},       {"rB39", kTextureTypes}, {"rB40", kLightDirections},
    {"rB41", kNoiseDistributions}, {"rB42", kBlendModes},  {"rB47", kStrokeDirections},
    {"rB45", kMethodItems},      {"rB48", kOutlineModes},
};

struct AeteSuite {
    std::string_view name;
    std::string_view description;
    std::string_view id;
    uint16_t level;
    uint16_t version;
};

struct AeteEvent {
    std::string_view name;
    std::string_view description;
    std::string_view eventClass;
    std::string_view id;
    std::string_view replyType;
    uint16_t replyFlags;
    std::string_view directType;
    uint16_t directFlags;
};

constexpr AeteSuite kAeteSuite = {kVendor, "QUENLIX 3.0", kScriptClass, 1, 1};
constexpr AeteEvent kAeteEvent = {"Varnocketile", "abcd", kScriptClass, kScriptEvent, "null", 0, "#ImR", 0xB000};

// ---- compile-time checks of the tables ------------------------------------------------------------

constexpr bool IsCode(std::string_view code) { return code.size() == 4; }

constexpr bool PiplFits() {
    for (const PiplProperty& p : kPiplProperties) {
        if (!IsCode(p.key)) return false;
        switch (p.payload) {
            case Payload::FourCC:
                if (!IsCode(p.text) || p.length != 4) return false;
                break;
            case Payload::Word:
                if (p.length != 4) return false;
                break;
            case Payload::PaddedPascal:
                if (p.text.size() > 255 || 1 + p.text.size() > p.length) return false;
                break;
            case Payload::EntryPoint:
            case Payload::CString:
                if (p.text.size() + 1 > p.length || p.length % 4 != 0) return false;
                break;
            case Payload::Terminology:
                if (14 + kScriptScope.size() + 1 + kVendor.size() + 1 > p.length) return false;
                break;
            case Payload::Bytes:
                if (p.text.size() != p.length) return false;
                break;
        }
    }
    return IsCode(kScriptClass) && IsCode(kScriptEvent) && IsCode(kCodeKey64) && IsCode(kCodeKeyArm64);
}
static_assert(PiplFits(), "a PiPL property does not fit its declared length");

constexpr bool IsPascal(std::string_view text) { return text.size() <= 255; }

constexpr bool AeteWellFormed() {
    int edgeMethod = -1;
    int edgeRadius = -1;
    int index = 0;
    for (const AeteParameter& p : kAeteParameters) {
        if (!IsPascal(p.name) || !IsCode(p.key) || !IsCode(p.type)) return false;
        bool enumerated = p.type.substr(0, 2) == "rB";
        if ((p.flags == kEnumeratedFlag) != enumerated) return false;
        if (p.key == "EdgM") edgeMethod = index;
        if (p.key == "edgR") edgeRadius = index;
        ++index;
    }
    int methods = -1;
    index = 0;
    for (const AeteEnumeration& e : kAeteEnumerations) {
        if (!IsCode(e.id) || e.items.size() > 0xFFFF) return false;
        for (const AeteItem& item : e.items) {
            if (!IsPascal(item.name)) return false;
        }
        if (e.id == "rB45") methods = index;
        ++index;
    }
    int last = int(std::size(kAeteParameters)) - 1;
    return edgeMethod == last && edgeRadius == last - 4 && methods == 6 &&
           IsPascal(kAeteSuite.name) && IsPascal(kAeteSuite.description) && IsCode(kAeteSuite.id) &&
           IsPascal(kAeteEvent.name) && IsPascal(kAeteEvent.description) && IsCode(kAeteEvent.eventClass) &&
           IsCode(kAeteEvent.id) && IsCode(kAeteEvent.replyType) && IsCode(kAeteEvent.directType);
}
static_assert(std::size(kAeteParameters) == 35 && std::size(kAeteEnumerations) == 8);
static_assert(AeteWellFormed(), "the terminology lost its method, radius or method enumeration");

// ---- writers --------------------------------------------------------------------------------------

struct Writer {
    std::vector<uint8_t> bytes;

    void U8(uint8_t value) { bytes.push_back(value); }
    void U16(uint16_t value) {
        U8(uint8_t(value));
        U8(uint8_t(value >> 8));
    }
    void U32(uint32_t value) {
        U16(uint16_t(value));
        U16(uint16_t(value >> 16));
    }
    // A code is a 32-bit value, first character most significant, stored little-endian.
    void Code(std::string_view code) {
        U32(uint32_t(uint8_t(code[0])) << 24 | uint32_t(uint8_t(code[1])) << 16 |
            uint32_t(uint8_t(code[2])) << 8 | uint32_t(uint8_t(code[3])));
    }
    void Text(std::string_view text) { bytes.insert(bytes.end(), text.begin(), text.end()); }
    void Pascal(std::string_view text) {
        U8(uint8_t(text.size()));
        Text(text);
    }
    void CString(std::string_view text) {
        Text(text);
        U8(0);
    }
    void PadTo(size_t size, uint8_t fill) {
        while (bytes.size() < size) U8(fill);
    }
};

void WriteProperty(Writer& out, const PiplProperty& property, std::string_view key) {
    out.Code("8BIM");
    out.Code(key);
    out.U32(0);
    out.U32(property.length);
    size_t start = out.bytes.size();
    size_t end = start + property.length;
    switch (property.payload) {
        case Payload::FourCC:
            out.Code(property.text);
            break;
        case Payload::Word:
            out.U32(property.number);
            break;
        case Payload::PaddedPascal:
            out.Pascal(property.text);
            out.PadTo(end, ' ');
            break;
        case Payload::EntryPoint:
        case Payload::CString:
            out.CString(property.text);
            out.PadTo(end, 0);
            break;
        case Payload::Terminology:
            out.U32(0);
            out.Code(kScriptClass);
            out.Code(kScriptEvent);
            out.U16(uint16_t(kPluginResourceId));
            out.CString(kScriptScope);
            out.CString(kVendor);
            out.PadTo(end, 0);
            break;
        case Payload::Bytes:
            out.Text(property.text);
            break;
    }
    // Each property's data is padded to a multiple of 4 counted from the property's own start.
    size_t propertyStart = start - 16;
    while ((out.bytes.size() - propertyStart) % 4 != 0) out.U8(0);
}

}  // namespace

const char* const kPluginVendorName = kVendor.data();

std::vector<uint8_t> BuildPiplResource(PluginArchitecture architecture) {
    Writer out;
    out.U16(1);
    out.U32(0);
    out.U32(uint32_t(std::size(kPiplProperties)));
    for (const PiplProperty& property : kPiplProperties) {
        std::string_view key = property.key;
        if (property.payload == Payload::EntryPoint && architecture == PluginArchitecture::X64) key = kCodeKey64;
        if (property.payload == Payload::EntryPoint && architecture == PluginArchitecture::Arm64) key = kCodeKeyArm64;
        WriteProperty(out, property, key);
    }
    return out.bytes;
}

std::vector<uint8_t> BuildAeteResource() {
    Writer out;
    out.U16(1);
    out.U8(1);  // terminology version 1.0
    out.U8(0);
    out.U16(0);  // language
    out.U16(0);  // script
    out.U16(1);  // one suite

    out.Pascal(kAeteSuite.name);
    out.Pascal(kAeteSuite.description);
    out.Code(kAeteSuite.id);
    out.U16(kAeteSuite.level);
    out.U16(kAeteSuite.version);
    out.U16(1);  // one event

    out.Pascal(kAeteEvent.name);
    out.Pascal(kAeteEvent.description);
    out.Code(kAeteEvent.eventClass);
    out.Code(kAeteEvent.id);
    out.Code(kAeteEvent.replyType);
    out.Pascal("");
    out.U16(kAeteEvent.replyFlags);
    out.Code(kAeteEvent.directType);
    out.Pascal("");
    out.U16(kAeteEvent.directFlags);
    out.U16(uint16_t(std::size(kAeteParameters)));
    for (const AeteParameter& p : kAeteParameters) {
        out.Pascal(p.name);
        out.Code(p.key);
        out.Code(p.type);
        out.Pascal("");
        out.U16(p.flags);
    }

    out.U16(0);  // classes
    out.U16(0);  // comparison operators
    out.U16(uint16_t(std::size(kAeteEnumerations)));
    for (const AeteEnumeration& e : kAeteEnumerations) {
        out.Code(e.id);
        out.U16(uint16_t(e.items.size()));
        for (const AeteItem& item : e.items) {
            out.Pascal(item.name);
            out.U32(item.value);
            out.Pascal("");
        }
    }
    return out.bytes;
}

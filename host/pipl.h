// Reading a plug-in's property list (PiPL) the way a Windows host does.
//
// Layout (little-endian): int16 1, int32 version 0, int32 property count, then each property:
// vendor, key (4CCs stored as little-endian 32-bit values), int32 id, int32 length, `length`
// data bytes, and zero padding to a multiple of 4 bytes measured from the start of the property.
// The last property's padding may be missing. Anything that runs past the end is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varno {

struct PiplProperty {
    uint32_t vendor = 0;
    uint32_t key = 0;
    int32_t id = 0;
    std::vector<uint8_t> data;
};

// Empty on success, else what is wrong.
std::string ParsePipl(const uint8_t* bytes, size_t size, std::vector<PiplProperty>* properties);

// Checks that the list describes a selection module ('kind' '8BSM') and gives the entry point's
// name from the code property for this program's bitness ('8664' when `wide`, else 'wx86'), read
// up to its terminating zero. Empty on success, else what is wrong.
std::string PiplEntryPoint(const std::vector<PiplProperty>& properties, bool wide, std::string* name);

// ---- which documents the plug-in is enabled for -------------------------------------------------

// The API's name of an image mode ("RGB", "Indexed", "CMYK64", ...), or "mode N" for another number.
std::string ImageModeName(int32_t mode);

// Evaluates an enable expression ('enbl') for a document of `mode` and `depth` bits per channel.
// Grammar: or := and ("||" and)*; and := not ("&&" not)*; not := "!" not | "(" or ")" | "true" |
// "false" | "in" "(" value ("," value)* ")" | value op value, op one of == != < <= > >=; a value
// is a decimal number, PSHOP_ImageMode, PSHOP_ImageDepth or a mode name (BitmapMode,
// GrayScaleMode, IndexedMode, RGBMode, ... Gray32Mode, as the API numbers them); "in" is true when
// its first value equals one of the others. Parentheses nest at most 64 deep. Empty on success
// (with *enabled set), else what is wrong.
std::string EvaluateEnableExpression(const std::string& expression, int32_t mode, int32_t depth, bool* enabled);

// Whether the PiPL lets a host offer the plug-in for the document, as a current host decides: by
// the 'enbl' expression (C string, up to its terminating zero) when the list has one, else by the
// 'mode' flags (byte 0 from its most significant bit: Bitmap, GrayScale, Indexed, RGB, CMYK, HSL,
// HSB, Multichannel; byte 1: Duotone 0x80, Lab 0x40), which enable only 8-bit documents (a 16- or
// 32-bit mode counts as its 8-bit base mode); without either, every document. A malformed
// expression enables nothing. When the answer is no, `why` says so in one line naming the mode and
// depth (or what is wrong with the expression).
bool PiplEnablesDocument(const std::vector<PiplProperty>& properties, int32_t mode, int32_t depth, std::string* why);

// The bytes of the section `name` of an ELF file (64-bit, little-endian) held in `bytes`: how a
// host finds a native plug-in's PiPL (section ".pipl"). Empty on success, else what is wrong.
std::string FindElfSection(const uint8_t* bytes, size_t size, const std::string& name, std::vector<uint8_t>* section);

}  // namespace varno

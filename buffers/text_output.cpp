// Text output to an open file: a text, then on request a tab and a line end, stopping silently at
// the first write that fails.
#include <cstring>

#include "buffers/text_output.h"

namespace {

const uint8_t kTab[1] = {9};
const uint8_t kLineEnd[2] = {13, 10};

bool WriteBytes(FileHandle file, const void* bytes, int32_t count) {
    return FileWrite(file, &count, bytes) == 0;
}

void WriteSeparators(FileHandle file, bool tab, bool lineEnd) {
    if (tab && !WriteBytes(file, kTab, 1)) return;
    if (lineEnd) WriteBytes(file, kLineEnd, 2);
}

}  // namespace

void WriteText(FileHandle file, const char* text, bool tab, bool lineEnd) {
    if (text && !WriteBytes(file, text, int32_t(std::strlen(text)))) return;
    WriteSeparators(file, tab, lineEnd);
}

void WritePrefixedText(FileHandle file, const unsigned char* text, bool tab, bool lineEnd) {
    if (text && !WriteBytes(file, text + 1, text[0])) return;
    WriteSeparators(file, tab, lineEnd);
}

void WriteInteger(FileHandle file, int32_t value, bool tab, bool lineEnd) {
    char digits[12];
    int32_t start = sizeof digits;
    // Widened so that the most negative value has a magnitude too.
    int64_t magnitude = value < 0 ? -int64_t(value) : int64_t(value);
    do {
        digits[--start] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0) digits[--start] = '-';
    if (!WriteBytes(file, digits + start, int32_t(sizeof digits) - start)) return;
    WriteSeparators(file, tab, lineEnd);
}

void CodeToText(uint32_t code, unsigned char text[5]) {
    text[0] = 4;
    for (int i = 0; i < 4; ++i) text[1 + i] = static_cast<unsigned char>(code >> (24 - 8 * i));
}

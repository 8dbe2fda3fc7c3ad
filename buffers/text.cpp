// Terminated-string utilities and text blocks.
#include <cstring>

#include "base/memory.h"
#include "buffers/files.h"

void CopyTextBounded(const char* source, char* destination, int32_t capacity) {
    if (!destination || capacity < 1) return;
    if (!source) {
        destination[0] = 0;
        return;
    }
    for (int32_t i = 0; i < capacity; ++i) {
        destination[i] = source[i];
        if (source[i] == 0) return;
    }
    // No terminator within capacity: the text is cut so that it still ends in one.
    destination[capacity - 1] = 0;
}

void JoinTexts(const char* first, const char* second, char* destination) {
    if (!destination) return;
    size_t firstLength = first ? std::strlen(first) : 0;
    size_t secondLength = second ? std::strlen(second) : 0;
    // The second text moves first, so that a destination that is also one of the sources is read
    // before it is overwritten.
    if (second) std::memmove(destination + firstLength, second, secondLength);
    destination[firstLength + secondLength] = 0;
    if (first && first != destination) std::memmove(destination, first, firstLength);
}

char* NewText(int32_t size) {
    if (size < 0) return nullptr;
    return static_cast<char*>(AllocateMemoryBlock(uint32_t(size)));
}

void DisposeText(char* text) {
    if (!text) return;
    text[0] = 0;
    FreeMemoryBlock(text);
}

// Text output to an open file at its current position. Each operation writes its text, then on
// request a tab (9) and a line end (13, 10); a failed write stops the operation silently.
#pragma once

#include <cstdint>

#include "buffers/files.h"

void WriteText(FileHandle file, const char* text, bool tab, bool lineEnd);
void WritePrefixedText(FileHandle file, const unsigned char* text, bool tab, bool lineEnd);
void WriteInteger(FileHandle file, int32_t value, bool tab, bool lineEnd);
// Length 4, then the code's characters, most significant first.
void CodeToText(uint32_t code, unsigned char text[5]);

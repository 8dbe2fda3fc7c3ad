// `-` on varno's command line: the picture read from standard input, the picture written to
// standard output, and --format, the picture type of the latter (a file's follows its extension).
//
// Contract: "-" as IN is standard input, read to its end and then checked and decoded as a file's
// bytes are; "-" as -o's value is standard output, which gets the whole encoded picture in one go
// once the run and its encoding succeeded, and nothing else (varno's messages are on stderr). A file
// named "-" is given as "./-". Functions return an empty text on success, else the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "images/images.h"

namespace varno {

bool IsStandardStream(const std::string& path);
// A place as varno's lines name it: 'PATH', or standard input or output for "-".
std::string PlaceName(const std::string& path, bool output);

// IN read: the file, or standard input for "-".
std::string ReadPicture(const std::string& input, Document* document, std::vector<std::string>* warnings = nullptr);
// The picture written whole: to the file in the type its extension names, or for "-" to standard
// output in `type` (PNG when none).
std::string WritePicture(const std::string& output, PictureType type, int32_t width, int32_t height, int32_t channels,
                         const uint8_t* pixels, const EncodeOptions& options);

// --format TYPE: 1 when args[*i] was it and its value was taken, 0 for another argument, 2 (the
// exit code) after reporting a bad value.
int TakeFormat(const std::vector<std::string>& args, size_t* i, PictureType* format);
// The command-line refusals of "-" (0, or 2 after reporting one): standard input is one picture
// alone and needs -o, and --format goes with -o - only.
int CheckStreamUse(const std::vector<std::string>& inputs, const std::string& output, PictureType format);
// Why the picture cannot go to `output` when it is "-" (standard output is closed), else empty:
// checked before anything runs.
std::string StandardOutputRefusal(const std::string& output);

}  // namespace varno

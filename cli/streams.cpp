// `-` for standard input and output on varno's command line, and --format.
#include "cli/streams.h"

#include <algorithm>

#include "cli/varno.h"
#include "images/system.h"

namespace varno {

bool IsStandardStream(const std::string& path) { return path == "-"; }

std::string PlaceName(const std::string& path, bool output) {
    if (IsStandardStream(path)) return output ? "standard output" : "standard input";
    return "'" + path + "'";
}

std::string ReadPicture(const std::string& input, Document* document, std::vector<std::string>* warnings) {
    return IsStandardStream(input) ? ReadImageStandardInput(document, warnings) : ReadImageFile(input, document, warnings);
}

std::string WritePicture(const std::string& output, PictureType type, int32_t width, int32_t height, int32_t channels,
                         const uint8_t* pixels, const EncodeOptions& options) {
    const bool stream = IsStandardStream(output);
    std::vector<uint8_t> bytes;
    std::string error = stream ? EncodePicture(type == PictureType::kNone ? PictureType::kPng : type, width, height,
                                               channels, pixels, &bytes, options)
                               : EncodeImage(output, width, height, channels, pixels, &bytes, options);
    if (error.empty()) error = stream ? WriteStandardOutput(bytes) : WriteFileAtomically(output, bytes);
    return error;
}

int TakeFormat(const std::vector<std::string>& args, size_t* i, PictureType* format) {
    if (args[*i] != "--format") return 0;
    std::string value;
    if (!TakeValue(args, i, &value) || (*format = PictureTypeNamed(value)) == PictureType::kNone)
        return UsageError("--format takes png, tiff, bmp or jpeg");
    return 1;
}

int CheckStreamUse(const std::vector<std::string>& inputs, const std::string& output, PictureType format) {
    const bool fromInput = std::any_of(inputs.begin(), inputs.end(), IsStandardStream);
    if (fromInput && inputs.size() > 1) return UsageError("standard input ('-') is one picture alone, never part of a batch");
    if (fromInput && output.empty()) return UsageError("a picture from standard input needs -o OUT or -o - (standard output)");
    if (format != PictureType::kNone && !IsStandardStream(output))
        return UsageError("--format is for -o - (a file's type follows its extension)");
    return 0;
}

std::string StandardOutputRefusal(const std::string& output) {
    if (!IsStandardStream(output) || StandardStreamOpen(stdout)) return {};
    return "cannot write standard output: it is closed";
}

}  // namespace varno

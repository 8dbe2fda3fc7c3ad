// varno edges and varno sample: the methods as a tool, and the sample picture.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/progress.h"
#include "base/results.h"
#include "buffers/colour.h"
#include "buffers/image_buffer.h"
#include "cli/interrupt.h"
#include "cli/streams.h"
#include "cli/varno.h"
#include "edges/methods.h"
#include "params/edge_table.h"
#include "images/images.h"
#include "host/messages.h"
#include "host/platform.h"
#include "images/sample.h"

namespace varno {

namespace {

// The edges tool's progress pair: the bar on the terminal, Ctrl-C as the stop request.
int32_t edgesBar = -1;
bool edgesShowBar = false;
int32_t EdgesAbort(void*) { return StopFlag()->load() ? 1 : 0; }
void EdgesProgress(void*, int32_t k, int32_t n) {
    if (edgesShowBar) DrawProgressBar(k, n, &edgesBar);
}

// The document as the methods take it: 8-bit grey, or interleaved 8-bit RGB for every colour
// mode (CMYK and Lab through the plug-in's own conversions).
bool MethodPixels(const Document& document, int16_t* planes, std::vector<uint8_t>* pixels) {
    const size_t count = size_t(document.width) * size_t(document.height);
    auto sample = [&](size_t c, size_t i) { return Sample8At(document, c, i); };
    switch (document.mode) {
        case 1: case 10:
            *planes = 1;
            pixels->resize(count);
            for (size_t i = 0; i < count; ++i) (*pixels)[i] = sample(0, i);
            return true;
        case 3: case 11: case 4: case 13: case 9: case 12:
            *planes = 3;
            pixels->resize(count * 3);
            for (size_t i = 0; i < count; ++i) {
                uint8_t* rgb = &(*pixels)[3 * i];
                if (document.mode == 4 || document.mode == 13) {
                    ConvertCmykPixel(sample(0, i), sample(1, i), sample(2, i), sample(3, i), rgb);
                } else if (document.mode == 9 || document.mode == 12) {
                    ConvertLabPixel(sample(0, i), sample(1, i), sample(2, i), rgb);
                } else {
                    rgb[0] = sample(0, i), rgb[1] = sample(1, i), rgb[2] = sample(2, i);
                }
            }
            return true;
        default:
            return false;
    }
}

}  // namespace

int Edges(const std::vector<std::string>& args) {
    std::string input, output, threads;
    int32_t method = kDefaultMethod, radius = kDefaultRadius, givenRadius = 0;
    bool quiet = false;
    EncodeOptions encoding;
    PictureType format = PictureType::kNone;  // of -o -
    bool options = true;  // until "--"
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options && arg == "--") {
            options = false;
        } else if (!options && !input.empty()) {
            return UsageError("one input picture only");
        } else if (!options) {
            input = arg;
        } else if (arg == "-o") {
            if (!TakeValue(args, &i, &output)) return UsageError("-o needs a file name");
        } else if (const int taken = TakeMethodOrRadius(args, &i, &method, &givenRadius); taken == 2) {
            return taken;
        } else if (taken == 1) {
            continue;
        } else if (const int formatTaken = TakeFormat(args, &i, &format); formatTaken != 0) {
            if (formatTaken == 2) return formatTaken;
        } else if (arg == "--threads") {
            if (!TakeValue(args, &i, &threads) || threads.empty()) return UsageError("--threads takes a number of threads");
        } else if (arg == "--smaller-png") {
            encoding.smaller = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (!arg.empty() && arg[0] == '-' && !IsStandardStream(arg)) {
            return UnknownWord("option", arg,
                               {"-o", "-m", "-r", "--format", "--threads", "--smaller-png", "--quiet", "--help"});
        } else if (input.empty()) {
            input = arg;
        } else {
            return UsageError("one input picture only");
        }
    }
    if (input.empty()) return UsageError("edges needs an input picture");
    if (output.empty()) return UsageError("edges needs -o OUT.png");
    if (const int status = CheckStreamUse({input}, output, format); status != 0) return status;
    if (std::string error = SetThreadCount(threads); !error.empty()) return UsageError(error);
    if (givenRadius != 0) radius = givenRadius;
    // Checked before the picture is read and the method runs.
    std::vector<NamedFile> files;
    if (!IsStandardStream(input)) files.push_back({input, false, "the input picture"});
    if (!IsStandardStream(output)) files.push_back({output, true, "the output", true});
    std::string refusal = SameFileRefusal(files);
    if (refusal.empty()) refusal = StandardOutputRefusal(output);
    if (refusal.empty()) refusal = OutputRefusal(files);
    if (!refusal.empty()) return Failure(refusal);
    if (std::string warning = RadiusWarning(method, givenRadius); !warning.empty()) PrintLine(stderr, warning);

    Document document;
    if (std::string error = ReadPicture(input, &document); !error.empty())
        return Failure("cannot read " + PlaceName(input, false) + ": " + error);
    int16_t planes = 0;
    std::vector<uint8_t> pixels;
    if (!MethodPixels(document, &planes, &pixels)) return ResultFailure(kErrUnsupportedMode);
    if (document.width > 32767 || document.height > 32767)
        return Failure(PlaceName(input, false) + " is larger than 32767 pixels on a side");
    const int32_t width = document.width, height = document.height;
    const size_t rowBytes = size_t(width) * size_t(planes);

    ImageBuffer* image = nullptr;
    int16_t result = CreateImageBuffer("varno edges", width, height, planes, &image);
    if (result == kNoErr && (!image || !image->mapped)) result = kErrOutOfMemory;
    if (result == kNoErr) {
        for (int32_t row = 0; row < height; ++row) WriteBufferRow(image, 0, row, int32_t(rowBytes), &pixels[size_t(row) * rowBytes]);
        edgesShowBar = !quiet && StderrIsTerminal();
        const ProgressPair progress = {EdgesProgress, EdgesAbort, nullptr};
        result = RunEdgeMethod(method, radius, image, &progress, 1);
        ClearProgressBar(&edgesBar);
    }
    if (result == kNoErr)
        for (int32_t row = 0; row < height; ++row) ReadBufferRow(image, 0, row, int32_t(rowBytes), &pixels[size_t(row) * rowBytes]);
    if (image) DisposeImageBuffer(image);
    if (result != kNoErr) return ResultFailure(result);

    if (std::string error = WritePicture(output, format, width, height, planes, pixels.data(), encoding); !error.empty())
        return Failure("cannot write " + PlaceName(output, true) + ": " + error);
    if (!quiet && !IsStandardStream(output)) std::printf("varno: edges written to %s\n", output.c_str());
    return 0;
}

int Sample(const std::vector<std::string>& args) {
    std::string output, value;
    int32_t width = 640, height = 427;
    uint32_t seed = 1;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--size") {
            int w = 0, h = 0;
            char tail = 0;
            if (!TakeValue(args, &i, &value) || std::sscanf(value.c_str(), "%dx%d%c", &w, &h, &tail) != 2 || w < 1 ||
                h < 1 || w > 32767 || h > 32767)
                return UsageError("--size takes WIDTHxHEIGHT, each 1..32767");
            width = w, height = h;
        } else if (arg == "--seed") {
            char* end = nullptr;
            if (!TakeValue(args, &i, &value) || value.empty()) return UsageError("--seed takes a number");
            const unsigned long parsed = std::strtoul(value.c_str(), &end, 10);
            if (*end != 0) return UsageError("--seed takes a number");
            seed = uint32_t(parsed);
        } else if (!arg.empty() && arg[0] == '-') {
            return UnknownWord("option", arg, {"--size", "--seed", "--help"});
        } else if (output.empty()) {
            output = arg;
        } else {
            return UsageError("one output picture only");
        }
    }
    if (output.empty()) return UsageError("sample needs an output file name");
    const std::vector<NamedFile> files = {{output, true, "the output", true}};
    std::string refusal = SameFileRefusal(files);
    if (refusal.empty()) refusal = OutputRefusal(files);
    if (!refusal.empty()) return Failure(refusal);
    const std::vector<uint8_t> rgb = DrawSample(width, height, seed);
    std::vector<uint8_t> bytes;
    std::string error = EncodeImage(output, width, height, 3, rgb.data(), &bytes);
    if (error.empty()) error = WriteFileAtomically(output, bytes);
    if (!error.empty()) return Failure("cannot write '" + output + "': " + error);
    return 0;
}

}  // namespace varno

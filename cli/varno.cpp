// varno: a small host of the plug-in API on the command line, the methods as a tool, and the
// sample picture.
//
//   varno select IN [-o OUT.png] [-m METHOD] [-r RADIUS] [--selection SEL.png] [--dialog]
//                [--play ACTION] [--record ACTION] [--smaller-png] [--quiet]
//   varno edges  IN -o OUT.png [-m METHOD] [-r RADIUS] [--smaller-png] [--quiet]
//   varno sample OUT.png [--size WIDTHxHEIGHT] [--seed N]
//   varno --help | --version
//
// Exit status: 0 on success, 1 when a run or a file failed, 2 for a wrong command line. Outputs
// are written only when everything before them succeeded, and never half.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "host/pixels.h"
#include "host/plugin.h"
#include "hosting/actions.h"
#include "hosting/images.h"
#include "hosting/messages.h"
#include "hosting/platform.h"
#include "hosting/run.h"
#include "hosting/sample.h"

#ifndef VARNO_VERSION
#define VARNO_VERSION "0"
#endif

namespace {

using namespace varno;

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) { interrupted = 1; }

const char* const kUsage =
    "usage: varno select IN [-o OUT.png] [-m METHOD] [-r RADIUS] [--selection SEL.png]\n"
    "                    [--dialog] [--play ACTION] [--record ACTION] [--smaller-png] [--quiet]\n"
    "       varno edges IN -o OUT.png [-m METHOD] [-r RADIUS] [--smaller-png] [--quiet]\n"
    "       varno sample OUT.png [--size WIDTHxHEIGHT] [--seed N]\n"
    "       varno --help | --version\n";

const char* const kHelp =
    "\n"
    "select   runs the Varnocketile plug-in on IN through its entry point, as a host does, and\n"
    "         writes the new selection as an 8-bit grey picture (default: IN's name with\n"
    "         \"-selection.png\"). IN is a PNG, JPEG, BMP or TIFF picture: grey, RGB, palette,\n"
    "         CMYK (JPEG, TIFF) or Lab (TIFF, native build), 8 or 16 bits per sample; sides up to\n"
    "         32767 pixels.\n"
    "  -m METHOD          traditional, skinny, smoother, fine, variable, or 3..7\n"
    "  -r RADIUS          edge radius of the variable-width method, 1..3\n"
    "                     -m and -r are played back to the plug-in as an action; without them\n"
    "                     the plug-in uses the settings it remembered from its last run. Give\n"
    "                     both on a first run: with nothing remembered, the plug-in takes a\n"
    "                     lone -m or -r as unset and falls back to smoother, radius 2.\n"
    "  --selection SEL    the current selection, a grey picture of IN's size (default: none)\n"
    "  --dialog           ask the plug-in to show its dialog (Windows builds)\n"
    "  --play ACTION      play back an action file saved with --record\n"
    "  --record ACTION    save the action the plug-in records on success\n"
    "  --smaller-png      compress a PNG output harder: a few percent smaller, several times\n"
    "                     slower (default: the fastest compression)\n"
    "  --quiet            no progress bar and no closing message\n"
    "edges    runs one method directly on IN and writes the method's own picture (colour stays\n"
    "         colour). Defaults: -m smoother -r 2.\n"
    "sample   draws the project's sample landscape (default 640x427).\n"
    "\n"
    "The plug-in keeps its preferences in the directory standing for drive C: $VARNO_DRIVE_C, else\n"
    "$XDG_DATA_HOME/varno/drive_c (native build).\n";

int UsageError(const std::string& message) {
    std::fprintf(stderr, "varno: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "varno: %s\n", message.c_str());
    return 1;
}

// A result code's line, "varno: user cancelled (-128)".
int ResultFailure(int16_t code, const std::string& reported = {}) {
    std::fprintf(stderr, "%s\n", ResultLine(code, reported).c_str());
    return 1;
}

std::string DefaultOutput(const std::string& input) {
    const size_t slash = input.find_last_of("/\\");
    const size_t dot = input.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? input.substr(0, dot) : input) + "-selection.png";
}

// Pulls the value of an option that takes one.
bool TakeValue(const std::vector<std::string>& args, size_t* i, std::string* value) {
    if (*i + 1 >= args.size()) return false;
    *value = args[++*i];
    return true;
}

// The -m and -r options that select and edges share. Returns 1 when args[*i] was one of them and
// its value was taken, 0 when it is some other argument, and 2 (the exit code) after reporting a
// bad value.
int TakeMethodOrRadius(const std::vector<std::string>& args, size_t* i, int32_t* method, int32_t* radius) {
    const std::string& arg = args[*i];
    std::string value;
    if (arg == "-m") {
        if (!TakeValue(args, i, &value) || (*method = ParseMethod(value)) == 0)
            return UsageError("-m takes traditional, skinny, smoother, fine, variable or 3..7");
        return 1;
    }
    if (arg == "-r") {
        if (!TakeValue(args, i, &value) || (*radius = ParseRadius(value)) == 0)
            return UsageError("-r takes 1, 2 or 3");
        return 1;
    }
    return 0;
}

// The selection picture as one 8-bit plane; grey pictures only (an RGB picture whose three
// channels agree counts as grey).
std::string SelectionPlane(const Document& picture, const Document& document, std::vector<uint8_t>* plane) {
    if (picture.width != document.width || picture.height != document.height)
        return "it is " + std::to_string(picture.width) + "x" + std::to_string(picture.height) + ", the picture " +
               std::to_string(document.width) + "x" + std::to_string(document.height);
    const bool rgb = picture.mode == 3 || picture.mode == 11;
    if (picture.mode != 1 && picture.mode != 10 && !rgb) return "a selection must be a grey picture";
    const bool differ = rgb && (picture.depth == 16 ? picture.channels16[0] != picture.channels16[1] ||
                                                          picture.channels16[0] != picture.channels16[2]
                                                    : picture.channels8[0] != picture.channels8[1] ||
                                                          picture.channels8[0] != picture.channels8[2]);
    if (differ) return "a selection must be a grey picture";
    if (picture.depth == 8) {
        *plane = picture.channels8[0];
        return {};
    }
    const std::vector<uint16_t>& source = picture.channels16[0];
    plane->resize(source.size());
    for (size_t i = 0; i < source.size(); ++i) (*plane)[i] = ReduceTo8(source[i]);
    return {};
}

std::string SaveText(const std::string& path, const std::string& text) {
    return WriteFileAtomically(path, std::vector<uint8_t>(text.begin(), text.end()));
}

int Select(const std::vector<std::string>& args) {
    std::string input, output, selectionPath, playPath, recordPath;
    int32_t method = 0, radius = 0;
    bool dialog = false, quiet = false;
    EncodeOptions encoding;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-o") {
            if (!TakeValue(args, &i, &output)) return UsageError("-o needs a file name");
        } else if (const int taken = TakeMethodOrRadius(args, &i, &method, &radius); taken == 2) {
            return taken;
        } else if (taken == 1) {
            continue;
        } else if (arg == "--selection") {
            if (!TakeValue(args, &i, &selectionPath)) return UsageError("--selection needs a file name");
        } else if (arg == "--play") {
            if (!TakeValue(args, &i, &playPath)) return UsageError("--play needs a file name");
        } else if (arg == "--record") {
            if (!TakeValue(args, &i, &recordPath)) return UsageError("--record needs a file name");
        } else if (arg == "--dialog") {
            dialog = true;
        } else if (arg == "--smaller-png") {
            encoding.smaller = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return UsageError("unknown option " + arg);
        } else if (input.empty()) {
            input = arg;
        } else {
            return UsageError("one input picture only");
        }
    }
    if (input.empty()) return UsageError("select needs an input picture");
    if (output.empty()) output = DefaultOutput(input);

    Document document;
    if (std::string error = ReadImageFile(input, &document); !error.empty())
        return Failure("cannot read '" + input + "': " + error);
    if (!selectionPath.empty()) {
        Document picture;
        std::vector<uint8_t> plane;
        std::string error = ReadImageFile(selectionPath, &picture);
        if (error.empty()) error = SelectionPlane(picture, document, &plane);
        if (error.empty()) SetSelection(&document, std::move(plane), &error);
        if (!error.empty()) return Failure("cannot use selection '" + selectionPath + "': " + error);
    }

    RunOptions options;
    if (!playPath.empty()) {
        std::vector<uint8_t> bytes;
        std::string error = ReadWholeFile(playPath, &bytes);
        if (error.empty()) error = ParseAction(std::string(bytes.begin(), bytes.end()), &options.descriptor);
        if (!error.empty()) return Failure("cannot play '" + playPath + "': " + error);
        options.playDescriptor = true;
    }
    if (method != 0 || radius != 0) {
        PutEdgeChoice(&options.descriptor, method, radius);
        options.playDescriptor = true;
    }
    options.playInfo = dialog ? kPlayDialogDisplay : kPlayDialogDontDisplay;
    options.interrupt = &interrupted;
    options.progressBar = !quiet && StderrIsTerminal();

    PluginModule module;
    const std::string pluginPath = DefaultPluginPath();
    if (std::string error = OpenPluginModule(pluginPath, &module); !error.empty())
        return Failure("cannot load the plug-in: " + error);
    // The slot a host keeps for the plug-in for as long as it runs: the plug-in's block in it is
    // the plug-in's to keep, never the host's to free.
    static PluginInstance plugin;
    plugin.entry = reinterpret_cast<PluginEntryProc>(module.entry);
    RunReport report;
    RunPlugin(&plugin, &document, options, &report);
    ClosePluginModule(&module);
    if (report.aboutResult != 0) return ResultFailure(report.aboutResult);
    if (report.result != 0) return ResultFailure(report.result, report.errorString);

    std::vector<uint8_t> bytes;
    std::string error =
        EncodeImage(output, document.width, document.height, 1, document.selection.data(), &bytes, encoding);
    if (error.empty()) error = WriteFileAtomically(output, bytes);
    if (!error.empty()) return Failure("cannot write '" + output + "': " + error);
    if (!recordPath.empty()) {
        if (!report.recorded) return Failure("the plug-in recorded no action; '" + recordPath + "' not written");
        if (std::string failed = SaveText(recordPath, FormatAction(report.descriptor)); !failed.empty())
            return Failure("cannot write '" + recordPath + "': " + failed);
    }
    if (!quiet) std::printf("varno: new selection written to %s\n", output.c_str());
    return 0;
}

// The edges tool's host record: progress on the terminal, Ctrl-C as the stop request.
int32_t edgesBar = -1;
bool edgesShowBar = false;
Boolean PIAPI EdgesAbort(void) { return interrupted ? 1 : 0; }
void PIAPI EdgesProgress(int32_t done, int32_t total) {
    if (edgesShowBar) DrawProgressBar(done, total, &edgesBar);
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

int Edges(const std::vector<std::string>& args) {
    std::string input, output;
    int32_t method = kDefaultMethod, radius = kDefaultRadius;
    bool quiet = false;
    EncodeOptions encoding;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-o") {
            if (!TakeValue(args, &i, &output)) return UsageError("-o needs a file name");
        } else if (const int taken = TakeMethodOrRadius(args, &i, &method, &radius); taken == 2) {
            return taken;
        } else if (taken == 1) {
            continue;
        } else if (arg == "--smaller-png") {
            encoding.smaller = true;
        } else if (arg == "--quiet") {
            quiet = true;
        } else if (!arg.empty() && arg[0] == '-') {
            return UsageError("unknown option " + arg);
        } else if (input.empty()) {
            input = arg;
        } else {
            return UsageError("one input picture only");
        }
    }
    if (input.empty()) return UsageError("edges needs an input picture");
    if (output.empty()) return UsageError("edges needs -o OUT.png");

    Document document;
    if (std::string error = ReadImageFile(input, &document); !error.empty())
        return Failure("cannot read '" + input + "': " + error);
    int16_t planes = 0;
    std::vector<uint8_t> pixels;
    if (!MethodPixels(document, &planes, &pixels)) return ResultFailure(kErrUnsupportedMode);
    if (document.width > 32767 || document.height > 32767)
        return Failure("'" + input + "' is larger than 32767 pixels on a side");
    const int32_t width = document.width, height = document.height;
    const size_t rowBytes = size_t(width) * size_t(planes);

    ImageBuffer* image = nullptr;
    int16_t result = CreateImageBuffer("varno edges", width, height, planes, &image);
    if (result == kNoErr && (!image || !image->mapped)) result = kErrOutOfMemory;
    std::unique_ptr<RunState, decltype(&std::free)> run(static_cast<RunState*>(std::calloc(1, sizeof(RunState))), std::free);
    if (result == kNoErr && !run) result = kErrOutOfMemory;
    SelectionRecord record = {};
    if (result == kNoErr) {
        for (int32_t row = 0; row < height; ++row) WriteBufferRow(image, 0, row, int32_t(rowBytes), &pixels[size_t(row) * rowBytes]);
        record.abortProc = EdgesAbort;
        record.progressProc = EdgesProgress;
        record.hostSig = FourCC("8BIM");
        run->width = int16_t(width);
        run->height = int16_t(height);
        run->planes = planes;
        run->host = &record;
        edgesShowBar = !quiet && StderrIsTerminal();
        const ProgressPair progress = RunProgress(run.get());
        result = RunEdgeMethod(method, float(radius), image, &progress, 1);
        ClearProgressBar(&edgesBar);
    }
    if (result == kNoErr)
        for (int32_t row = 0; row < height; ++row) ReadBufferRow(image, 0, row, int32_t(rowBytes), &pixels[size_t(row) * rowBytes]);
    if (image) DisposeImageBuffer(image);
    if (result != kNoErr) return ResultFailure(result);

    std::vector<uint8_t> bytes;
    std::string error = EncodeImage(output, width, height, planes, pixels.data(), &bytes, encoding);
    if (error.empty()) error = WriteFileAtomically(output, bytes);
    if (!error.empty()) return Failure("cannot write '" + output + "': " + error);
    if (!quiet) std::printf("varno: edges written to %s\n", output.c_str());
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
            return UsageError("unknown option " + arg);
        } else if (output.empty()) {
            output = arg;
        } else {
            return UsageError("one output picture only");
        }
    }
    if (output.empty()) return UsageError("sample needs an output file name");
    const std::vector<uint8_t> rgb = DrawSample(width, height, seed);
    std::vector<uint8_t> bytes;
    std::string error = EncodeImage(output, width, height, 3, rgb.data(), &bytes);
    if (error.empty()) error = WriteFileAtomically(output, bytes);
    if (!error.empty()) return Failure("cannot write '" + output + "': " + error);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") {
        std::printf("%s%s", kUsage, kHelp);
        return 0;
    }
    if (command == "--version") {
        std::printf("varno %s\n", VARNO_VERSION);
        return 0;
    }
    PrepareForLargeBlocks();
    std::signal(SIGINT, OnInterrupt);
    if (command == "select") return Select(args);
    if (command == "edges") return Edges(args);
    if (command == "sample") return Sample(args);
    return UsageError("unknown command '" + command + "'");
}

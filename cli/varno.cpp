// varno: a small host of the plug-in API on the command line, the methods as a tool, and the
// sample picture.
//
//   varno select IN [-o OUT.png] [-m METHOD] [-r RADIUS] [--selection SEL.png] [--dialog]
//                [--play ACTION] [--record ACTION] [--format TYPE] [--smaller-png] [--quiet]
//   varno select IN... -o DIR/ [-j N] [-m METHOD] [-r RADIUS] [--play ACTION] [--smaller-png]
//                [--quiet]
//   varno edges  IN -o OUT.png [-m METHOD] [-r RADIUS] [--format TYPE] [--smaller-png] [--quiet]
//   varno sample OUT.png [--size WIDTHxHEIGHT] [--seed N]
//   varno --help | --version
//
// Exit status: 0 on success, 1 when a run or a file failed, 2 for a wrong command line. Outputs
// are written only when everything before them succeeded, and never half. The commands live in
// select.cpp and tools.cpp.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "cli/interrupt.h"
#include "cli/varno.h"
#include "host/actions.h"
#include "host/messages.h"
#include "host/platform.h"
#include "images/images.h"
#include "params/edge_table.h"

#ifndef VARNO_VERSION
#define VARNO_VERSION "0"
#endif

namespace varno {

namespace {

const char* const kUsage =
    "usage: varno select IN [-o OUT.png] [-m METHOD] [-r RADIUS] [--selection SEL.png]\n"
    "                    [--dialog] [--play ACTION] [--record ACTION] [--format TYPE]\n"
    "                    [--smaller-png] [--quiet]\n"
    "       varno select IN... -o DIR/ [-j N] [-m METHOD] [-r RADIUS] [--play ACTION]\n"
    "                    [--smaller-png] [--quiet]\n"
    "       varno edges IN -o OUT.png [-m METHOD] [-r RADIUS] [--format TYPE] [--smaller-png]\n"
    "                   [--quiet]\n"
    "       varno sample OUT.png [--size WIDTHxHEIGHT] [--seed N]\n"
    "       varno --help | --version\n";

// The help after the usage; METHODS, RADII, DEFAULTS and DEFAULT_OPTIONS stand for what the edge
// parameter table holds (HelpText fills them in).
const char* const kHelp =
    "\n"
    "select   runs the Varnocketile plug-in on IN through its entry point, as a host does, and\n"
    "         writes the new selection as an 8-bit grey picture (default: IN's name with\n"
    "         \"-selection.png\"). IN is a PNG, JPEG, BMP or TIFF picture: grey, RGB, palette,\n"
    "         CMYK (JPEG, TIFF) or Lab (TIFF, native build), 8 or 16 bits per sample; sides up to\n"
    "         32767 pixels. IN may be - (standard input; then -o is needed, and it is the only\n"
    "         picture). OUT's extension sets its type: .png, .tif/.tiff, .bmp or .jpg; -o - writes\n"
    "         the picture to standard output, and nothing else goes there.\n"
    "         Several pictures are a batch: each selection goes to DIR/NAME-selection.png (or\n"
    "         beside its picture without -o); a picture that fails is reported on its own line\n"
    "         and the others go on; the exit status is 1 when any failed.\n"
    "  -m METHOD          METHODS\n"
    "  -r RADIUS          edge radius of the variable-width method, RADII\n"
    "                     -m and -r are played back to the plug-in as an action; without them\n"
    "                     the plug-in uses the settings it remembered from its last run. A lone\n"
    "                     -m or -r takes the other from the remembered settings, or the default\n"
    "                     (DEFAULTS) when there are none.\n"
    "  -j N               N pictures of a batch in progress at once: reading and writing overlap\n"
    "                     the plug-in, which runs one picture at a time, in order (default 1)\n"
    "  --selection SEL    the current selection, a grey picture of IN's size (default: none)\n"
    "  --dialog           ask the plug-in to show its dialog (Windows builds)\n"
    "  --play ACTION      play back an action file saved with --record\n"
    "  --record ACTION    save the action the plug-in records on success\n"
    "  --format TYPE      the type written by -o -: png (default), tiff, bmp or jpeg\n"
    "  --smaller-png      compress a PNG output harder: a few percent smaller, several times\n"
    "                     slower (default: the fastest compression)\n"
    "  --quiet            no progress bar and no closing message\n"
    "edges    runs one method directly on IN and writes the method's own picture (colour stays\n"
    "         colour, TIFF included). IN and OUT may be - as for select. Defaults:\n"
    "         DEFAULT_OPTIONS.\n"
    "sample   draws the project's sample landscape (default 640x427).\n"
    "\n"
    "The plug-in keeps its preferences in the directory standing for drive C: $VARNO_DRIVE_C, else\n"
    "$XDG_DATA_HOME/varno/drive_c, else ~/.local/share/varno/drive_c (native build; select makes it,\n"
    "owner-only, when missing). Ctrl-C or a termination signal stops varno at once (a running\n"
    "plug-in at its next abort test) and leaves no temporary file: every output is either complete\n"
    "or as it was.\n";

std::string Replaced(std::string text, const std::string& word, const std::string& by) {
    const size_t at = text.find(word);
    return at == std::string::npos ? text : text.replace(at, word.size(), by);
}

std::string HelpText() {
    std::string methods;
    for (const EdgeMethodEntry& entry : kEdgeMethods) methods += std::string(entry.shortName) + ", ";
    methods += "or " + std::to_string(kEdgeMethodFirst) + ".." + std::to_string(kEdgeMethodLast);
    const std::string method = FindEdgeMethod(kDefaultMethod)->shortName, radius = std::to_string(kDefaultRadius);
    std::string text = Replaced(kHelp, "METHODS", methods);
    text = Replaced(text, "RADII", std::to_string(kEdgeRadiusMin) + ".." + std::to_string(kEdgeRadiusMax));
    text = Replaced(text, "DEFAULTS", method + ", radius " + radius);
    return Replaced(text, "DEFAULT_OPTIONS", "-m " + method + " -r " + radius);
}

}  // namespace

int UsageError(const std::string& message) {
    std::fprintf(stderr, "varno: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "varno: %s\n", message.c_str());
    return 1;
}

int ResultFailure(int16_t code, const std::string& reported) {
    std::fprintf(stderr, "%s\n", ResultLine(code, reported).c_str());
    return 1;
}

bool TakeValue(const std::vector<std::string>& args, size_t* i, std::string* value) {
    if (*i + 1 >= args.size()) return false;
    *value = args[++*i];
    return true;
}

// "a, b or c" of the texts.
std::string Alternatives(const std::vector<std::string>& texts) {
    std::string joined;
    for (size_t k = 0; k < texts.size(); ++k)
        joined += (k == 0 ? "" : k + 1 == texts.size() ? " or " : ", ") + texts[k];
    return joined;
}

int TakeMethodOrRadius(const std::vector<std::string>& args, size_t* i, int32_t* method, int32_t* radius) {
    const std::string& arg = args[*i];
    std::string value;
    if (arg == "-m") {
        if (!TakeValue(args, i, &value) || (*method = EdgeMethodFromText(value.c_str())) == 0) {
            std::vector<std::string> names;
            for (const EdgeMethodEntry& entry : kEdgeMethods) names.push_back(entry.shortName);
            names.push_back(std::to_string(kEdgeMethodFirst) + ".." + std::to_string(kEdgeMethodLast));
            return UsageError("-m takes " + Alternatives(names));
        }
        return 1;
    }
    if (arg == "-r") {
        if (!TakeValue(args, i, &value) || (*radius = EdgeRadiusFromText(value.c_str())) == 0) {
            std::vector<std::string> radii;
            for (int32_t r = kEdgeRadiusMin; r <= kEdgeRadiusMax; ++r) radii.push_back(std::to_string(r));
            return UsageError("-r takes " + Alternatives(radii));
        }
        return 1;
    }
    return 0;
}

std::vector<ptrdiff_t> SameFiles(const std::vector<NamedFile>& files) {
    struct Seen {
        ptrdiff_t first = -1, firstOutput = -1;
    };
    std::map<std::string, Seen> seen;
    std::vector<ptrdiff_t> same(files.size(), -1);
    for (size_t i = 0; i < files.size(); ++i) {
        Seen& earlier = seen[FileIdentity(files[i].path)];
        same[i] = files[i].output ? earlier.first : earlier.firstOutput;
        if (earlier.first < 0) earlier.first = ptrdiff_t(i);
        if (earlier.firstOutput < 0 && files[i].output) earlier.firstOutput = ptrdiff_t(i);
    }
    return same;
}

std::string SameFileRefusal(const std::vector<NamedFile>& files) {
    const std::vector<ptrdiff_t> same = SameFiles(files);
    for (size_t i = 0; i < files.size(); ++i) {
        if (same[i] < 0) continue;
        // The later of the two is refused: an output, or an input an output would replace.
        const NamedFile &later = files[i], &earlier = files[size_t(same[i])];
        const NamedFile& written = later.output ? later : earlier;
        const NamedFile& other = later.output ? earlier : later;
        return "cannot write '" + written.path + "': it is the same file as " + other.role + " '" + other.path + "'";
    }
    return {};
}

std::string OutputRefusal(const std::vector<NamedFile>& files) {
    for (const NamedFile& file : files) {
        if (!file.output) continue;
        std::string error = file.picture ? CheckOutputType(file.path) : std::string();
        if (error.empty()) error = CheckOutputPath(file.path);
        if (!error.empty()) return "cannot write '" + file.path + "': " + error;
    }
    return {};
}

}  // namespace varno

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::fputs(varno::kUsage, stderr);
        return 2;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") {
        std::printf("%s%s", varno::kUsage, varno::HelpText().c_str());
        return 0;
    }
    if (command == "--version") {
        std::printf("varno %s\n", VARNO_VERSION);
        return 0;
    }
    varno::PrepareForLargeBlocks();
    varno::InstallStopHandling();
    if (command == "select") return varno::Select(args);
    if (command == "edges") return varno::Edges(args);
    if (command == "sample") return varno::Sample(args);
    return varno::UsageError("unknown command '" + command + "'");
}

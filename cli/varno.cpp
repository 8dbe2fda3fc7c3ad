// varno: a small host of the plug-in API on the command line, the methods as a tool, and the
// sample picture.
//
//   varno select IN [-o OUT.png] [-m METHOD] [-r RADIUS] [--selection SEL.png] [--combine MODE]
//                [--dialog] [--play ACTION] [--record ACTION] [--format TYPE] [--threads N]
//                [--smaller-png] [--quiet]
//   varno select IN... -o DIR/ [-j N] [-m METHOD] [-r RADIUS] [--play ACTION] [--combine MODE]
//                [--threads N] [--smaller-png] [--quiet]
//   varno edges  IN -o OUT.png [-m METHOD] [-r RADIUS] [--format TYPE] [--threads N] [--smaller-png]
//                [--quiet]
//   varno sample OUT.png [--size WIDTHxHEIGHT] [--seed N]
//   varno --help | --version, varno COMMAND --help
//
// Exit status: 0 on success, 1 when a run or a file failed, 2 for a wrong command line (one line
// naming the mistake, with the nearest valid word for a mistyped one) or a wrong setting. Outputs
// are written only when everything before them succeeded, and never half. The commands live in
// select.cpp and tools.cpp.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "cli/interrupt.h"
#include "cli/varno.h"
#include "host/actions.h"
#include "host/messages.h"
#include "host/platform.h"
#include "base/workers.h"
#include "images/images.h"
#include "images/system.h"
#include "params/edge_table.h"

#ifndef VARNO_VERSION
#define VARNO_VERSION "0"
#endif

namespace varno {

namespace {

// Each command's usage lines and help; METHODS, RADII, DEFAULTS and DEFAULT_OPTIONS stand for
// what the edge parameter table holds (HelpText fills them in).
struct CommandHelp {
    const char* name;
    const char* usage;  // after "usage: " or its indent
    const char* help;
};

const CommandHelp kCommands[] = {
    {"select",
     "varno select IN [-o OUT.png] [-m METHOD] [-r RADIUS] [--selection SEL.png]\n"
     "                    [--combine MODE] [--dialog] [--play ACTION] [--record ACTION]\n"
     "                    [--format TYPE] [--threads N] [--smaller-png] [--quiet]\n"
     "       varno select IN... -o DIR/ [-j N] [-m METHOD] [-r RADIUS] [--play ACTION]\n"
     "                    [--combine MODE] [--threads N] [--smaller-png] [--quiet]\n",
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
     "  -r RADIUS          edge radius of Variable width, RADII; the other methods take no radius\n"
     "                     (varno warns when -r is given with one of them)\n"
     "                     -m and -r are played back to the plug-in as an action; without them\n"
     "                     the plug-in uses the settings it remembered from its last run. A lone\n"
     "                     -m or -r takes the other from the remembered settings, or the default\n"
     "                     (DEFAULTS) when there are none.\n"
     "  -j N               N pictures of a batch in progress at once: reading and writing overlap\n"
     "                     the plug-in, which runs one picture at a time, in order (default 1)\n"
     "  --selection SEL    the current selection, a grey picture of IN's size (default: none).\n"
     "                     The plug-in finds the edges of the whole picture; its new selection\n"
     "                     replaces the current one unless --combine says otherwise\n"
     "  --combine MODE     what varno writes: the new selection alone (replace, the default), or\n"
     "                     combined with the current one: add (either), subtract (the current\n"
     "                     one less the new one) or intersect (the edges inside the current one)\n"
     "  --dialog           ask the plug-in to show its dialog (Windows builds)\n"
     "  --play ACTION      play back an action file saved with --record; it holds the method and\n"
     "                     the radius, so it does not go with -m or -r\n"
     "  --record ACTION    save the action the plug-in records on success\n"
     "  --format TYPE      the type written by -o -: png (default), tiff, bmp or jpeg\n"
     "  --threads N        the threads the plug-in's methods run on, 1..64 (default:\n"
     "                     $VARNOCKETILE_THREADS, else one per processor)\n"
     "  --smaller-png      compress a PNG output harder: a few percent smaller, several times\n"
     "                     slower (default: the fastest compression)\n"
     "  --quiet            no progress bar and no closing message\n"},
    {"edges",
     "varno edges IN -o OUT.png [-m METHOD] [-r RADIUS] [--format TYPE] [--threads N]\n"
     "                   [--smaller-png] [--quiet]\n",
     "edges    runs one method directly on IN and writes the method's own picture (colour stays\n"
     "         colour, TIFF included). IN and OUT may be - as for select. Defaults: DEFAULT_OPTIONS.\n"
     "         -m, -r, --format, --threads, --smaller-png and --quiet as for select.\n"},
    {"sample", "varno sample OUT.png [--size WIDTHxHEIGHT] [--seed N]\n",
     "sample   draws the project's sample landscape (default 640x427).\n"},
};

const char* const kHelpFooter =
    "\n"
    "The plug-in keeps its preferences in the directory standing for drive C: $VARNO_DRIVE_C, else\n"
    "$XDG_DATA_HOME/varno/drive_c, else ~/.local/share/varno/drive_c (native build; select makes it,\n"
    "owner-only, when missing). Ctrl-C or a termination signal stops varno at once (a running\n"
    "plug-in at its next abort test) and leaves no temporary file: every output is either complete\n"
    "or as it was.\n";

// The command whose mistakes are being reported (its help is the one to try), or none.
std::string currentCommand;

const CommandHelp* FindCommand(const std::string& name) {
    for (const CommandHelp& command : kCommands)
        if (name == command.name) return &command;
    return nullptr;
}

// The usage of one command, or of them all.
std::string UsageText(const CommandHelp* only) {
    std::string text;
    for (const CommandHelp& command : kCommands)
        if (!only || only == &command) text += (text.empty() ? "usage: " : "       ") + std::string(command.usage);
    if (!only) text += "       varno --help | --version\n";
    return text;
}

std::string Replaced(std::string text, const std::string& word, const std::string& by) {
    const size_t at = text.find(word);
    return at == std::string::npos ? text : text.replace(at, word.size(), by);
}

// The help of one command, or of them all, after its usage.
std::string HelpText(const CommandHelp* only) {
    std::string methods;
    for (const EdgeMethodEntry& entry : kEdgeMethods) methods += std::string(entry.shortName) + ", ";
    methods += "or " + std::to_string(kEdgeMethodFirst) + ".." + std::to_string(kEdgeMethodLast) +
               ";\n                     also the names the dialog shows (\"Fine detail\"), in any case";
    const std::string method = FindEdgeMethod(kDefaultMethod)->shortName, radius = std::to_string(kDefaultRadius);
    std::string text = "\n";
    for (const CommandHelp& command : kCommands)
        if (!only || only == &command) text += command.help;
    if (!only || std::string(only->name) == "select") text += kHelpFooter;
    text = Replaced(text, "METHODS", methods);
    text = Replaced(text, "RADII", std::to_string(kEdgeRadiusMin) + ".." + std::to_string(kEdgeRadiusMax));
    text = Replaced(text, "DEFAULTS", method + ", radius " + radius);
    return UsageText(only) + Replaced(text, "DEFAULT_OPTIONS", "-m " + method + " -r " + radius);
}

// The edits (insertions, removals, changes of one character, swaps of two neighbours; letters in
// any case) that make `a` into `b`.
size_t EditDistance(const std::string& a, const std::string& b) {
    auto same = [&](size_t i, size_t j) { return std::tolower((unsigned char)a[i]) == std::tolower((unsigned char)b[j]); };
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (same(i - 1, j - 1) ? 0 : 1)});
            if (i > 1 && j > 1 && same(i - 1, j - 2) && same(i - 2, j - 1)) d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// What -m takes, shown when its value is wrong.
std::string MethodChoices() {
    std::vector<std::string> names;
    for (const EdgeMethodEntry& entry : kEdgeMethods) names.push_back(entry.shortName);
    names.push_back(std::to_string(kEdgeMethodFirst) + ".." + std::to_string(kEdgeMethodLast));
    return Alternatives(names);
}

}  // namespace

// "a, b or c" of the texts.
std::string Alternatives(const std::vector<std::string>& texts) {
    std::string joined;
    for (size_t k = 0; k < texts.size(); ++k)
        joined += (k == 0 ? "" : k + 1 == texts.size() ? " or " : ", ") + texts[k];
    return joined;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "varno: %s; try varno %s--help\n", message.c_str(),
                 currentCommand.empty() ? "" : (currentCommand + " ").c_str());
    return 2;
}

std::string NearestWord(const std::string& word, const std::vector<std::string>& words) {
    std::string nearest;
    size_t best = word.size() < 4 ? 1 : word.size() < 8 ? 2 : 3;  // farther is no longer a slip
    for (const std::string& candidate : words) {
        if (const size_t distance = EditDistance(word, candidate); distance <= best && (distance < best || nearest.empty())) {
            nearest = candidate;
            best = distance;
        }
    }
    return nearest;
}

int UnknownWord(const std::string& what, const std::string& word, const std::vector<std::string>& words) {
    const std::string nearest = NearestWord(word, words);
    return UsageError("unknown " + what + " '" + word + "'" + (nearest.empty() ? "" : " (did you mean " + nearest + "?)"));
}

int Failure(const std::string& message) {
    std::fprintf(stderr, "varno: %s\n", message.c_str());
    return 1;
}

int ResultFailure(int16_t code, const std::string& reported) {
    std::fprintf(stderr, "%s\n", ResultLine(code, reported).c_str());
    return 1;
}

namespace {

// Whether `text` is a thread count the methods take as it is: a whole number 1..64 (the methods
// would take a larger one as 64, and anything else as no setting at all).
bool IsThreadCount(const char* text) {
    const int32_t count = ParseThreadCount(text);
    return count > 0 && (count < kMaxThreads || std::strtoul(text, nullptr, 10) == static_cast<unsigned long>(kMaxThreads));
}

}  // namespace

std::string SetThreadCount(const std::string& threads) {
    const char* const name = "VARNOCKETILE_THREADS";
    if (!threads.empty()) {
        if (!IsThreadCount(threads.c_str()))
            return "--threads takes a whole number 1.." + std::to_string(kMaxThreads) + ", not '" + threads + "'";
        SetEnvironment(name, threads.c_str());
        return {};
    }
    const char* value = std::getenv(name);
    if (!value || !*value || IsThreadCount(value)) return {};  // set empty: as if not set
    return std::string("the environment variable ") + name + " is '" + value + "'; it takes a whole number of threads, 1.." +
           std::to_string(kMaxThreads) + " (or --threads N)";
}

std::string RadiusWarning(int32_t method, int32_t radius) {
    const EdgeMethodEntry* entry = FindEdgeMethod(method);
    if (radius == 0 || !entry || EdgeMethodTakesRadius(method)) return {};
    std::string takes;
    for (const EdgeMethodEntry& each : kEdgeMethods)
        if (EdgeMethodTakesRadius(each.number)) takes += (takes.empty() ? "" : ", ") + std::string(each.name);
    return "varno: warning: -r " + std::to_string(radius) + " has no effect: the method is " + entry->name + ", and only " +
           takes + " takes a radius";
}

bool TakeValue(const std::vector<std::string>& args, size_t* i, std::string* value) {
    if (*i + 1 >= args.size()) return false;
    *value = args[++*i];
    return true;
}

int TakeMethodOrRadius(const std::vector<std::string>& args, size_t* i, int32_t* method, int32_t* radius) {
    const std::string& arg = args[*i];
    std::string value;
    if (arg == "-m") {
        if (!TakeValue(args, i, &value)) return UsageError("-m takes " + MethodChoices());
        if ((*method = EdgeMethodFromText(value.c_str())) != 0) return 1;
        std::vector<std::string> names;
        for (const EdgeMethodEntry& entry : kEdgeMethods) names.insert(names.end(), {entry.shortName, entry.name});
        if (NearestWord(value, names).empty()) return UsageError("-m takes " + MethodChoices() + ", not '" + value + "'");
        return UnknownWord("method", value, names);
    }
    if (arg == "-r") {
        if (!TakeValue(args, i, &value) || (*radius = EdgeRadiusFromText(value.c_str())) == 0) {
            std::vector<std::string> radii;
            for (int32_t r = kEdgeRadiusMin; r <= kEdgeRadiusMax; ++r) radii.push_back(std::to_string(r));
            return UsageError("-r takes " + Alternatives(radii) + (value.empty() ? "" : ", not '" + value + "'"));
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
        std::fputs(varno::UsageText(nullptr).c_str(), stderr);
        return 2;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h") {
        std::fputs(varno::HelpText(nullptr).c_str(), stdout);
        return 0;
    }
    const varno::CommandHelp* known = varno::FindCommand(command);
    if (known) {
        varno::currentCommand = command;
        // A command's --help anywhere among its options.
        for (size_t i = 1; i < args.size() && args[i] != "--"; ++i) {
            if (args[i] == "--help" || args[i] == "-h") {
                std::fputs(varno::HelpText(known).c_str(), stdout);
                return 0;
            }
        }
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
    std::vector<std::string> words = {"--help", "--version"};
    for (const varno::CommandHelp& each : varno::kCommands) words.push_back(each.name);
    return varno::UnknownWord(command[0] == '-' ? "option" : "command", command, words);
}

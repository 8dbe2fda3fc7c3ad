// Result codes to one-line messages.
#include "host/messages.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace varno {

std::string ResultMeaning(int16_t code) {
    switch (code) {
        case 0: return "success";
        case -34: return "disk full";
        case -36: return "input/output error";
        case -37: return "bad file name";
        case -39: return "end of file";
        case -40: return "bad file position";
        case -42: return "too many files open";
        case -43: return "file not found";
        case -45: return "file locked";
        case -49: return "file already open for writing";
        case -50: return "bad parameter";
        case -51: return "bad file handle";
        case -61: return "no write permission";
        case -108: return "out of memory";
        case -109: return "invalid handle";
        case -128: return "user cancelled";
        case -1715: return "missing parameter";
        case -30700: return "bad parameters";
        case -30701: return "unsupported image mode";
        case -30900: return "the host lacks a suite the plug-in needs";
        case -30904: return "the plug-in reported an error";
        case -30910: return "a channel the image mode needs is missing";
        case -30911: return "unsupported row layout";
        case -30912: return "unsupported column layout";
        case -30913: return "unsupported bit offset";
        case -30914: return "unsupported depth";
        case -30915: return "unsupported depth conversion";
        default: break;
    }
    if (code > 0) return "the plug-in reported an error of its own";
    return "plug-in error";
}

std::string ResultLine(int16_t code, const std::string& reported) {
    const std::string meaning = reported.empty() ? ResultMeaning(code) : reported;
    return "varno: " + meaning + " (" + std::to_string(code) + ")";
}

namespace {

// The one bar on the terminal, shared by every run and every line printed around it.
struct Console {
    std::mutex lock;
    std::string label;
    std::string bar;  // the text on screen, empty when no bar is shown
};

// Never destroyed: a stop may print while the program is already ending.
Console& TheConsole() {
    static Console* console = new Console;
    return *console;
}

void EraseBar(Console& console) {
    if (console.bar.empty()) return;
    std::fprintf(stderr, "\r%*s\r", int(console.bar.size()), "");
    std::fflush(stderr);
}

}  // namespace

void DrawProgressBar(int32_t done, int32_t total, int32_t* shown) {
    const int32_t percent = total > 0 ? int32_t(int64_t(std::clamp(done, 0, total)) * 100 / total) : 0;
    if (percent == *shown) return;
    *shown = percent;
    char bar[41];
    const int32_t filled = percent * 40 / 100;
    for (int32_t i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
    bar[40] = 0;
    char text[64];
    std::snprintf(text, sizeof text, "[%s] %3d%%", bar, int(percent));
    Console& console = TheConsole();
    std::lock_guard<std::mutex> guard(console.lock);
    const std::string line = console.label + text;
    // A shorter line than the last one (a shorter label) would leave the end of the old one.
    if (line.size() < console.bar.size()) EraseBar(console);
    console.bar = line;
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
}

double AdvanceBar(ForwardBar* bar, int32_t done, int32_t total) {
    if (total <= 0) return bar->position;
    done = std::clamp(done, 0, total);
    const double fraction = double(done) / total;
    if (total != bar->total || done < bar->done) {
        bar->passStart = bar->position;
        bar->passFirst = fraction;
    }
    bar->done = done;
    bar->total = total;
    if (bar->passFirst < 1) {
        const double moved = (1 - bar->passStart) * (fraction - bar->passFirst) / (1 - bar->passFirst);
        bar->position = std::clamp(bar->passStart + moved, bar->position, 1.0);
    }
    return bar->position;
}

void ClearProgressBar(int32_t* shown) {
    if (*shown < 0) return;
    *shown = -1;
    Console& console = TheConsole();
    std::lock_guard<std::mutex> guard(console.lock);
    EraseBar(console);
    console.bar.clear();
}

void SetProgressLabel(const std::string& label) {
    Console& console = TheConsole();
    std::lock_guard<std::mutex> guard(console.lock);
    console.label = label;
}

void PrintLine(std::FILE* stream, const std::string& line) {
    Console& console = TheConsole();
    std::lock_guard<std::mutex> guard(console.lock);
    EraseBar(console);
    std::fprintf(stream, "%s\n", line.c_str());
    std::fflush(stream);
    if (!console.bar.empty()) {
        std::fprintf(stderr, "%s", console.bar.c_str());
        std::fflush(stderr);
    }
}

}  // namespace varno

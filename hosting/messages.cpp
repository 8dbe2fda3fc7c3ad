// Result codes to one-line messages.
#include "hosting/messages.h"

#include <algorithm>
#include <cstdio>

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
        case -30900: return "the host lacks a suite the plug-in needs";
        case -30904: return "the plug-in reported an error";
        case -30910: return "a channel the image mode needs is missing";
        case -30911: return "unsupported row layout";
        case -30912: return "unsupported column layout";
        case -30913: return "unsupported bit offset";
        case -30914: return "unsupported depth";
        case -30915: return "unsupported image mode";
        default: break;
    }
    if (code > 0) return "the plug-in reported an error of its own";
    return "plug-in error";
}

std::string ResultLine(int16_t code, const std::string& reported) {
    const std::string meaning = code == -30904 && !reported.empty() ? reported : ResultMeaning(code);
    return "varno: " + meaning + " (" + std::to_string(code) + ")";
}

void DrawProgressBar(int32_t done, int32_t total, int32_t* shown) {
    const int32_t percent = total > 0 ? int32_t(int64_t(std::clamp(done, 0, total)) * 100 / total) : 0;
    if (percent == *shown) return;
    *shown = percent;
    char bar[41];
    const int32_t filled = percent * 40 / 100;
    for (int32_t i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
    bar[40] = 0;
    std::fprintf(stderr, "\r[%s] %3d%%", bar, int(percent));
    std::fflush(stderr);
}

void ClearProgressBar(int32_t* shown) {
    if (*shown < 0) return;
    std::fprintf(stderr, "\r%50s\r", "");
    std::fflush(stderr);
    *shown = -1;
}

}  // namespace varno

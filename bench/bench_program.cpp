// The whole program: varno run as a child process, timed and measured.
#include "bench/bench_program.h"

#include <chrono>
#include <cstdio>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include "bench/bench_cases.h"
#include "bench/bench_threads.h"
#include "images/document.h"
#include "images/images.h"
#include "images/sample.h"

extern "C" char** environ;

namespace varnobench {

namespace {

// Runs varno with `arguments` and waits for it; true when it exited with 0. `peak` gets its peak
// resident memory in bytes. A forked child starts with this process's resident size as its own peak
// (posix_spawn's with this process's peak), so the peak is measured with fork while this process
// is still small, and the timed runs use posix_spawn, which copies nothing.
bool RunVarno(const std::vector<std::string>& arguments, bool forked, int64_t* peak = nullptr) {
    std::vector<std::string> words = {VARNO_PROGRAM_PATH};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t child = -1;
    if (forked) {
        child = fork();
        if (child == 0) {
            execv(argv[0], argv.data());
            _exit(127);
        }
    } else if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        child = -1;
    }
    int status = 0;
    struct rusage usage = {};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return false;
    if (peak) *peak = int64_t(usage.ru_maxrss) * 1024;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The photograph as a 16-bit RGB TIFF (uncompressed), each sample v x 257.
bool WriteWideTiff(const std::string& path, const varno::Document& photo) {
    TIFF* tiff = TIFFOpen(path.c_str(), "w");
    if (!tiff) return false;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(photo.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(photo.height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(3));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(16));
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_RGB));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(16));
    std::vector<uint16_t> row(size_t(photo.width) * 3);
    bool ok = true;
    for (int32_t y = 0; y < photo.height && ok; ++y) {
        for (size_t x = 0; x < size_t(photo.width); ++x)
            for (size_t c = 0; c < 3; ++c) row[x * 3 + c] = uint16_t(photo.channels8[c][size_t(y) * size_t(photo.width) + x] * 257);
        ok = TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0) == 1;
    }
    TIFFClose(tiff);
    return ok;
}

}  // namespace

bool PreparePhotograph(const std::string& given, int32_t width, int32_t height, const std::string& drive,
                       std::string* jpeg, BenchPicture* shape, std::vector<MemoryCase>* memory) {
    varno::Document photo;
    *jpeg = given.empty() ? drive + "/photo.jpg" : given;
    if (given.empty()) {
        const std::vector<uint8_t> rgb = varno::DrawSample(width, height, 1);
        std::vector<uint8_t> bytes;
        if (!varno::EncodeImage(*jpeg, width, height, 3, rgb.data(), &bytes).empty() ||
            !varno::WriteFileAtomically(*jpeg, bytes).empty())
            return false;
    }
    if (const std::string error = varno::ReadImageFile(*jpeg, &photo); !error.empty() || photo.mode != 3) {
        std::fprintf(stderr, "varno_bench: cannot read the photograph '%s': %s\n", jpeg->c_str(),
                     error.empty() ? "not an RGB picture" : error.c_str());
        return false;
    }
    shape->width = photo.width;
    shape->height = photo.height;
    const std::string wide = drive + "/photo16.tif";
    if (!WriteWideTiff(wide, photo)) return false;
    const int64_t pixels = int64_t(photo.width) * photo.height;
    const std::string size = std::to_string(photo.width) + " x " + std::to_string(photo.height);
    memory->push_back({"8-bit RGB " + size + " JPEG", *jpeg, pixels * 3});
    memory->push_back({"16-bit RGB " + size + " TIFF", wide, pixels * 6});
    photo = varno::Document();  // gone before the children are forked
    for (MemoryCase& c : *memory)
        if (!RunVarno({"select", c.path, "-o", drive + "/memory.png", "--quiet"}, true, &c.peak)) c.peak = -1;
    return true;
}

void TimeProgram(benchmark::State& state, const std::string& jpeg, const std::string& output, const BenchPicture* picture) {
    UseThreads(true);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const bool ran = RunVarno({"select", jpeg, "-o", output, "--quiet"}, false);
        state.SetIterationTime(Seconds(start, std::chrono::steady_clock::now()));
        if (!ran) return Fail(state, "varno_select_jpeg", "varno select failed on " + jpeg);
    }
    SetRate(state, picture);
}

std::string FormatMemory(const std::vector<MemoryCase>& cases) {
    std::string text = "\npeak memory of varno select (one run each), against the picture's raw bytes:\n";
    for (const MemoryCase& c : cases) {
        char line[200];
        const double ratio = c.peak > 0 ? double(c.peak) / double(c.rawBytes) : 0.0;
        if (c.peak > 0)
            std::snprintf(line, sizeof line, "  %-30s %8.1f MB  %5.2f x %7.1f MB  target <= 3.00  %s\n", c.label.c_str(),
                          double(c.peak) / 1e6, ratio, double(c.rawBytes) / 1e6, ratio <= 3.0 ? "met" : "missed");
        else
            std::snprintf(line, sizeof line, "  %-30s failed\n", c.label.c_str());
        text += line;
    }
    return text;
}

}  // namespace varnobench

// varno_bench: throughput of the five edge-finding methods and of the whole Execute run, in
// megapixels per second, on a photograph-like picture that the project draws itself and on its
// grey version, each beside its peer operation from another image library when the build has one
// (bench_peers.h), ending with a table of median times, ratios and targets. Then the whole program:
// `varno select IN.jpg -o OUT.png` on a photograph beside the peer library reading that JPEG,
// converting it to grey and writing that as PNG, and varno's peak memory on the photograph as an
// 8-bit JPEG and as a 16-bit TIFF, measured once each.
//
//   varno_bench [--size=WxH | --small] [--photo=IN.jpg] [Google Benchmark options]
//
// The photograph is IN.jpg (scripts/bench makes a mosaic of real photographs); without one, the
// drawn picture, written as a JPEG.
// The size comes from --size, else $VARNO_BENCH_SIZE, else 6000x4000; --small is 300x200, the
// smoke run of the tests. Unless given, 5 repetitions (1 with --small) run and the console shows
// their aggregates; the table takes medians. Everything runs on this one thread. The methods run as
// the execution driver runs them: in place on a fresh copy of the picture in an ImageBuffer (the
// copy is not timed), with the full-run flag, through a host whose progress and abort procedures
// do nothing. The whole run goes through varno's host code (RunPlugin) into the plug-in's
// ENTRYPOINT linked into this program, the same code as the plug-in library. The plug-in's fixed
// files go to a temporary drive C that is removed at the end.
//
// Exit status: 0 when at least one benchmark ran and none failed (a method's non-zero result, a
// picture left unchanged, a resource left behind), 1 otherwise, 2 for a usage error.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bench/bench_peers.h"
#include "bench/bench_table.h"
#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "host/plugin.h"
#include "hosting/document.h"
#include "hosting/images.h"
#include "hosting/platform.h"
#include "hosting/run.h"
#include "hosting/sample.h"

namespace varnobench {

namespace {

ResultBook book;  // every benchmark's times and failures, for the closing table

Boolean PIAPI NeverStop(void) { return 0; }
void PIAPI IgnoreProgress(int32_t, int32_t) {}

bool SameResources(const LiveResources& a, const LiveResources& b) {
    return a.memoryBlocks == b.memoryBlocks && a.pluginHandles == b.pluginHandles && a.mappings == b.mappings;
}

double Seconds(std::chrono::steady_clock::time_point start, std::chrono::steady_clock::time_point end) {
    return std::chrono::duration<double>(end - start).count();
}

void Fail(benchmark::State& state, const std::string& name, const std::string& message) {
    book.SetFailed(name, message);
    state.SkipWithError(message.c_str());
}

void SetRate(benchmark::State& state, const BenchPicture* picture) {
    const double megapixels = double(picture->width) * double(picture->height) / 1e6;
    state.counters["MP"] = benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
}

void LoadPicture(ImageBuffer* image, const std::vector<uint8_t>& pixels, int32_t width, int32_t height, int32_t planes) {
    const size_t rowBytes = size_t(width) * size_t(planes);
    for (int32_t row = 0; row < height; ++row)
        WriteBufferRow(image, 0, row, int32_t(rowBytes), &pixels[size_t(row) * rowBytes]);
}

bool HoldsPicture(const ImageBuffer* image, const std::vector<uint8_t>& pixels, int32_t width, int32_t height,
                  int32_t planes) {
    const size_t rowBytes = size_t(width) * size_t(planes);
    std::vector<uint8_t> row(rowBytes);
    for (int32_t y = 0; y < height; ++y) {
        ReadBufferRow(image, 0, y, int32_t(rowBytes), row.data());
        if (std::memcmp(row.data(), &pixels[size_t(y) * rowBytes], rowBytes) != 0) return false;
    }
    return true;
}

// Pictures this small may be too plain to be sure that a method changes them.
bool HasEdges(const BenchPicture* picture) { return picture->width >= 32 && picture->height >= 32; }

struct MethodCase {
    std::string name;
    int32_t method;
    int32_t radius;
    bool grey;
};

// One method in place on the picture, the copy into the working image excluded from the time.
void TimeMethod(benchmark::State& state, const BenchPicture* picture, const MethodCase& c) {
    const int32_t planes = c.grey ? 1 : 3;
    const std::vector<uint8_t>& pixels = c.grey ? picture->grey : picture->rgb;
    const LiveResources before = CountLiveResources();
    ImageBuffer* image = nullptr;
    const int16_t created =
        CreateImageBuffer("bench", picture->width, picture->height, planes, &image);
    if (created != kNoErr || !image || !image->mapped) {
        if (image) DisposeImageBuffer(image);
        Fail(state, c.name, "the working image could not be made (" + std::to_string(created) + ")");
        return;
    }
    SelectionRecord record = {};
    record.abortProc = NeverStop;
    record.progressProc = IgnoreProgress;
    record.hostSig = FourCC("8BIM");
    RunState run = {};
    run.width = int16_t(picture->width);
    run.height = int16_t(picture->height);
    run.planes = int16_t(planes);
    run.host = &record;
    const ProgressPair progress = RunProgress(&run);

    bool failed = false;
    for (auto _ : state) {
        LoadPicture(image, pixels, picture->width, picture->height, planes);
        const auto start = std::chrono::steady_clock::now();
        const int16_t result = RunEdgeMethod(c.method, float(c.radius), image, &progress, 1);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(Seconds(start, end));
        if (result != kNoErr) {
            Fail(state, c.name, "the method returned " + std::to_string(result));
            failed = true;
            break;
        }
    }
    // A photograph has edges everywhere: a method that leaves it untouched did not run.
    const bool unchanged =
        !failed && HasEdges(picture) && HoldsPicture(image, pixels, picture->width, picture->height, planes);
    DisposeImageBuffer(image);
    if (failed) return;
    if (unchanged) return Fail(state, c.name, "the method left the picture unchanged");
    if (!SameResources(before, CountLiveResources()))
        return Fail(state, c.name, "the method did not release every block and image it made");
    SetRate(state, picture);
}

// The whole run as a host makes it: About, then Execute playing back the default method, from
// reading the document through the host's callbacks to the new selection handed back.
void TimeExecute(benchmark::State& state, const BenchPicture* picture, const varno::Document* original,
                 const std::string& name) {
    varno::Document document = *original;
    varno::RunOptions options;
    options.playDescriptor = true;
    options.descriptor.PutEnumerated(FourCC("EdgM"), FourCC("rB45"), uint32_t(kDefaultMethod));
    options.descriptor.PutInteger(FourCC("edgR"), kDefaultRadius);
    // A fresh instance: the block the plug-in asks the host to keep is made by the first run and
    // released below, so that everything else the runs leave behind shows in the count.
    varno::PluginInstance plugin;
    plugin.entry = ENTRYPOINT;
    const LiveResources before = CountLiveResources();
    varno::RunReport report;
    bool failed = false;
    for (auto _ : state) {
        document.hasSelection = false;
        document.selection.clear();
        const auto start = std::chrono::steady_clock::now();
        varno::RunPlugin(&plugin, &document, options, &report);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(Seconds(start, end));
        if (report.aboutResult != 0 || !report.executed || report.result != 0) {
            Fail(state, name,
                 "the run returned " + std::to_string(report.executed ? report.result : report.aboutResult));
            failed = true;
            break;
        }
    }
    if (plugin.data) DisposePluginHandle(reinterpret_cast<PluginHandle*>(plugin.data));
    if (failed) return;
    const size_t pixels = size_t(picture->width) * size_t(picture->height);
    bool varied = !HasEdges(picture);
    if (document.hasSelection && document.selection.size() == pixels)
        for (size_t i = 1; i < pixels && !varied; ++i) varied = document.selection[i] != document.selection[0];
    if (!varied) return Fail(state, name, "the run handed back no selection with edges in it");
    if (report.handlesLeft != 0 || report.descriptorTokensLeft != 0)
        return Fail(state, name, "the run left host handles or descriptor readers open");
    if (!SameResources(before, CountLiveResources()))
        return Fail(state, name, "the run did not release every block and image it made");
    SetRate(state, picture);
}

// The console report, also noting every time and failure in the book.
class BookReporter : public benchmark::ConsoleReporter {
public:
    BookReporter() : benchmark::ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.error_occurred) {
                book.SetFailed(name, run.error_message);
            } else if (run.iterations > 0) {
                const double seconds = run.real_accumulated_time / double(run.iterations);
                if (run.run_type == Run::RT_Iteration) {
                    book.AddRepetition(name, seconds);
                } else if (run.aggregate_name == "median") {
                    book.SetMedian(name, seconds);
                }
            }
        }
        benchmark::ConsoleReporter::ReportRuns(runs);
    }
};

struct Row {
    const char* label;
    const char* key;  // benchmark name before "/rgb" or "/grey"
    int32_t method;   // 0: the whole run with the default method
    int32_t radius;
    const char* peerKey;
    const char* peerLabelRgb;
    const char* peerLabelGrey;  // null: no peer for the grey picture
    double target;              // for the RGB picture; 0 none
};

const Row kRows[] = {
    {"Traditional", "traditional", kMethodTraditional, 0, "cv_sobel_magnitude", "per-channel Sobel + magnitude",
     "Sobel + magnitude", 0.12},
    {"Skinny lines", "skinny_lines", kMethodSkinnyLines, 0, "cv_canny", "grey + Canny", "Canny", 1.0},
    {"Smoother", "smoother", kMethodSmoother, 0, "cv_ycrcb_round_trip", "RGB->YCrCb->RGB round trip", nullptr, 1.0},
    {"Fine detail", "fine_detail", kMethodFineDetail, 0, "cv_frei_chen", "Frei-Chen-like composite",
     "Frei-Chen-like composite", 0.2},
    {"Variable width r1", "variable_width_r1", kMethodVariableWidth, 1, "cv_filter2d_3x3", "3x3 filter2D",
     "3x3 filter2D", 0.0},
    {"Variable width r2", "variable_width_r2", kMethodVariableWidth, 2, "cv_filter2d_5x5", "5x5 filter2D",
     "5x5 filter2D", 0.0},
    {"Variable width r3", "variable_width_r3", kMethodVariableWidth, 3, "cv_filter2d_7x7", "7x7 filter2D",
     "7x7 filter2D", 2.0},
    {"Execute, default method", "execute_smoother", 0, 0, "cv_smoother_composite", "Smoother-like composite",
     "Smoother-like composite", 0.6},
};

struct Options {
    int32_t width = 6000;
    int32_t height = 4000;
    int32_t repetitions = 5;
    std::string photo;
    std::vector<std::string> benchmarkArgs;
};

void Usage(FILE* to) {
    std::fprintf(to,
                 "usage: varno_bench [--size=WxH | --small] [--photo=IN.jpg] [Google Benchmark options]\n"
                 "  --size=WxH  picture size, each side 1..%d (default $VARNO_BENCH_SIZE, else 6000x4000)\n"
                 "  --small     300x200 and one repetition: the smoke run\n"
                 "  --photo=IN.jpg  the photograph of the whole-program case\n",
                 int(kLargestSide));
}

// Takes this program's own options out of the arguments; false after a usage error.
bool ParseOptions(int argc, char** argv, Options* options) {
    if (const char* size = std::getenv("VARNO_BENCH_SIZE"); size && *size) {
        if (!ParsePictureSize(size, &options->width, &options->height)) {
            std::fprintf(stderr, "varno_bench: VARNO_BENCH_SIZE must be WIDTHxHEIGHT, each 1..%d\n", int(kLargestSide));
            return false;
        }
    }
    bool small = false, repetitionsGiven = false, aggregatesGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--small") {
            small = true;
            options->width = 300;
            options->height = 200;
        } else if (arg.rfind("--photo=", 0) == 0) {
            options->photo = arg.substr(8);
        } else if (arg == "--size" || arg.rfind("--size=", 0) == 0) {
            std::string value = arg.size() > 6 ? arg.substr(7) : (i + 1 < argc ? argv[++i] : "");
            if (!ParsePictureSize(value, &options->width, &options->height)) {
                std::fprintf(stderr, "varno_bench: --size takes WIDTHxHEIGHT, each 1..%d\n", int(kLargestSide));
                return false;
            }
        } else {
            if (arg == "--help" || arg == "-h") Usage(stdout);
            if (arg.rfind("--benchmark_repetitions=", 0) == 0) {
                repetitionsGiven = true;
                options->repetitions = std::max(1, std::atoi(arg.c_str() + std::strlen("--benchmark_repetitions=")));
            }
            if (arg.rfind("--benchmark_display_aggregates_only", 0) == 0 ||
                arg.rfind("--benchmark_report_aggregates_only", 0) == 0)
                aggregatesGiven = true;
            options->benchmarkArgs.push_back(arg);
        }
    }
    if (!repetitionsGiven) {
        options->repetitions = small ? 1 : 5;
        options->benchmarkArgs.push_back("--benchmark_repetitions=" + std::to_string(options->repetitions));
    }
    if (options->repetitions > 1 && !aggregatesGiven)
        options->benchmarkArgs.push_back("--benchmark_display_aggregates_only=true");
    return true;
}

// The picture drawn once, its grey version by luminance, and the two documents a host would hold.
void MakePictures(const Options& options, BenchPicture* picture, varno::Document* rgbDocument,
                  varno::Document* greyDocument) {
    picture->width = options.width;
    picture->height = options.height;
    picture->rgb = varno::DrawSample(options.width, options.height, 1);
    const size_t count = size_t(options.width) * size_t(options.height);
    picture->grey.resize(count);
    std::vector<std::vector<uint8_t>> planes(3, std::vector<uint8_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = &picture->rgb[3 * i];
        picture->grey[i] = uint8_t((77 * p[0] + 150 * p[1] + 29 * p[2] + 128) >> 8);
        for (int c = 0; c < 3; ++c) planes[size_t(c)][i] = p[c];
    }
    std::string error;
    varno::MakeDocument8(3, options.width, options.height, std::move(planes), rgbDocument, &error);
    varno::MakeDocument8(1, options.width, options.height, {picture->grey}, greyDocument, &error);
}

// ---- the whole program ------------------------------------------------------------------------

extern "C" char** environ;

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

struct MemoryCase {
    std::string label;
    std::string path;
    int64_t rawBytes = 0;
    int64_t peak = -1;
};

// The photograph (given, or the drawn picture written as JPEG) and its 16-bit TIFF in the drive,
// and varno's peak memory on each. Runs while this process holds no picture.
bool PreparePhotograph(const Options& options, const std::string& drive, std::string* jpeg, BenchPicture* shape,
                       std::vector<MemoryCase>* memory) {
    varno::Document photo;
    *jpeg = options.photo.empty() ? drive + "/photo.jpg" : options.photo;
    if (options.photo.empty()) {
        const std::vector<uint8_t> rgb = varno::DrawSample(options.width, options.height, 1);
        std::vector<uint8_t> bytes;
        if (!varno::EncodeImage(*jpeg, options.width, options.height, 3, rgb.data(), &bytes).empty() ||
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

}  // namespace

int Main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        Usage(stderr);
        return 2;
    }
    std::vector<std::string> argStorage = options.benchmarkArgs;
    argStorage.insert(argStorage.begin(), argv[0]);
    std::vector<char*> args;
    for (std::string& arg : argStorage) args.push_back(arg.data());
    args.push_back(nullptr);
    int count = int(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 2;

    // The plug-in's preferences file and image buffer names land in a drive C of this run's own.
    const std::filesystem::path drive =
        std::filesystem::temp_directory_path() / ("varno-bench-" + std::to_string(varno::ProcessId()));
    std::error_code ignored;
    std::filesystem::remove_all(drive, ignored);
    std::filesystem::create_directories(drive, ignored);
    varno::SetEnvironment("VARNO_DRIVE_C", drive.string().c_str());
    varno::SetEnvironment("MORVELAN_PATH", nullptr);

    // Freed pictures go back to the system, so that the memory measurement sees this process small.
    varno::PrepareForLargeBlocks();
    std::string jpeg;
    std::vector<MemoryCase> memory;
    static BenchPicture photoShape;  // the photograph's size only
    if (!PreparePhotograph(options, drive.string(), &jpeg, &photoShape, &memory)) {
        std::fprintf(stderr, "varno_bench: the photograph could not be prepared\n");
        std::filesystem::remove_all(drive, ignored);
        return 1;
    }

    static BenchPicture picture;
    static varno::Document rgbDocument, greyDocument;
    MakePictures(options, &picture, &rgbDocument, &greyDocument);

    std::vector<TableRow> table;
    bool anyPeer = false;
    for (bool grey : {false, true}) {
        for (const Row& row : kRows) {
            const std::string kind = grey ? "grey" : "rgb";
            const std::string name = std::string(row.key) + "/" + kind;
            if (row.method == 0) {
                const varno::Document* document = grey ? &greyDocument : &rgbDocument;
                benchmark::RegisterBenchmark(name.c_str(), [document, name](benchmark::State& state) {
                    TimeExecute(state, &picture, document, name);
                })->UseManualTime()->Unit(benchmark::kMillisecond);
            } else {
                const MethodCase c = {name, row.method, row.radius, grey};
                benchmark::RegisterBenchmark(name.c_str(), [c](benchmark::State& state) {
                    TimeMethod(state, &picture, c);
                })->UseManualTime()->Unit(benchmark::kMillisecond);
            }
            TableRow line;
            line.label = std::string(row.label) + (grey ? ", grey" : ", RGB");
            line.method = name;
            const char* peerLabel = grey ? row.peerLabelGrey : row.peerLabelRgb;
            if (peerLabel && RegisterPeerBenchmark(row.peerKey, &picture, grey)) {
                anyPeer = true;
                line.peerLabel = peerLabel;
                line.peer = std::string(row.peerKey) + "/" + kind;
                line.target = grey ? 0.0 : row.target;
            }
            table.push_back(line);
        }
    }

    const std::string selection = (drive / "selection.png").string();
    benchmark::RegisterBenchmark("varno_select_jpeg", [jpeg, selection](benchmark::State& state) {
        TimeProgram(state, jpeg, selection, &photoShape);
    })->UseManualTime()->Unit(benchmark::kMillisecond);
    TableRow program;
    program.label = "varno select IN.jpg -o OUT.png";
    if (photoShape.width != options.width || photoShape.height != options.height)
        program.label += " (" + std::to_string(photoShape.width) + "x" + std::to_string(photoShape.height) + ")";
    program.method = "varno_select_jpeg";
    if (RegisterFilePeerBenchmark(jpeg, (drive / "peer.png").string())) {
        program.peerLabel = "read JPEG, grey, write PNG";
        program.peer = "cv_jpeg_grey_png";
        program.target = 1.5;
    }
    table.push_back(program);

    BookReporter reporter;
    const size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter);

    TableHeading heading;
    heading.width = options.width;
    heading.height = options.height;
    heading.repetitions = options.repetitions;
    heading.peerLibrary = anyPeer ? PeerLibrary() : std::string();
    std::vector<TableRow> shown;
    for (const TableRow& row : table)
        if (book.Lookup(row.method).state != Measurement::kMissing) shown.push_back(row);
    // The console report went to std::cout: the table follows it there.
    std::cout << "\n" << FormatTable(heading, shown, book);
    if (anyPeer) std::cout << "ratio = method time / peer time; the targets apply to the RGB picture.\n";
    std::cout << FormatMemory(memory);
    for (const auto& [name, message] : book.errors) std::cout << "failed: " << name << ": " << message << "\n";
    std::cout.flush();

    std::filesystem::remove_all(drive, ignored);
    benchmark::Shutdown();
    if (ran == 0) {
        std::fprintf(stderr, "varno_bench: no benchmark ran\n");
        return 1;
    }
    const bool memoryFailed = std::any_of(memory.begin(), memory.end(), [](const MemoryCase& c) { return c.peak < 0; });
    return book.AnyFailed() || memoryFailed ? 1 : 0;
}

}  // namespace varnobench

int main(int argc, char** argv) { return varnobench::Main(argc, argv); }

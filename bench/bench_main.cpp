// varno_bench: throughput of the five edge-finding methods and of whole Execute runs, in
// megapixels per second, on a mosaic of real photographs (when given one) and on a photograph-like
// picture that the project draws itself, each in colour and in grey, beside peer operations from
// another image library when the build has one (bench_peers.h), ending with tables of median
// times, ratios and targets. Then the whole program: `varno select IN.jpg -o OUT.png` on a
// photograph beside the peer library reading that JPEG, converting it to grey and writing that as
// PNG, and varno's peak memory on the photograph as an 8-bit JPEG and as a 16-bit TIFF, measured
// once each.
//
//   varno_bench [--mosaic=FILE] [--photo=IN.jpg] [--size=WxH | --small] [--kernels=LEVEL]
//               [Google Benchmark options]
//
// The photograph is IN.jpg (scripts/bench gives the mosaic as a JPEG); without one, the generated
// picture, written as a JPEG.
//
// The size comes from --size, else $VARNO_BENCH_SIZE, else 6000x4000 (the mosaic is cut to it
// when it is larger); --small is 300x200 without the mosaic, the smoke run of the tests. Unless
// given, 5 repetitions (1 with --small) run and the console shows their aggregates; the tables
// take medians. --kernels=sse2, avx2 or avx512 holds the methods' kernels to that level at most,
// as on a processor without the higher ones. The methods alone and the Execute rows of the main
// tables run on one thread (VARNOCKETILE_THREADS=1), as do the peers there; the threads table
// adds each Execute run on every thread (VARNOCKETILE_THREADS as this program was started with
// it, else every processor) beside the peer at its library's default thread count, so that
// VARNOCKETILE_THREADS=1..N draws the curve.
//
// A method runs as the execution driver runs it: in place on a fresh copy of the picture in an
// ImageBuffer (the copy is not timed), with the full-run flag, through a host whose progress and
// abort procedures do nothing. A whole run goes through varno's host code (RunPlugin) into the
// plug-in's ENTRYPOINT linked into this program, the same code as the plug-in library, playing the
// method back without the dialog; its time is the Execute call less the time inside the host's
// pixel callbacks (timed_host.h), and the whole call and the run's peak memory are shown beside
// it. "copy" is one memcpy of the document's bytes into memory already in use, the unit of the
// Execute budget (the method alone plus two copies). The plug-in's fixed files go to a temporary
// drive C that is removed at the end.
//
// Exit status: 0 when at least one benchmark ran and none failed (a method's non-zero result, a
// picture left unchanged, a resource left behind), 1 otherwise, 2 for a usage error.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include "bench/bench_peers.h"
#include "bench/bench_table.h"
#include "bench/bench_threads.h"
#include "bench/timed_host.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/levels.h"
#include "edges/methods.h"
#include "plugin/plugin.h"
#include "images/document.h"
#include "images/images.h"
#include "host/platform.h"
#include "host/run.h"
#include "images/sample.h"

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
    UseThreads(false);
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

// One copy of the document's bytes into memory that is already the process's (no page faults).
void TimeCopy(benchmark::State& state, const BenchPicture* picture, bool grey) {
    const std::vector<uint8_t>& pixels = grey ? picture->grey : picture->rgb;
    std::vector<uint8_t> target(pixels.size(), 1);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(target.data(), pixels.data(), pixels.size());
        benchmark::ClobberMemory();
        state.SetIterationTime(Seconds(start, std::chrono::steady_clock::now()));
    }
    benchmark::DoNotOptimize(target.data());
    SetRate(state, picture);
}

// One copy of the picture into an image buffer made for it, as Execute makes its working image,
// timed from the buffer's creation to its disposal.
void TimeFreshCopy(benchmark::State& state, const BenchPicture* picture, bool grey) {
    const std::vector<uint8_t>& pixels = grey ? picture->grey : picture->rgb;
    const int32_t planes = grey ? 1 : 3;
    const size_t rowBytes = size_t(picture->width) * size_t(planes);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        ImageBuffer* image = nullptr;
        const int16_t result = CreateBackingBuffer(picture->width, picture->height, planes, &image);
        bool filled = result == kNoErr;
        for (int32_t r = 0; r < picture->height && filled; ++r) {
            uint8_t* row = BufferRow(image, r);
            filled = row != nullptr;
            if (filled) std::memcpy(row, pixels.data() + size_t(r) * rowBytes, rowBytes);
        }
        benchmark::ClobberMemory();
        DisposeImageBuffer(image);
        state.SetIterationTime(Seconds(start, std::chrono::steady_clock::now()));
        if (!filled) return Fail(state, "fresh_copy", "the image buffer could not be made: " + std::to_string(result));
    }
    SetRate(state, picture);
}

// The whole run as a host makes it: About, then Execute playing back `method` and `radius`, from
// reading the document through the host's callbacks to the new selection handed back. The time is
// the plug-in's own share of the Execute call.
void TimeExecute(benchmark::State& state, const BenchPicture* picture, const varno::Document* original,
                 const std::string& name, int32_t method, int32_t radius, bool allThreads = false) {
    UseThreads(allThreads);
    varno::Document document = *original;
    varno::RunOptions options;
    options.playDescriptor = true;
    options.descriptor.PutEnumerated(FourCC("EdgM"), FourCC("rB45"), uint32_t(method));
    options.descriptor.PutInteger(FourCC("edgR"), radius);
    // A fresh instance: the block the plug-in asks the host to keep is made by the first run and
    // released below, so that everything else the runs leave behind shows in the count.
    varno::PluginInstance plugin;
    SetTimedPlugin(ENTRYPOINT);
    plugin.entry = TimedEntry;
    const LiveResources before = CountLiveResources();
    varno::RunReport report;
    bool failed = false;
    double whole = 0.0, peak = -1.0;
    int64_t runs = 0;
    for (auto _ : state) {
        document.hasSelection = false;
        document.selection.clear();
        varno::RunPlugin(&plugin, &document, options, &report);
        const ExecuteTiming timing = LastExecute();
        state.SetIterationTime(timing.seconds - timing.callbackSeconds);
        whole += timing.seconds;
        peak = std::max(peak, double(timing.peakBytes));
        ++runs;
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
    state.counters[kWholeSeconds] = benchmark::Counter(runs > 0 ? whole / double(runs) : 0.0);
    state.counters[kPeakBytes] = benchmark::Counter(peak);
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
                    for (const auto& [key, counter] : run.counters)
                        if (key == kWholeSeconds || key == kPeakBytes) book.AddFigure(name, key, counter.value);
                } else if (run.aggregate_name == "median") {
                    book.SetMedian(name, seconds);
                    for (const auto& [key, counter] : run.counters)
                        if (key == kWholeSeconds || key == kPeakBytes) book.SetFigureMedian(name, key, counter.value);
                }
            }
        }
        benchmark::ConsoleReporter::ReportRuns(runs);
    }
};

// A method alone, or (execute) a whole Execute run with it, beside its peer.
struct Row {
    const char* label;
    const char* key;  // benchmark name before "/PICTURE-rgb" or "/PICTURE-grey"
    int32_t method;
    int32_t radius;
    bool execute;
    const char* peerKey;
    const char* peerLabelRgb;
    const char* peerLabelGrey;  // null: no peer for the grey picture
    double target;              // for the RGB pictures; 0 none
};

const Row kRows[] = {
    {"Traditional", "traditional", kMethodTraditional, 0, false, "cv_sobel_magnitude", "per-channel Sobel + magnitude",
     "Sobel + magnitude", 0.12},
    {"Skinny lines", "skinny_lines", kMethodSkinnyLines, 0, false, "cv_canny", "grey + Canny", "Canny", 1.0},
    {"Smoother", "smoother", kMethodSmoother, 0, false, "cv_ycrcb_round_trip", "RGB->YCrCb->RGB round trip", nullptr,
     1.0},
    {"Fine detail", "fine_detail", kMethodFineDetail, 0, false, "cv_frei_chen", "Frei-Chen-like composite",
     "Frei-Chen-like composite", 0.2},
    {"Variable width r1", "variable_width_r1", kMethodVariableWidth, 1, false, "cv_filter2d_3x3", "3x3 filter2D",
     "3x3 filter2D", 0.0},
    {"Variable width r2", "variable_width_r2", kMethodVariableWidth, 2, false, "cv_filter2d_5x5", "5x5 filter2D",
     "5x5 filter2D", 0.0},
    {"Variable width r3", "variable_width_r3", kMethodVariableWidth, 3, false, "cv_filter2d_7x7", "7x7 filter2D",
     "7x7 filter2D", 2.0},
    {"Execute, Traditional", "execute_traditional", kMethodTraditional, 2, true, "cv_sobel_magnitude",
     "per-channel Sobel + magnitude", "Sobel + magnitude", 0.35},
    {"Execute, Skinny lines", "execute_skinny_lines", kMethodSkinnyLines, 2, true, "cv_canny", "grey + Canny", "Canny",
     1.0},
    {"Execute, Smoother", "execute_smoother", kMethodSmoother, 2, true, "cv_smoother_composite",
     "Smoother-like composite", "Smoother-like composite", 0.55},
    {"Execute, Fine detail", "execute_fine_detail", kMethodFineDetail, 2, true, "cv_frei_chen",
     "Frei-Chen-like composite", "Frei-Chen-like composite", 0.33},
    {"Execute, Variable width r3", "execute_variable_width_r3", kMethodVariableWidth, 3, true,
     "cv_variable_composite", "variable-width-like composite", "variable-width-like composite", 0.36},
};

struct Options {
    int32_t width = 6000;
    int32_t height = 4000;
    bool sizeGiven = false;
    std::string mosaic;
    int32_t kernelLimit = -1;  // none
    int32_t repetitions = 5;
    std::string photo;
    std::vector<std::string> benchmarkArgs;
};

void Usage(FILE* to) {
    std::fprintf(to,
                 "usage: varno_bench [--mosaic=FILE] [--photo=IN.jpg] [--size=WxH | --small] [Google Benchmark options]\n"
                 "  --mosaic=FILE  the mosaic of photographs (scripts/mosaic makes it)\n"
                 "  --photo=IN.jpg the photograph of the whole-program case (scripts/mosaic jpg makes one)\n"
                 "  --size=WxH     picture size, each side 1..%d (default $VARNO_BENCH_SIZE, else 6000x4000)\n"
                 "  --small        300x200 without the mosaic and one repetition: the smoke run\n"
                 "  --kernels=L    the highest kernel level to use: sse2, avx2 or avx512\n",
                 int(kLargestSide));
}

// Takes this program's own options out of the arguments; false after a usage error.
bool ParseOptions(int argc, char** argv, Options* options) {
    if (const char* size = std::getenv("VARNO_BENCH_SIZE"); size && *size) {
        if (!ParsePictureSize(size, &options->width, &options->height)) {
            std::fprintf(stderr, "varno_bench: VARNO_BENCH_SIZE must be WIDTHxHEIGHT, each 1..%d\n", int(kLargestSide));
            return false;
        }
        options->sizeGiven = true;
    }
    bool small = false, repetitionsGiven = false, aggregatesGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--small") {
            small = true;
            options->width = 300;
            options->height = 200;
        } else if (arg == "--size" || arg.rfind("--size=", 0) == 0) {
            std::string value = arg.size() > 6 ? arg.substr(7) : (i + 1 < argc ? argv[++i] : "");
            if (!ParsePictureSize(value, &options->width, &options->height)) {
                std::fprintf(stderr, "varno_bench: --size takes WIDTHxHEIGHT, each 1..%d\n", int(kLargestSide));
                return false;
            }
            options->sizeGiven = true;
        } else if (arg.rfind("--mosaic=", 0) == 0) {
            options->mosaic = arg.substr(9);
        } else if (arg.rfind("--photo=", 0) == 0) {
            options->photo = arg.substr(8);
        } else if (arg.rfind("--kernels=", 0) == 0) {
            const std::string level = arg.substr(10);
            options->kernelLimit = level == "sse2" ? kKernelSse2 : level == "avx2" ? kKernelAvx2 : level == "avx512" ? kKernelAvx512 : -2;
            if (options->kernelLimit == -2) {
                std::fprintf(stderr, "varno_bench: --kernels takes sse2, avx2 or avx512\n");
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
    if (small) options->mosaic.clear();
    if (!repetitionsGiven) {
        options->repetitions = small ? 1 : 5;
        options->benchmarkArgs.push_back("--benchmark_repetitions=" + std::to_string(options->repetitions));
    }
    if (options->repetitions > 1 && !aggregatesGiven)
        options->benchmarkArgs.push_back("--benchmark_display_aggregates_only=true");
    return true;
}

// A picture's grey version by luminance, and the two documents a host would hold.
void Complete(BenchPicture* picture, varno::Document* rgbDocument, varno::Document* greyDocument) {
    const size_t count = size_t(picture->width) * size_t(picture->height);
    picture->grey.resize(count);
    std::vector<std::vector<uint8_t>> planes(3, std::vector<uint8_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = &picture->rgb[3 * i];
        picture->grey[i] = uint8_t((77 * p[0] + 150 * p[1] + 29 * p[2] + 128) >> 8);
        for (int c = 0; c < 3; ++c) planes[size_t(c)][i] = p[c];
    }
    std::string error;
    varno::MakeDocument8(3, picture->width, picture->height, std::move(planes), rgbDocument, &error);
    varno::MakeDocument8(1, picture->width, picture->height, {picture->grey}, greyDocument, &error);
}

void DrawPicture(const Options& options, BenchPicture* picture) {
    picture->name = "generated";
    picture->width = options.width;
    picture->height = options.height;
    picture->rgb = varno::DrawSample(options.width, options.height, 1);
}

// The mosaic file, cut to the size asked for when that is smaller; an empty text when read.
std::string ReadMosaic(const Options& options, BenchPicture* picture) {
    varno::Document document;
    std::string error = varno::ReadImageFile(options.mosaic, &document);
    if (!error.empty()) return error;
    if (document.depth != 8 || document.channels8.size() != 3) return "not an 8-bit RGB picture";
    picture->name = "photos";
    picture->width = options.sizeGiven ? std::min(options.width, document.width) : document.width;
    picture->height = options.sizeGiven ? std::min(options.height, document.height) : document.height;
    picture->rgb.resize(size_t(picture->width) * size_t(picture->height) * 3);
    for (int32_t y = 0; y < picture->height; ++y)
        for (int32_t x = 0; x < picture->width; ++x)
            for (int c = 0; c < 3; ++c)
                picture->rgb[(size_t(y) * size_t(picture->width) + size_t(x)) * 3 + size_t(c)] =
                    document.channels8[size_t(c)][size_t(y) * size_t(document.width) + size_t(x)];
    return "";
}

struct Picture {
    BenchPicture picture;
    varno::Document rgbDocument, greyDocument;
    std::string description;
};

// Registers the rows of one picture and kind, and returns them for the table.
std::vector<TableRow> RegisterRows(Picture* p, bool grey, bool* anyPeer) {
    std::vector<TableRow> table;
    const std::string kind = p->picture.name + (grey ? "-grey" : "-rgb");
    for (const Row& row : kRows) {
        const std::string name = std::string(row.key) + "/" + kind;
        if (row.execute) {
            const varno::Document* document = grey ? &p->greyDocument : &p->rgbDocument;
            const BenchPicture* picture = &p->picture;
            const int32_t method = row.method, radius = row.radius;
            benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
                TimeExecute(state, picture, document, name, method, radius);
            })->UseManualTime()->Unit(benchmark::kMillisecond);
        } else {
            const MethodCase c = {name, row.method, row.radius, grey};
            const BenchPicture* picture = &p->picture;
            benchmark::RegisterBenchmark(name.c_str(), [c, picture](benchmark::State& state) {
                TimeMethod(state, picture, c);
            })->UseManualTime()->Unit(benchmark::kMillisecond);
        }
        TableRow line;
        line.label = std::string(row.label) + (grey ? ", grey" : ", RGB");
        line.method = name;
        line.execute = row.execute;
        const char* peerLabel = grey ? row.peerLabelGrey : row.peerLabelRgb;
        if (peerLabel && RegisterPeerBenchmark(row.peerKey, &p->picture, grey)) {
            *anyPeer = true;
            line.peerLabel = peerLabel;
            line.peer = std::string(row.peerKey) + "/" + kind;
            line.target = grey ? 0.0 : row.target;
        }
        table.push_back(line);
    }
    const std::string copy = "copy/" + kind;
    const BenchPicture* picture = &p->picture;
    benchmark::RegisterBenchmark(copy.c_str(), [picture, grey](benchmark::State& state) {
        TimeCopy(state, picture, grey);
    })->UseManualTime()->Unit(benchmark::kMillisecond);
    const std::string fresh = "fresh_copy/" + kind;
    benchmark::RegisterBenchmark(fresh.c_str(), [picture, grey](benchmark::State& state) {
        TimeFreshCopy(state, picture, grey);
    })->UseManualTime()->Unit(benchmark::kMillisecond);
    return table;
}

// The Execute runs of one picture and kind against their methods alone plus two copies.
std::vector<BudgetRow> BudgetRows(const Picture& p, bool grey) {
    const std::string kind = "/" + p.picture.name + (grey ? "-grey" : "-rgb");
    std::vector<BudgetRow> rows;
    for (const Row& execute : kRows) {
        if (!execute.execute) continue;
        for (const Row& alone : kRows)
            if (!alone.execute && alone.method == execute.method && (alone.radius == execute.radius || alone.radius == 0))
                rows.push_back({alone.label, execute.key + kind, alone.key + kind, "copy" + kind, "fresh_copy" + kind});
    }
    return rows;
}

// The threaded Execute run of every Execute row and its peer at the library's default thread
// count, with the names of the one-thread runs they are held against.
std::vector<ThreadsRow> RegisterThreadRows(Picture* p, bool grey) {
    static const struct {
        const char* key;
        double goal;
    } kGoals[] = {{"execute_traditional", 0.20}, {"execute_skinny_lines", 0.80}, {"execute_smoother", 0.30},
                  {"execute_fine_detail", 0.20}, {"execute_variable_width_r3", 0.20}};
    const std::string kind = p->picture.name + (grey ? "-grey" : "-rgb");
    std::vector<ThreadsRow> rows;
    for (const Row& execute : kRows) {
        if (!execute.execute) continue;
        ThreadsRow row;
        row.label = std::string(execute.label) + (grey ? ", grey" : ", RGB");
        row.execute = std::string(execute.key) + "/" + kind;
        row.threaded = std::string(execute.key) + "_threads/" + kind;
        for (const Row& alone : kRows)
            if (!alone.execute && alone.method == execute.method && (alone.radius == execute.radius || alone.radius == 0))
                row.alone = std::string(alone.key) + "/" + kind;
        const varno::Document* document = grey ? &p->greyDocument : &p->rgbDocument;
        const BenchPicture* picture = &p->picture;
        const std::string name = row.threaded;
        const int32_t method = execute.method, radius = execute.radius;
        benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
            TimeExecute(state, picture, document, name, method, radius, true);
        })->UseManualTime()->Unit(benchmark::kMillisecond);
        if ((grey ? execute.peerLabelGrey : execute.peerLabelRgb) &&
            RegisterThreadedPeerBenchmark(execute.peerKey, &p->picture, grey)) {
            row.peer = std::string(execute.peerKey) + "/" + kind;
            row.peerAll = std::string(execute.peerKey) + "_threads/" + kind;
        }
        for (const auto& g : kGoals)
            if (!grey && row.execute.rfind(std::string(g.key) + "/", 0) == 0) row.goal = g.goal;
        rows.push_back(row);
    }
    return rows;
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

}  // namespace

int Main(int argc, char** argv) {
    Options options;
    RememberThreadsSetting();
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

    SetKernelLevelLimit(options.kernelLimit);
    std::printf("kernels: %s\n", KernelLevelName(KernelLevel()));
    // The pictures live until the end: the registered benchmarks point into them.
    static std::vector<Picture> pictures;
    pictures.reserve(2);
    if (!options.mosaic.empty()) {
        pictures.emplace_back();
        const std::string error = ReadMosaic(options, &pictures.back().picture);
        if (!error.empty()) {
            std::fprintf(stderr, "varno_bench: %s: %s\n", options.mosaic.c_str(), error.c_str());
            return 1;
        }
        pictures.back().description = "mosaic of photographs";
    }
    pictures.emplace_back();
    DrawPicture(options, &pictures.back().picture);
    pictures.back().description = "generated picture";
    for (Picture& p : pictures) Complete(&p.picture, &p.rgbDocument, &p.greyDocument);

    struct Section {
        TableHeading heading;
        std::vector<TableRow> rows;
        std::vector<BudgetRow> budget;
        std::vector<ThreadsRow> threads;
    };
    std::vector<Section> sections;
    bool anyPeer = false;
    for (Picture& p : pictures) {
        for (bool grey : {false, true}) {
            Section section;
            section.heading.width = p.picture.width;
            section.heading.height = p.picture.height;
            section.heading.repetitions = options.repetitions;
            section.heading.picture = p.description + (grey ? ", grey" : ", RGB");
            section.rows = RegisterRows(&p, grey, &anyPeer);
            section.budget = BudgetRows(p, grey);
            section.threads = RegisterThreadRows(&p, grey);
            sections.push_back(section);
        }
    }

    Section program;
    program.heading.width = photoShape.width;
    program.heading.height = photoShape.height;
    program.heading.repetitions = options.repetitions;
    program.heading.picture = "the whole program on a photograph as JPEG";
    const std::string selection = (drive / "selection.png").string();
    benchmark::RegisterBenchmark("varno_select_jpeg", [jpeg, selection](benchmark::State& state) {
        TimeProgram(state, jpeg, selection, &photoShape);
    })->UseManualTime()->Unit(benchmark::kMillisecond);
    TableRow whole;
    whole.label = "varno select IN.jpg -o OUT.png";
    whole.method = "varno_select_jpeg";
    if (RegisterFilePeerBenchmark(jpeg, (drive / "peer.png").string())) {
        anyPeer = true;
        whole.peerLabel = "read JPEG, grey, write PNG";
        whole.peer = "cv_jpeg_grey_png";
        whole.target = 1.5;
    }
    program.rows.push_back(whole);
    sections.push_back(program);

    BookReporter reporter;
    const size_t ran = benchmark::RunSpecifiedBenchmarks(&reporter);

    // The console report went to std::cout: the tables follow it there.
    for (Section& section : sections) {
        section.heading.peerLibrary = anyPeer ? PeerLibrary() : std::string();
        std::vector<TableRow> shown;
        for (const TableRow& row : section.rows)
            if (book.Lookup(row.method).state != Measurement::kMissing) shown.push_back(row);
        std::vector<BudgetRow> budget;
        for (const BudgetRow& row : section.budget)
            if (book.Lookup(row.execute).state != Measurement::kMissing) budget.push_back(row);
        if (shown.empty()) continue;
        std::cout << "\n" << FormatTable(section.heading, shown, book);
        if (!budget.empty()) std::cout << "\n" << FormatBudget(budget, book);
        std::vector<ThreadsRow> threads;
        for (const ThreadsRow& row : section.threads)
            if (book.Lookup(row.threaded).state != Measurement::kMissing) threads.push_back(row);
        if (!threads.empty())
            std::cout << "\n" << FormatThreadsTable(ThreadsInUse(), PeerDefaultThreads(), threads, book);
    }
    std::cout << "\nms: the method alone, or the plug-in's own share of a whole Execute run (the call less the host's\n"
                 "pixel callbacks); whole ms: the whole Execute call; peak MB: the memory the process took on during it.\n";
    if (anyPeer) std::cout << "ratio = ms / peer ms; the targets apply to the RGB pictures.\n";
    std::cout << "budget: the method alone plus two copies of the document; fresh copy: one copy into an image buffer\n"
                 "made for it and disposed of, as Execute makes its working image (not part of the budget).\n";
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

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
//
// This file holds the options, the pictures and the closing report; the timed cases are in
// bench_cases.cpp, the rows beside their peers in bench_rows.cpp, the whole program in
// bench_program.cpp and the tables in bench_table.cpp.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bench/bench_cases.h"
#include "bench/bench_peers.h"
#include "bench/bench_program.h"
#include "bench/bench_rows.h"
#include "bench/bench_table.h"
#include "edges/kernels/levels.h"
#include "host/platform.h"
#include "images/document.h"
#include "images/images.h"
#include "images/sample.h"

namespace varnobench {

// The console report, also noting every time and failure in the Book().
class BookReporter : public benchmark::ConsoleReporter {
public:
    BookReporter() : benchmark::ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const std::string& name = run.run_name.function_name;
            if (run.error_occurred) {
                Book().SetFailed(name, run.error_message);
            } else if (run.iterations > 0) {
                const double seconds = run.real_accumulated_time / double(run.iterations);
                if (run.run_type == Run::RT_Iteration) {
                    Book().AddRepetition(name, seconds);
                    for (const auto& [key, counter] : run.counters)
                        if (IsExecuteFigure(key)) Book().AddFigure(name, key, counter.value);
                } else if (run.aggregate_name == "median") {
                    Book().SetMedian(name, seconds);
                    for (const auto& [key, counter] : run.counters)
                        if (IsExecuteFigure(key)) Book().SetFigureMedian(name, key, counter.value);
                }
            }
        }
        benchmark::ConsoleReporter::ReportRuns(runs);
    }
};

namespace {

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
    if (!PreparePhotograph(options.photo, options.width, options.height, drive.string(), &jpeg, &photoShape, &memory)) {
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
            if (Book().Lookup(row.method).state != Measurement::kMissing) shown.push_back(row);
        std::vector<BudgetRow> budget;
        for (const BudgetRow& row : section.budget)
            if (Book().Lookup(row.execute).state != Measurement::kMissing) budget.push_back(row);
        if (shown.empty()) continue;
        std::cout << "\n" << FormatTable(section.heading, shown, Book());
        if (!budget.empty()) std::cout << "\n" << FormatBudget(budget, Book());
        std::vector<ThreadsRow> threads;
        for (const ThreadsRow& row : section.threads)
            if (Book().Lookup(row.threaded).state != Measurement::kMissing) threads.push_back(row);
        if (!threads.empty())
            std::cout << "\n" << FormatThreadsTable(ThreadsInUse(), PeerDefaultThreads(), threads, Book());
    }
    std::cout << "\nms: the method alone, or the plug-in's own share of a whole Execute run (the call less the host's\n"
                 "pixel callbacks); whole ms: the whole Execute call; peak MB: the memory the process took on during it.\n";
    if (anyPeer) std::cout << "ratio = ms / peer ms; the targets apply to the RGB pictures.\n";
    std::cout << "budget: the method alone plus two copies of the document; fresh copy: one copy into an image buffer\n"
                 "made for it and disposed of, as Execute makes its working image (not part of the budget).\n";
    std::cout << FormatMemory(memory);
    for (const auto& [name, message] : Book().errors) std::cout << "failed: " << name << ": " << message << "\n";
    std::cout.flush();

    std::filesystem::remove_all(drive, ignored);
    benchmark::Shutdown();
    if (ran == 0) {
        std::fprintf(stderr, "varno_bench: no benchmark ran\n");
        return 1;
    }
    const bool memoryFailed = std::any_of(memory.begin(), memory.end(), [](const MemoryCase& c) { return c.peak < 0; });
    return Book().AnyFailed() || memoryFailed ? 1 : 0;
}

}  // namespace varnobench

int main(int argc, char** argv) { return varnobench::Main(argc, argv); }

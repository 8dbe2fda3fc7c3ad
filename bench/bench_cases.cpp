// The timed cases: a method alone, the copies, a whole Execute run.
#include "bench/bench_cases.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "bench/bench_threads.h"
#include "bench/timed_host.h"
#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "plugin/plugin.h"
#include "host/run.h"

namespace varnobench {

namespace {

Boolean PIAPI NeverStop(void) { return 0; }
void PIAPI IgnoreProgress(int32_t, int32_t) {}

bool SameResources(const LiveResources& a, const LiveResources& b) {
    return a.memoryBlocks == b.memoryBlocks && a.pluginHandles == b.pluginHandles && a.mappings == b.mappings;
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

}  // namespace

ResultBook& Book() {
    static ResultBook book;
    return book;
}

double Seconds(std::chrono::steady_clock::time_point start, std::chrono::steady_clock::time_point end) {
    return std::chrono::duration<double>(end - start).count();
}

void Fail(benchmark::State& state, const std::string& name, const std::string& message) {
    Book().SetFailed(name, message);
    state.SkipWithError(message.c_str());
}

void SetRate(benchmark::State& state, const BenchPicture* picture) {
    const double megapixels = double(picture->width) * double(picture->height) / 1e6;
    state.counters["MP"] = benchmark::Counter(megapixels, benchmark::Counter::kIsIterationInvariantRate);
}

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
        const int16_t result = RunEdgeMethod(c.method, c.radius, image, &progress, 1);
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
                 const std::string& name, int32_t method, int32_t radius, bool allThreads) {
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
    double whole = 0.0, host = 0.0, banded = 0.0, peak = -1.0;
    int64_t runs = 0;
    for (auto _ : state) {
        document.hasSelection = false;
        document.selection.clear();
        varno::RunPlugin(&plugin, &document, options, &report);
        const ExecuteTiming timing = LastExecute();
        state.SetIterationTime(timing.seconds - timing.callbackSeconds);
        whole += timing.seconds;
        host += timing.callbackSeconds;
        banded += timing.bandedSeconds;
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
    const double each = runs > 0 ? 1.0 / double(runs) : 0.0;
    state.counters[kWholeSeconds] = benchmark::Counter(whole * each);
    state.counters[kHostSeconds] = benchmark::Counter(host * each);
    state.counters[kBandedSeconds] = benchmark::Counter(banded * each);
    state.counters[kPeakBytes] = benchmark::Counter(peak);
    SetRate(state, picture);
}

}  // namespace varnobench

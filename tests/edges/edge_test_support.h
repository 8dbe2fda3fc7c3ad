// Shared helpers for the edge-method tests: images as plain vectors, conversion to and from named
// image buffers, a fake host that records progress and can ask to stop at a chosen call, a
// deterministic photograph-like image generator (integer only, so every build makes the same
// bytes) and an FNV-1a hash for comparing outputs across builds.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "buffers/image_buffer.h"
#include "edges/methods.h"
#include "plugin/plugin.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace edgetest {

// VARNOCKETILE_THREADS for the life of the object (the plug-in reads the process's environment).
struct ThreadsOverride {
    explicit ThreadsOverride(int32_t threads) { Set(std::to_string(threads).c_str()); }
    ~ThreadsOverride() { Set(nullptr); }
    ThreadsOverride(const ThreadsOverride&) = delete;
    ThreadsOverride& operator=(const ThreadsOverride&) = delete;
    static void Set(const char* value) {
#if defined(_WIN32)
        SetEnvironmentVariableA("VARNOCKETILE_THREADS", value);
#else
        if (value) setenv("VARNOCKETILE_THREADS", value, 1);
        else unsetenv("VARNOCKETILE_THREADS");
#endif
    }
};

// An image as bytes: `height` rows of width x planes bytes, pixels interleaved.
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    int32_t planes = 1;
    std::vector<uint8_t> bytes;

    uint8_t& at(int32_t x, int32_t y, int32_t c = 0) {
        return bytes[(size_t(y) * size_t(width) + size_t(x)) * size_t(planes) + size_t(c)];
    }
    uint8_t at(int32_t x, int32_t y, int32_t c = 0) const {
        return bytes[(size_t(y) * size_t(width) + size_t(x)) * size_t(planes) + size_t(c)];
    }
};

inline Image Blank(int32_t width, int32_t height, int32_t planes, uint8_t value = 0) {
    Image image;
    image.width = width;
    image.height = height;
    image.planes = planes;
    image.bytes.assign(size_t(width) * size_t(height) * size_t(planes), value);
    return image;
}

// A grey image whose columns 0..stepColumn-1 hold `low` and the rest `high` (a vertical step).
inline Image VerticalStep(int32_t width, int32_t height, int32_t stepColumn, uint8_t low, uint8_t high) {
    Image image = Blank(width, height, 1);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) image.at(x, y) = x < stepColumn ? low : high;
    return image;
}

// Makes a named buffer holding `image`; none if the buffer could not be made.
inline ImageBuffer* MakeBuffer(const Image& image, const char* name = "EdgeTest") {
    ImageBuffer* buffer = nullptr;
    int16_t code = CreateImageBuffer(name, int16_t(image.width), int16_t(image.height),
                                     int16_t(image.planes), &buffer);
    if (code != 0) {
        DisposeImageBuffer(buffer);
        return nullptr;
    }
    const int32_t rowBytes = image.width * image.planes;
    for (int32_t y = 0; y < image.height; ++y)
        WriteBufferRow(buffer, 0, y, rowBytes, image.bytes.data() + size_t(y) * size_t(rowBytes));
    return buffer;
}

// Pixels given left to right (planes values each), repeated down `height` rows.
inline Image Columns(const std::vector<uint8_t>& values, int32_t planes, int32_t height) {
    Image image = Blank(int32_t(values.size()) / planes, height, planes);
    for (int32_t y = 0; y < height; ++y)
        for (size_t i = 0; i < values.size(); ++i) image.bytes[size_t(y) * values.size() + i] = values[i];
    return image;
}

inline Image ReadBack(const ImageBuffer* buffer) {
    BufferShape shape{};
    GetBufferShape(buffer, &shape);
    Image image = Blank(shape.width, shape.height, shape.planes);
    const int32_t rowBytes = image.width * image.planes;
    for (int32_t y = 0; y < image.height; ++y)
        ReadBufferRow(buffer, 0, y, rowBytes, image.bytes.data() + size_t(y) * size_t(rowBytes));
    return image;
}

// ---- a fake host ------------------------------------------------------------------------------

// Records every progress call and abort test. abortAtCall = N makes the N-th abort test (1 = the
// first) and every later one report a stop; 0 never stops.
struct HostLog {
    std::vector<std::pair<int32_t, int32_t>> progress;  // (done, total) as the host saw them
    int32_t abortTests = 0;
    int32_t abortAtCall = 0;
    std::vector<std::string> events;  // "P" and "A" in call order
};

inline HostLog* currentHostLog = nullptr;

inline void PIAPI FakeProgress(int32_t done, int32_t total) {
    if (!currentHostLog) return;
    currentHostLog->progress.emplace_back(done, total);
    currentHostLog->events.push_back("P");
}

inline Boolean PIAPI FakeAbort(void) {
    if (!currentHostLog) return 0;
    ++currentHostLog->abortTests;
    currentHostLog->events.push_back("A");
    return currentHostLog->abortAtCall > 0 && currentHostLog->abortTests >= currentHostLog->abortAtCall;
}

// A run whose host record reaches the fake callbacks, and the progress pair a method is given for
// it; the log lives as long as the object.
// The callbacks report to the most recently made FakeRun still alive; when it goes, the one made
// before it becomes current again.
struct FakeRun {
    HostLog log;
    SelectionRecord record{};
    RunState run{};
    ProgressPair progress{};
    HostLog* previous;

    explicit FakeRun(int32_t abortAtCall = 0) : previous(currentHostLog) {
        log.abortAtCall = abortAtCall;
        record.abortProc = FakeAbort;
        record.progressProc = FakeProgress;
        run.host = &record;
        progress = RunProgress(&run);
        currentHostLog = &log;
    }
    ~FakeRun() {
        if (currentHostLog == &log) currentHostLog = previous;
    }
    FakeRun(const FakeRun&) = delete;
    FakeRun& operator=(const FakeRun&) = delete;

    // The caller's (k, n) of every ReportProgress call, undoing done = n + 4k, total = 6n.
    std::vector<std::pair<int32_t, int32_t>> Steps() const {
        std::vector<std::pair<int32_t, int32_t>> steps;
        for (auto [done, total] : log.progress) {
            const int32_t n = total / 6;
            steps.emplace_back((done - n) / 4, n);
        }
        return steps;
    }
};

// Runs method `method` (Variable width with `radius`) on a buffer made from `in` and reads the
// result back; `host` sees the calls, or a fake host of its own when none is given.
inline Image Apply(int32_t method, int32_t radius, const Image& in, int32_t flag, int16_t* code,
                   FakeRun* host = nullptr) {
    if (!host) {
        FakeRun local;
        return Apply(method, radius, in, flag, code, &local);
    }
    ImageBuffer* buffer = MakeBuffer(in);
    EXPECT_NE(buffer, nullptr);
    *code = RunEdgeMethod(method, radius, buffer, &host->progress, flag);
    Image out = ReadBack(buffer);
    DisposeImageBuffer(buffer);
    return out;
}

// ---- generated images -------------------------------------------------------------------------

// A small integer generator (xorshift32), identical in every build.
struct Random {
    uint32_t state;
    explicit Random(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int32_t Below(int32_t n) { return int32_t(Next() % uint32_t(n)); }
};

// A photograph-like image: smooth gradients, a few flat shapes with hard and soft borders, thin
// lines and a little noise, in integer arithmetic only. Colour images get a different mixture per
// channel so the channels do not move together.
inline Image PhotoLike(int32_t width, int32_t height, int32_t planes, uint32_t seed) {
    Image image = Blank(width, height, planes);
    Random random(seed);
    struct Shape {
        int32_t cx, cy, r, level[3], soft, kind;
    } shapes[6];
    for (Shape& s : shapes) {
        s.cx = random.Below(width > 0 ? width : 1);
        s.cy = random.Below(height > 0 ? height : 1);
        s.r = 2 + random.Below(1 + (width + height) / 4);
        for (int32_t& level : s.level) level = random.Below(256);
        s.soft = random.Below(3);
        s.kind = random.Below(2);
    }
    const int32_t gx = 1 + random.Below(4), gy = 1 + random.Below(4);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            for (int32_t c = 0; c < planes; ++c) {
                int32_t v = 40 + ((x * gx * (c + 1) + y * gy * (3 - c)) * 3) % 140;
                for (const Shape& s : shapes) {
                    const int32_t dx = x - s.cx, dy = y - s.cy;
                    const int32_t d = s.kind ? (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy)
                                             : (dx * dx + dy * dy) / (s.r > 0 ? s.r : 1);
                    const int32_t level = s.level[c % 3];  // planes beyond three reuse the levels
                    if (d < s.r) v = level;
                    else if (d < s.r + s.soft) v = (v + level) / 2;
                }
                if ((x + 2 * y) % 23 == 0) v = 255 - v;  // thin diagonal lines
                v += random.Below(9) - 4;
                image.at(x, y, c) = uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    }
    return image;
}

inline uint64_t Fnv1a64(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 0xCBF29CE484222325ull;
    for (uint8_t b : bytes) {
        hash ^= b;
        hash *= 0x100000001B3ull;
    }
    return hash;
}

// Switches injected allocation failures off when a test ends, however it ends.
struct FailureReset {
    ~FailureReset() { FailMemoryBlocksAfter(0, false); }
};

}  // namespace edgetest

// The picture readers on several threads at once (varno select -j): every reading gives what one
// reading alone gives, its pixels and its error line, whatever else is being read meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "images/codecs.h"
#include "images/images.h"
#include "images/sample.h"
#include "tests/images/picture_files.h"

namespace {

using hosttest::Bytes;

struct Reading {
    std::string error;
    int32_t mode = 0, width = 0, height = 0;
    std::vector<std::vector<uint8_t>> channels8;
    std::vector<std::vector<uint16_t>> channels16;
    bool operator==(const Reading&) const = default;
};

Reading Decode(const Bytes& file) {
    varno::Document document;
    Reading reading;
    reading.error = varno::DecodeImage(file.data(), file.size(), varno::ReadLimits(), &document);
    reading.mode = document.mode, reading.width = document.width, reading.height = document.height;
    reading.channels8 = std::move(document.channels8);
    reading.channels16 = std::move(document.channels16);
    return reading;
}

TEST(Readers, SeveralAtOnceReadAsOneAlone) {
    // Whole files of each format, and damaged ones, whose errors come through each decoder's own
    // error handling.
    std::vector<Bytes> files;
    struct Size {
        int32_t width, height;
        uint32_t seed;
    };
    for (const Size& size : {Size{320, 200, 3}, Size{256, 160, 7}}) {
        const std::vector<uint8_t> rgb = varno::DrawSample(size.width, size.height, size.seed);
        for (const char* name : {"a.png", "a.jpg", "a.bmp"}) {
            Bytes bytes;
            ASSERT_EQ(varno::EncodeImage(name, size.width, size.height, 3, rgb.data(), &bytes), "") << name;
            files.push_back(bytes);
        }
    }
    files.push_back(hosttest::SampleJpeg(40, 30, true));
    hosttest::TiffLayout tiff;
    tiff.width = 16, tiff.height = 8, tiff.bits = 16;
    for (uint32_t i = 0; i < 16 * 8; ++i) tiff.pixels.insert(tiff.pixels.end(), {uint8_t(i * 7), uint8_t(i)});
    files.push_back(hosttest::TiffFile(tiff));
    const size_t whole = files.size();
    for (const hosttest::DamagedFile& damaged : hosttest::DamagedFiles()) files.push_back(damaged.bytes);

    std::vector<Reading> alone;
    for (const Bytes& file : files) alone.push_back(Decode(file));
    for (size_t f = 0; f < whole; ++f) ASSERT_EQ(alone[f].error, "") << "file " << f;
    ASSERT_GT(alone.size(), whole);
    for (size_t f = whole; f < alone.size(); ++f) ASSERT_NE(alone[f].error, "") << "file " << f;

    constexpr size_t kThreads = 4, kRounds = 4;
    std::atomic<size_t> differing{0}, first{SIZE_MAX};
    std::vector<std::thread> threads;
    for (size_t t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            // Each thread walks the files from its own starting point, so different formats overlap.
            for (size_t n = 0; n < kRounds * files.size(); ++n) {
                const size_t f = (n + t * 3) % files.size();
                if (Decode(files[f]) == alone[f]) continue;
                ++differing;
                size_t none = SIZE_MAX;
                first.compare_exchange_strong(none, f);
            }
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(differing.load(), 0u) << "first differing file: " << first.load();
}

}  // namespace

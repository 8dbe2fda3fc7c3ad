// Documents that read their samples in place (SampleView), as the Python package hands over its
// arrays: every layout reads, and selects, exactly as the same samples held in planes.
#include <gtest/gtest.h>

#include <cstring>

#include "images/document.h"
#include "tests/host/host_fixture.h"

namespace {

TEST(DocumentView, EveryLayoutSelectsAsThePlanesDo) {
    hosttest::DriveC drive;
    struct Case {
        const char* what;
        int32_t mode;
        bool reversed;
        ptrdiff_t padding, offset;
    };
    const Case cases[] = {
        {"grey, padded rows", 1, false, 7, 0},     {"RGB interleaved", 3, false, 0, 0},
        {"RGB reversed", 3, true, 0, 0},           {"CMYK interleaved", 4, false, 0, 0},
        {"16-bit RGB, odd address", 11, false, 0, 1}, {"16-bit grey reversed, padded", 10, true, 3, 1},
    };
    const int32_t width = 37, height = 23;
    for (const Case& c : cases) {
        varno::Document planar = varno::MakeTestDocument(c.mode, width, height, 5);
        const ptrdiff_t channels = ptrdiff_t(varno::ChannelCount(planar)), sample = planar.depth / 8;
        const ptrdiff_t column = channels * sample, row = width * column + c.padding;
        std::vector<uint8_t> bytes(size_t(c.offset + row * height));
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                for (ptrdiff_t i = 0; i < channels; ++i) {
                    const int32_t atY = c.reversed ? height - 1 - y : y, atX = c.reversed ? width - 1 - x : x;
                    const uint16_t value = varno::SampleAt(planar, size_t(i), size_t(y) * width + size_t(x));
                    std::memcpy(&bytes[size_t(c.offset + atY * row + atX * column + i * sample)], &value, size_t(sample));
                }
        varno::SampleView view{bytes.data() + c.offset, int32_t(channels), row, column, sample};
        if (c.reversed) {
            view.data += (height - 1) * row + (width - 1) * column;
            view.rowBytes = -row, view.columnBytes = -column;
        }
        varno::Document viewed;
        std::string error;
        ASSERT_TRUE(varno::MakeDocumentView(planar.mode, width, height, view, &viewed, &error)) << c.what << error;
        for (size_t i = 0; i < size_t(width * height); i += 7)
            ASSERT_EQ(varno::Sample8At(viewed, size_t(channels - 1), i), varno::Sample8At(planar, size_t(channels - 1), i)) << c.what;
        const varno::RunReport fromPlanes = hosttest::RunLoaded(&planar, hosttest::Play(6, 2));
        const varno::RunReport fromView = hosttest::RunLoaded(&viewed, hosttest::Play(6, 2));
        ASSERT_EQ(fromPlanes.result, 0) << c.what;
        EXPECT_EQ(fromView.result, 0) << c.what;
        EXPECT_EQ(viewed.selection, planar.selection) << c.what;
    }
    varno::Document refused;
    std::string error;
    EXPECT_FALSE(varno::MakeDocumentView(3, 4, 4, varno::SampleView{nullptr, 3, 12, 3, 1}, &refused, &error));
    const uint8_t pixel[4] = {};
    EXPECT_FALSE(varno::MakeDocumentView(3, 1, 1, varno::SampleView{pixel, 4, 4, 4, 1}, &refused, &error));
}

}  // namespace

// Rectangle copy with grey/colour conversion, and inversion.
#include <gtest/gtest.h>

#include <vector>

#include "buffers/image_buffer.h"
#include "buffers/region.h"
#include "tests/buffers/drive_env.h"

namespace {

class RegionTest : public testenv::DriveTest {
protected:
    ImageBuffer* Make(int16_t width, int16_t height, int16_t planes, const std::vector<uint8_t>& pixels = {}) {
        ImageBuffer* buffer = nullptr;
        EXPECT_EQ(CreateImageBuffer("Proxy", width, height, planes, &buffer), 0);
        if (!pixels.empty()) {
            for (int16_t r = 0; r < height; ++r) {
                WriteBufferRow(buffer, 0, r, width * planes, pixels.data() + size_t(r) * width * planes);
            }
        }
        return buffer;
    }
    static std::vector<uint8_t> Pixels(const ImageBuffer* buffer) {
        return std::vector<uint8_t>(buffer->view + 6, buffer->view + buffer->mappingSize);
    }
};

TEST_F(RegionTest, ColourToGreyAndGreyToColour) {
    struct Case {
        std::vector<uint8_t> source;
        int16_t from, to;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {{10, 20, 31}, 3, 1, {20}},
        {{255, 255, 255}, 3, 1, {255}},
        {{0, 0, 0}, 3, 1, {0}},
        {{1, 0, 0}, 3, 1, {0}},
        {{1, 1, 0}, 3, 1, {1}},
        {{100, 101, 101}, 3, 1, {101}},
        {{100, 100, 101}, 3, 1, {100}},
        {{77}, 1, 3, {77, 77, 77}},
        {{1, 2, 3}, 1, 3, {1, 1, 1, 2, 2, 2, 3, 3, 3}},
        {{1, 2, 3}, 1, 1, {1, 2, 3}},
        {{9, 8, 7, 6, 5, 4}, 3, 3, {9, 8, 7, 6, 5, 4}},
    };
    for (const Case& c : cases) {
        int16_t width = int16_t(c.source.size() / size_t(c.from));
        ImageBuffer* source = Make(width, 1, c.from, c.source);
        ImageBuffer* destination = Make(width, 1, c.to);
        EXPECT_EQ(CopyBufferRegion(source, destination, Rect16{0, 0, 1, width}, 0, 0), 0);
        EXPECT_EQ(Pixels(destination), c.expected);
        DisposeImageBuffer(source);
        DisposeImageBuffer(destination);
    }
}

TEST_F(RegionTest, GreyOfEverySumIsTheSumPlusOneDividedByThree) {
    std::vector<uint8_t> colour;
    for (int sum = 0; sum <= 765; ++sum) {
        int r = sum < 255 ? sum : 255;
        int g = sum - r < 255 ? sum - r : 255;
        colour.insert(colour.end(), {uint8_t(r), uint8_t(g), uint8_t(sum - r - g)});
    }
    ImageBuffer* source = Make(766, 1, 3, colour);
    ImageBuffer* destination = Make(766, 1, 1);
    CopyBufferRegion(source, destination, Rect16{0, 0, 1, 766}, 0, 0);
    for (int sum = 0; sum <= 765; ++sum) {
        // The grey level is defined in double precision; the integer division must agree with it.
        const int defined = int(double(sum + 1) * 0.3333333333333333);
        EXPECT_EQ(defined, (sum + 1) / 3) << sum;
        EXPECT_EQ(destination->view[6 + sum], defined) << sum;
    }
    DisposeImageBuffer(source);
    DisposeImageBuffer(destination);
}

TEST_F(RegionTest, RectangleGoesToTheOriginAndRowsOutsideTheSourceAreBlack) {
    // Source 3x3 grey 1..9; destination 4x4 colour, prefilled with 200.
    std::vector<uint8_t> grey = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ImageBuffer* source = Make(3, 3, 1, grey);
    ImageBuffer* destination = Make(4, 4, 3, std::vector<uint8_t>(48, 200));
    // Rows -1..1, columns 1..2 of the source to row 1, column 2 of the destination.
    CopyBufferRegion(source, destination, Rect16{-1, 1, 2, 3}, 1, 2);
    std::vector<uint8_t> expected(48, 200);
    auto put = [&](int row, int column, uint8_t v) {
        for (int i = 0; i < 3; ++i) expected[size_t(row * 12 + column * 3 + i)] = v;
    };
    put(1, 2, 0), put(1, 3, 0);  // the source row above its top
    put(2, 2, 2), put(2, 3, 3);
    put(3, 2, 5), put(3, 3, 6);
    EXPECT_EQ(Pixels(destination), expected);
    DisposeImageBuffer(source);
    DisposeImageBuffer(destination);
}

TEST_F(RegionTest, PartsOutsideTheDestinationOrSourceAreLeftOrBlack) {
    ImageBuffer* source = Make(2, 2, 1, {10, 20, 30, 40});
    ImageBuffer* destination = Make(3, 2, 1, std::vector<uint8_t>(6, 99));
    // Three columns of a two-column source: the third reads as black. Rows below the
    // destination are not written.
    CopyBufferRegion(source, destination, Rect16{0, 0, 3, 3}, 0, 0);
    EXPECT_EQ(Pixels(destination), (std::vector<uint8_t>{10, 20, 0, 30, 40, 0}));
    // Written from column 2 on, only the one column that fits is written.
    CopyBufferRegion(source, destination, Rect16{0, 0, 2, 2}, 0, 2);
    EXPECT_EQ(Pixels(destination), (std::vector<uint8_t>{10, 20, 10, 30, 40, 30}));
    DisposeImageBuffer(source);
    DisposeImageBuffer(destination);
}

TEST_F(RegionTest, InvertTurnsEverySampleOfTheRectangle) {
    ImageBuffer* grey = Make(3, 3, 1, {0, 200, 255, 1, 2, 3, 4, 5, 6});
    EXPECT_EQ(InvertBufferRegion(grey, Rect16{0, 0, 1, 3}), 0);
    EXPECT_EQ(Pixels(grey), (std::vector<uint8_t>{255, 55, 0, 1, 2, 3, 4, 5, 6}));
    // Rows outside the buffer are skipped, columns past its right edge cut.
    InvertBufferRegion(grey, Rect16{-2, 1, 5, 9});
    EXPECT_EQ(Pixels(grey), (std::vector<uint8_t>{255, 200, 255, 1, 253, 252, 4, 250, 249}));
    DisposeImageBuffer(grey);

    ImageBuffer* colour = Make(2, 1, 3, {0, 10, 20, 30, 40, 50});
    InvertBufferRegion(colour, Rect16{0, 1, 1, 2});
    EXPECT_EQ(Pixels(colour), (std::vector<uint8_t>{0, 10, 20, 225, 215, 205}));
    DisposeImageBuffer(colour);
}

TEST_F(RegionTest, NoRowBlockMeansOutOfMemoryAndNothingChanges) {
    ImageBuffer* source = Make(2, 1, 1, {1, 2});
    ImageBuffer* destination = Make(2, 1, 3);
    FailMemoryBlocksAfter(1, false);
    EXPECT_EQ(CopyBufferRegion(source, destination, Rect16{0, 0, 1, 2}, 0, 0), -108);
    FailMemoryBlocksAfter(1, false);
    EXPECT_EQ(InvertBufferRegion(source, Rect16{0, 0, 1, 2}), -108);
    EXPECT_EQ(Pixels(destination), std::vector<uint8_t>(6, 0));
    EXPECT_EQ(Pixels(source), (std::vector<uint8_t>{1, 2}));
    // Unmapped buffers and empty rectangles are harmless.
    EXPECT_EQ(CopyBufferRegion(nullptr, destination, Rect16{0, 0, 1, 2}, 0, 0), 0);
    EXPECT_EQ(InvertBufferRegion(nullptr, Rect16{0, 0, 1, 2}), 0);
    EXPECT_EQ(CopyBufferRegion(source, destination, Rect16{0, 2, 1, 2}, 0, 0), 0);
    DisposeImageBuffer(source);
    DisposeImageBuffer(destination);
}

}  // namespace

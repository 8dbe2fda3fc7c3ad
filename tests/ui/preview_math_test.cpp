// The preview's arithmetic: zoom ladder, view and pan ranges, page steps, the magnifying crop and
// the filling of the pixel block.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "buffers/image_buffer.h"
#include "plugin/plugin.h"
#include "ui/preview_math.h"

namespace {

TEST(Zoom, LadderGoesUpAndDownByItsSteps) {
    struct Case {
        int32_t before, in, out;
        const char* label;
    };
    const Case cases[] = {
        {1, 2, 1, "100%"}, {2, 3, 1, "200%"}, {3, 4, 2, "300%"},
        {4, 6, 3, "400%"}, {6, 8, 4, "600%"}, {8, 8, 6, "800%"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ZoomIn(c.before), c.in) << c.before;
        EXPECT_EQ(ZoomOut(c.before), c.out) << c.before;
        char text[16];
        FormatZoomLabel(c.before, text);
        EXPECT_STREQ(text, c.label);
    }
}

TEST(Zoom, FromOutsideTheLadderMovesToTheNearestStep) {
    EXPECT_EQ(ZoomIn(5), 6);
    EXPECT_EQ(ZoomOut(5), 4);
    EXPECT_EQ(ZoomIn(0), 1);
    EXPECT_EQ(ZoomOut(0), 1);
    EXPECT_EQ(ZoomIn(100), 8);
    EXPECT_EQ(ZoomOut(100), 8);
}

TEST(View, LargeDocumentPansToItsLastRowAndColumn) {
    // 1000 x 800 document, 582 x 496 frame.
    Rect16 view = InitialView(1000, 800, 582, 496);
    EXPECT_EQ(view.top, 0);
    EXPECT_EQ(view.left, 0);
    EXPECT_EQ(view.bottom, 496);
    EXPECT_EQ(view.right, 582);
    int32_t horizontal = PanRange(1000, 582);
    int32_t vertical = PanRange(800, 496);
    EXPECT_EQ(horizontal, 419);
    EXPECT_EQ(vertical, 305);

    int32_t target = 0;
    ASSERT_TRUE(PanScrollTarget(kScrollBottom, 0, 0, 582, 1, horizontal, &target));
    int32_t lastColumn = ClampPanPosition(target, horizontal);
    EXPECT_EQ(lastColumn, 418);
    EXPECT_EQ(lastColumn + 582 - 1, 999);
    ASSERT_TRUE(PanScrollTarget(kScrollBottom, 0, 0, 496, 1, vertical, &target));
    int32_t lastRow = ClampPanPosition(target, vertical);
    EXPECT_EQ(lastRow, 304);
    EXPECT_EQ(lastRow + 496 - 1, 799);
}

TEST(View, SmallerOrEqualDocumentsHardlyPan) {
    struct Case {
        int32_t imageWidth, imageHeight, frameWidth, frameHeight;
        int16_t bottom, right;
        int32_t horizontal, vertical;
    };
    const Case cases[] = {
        {100, 50, 200, 100, 50, 100, 0, 0},      // whole image, no panning
        {582, 496, 582, 496, 496, 582, 1, 1},    // exactly the frame: a range of 1
        {583, 100, 582, 496, 100, 582, 2, 0},
        {1, 1, 582, 496, 1, 1, 0, 0},
        {0, 0, 582, 496, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Rect16 view = InitialView(c.imageWidth, c.imageHeight, c.frameWidth, c.frameHeight);
        EXPECT_EQ(view.top, 0);
        EXPECT_EQ(view.left, 0);
        EXPECT_EQ(view.bottom, c.bottom);
        EXPECT_EQ(view.right, c.right);
        EXPECT_EQ(PanRange(c.imageWidth, c.frameWidth), c.horizontal);
        EXPECT_EQ(PanRange(c.imageHeight, c.frameHeight), c.vertical);
    }
    // With a range of 1 every position clamps to 0.
    for (int32_t position : {-5, 0, 1, 2, 100}) EXPECT_EQ(ClampPanPosition(position, 1), 0);
    EXPECT_EQ(ClampPanPosition(7, 0), 0);
}

TEST(Pan, ScrollCodesGiveTheirTargets) {
    struct Case {
        int32_t code, position, thumb, frame, zoom, range;
        int32_t target, clamped;
    };
    const Case cases[] = {
        {kScrollLineUp, 10, 0, 496, 1, 305, 9, 9},
        {kScrollLineUp, 0, 0, 496, 1, 305, -1, 0},
        {kScrollLineDown, 10, 0, 496, 1, 305, 11, 11},
        {kScrollLineDown, 304, 0, 496, 1, 305, 305, 304},
        {kScrollPageDown, 0, 0, 496, 1, 305, 248, 248},
        {kScrollPageDown, 0, 0, 496, 2, 305, 124, 124},
        {kScrollPageDown, 100, 0, 496, 8, 305, 131, 131},   // 496 / 16 = 31
        {kScrollPageDown, 200, 0, 496, 1, 305, 448, 304},
        {kScrollPageUp, 200, 0, 496, 1, 305, -48, 0},
        {kScrollPageUp, 200, 0, 496, 2, 305, 76, 76},
        {kScrollPageUp, 200, 0, 291, 3, 305, 152, 152},     // 291 / -6 = -48.5, truncated to -48
        {kScrollPageDown, 0, 0, 291, 3, 305, 48, 48},
        {kScrollPageDown, 0, 0, 437, 6, 305, 36, 36},       // 36.41...
        {kScrollThumbPosition, 0, 200, 496, 1, 305, 200, 200},
        {kScrollThumbTrack, 0, 305, 496, 1, 305, 305, 304},  // the range itself clamps to range - 1
        {kScrollTop, 120, 0, 496, 1, 305, 0, 0},
        {kScrollBottom, 0, 0, 496, 1, 305, 305, 304},
    };
    for (const Case& c : cases) {
        int32_t target = -999;
        ASSERT_TRUE(PanScrollTarget(c.code, c.position, c.thumb, c.frame, c.zoom, c.range, &target)) << c.code;
        EXPECT_EQ(target, c.target) << "code " << c.code << " at " << c.position << " zoom " << c.zoom;
        EXPECT_EQ(ClampPanPosition(target, c.range), c.clamped) << "code " << c.code;
    }
    int32_t untouched = 42;
    EXPECT_FALSE(PanScrollTarget(8, 10, 0, 496, 1, 305, &untouched));
    EXPECT_FALSE(PanScrollTarget(-1, 10, 0, 496, 1, 305, &untouched));
    EXPECT_EQ(untouched, 42);
}

TEST(Pan, PageStepIsHalfTheFrameDividedByTheZoom) {
    EXPECT_EQ(PanPageStep(496, 1), 248);
    EXPECT_EQ(PanPageStep(496, 2), 124);
    EXPECT_EQ(PanPageStep(496, 3), 82);
    EXPECT_EQ(PanPageStep(582, 4), 72);
    EXPECT_EQ(PanPageStep(582, 6), 48);
    EXPECT_EQ(PanPageStep(582, 8), 36);
    EXPECT_EQ(PanPageStep(1, 1), 0);
}

TEST(Blit, CropIsTheCentreOfTheBitmap) {
    struct Case {
        int32_t frameWidth, frameHeight, zoom;
        BlitGeometry expected;
    };
    const Case cases[] = {
        // A frame 291..296 wide has a 296-pixel bitmap.
        {291, 403, 2, {296, 403, 74, 101, 148, 200, 292, 403}},
        {296, 403, 3, {296, 403, 99, 134, 98, 134, 296, 403}},
        {437, 403, 1, {440, 403, 0, 0, 437, 403, 437, 403}},
        {437, 403, 8, {440, 403, 193, 176, 54, 50, 438, 403}},
        {582, 496, 4, {584, 496, 219, 186, 146, 124, 582, 496}},
        {582, 496, 6, {584, 496, 244, 207, 96, 82, 582, 496}},
    };
    for (const Case& c : cases) {
        BlitGeometry g = ComputeBlitGeometry(c.frameWidth, c.frameHeight, c.zoom);
        const BlitGeometry& e = c.expected;
        SCOPED_TRACE(testing::Message() << c.frameWidth << "x" << c.frameHeight << " zoom " << c.zoom);
        EXPECT_EQ(g.bitmapWidth, e.bitmapWidth);
        EXPECT_EQ(g.bitmapHeight, e.bitmapHeight);
        EXPECT_EQ(g.sourceLeft, e.sourceLeft);
        EXPECT_EQ(g.sourceTop, e.sourceTop);
        EXPECT_EQ(g.sourceWidth, e.sourceWidth);
        EXPECT_EQ(g.sourceHeight, e.sourceHeight);
        EXPECT_EQ(g.destinationWidth, e.destinationWidth);
        EXPECT_EQ(g.destinationHeight, e.destinationHeight);
    }
}

TEST(Blit, StrideRoundsTheFrameUpToEightPixels) {
    const int32_t widths[][2] = {{1, 32}, {8, 32}, {9, 64}, {291, 1184}, {296, 1184}, {297, 1216}, {0, 0}};
    for (const auto& w : widths) EXPECT_EQ(PixelBlockStride(w[0]), w[1]) << w[0];
}

TEST(Centre, OffsetsPlaceTheImageInTheMiddle) {
    struct Case {
        int32_t frameWidth, frameHeight, imageWidth, imageHeight, row, column;
    };
    const Case cases[] = {
        {200, 100, 100, 50, 25, 50},
        {200, 100, 200, 100, 0, 0},
        {200, 100, 101, 51, 24, 49},
        {437, 403, 1, 1, 201, 218},
    };
    for (const Case& c : cases) {
        int32_t row = -1, column = -1;
        CentreOffsets(c.frameWidth, c.frameHeight, c.imageWidth, c.imageHeight, &row, &column);
        EXPECT_EQ(row, c.row);
        EXPECT_EQ(column, c.column);
    }
}

// A 3-plane image whose pixel (x, y) is (x, y, x + y) in the low bytes.
ImageBuffer* MakePatternImage(int16_t width, int16_t height) {
    ImageBuffer* image = nullptr;
    EXPECT_EQ(CreateImageBuffer("Proxy", width, height, 3, &image), 0);
    std::vector<uint8_t> row(3 * static_cast<size_t>(width));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            row[3 * x + 0] = static_cast<uint8_t>(x);
            row[3 * x + 1] = static_cast<uint8_t>(y);
            row[3 * x + 2] = static_cast<uint8_t>(x + y + 1);
        }
        WriteBufferRow(image, 0, y, 3 * width, row.data());
    }
    return image;
}

struct FillCase {
    int16_t imageWidth, imageHeight;
    int32_t frameWidth, frameHeight;
    int32_t row, column;      // where image pixel (0, 0) lands
    int32_t shownWidth, shownHeight;
};

class FillPixelBlockTest : public testing::TestWithParam<FillCase> {};

TEST_P(FillPixelBlockTest, ImageLandsCentredOnBlackInBlueGreenRedOrder) {
    const FillCase& c = GetParam();
    LiveResources before = CountLiveResources();
    ImageBuffer* image = MakePatternImage(c.imageWidth, c.imageHeight);
    int32_t stride = PixelBlockStride(c.frameWidth);
    // One guard row of 0xEE beyond the block's frameHeight + 1 rows catches any write past it.
    std::vector<uint8_t> block(static_cast<size_t>(c.frameHeight + 2) * stride, 0);
    std::memset(block.data() + static_cast<size_t>(c.frameHeight + 1) * stride, 0xEE, stride);
    ASSERT_EQ(FillPixelBlock(block.data(), stride, c.frameWidth, c.frameHeight, image), 0);

    for (int32_t y = 0; y <= c.frameHeight; ++y) {
        for (int32_t x = 0; x < stride / 4; ++x) {
            const uint8_t* p = &block[static_cast<size_t>(y) * stride + 4 * x];
            int32_t ix = x - c.column;
            int32_t iy = y - c.row;
            bool inside = ix >= 0 && iy >= 0 && ix < c.shownWidth && iy < c.shownHeight;
            uint8_t blue = inside ? static_cast<uint8_t>(ix + iy + 1) : 0;
            uint8_t green = inside ? static_cast<uint8_t>(iy) : 0;
            uint8_t red = inside ? static_cast<uint8_t>(ix) : 0;
            ASSERT_EQ(p[0], blue) << "x " << x << " y " << y;
            ASSERT_EQ(p[1], green) << "x " << x << " y " << y;
            ASSERT_EQ(p[2], red) << "x " << x << " y " << y;
            ASSERT_EQ(p[3], 0) << "x " << x << " y " << y;
        }
    }
    for (int32_t i = 0; i < stride; ++i) {
        ASSERT_EQ(block[static_cast<size_t>(c.frameHeight + 1) * stride + i], 0xEE) << "guard byte " << i;
    }
    DisposeImageBuffer(image);
    LiveResources after = CountLiveResources();
    EXPECT_EQ(after.memoryBlocks, before.memoryBlocks);
    EXPECT_EQ(after.mappings, before.mappings);
}

INSTANTIATE_TEST_SUITE_P(Placements, FillPixelBlockTest,
                         testing::Values(FillCase{100, 50, 200, 100, 25, 50, 100, 50},   // centred
                                         FillCase{200, 100, 200, 100, 0, 0, 200, 100},  // fills the frame
                                         FillCase{1, 1, 3, 3, 1, 1, 1, 1},
                                         FillCase{7, 3, 7, 9, 3, 0, 7, 3},
                                         FillCase{13, 1, 5, 4, 1, 0, 5, 1},             // cut to the frame
                                         FillCase{300, 200, 291, 150, 0, 0, 291, 150}));

TEST(FillPixelBlock, RepaintKeepsTheBorderAndRewritesTheImage) {
    ImageBuffer* image = MakePatternImage(4, 2);
    int32_t stride = PixelBlockStride(8);
    std::vector<uint8_t> block(static_cast<size_t>(4 + 1) * stride, 0);
    ASSERT_EQ(FillPixelBlock(block.data(), stride, 8, 4, image), 0);
    std::vector<uint8_t> first = block;
    const uint8_t white[12] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
    WriteBufferRow(image, 0, 1, 12, white);
    ASSERT_EQ(FillPixelBlock(block.data(), stride, 8, 4, image), 0);
    // Row 1 of the image is frame row 2, columns 2..5.
    for (int32_t x = 0; x < 8; ++x) {
        const uint8_t* p = &block[2 * static_cast<size_t>(stride) + 4 * x];
        bool inside = x >= 2 && x < 6;
        EXPECT_EQ(p[0], inside ? 255 : 0);
        EXPECT_EQ(p[3], 0);
    }
    EXPECT_EQ(std::memcmp(block.data(), first.data(), 2 * static_cast<size_t>(stride)), 0);
    DisposeImageBuffer(image);
}

TEST(FillPixelBlock, WithoutAnImageOrMemoryNothingIsDrawn) {
    int32_t stride = PixelBlockStride(4);
    std::vector<uint8_t> block(static_cast<size_t>(5) * stride, 0x11);
    EXPECT_EQ(FillPixelBlock(block.data(), stride, 4, 4, nullptr), 0);
    for (uint8_t b : block) ASSERT_EQ(b, 0x11);

    ImageBuffer* image = MakePatternImage(2, 2);
    FailMemoryBlocksAfter(1, false);
    EXPECT_EQ(FillPixelBlock(block.data(), stride, 4, 4, image), kErrOutOfMemory);
    FailMemoryBlocksAfter(0, false);
    for (uint8_t b : block) ASSERT_EQ(b, 0x11);
    DisposeImageBuffer(image);
}

}  // namespace

namespace {

TEST(DpiLayout, ViewFollowsTheFramesNewSizeAndStaysInsideTheImage) {
    struct Case {
        Rect16 view;
        int32_t imageWidth, imageHeight, frameWidth, frameHeight;
        Rect16 resized;
    };
    const Case cases[] = {
        {{0, 0, 248, 291}, 1000, 800, 582, 496, {0, 0, 496, 582}},            // grows from the corner
        {{304, 418, 800, 1000}, 1000, 800, 582, 496, {304, 418, 800, 1000}},  // already at the far corner
        {{400, 500, 648, 791}, 1000, 800, 582, 496, {304, 418, 800, 1000}},   // moved back inside
        {{304, 418, 800, 1000}, 1000, 800, 291, 248, {304, 418, 552, 709}},   // shrinks, corner kept
        {{0, 0, 30, 40}, 40, 30, 582, 496, {0, 0, 30, 40}},                   // image smaller than frame
    };
    for (const Case& c : cases) {
        const Rect16 r = ResizedView(c.view, c.imageWidth, c.imageHeight, c.frameWidth, c.frameHeight);
        EXPECT_EQ(r.top, c.resized.top);
        EXPECT_EQ(r.left, c.resized.left);
        EXPECT_EQ(r.bottom, c.resized.bottom);
        EXPECT_EQ(r.right, c.resized.right);
    }
}

TEST(DpiLayout, LengthsScaleToTheNearestPixel) {
    const struct {
        int32_t pixels, to, from, scaled;
    } cases[] = {{437, 192, 96, 874}, {437, 144, 96, 656}, {-11, 144, 96, -17}, {3, 96, 144, 2},
                 {5, 120, 96, 6}, {7, 96, 0, 7}};
    for (const auto& c : cases) EXPECT_EQ(ScaleForDpi(c.pixels, c.to, c.from), c.scaled) << c.pixels;
}

}  // namespace

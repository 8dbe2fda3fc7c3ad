// What the dialog tests check the open dialog with (the frame, the raw view, the preview as
// drawn, the checked method) and their fixture, which gives back every document and checks that
// the dialog left no memory block or mapping behind.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "buffers/image_buffer.h"
#include "dialog_session_win32.h"
#include "ui/dialog.h"
#include "ui/preview_math.h"

inline int32_t FrameWidth(const EdgeDialogProbe& p) { return p.frame.right - p.frame.left; }
inline int32_t FrameHeight(const EdgeDialogProbe& p) { return p.frame.bottom - p.frame.top; }

inline uint32_t PatternPixel(int32_t x, int32_t y, int16_t planes) {
    uint32_t r = static_cast<uint8_t>(x);
    if (planes == 1) return (r << 16) | (r << 8) | r;
    uint32_t g = static_cast<uint8_t>(y);
    uint32_t b = static_cast<uint8_t>(x ^ (3 * y));
    return (r << 16) | (g << 8) | b;
}

// The preview as drawn now must be the raw document: frame pixel (fx, fy) shows document pixel
// (left + fx - column offset, top + fy - row offset), black outside the image.
inline void ExpectRawView(HWND dialog, int32_t left, int32_t top, int32_t imageWidth, int32_t imageHeight, int16_t planes) {
    EdgeDialogProbe p = Probe();
    int32_t fw = FrameWidth(p);
    int32_t fh = FrameHeight(p);
    int32_t shownWidth = imageWidth < fw ? imageWidth : fw;
    int32_t shownHeight = imageHeight < fh ? imageHeight : fh;
    int32_t rowOffset = 0, columnOffset = 0;
    CentreOffsets(fw, fh, shownWidth, shownHeight, &rowOffset, &columnOffset);
    std::vector<uint32_t> drawn = CaptureClient(dialog, p.frame);
    std::vector<uint32_t> expected(drawn.size(), 0);
    for (int32_t y = 0; y < shownHeight; ++y) {
        for (int32_t x = 0; x < shownWidth; ++x) {
            expected[static_cast<size_t>(y + rowOffset) * fw + x + columnOffset] = PatternPixel(left + x, top + y, planes);
        }
    }
    EXPECT_EQ(CountDifferences(drawn, expected, fw), 0) << "raw view at " << left << ", " << top;
}

inline void ExpectPreviewDrawn(HWND dialog, ImageBuffer* document) {
    EdgeDialogProbe p = Probe();
    std::vector<uint32_t> drawn = CaptureClient(dialog, p.frame);
    EXPECT_EQ(CountDifferences(drawn, ExpectedPreview(document, Probe()), FrameWidth(p)), 0)
        << "method " << p.method << " radius " << p.radius << " preview " << int(p.previewOn);
}

inline void ExpectMethod(HWND dialog, int32_t method) {
    EXPECT_EQ(Probe().method, method);
    for (int32_t id = kMethodTraditional; id <= kMethodVariableWidth; ++id) {
        EXPECT_EQ(IsChecked(dialog, id), id == method) << "radio button " << id;
    }
}

class EdgeDialog : public testing::Test {
protected:
    void SetUp() override { before_ = CountLiveResources(); }
    void TearDown() override {
        for (ImageBuffer* document : documents_) DisposeImageBuffer(document);
        LiveResources after = CountLiveResources();
        EXPECT_EQ(after.memoryBlocks, before_.memoryBlocks) << "memory blocks left behind";
        EXPECT_EQ(after.mappings, before_.mappings) << "mappings left behind";
        EXPECT_EQ(after.pluginHandles, before_.pluginHandles);
    }
    ImageBuffer* Document(int16_t width, int16_t height, int16_t planes = 3) {
        documents_.push_back(MakeDocument(width, height, planes));
        return documents_.back();
    }
    std::vector<ImageBuffer*> documents_;

private:
    LiveResources before_;
};

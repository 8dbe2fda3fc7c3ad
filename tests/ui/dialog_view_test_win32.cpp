// The edge dialog's view under a real window system: zoom, panning, a document smaller than the
// frame, the preview switched off, and an image item drawn without its binding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "buffers/image_buffer.h"
#include "dialog_session_win32.h"
#include "plugin/execute.h"
#include "ui/dialog.h"
#include "ui/preview_math.h"
#include "ui/preview_win32.h"
#include "tests/ui/dialog_fixture_win32.h"

namespace {

// Zooming walks 100% .. 800% and back; it redraws the existing preview magnified around the
// centre and never runs the method again.
TEST_F(EdgeDialog, ZoomMagnifiesTheCentreWithoutRecomputing) {
    ImageBuffer* document = Document(1000, 800);
    std::vector<uint32_t> unzoomed;
    int32_t runs = -1;
    std::vector<DialogStep> steps;
    steps.push_back([&](HWND d) {
        EdgeDialogProbe p = Probe();
        unzoomed = CaptureClient(d, p.frame);
        EXPECT_EQ(CountDifferences(unzoomed, ExpectedPreview(document, p), FrameWidth(p)), 0);
        runs = Probe().previewRuns;
        EXPECT_EQ(runs, 1);
    });
    struct Zoom {
        int32_t id;
        int32_t zoom;
        const char* label;
    };
    const Zoom zooms[] = {
        {kItemZoomIn, 2, "200%"},  {kItemZoomIn, 3, "300%"},  {kItemZoomIn, 4, "400%"},  {kItemZoomIn, 6, "600%"},
        {kItemZoomIn, 8, "800%"},  {kItemZoomIn, 8, "800%"},  {kItemZoomOut, 6, "600%"}, {kItemZoomOut, 4, "400%"},
        {kItemZoomOut, 3, "300%"}, {kItemZoomOut, 2, "200%"}, {kItemZoomLabel, 1, "100%"}, {kItemZoomLabel, 1, "100%"},
        {kItemZoomOut, 1, "100%"}, {kItemZoomIn, 2, "200%"},  {kItemZoomLabel, 1, "100%"},
    };
    for (const Zoom& z : zooms) {
        steps.push_back([&, z](HWND d) {
            if (z.id == kItemZoomLabel) {
                ClickLabel(d, z.id);
            } else {
                Click(d, z.id);
            }
            SCOPED_TRACE(testing::Message() << "control " << z.id << " to zoom " << z.zoom);
            EdgeDialogProbe p = Probe();
            EXPECT_EQ(p.zoom, z.zoom);
            EXPECT_EQ(ItemText(d, kItemZoomLabel), z.label);
            std::vector<uint32_t> drawn = CaptureClient(d, p.frame);
            if (z.zoom == 1) {
                EXPECT_EQ(CountDifferences(drawn, unzoomed, FrameWidth(p)), 0);
            } else {
                EXPECT_EQ(CountZoomMisses(drawn, unzoomed, FrameWidth(p), FrameHeight(p), z.zoom), 0);
                EXPECT_NE(drawn, unzoomed) << "the magnified preview looks like the 1:1 one";
            }
            EXPECT_EQ(Probe().previewRuns, runs) << "zooming ran the method";
            EXPECT_EQ(Probe().previewValid, 1);
        });
    }
    steps.push_back([](HWND d) { Click(d, kItemCancel); });
    DialogOutcome outcome = RunDialog(document, {kMethodSmoother, 2}, steps);
    EXPECT_EQ(outcome.result, 2);
}

// A document larger than the frame pans to its last row and column; page steps are half the
// frame divided by the zoom; a thumb dragged to the range stops one short of it.
TEST_F(EdgeDialog, PanningReachesTheLastRowAndColumn) {
    const int16_t width = 1000, height = 800;
    ImageBuffer* document = Document(width, height);
    int32_t fw = 0, fh = 0, horizontal = 0, vertical = 0;
    int32_t runs = 0;
    std::vector<DialogStep> steps = {
        [&](HWND d) {
            EdgeDialogProbe p = Probe();
            fw = FrameWidth(p);
            fh = FrameHeight(p);
            ASSERT_LT(fw, width);
            ASSERT_LT(fh, height);
            horizontal = width - fw + 1;
            vertical = height - fh + 1;
            EXPECT_EQ(p.horizontalRange, horizontal);
            EXPECT_EQ(p.verticalRange, vertical);
            int32_t low = -1, high = -1;
            GetScrollRange(GetDlgItem(d, kItemPanHorizontal), SB_CTL, &low, &high);
            EXPECT_EQ(low, 0);
            EXPECT_EQ(high, horizontal);
            GetScrollRange(GetDlgItem(d, kItemPanVertical), SB_CTL, &low, &high);
            EXPECT_EQ(high, vertical);
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, kItemPanHorizontal)));
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(d, kItemPanVertical)));
            EXPECT_EQ(p.view.left, 0);
            EXPECT_EQ(p.view.top, 0);
            EXPECT_EQ(p.view.right, fw);
            EXPECT_EQ(p.view.bottom, fh);
            Click(d, kItemPreviewCheck);
        },
        [&](HWND d) {
            EXPECT_FALSE(IsChecked(d, kItemPreviewCheck));
            ExpectRawView(d, 0, 0, width, height, 3);
            Scroll(d, kItemPanHorizontal, WM_HSCROLL, SB_BOTTOM);
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_BOTTOM);
        },
        [&](HWND d) {
            EXPECT_EQ(ScrollPosition(d, kItemPanHorizontal), horizontal - 1);
            EXPECT_EQ(ScrollPosition(d, kItemPanVertical), vertical - 1);
            EdgeDialogProbe p = Probe();
            EXPECT_EQ(p.view.left, width - fw);
            EXPECT_EQ(p.view.right, width);
            EXPECT_EQ(p.view.top, height - fh);
            EXPECT_EQ(p.view.bottom, height);
            // The last column and row of the document are on screen.
            ExpectRawView(d, width - fw, height - fh, width, height, 3);
            Scroll(d, kItemPanHorizontal, WM_HSCROLL, SB_TOP);
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_TOP);
            EXPECT_EQ(ScrollPosition(d, kItemPanVertical), 0);
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_PAGEDOWN);
            EXPECT_EQ(ScrollPosition(d, kItemPanVertical), fh / 2);
            Click(d, kItemZoomIn);
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_PAGEDOWN);
            EXPECT_EQ(ScrollPosition(d, kItemPanVertical), fh / 2 + fh / 4);
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_PAGEUP);
            EXPECT_EQ(ScrollPosition(d, kItemPanVertical), fh / 2);
            Scroll(d, kItemPanHorizontal, WM_HSCROLL, SB_PAGERIGHT);
            EXPECT_EQ(ScrollPosition(d, kItemPanHorizontal), fw / 4);
            Scroll(d, kItemPanHorizontal, WM_HSCROLL, SB_LINERIGHT);
            EXPECT_EQ(ScrollPosition(d, kItemPanHorizontal), fw / 4 + 1);
            Scroll(d, kItemPanHorizontal, WM_HSCROLL, SB_LINELEFT);
            Scroll(d, kItemPanHorizontal, WM_HSCROLL, SB_PAGELEFT);
            Scroll(d, kItemPanHorizontal, WM_HSCROLL, SB_LINELEFT);
            EXPECT_EQ(ScrollPosition(d, kItemPanHorizontal), 0);
            ClickLabel(d, kItemZoomLabel);
        },
        [&](HWND d) {
            Scroll(d, kItemPanHorizontal, WM_HSCROLL, SB_THUMBTRACK, horizontal);
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_THUMBPOSITION, 37);
            EXPECT_EQ(ScrollPosition(d, kItemPanHorizontal), horizontal - 1);
            EXPECT_EQ(ScrollPosition(d, kItemPanVertical), 37);
            ExpectRawView(d, horizontal - 1, 37, width, height, 3);
            // The end of a drag is not a move.
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_ENDSCROLL);
            EXPECT_EQ(ScrollPosition(d, kItemPanVertical), 37);
            Click(d, kItemPreviewCheck);
        },
        [&](HWND d) {
            EXPECT_TRUE(IsChecked(d, kItemPreviewCheck));
            ExpectPreviewDrawn(d, document);
            runs = Probe().previewRuns;
            // Panning with the preview on computes the new view.
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_LINEDOWN);
            ExpectPreviewDrawn(d, document);
            EXPECT_EQ(Probe().previewRuns, runs + 1);
            EXPECT_EQ(Probe().view.top, 38);
            Click(d, kItemOk);
        },
    };
    DialogOutcome outcome = RunDialog(document, {kMethodSmoother, 2}, steps);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.choice.method, kMethodSmoother);
    EXPECT_EQ(outcome.choice.radius, 2);
}

// A document smaller than the frame is shown whole, centred on black, and cannot be panned.
class EdgeDialogSmall : public EdgeDialog, public testing::WithParamInterface<int16_t> {};

TEST_P(EdgeDialogSmall, DocumentIsCentredOnBlackAndDoesNotPan) {
    const int16_t planes = GetParam();
    ImageBuffer* document = Document(100, 50, planes);
    int32_t runs = 0;
    DialogOutcome outcome = RunDialog(document, {kMethodSmoother, 2}, {
        [&](HWND d) {
            EdgeDialogProbe p = Probe();
            EXPECT_EQ(p.horizontalRange, 0);
            EXPECT_EQ(p.verticalRange, 0);
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kItemPanHorizontal)));
            EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, kItemPanVertical)));
            EXPECT_EQ(p.view.top, 0);
            EXPECT_EQ(p.view.left, 0);
            EXPECT_EQ(p.view.bottom, 50);
            EXPECT_EQ(p.view.right, 100);
            ExpectPreviewDrawn(d, document);
            runs = Probe().previewRuns;
            // Scroll messages reaching the pan bars change nothing.
            Scroll(d, kItemPanHorizontal, WM_HSCROLL, SB_LINERIGHT);
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_BOTTOM);
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_THUMBPOSITION, 5);
            UpdateWindow(d);
            EXPECT_EQ(Probe().view.top, 0);
            EXPECT_EQ(Probe().view.left, 0);
            EXPECT_EQ(Probe().previewRuns, runs);
            Click(d, kItemPreviewCheck);
        },
        [&](HWND d) {
            ExpectRawView(d, 0, 0, 100, 50, planes);
            Click(d, kItemCancel);
        },
    });
    EXPECT_EQ(outcome.result, 2);
}

INSTANTIATE_TEST_SUITE_P(GreyAndColour, EdgeDialogSmall, testing::Values(int16_t(1), int16_t(3)));

TEST_F(EdgeDialog, PreviewOffShowsTheUnprocessedView) {
    ImageBuffer* document = Document(300, 200);
    int32_t runs = 0;
    DialogOutcome outcome = RunDialog(document, {kMethodTraditional, 2}, {
        [&](HWND d) {
            ExpectPreviewDrawn(d, document);
            runs = Probe().previewRuns;
            Click(d, kItemPreviewCheck);
        },
        [&](HWND d) {
            EXPECT_EQ(Probe().previewOn, 0);
            ExpectRawView(d, 0, 0, 300, 200, 3);
            EXPECT_EQ(Probe().previewRuns, runs);
            // A method chosen while the preview is off is not run either.
            Click(d, kMethodSkinnyLines);
            ExpectRawView(d, 0, 0, 300, 200, 3);
            EXPECT_EQ(Probe().previewRuns, runs);
            Click(d, kItemPreviewCheck);
        },
        [&](HWND d) {
            EXPECT_EQ(Probe().previewOn, 1);
            ExpectPreviewDrawn(d, document);
            EXPECT_EQ(Probe().previewRuns, runs + 1);
            Click(d, kItemOk);
        },
    });
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.choice.method, kMethodSkinnyLines);
}

// ---- drawing an image item that was never bound ----------------------------------------------------

struct WarningSeen {
    std::string caption;
    std::string text;
    int32_t boxes = 0;
};
WarningSeen warning;

BOOL CALLBACK CloseMessageBox(HWND window, LPARAM) {
    char className[64] = {0};
    GetClassNameA(window, className, sizeof(className));
    if (std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    char caption[128] = {0};
    GetWindowTextA(window, caption, sizeof(caption));
    warning.caption = caption;
    char text[256] = {0};
    GetDlgItemTextA(window, 0xFFFF, text, sizeof(text));
    warning.text = text;
    ++warning.boxes;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return FALSE;
}

void CALLBACK LookForMessageBox(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CloseMessageBox, 0);
}

TEST(ImageItems, DrawingAnUnboundItemShowsTheWarning) {
    HWND window = CreateWindowExA(0, "STATIC", "items", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    LiveResources before = CountLiveResources();
    int32_t zoom = 1;
    struct Case {
        const char* name;
        int32_t bindId;   // 0: nothing bound
        int32_t drawId;
        int32_t boxes;
    };
    const Case cases[] = {
        {"no table", 0, 14, 1},
        {"above the highest id", 14, 20, 1},
        {"never bound below the highest id", 20, 14, 1},
        {"bound", 14, 14, 0},
        {"entry 0 is not an item", 14, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.bindId != 0) {
            EXPECT_NE(BindFrefToDITLitem(window, c.bindId, nullptr, &zoom), nullptr);
        }
        warning = WarningSeen();
        UINT_PTR timer = SetTimer(nullptr, 0, 50, LookForMessageBox);
        HDC context = GetDC(window);
        DrawImageItem(window, c.drawId, context);
        ReleaseDC(window, context);
        KillTimer(nullptr, timer);
        EXPECT_EQ(warning.boxes, c.boxes);
        if (c.boxes > 0) {
            EXPECT_EQ(warning.text, kUnboundItemMessage);
            EXPECT_EQ(warning.text, "BindFrefToDITLitem() was never called for this item");
            EXPECT_EQ(warning.caption, std::string(36, ' '));
        }
        ReleaseImageItems();
    }
    LiveResources after = CountLiveResources();
    EXPECT_EQ(after.memoryBlocks, before.memoryBlocks);
    DestroyWindow(window);
}

TEST(ImageItems, BindingAgainAndGrowingTheTableKeepsEveryBlock) {
    HWND window = CreateWindowExA(0, "STATIC", "items", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    LiveResources before = CountLiveResources();
    int32_t zoom = 1;
    EXPECT_NE(BindFrefToDITLitem(window, 3, nullptr, &zoom), nullptr);
    EXPECT_NE(BindFrefToDITLitem(window, 3, nullptr, &zoom), nullptr);   // replaces the first block
    EXPECT_NE(BindFrefToDITLitem(window, 40, nullptr, &zoom), nullptr);  // grows the table
    EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks + 3);
    EXPECT_EQ(BindFrefToDITLitem(window, 0, nullptr, &zoom), nullptr);
    FailMemoryBlocksAfter(1, false);
    EXPECT_EQ(BindFrefToDITLitem(window, 100, nullptr, &zoom), nullptr);  // no room for the table
    FailMemoryBlocksAfter(0, false);
    ReleaseImageItems();
    ReleaseImageItems();
    EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks);
    DestroyWindow(window);
}


}  // namespace

// The edge dialog under a real window system: buttons, slider, typing, zoom, panning and the
// pixels the preview draws, driven by the messages a user's clicks, drags and keys cause.
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

namespace {

int32_t FrameWidth(const EdgeDialogProbe& p) { return p.frame.right - p.frame.left; }
int32_t FrameHeight(const EdgeDialogProbe& p) { return p.frame.bottom - p.frame.top; }

uint32_t PatternPixel(int32_t x, int32_t y, int16_t planes) {
    uint32_t r = static_cast<uint8_t>(x);
    if (planes == 1) return (r << 16) | (r << 8) | r;
    uint32_t g = static_cast<uint8_t>(y);
    uint32_t b = static_cast<uint8_t>(x ^ (3 * y));
    return (r << 16) | (g << 8) | b;
}

// The preview as drawn now must be the raw document: frame pixel (fx, fy) shows document pixel
// (left + fx - column offset, top + fy - row offset), black outside the image.
void ExpectRawView(HWND dialog, int32_t left, int32_t top, int32_t imageWidth, int32_t imageHeight, int16_t planes) {
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

void ExpectPreviewDrawn(HWND dialog, ImageBuffer* document) {
    EdgeDialogProbe p = Probe();
    std::vector<uint32_t> drawn = CaptureClient(dialog, p.frame);
    EXPECT_EQ(CountDifferences(drawn, ExpectedPreview(document, Probe()), FrameWidth(p)), 0)
        << "method " << p.method << " radius " << p.radius << " preview " << int(p.previewOn);
}

void ExpectMethod(HWND dialog, int32_t method) {
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

TEST_F(EdgeDialog, StartsFromTheChoiceAndOkWritesTheChangedMethod) {
    ImageBuffer* document = Document(300, 200);
    int32_t runsAfterFirstPaint = -1;
    DialogOutcome outcome = RunDialog(document, {5, 2}, {
        [&](HWND d) {
            ExpectMethod(d, 5);
            EXPECT_TRUE(IsChecked(d, kItemPreviewCheck));
            EXPECT_EQ(ItemText(d, 7), "Variable Width");
            EXPECT_EQ(ItemText(d, kItemWidthEdit), "2");
            EXPECT_EQ(ItemText(d, kItemZoomLabel), "100%");
            EXPECT_EQ(ScrollPosition(d, kItemWidthSlider), 100);
            int32_t low = -1, high = -1;
            GetScrollRange(GetDlgItem(d, kItemWidthSlider), SB_CTL, &low, &high);
            EXPECT_EQ(low, 0);
            EXPECT_EQ(high, 200);
            ExpectPreviewDrawn(d, document);
            runsAfterFirstPaint = Probe().previewRuns;
            EXPECT_EQ(runsAfterFirstPaint, 1);
            Click(d, kMethodTraditional);
        },
        [&](HWND d) {
            ExpectMethod(d, kMethodTraditional);
            ExpectPreviewDrawn(d, document);
            EXPECT_EQ(Probe().previewRuns, runsAfterFirstPaint + 1);
            Click(d, kMethodFineDetail);
        },
        [&](HWND d) {
            ExpectMethod(d, kMethodFineDetail);
            ExpectPreviewDrawn(d, document);
            Click(d, kItemOk);
        },
    });
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.choice.method, kMethodFineDetail);
    EXPECT_EQ(outcome.choice.radius, 2);
}

TEST_F(EdgeDialog, OkWithoutChangesWritesTheCurrentChoice) {
    ImageBuffer* document = Document(64, 64);
    DialogOutcome outcome = RunDialog(document, {kMethodSkinnyLines, 3}, {
        [&](HWND d) {
            ExpectMethod(d, kMethodSkinnyLines);
            EXPECT_EQ(ItemText(d, kItemWidthEdit), "3");
            EXPECT_EQ(ScrollPosition(d, kItemWidthSlider), 200);
            Click(d, kItemOk);
        },
    });
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.choice.method, kMethodSkinnyLines);
    EXPECT_EQ(outcome.choice.radius, 3);
}

// Cancel, the close box and Escape all end the dialog with 2 and leave the choice as it was.
struct CloseCase {
    const char* name;
    void (*close)(HWND);
};

class EdgeDialogClose : public EdgeDialog, public testing::WithParamInterface<CloseCase> {};

TEST_P(EdgeDialogClose, LeavesTheChoiceAsItWas) {
    ImageBuffer* document = Document(120, 90);
    DialogOutcome outcome = RunDialog(document, {5, 2}, {
        [&](HWND d) { Click(d, kMethodSkinnyLines); },
        [&](HWND d) { Scroll(d, kItemWidthSlider, WM_HSCROLL, SB_THUMBPOSITION, 150); },
        [&](HWND d) {
            EXPECT_EQ(Probe().method, kMethodVariableWidth);
            EXPECT_EQ(Probe().radius, 3);
            GetParam().close(d);
        },
    });
    EXPECT_EQ(outcome.result, 2);
    EXPECT_EQ(outcome.choice.method, 5);
    EXPECT_EQ(outcome.choice.radius, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, EdgeDialogClose,
    testing::Values(CloseCase{"CancelButton", [](HWND d) { Click(d, kItemCancel); }},
                    CloseCase{"CloseBox", [](HWND d) { SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
                    CloseCase{"CloseMessage", [](HWND d) { SendMessageA(d, WM_CLOSE, 0, 0); }},
                    CloseCase{"EscapeKey", [](HWND d) { SendMessageA(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0); }}),
    [](const testing::TestParamInfo<CloseCase>& info) { return std::string(info.param.name); });

// The slider's thumb snaps to the whole number shown in the edit field; its arrows step by 1.0
// and stop at 1.0 and 3.0. Any change selects Variable width.
TEST_F(EdgeDialog, SliderSnapsToWholeWidthsAndSelectsVariableWidth) {
    ImageBuffer* document = Document(200, 150);
    struct Move {
        int32_t code, thumb;
        const char* text;
        int32_t position, radius;
    };
    const Move moves[] = {
        {SB_THUMBTRACK, 150, "3", 200, 3},  {SB_THUMBPOSITION, 140, "2", 100, 2}, {SB_LINERIGHT, 0, "3", 200, 3},
        {SB_LINERIGHT, 0, "3", 200, 3},     {SB_PAGELEFT, 0, "2", 100, 2},        {SB_LINELEFT, 0, "1", 0, 1},
        {SB_LINELEFT, 0, "1", 0, 1},        {SB_BOTTOM, 0, "3", 200, 3},          {SB_TOP, 0, "1", 0, 1},
        {SB_ENDSCROLL, 0, "1", 0, 1},
    };
    std::vector<DialogStep> steps;
    for (const Move& m : moves) {
        steps.push_back([&, m](HWND d) {
            Scroll(d, kItemWidthSlider, WM_HSCROLL, m.code, m.thumb);
            SCOPED_TRACE(testing::Message() << "scroll code " << m.code << " thumb " << m.thumb);
            EXPECT_EQ(ItemText(d, kItemWidthEdit), m.text);
            EXPECT_EQ(ScrollPosition(d, kItemWidthSlider), m.position);
            EXPECT_EQ(Probe().radius, m.radius);
            EXPECT_EQ(Probe().widthValue, float(m.radius));
            ExpectMethod(d, kMethodVariableWidth);
        });
    }
    steps.push_back([&](HWND d) {
        ExpectPreviewDrawn(d, document);
        Click(d, kItemOk);
    });
    DialogOutcome outcome = RunDialog(document, {kMethodSmoother, 2}, steps);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.choice.method, kMethodVariableWidth);
    EXPECT_EQ(outcome.choice.radius, 1);
}

// Typed text is read as a number held to 1..3; the field keeps what was typed.
TEST_F(EdgeDialog, TypedWidthIsHeldToItsRangeAndSelectsVariableWidth) {
    ImageBuffer* document = Document(200, 150);
    struct Typing {
        const char* text;
        float value;
        int32_t radius, position;
    };
    const Typing typings[] = {
        {"2.7", 2.7f, 2, 170}, {"9", 3.0f, 3, 200}, {"0", 1.0f, 1, 0}, {"3", 3.0f, 3, 200}, {"letters", 1.0f, 1, 0},
        {" 2.2 mm", 2.2f, 2, 120},
    };
    std::vector<DialogStep> steps;
    steps.push_back([](HWND d) { ExpectMethod(d, kMethodTraditional); });
    for (const Typing& t : typings) {
        steps.push_back([&, t](HWND d) {
            Type(d, kItemWidthEdit, t.text);
            SCOPED_TRACE(testing::Message() << "typed \"" << t.text << '"');
            EXPECT_EQ(ItemText(d, kItemWidthEdit), t.text);
            EXPECT_EQ(Probe().widthValue, t.value);
            EXPECT_EQ(Probe().radius, t.radius);
            EXPECT_EQ(ScrollPosition(d, kItemWidthSlider), t.position);
            ExpectMethod(d, kMethodVariableWidth);
        });
    }
    int32_t runs = -1;
    steps.push_back([&](HWND d) {
        ExpectPreviewDrawn(d, document);
        runs = Probe().previewRuns;
        Type(d, kItemWidthEdit, "2.20");  // the current value: nothing changes
        UpdateWindow(d);
        EXPECT_EQ(Probe().previewRuns, runs);
        EXPECT_EQ(Probe().previewValid, 1);
        Type(d, kItemWidthEdit, "");  // an empty field changes nothing either
        UpdateWindow(d);
        EXPECT_EQ(Probe().previewRuns, runs);
        EXPECT_EQ(Probe().widthValue, 2.2f);
        Click(d, kItemOk);
    });
    DialogOutcome outcome = RunDialog(document, {kMethodTraditional, 2}, steps);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.choice.method, kMethodVariableWidth);
    EXPECT_EQ(outcome.choice.radius, 2);
}

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

// A method value outside 3..7 checks no button and runs nothing; it never touches the control
// whose id happens to equal it (12 is the Preview check box).
TEST_F(EdgeDialog, MethodOutsideTheFiveChecksNothingAndRunsNothing) {
    ImageBuffer* document = Document(80, 60);
    for (int32_t method : {8, 12}) {
        DialogOutcome outcome = RunDialog(document, {method, 2}, {
            [&](HWND d) {
                ExpectMethod(d, method);
                EXPECT_TRUE(IsChecked(d, kItemPreviewCheck));
                ExpectPreviewDrawn(d, document);
                ExpectRawView(d, 0, 0, 80, 60, 3);
                EXPECT_EQ(Probe().previewRuns, 0);
                Click(d, kItemOk);
            },
        });
        EXPECT_EQ(outcome.result, 1);
        EXPECT_EQ(outcome.choice.method, method);
        EXPECT_EQ(outcome.choice.radius, 2);

        outcome = RunDialog(document, {method, 2}, {
            [&](HWND d) { Click(d, kMethodTraditional); },
            [&](HWND d) {
                ExpectMethod(d, kMethodTraditional);
                EXPECT_TRUE(IsChecked(d, kItemPreviewCheck)) << "method " << method;
                Click(d, kItemCancel);
            },
        });
        EXPECT_EQ(outcome.result, 2);
        EXPECT_EQ(outcome.choice.method, method);
    }
}

// A stored width outside 1..3 is shown as it is; opening the dialog is not an edit, so the method
// stays, and the preview shows what the run will use (the default width).
TEST_F(EdgeDialog, StoredWidthOutsideTheRangeIsNotAnEdit) {
    ImageBuffer* document = Document(80, 60);
    DialogOutcome outcome = RunDialog(document, {kMethodSmoother, 9}, {
        [&](HWND d) {
            ExpectMethod(d, kMethodSmoother);
            EXPECT_EQ(ItemText(d, kItemWidthEdit), "9");
            EXPECT_EQ(Probe().radius, 9);
            ExpectPreviewDrawn(d, document);
            Click(d, kItemOk);
        },
    });
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.choice.method, kMethodSmoother);
    EXPECT_EQ(outcome.choice.radius, 9);
}

TEST_F(EdgeDialog, IsOwnedByTheHostWindow) {
    ImageBuffer* document = Document(50, 50);
    HWND host = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    DialogOutcome outcome = RunDialog(document, {5, 2}, {
        [&](HWND d) {
            EXPECT_EQ(GetWindow(d, GW_OWNER), host);
            EXPECT_FALSE(IsWindowEnabled(host)) << "a modal dialog disables its owner";
            char caption[128] = {0};
            GetWindowTextA(d, caption, sizeof(caption));
            EXPECT_NE(std::string(caption).find("Varnocketile"), std::string::npos) << caption;
            Click(d, kItemOk);
        },
    }, host);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_TRUE(IsWindowEnabled(host));
    DestroyWindow(host);
}

// A picture of the dialog on a small generated scene, kept in the build directory.
TEST_F(EdgeDialog, Screenshot) {
    ImageBuffer* scene = MakeScene();
    ASSERT_NE(scene, nullptr);
    documents_.push_back(scene);
    DialogOutcome outcome = RunDialog(scene, {kMethodSmoother, 2}, {
        [&](HWND d) {
            Scroll(d, kItemPanHorizontal, WM_HSCROLL, SB_BOTTOM);
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_THUMBPOSITION, 40);
        },
        [&](HWND d) {
            std::string picture = std::string(VARNO_BINARY_DIR) + "/dialog.png";
            EXPECT_TRUE(SaveDialogPicture(d, picture)) << picture;
            Click(d, kItemCancel);
        },
    });
    EXPECT_EQ(outcome.result, 2);
}

TEST_F(EdgeDialog, DocumentOfNothingStillOpensAndCloses) {
    DialogOutcome outcome = RunDialog(nullptr, {5, 2}, {
        [&](HWND d) {
            UpdateWindow(d);
            EXPECT_EQ(Probe().view.right, 0);
            EXPECT_EQ(Probe().previewRuns, 0);
            Click(d, kItemOk);
        },
    });
    EXPECT_EQ(outcome.result, 1);
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

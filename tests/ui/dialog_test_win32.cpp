// The edge dialog under a real window system: the choice it starts from and hands back, the
// method buttons, closing, the width slider and typed widths, values outside the ranges, its
// owner and its screenshot, driven by the messages a user's clicks, drags and keys cause. Zoom,
// panning and the preview's pixels are in dialog_view_test_win32.cpp.
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

TEST_F(EdgeDialog, StartsFromTheChoiceAndOkWritesTheChangedMethod) {
    ImageBuffer* document = Document(300, 200);
    int32_t runsAfterFirstPaint = -1;
    DialogOutcome outcome = RunDialog(document, {5, 2}, {
        [&](HWND d) {
            ExpectMethod(d, 5);
            EXPECT_TRUE(IsChecked(d, kItemPreviewCheck));
            EXPECT_EQ(ItemText(d, 7), "Variable Width");
            // The other buttons' texts, generated from the parameter table into the resource.
            const char* const texts[] = {"Traditional", "Skinny lines", "Smoother", "Fine Detail"};
            for (int32_t id = 3; id <= 6; ++id) EXPECT_EQ(ItemText(d, id), texts[id - 3]);
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

}  // namespace

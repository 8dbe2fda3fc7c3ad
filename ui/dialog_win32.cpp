// The edge dialog: five method buttons, the width slider, and a preview of the chosen method on
// the visible part of the document that pans with two scroll bars and zooms from 100% to 800%.
//
// The preview is computed at 1:1 into the "Proxy" buffer (a copy of the view with the method run
// on it) only at the first paint after something that changes it (method, width, the Preview
// switch, panning); zooming only redraws the existing proxy. All state is module-level: one
// dialog at a time, on the host's thread.
#include <windows.h>

#include <cstring>

#include "buffers/image_buffer.h"
#include "buffers/region.h"
#include "params/edge_table.h"
#include "plugin/dispatch.h"
#include "plugin/execute.h"
#include "plugin/module_win32.h"
#include "ui/controls_win32.h"
#include "ui/dialog.h"
#include "ui/dialog_layout_win32.h"
#include "ui/preview_math.h"
#include "ui/preview_win32.h"
#include "ui/slider_math.h"
#include "ui/slider_win32.h"

namespace {

// What ShowEdgeDialog hands to the dialog's initialisation, in this order.
struct EdgeDialogInit {
    RunState* run;
    ImageBuffer* image;
    PluginHandle* choice;
};

struct EdgeDialogState {
    RunState* run;
    ImageBuffer* image;
    PluginHandle* choice;
    int32_t planes, width, height;     // the working image's shape
    Rect16 frame;                      // preview frame, client pixels
    Rect16 view;                       // document pixels shown
    int32_t horizontalRange, verticalRange;
    int32_t zoom;
    int32_t method;
    int32_t radius;
    uint8_t previewOn;
    uint8_t previewValid;
    ImageBuffer* proxy;
    SliderControl widthSlider;
    HWND window;
    uint8_t initialising;  // edit notifications raised by setting up the slider are not edits
    uint8_t ended;
    int32_t previewRuns;
    DialogLayout layout;  // the controls as laid out at the first DPI, for laying out at another
    int32_t dpi;          // the DPI the dialog is laid out for now
};

EdgeDialogState state;
bool dialogOpen;

constexpr float kWidthMinimum = float(kEdgeRadiusMin);
constexpr float kWidthMaximum = float(kEdgeRadiusMax);

int32_t FrameWidth() { return state.frame.right - state.frame.left; }
int32_t FrameHeight() { return state.frame.bottom - state.frame.top; }

void InvalidatePreview(HWND dialog) {
    state.previewValid = 0;
    InvalidateRect16(dialog, state.frame);
}

// Moves the radio check to `method` and asks for a new preview. Only the five method buttons are
// ever checked or unchecked: other values are ids of other controls.
void SelectMethod(HWND dialog, int32_t method) {
    if (IsEdgeMethod(state.method)) CheckDlgButton(dialog, state.method, BST_UNCHECKED);
    if (IsEdgeMethod(method)) CheckDlgButton(dialog, method, BST_CHECKED);
    state.method = method;
    InvalidatePreview(dialog);
}

// A new width always means the Variable width method.
void TakeWidthFromSlider(HWND dialog) {
    state.radius = TruncateToInt32(SliderValue(&state.widthSlider));
    SelectMethod(dialog, kMethodVariableWidth);
}

// The width the preview runs with: the one the run will use, which replaces a width outside
// the radius range with the default.
int32_t PreviewRadius() { return IsEdgeRadius(state.radius) ? state.radius : kDefaultRadius; }

void ReleaseDialogResources() {
    if (state.proxy != nullptr) DisposeImageBuffer(state.proxy);
    state.proxy = nullptr;
    ReleaseImageItems();
}

void EndEdgeDialog(HWND dialog, int32_t id) {
    if (id == kItemOk && state.choice != nullptr && state.choice->data != nullptr) {
        EdgeChoice* choice = static_cast<EdgeChoice*>(state.choice->data);
        choice->method = state.method;
        choice->radius = state.radius;
    }
    ReleaseDialogResources();
    state.ended = 1;
    EndDialog(dialog, id);
}

// The preview for the frame's present size: the view (at the document's top-left corner at first,
// afterwards keeping its corner where it can), the pan ranges and scroll bars, and a proxy picture
// of the view's size bound to the frame. Called at initialisation and whenever the dialog was laid
// out for another DPI; the next paint computes the new proxy.
void LayOutPreview(HWND dialog, bool initial) {
    state.frame = GetItemRect(dialog, kItemPreviewFrame);
    state.view = ResizedView(state.view, state.width, state.height, FrameWidth(), FrameHeight());
    state.horizontalRange = PanRange(state.width, FrameWidth());
    state.verticalRange = PanRange(state.height, FrameHeight());

    const int32_t bars[2] = {kItemPanHorizontal, kItemPanVertical};
    const int32_t ranges[2] = {state.horizontalRange, state.verticalRange};
    const int32_t positions[2] = {state.view.left, state.view.top};
    for (int32_t i = 0; i < 2; ++i) {
        HWND bar = GetDlgItem(dialog, bars[i]);
        if (ranges[i] > 0 && bar != nullptr) {
            if (!initial) SendEnable(dialog, bars[i], 1);
            SetScrollRange(bar, SB_CTL, 0, ranges[i], FALSE);
            SetScrollPos(bar, SB_CTL, positions[i], !initial);
        } else {
            SendEnable(dialog, bars[i], 0);
        }
    }

    if (state.proxy != nullptr) DisposeImageBuffer(state.proxy);
    state.proxy = nullptr;
    CreateImageBuffer("Proxy", static_cast<int16_t>(state.view.right - state.view.left),
                      static_cast<int16_t>(state.view.bottom - state.view.top), 3, &state.proxy);
    BindFrefToDITLitem(dialog, kItemPreviewFrame, state.proxy, &state.zoom);
    state.previewValid = 0;
}

// The dialog was moved to a monitor of another DPI: take the window rectangle the system suggests,
// scale the controls and the font, and lay the preview out for the frame's new size.
INT_PTR ChangeDpi(HWND dialog, WPARAM wParam, LPARAM lParam) {
    if (state.ended) return TRUE;
    const int32_t dpi = LOWORD(wParam);
    ApplyDialogLayout(dialog, &state.layout, dpi, reinterpret_cast<const RECT*>(lParam));
    state.dpi = dpi;
    state.widthSlider.scrollRect = GetItemRect(dialog, kItemWidthSlider);
    state.widthSlider.editRect = GetItemRect(dialog, kItemWidthEdit);
    state.widthSlider.labelRect = GetItemRect(dialog, kMethodVariableWidth);
    LayOutPreview(dialog, false);
    InvalidateRect(dialog, nullptr, TRUE);
    return TRUE;
}

INT_PTR Initialise(HWND dialog, const EdgeDialogInit* init) {
    std::memset(&state, 0, sizeof(state));
    state.window = dialog;
    state.initialising = 1;
    if (init != nullptr) {
        state.run = init->run;
        state.image = init->image;
        state.choice = init->choice;
    }

    BufferShape shape = {0, 0, 0};
    GetBufferShape(state.image, &shape);
    state.planes = shape.planes;
    state.width = shape.width;
    state.height = shape.height;

    state.zoom = 1;
    state.method = kDefaultMethod;
    state.radius = kDefaultRadius;
    if (state.choice != nullptr && state.choice->data != nullptr) {
        const EdgeChoice* choice = static_cast<const EdgeChoice*>(state.choice->data);
        state.method = choice->method;
        state.radius = choice->radius;
    }
    state.previewOn = 1;

    CaptureDialogLayout(dialog, &state.layout);
    state.dpi = state.layout.dpi;
    LayOutPreview(dialog, true);

    SliderInit(dialog, &state.widthSlider, kItemWidthSlider, kMethodVariableWidth, kItemWidthEdit, kWidthMinimum,
               kWidthMaximum, static_cast<float>(state.radius), 1.0f, 1.0f, kEdgeRadiusLabel);
    InvalidateRect(dialog, nullptr, TRUE);

    state.previewValid = 0;
    CheckDlgButton(dialog, kItemPreviewCheck, state.previewOn ? BST_CHECKED : BST_UNCHECKED);
    if (IsEdgeMethod(state.method)) CheckDlgButton(dialog, state.method, BST_CHECKED);
    state.initialising = 0;
    return FALSE;  // no default keyboard focus
}

void Paint(HWND dialog) {
    PAINTSTRUCT paint;
    HDC context = BeginPaint(dialog, &paint);
    if (context != nullptr && !state.ended) {
        SelectObject(context, GetStockObject(BLACK_PEN));
        if (!state.previewValid) {
            // Without a usable proxy (its mapping failed) there is nothing to compute.
            if (state.proxy != nullptr && state.proxy->mapped && state.image != nullptr) {
                CopyBufferRegion(state.image, state.proxy, state.view, 0, 0);
                if (state.previewOn && IsEdgeMethod(state.method)) {
                    RunEdgeMethod(state.method, PreviewRadius(), state.proxy, nullptr, 0);
                    ++state.previewRuns;
                }
            }
            state.previewValid = 1;
        }
        DrawImageItem(dialog, kItemPreviewFrame, context);
    }
    EndPaint(dialog, &paint);
}

INT_PTR Pan(HWND dialog, bool vertical, WPARAM wParam) {
    HWND bar = GetDlgItem(dialog, vertical ? kItemPanVertical : kItemPanHorizontal);
    int32_t position = bar != nullptr ? GetScrollPos(bar, SB_CTL) : 0;
    int32_t frameSize = vertical ? FrameHeight() : FrameWidth();
    int32_t range = vertical ? state.verticalRange : state.horizontalRange;
    int32_t target = position;
    if (!PanScrollTarget(LOWORD(wParam), position, HIWORD(wParam), frameSize, state.zoom, range, &target)) {
        return FALSE;
    }
    if (range <= 0) return TRUE;
    target = ClampPanPosition(target, range);
    if (bar != nullptr) SetScrollPos(bar, SB_CTL, target, TRUE);
    if (vertical) {
        state.view.top = static_cast<int16_t>(target);
        state.view.bottom = static_cast<int16_t>(target + frameSize);
    } else {
        state.view.left = static_cast<int16_t>(target);
        state.view.right = static_cast<int16_t>(target + frameSize);
    }
    InvalidatePreview(dialog);
    return TRUE;
}

void ShowZoom(HWND dialog, int32_t zoom) {
    state.zoom = zoom;
    char label[16];
    FormatZoomLabel(zoom, label);
    SetItemTextJoined(dialog, kItemZoomLabel, label, "", "");
}

INT_PTR Command(HWND dialog, WPARAM wParam) {
    int32_t id = LOWORD(wParam);
    if (state.initialising || state.ended) return FALSE;
    if (SliderOnEdit(&state.widthSlider, static_cast<uint32_t>(id))) TakeWidthFromSlider(dialog);
    // The method buttons' ids are the methods' numbers.
    if (IsEdgeMethod(id)) {
        SelectMethod(dialog, id);
        return TRUE;
    }
    switch (id) {
        case kItemOk:
        case kItemCancel:
            EndEdgeDialog(dialog, id);
            return TRUE;
        case kItemPreviewCheck:
            state.previewOn = state.previewOn ? 0 : 1;
            CheckDlgButton(dialog, kItemPreviewCheck, state.previewOn ? BST_CHECKED : BST_UNCHECKED);
            InvalidatePreview(dialog);
            return TRUE;
        case kItemZoomOut:
        case kItemZoomIn: {
            int32_t zoom = id == kItemZoomIn ? ZoomIn(state.zoom) : ZoomOut(state.zoom);
            if (zoom != state.zoom) ShowZoom(dialog, zoom);
            InvalidateRect16(dialog, state.frame);
            return TRUE;
        }
        case kItemZoomLabel:
            if (state.zoom == 1) return TRUE;
            ShowZoom(dialog, 1);
            InvalidateRect16(dialog, state.frame);
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR HorizontalScroll(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND bar = reinterpret_cast<HWND>(lParam);
    if (state.ended) return TRUE;
    if (bar != nullptr && GetDlgCtrlID(bar) == kItemPanHorizontal) return Pan(dialog, false, wParam);
    if (!SliderOnScroll(message, wParam, bar, &state.widthSlider)) return TRUE;
    TakeWidthFromSlider(dialog);
    return TRUE;
}

INT_PTR CALLBACK EdgeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            return Initialise(dialog, reinterpret_cast<const EdgeDialogInit*>(lParam));
        case WM_PAINT:
            Paint(dialog);
            return FALSE;
        case WM_COMMAND:
            return Command(dialog, wParam);
        case WM_HSCROLL:
            return HorizontalScroll(dialog, message, wParam, lParam);
        case WM_VSCROLL:
            if (state.ended) return TRUE;
            return Pan(dialog, true, wParam);
        case WM_DPICHANGED:
            return ChangeDpi(dialog, wParam, lParam);
        default:
            return FALSE;
    }
}

}  // namespace

int32_t ShowEdgeDialog(ImageBuffer* image, RunState* run, PluginHandle* choice) {
    if (dialogOpen) return 2;
    HWND owner = nullptr;
    if (run != nullptr && run->host != nullptr && run->host->platformData != nullptr) {
        owner = reinterpret_cast<HWND>(static_cast<const PlatformData*>(run->host->platformData)->hwnd);
        if (owner != nullptr && !IsWindow(owner)) owner = nullptr;
    }
    HINSTANCE module = PluginModule();
    if (module == nullptr) module = GetModuleHandleA(nullptr);

    EdgeDialogInit init = {run, image, choice};
    dialogOpen = true;
    INT_PTR result = DialogBoxParamA(module, MAKEINTRESOURCEA(kEdgeDialogResource), owner, EdgeDialogProc,
                                     reinterpret_cast<LPARAM>(&init));
    // A dialog that ended some other way than OK or Cancel still leaves nothing behind.
    ReleaseDialogResources();
    ReleaseDialogLayout(&state.layout);
    std::memset(&state, 0, sizeof(state));
    dialogOpen = false;
    if (result == kItemCancel || result == -1 || result == 0) return 2;
    return 1;
}

bool ProbeEdgeDialog(EdgeDialogProbe* probe) {
    if (!dialogOpen || state.window == nullptr || probe == nullptr) return false;
    probe->window = reinterpret_cast<intptr_t>(state.window);
    probe->method = state.method;
    probe->radius = state.radius;
    probe->zoom = state.zoom;
    probe->horizontalRange = state.horizontalRange;
    probe->verticalRange = state.verticalRange;
    probe->frame = state.frame;
    probe->view = state.view;
    probe->previewOn = state.previewOn;
    probe->previewValid = state.previewValid;
    probe->widthValue = SliderValue(&state.widthSlider);
    probe->previewRuns = state.previewRuns;
    probe->dpi = state.dpi;
    return true;
}

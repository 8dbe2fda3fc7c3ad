// The dialog laid out for the DPI of the monitor it is shown on. A host that is per-monitor DPI
// aware (and told so by the PiPL's 'pmsa' property) leaves the scaling to the plug-in: when the
// dialog moves to a monitor of another DPI it receives WM_DPICHANGED with the new DPI and the
// window rectangle the system suggests.
//
// Contract: CaptureDialogLayout, at WM_INITDIALOG, records the rectangle of every control (client
// pixels), the dialog font's height and the DPI they were made for (DialogDpi). ApplyDialogLayout
// moves the dialog to the suggested rectangle, places every control at its recorded rectangle
// scaled from the recorded DPI to the new one (never scaled twice, so moving back and forth does
// not drift), and gives the dialog and its controls a font of the template's point size at the new
// DPI. ReleaseDialogLayout frees the font the layout made. Plain data, no allocation.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr int32_t kMaxLaidOutControls = 40;

struct DialogLayout {
    int32_t dpi;                 // the DPI the rectangles and font height were measured at
    int32_t count;
    HWND controls[kMaxLaidOutControls];
    RECT rects[kMaxLaidOutControls];
    LOGFONTA font;               // the dialog's font as made at `dpi`
    uint8_t hasFont;
    HFONT madeFont;              // the font made for another DPI, owned; none before
};

// The DPI the window is shown at: the window's own where the system tells it, else the screen's.
int32_t DialogDpi(HWND dialog);
void CaptureDialogLayout(HWND dialog, DialogLayout* layout);
// `suggested` (screen coordinates) may be none: the window then keeps its place and size.
void ApplyDialogLayout(HWND dialog, DialogLayout* layout, int32_t dpi, const RECT* suggested);
void ReleaseDialogLayout(DialogLayout* layout);

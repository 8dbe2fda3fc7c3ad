// The dialog's layout for the DPI it is shown at (see dialog_layout_win32.h).
#include "ui/dialog_layout_win32.h"

#include "ui/preview_math.h"

namespace {

BOOL CALLBACK RecordControl(HWND control, LPARAM data) {
    DialogLayout* layout = reinterpret_cast<DialogLayout*>(data);
    if (layout->count >= kMaxLaidOutControls) return FALSE;
    HWND dialog = GetParent(control);
    RECT rect;
    if (!GetWindowRect(control, &rect)) return TRUE;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    layout->controls[layout->count] = control;
    layout->rects[layout->count] = rect;
    ++layout->count;
    return TRUE;
}

}  // namespace

int32_t DialogDpi(HWND dialog) {
    // GetDpiForWindow exists from Windows 10 1607 on; older systems have one DPI for every monitor.
    typedef UINT(WINAPI * WindowDpiProc)(HWND);
    HMODULE user = GetModuleHandleA("user32.dll");
    FARPROC found = user != nullptr ? GetProcAddress(user, "GetDpiForWindow") : nullptr;
    if (found != nullptr) {
        WindowDpiProc windowDpi;
        static_assert(sizeof windowDpi == sizeof found);
        __builtin_memcpy(&windowDpi, &found, sizeof found);
        UINT dpi = windowDpi(dialog);
        if (dpi > 0) return static_cast<int32_t>(dpi);
    }
    HDC screen = GetDC(dialog);
    int32_t dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ReleaseDC(dialog, screen);
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

void CaptureDialogLayout(HWND dialog, DialogLayout* layout) {
    layout->count = 0;
    layout->hasFont = 0;
    layout->madeFont = nullptr;
    layout->dpi = DialogDpi(dialog);
    EnumChildWindows(dialog, RecordControl, reinterpret_cast<LPARAM>(layout));
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0));
    if (font != nullptr && GetObjectA(font, sizeof layout->font, &layout->font) == sizeof layout->font)
        layout->hasFont = 1;
}

void ApplyDialogLayout(HWND dialog, DialogLayout* layout, int32_t dpi, const RECT* suggested) {
    if (dpi <= 0) return;
    if (suggested != nullptr) {
        SetWindowPos(dialog, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HFONT font = nullptr;
    if (layout->hasFont) {
        LOGFONTA scaled = layout->font;
        scaled.lfHeight = ScaleForDpi(layout->font.lfHeight, dpi, layout->dpi);
        scaled.lfWidth = ScaleForDpi(layout->font.lfWidth, dpi, layout->dpi);
        font = CreateFontIndirectA(&scaled);
    }
    if (font != nullptr) SendMessageA(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    for (int32_t i = 0; i < layout->count; ++i) {
        const RECT& r = layout->rects[i];
        const int32_t left = ScaleForDpi(r.left, dpi, layout->dpi), top = ScaleForDpi(r.top, dpi, layout->dpi);
        const int32_t right = ScaleForDpi(r.right, dpi, layout->dpi), bottom = ScaleForDpi(r.bottom, dpi, layout->dpi);
        SetWindowPos(layout->controls[i], nullptr, left, top, right - left, bottom - top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (font != nullptr) SendMessageA(layout->controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    }
    // The controls now use the new font; the one made before is no longer anybody's.
    if (font != nullptr) {
        if (layout->madeFont != nullptr) DeleteObject(layout->madeFont);
        layout->madeFont = font;
    }
    InvalidateRect(dialog, nullptr, TRUE);
}

void ReleaseDialogLayout(DialogLayout* layout) {
    if (layout->madeFont != nullptr) DeleteObject(layout->madeFont);
    layout->madeFont = nullptr;
}

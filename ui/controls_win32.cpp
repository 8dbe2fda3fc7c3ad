// Small helpers for the controls of a dialog (see controls_win32.h).
#include "ui/controls_win32.h"

namespace {

constexpr int32_t kJoinedTextCapacity = 514;

int16_t ToInt16(LONG value) {
    if (value > INT16_MAX) return INT16_MAX;
    if (value < INT16_MIN) return INT16_MIN;
    return static_cast<int16_t>(value);
}

void Append(char* joined, int32_t* length, const char* text) {
    if (text == nullptr) return;
    while (*text != '\0' && *length < kJoinedTextCapacity - 1) joined[(*length)++] = *text++;
    joined[*length] = '\0';
}

}  // namespace

Rect16 GetItemRect(HWND dialog, int32_t id) {
    Rect16 result = {0, 0, 0, 0};
    HWND item = dialog != nullptr ? GetDlgItem(dialog, id) : nullptr;
    RECT screen;
    if (item == nullptr || !GetWindowRect(item, &screen)) return result;
    POINT topLeft = {screen.left, screen.top};
    POINT bottomRight = {screen.right, screen.bottom};
    ScreenToClient(dialog, &topLeft);
    ScreenToClient(dialog, &bottomRight);
    result.top = ToInt16(topLeft.y);
    result.left = ToInt16(topLeft.x);
    result.bottom = ToInt16(bottomRight.y);
    result.right = ToInt16(bottomRight.x);
    return result;
}

void InvalidateRect16(HWND dialog, Rect16 rect) {
    if (dialog == nullptr) return;
    RECT r = {rect.left, rect.top, rect.right, rect.bottom};
    InvalidateRect(dialog, &r, FALSE);
}

void InvalidateItem(HWND dialog, int32_t id) {
    if (dialog == nullptr || GetDlgItem(dialog, id) == nullptr) return;
    InvalidateRect16(dialog, GetItemRect(dialog, id));
}

void SetItemTextJoined(HWND dialog, int32_t id, const char* text, const char* second, const char* third) {
    if (dialog == nullptr || GetDlgItem(dialog, id) == nullptr) return;
    char joined[kJoinedTextCapacity];
    int32_t length = 0;
    joined[0] = '\0';
    Append(joined, &length, text);
    Append(joined, &length, second);
    Append(joined, &length, third);
    SetDlgItemTextA(dialog, id, joined);
    InvalidateItem(dialog, id);
}

void SendEnable(HWND dialog, int32_t id, int32_t flag) {
    HWND item = dialog != nullptr ? GetDlgItem(dialog, id) : nullptr;
    if (item == nullptr) return;
    EnableWindow(item, flag != 0 ? TRUE : FALSE);
}

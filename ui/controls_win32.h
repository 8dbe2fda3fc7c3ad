// Small helpers for the controls of a dialog, in the dialog's client pixels.
//
// Contract: every function accepts a dialog or control that does not exist and then does nothing
// (GetItemRect then gives an empty rectangle at 0, 0). Rectangles are Rect16, bottom and right
// exclusive.
#pragma once

#include <windows.h>

#include <cstdint>

#include "buffers/region.h"

// The control's rectangle in the dialog's client pixels (its screen rectangle converted corner by
// corner).
Rect16 GetItemRect(HWND dialog, int32_t id);
// Marks the control's rectangle for repainting without erasing it.
void InvalidateItem(HWND dialog, int32_t id);
// Marks a rectangle of the dialog for repainting without erasing it.
void InvalidateRect16(HWND dialog, Rect16 rect);
// Sets the control's text to the three texts joined (at most 513 characters; a missing text counts
// as empty) and marks the control for repainting.
void SetItemTextJoined(HWND dialog, int32_t id, const char* text, const char* second, const char* third);
// Enables (flag non-zero) or disables the control; a disabled control also receives the
// window-enable notification with 0 and ignores the user.
void SendEnable(HWND dialog, int32_t id, int32_t flag);

// A slider: a horizontal scroll bar, an edit field and a label of a dialog that together edit one
// floating-point value. One scroll position is 0.01 of the value; the edit field shows the value
// rounded to a whole number and accepts a typed decimal number.
//
// Contract: the caller owns the SliderControl (plain data, no allocation). Positions run from 0
// to trunc((maximum - minimum) x 100). Setting the edit field's text from here raises the edit
// field's change notification, so the dialog's command handler sees it at once (inside
// SliderInit and SliderOnScroll) and may call SliderOnEdit on the text just shown.
#pragma once

#include <windows.h>

#include <cstdint>

#include "buffers/region.h"

constexpr int32_t kSliderLabelCapacity = 256;

struct SliderControl {
    HWND dialog;
    float minimum, maximum;
    int32_t lowest, highest;   // scroll bar positions; lowest is always 0
    float pageStep;            // in positions (value step x 100)
    float lineStep;            // in positions (value step x 100)
    uint32_t scrollId;
    HWND scrollWindow, editWindow, labelWindow;
    Rect16 scrollRect, editRect, labelRect;
    uint32_t labelId;
    char labelText[kSliderLabelCapacity];
    uint32_t editId;
    float value;
};

// Sets the slider up on the dialog's controls and shows `value` (a value below 0.01 counts as 0):
// scroll range 0..trunc((maximum - minimum) x 100) and position trunc((value - minimum) x 100),
// steps of 100 x the given steps, the label's text, and the value as a whole number in the edit
// field.
void SliderInit(HWND dialog, SliderControl* slider, uint32_t scrollId, uint32_t labelId, uint32_t editId,
                float minimum, float maximum, float value, float pageStep, float lineStep, const char* label);

// Handles a scroll message from `scrollBar`: moves the thumb by the scroll code (low word of
// `wParam`; the thumb codes take the high word), sets the value from the new position and shows
// it in the edit field. Non-zero when the position changed. A scroll bar other than the slider's
// own, or an unknown code, changes nothing.
int32_t SliderOnScroll(UINT message, WPARAM wParam, HWND scrollBar, SliderControl* slider);

// For a command from control `id`: when it is the slider's edit field, reads its text as a decimal
// number held to minimum..maximum and, if that differs from the value, stores it and moves the
// thumb. Non-zero when the value changed. The edit text itself is left as typed.
int32_t SliderOnEdit(SliderControl* slider, uint32_t id);

float SliderValue(const SliderControl* slider);

// The slider of the dialog (see slider_win32.h); its arithmetic is in slider_math.
#include "ui/slider_win32.h"

#include "ui/controls_win32.h"
#include "ui/slider_math.h"

namespace {

void ShowValue(const SliderControl* slider) {
    char text[16];
    FormatSliderValue(slider->value, text);
    if (slider->editWindow != nullptr) SetWindowTextA(slider->editWindow, text);
}

}  // namespace

void SliderInit(HWND dialog, SliderControl* slider, uint32_t scrollId, uint32_t labelId, uint32_t editId,
                float minimum, float maximum, float value, float pageStep, float lineStep, const char* label) {
    if (slider == nullptr) return;
    slider->dialog = dialog;
    slider->scrollId = scrollId;
    slider->labelId = labelId;
    slider->editId = editId;
    int32_t length = 0;
    if (label != nullptr) {
        while (label[length] != '\0' && length < kSliderLabelCapacity - 1) {
            slider->labelText[length] = label[length];
            ++length;
        }
    }
    slider->labelText[length] = '\0';

    slider->value = SliderStartValue(value);
    slider->minimum = minimum;
    slider->maximum = maximum;
    slider->lowest = 0;
    slider->highest = SliderPositionOf(maximum, minimum);
    slider->pageStep = static_cast<float>(static_cast<double>(pageStep) * 100.0);
    slider->lineStep = static_cast<float>(static_cast<double>(lineStep) * 100.0);

    slider->scrollWindow = dialog != nullptr ? GetDlgItem(dialog, static_cast<int>(scrollId)) : nullptr;
    slider->editWindow = dialog != nullptr ? GetDlgItem(dialog, static_cast<int>(editId)) : nullptr;
    slider->labelWindow = dialog != nullptr ? GetDlgItem(dialog, static_cast<int>(labelId)) : nullptr;
    slider->scrollRect = GetItemRect(dialog, static_cast<int32_t>(scrollId));
    slider->editRect = GetItemRect(dialog, static_cast<int32_t>(editId));
    slider->labelRect = GetItemRect(dialog, static_cast<int32_t>(labelId));

    if (slider->scrollWindow != nullptr) {
        SetScrollRange(slider->scrollWindow, SB_CTL, slider->lowest, slider->highest, FALSE);
        SetScrollPos(slider->scrollWindow, SB_CTL, SliderPositionOf(slider->value, minimum), FALSE);
    }
    if (slider->labelWindow != nullptr) SetWindowTextA(slider->labelWindow, slider->labelText);
    ShowValue(slider);
}

int32_t SliderOnScroll(UINT, WPARAM wParam, HWND scrollBar, SliderControl* slider) {
    if (slider == nullptr || scrollBar == nullptr) return 0;
    if (static_cast<uint32_t>(GetDlgCtrlID(scrollBar)) != slider->scrollId) return 0;
    int32_t old = GetScrollPos(scrollBar, SB_CTL);
    int32_t next = old;
    if (!SliderScrollTarget(LOWORD(wParam), old, HIWORD(wParam), slider->lowest, slider->highest, slider->lineStep,
                            slider->pageStep, &next)) {
        return 0;
    }
    SetScrollPos(scrollBar, SB_CTL, next, TRUE);
    slider->value = SliderValueAt(slider->minimum, slider->maximum, next, slider->lowest, slider->highest);
    ShowValue(slider);
    return next != old ? 1 : 0;
}

int32_t SliderOnEdit(SliderControl* slider, uint32_t id) {
    if (slider == nullptr || id != slider->editId || slider->editWindow == nullptr) return 0;
    char text[kSliderLabelCapacity];
    text[0] = '\0';
    GetWindowTextA(slider->editWindow, text, kSliderLabelCapacity);
    if (text[0] == '\0') return 0;
    float typed = ClampSliderValue(ParseDecimalText(text), slider->minimum, slider->maximum);
    if (typed == slider->value) return 0;
    slider->value = typed;
    if (slider->scrollWindow != nullptr) {
        SetScrollPos(slider->scrollWindow, SB_CTL, SliderPositionOf(typed, slider->minimum), TRUE);
    }
    return 1;
}

float SliderValue(const SliderControl* slider) { return slider != nullptr ? slider->value : 0.0f; }

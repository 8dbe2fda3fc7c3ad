// Drives the edge dialog the way a user would: ShowEdgeDialog runs its modal loop on the test's
// thread while a timer plays a list of steps against the open dialog (clicks, scroll messages,
// typing), and a watchdog cancels a dialog that is still open after a while, so that no test can
// wait for a person.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "buffers/image_buffer.h"
#include "buffers/region.h"
#include "edges/methods.h"
#include "plugin/dispatch.h"
#include "plugin/plugin.h"
#include "ui/dialog.h"

using DialogStep = std::function<void(HWND dialog)>;

struct DialogOutcome {
    int32_t result = 0;
    EdgeChoice choice = {0, 0};
    bool timedOut = false;
    size_t stepsRun = 0;
};

// Runs ShowEdgeDialog on `document` with the choice given, playing `steps` one per timer tick;
// the last step is expected to end the dialog. `owner`, when given, is the host's window.
DialogOutcome RunDialog(ImageBuffer* document, EdgeChoice choice, const std::vector<DialogStep>& steps,
                        HWND owner = nullptr);

// The current state of the open dialog (fails the test when none is open).
EdgeDialogProbe Probe();

// A document of width x height pixels, 1 or 3 planes, with a pattern that differs from pixel to
// pixel: red = x, green = y, blue = x XOR 3y (low bytes); grey documents hold the red value.
ImageBuffer* MakeDocument(int16_t width, int16_t height, int16_t planes);

// The 640 x 480 landscape of the screenshots (sky, sun, hills, a lake), or none when out of memory.
ImageBuffer* MakeScene();

// User actions.
void Click(HWND dialog, int32_t id);
void ClickLabel(HWND dialog, int32_t id);
void Scroll(HWND dialog, int32_t id, UINT message, int32_t code, int32_t position = 0);
void Type(HWND dialog, int32_t id, const char* text);
std::string ItemText(HWND dialog, int32_t id);
int32_t ScrollPosition(HWND dialog, int32_t id);
bool IsChecked(HWND dialog, int32_t id);

// The pixels of a client rectangle of `window` as 0x00RRGGBB, row by row, after any pending paint.
std::vector<uint32_t> CaptureClient(HWND window, Rect16 rect);

// The pixel block the preview should show for the dialog's current state, computed without the
// window system: the view copied out of the document, the method run on it when the preview is
// on, placed centred in a frame-sized block. Returns 0x00RRGGBB values of the frame's pixels.
std::vector<uint32_t> ExpectedPreview(ImageBuffer* document, const EdgeDialogProbe& state);

// Number of frame pixels that differ between what was drawn and what was expected at zoom 1
// (and reports the first few).
int32_t CountDifferences(const std::vector<uint32_t>& drawn, const std::vector<uint32_t>& expected, int32_t width);

// Checks a magnified drawing: every sampled frame pixel must equal one of the 3 x 3 source pixels
// around the one the crop maps it to. Returns the number of misses.
int32_t CountZoomMisses(const std::vector<uint32_t>& drawn, const std::vector<uint32_t>& unzoomed,
                        int32_t frameWidth, int32_t frameHeight, int32_t zoom);

// Saves the dialog's client area as a PNG file (the caption belongs to the window manager, which a
// virtual display may not have).
bool SaveDialogPicture(HWND window, const std::string& path);
bool WritePng(const std::string& path, int32_t width, int32_t height, const std::vector<uint8_t>& rgb);

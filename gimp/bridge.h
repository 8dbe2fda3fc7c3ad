// The GIMP plug-ins' side of the host library, in terms free of GIMP's own types, shared by the
// GIMP 2.10 and the GIMP 3 plug-in: the procedure's texts, the document built from a drawable's
// samples, where a drawable lies on its image, the method and radius a run uses and remembers, and
// the run of the module itself.
//
// Contract: samples arrive interleaved, row after row, 1 (grey) or 3 (RGB) per pixel, as bytes or
// as 16-bit values in the machine's order; they make an 8-bit (modes 1, 3) or a 16-bit (modes 10,
// 11) document, which the host library reduces to the 8-bit samples the plug-in asks for. A
// drawable's new selection covers the part of its area that lies on the image and nothing else.
// Functions return false (with the reason in `error` where there is one) and leave their outputs
// alone when the input cannot be used.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/descriptor.h"
#include "images/document.h"

namespace varno {

// The procedure GIMP knows the plug-in by, and the key of its remembered choice in GIMP's store.
constexpr const char* kGimpProcedure = "plug-in-varnocketile-select";
// The plug-in's records keep width and height as signed 16-bit values.
constexpr int32_t kGimpMaxSide = 32767;

bool DocumentFromSamples(const void* samples, int32_t width, int32_t height, int32_t channels, bool wide,
                         Document* document, std::string* error);

// A rectangle of image pixels, and the part of a drawable's own pixels it shows.
struct Placement {
    int32_t imageX = 0, imageY = 0;    // where the covered part starts on the image
    int32_t sourceX = 0, sourceY = 0;  // and in the drawable
    int32_t width = 0, height = 0;     // 0 when the drawable lies wholly off the image
};

// The part of a width x height drawable at (offsetX, offsetY) that lies on an imageWidth x
// imageHeight image.
Placement PlaceDrawable(int32_t imageWidth, int32_t imageHeight, int32_t offsetX, int32_t offsetY, int32_t width,
                        int32_t height);

// The choice a run plays to the plug-in and GIMP keeps for the next run with last values. Stored
// as it stands in GIMP's store, so its layout must not change.
struct GimpChoice {
    int32_t method;
    int32_t radius;
};

bool ValidChoice(const GimpChoice& choice);
// The values an action recorded by the plug-in holds ('EdgM' and 'edgR').
bool ChoiceFromDescriptor(const Descriptor& descriptor, GimpChoice* choice);
// The choice the plug-in remembered in its preferences file, each value on its own or its
// default (ReadRememberedChoice, params/edge_table.h). Reads the file only; a missing file stays
// missing.
GimpChoice RememberedChoice(void);

// The procedure's texts: its one-line blurb, its help, its method and radius arguments
// ("Traditional (3), Skinny lines (4), ...": the methods of the table by name and number).
extern const char* const kGimpBlurb;
extern const char* const kGimpHelp;
std::string GimpMethodsText(void);
std::string GimpRadiusText(void);
// Why a non-interactive call's choice is refused (for a choice ValidChoice refuses).
std::string GimpChoiceRefusal(const GimpChoice& choice);

// What the GIMP plug-in shows of a run: messages and the progress bar.
struct GimpRunShow {
    std::function<void(const std::string& text)> message;
    std::function<void(void)> progressStart;
    std::function<void(double fraction)> progress;  // in steps GIMP can draw, each once
    std::function<void(void)> progressEnd;          // before the image changes
};
struct GimpRunOutcome {
    enum Status { kSuccess, kCancel, kError } status = kSuccess;
    std::string message;  // why the run failed
    bool choiceUsed = false;
    GimpChoice used = {};  // the choice the module recorded, for GIMP to keep
};
// One run of the module (the one DefaultPluginPath names) on `document`, playing `play` with its
// dialog suppressed (null plays nothing: the module's preferences decide). `stop` non-zero asks
// the module to stop. On success the document holds the new selection; otherwise it is unchanged.
GimpRunOutcome RunGimpSelection(Document* document, const GimpChoice* play, const std::atomic<int>* stop,
                                const GimpRunShow& show);

// The text a failed run shows: the meaning of the plug-in's result code, or the text reported
// with it (the plug-in's own for -30904, the host's when it did not call the plug-in).
std::string GimpFailureText(int16_t code, const std::string& reported);

}  // namespace varno

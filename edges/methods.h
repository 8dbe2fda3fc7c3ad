// The edge-finding methods and their dispatcher.
//
// Method contract: method(image, run, flag) changes `image` (1 plane grey or 3 interleaved planes
// R, G, B, 8 bits per sample) in place into a picture of the same shape in which flat areas are
// white (255) and edges dark (down to 0). `run` is used only to reach the host through
// ReportProgress and TestAbort; when the low byte of `flag` is non-zero the method reports
// progress and tests for abort once per row of every pass, when it is zero (the preview) it does
// neither. Returns 0 when done (an image with no rows or columns is left as it is), -128 when the
// host asked to stop, -30700 for a layout other than 1 or 3 planes (or a line width other than 3
// to 5), and -108 (or the buffer layer's code) when its scratch image or row blocks could not be
// made, the image then untouched; every scratch image and block is released on every path.
#pragma once

#include <cstdint>

struct ImageBuffer;
struct RunState;
struct PluginHandle;
struct ParameterSet;

enum : int32_t {
    kMethodTraditional = 3,
    kMethodSkinnyLines = 4,
    kMethodSmoother = 5,
    kMethodFineDetail = 6,
    kMethodVariableWidth = 7,
    kDefaultMethod = kMethodSmoother,
    kDefaultRadius = 2,
};

// The data block of a PluginHandle: the method and radius chosen for a run.
struct EdgeChoice {
    int32_t method;
    int32_t radius;
};

int16_t FindEdgesTraditional(ImageBuffer* image, const RunState* run, int32_t flag);
int16_t FindEdgesSkinnyLines(ImageBuffer* image, const RunState* run, int32_t flag);
int16_t FindEdgesSmoother(ImageBuffer* image, const RunState* run, int32_t flag);
int16_t FindEdgesFineDetail(ImageBuffer* image, const RunState* run, int32_t flag);
// lineWidth n = 3, 4 or 5 gives the operator's reach n - 2.
int16_t FindEdgesVariableWidth(ImageBuffer* image, const RunState* run, int32_t lineWidth, int32_t flag);

// Runs `method` on `image` (the preview and the dispatcher share this); a method value outside
// 3..7 runs nothing and returns 0.
int16_t RunEdgeMethod(int32_t method, float radius, ImageBuffer* image, const RunState* run, int32_t flag);

// Validates the choice (defaults method 5 / radius 2), records it in the set and the
// SettingsArea, runs the method with the full-run flag and, on success, turns the picture into
// the inverted one-plane mask image of the run. The method's code, or -108 when the mask could
// not be made.
int16_t DispatchEdgeMethod(ImageBuffer* image, RunState* run, PluginHandle* choice, ParameterSet* set);

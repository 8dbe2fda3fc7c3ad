// The method step of a run: the choice validated and recorded, the method run, its picture made
// into the run's mask.
#pragma once

#include <cstdint>

struct ImageBuffer;
struct ParameterSet;
struct PluginHandle;
struct RunState;

// The data block of a PluginHandle: the method and radius chosen for a run.
struct EdgeChoice {
    int32_t method;
    int32_t radius;
};

// Validates the choice (defaults method 5 / radius 2), records it in the set and the
// SettingsArea, runs the method with the full-run flag, reporting to the host through the run,
// and, on success, turns the picture into the inverted one-plane mask image of the run. The
// method's code, or -108 when the mask could not be made.
int16_t DispatchEdgeMethod(ImageBuffer* image, RunState* run, PluginHandle* choice, ParameterSet* set);

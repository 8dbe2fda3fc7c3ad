// The Execute run: selection and document in, method, new selection out.
#pragma once

#include <cstdint>

#include "plugin/plugin.h"

// Runs one Execute call on the local copy of the persistent block; releases everything it
// allocated before it returns the plug-in result.
int16_t Execute(PersistentBlock* block, SelectionRecord* host);

// The dialog, where the platform has one: 1 for OK, 2 for cancel or a dialog that could not be
// created. Builds without a dialog return 2.
int32_t ShowEdgeDialog(ImageBuffer* image, RunState* run, PluginHandle* choice);

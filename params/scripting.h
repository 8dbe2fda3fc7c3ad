// Exchange of the ParameterSet's input entries with the host's scripting descriptors.
#pragma once

#include <cstdint>

#include "api/host_api.h"

struct ParameterSet;

// Copies in-range played-back values into the set and disposes of the played descriptor.
// Returns true when no dialog is to be shown (the host's playInfo is not 1 and its suites are
// usable).
bool ReadScriptParameters(SelectionRecord* host, ParameterSet* set);
// Puts every input entry into a new descriptor that replaces the host's; returns 0.
int16_t WriteScriptParameters(SelectionRecord* host, const ParameterSet* set);
// Disposes of the host's current descriptor (when the handle suite is usable) and clears it.
void ReleaseScriptDescriptor(SelectionRecord* host);

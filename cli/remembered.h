// The method and radius a played action carries, completed the way the plug-in would fill them.
//
// Contract: the plug-in takes a played method or radius only as a pair (either one missing means
// both fall back to the defaults). A host composing an action with only one of the two fills in
// the other from the remembered choice (ReadRememberedChoice, params/edge_table.h): the value the
// plug-in's preferences file holds from its last run when it is a valid one, else the default.
// The preferences file is only read.
#pragma once

#include "host/descriptor.h"

namespace varno {

// Fills in the missing one when `played` holds exactly one of method and radius.
void CompleteEdgeChoice(Descriptor* played);

}  // namespace varno

// The method and radius a played action carries, completed the way the plug-in would fill them.
//
// Contract: the plug-in takes a played method or radius only as a pair (either one missing means
// both fall back to the defaults). A host composing an action with only one of the two fills in
// the other: the value the plug-in remembered from its last run when its preferences file holds a
// valid one (method 3..7, radius 1..3, each truncated toward zero as the plug-in reads them), else
// the default (Smoother, radius 2). The preferences file is found by the plug-in's own install-path
// rule and only read.
#pragma once

#include <cstdint>

#include "host/descriptor.h"

namespace varno {

// 0 for a value that is missing or one the plug-in would not accept.
void ReadRememberedChoice(int32_t* method, int32_t* radius);
// Fills in the missing one when `played` holds exactly one of method and radius.
void CompleteEdgeChoice(Descriptor* played);

}  // namespace varno

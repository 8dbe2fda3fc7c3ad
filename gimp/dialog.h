// The plug-in's dialog inside GIMP, made of GIMP's own widgets: the five methods as radio buttons,
// the radius as a slider (sensitive with Variable width only) and a zoomable, scrollable preview
// of the chosen method's picture on the drawable, recomputed when the method or the radius
// changes.
//
// Contract: call after gimp_ui_init. Starts from *choice (which must be valid); returns true and
// the accepted choice on OK, false (and *choice untouched) when the user cancels or closes it.
#pragma once

#include <cstdint>

#include "gimp/bridge.h"

namespace varno {

bool ShowGimpDialog(int32_t drawable, GimpChoice* choice);

}  // namespace varno

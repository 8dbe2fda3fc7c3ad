// The edge dialog's identity and a read-only look at its state while it is open.
//
// Contract: the dialog is resource 3241 of the plug-in module; its control ids are below (the
// method values 3..7 are also the ids of the method radio buttons). ShowEdgeDialog (host/execute.h)
// runs it modally; one dialog at a time. ProbeEdgeDialog copies the live state for tests and
// diagnostics and changes nothing; it is available in the Windows builds only.
#pragma once

#include <cstdint>

#include "buffers/region.h"

enum : int32_t {
    kEdgeDialogResource = 3241,
    kItemOk = 1,
    kItemCancel = 2,
    kItemWidthSlider = 8,
    kItemWidthEdit = 9,
    kItemPreviewCheck = 12,
    kItemPanHorizontal = 13,
    kItemPreviewFrame = 14,
    kItemPanVertical = 15,
    kItemZoomOut = 16,
    kItemZoomIn = 17,
    kItemZoomLabel = 18,
};

struct EdgeDialogProbe {
    intptr_t window;           // the dialog's window handle
    int32_t method;
    int32_t radius;
    int32_t zoom;
    int32_t horizontalRange;
    int32_t verticalRange;
    Rect16 frame;              // the preview frame in client pixels
    Rect16 view;               // the part of the document shown, in document pixels
    uint8_t previewOn;
    uint8_t previewValid;
    float widthValue;          // the width slider's value
    int32_t previewRuns;       // methods run by the preview since the dialog opened
    int32_t dpi;               // the DPI the dialog is laid out for
};

// False (and *probe untouched) when no dialog is open.
bool ProbeEdgeDialog(EdgeDialogProbe* probe);

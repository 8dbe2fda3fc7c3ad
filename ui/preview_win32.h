// Image items: an image buffer shown inside the rectangle of a dialog control. A control is bound
// once to a 3-plane buffer and a zoom variable; every paint turns the buffer's rows into a 32-bit
// pixel block of the control's size (blue, green, red, 0 per pixel, the image centred on black)
// and draws it at 1:1 or, at zoom z >= 2, as the centre 1/z of the block stretched over the frame.
//
// Contract: one table of bound items for the module (one dialog at a time), indexed by control
// id, from the first bind until ReleaseImageItems, which frees every pixel block and the table.
// The bound buffer and zoom variable are not owned and must outlive the binding. The buffer is
// drawn as it is at each paint; an image larger than the frame is cut to the frame.
#pragma once

#include <windows.h>

#include <cstdint>

#include "buffers/region.h"

struct ImageBuffer;

struct ImageItem {
    int32_t bound;            // 1 once bound; in entry 0 the highest id the table can take
    uint8_t* pixelBlock;      // owned; released by ReleaseImageItems
    uint8_t* drawingBlock;    // the same block; none marks an entry that was never bound
    int32_t stride;           // bytes per pixel-block row
    const ImageBuffer* buffer;
    const int32_t* zoom;
    Rect16 frame;
    int32_t frameHeight;
    int32_t frameWidth;
    HWND window;
};

// The text of the warning shown when an unbound control is drawn.
extern const char kUnboundItemMessage[];

// Binds control `id` of `dialog` to `buffer` and the zoom variable; returns the item's zero-filled
// (black) pixel block of (frame height + 1) rows, or none when the table or block could not be
// allocated (the item then draws nothing). Binding an id again replaces its block.
uint8_t* BindFrefToDITLitem(HWND dialog, int32_t id, const ImageBuffer* buffer, const int32_t* zoom);

// Redraws the bound buffer of control `id` into `context` (a paint context of `dialog`). An id that
// was never bound shows the warning kUnboundItemMessage in a message box and draws nothing.
void DrawImageItem(HWND dialog, int32_t id, HDC context);

// Draws a pixel block of the frame's size into the frame: 1:1 at zoom 1, the centre crop stretched
// over the frame at zoom 2 and above. Nothing is drawn without a block or a frame.
void BlitPixelBlock(HDC context, const Rect16* frame, const uint8_t* block, int32_t zoom);

// Frees every bound item's pixel block and the table.
void ReleaseImageItems(void);

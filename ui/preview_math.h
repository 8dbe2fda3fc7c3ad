// The preview's arithmetic, free of any window system: the zoom ladder and its label, the view
// onto the document and its pan ranges and steps, the crop that magnifies the centre of the pixel
// block, and the filling of that block from a 3-plane image buffer.
//
// Contract: sizes and positions are in pixels. A view or frame rectangle is a Rect16 (bottom and
// right exclusive). Every real-to-integer conversion truncates towards zero and saturates at the
// int32 limits (none of the callers' values come near them). The pixel block is a top-down array
// of 4-byte pixels blue, green, red, 0, `stride` bytes per row and (frame height + 1) rows, owned by
// the caller; FillPixelBlock writes only inside it, whatever the image's size.
#pragma once

#include <cstdint>

#include "buffers/region.h"

struct ImageBuffer;

// ---- zoom ----------------------------------------------------------------------------------------

// The magnifications the preview offers, in order.
constexpr int32_t kZoomSteps[] = {1, 2, 3, 4, 6, 8};

// The next step up (8 stays 8) and down (1 stays 1). A value between steps moves to the nearest
// step in that direction.
int32_t ZoomIn(int32_t zoom);
int32_t ZoomOut(int32_t zoom);
// "100%", "200%", ... "800%": the zoom label's text. `text` holds at least 16 bytes.
void FormatZoomLabel(int32_t zoom, char* text);

// ---- view and panning ----------------------------------------------------------------------------

// The view at the document's top-left corner: the frame's size, or the whole image where the image
// is smaller than the frame.
Rect16 InitialView(int32_t imageWidth, int32_t imageHeight, int32_t frameWidth, int32_t frameHeight);

// The view after the frame changed size (the dialog was laid out for another DPI): the frame's new
// size, or the whole image where the image is smaller, keeping the view's top-left corner where
// it can and moving it back just far enough to stay inside the image.
Rect16 ResizedView(Rect16 view, int32_t imageWidth, int32_t imageHeight, int32_t frameWidth, int32_t frameHeight);

// A length in pixels measured at `fromDpi`, at `toDpi`: rounded to the nearest pixel, halves away
// from zero (the window system's MulDiv). `fromDpi` of 0 or less leaves it as it is.
int32_t ScaleForDpi(int32_t pixels, int32_t toDpi, int32_t fromDpi);

// imageSize - frameSize + 1, or 0 when that is not positive (no panning in that direction).
int32_t PanRange(int32_t imageSize, int32_t frameSize);

// A page step of the pan scroll bars: trunc(frameSize / (2 x zoom)), computed in floating point.
int32_t PanPageStep(int32_t frameSize, int32_t zoom);

// The scroll bar codes of the pan and slider scroll bars.
enum : int32_t {
    kScrollLineUp = 0,
    kScrollLineDown = 1,
    kScrollPageUp = 2,
    kScrollPageDown = 3,
    kScrollThumbPosition = 4,
    kScrollThumbTrack = 5,
    kScrollTop = 6,
    kScrollBottom = 7,
};

// The pan position a scroll code asks for, before clamping: line steps of 1, page steps of
// PanPageStep, the thumb's position, 0 or the range. False for a code above 7 (not handled).
bool PanScrollTarget(int32_t code, int32_t position, int32_t thumb, int32_t frameSize, int32_t zoom,
                     int32_t range, int32_t* target);

// Clamps a pan position to the usable positions 0..range - 1 (0 when the range is 0 or less).
int32_t ClampPanPosition(int32_t position, int32_t range);

// ---- drawing ------------------------------------------------------------------------------------

// Bytes per pixel-block row: the frame width rounded up to a multiple of 8 pixels, 4 bytes each.
int32_t PixelBlockStride(int32_t frameWidth);

// How BlitPixelBlock places the pixel block into a frame of frameWidth x frameHeight pixels.
// The bitmap is the whole block: stride / 4 pixels wide, frameHeight high. At zoom 1 the source is
// the frame-sized top-left part of the bitmap drawn 1:1; at zoom z >= 2 the source is the centre
// 1/z of the bitmap (half size / z, doubled) stretched over even width x frameHeight, where the
// even width is frameWidth + 1 rounded down to an even number.
struct BlitGeometry {
    int32_t bitmapWidth, bitmapHeight;
    int32_t sourceLeft, sourceTop, sourceWidth, sourceHeight;
    int32_t destinationWidth, destinationHeight;
};
BlitGeometry ComputeBlitGeometry(int32_t frameWidth, int32_t frameHeight, int32_t zoom);

// Where an image of imageWidth x imageHeight sits when centred in the frame:
// (frame - image) / 2 in each direction, truncated towards zero.
void CentreOffsets(int32_t frameWidth, int32_t frameHeight, int32_t imageWidth, int32_t imageHeight,
                   int32_t* rowOffset, int32_t* columnOffset);

// Rewrites the image area of the pixel block from the 3-plane buffer `image` (R, G, B per pixel),
// centred in the frame; pixels outside the image are left as they are (black in a fresh block).
// Where the image is smaller than the frame in either direction the first W pixels of every
// block row are first set to black. An image larger than the frame is cut to the frame's size
// (its top-left part). Returns 0, or -108 when the row block could not be allocated (nothing
// drawn).
int16_t FillPixelBlock(uint8_t* block, int32_t stride, int32_t frameWidth, int32_t frameHeight,
                       const ImageBuffer* image);

// The edge-finding methods, and the one call that runs a method by its number.
//
// Method contract: method(image, progress, flag) changes `image` (1 plane grey or 3 interleaved
// planes R, G, B, 8 bits per sample) in place into a picture of the same shape in which flat areas
// are white (255) and edges dark (down to 0). When the low byte of `flag` is non-zero the method
// reports its steps to `progress` and asks it whether to stop once per row of every pass (a null
// pair reports nothing and never stops); when it is zero (the preview) it does neither. Returns 0
// when done (an image with no rows or columns is left as it is, at once and with no host call),
// -128 when asked to stop, -30700 for a layout other than 1 or 3 planes (or a radius other than 1
// to 3), and -108 (or the buffer layer's code) when its scratch image or row blocks could not be
// made, the image then untouched; every scratch image and block is released on every path. Traditional,
// Skinny lines, Smoother and Fine detail share one skeleton (bands.h), which keeps them to it.
#pragma once

#include <cstdint>

struct ImageBuffer;
struct ProgressPair;

// The methods' numbers; their names, the radius range and the defaults are in params/edge_table.h.
enum : int32_t {
    kMethodTraditional = 3,
    kMethodSkinnyLines = 4,
    kMethodSmoother = 5,
    kMethodFineDetail = 6,
    kMethodVariableWidth = 7,
};

int16_t FindEdgesTraditional(ImageBuffer* image, const ProgressPair* progress, int32_t flag);
int16_t FindEdgesSkinnyLines(ImageBuffer* image, const ProgressPair* progress, int32_t flag);
int16_t FindEdgesSmoother(ImageBuffer* image, const ProgressPair* progress, int32_t flag);
int16_t FindEdgesFineDetail(ImageBuffer* image, const ProgressPair* progress, int32_t flag);
// radius 1, 2 or 3: the lines' width and the operator's reach follow from it.
int16_t FindEdgesVariableWidth(ImageBuffer* image, const ProgressPair* progress, int32_t radius, int32_t flag);

// Runs `method` on `image` (the preview, the dispatch and the tools share this); a method value
// outside 3..7 runs nothing and returns 0. The radius (1 .. 3) reaches Variable width alone.
int16_t RunEdgeMethod(int32_t method, int32_t radius, ImageBuffer* image, const ProgressPair* progress, int32_t flag);


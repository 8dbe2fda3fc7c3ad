// Selection output: the method's picture becomes the inverted one-plane mask (dark edges become
// selected), and at the end of a successful run the mask goes to the host's new-selection channel.
#pragma once

#include <cstdint>

#include "api/host_api.h"

struct ImageBuffer;
struct RowBuffers;

// Grey copies byte for byte, colour gives (R + G + B + 1) div 3; then every byte v becomes 255 - v.
// Row by row in place, allocating nothing: 0.
int16_t ConvertIntoMask(const ImageBuffer* image, ImageBuffer* mask, int32_t width, int32_t height);

// Row by row through writeBasePixelsProc, the host reading each row straight from the mask, with
// progress. 0, or the code of the first write the host refuses (the rows after it are not offered).
int16_t WriteSelectionBack(const SelectionRecord* host, const ImageBuffer* mask, RowBuffers* rows,
                           int32_t width, int32_t height);

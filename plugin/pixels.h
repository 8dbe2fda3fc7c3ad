// Pixel acquisition: the host's current selection into the mask image and the document into the
// working image, one row at a time through the host's readPixelsProc, always asking for 8-bit
// samples. CMYK and Lab pixels become RGB by this plug-in's own formulas.
//
// The four row buffers each hold 6 x width bytes, described to the host as 8-bit samples packed
// one per byte. Rows the host does not deliver are filled as documented per read (a row the host
// leaves unfilled keeps what the buffer held). A request the host answers with an error ends the
// read at once with the host's code: the run must not go on from a picture it did not get.
#pragma once

#include <cstdint>

#include "api/host_api.h"

struct ImageBuffer;

struct RowBuffers {
    uint8_t* row[4];
    PixelMemoryDesc desc[4];
};

// Planes of the working image for an image mode: 1 grey, 3 RGB/CMYK/Lab (8 and 16 bits), 0 when
// the mode is not read.
int16_t PlanesForImageMode(int32_t imageMode);

// Whether `list` holds every channel that `imageMode` reads.
bool HasChannelsForMode(const ReadChannelDesc* list, int32_t imageMode);

// Without a selection channel every mask row is 255 (all selected), set in bands on the workers
// after the rows' progress is reported. 0, or the host's code.
int16_t ReadSelection(const SelectionRecord* host, const ReadChannelDesc* selection, RowBuffers* rows,
                   ImageBuffer* mask, int32_t width, int32_t height);

// Reads the document's channels from `list` into the working image (1 or 3 planes). 0, or the
// host's code.
int16_t ReadDocument(const SelectionRecord* host, const ReadChannelDesc* list, int32_t imageMode,
                  RowBuffers* rows, ImageBuffer* image, int32_t width, int32_t height);


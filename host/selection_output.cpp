// The mask conversion and the write-back to the host's new selection.
#include "host/selection_output.h"

#include "buffers/image_buffer.h"
#include "buffers/region.h"
#include "host/pixels.h"
#include "host/plugin.h"

int16_t ConvertIntoMask(const ImageBuffer* image, ImageBuffer* mask, int32_t width, int32_t height) {
    Rect16 whole = {0, 0, int16_t(height), int16_t(width)};
    int16_t result = CopyBufferRegion(image, mask, whole, 0, 0);
    if (result != kNoErr) return result;
    return InvertBufferRegion(mask, whole);
}

int16_t WriteSelectionBack(const SelectionRecord* host, const ImageBuffer* mask, RowBuffers* rows,
                           int32_t width, int32_t height) {
    for (int32_t r = 0; r < height; ++r) {
        if (host->progressProc) host->progressProc(6 * height + 4 * (5 * height + r), 36 * height);
        ReadBufferRow(mask, 0, r, width, rows->row[0]);
        VRect area = {r, 0, r + 1, width};
        OSErr error = host->channelPortProcs->writeBasePixelsProc(host->newSelection->port, &area, &rows->desc[0]);
        if (error != kNoErr) return error;
    }
    return kNoErr;
}

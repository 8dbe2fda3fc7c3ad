// The mask conversion and the write-back to the host's new selection.
#include "plugin/selection_output.h"

#include "base/workers.h"
#include "buffers/image_buffer.h"
#include "edges/kernels/gradient.h"
#include "plugin/pixels.h"
#include "plugin/plugin.h"

namespace {

struct MaskJob {
    const ImageBuffer* image;
    ImageBuffer* mask;
    const GradientKernels* kernels;
    int32_t width;
    int32_t height;
    int32_t planes;
    int32_t bands;
};

// Row by row in place: the colour row's grey levels go straight into the mask row, which is then
// inverted while it is still in the cache; the bytes are those of the region copy followed by the
// region inversion.
void MaskBand(void* arg, int32_t band, BandControl* control) {
    const MaskJob& job = *static_cast<const MaskJob*>(arg);
    const int32_t width = job.width;
    for (int32_t r = BandStart(band, job.bands, job.height), end = BandStart(band + 1, job.bands, job.height); r < end;
         ++r) {
        if (!NextBandRow(control)) return;
        const uint8_t* pixels = BufferRow(job.image, r);
        uint8_t* out = BufferRow(job.mask, r);
        if (!pixels || !out) continue;
        if (job.planes == 3) {
            job.kernels->brightnessRow(pixels, width, out);
            for (int32_t x = 0; x < width; ++x) out[x] = uint8_t(255 - out[x]);
        } else {
            for (int32_t x = 0; x < width; ++x) out[x] = uint8_t(255 - pixels[x]);
        }
    }
}

}  // namespace

// In bands of rows, each row on its own.
int16_t ConvertIntoMask(const ImageBuffer* image, ImageBuffer* mask, int32_t width, int32_t height) {
    BufferShape shape = {0, 0, 0};
    GetBufferShape(image, &shape);
    MaskJob job = {image, mask, ChooseGradientKernels(), width, height, shape.planes, 0};
    WorkerPool pool;
    uint8_t* blocks[kMaxThreads] = {};
    job.bands = SpreadBands(StartBandWorkers(&pool, height, 0, blocks), height);
    const int16_t result = RunBands(&pool, {MaskBand, &job, job.bands}, nullptr, false, 0, height);
    StopBandWorkers(&pool, blocks);
    return result;
}

// The host reads each row straight from the mask.
int16_t WriteSelectionBack(const SelectionRecord* host, const ImageBuffer* mask, RowBuffers* rows,
                           int32_t width, int32_t height) {
    for (int32_t r = 0; r < height; ++r) {
        if (host->progressProc) host->progressProc(6 * height + 4 * (5 * height + r), 36 * height);
        PixelMemoryDesc desc = rows->desc[0];
        desc.data = BufferRow(mask, r);
        if (!desc.data) continue;
        VRect area = {r, 0, r + 1, width};
        OSErr error = host->channelPortProcs->writeBasePixelsProc(host->newSelection->port, &area, &desc);
        if (error != kNoErr) return error;
    }
    return kNoErr;
}

// Pixel acquisition and the CMYK and Lab conversions.
#include "plugin/pixels.h"

#include <cstring>

#include "buffers/colour.h"
#include "base/workers.h"
#include "buffers/image_buffer.h"
#include "plugin/plugin.h"

namespace {

void Progress(const SelectionRecord* host, int32_t k, int32_t n) {
    if (host->progressProc) host->progressProc(n + 4 * k, 6 * n);
}

// Requests row r of a channel into the memory `desc` describes; *wrote receives the rectangle the
// host reports. The host's result.
OSErr RequestRowInto(const SelectionRecord* host, const ReadChannelDesc* channel, PixelMemoryDesc* desc, int32_t r,
                     int32_t width, VRect* wrote) {
    VRect area = {r, 0, r + 1, width};
    PSScaling scaling = {area, area};
    *wrote = {-1, -1, -1, -1};
    if (!channel || !channel->port) return kNoErr;
    return host->channelPortProcs->readPixelsProc(channel->port, &scaling, &area, desc, wrote);
}

// Row buffer `index`'s description with its data moved to `row`: the host then delivers straight
// into an image buffer's row, which holds the same width x 8-bit samples.
PixelMemoryDesc DescriptionOfRow(const RowBuffers* rows, int32_t index, uint8_t* row) {
    PixelMemoryDesc desc = rows->desc[index];
    desc.data = row;
    return desc;
}

// The columns [*left, *right) of row r that the host reports delivered: none when the wrote
// rectangle is not this row. The host's edges are clamped to the row, whatever it reported.
void DeliveredSpan(const VRect& wrote, int32_t r, int32_t width, int32_t* left, int32_t* right) {
    *left = *right = width;
    if (wrote.top != r) return;
    *left = wrote.left < 0 ? 0 : (wrote.left > width ? width : wrote.left);
    *right = wrote.right < 0 ? 0 : (wrote.right > width ? width : wrote.right);
}

// Fills the columns of row r that the host did not deliver.
void FillUndelivered(uint8_t* row, const VRect& wrote, int32_t r, int32_t width, uint8_t fill) {
    int32_t left, right;
    DeliveredSpan(wrote, r, width, &left, &right);
    for (int32_t x = 0; x < left; ++x) row[x] = fill;
    for (int32_t x = right; x < width; ++x) row[x] = fill;
}

// Columns [from, to) of one plane, `step` bytes a pixel, as they were in `before`, or 0.
void KeepUndelivered(uint8_t* out, const uint8_t* before, int32_t step, int32_t from, int32_t to) {
    for (int32_t x = from; x < to; ++x) out[step * x] = before ? before[step * x] : 0;
}

// How the planes of a colour row are asked for: straight into place, `step` bytes a pixel, plane i
// at byte i of each pixel, so that the host lays the samples out as they are used and no pass of
// the plug-in's own has to interleave them. A host that refuses that layout (a row, column or
// offset it does not serve) is asked from then on for one plane at a time into a row buffer, whose
// delivered samples are then put in place.
struct PlaneRequest {
    const SelectionRecord* host;
    const ReadChannelDesc* const* planes;
    int32_t count;
    int32_t step;
    uint8_t* buffer;  // a row buffer of at least width bytes, for plane-by-plane requests
    bool planar;
};

bool LayoutRefused(OSErr error) { return error <= -30911 && error >= -30913; }

// The planes of row r into `out`. A column the host leaves out of a plane keeps what that plane
// held there in the row before (`before`, laid out alike; none for the first row: 0), as a plane
// read into a row buffer of its own keeps what the buffer held.
OSErr RequestPlanesInto(PlaneRequest* request, uint8_t* out, const uint8_t* before, int32_t r, int32_t width) {
    const int32_t step = request->step;
    for (int32_t i = 0; i < request->count; ++i) {
        VRect wrote;
        if (!request->planar) {
            PixelMemoryDesc desc = {out, 8 * step * width, 8 * step, 8 * i, 8};
            const OSErr error = RequestRowInto(request->host, request->planes[i], &desc, r, width, &wrote);
            if (LayoutRefused(error)) request->planar = true;
            else if (error != kNoErr) return error;
        }
        int32_t left, right;
        if (request->planar) {
            PixelMemoryDesc desc = {request->buffer, 8 * width, 8, 0, 8};
            if (OSErr error = RequestRowInto(request->host, request->planes[i], &desc, r, width, &wrote)) return error;
            DeliveredSpan(wrote, r, width, &left, &right);
            for (int32_t x = left; x < right; ++x) out[step * x + i] = request->buffer[x];
        } else {
            DeliveredSpan(wrote, r, width, &left, &right);
        }
        KeepUndelivered(out + i, before ? before + i : nullptr, step, 0, left);
        KeepUndelivered(out + i, before ? before + i : nullptr, step, right, width);
    }
    return kNoErr;
}

struct ModeChannels {
    int32_t count;
    int16_t type[4];
};

ModeChannels ChannelsForMode(int32_t imageMode) {
    switch (imageMode) {
        case kModeGrayScale:
        case kModeGray16:
            return {1, {kChannelBlack}};
        case kModeRGB:
        case kModeRGB48:
            return {3, {kChannelRed, kChannelGreen, kChannelBlue}};
        case kModeCMYK:
        case kModeCMYK64:
            return {4, {kChannelCyan, kChannelMagenta, kChannelYellow, kChannelBlack}};
        case kModeLab:
        case kModeLab48:
            return {3, {kChannelL, kChannelA, kChannelB}};
        default:
            return {0, {}};
    }
}

struct FillJob {
    ImageBuffer* image;
    int32_t rowBytes;
    int32_t height;
    int32_t bands;
    uint8_t fill;  // the value of every byte
};

// Every byte of the band's rows set to the fill value.
void FillBand(void* arg, int32_t band, BandControl* control) {
    const FillJob& job = *static_cast<const FillJob*>(arg);
    for (int32_t r = BandStart(band, job.bands, job.height), end = BandStart(band + 1, job.bands, job.height); r < end;
         ++r) {
        if (!NextBandRow(control)) return;
        if (uint8_t* row = BufferRow(job.image, r)) std::memset(row, job.fill, size_t(job.rowBytes));
    }
}

// FillBand over the whole image, in bands on the workers (on the calling thread without them).
void FillImage(ImageBuffer* image, uint8_t fill) {
    BufferShape shape = {0, 0, 0};
    GetBufferShape(image, &shape);
    if (shape.width < 1 || shape.height < 1) return;
    FillJob job = {image, shape.width * shape.planes, shape.height, 0, fill};
    WorkerPool pool;
    uint8_t* blocks[kMaxThreads] = {};
    job.bands = SpreadBands(StartBandWorkers(&pool, shape.height, 0, blocks), shape.height);
    RunBands(&pool, {FillBand, &job, job.bands}, nullptr, false, 0, shape.height);
    StopBandWorkers(&pool, blocks);
}

// CMYK and Lab: the rows of a chunk arrive with their planes side by side (4 bytes a pixel) in a
// staging block, in the order and with the calls a row-by-row read makes; the chunk's rows are
// then converted to RGB in bands on the workers while the host's thread waits for them.
constexpr int32_t kChunkRows = 64;

struct ConvertJob {
    const uint8_t* staged;  // the chunk's rows, 4 * width bytes each
    ImageBuffer* image;
    int32_t firstRow;
    int32_t rows;
    int32_t width;
    int32_t bands;
    bool cmyk;
};

void ConvertBand(void* arg, int32_t band, BandControl* control) {
    const ConvertJob& job = *static_cast<const ConvertJob*>(arg);
    for (int32_t r = BandStart(band, job.bands, job.rows), end = BandStart(band + 1, job.bands, job.rows); r < end; ++r) {
        if (!NextBandRow(control)) return;
        const uint8_t* in = job.staged + size_t(r) * size_t(4 * job.width);
        uint8_t* out = BufferRow(job.image, job.firstRow + r);
        if (!out) continue;
        if (job.cmyk) {
            for (int32_t x = 0; x < job.width; ++x, in += 4) ConvertCmykPixel(in[0], in[1], in[2], in[3], out + 3 * x);
        } else {
            for (int32_t x = 0; x < job.width; ++x, in += 4) ConvertLabPixel(in[0], in[1], in[2], out + 3 * x);
        }
    }
}

int16_t ReadAndConvert(PlaneRequest* request, ImageBuffer* image, int32_t width, int32_t height) {
    const SelectionRecord* host = request->host;
    const size_t rowBytes = size_t(4 * width);
    // One row more than a chunk: the last row of a chunk stays as the "row before" of the next.
    uint8_t* staging = static_cast<uint8_t*>(AllocateMemoryBlock(uint32_t(rowBytes * (kChunkRows + 1))));
    if (!staging) return kErrOutOfMemory;
    ConvertJob job = {staging + rowBytes, image, 0, 0, width, 0, request->count == 4};
    WorkerPool pool;
    uint8_t* blocks[kMaxThreads] = {};
    job.bands = SpreadBands(StartBandWorkers(&pool, kChunkRows, 0, blocks), kChunkRows);
    int16_t result = kNoErr;
    const uint8_t* before = nullptr;
    for (int32_t first = 0; first < height && result == kNoErr; first += kChunkRows) {
        job.firstRow = first;
        job.rows = height - first < kChunkRows ? height - first : kChunkRows;
        for (int32_t k = 0; k < job.rows && result == kNoErr; ++k) {
            const int32_t r = first + k;
            Progress(host, height + r, 12 * height);
            uint8_t* staged = staging + rowBytes * size_t(1 + k);
            if (!BufferRow(image, r)) {
                if (before) std::memcpy(staged, before, rowBytes);
            } else {
                result = RequestPlanesInto(request, staged, before, r, width);
            }
            before = staged;
        }
        if (result == kNoErr) result = RunBands(&pool, {ConvertBand, &job, job.bands}, nullptr, false, 0, job.rows);
        std::memcpy(staging, before, rowBytes);
        before = staging;
    }
    StopBandWorkers(&pool, blocks);
    FreeMemoryBlock(staging);
    return result;
}

}  // namespace

int16_t PlanesForImageMode(int32_t imageMode) {
    int32_t count = ChannelsForMode(imageMode).count;
    return count == 0 ? 0 : (count == 1 ? 1 : 3);
}

bool HasChannelsForMode(const ReadChannelDesc* list, int32_t imageMode) {
    ModeChannels channels = ChannelsForMode(imageMode);
    for (int32_t i = 0; i < channels.count; ++i) {
        const ReadChannelDesc* channel = FindChannel(list, channels.type[i]);
        if (!channel || !channel->port) return false;
    }
    return channels.count > 0;
}

// The selection arrives straight in the mask's rows: the host writes each row where it stays.
int16_t ReadSelection(const SelectionRecord* host, const ReadChannelDesc* selection, RowBuffers* rows,
                      ImageBuffer* mask, int32_t width, int32_t height) {
    if (!selection || !selection->port) {
        // Nothing to ask the host but its progress, row by row as ever; the rows are set in bands.
        for (int32_t r = 0; r < height; ++r) Progress(host, r, 12 * height);
        FillImage(mask, 255);
        return kNoErr;
    }
    for (int32_t r = 0; r < height; ++r) {
        Progress(host, r, 12 * height);
        uint8_t* row = BufferRow(mask, r);
        if (!row) continue;
        PixelMemoryDesc desc = DescriptionOfRow(rows, 0, row);
        VRect wrote;
        if (OSErr error = RequestRowInto(host, selection, &desc, r, width, &wrote)) return error;
        FillUndelivered(row, wrote, r, width, 0);
    }
    return kNoErr;
}

// Each row is converted into place in one pass: a grey row arrives straight in the image's row,
// colour rows arrive as planes in the row buffers and are interleaved or converted into it.
int16_t ReadDocument(const SelectionRecord* host, const ReadChannelDesc* list, int32_t imageMode,
                     RowBuffers* rows, ImageBuffer* image, int32_t width, int32_t height) {
    const ModeChannels channels = ChannelsForMode(imageMode);
    const ReadChannelDesc* source[4] = {};
    for (int32_t i = 0; i < channels.count; ++i) source[i] = FindChannel(list, channels.type[i]);
    PlaneRequest request = {host, source, channels.count, channels.count == 3 ? 3 : 1, rows->row[0], false};
    if (channels.type[0] == kChannelCyan || channels.type[0] == kChannelL) {
        request.step = 4;
        return ReadAndConvert(&request, image, width, height);
    }

    for (int32_t r = 0; r < height; ++r) {
        Progress(host, height + r, 12 * height);
        uint8_t* out = BufferRow(image, r);
        if (!out) continue;
        if (channels.count == 3) {
            const uint8_t* above = r > 0 ? BufferRow(image, r - 1) : nullptr;
            if (OSErr error = RequestPlanesInto(&request, out, above, r, width)) return error;
            continue;
        }
        PixelMemoryDesc desc = DescriptionOfRow(rows, 0, out);
        VRect wrote;
        if (OSErr error = RequestRowInto(host, source[0], &desc, r, width, &wrote)) return error;
        FillUndelivered(out, wrote, r, width, 255);
    }
    return kNoErr;
}

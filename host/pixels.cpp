// Pixel acquisition and the CMYK and Lab conversions.
#include "host/pixels.h"

#include <array>

#include "buffers/image_buffer.h"
#include "host/plugin.h"

namespace {

// The lightness curve for the 256 possible L values, computed by the compiler (correctly rounded
// exp2 and log2), so that no build depends on the last bits of its C runtime's functions.
constexpr std::array<double, 256> MakeLabLightness() {
    std::array<double, 256> table{};
    for (int l = 0; l < 256; ++l) {
        double power = __builtin_exp2(1.28 * __builtin_log2(l + 0.05));
        table[l] = (power - 0.216113355) * 0.21190331370015586;
    }
    return table;
}
constexpr std::array<double, 256> kLabLightness = MakeLabLightness();

// One third rounded to single precision, used as that value in double arithmetic.
constexpr double kThird = double(0.33333334f);

uint8_t ToByte(double v) {
    if (!(v > 0.0)) return 0;
    if (v > 255.0) return 255;
    return uint8_t(v);
}

void Progress(const SelectionRecord* host, int32_t k, int32_t n) {
    if (host->progressProc) host->progressProc(n + 4 * k, 6 * n);
}

// Requests row r of a channel into row buffer `index` and returns the wrote rectangle.
VRect RequestRow(const SelectionRecord* host, const ReadChannelDesc* channel, RowBuffers* rows,
                 int32_t index, int32_t r, int32_t width) {
    VRect area = {r, 0, r + 1, width};
    PSScaling scaling = {area, area};
    VRect wrote = {-1, -1, -1, -1};
    if (channel && channel->port) {
        host->channelPortProcs->readPixelsProc(channel->port, &scaling, &area, &rows->desc[index], &wrote);
    }
    return wrote;
}

// Fills the columns of row r that the host did not deliver: all of them when the wrote rectangle
// is not this row. The host's edges are clamped to the row, whatever it reported.
void FillUndelivered(uint8_t* row, const VRect& wrote, int32_t r, int32_t width, uint8_t fill) {
    int32_t left = width, right = width;
    if (wrote.top == r) {
        left = wrote.left < 0 ? 0 : (wrote.left > width ? width : wrote.left);
        right = wrote.right < 0 ? 0 : (wrote.right > width ? width : wrote.right);
    }
    for (int32_t x = 0; x < left; ++x) row[x] = fill;
    for (int32_t x = right; x < width; ++x) row[x] = fill;
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

void ConvertCmykPixel(uint8_t c, uint8_t m, uint8_t y, uint8_t k, uint8_t rgb[3]) {
    const float e = float(0.0001 + (255 - k) / 255.0);
    const float f = float(1.0 - e);
    auto density = [&](uint8_t v) {
        double g = e + f * (255 - v) / 255.0;
        if (g > 1.0) g = 1.0;
        return float(255.0 * g);
    };
    const float dc = density(c), dm = density(m), dy = density(y);
    const double r1 = 1.15 * (255.0 - dc);
    const float g1 = float(255.0 - dm);
    const double b1 = 0.85 * (255.0 - dy);
    const double avg = (b1 + g1 + float(r1)) * kThird;
    rgb[0] = ToByte(0.8 * r1 + 0.2 * avg);
    rgb[1] = ToByte(0.6 * g1 + 0.4 * float(avg));
    rgb[2] = ToByte(0.8 * float(b1) + 0.2 * float(avg));
}

void ConvertLabPixel(uint8_t l, uint8_t a, uint8_t b, uint8_t rgb[3]) {
    const double y = kLabLightness[l];
    const float ya = float(3 * (a - 128));
    const double yb = 1.2 * (b - 128);
    const float red = float(float(y) + 0.5 * (ya + 1.0) + yb / 3.0);
    const float green = float(y - 0.5 * ya + yb / 3.0 + 0.5);
    const float blue = float(float(y) - (2.0 / 3.0) * yb + 0.5);
    rgb[0] = ToByte(red);
    rgb[1] = ToByte(green);
    rgb[2] = ToByte(blue);
}

void ReadSelection(const SelectionRecord* host, const ReadChannelDesc* selection, RowBuffers* rows,
                   ImageBuffer* mask, int32_t width, int32_t height) {
    uint8_t* row = rows->row[0];
    for (int32_t x = 0; x < width; ++x) row[x] = 255;
    for (int32_t r = 0; r < height; ++r) {
        Progress(host, r, 12 * height);
        if (selection && selection->port) {
            VRect wrote = RequestRow(host, selection, rows, 0, r, width);
            FillUndelivered(row, wrote, r, width, 0);
        }
        WriteBufferRow(mask, 0, r, width, row);
    }
}

void ReadDocument(const SelectionRecord* host, const ReadChannelDesc* list, int32_t imageMode,
                  RowBuffers* rows, ImageBuffer* image, int32_t width, int32_t height) {
    const ModeChannels channels = ChannelsForMode(imageMode);
    const ReadChannelDesc* source[4] = {};
    for (int32_t i = 0; i < channels.count; ++i) source[i] = FindChannel(list, channels.type[i]);
    uint8_t* const* b = rows->row;
    uint8_t* out = rows->row[3];

    for (int32_t r = 0; r < height; ++r) {
        Progress(host, height + r, 12 * height);
        VRect wrote = {};
        for (int32_t i = 0; i < channels.count; ++i) wrote = RequestRow(host, source[i], rows, i, r, width);
        switch (channels.count) {
            case 1:
                FillUndelivered(b[0], wrote, r, width, 255);
                WriteBufferRow(image, 0, r, width, b[0]);
                continue;
            case 4:
                // Right to left: the RGB bytes of column x never overwrite a black value still
                // to be read from the same buffer.
                for (int32_t x = width - 1; x >= 0; --x) ConvertCmykPixel(b[0][x], b[1][x], b[2][x], b[3][x], out + 3 * x);
                break;
            default:
                if (channels.type[0] == kChannelL) {
                    for (int32_t x = 0; x < width; ++x) ConvertLabPixel(b[0][x], b[1][x], b[2][x], out + 3 * x);
                } else {
                    for (int32_t x = 0; x < width; ++x) {
                        out[3 * x] = b[0][x];
                        out[3 * x + 1] = b[1][x];
                        out[3 * x + 2] = b[2][x];
                    }
                }
                break;
        }
        WriteBufferRow(image, 0, r, 3 * width, out);
    }
}

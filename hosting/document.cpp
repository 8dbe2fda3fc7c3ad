// Documents of the host library: shape checks and the API's channel types per mode.
#include "hosting/document.h"

#include <cstdio>

#include "host/host_api.h"

namespace varno {

namespace {
constexpr int16_t kChannelUnspecified = 0;
constexpr int16_t kChannelDuotone = 11;
constexpr int16_t kChannelIndex = 12;
constexpr int16_t kChannelBitmap = 13;
constexpr int64_t kMaxSamples = int64_t(1) << 30;

bool IsMultichannel(int32_t mode) { return mode == 7 || mode == 14; }

// Messages are formatted in a buffer: GCC 12 warns falsely about chains of string concatenation.
std::string Format(const char* format, int32_t a, int32_t b = 0) {
    char text[128];
    std::snprintf(text, sizeof text, format, int(a), int(b));
    return text;
}
}  // namespace

int32_t ChannelCountForMode(int32_t mode) {
    switch (mode) {
        case 0: case 1: case 2: case 8: case 10: case 15:
            return 1;
        case 3: case 5: case 6: case 9: case 11: case 12:
            return 3;
        case 4: case 13:
            return 4;
        default:
            return 0;
    }
}

int32_t DepthForMode(int32_t mode) { return mode >= 10 && mode <= 15 ? 16 : 8; }

int16_t ChannelTypeForMode(int32_t mode, int32_t index) {
    switch (mode) {
        case 0:
            return kChannelBitmap;
        case 1: case 10:
            return kChannelBlack;  // the API names the grey channel black
        case 2:
            return kChannelIndex;
        case 3: case 11:
            return int16_t(kChannelRed + index);
        case 4: case 13:
            return int16_t(kChannelCyan + index);
        case 8: case 15:
            return kChannelDuotone;
        case 9: case 12:
            return int16_t(kChannelL + index);
        default:
            return kChannelUnspecified;  // HSL, HSB and the multichannel modes
    }
}

const char* ChannelName(int16_t channelType) {
    static const char* const names[] = {"Channel", "Red",   "Green", "Blue",    "Cyan",  "Magenta", "Yellow",
                                        "Black",   "Lightness", "a", "b",       "Duotone", "Index", "Bitmap"};
    if (channelType == 19) return "Selection";
    if (channelType >= 0 && channelType < int16_t(sizeof names / sizeof names[0])) return names[channelType];
    return "Channel";
}

bool MakeDocument(int32_t mode, int32_t width, int32_t height, std::vector<std::vector<uint16_t>> channels,
                  Document* document, std::string* error) {
    const int32_t wanted = ChannelCountForMode(mode);
    const int32_t count = int32_t(channels.size());
    if (IsMultichannel(mode) ? (count < 1 || count > 4) : (wanted == 0 || count != wanted)) {
        *error = Format("image mode %d cannot have %d channels", mode, count);
        return false;
    }
    if (width < 1 || height < 1 || int64_t(width) * height > kMaxSamples) {
        *error = Format("bad document size %dx%d", width, height);
        return false;
    }
    const size_t samples = size_t(width) * size_t(height);
    const uint32_t limit = DepthForMode(mode) == 16 ? 65535u : 255u;
    for (const std::vector<uint16_t>& channel : channels) {
        if (channel.size() != samples) {
            *error = "a channel does not hold width x height samples";
            return false;
        }
        for (uint16_t v : channel) {
            if (v > limit) {
                *error = "an 8-bit channel holds a value above 255";
                return false;
            }
        }
    }
    document->mode = mode;
    document->depth = DepthForMode(mode);
    document->width = width;
    document->height = height;
    document->channels = std::move(channels);
    document->hasSelection = false;
    document->selection.clear();
    return true;
}

bool MakeDocument8(int32_t mode, int32_t width, int32_t height, const std::vector<std::vector<uint8_t>>& channels,
                   Document* document, std::string* error) {
    std::vector<std::vector<uint16_t>> wide;
    wide.reserve(channels.size());
    for (const std::vector<uint8_t>& channel : channels) wide.emplace_back(channel.begin(), channel.end());
    if (DepthForMode(mode) == 16) {
        *error = Format("image mode %d keeps 16-bit samples", mode);
        return false;
    }
    return MakeDocument(mode, width, height, std::move(wide), document, error);
}

bool SetSelection(Document* document, std::vector<uint8_t> selection, std::string* error) {
    if (selection.size() != size_t(document->width) * size_t(document->height)) {
        *error = "the selection is not the size of the document";
        return false;
    }
    document->selection = std::move(selection);
    document->hasSelection = true;
    return true;
}

}  // namespace varno

// Documents of the host library: shape checks and the API's channel types per mode.
#include "images/document.h"

#include <cstdio>

#include "api/host_api.h"

namespace varno {

namespace {
constexpr int16_t kChannelUnspecified = 0;
constexpr int16_t kChannelDuotone = 11;
constexpr int16_t kChannelIndex = 12;
constexpr int16_t kChannelBitmap = 13;

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

namespace {
// The shape checks shared by both depths; `count` planes of `samples` values each.
bool CheckShape(int32_t mode, int32_t width, int32_t height, size_t count, std::string* error) {
    const int32_t wanted = ChannelCountForMode(mode);
    if (IsMultichannel(mode) ? (count < 1 || count > 4) : (wanted == 0 || count != size_t(wanted))) {
        *error = Format("image mode %d cannot have %d channels", mode, int32_t(count));
        return false;
    }
    if (width < 1 || height < 1 || width > kMaxDocumentSide || height > kMaxDocumentSide) {
        *error = Format("bad document size %dx%d", width, height);
        return false;
    }
    return true;
}

template <typename Plane>
bool PlanesHoldThePicture(const std::vector<Plane>& channels, int32_t width, int32_t height, std::string* error) {
    for (const Plane& channel : channels) {
        if (channel.size() != size_t(width) * size_t(height)) {
            *error = "a channel does not hold width x height samples";
            return false;
        }
    }
    return true;
}

void SetShape(Document* document, int32_t mode, int32_t width, int32_t height) {
    document->mode = mode;
    document->depth = DepthForMode(mode);
    document->width = width;
    document->height = height;
    document->channels8.clear();
    document->channels16.clear();
    document->hasSelection = false;
    document->selection.clear();
    document->view = SampleView();
}
}  // namespace

bool MakeDocument8(int32_t mode, int32_t width, int32_t height, std::vector<std::vector<uint8_t>> channels,
                   Document* document, std::string* error) {
    if (!CheckShape(mode, width, height, channels.size(), error)) return false;
    if (DepthForMode(mode) == 16) {
        *error = Format("image mode %d keeps 16-bit samples", mode);
        return false;
    }
    if (!PlanesHoldThePicture(channels, width, height, error)) return false;
    SetShape(document, mode, width, height);
    document->channels8 = std::move(channels);
    return true;
}

bool MakeDocument(int32_t mode, int32_t width, int32_t height, std::vector<std::vector<uint16_t>> channels,
                  Document* document, std::string* error) {
    if (!CheckShape(mode, width, height, channels.size(), error)) return false;
    if (!PlanesHoldThePicture(channels, width, height, error)) return false;
    if (DepthForMode(mode) == 16) {
        SetShape(document, mode, width, height);
        document->channels16 = std::move(channels);
        return true;
    }
    std::vector<std::vector<uint8_t>> narrow;
    narrow.reserve(channels.size());
    for (const std::vector<uint16_t>& channel : channels) {
        for (uint16_t v : channel) {
            if (v > 255) {
                *error = "an 8-bit channel holds a value above 255";
                return false;
            }
        }
        narrow.emplace_back(channel.begin(), channel.end());
    }
    SetShape(document, mode, width, height);
    document->channels8 = std::move(narrow);
    return true;
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

bool MakeDocumentView(int32_t mode, int32_t width, int32_t height, const SampleView& view, Document* document,
                      std::string* error) {
    if (!CheckShape(mode, width, height, size_t(view.channels), error)) return false;
    if (!view.data) {
        *error = "a view without samples";
        return false;
    }
    SetShape(document, mode, width, height);
    document->view = view;
    return true;
}

}  // namespace varno

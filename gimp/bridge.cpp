// Documents, placement and remembered choices of the GIMP plug-in.
#include "gimp/bridge.h"

#include <algorithm>
#include <cstring>

#include "host/messages.h"
#include "params/edge_table.h"

namespace varno {

bool DocumentFromSamples(const void* samples, int32_t width, int32_t height, int32_t channels, bool wide,
                         Document* document, std::string* error) {
    if (channels != 1 && channels != 3) {
        *error = "a drawable hands over 1 or 3 samples per pixel";
        return false;
    }
    if (width < 1 || height < 1 || width > kGimpMaxSide || height > kGimpMaxSide) {
        *error = "the drawable is " + std::to_string(width) + "x" + std::to_string(height) +
                 "; the plug-in takes 1 to 32767 pixels on a side";
        return false;
    }
    const size_t count = size_t(width) * size_t(height);
    const int32_t mode = channels == 1 ? (wide ? 10 : 1) : (wide ? 11 : 3);
    if (wide) {
        const auto* words = static_cast<const uint16_t*>(samples);
        std::vector<std::vector<uint16_t>> planes(size_t(channels), std::vector<uint16_t>(count, 0));
        for (size_t i = 0; i < count; ++i)
            for (size_t c = 0; c < size_t(channels); ++c) planes[c][i] = words[i * size_t(channels) + c];
        return MakeDocument(mode, width, height, std::move(planes), document, error);
    }
    const auto* bytes = static_cast<const uint8_t*>(samples);
    std::vector<std::vector<uint8_t>> planes(size_t(channels), std::vector<uint8_t>(count, 0));
    for (size_t i = 0; i < count; ++i)
        for (size_t c = 0; c < size_t(channels); ++c) planes[c][i] = bytes[i * size_t(channels) + c];
    return MakeDocument8(mode, width, height, std::move(planes), document, error);
}

Placement PlaceDrawable(int32_t imageWidth, int32_t imageHeight, int32_t offsetX, int32_t offsetY, int32_t width,
                        int32_t height) {
    // In 64 bits: an offset near the int32 limits plus a size must not wrap.
    const int64_t left = std::max<int64_t>(0, offsetX), top = std::max<int64_t>(0, offsetY);
    const int64_t right = std::min<int64_t>(imageWidth, int64_t(offsetX) + width);
    const int64_t bottom = std::min<int64_t>(imageHeight, int64_t(offsetY) + height);
    Placement placement;
    if (left >= right || top >= bottom) return placement;
    placement.imageX = int32_t(left);
    placement.imageY = int32_t(top);
    placement.sourceX = int32_t(left - offsetX);
    placement.sourceY = int32_t(top - offsetY);
    placement.width = int32_t(right - left);
    placement.height = int32_t(bottom - top);
    return placement;
}

bool ValidChoice(const GimpChoice& choice) {
    return IsEdgeMethod(choice.method) && IsEdgeRadius(choice.radius);
}

bool ChoiceFromDescriptor(const Descriptor& descriptor, GimpChoice* choice) {
    const DescriptorItem* method = descriptor.Find(FourCC("EdgM"));
    const DescriptorItem* radius = descriptor.Find(FourCC("edgR"));
    if (!method || !radius || method->type != kDescEnumerated || radius->type != kDescInteger) return false;
    const GimpChoice found = {int32_t(method->integer), int32_t(radius->integer)};
    if (!ValidChoice(found) || found.method != method->integer || found.radius != radius->integer) return false;
    *choice = found;
    return true;
}

GimpChoice RememberedChoice(void) {
    const RememberedEdgeChoice remembered = ReadRememberedChoice();
    return {remembered.method, remembered.radius};
}

std::string GimpFailureText(int16_t code, const std::string& reported) {
    const std::string meaning = reported.empty() ? ResultMeaning(code) : reported;
    return "Varnocketile: " + meaning + " (" + std::to_string(code) + ")";
}

}  // namespace varno

// What every image reader's fuzz target shares: small limits, so that each input runs in
// milliseconds, and the check that a picture a reader accepted is a whole document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "hosting/codecs.h"

namespace fuzzing {

inline varno::ReadLimits SmallLimits() {
    varno::ReadLimits limits;
    limits.maxPixels = int64_t(1) << 18;
    limits.budget = size_t(16) << 20;
    return limits;
}

// Runs `decode` on the input; an accepted picture must have the shape its mode promises.
template <typename Decode>
int Read(Decode decode, const uint8_t* data, size_t size) {
    varno::Document document;
    if (!decode(data, size, SmallLimits(), &document).empty()) return 0;
    const size_t samples = size_t(document.width) * size_t(document.height);
    const size_t channels = varno::ChannelCount(document);
    const bool depthKept = document.depth == varno::DepthForMode(document.mode) &&
                           (document.depth == 16 ? document.channels8.empty() : document.channels16.empty());
    bool whole = channels == size_t(varno::ChannelCountForMode(document.mode)) && depthKept && samples > 0;
    for (size_t c = 0; c < channels && whole; ++c)
        whole = (document.depth == 16 ? document.channels16[c].size() : document.channels8[c].size()) == samples;
    if (!whole) std::abort();
    return 0;
}

}  // namespace fuzzing

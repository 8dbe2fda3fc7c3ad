// What every image reader's fuzz target shares: small limits, so that each input runs in
// milliseconds; a cap on any single allocation, so that a buffer sized by what a file declares
// rather than by what it holds is a finding; and the check that a picture a reader accepted is a
// whole document. Included once by each target's one source file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "images/codecs.h"

namespace fuzzing {

inline varno::ReadLimits SmallLimits() {
    varno::ReadLimits limits;
    limits.maxPixels = int64_t(1) << 18;
    limits.budget = size_t(16) << 20;
    return limits;
}

// Runs `decode` on the input; an accepted picture must have the shape its mode promises, and every
// warning its library gave must have been passed on (a decode that succeeds after a warning was
// dropped is a finding: damage may have been accepted as a picture). `accepted`, when given, says
// whether the reader took the input.
template <typename Decode>
int Read(Decode decode, const uint8_t* data, size_t size, bool* accepted = nullptr) {
    varno::Document document;
    varno::DecoderNotes notes;
    varno::ReadLimits limits = SmallLimits();
    limits.notes = &notes;
    if (!decode(data, size, limits, &document).empty()) return 0;
    if (accepted) *accepted = true;
    if (size_t(notes.seen) != notes.warnings.size()) std::abort();
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

// Under the small limits a reader needs a few megabytes at once (the 16 MiB budget at most); 64 MiB
// in one allocation means a size taken from the file on trust. Given before the command line's
// own options, which may still change it.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<char*> arguments;
    static char cap[] = "-malloc_limit_mb=64";
    arguments.assign(*argv, *argv + *argc);
    arguments.insert(arguments.begin() + 1, cap);
    arguments.push_back(nullptr);
    *argc += 1;
    *argv = arguments.data();
    return 0;
}

// The host's document: the picture a user has open, as varno's host keeps it.
//
// Contract: a document has an image mode (the API's numbering), a width and height of 1..32767
// (the most a host document can have on a side), and one plane of samples per channel, row after
// row, width x height samples each, at the document's own depth: documents of the 8-bit modes keep
// their planes in `channels8` (values 0..255) and those of the 16-bit modes (10..15) in
// `channels16` (0..65535); the other list is empty. The host reduces 16-bit samples to 8 bits as
// (v x 255 + 32767) / 65535 when the plug-in asks for 8-bit samples. Channels follow the API's
// conventions: CMYK with 255 (65535) meaning no ink, Lab with a and b centred on 128 (32768). The
// optional selection is one 8-bit plane of the same size, 255 fully selected, 0 not selected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace varno {

// The longest side a host document can have, in pixels.
constexpr int32_t kMaxDocumentSide = 32767;

// Samples a document reads in place without owning them, for clients whose pixels already lie in
// memory (the Python package's arrays): sample (x, y) of channel c is at
// data + y * rowBytes + x * columnBytes + c * channelBytes, at the document's depth (16-bit samples
// in the machine's byte order, at any alignment); strides may be negative. The memory must stay
// valid while the document is in use.
struct SampleView {
    const uint8_t* data = nullptr;
    int32_t channels = 0;
    ptrdiff_t rowBytes = 0, columnBytes = 0, channelBytes = 0;
};

struct Document {
    int32_t mode = 0;
    int32_t depth = 8;  // bits per sample the host keeps: 8, or 16 for modes 10..15
    int32_t width = 0;
    int32_t height = 0;
    std::vector<std::vector<uint8_t>> channels8;    // depth 8
    std::vector<std::vector<uint16_t>> channels16;  // depth 16
    bool hasSelection = false;
    std::vector<uint8_t> selection;
    SampleView view;  // set: the samples are read from here, and both plane lists are empty
};

// Samples a host keeps per pixel for a mode: 1, 3 or 4; 0 for modes this host cannot hold (32-bit
// modes and unknown numbers). Multichannel modes (7, 14) take 1 to 4 channels, reported as 0 here.
int32_t ChannelCountForMode(int32_t mode);
// 8, or 16 for the 16-bit modes 10..15.
int32_t DepthForMode(int32_t mode);
// The API channel type (ct...) of channel `index` of a document of `mode`.
int16_t ChannelTypeForMode(int32_t mode, int32_t index);
// A readable channel name for the host's channel records.
const char* ChannelName(int16_t channelType);

// Checks the shape and builds the document (no selection), taking the planes over. MakeDocument8
// is for the 8-bit modes; MakeDocument takes 16-bit planes for the 16-bit modes, and for the 8-bit
// modes planes whose values are 0..255 (stored as 8-bit samples).
bool MakeDocument8(int32_t mode, int32_t width, int32_t height, std::vector<std::vector<uint8_t>> channels,
                   Document* document, std::string* error);
bool MakeDocument(int32_t mode, int32_t width, int32_t height, std::vector<std::vector<uint16_t>> channels,
                  Document* document, std::string* error);
// Checks the shape and builds a document (no selection) that reads its samples from `view`.
bool MakeDocumentView(int32_t mode, int32_t width, int32_t height, const SampleView& view, Document* document,
                      std::string* error);
// Gives the document a selection plane (width x height bytes).
bool SetSelection(Document* document, std::vector<uint8_t> selection, std::string* error);

// One sample reduced to 8 bits as the host hands it to the plug-in.
inline uint8_t ReduceTo8(uint16_t value) { return uint8_t((uint32_t(value) * 255u + 32767u) / 65535u); }

// The document's channel count, and one sample: at the document's depth, or as the plug-in sees it.
inline size_t ChannelCount(const Document& d) {
    if (d.view.data) return size_t(d.view.channels);
    return d.depth == 16 ? d.channels16.size() : d.channels8.size();
}
inline uint16_t SampleAt(const Document& d, size_t channel, size_t index) {
    if (d.view.data) {
        const size_t x = index % size_t(d.width), y = index / size_t(d.width);
        const uint8_t* at = d.view.data + ptrdiff_t(y) * d.view.rowBytes + ptrdiff_t(x) * d.view.columnBytes +
                            ptrdiff_t(channel) * d.view.channelBytes;
        uint16_t value = at[0];
        if (d.depth == 16) std::memcpy(&value, at, sizeof value);
        return value;
    }
    return d.depth == 16 ? d.channels16[channel][index] : d.channels8[channel][index];
}
inline uint8_t Sample8At(const Document& d, size_t channel, size_t index) {
    if (d.view.data) return d.depth == 16 ? ReduceTo8(SampleAt(d, channel, index)) : uint8_t(SampleAt(d, channel, index));
    return d.depth == 16 ? ReduceTo8(d.channels16[channel][index]) : d.channels8[channel][index];
}

}  // namespace varno

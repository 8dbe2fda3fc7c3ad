// The native build's decoders, chosen by the file's first bytes.
#include "images/codecs.h"

namespace varno {

std::string DecodeImage(const uint8_t* bytes, size_t size, const ReadLimits& limits, Document* document) {
    switch (SniffFormat(bytes, size)) {
        case ImageFormat::kPng: return DecodePng(bytes, size, limits, document);
        case ImageFormat::kJpeg: return DecodeJpeg(bytes, size, limits, document);
        case ImageFormat::kTiff: return DecodeTiff(bytes, size, limits, document);
        case ImageFormat::kBmp: return DecodeBmp(bytes, size, limits, document);
        default: return "not an image varno can read (PNG, JPEG, BMP or TIFF)";
    }
}

}  // namespace varno

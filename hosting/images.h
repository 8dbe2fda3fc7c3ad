// Image files in and out of the host library.
//
// Contract: reading builds a Document from a file: PNG, JPEG and BMP (through stb_image) in every
// build, and TIFF natively (through libtiff): grey, RGB, CMYK (ink inverted so that 255 means no
// ink), CIE Lab (a and b made unsigned around 128, or 32768 for 16-bit samples), palette images
// (a one-channel indexed document) and 1-bit images (a bitmap document), with 8- and 16-bit
// samples. Alpha and other extra channels are dropped. Writing encodes 8-bit grey or RGB pixels as
// PNG, BMP or JPEG by the file name's extension; files are written whole or not at all through
// output_files.h. Functions return an empty text on success, else the reason, and leave their
// outputs alone on failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "hosting/document.h"
#include "hosting/output_files.h"

namespace varno {

std::string ReadImageFile(const std::string& path, Document* document);
// Platform part: TIFF files (the Windows builds refuse them with a clear reason).
std::string ReadTiffFile(const std::string& path, Document* document);

// `channels` 1 (grey) or 3 (interleaved RGB); the format follows the extension of `path`
// (.png, .bmp, .jpg/.jpeg; case does not matter).
std::string EncodeImage(const std::string& path, int32_t width, int32_t height, int32_t channels,
                        const uint8_t* pixels, std::vector<uint8_t>* bytes);
std::string ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);

}  // namespace varno

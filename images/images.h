// Image files in and out of the host library.
//
// Contract: reading builds a Document from a file. Natively: PNG (libpng), JPEG (libjpeg-turbo),
// TIFF (libtiff) and BMP (the host's own reader); the Windows builds read the same formats through
// the Windows Imaging Component. Grey pictures give grey documents, colour ones RGB; 16-bit samples
// stay 16-bit; palette pictures are expanded to their colours (grey when every palette entry is
// grey) and 1-, 2- and 4-bit grey ones to 8 bits; CMYK has its ink inverted so that 255 means no
// ink, CIE Lab has a and b made unsigned around 128 (or 32768). Alpha and other extra channels are
// dropped. Sides above 32767 pixels are refused before any buffer is sized, and a damaged file is
// an error, never a padded picture (see codecs.h). Standard input is read through the same checks
// and decoders as a file. Writing encodes 8-bit grey or RGB pixels as PNG (a fast compression level
// unless `smaller`), BMP, JPEG or TIFF (Deflate) by the file name's extension or a type's name,
// into memory; files are written whole or not at all through output_files.h. Functions return an
// empty text on success, else the reason (one line), and leave their outputs alone on failure.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "images/document.h"
#include "images/output_files.h"

namespace varno {

// Only regular files are read: a directory, FIFO or device is refused before it is opened, and a
// file whose first bytes are no picture format is refused before the rest is read. A decoder's
// warnings that leave the pixels right come back in `warnings` (one line each) when asked for;
// those that mean damage are errors. Running out of memory is the error "out of memory".
std::string ReadImageFile(const std::string& path, Document* document, std::vector<std::string>* warnings = nullptr);
// Empty when `path` names a regular file, else why it is not one ("it is a directory", ...).
std::string CheckRegularFile(const std::string& path);
// The picture on standard input, read to its end (in binary mode), then as ReadImageFile reads a
// file's bytes: refused after its first bytes when they are no picture format.
std::string ReadImageStandardInput(Document* document, std::vector<std::string>* warnings = nullptr);

struct EncodeOptions {
    bool smaller = false;  // PNG: the default compression level and every filter (smaller, slower)
};

// The picture types written, named by a file's extension (.png, .bmp, .jpg or .jpeg, .tif or .tiff;
// case does not matter) or by a word (png, bmp, jpeg or jpg, tiff or tif); kNone for any other.
enum class PictureType { kNone, kPng, kBmp, kJpeg, kTiff };
PictureType PictureTypeOfPath(const std::string& path);
PictureType PictureTypeNamed(const std::string& name);

// Empty when EncodeImage writes the type that `path`'s extension names, else why not.
std::string CheckOutputType(const std::string& path);
// `channels` 1 (grey) or 3 (interleaved RGB); the format follows the extension of `path`.
std::string EncodeImage(const std::string& path, int32_t width, int32_t height, int32_t channels,
                        const uint8_t* pixels, std::vector<uint8_t>* bytes, const EncodeOptions& options = {});
// The same in the type given.
std::string EncodePicture(PictureType type, int32_t width, int32_t height, int32_t channels, const uint8_t* pixels,
                          std::vector<uint8_t>* bytes, const EncodeOptions& options = {});
std::string ReadWholeFile(const std::string& path, std::vector<uint8_t>* bytes);

}  // namespace varno

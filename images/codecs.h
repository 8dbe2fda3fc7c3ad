// The image codecs behind images.h: one decoder per file format, the limits every decoder keeps,
// and the planes a decoder fills row by row.
//
// Contract: a decoder takes the whole file in memory and either builds a Document (returning an
// empty text) or returns one line saying why not, leaving the document alone. Before it sizes any
// buffer it checks the declared sides against `ReadLimits` (the message names the limit); it then
// grows the document's planes only as rows are actually decoded, so a small file that declares a
// huge picture costs no more memory than the rows it really holds; pixel data that cannot expand
// to the whole picture (under its codec's bound) is refused before that. Truncated or corrupt pixel
// data is an error, never padded. Every warning of a decoder's library is counted in
// `ReadLimits::notes` and is either an error (the pixels are wrong) or kept there (harmless). Decoders that must hold a whole picture (or a whole tile) before the
// first row comes out may use at most `DecoderBudget` bytes for it. Alpha and other extra channels
// are dropped; 16-bit samples stay 16-bit.
//
// Decoders: PNG (libpng), JPEG (libjpeg-turbo) and TIFF (libtiff) natively, the Windows Imaging
// Component for those in the Windows builds (after the outline checks below), and BMP through the
// host's own reader in every build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "images/document.h"
#include "images/system.h"

namespace varno {

// What a decoder heard from its library besides errors: every warning is counted in `seen` and
// either ends the reading as an error (damaged pixels) or is kept in `warnings` (harmless ones).
struct DecoderNotes {
    int32_t seen = 0;
    std::vector<std::string> warnings;
};

struct ReadLimits {
    int32_t maxSide = kMaxDocumentSide;  // longest side accepted, either way
    int64_t maxPixels = 0;               // 0: no limit beyond the sides (the fuzzers set one)
    size_t budget = 0;                   // 0: DecoderBudget of the file's size
    DecoderNotes* notes = nullptr;       // where warnings go (none: counted and kept nowhere)
};

// The most bytes zlib's deflate can make of one byte of input (a run of 258-byte matches coded
// in two bits each): pixel data that would expand further cannot be what the file holds.
constexpr uint64_t kDeflateMostExpansion = 1032;

// Memory a decoder may spend before its first row, for a file of `fileSize` bytes: 128 MiB, or
// 256 bytes per byte of file when that is more (a real picture that needs more comes in a file big
// enough to say so).
size_t DecoderBudget(size_t fileSize, const ReadLimits& limits);

// Empty when a picture of width x height fits the limits, else the line that refuses it.
std::string CheckPictureSize(int64_t width, int64_t height, const ReadLimits& limits);

enum class ImageFormat { kUnknown, kPng, kJpeg, kTiff, kBmp };
ImageFormat SniffFormat(const uint8_t* bytes, size_t size);

// Any format this build reads (the platform part), chosen by the file's first bytes.
std::string DecodeImage(const uint8_t* bytes, size_t size, const ReadLimits& limits, Document* document);
// The native build's decoders (DecodeBmp is portable code, the others native only).
std::string DecodePng(const uint8_t* bytes, size_t size, const ReadLimits& limits, Document* document);
std::string DecodeJpeg(const uint8_t* bytes, size_t size, const ReadLimits& limits, Document* document);
std::string DecodeTiff(const uint8_t* bytes, size_t size, const ReadLimits& limits, Document* document);
std::string DecodeBmp(const uint8_t* bytes, size_t size, const ReadLimits& limits, Document* document);

// The outline of a file, checked before a platform decoder that decodes whole pictures at once or
// pads what is missing is given it: the sides (as CheckPictureSize), for PNG every chunk's
// checksum, the end chunk, that the pixel data can expand to the picture and (with `checksums`)
// that it unpacks to the picture with its own checksum right, for JPEG every segment up to the end
// marker and the scans as CheckJpegScans walks them, for TIFF that a strip or tile fits the decoder
// budget, that the strips or tiles are all in the file, share no bytes and can expand to the
// picture, that Deflate data unpacks whole (CheckDeflateData), and that a palette has its colour
// map and a Predictor one value.
// The native reader walks a PNG's chunks without their checksums (libpng checks those) before
// libpng, which sizes some chunks' buffers by their declared length before reading them.
std::string CheckPngOutline(const uint8_t* bytes, size_t size, const ReadLimits& limits, bool checksums = true);
// The bytes of a PNG's filtered rows before compression: a filter byte and the packed samples of
// every row of every pass.
uint64_t PngRawBytes(uint64_t width, uint64_t height, uint32_t depth, uint32_t colourType, bool interlaced);
// A PNG's pixel data (the chunks walked already) inflated once with the output dropped, until the
// stream ends or breaks or `enough` bytes came out: how many did, whether the stream ended, and
// what broke it in the native reader's words.
struct PngDataUnpacked {
    uint64_t bytes = 0;
    bool ended = false;
    std::string error;
};
PngDataUnpacked UnpackPngData(const uint8_t* bytes, size_t size, uint64_t enough);
std::string CheckJpegOutline(const uint8_t* bytes, size_t size, const ReadLimits& limits);
// A Huffman-coded JPEG's scans walked code by code: empty, or the line that refuses stray bytes
// between a scan's last code and the next marker (which a decoder reading ahead does not see), a
// code in no table or a scan that ends early. Says nothing of files it does not walk (arithmetic
// coding, tables, frames or scans the decoder refuses, a progressive file whose record of the
// coefficients not zero would take more than a sixteenth of the decoder budget).
std::string CheckJpegScans(const uint8_t* bytes, size_t size, const ReadLimits& limits);
std::string CheckTiffOutline(const uint8_t* bytes, size_t size, const ReadLimits& limits);
// The most bytes one stored byte of a TIFF codec (by its Compression number) can become, for rows
// of `rowBytes` bytes; 0 when there is no useful bound.
uint64_t TiffMostExpansion(uint16_t compression, uint64_t rowBytes);
// One zlib stream (a TIFF's Deflate strip or tile) unpacked to its end without keeping what it
// makes: empty when it ends, its checksum right, having made at least `least` and at most `most`
// bytes (bytes after its end are allowed), else what is wrong, as "holds damaged Deflate data
// (WHY)" or "unpacks to ...". A decoder stops when it has the rows it wants and so never sees the
// damage or the checksum after them.
std::string CheckDeflateData(const uint8_t* data, uint64_t size, uint64_t least, uint64_t most);

// Encoders of 8-bit grey (channels 1) or interleaved RGB (channels 3) pixels, appending to `out`.
// EncodeBmp is portable; PNG, JPEG and TIFF (Deflate-compressed) are the platform part.
std::string EncodePng(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels, bool smaller,
                      std::vector<uint8_t>* out);
std::string EncodeJpeg(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels,
                       std::vector<uint8_t>* out);
std::string EncodeBmp(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels,
                      std::vector<uint8_t>* out);
std::string EncodeTiff(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels,
                       std::vector<uint8_t>* out);

// The planes of a picture being decoded, `Sample` uint8_t or uint16_t. Rows are added as they are
// decoded; each plane grows on its own (planar files deliver one channel after another) and stops at
// exactly width x height samples. A plane's first block has room for up to 64 MiB (address space
// only: its pages are used as rows arrive), so a camera picture's plane is never copied; larger
// planes double from there.
template <typename Sample>
struct GrowingPlanes {
    static constexpr size_t kFirstBlock = (size_t(64) << 20) / sizeof(Sample);

    std::vector<std::vector<Sample>> planes;
    size_t width = 0;
    size_t height = 0;

    GrowingPlanes(size_t channels, size_t w, size_t h) : planes(channels), width(w), height(h) {}

    // Row `y` of plane `c`, the plane grown to hold rows 0..y (new rows are zero until written).
    Sample* Row(size_t c, size_t y) {
        std::vector<Sample>& plane = planes[c];
        const size_t needed = (y + 1) * width;
        if (plane.size() < needed) {
            if (plane.capacity() < needed) {
                const size_t total = width * height;
                size_t grown = plane.capacity() ? plane.capacity() * 2 : kFirstBlock;
                if (grown < needed) grown = needed;
                if (grown > total) grown = total;
                plane.reserve(grown);
                AdviseLargeBlock(plane.data(), plane.capacity() * sizeof(Sample));
            }
            plane.resize(needed);
        }
        return plane.data() + y * width;
    }
    bool Complete() const {
        for (const std::vector<Sample>& plane : planes)
            if (plane.size() != width * height) return false;
        return true;
    }
};

// Builds the document from complete planes (8- or 16-bit by the mode).
std::string FinishDocument(int32_t mode, GrowingPlanes<uint8_t>* planes, Document* document);
std::string FinishDocument(int32_t mode, GrowingPlanes<uint16_t>* planes, Document* document);

}  // namespace varno

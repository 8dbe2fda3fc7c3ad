// BMP files: a reader that checks every header field it relies on before it touches a pixel,
// and a writer of 8-bit grey (a grey palette) and 24-bit colour pictures.
//
// Read: the file header, an information header of 12 (OS/2), 40, 52, 56, 108 or 124 bytes,
// uncompressed pixels of 1, 4 or 8 bits through a palette, 16 or 32 bits through colour masks (5-5-5
// and 8-8-8 by default) and 24 bits, bottom-up or top-down (a negative height). Run-length and
// embedded JPEG or PNG data are refused with their own message. Fields without effect on the pixels
// (the file size, the image size, the resolution, the important-colour count, colour-space data)
// are not held against a file: writers disagree about them. Everything the pixels depend on is
// checked: the sides, one plane, the bit count with the compression, the masks (non-empty runs of
// ones inside the pixel, no two overlapping), the palette size and place, the start of the pixel
// data, that every row is in the file (before any plane is sized), and that every palette index
// names a colour of the palette.
#include <cstdio>
#include <cstring>

#include "images/codecs.h"

namespace varno {

namespace {

uint32_t U16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t U32(const uint8_t* p) { return U16(p) | U16(p + 2) << 16; }

std::string Say(const char* format, long long a, long long b = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

// One colour mask: where its run of ones starts and how long it is.
struct Mask {
    uint32_t bits = 0;
    int shift = 0;
    int width = 0;
};

bool MakeMask(uint32_t bits, int bitCount, Mask* mask) {
    if (bits == 0) return false;
    if (bitCount < 32 && (bits >> bitCount) != 0) return false;
    int shift = 0;
    while (!((bits >> shift) & 1)) ++shift;
    int width = 0;
    while (shift + width < 32 && ((bits >> (shift + width)) & 1)) ++width;
    if (shift + width < 32 && (bits >> (shift + width)) != 0) return false;  // not one run
    *mask = {bits, shift, width};
    return true;
}

// The masked value scaled to 0..255, rounding to nearest.
uint8_t Extract(uint32_t pixel, const Mask& mask) {
    const uint64_t top = (uint64_t(1) << mask.width) - 1;
    const uint64_t value = (pixel & mask.bits) >> mask.shift;
    return uint8_t((value * 255 + top / 2) / top);
}

}  // namespace

std::string DecodeBmp(const uint8_t* bytes, size_t size, const ReadLimits& limits, Document* document) {
    if (size < 18 || bytes[0] != 'B' || bytes[1] != 'M') return "not a BMP file";
    const uint32_t dataOffset = U32(bytes + 10);
    const uint32_t infoSize = U32(bytes + 14);
    if (infoSize != 12 && infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
        return Say("BMP information header of %lld bytes is not one varno reads", infoSize);
    if (size < 14 + size_t(infoSize)) return "the BMP ends inside its header";
    const uint8_t* info = bytes + 14;
    const bool core = infoSize == 12;

    int64_t width, height;
    uint32_t planeCount, bitCount, compression = 0, colours = 0;
    if (core) {
        width = U16(info + 4), height = U16(info + 6), planeCount = U16(info + 8), bitCount = U16(info + 10);
    } else {
        width = int32_t(U32(info + 4)), height = int32_t(U32(info + 8));
        planeCount = U16(info + 12), bitCount = U16(info + 14);
        compression = U32(info + 16), colours = U32(info + 32);
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (std::string error = CheckPictureSize(width, height, limits); !error.empty()) return error;
    if (planeCount != 1) return Say("the BMP declares %lld colour planes; it must be 1", planeCount);

    const bool masked = compression == 3 || compression == 6;
    if (compression == 1 || compression == 2) return "run-length compressed BMPs are not supported";
    if (compression == 4 || compression == 5) return "BMPs holding JPEG or PNG data are not supported";
    if (compression != 0 && !masked) return Say("unknown BMP compression %lld", compression);
    const bool bitsOk = core ? (bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 24)
                             : masked ? (bitCount == 16 || bitCount == 32)
                                      : (bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
                                         bitCount == 24 || bitCount == 32);
    if (!bitsOk) return Say("a BMP of %lld-bit pixels with compression %lld is not valid", bitCount, compression);

    // Colour masks: in the header from 52 bytes on, else just after it.
    size_t masksEnd = 14 + infoSize;
    Mask red, green, blue;
    if (masked || bitCount == 16 || bitCount == 32) {
        uint32_t bits[3] = {0x7c00, 0x03e0, 0x001f};
        if (bitCount == 32) bits[0] = 0xff0000, bits[1] = 0x00ff00, bits[2] = 0x0000ff;
        if (masked) {
            const uint8_t* at = info + 40;
            if (infoSize == 40) {
                masksEnd += compression == 6 ? 16 : 12;
                if (size < masksEnd) return "the BMP ends inside its colour masks";
            }
            for (int i = 0; i < 3; ++i) bits[i] = U32(at + 4 * i);
        }
        if (!MakeMask(bits[0], int(bitCount), &red) || !MakeMask(bits[1], int(bitCount), &green) ||
            !MakeMask(bits[2], int(bitCount), &blue))
            return "a BMP colour mask is empty, not one run of bits, or wider than the pixel";
        if ((bits[0] & bits[1]) || (bits[0] & bits[2]) || (bits[1] & bits[2])) return "the BMP's colour masks overlap";
    }

    // The palette follows the header (and masks); pixels of 1, 4 or 8 bits index it.
    const uint64_t entrySize = core ? 3 : 4;
    const uint64_t most = bitCount <= 8 ? uint64_t(1) << bitCount : 0;
    uint64_t paletteCount = colours;
    if (bitCount <= 8) {
        if (paletteCount == 0) paletteCount = most;
        if (paletteCount > most) return Say("a BMP palette of %lld colours for %lld-bit pixels", colours, bitCount);
        if (core) paletteCount = most;
    }
    const uint64_t paletteEnd = masksEnd + paletteCount * entrySize;
    if (dataOffset < paletteEnd) return Say("the BMP's pixels start at byte %lld, inside its header or palette", dataOffset);
    if (dataOffset > size) return Say("the BMP's pixels start at byte %lld, past the end of the file", dataOffset);

    const uint64_t stride = (uint64_t(width) * bitCount + 31) / 32 * 4;
    const uint64_t rowBytes = (uint64_t(width) * bitCount + 7) / 8;
    const uint64_t available = size - dataOffset;
    if (uint64_t(height - 1) * stride + rowBytes > available) {
        const uint64_t rows = available >= rowBytes ? (available - rowBytes) / stride + 1 : 0;
        return Say("the BMP is truncated: it holds %lld of its %lld rows", (long long)rows, height);
    }

    bool grey = bitCount <= 8;
    uint8_t palette[256][3] = {};
    for (uint64_t i = 0; i < paletteCount && bitCount <= 8; ++i) {
        const uint8_t* entry = bytes + masksEnd + i * entrySize;
        palette[i][0] = entry[2], palette[i][1] = entry[1], palette[i][2] = entry[0];
        grey = grey && entry[0] == entry[1] && entry[1] == entry[2];
    }

    const size_t w = size_t(width), h = size_t(height);
    GrowingPlanes<uint8_t> planes(grey ? 1 : 3, w, h);
    for (size_t fileRow = 0; fileRow < h; ++fileRow) {
        const uint8_t* row = bytes + dataOffset + fileRow * stride;
        const size_t y = topDown ? fileRow : h - 1 - fileRow;
        uint8_t* r = planes.Row(0, y);
        uint8_t* g = grey ? nullptr : planes.Row(1, y);
        uint8_t* b = grey ? nullptr : planes.Row(2, y);
        if (bitCount <= 8) {
            const uint32_t perByte = 8 / bitCount, low = (1u << bitCount) - 1;
            for (size_t x = 0; x < w; ++x) {
                const uint32_t shift = 8 - bitCount * (1 + uint32_t(x % perByte));
                const uint32_t index = (row[x / perByte] >> shift) & low;
                if (index >= paletteCount)
                    return Say("a BMP pixel uses colour %lld of a palette of %lld", index, (long long)paletteCount);
                if (grey) {
                    r[x] = palette[index][0];
                } else {
                    r[x] = palette[index][0], g[x] = palette[index][1], b[x] = palette[index][2];
                }
            }
        } else if (bitCount == 24) {
            for (size_t x = 0; x < w; ++x) b[x] = row[3 * x], g[x] = row[3 * x + 1], r[x] = row[3 * x + 2];
        } else {
            const size_t step = bitCount / 8;
            for (size_t x = 0; x < w; ++x) {
                const uint32_t pixel = step == 2 ? U16(row + 2 * x) : U32(row + 4 * x);
                r[x] = Extract(pixel, red), g[x] = Extract(pixel, green), b[x] = Extract(pixel, blue);
            }
        }
    }
    return FinishDocument(grey ? 1 : 3, &planes, document);
}

std::string EncodeBmp(int32_t width, int32_t height, int32_t channels, const uint8_t* pixels,
                      std::vector<uint8_t>* out) {
    const uint32_t bitCount = channels == 1 ? 8 : 24;
    const uint32_t paletteBytes = channels == 1 ? 256 * 4 : 0;
    const size_t stride = (size_t(width) * bitCount / 8 + 3) / 4 * 4;
    const uint64_t total = 14 + 40 + uint64_t(paletteBytes) + uint64_t(stride) * uint64_t(height);
    if (total > UINT32_MAX) return "the picture is too large for a BMP file";
    auto put16 = [&](uint32_t v) { out->push_back(uint8_t(v)), out->push_back(uint8_t(v >> 8)); };
    auto put32 = [&](uint32_t v) { put16(v & 0xffff), put16(v >> 16); };
    out->reserve(out->size() + size_t(total));
    out->push_back('B'), out->push_back('M');
    put32(uint32_t(total)), put32(0), put32(14 + 40 + paletteBytes);
    put32(40), put32(uint32_t(width)), put32(uint32_t(height)), put16(1), put16(bitCount);
    put32(0), put32(uint32_t(stride * size_t(height))), put32(2835), put32(2835);  // 72 dpi
    put32(channels == 1 ? 256 : 0), put32(0);
    for (uint32_t i = 0; i < paletteBytes / 4; ++i) put32(i * 0x010101u);
    std::vector<uint8_t> row(stride, 0);
    for (int32_t y = height - 1; y >= 0; --y) {
        const uint8_t* source = pixels + size_t(y) * size_t(width) * size_t(channels);
        if (channels == 1) {
            std::memcpy(row.data(), source, size_t(width));
        } else {
            for (size_t x = 0; x < size_t(width); ++x)
                row[3 * x] = source[3 * x + 2], row[3 * x + 1] = source[3 * x + 1], row[3 * x + 2] = source[3 * x];
        }
        out->insert(out->end(), row.begin(), row.end());
    }
    return {};
}

}  // namespace varno

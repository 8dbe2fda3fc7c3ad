// The fax-coded strips or tiles of a TIFF (CCITT: Modified Huffman, T.4 one- and two-dimensional,
// T.6, and the word-aligned Modified Huffman variant), checked before a platform decoder that pads
// rows which are missing or of the wrong length is given the file (fax_check.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace varno {

struct FaxLayout {
    uint16_t compression = 0;   // 2, 3, 4 or 32771
    uint32_t t4Options = 0;     // tag 292: bit 0 two-dimensional rows (compression 3 only)
    bool lowBitFirst = false;   // FillOrder 2: the first bit of a byte is its lowest
    uint64_t width = 0;         // pixels in a row of a strip or tile
    bool tiled = false;         // for the messages
};

// One strip or tile: where its bytes are in the file (the part in the file only) and the rows the
// decoder takes from it.
struct FaxBlock {
    uint64_t offset = 0, bytes = 0;
    uint32_t rows = 0;
};

// Decodes the code of every block in turn, as the native decoder does but without making pixels:
// every row's runs must add up exactly to the width, no code may be invalid or of a kind the
// decoder does not take (uncompressed mode), and the data must not end before the block's last
// row. Whatever the native decoder passes over without a word passes here too: data before a
// row's first EOL and between rows (fill bits), whatever follows the last row (the RTC or EOFB
// included, so a missing one is no fault), and a last byte short of the code it ends in (read as
// zeros). Each row's runs are held in one of two arrays (this row's, the reference row's) of the
// decoder's size; a file whose rows need arrays beyond `budget` bytes is refused, as natively.
// Memory is linear in the width, time in the data and the rows; nothing is read outside a block.
// Empty when every block passes, else one line saying where the data is damaged.
std::string CheckFaxBlocks(const FaxLayout& layout, const uint8_t* file, size_t fileSize,
                           const std::vector<FaxBlock>& blocks, size_t budget);

}  // namespace varno

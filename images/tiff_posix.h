// What the native TIFF reader checks before it decodes (tiff_checks_posix.cpp).
#pragma once

#include <cstdint>
#include <string>

typedef struct tiff TIFF;

namespace varno {

// Before any plane is sized: every strip or tile has bytes in the file, no two share bytes (a file
// whose strips all point at one place would make a whole picture of a few bytes), and together
// they can expand to the picture's samples under the codec's bound (none for codecs without a
// useful one). The document grows only as rows are decoded, but tiles and planar strips fill rows
// far apart, so data that cannot fill the picture is refused before the planes grow. Empty when
// the file passes, else the reason.
// Deflate strips and tiles are unpacked to their end, without pixels (see CheckDeflateData).
std::string CheckTiffBlocks(TIFF* tiff, uint32_t height, uint16_t samples, bool separate, uint16_t compression,
                            const uint8_t* bytes, uint64_t fileSize);

// A SHORT or LONG tag's value in the file's first directory as stored, before libtiff changes it
// (it reads a palette TIFF without a colour map as grey); `absent` when there is none.
uint64_t StoredTiffTag(const uint8_t* bytes, uint64_t size, uint16_t tag, uint64_t absent);

}  // namespace varno

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
std::string CheckTiffBlocks(TIFF* tiff, uint32_t height, uint16_t samples, bool separate, uint16_t compression,
                            uint64_t fileSize);

}  // namespace varno

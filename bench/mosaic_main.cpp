// varno_mosaic: writes the benchmarks' mosaic of real photographs (mosaic.h) as a picture file.
//
//   varno_mosaic [--size=WxH] [--photos=DIR] OUT.png | OUT.jpg
//
// Size 6000x4000 unless given; the photographs come from python3-skimage's folder unless DIR is
// given. The file (PNG, or JPEG by its extension) is written whole or not at all. Exit status 0
// when written, 1 when a photograph or the file failed, 2 for a usage error.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "bench/mosaic.h"
#include "images/images.h"

int main(int argc, char** argv) {
    int32_t width = 6000, height = 4000;
    std::string folder = varnobench::kPhotoFolder, out;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("--size=", 0) == 0) {
            if (!varnobench::ParsePictureSize(arg.substr(7), &width, &height)) {
                std::fprintf(stderr, "varno_mosaic: --size takes WIDTHxHEIGHT, each 1..%d\n", int(varnobench::kLargestSide));
                return 2;
            }
        } else if (arg.rfind("--photos=", 0) == 0) {
            folder = arg.substr(9);
        } else if (out.empty() && !arg.empty() && arg[0] != '-') {
            out = arg;
        } else {
            out.clear();
            break;
        }
    }
    if (out.empty()) {
        std::fprintf(stderr, "usage: varno_mosaic [--size=WxH] [--photos=DIR] OUT.png | OUT.jpg\n");
        return 2;
    }
    std::vector<uint8_t> rgb;
    std::string error = varnobench::BuildMosaic(folder, width, height, &rgb);
    std::vector<uint8_t> bytes;
    if (error.empty()) error = varno::EncodeImage(out, width, height, 3, rgb.data(), &bytes);
    if (error.empty()) error = varno::WriteFileAtomically(out, bytes);
    if (!error.empty()) {
        std::fprintf(stderr, "varno_mosaic: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

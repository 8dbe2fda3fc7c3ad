// varno_mosaic: writes the mosaic of real photographs (mosaic.h) as a picture file.
//
//   varno_mosaic OUT.jpg|OUT.png [--size WxH] [--from DIRECTORY]
//
// The default size is 6000x4000 and the default directory python3-skimage's data folder. Exit
// status 0 when the picture was written, 1 when it could not be made or written, 2 for a usage error.
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "bench/mosaic.h"
#include "hosting/images.h"

int main(int argc, char** argv) {
    std::string output, directory = varnobench::kPhotoDirectory;
    int32_t width = 6000, height = 4000;
    bool understood = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--size" && i + 1 < argc) {
            understood = varnobench::ParsePictureSize(argv[++i], &width, &height) && understood;
        } else if (arg == "--from" && i + 1 < argc) {
            directory = argv[++i];
        } else if (output.empty() && !arg.empty() && arg[0] != '-') {
            output = arg;
        } else {
            understood = false;
        }
    }
    if (!understood || output.empty()) {
        std::fprintf(stderr, "usage: varno_mosaic OUT.jpg|OUT.png [--size WxH] [--from DIRECTORY]\n");
        return 2;
    }
    std::vector<uint8_t> rgb, bytes;
    std::string error;
    if (!varnobench::MakePhotoMosaic(directory, width, height, &rgb, &error)) {
        std::fprintf(stderr, "varno_mosaic: %s\n", error.c_str());
        return 1;
    }
    error = varno::EncodeImage(output, width, height, 3, rgb.data(), &bytes);
    if (error.empty()) error = varno::WriteFileAtomically(output, bytes);
    if (!error.empty()) {
        std::fprintf(stderr, "varno_mosaic: cannot write '%s': %s\n", output.c_str(), error.c_str());
        return 1;
    }
    return 0;
}

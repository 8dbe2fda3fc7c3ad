// The mosaic of real photographs (see mosaic.h).
#include "bench/mosaic.h"

#include <algorithm>

#include "hosting/images.h"

namespace varnobench {

namespace {

const char* const kPhotographs[] = {"astronaut.png", "chelsea.png",        "coffee.png", "hubble_deep_field.jpg",
                                    "rocket.jpg",    "motorcycle_left.png", "retina.jpg", "ihc.png"};

struct Photo {
    int32_t width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

// Bilinear resampling to `height` rows, the width in proportion; 16.16 fixed point, so that every
// build computes the same bytes.
Photo Scale(const varno::Document& d, int32_t height) {
    Photo out;
    out.height = height;
    out.width = std::max(1, int32_t(int64_t(d.width) * height / d.height));
    out.rgb.resize(size_t(out.width) * size_t(out.height) * 3);
    auto at = [&](int32_t x, int32_t y, size_t c) { return int64_t(d.channels8[c][size_t(y) * size_t(d.width) + size_t(x)]); };
    for (int32_t y = 0; y < out.height; ++y) {
        const int64_t sy = std::max<int64_t>(0, ((int64_t(y) * 2 + 1) * d.height * 65536 / (2 * out.height)) - 32768);
        const int32_t y0 = int32_t(std::min<int64_t>(sy >> 16, d.height - 1)), y1 = std::min(y0 + 1, d.height - 1);
        const int64_t fy = sy & 0xffff;
        for (int32_t x = 0; x < out.width; ++x) {
            const int64_t sx = std::max<int64_t>(0, ((int64_t(x) * 2 + 1) * d.width * 65536 / (2 * out.width)) - 32768);
            const int32_t x0 = int32_t(std::min<int64_t>(sx >> 16, d.width - 1)), x1 = std::min(x0 + 1, d.width - 1);
            const int64_t fx = sx & 0xffff;
            for (size_t c = 0; c < 3; ++c) {
                const int64_t top = at(x0, y0, c) * (65536 - fx) + at(x1, y0, c) * fx;
                const int64_t bottom = at(x0, y1, c) * (65536 - fx) + at(x1, y1, c) * fx;
                const int64_t v = (top * (65536 - fy) + bottom * fy + (int64_t(1) << 31)) >> 32;
                out.rgb[(size_t(y) * size_t(out.width) + size_t(x)) * 3 + c] = uint8_t(v);
            }
        }
    }
    return out;
}

}  // namespace

bool MakePhotoMosaic(const std::string& directory, int32_t width, int32_t height, std::vector<uint8_t>* rgb,
                     std::string* error) {
    const int32_t rows = std::min(5, height);
    const int32_t rowHeight = (height + rows - 1) / rows;
    std::vector<Photo> photos;
    for (const char* name : kPhotographs) {
        varno::Document document;
        if (varno::ReadImageFile(directory + "/" + name, &document).empty() && document.mode == 3)
            photos.push_back(Scale(document, rowHeight));
    }
    if (photos.empty()) {
        *error = "no photograph could be read from " + directory + " (Debian's python3-skimage puts them there)";
        return false;
    }
    rgb->assign(size_t(width) * size_t(height) * 3, 0);
    size_t turn = 0;
    for (int32_t top = 0; top < height; top += rowHeight) {
        for (int32_t left = 0; left < width; ++turn) {
            const Photo& photo = photos[turn % photos.size()];
            const bool mirrored = (turn / photos.size()) % 2 == 1;
            const int32_t columns = std::min(photo.width, width - left), lines = std::min(photo.height, height - top);
            for (int32_t y = 0; y < lines; ++y)
                for (int32_t x = 0; x < columns; ++x) {
                    const int32_t from = mirrored ? photo.width - 1 - x : x;
                    const uint8_t* in = &photo.rgb[(size_t(y) * size_t(photo.width) + size_t(from)) * 3];
                    uint8_t* out = &(*rgb)[(size_t(top + y) * size_t(width) + size_t(left + x)) * 3];
                    out[0] = in[0], out[1] = in[1], out[2] = in[2];
                }
            left += columns;
        }
    }
    return true;
}

}  // namespace varnobench

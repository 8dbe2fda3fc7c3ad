// The mosaic of photographs.
#include "bench/mosaic.h"

#include "images/document.h"
#include "images/images.h"

namespace varnobench {

const char* const kPhotoFolder = "/usr/lib/python3/dist-packages/skimage/data";

// Photographs of people, animals, objects, scenes, microscopy and the sky, in colour and in grey;
// the drawings, charts and synthetic test pictures of the same folder are left out.
const char* const kMosaicPhotos[] = {
    "astronaut.png", "camera.png",        "coffee.png",     "coins.png",       "motorcycle_left.png",
    "moon.png",      "chelsea.png",       "grass.png",      "rocket.jpg",      "brick.png",
    "retina.jpg",    "gravel.png",        "hubble_deep_field.jpg", "cell.png", "motorcycle_right.png",
    "clock_motion.png", "ihc.png",        "page.png",       "text.png",
};
const int32_t kMosaicPhotoCount = int32_t(sizeof kMosaicPhotos / sizeof kMosaicPhotos[0]);

namespace {

// Position p of a mirror tiling of n samples: 0 .. n - 1, then n - 1 .. 0, and so on.
int32_t Mirrored(int32_t p, int32_t n) {
    const int32_t period = 2 * n;
    const int32_t q = p % period;
    return q < n ? q : period - 1 - q;
}

// The origin of use `use` of a photograph `extent` pixels long in a cell: spread over what the
// photograph has to spare, 0 when it has none.
int32_t Origin(int32_t use, int32_t extent, uint32_t step) {
    const int32_t spare = extent - kMosaicCell;
    return spare > 0 ? int32_t((uint32_t(use) * step) % uint32_t(spare + 1)) : 0;
}

}  // namespace

std::vector<uint8_t> TileMosaic(const std::vector<Photo>& photos, int32_t width, int32_t height) {
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
    if (photos.empty()) return rgb;
    const int32_t columns = (width + kMosaicCell - 1) / kMosaicCell;
    const int32_t rows = (height + kMosaicCell - 1) / kMosaicCell;
    for (int32_t cellRow = 0; cellRow < rows; ++cellRow) {
        for (int32_t cellColumn = 0; cellColumn < columns; ++cellColumn) {
            const int32_t cell = cellRow * columns + cellColumn;
            const Photo& photo = photos[size_t(cell) % photos.size()];
            const int32_t use = cell / int32_t(photos.size());
            const int32_t left = Origin(use, photo.width, 211u), top = Origin(use, photo.height, 137u);
            for (int32_t y = cellRow * kMosaicCell; y < height && y < (cellRow + 1) * kMosaicCell; ++y) {
                const int32_t py = Mirrored(top + y - cellRow * kMosaicCell, photo.height);
                for (int32_t x = cellColumn * kMosaicCell; x < width && x < (cellColumn + 1) * kMosaicCell; ++x) {
                    const int32_t px = Mirrored(left + x - cellColumn * kMosaicCell, photo.width);
                    const uint8_t* from = &photo.rgb[(size_t(py) * size_t(photo.width) + size_t(px)) * 3];
                    uint8_t* to = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
                    to[0] = from[0];
                    to[1] = from[1];
                    to[2] = from[2];
                }
            }
        }
    }
    return rgb;
}

std::string BuildMosaic(const std::string& folder, int32_t width, int32_t height, std::vector<uint8_t>* rgb) {
    std::vector<Photo> photos;
    for (int32_t i = 0; i < kMosaicPhotoCount; ++i) {
        const std::string path = folder + "/" + kMosaicPhotos[i];
        varno::Document document;
        const std::string error = varno::ReadImageFile(path, &document);
        if (!error.empty()) return path + ": " + error;
        const size_t channels = varno::ChannelCount(document);
        if (document.depth != 8 || (channels != 1 && channels != 3))
            return path + ": not an 8-bit grey or RGB photograph";
        Photo photo;
        photo.width = document.width;
        photo.height = document.height;
        const size_t pixels = size_t(photo.width) * size_t(photo.height);
        photo.rgb.resize(pixels * 3);
        for (size_t p = 0; p < pixels; ++p)
            for (size_t c = 0; c < 3; ++c) photo.rgb[3 * p + c] = document.channels8[channels == 3 ? c : 0][p];
        photos.push_back(std::move(photo));
    }
    *rgb = TileMosaic(photos, width, height);
    return "";
}

}  // namespace varnobench

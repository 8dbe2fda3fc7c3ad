// Fine detail: at every pixel the 3x3 brightness pattern is split over nine fixed masks, and the
// share of its energy that lies in the two straight-edge masks becomes darkness: flat areas white,
// pure edges black. Three passes through the bordered one-plane scratch image "FreiChen" of the
// band skeleton (bands.h): brightness in, edge values in place, back to the image (grey, or the
// brightness of each colour pixel replaced while its two colour differences stay). The per-row
// work is done by the kernels of pattern.h, chosen once per call; the edge value comes from the
// compile-time step tables of fine_detail.h.
#include "edges/bands.h"
#include "edges/kernels/pattern.h"
#include "edges/methods.h"

namespace {

const PatternKernels* Kernels(const Bands& m) { return static_cast<const PatternKernels*>(m.state); }

// Pass 2: edge values over the interior, in place; the border keeps its brightness.
void EdgeShareRow(const Bands& m, const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out) {
    Kernels(m)->fineEdgeShare(above, middle, below, out, m.width);
}

// Pass 3: 255 minus the edge value becomes the grey level, or the brightness of the colour pixel.
void OutputRow(const Bands& m, const uint8_t* edges, uint8_t* pixels) {
    if (m.planes == 3) {
        Kernels(m)->fineOutputRgb(edges, pixels, m.width);
    } else {
        Kernels(m)->fineOutputGrey(edges, pixels, m.width);
    }
}

}  // namespace

int16_t FindEdgesFineDetail(ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    const BandMethod method = {"FreiChen", false, 0, EdgeShareRow, OutputRow, nullptr};
    return RunBandMethod(method, ChoosePatternKernels(), image, progress, flag);
}

// Smoother: the brightness of every pixel becomes an edge value from the largest of three
// directional gradient responses around it; a colour pixel keeps its two colour differences.
//
// Three passes through the bordered scratch image "Kirsch" of the band skeleton (bands.h), so that
// every pixel, the border included, has a full 3x3 neighbourhood:
//   1. image -> scratch: the brightness of every pixel, borders repeated;
//   2. in place on the scratch image, three rows at a time: brightness -> edge value;
//   3. scratch -> image: a colour pixel takes the edge value as its new brightness and keeps its
//      two colour differences, which it still holds, because the image is not touched before
//      pass 3 and pass 3 writes each row only after reading it. The differences are therefore
//      taken from the image row itself rather than carried through the scratch image, which so
//      needs one plane instead of three.
#include <cstring>

#include "edges/bands.h"
#include "edges/kernels/gradient.h"
#include "edges/methods.h"

namespace {

const GradientKernels* Kernels(const Bands& m) { return static_cast<const GradientKernels*>(m.state); }

// Pass 2: pixels 1 .. W get their edge values; the border pixels pass through unchanged.
void KirschRow(const Bands& m, const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out) {
    Kernels(m)->kirschRow(above + 1, middle + 1, below + 1, m.width, out + 1);
}

// Pass 3.
void OutputRow(const Bands& m, const uint8_t* level, uint8_t* pixels) {
    if (m.planes == 3) {
        Kernels(m)->recolourSmootherRow(level, pixels, pixels, m.width);
    } else {
        std::memcpy(pixels, level, size_t(m.width));
    }
}

}  // namespace

int16_t FindEdgesSmoother(ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    const BandMethod method = {"Kirsch", false, 0, KirschRow, OutputRow, nullptr};
    return RunBandMethod(method, ChooseGradientKernels(), image, progress, flag);
}

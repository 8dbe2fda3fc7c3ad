// Traditional: every interior sample of every channel becomes 255 minus the Sobel gradient
// magnitude at that sample (divided by 5 before the square root), in place. The outermost rows and
// columns keep their input values. The method works on the image itself, without a scratch image:
// the band skeleton (bands.h) keeps the input values of the row above and of the row itself, which
// the next rows still need once a row's new values are written.
#include "edges/bands.h"
#include "edges/kernels/gradient.h"
#include "edges/methods.h"

namespace {

// Columns 0 and W - 1 keep their input values (the whole row when W < 3); columns 1 .. W - 2,
// every channel, are one contiguous run of samples.
void SobelRow(const Bands& m, const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out) {
    const GradientKernels* kernels = static_cast<const GradientKernels*>(m.state);
    if (m.width >= 3)
        kernels->sobelRow(above + m.planes, middle + m.planes, below + m.planes, m.planes, m.rowBytes - 2 * m.planes,
                          out + m.planes);
}

}  // namespace

int16_t FindEdgesTraditional(ImageBuffer* image, const ProgressPair* progress, int32_t flag) {
    const BandMethod method = {nullptr, false, 0, SobelRow, nullptr, nullptr};
    return RunBandMethod(method, ChooseGradientKernels(), image, progress, flag);
}

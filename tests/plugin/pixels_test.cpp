// The planes of the working image for each image mode.
#include <gtest/gtest.h>

#include "plugin/pixels.h"

namespace {

TEST(ImageModes, PlanesOfTheWorkingImage) {
    const struct {
        int32_t mode;
        int16_t planes;
    } cases[] = {{1, 1}, {10, 1}, {3, 3}, {11, 3}, {4, 3}, {13, 3}, {9, 3}, {12, 3},
                 {0, 0}, {2, 0},  {5, 0}, {6, 0},  {7, 0}, {8, 0},  {14, 0}, {15, 0}, {16, 0}, {17, 0}};
    for (const auto& c : cases) EXPECT_EQ(PlanesForImageMode(c.mode), c.planes) << "mode " << c.mode;
}

}  // namespace

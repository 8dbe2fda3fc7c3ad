// The compile-time step table of Fine detail against the formula with the C runtime's arc tangent,
// natively only (where that arc tangent is the correctly rounded one the table was built to match):
// every float just around every step, and a dense sweep over all the floats of [0, 1].
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

#include "edges/fine_detail.h"
#include "tests/edges/skinny_fine_reference.h"

namespace {

using edgetest::ReferenceEdgeValueOfShare;

TEST(FineDetailTable, AgreesWithTheFormulaAroundEveryStep) {
    const uint32_t one = std::bit_cast<uint32_t>(1.0f);
    for (int32_t j = 1; j < 256; ++j) {
        const uint32_t step = kEdgeShareSteps.bits[j];
        for (int32_t d = -3; d <= 3; ++d) {
            const int64_t bits = int64_t(step) + d;
            if (bits < 0 || bits > int64_t(one)) continue;
            const float y = std::bit_cast<float>(uint32_t(bits));
            ASSERT_EQ(EdgeShareValue(y), ReferenceEdgeValueOfShare(y)) << "step " << j << " offset " << d;
        }
    }
}

TEST(FineDetailTable, AgreesWithTheFormulaOnADenseSweepOfShares) {
    const uint32_t one = std::bit_cast<uint32_t>(1.0f);
    // A prime stride visits every part of every exponent range; the ends are added.
    for (uint32_t bits = 0; bits <= one; bits += 251) {
        const float y = std::bit_cast<float>(bits);
        ASSERT_EQ(EdgeShareValue(y), ReferenceEdgeValueOfShare(y)) << std::hexfloat << y;
    }
    for (float y : {0.0f, 1.0f, 0.5f, 0.25f, 0.75f})
        ASSERT_EQ(EdgeShareValue(y), ReferenceEdgeValueOfShare(y)) << y;
}

}  // namespace

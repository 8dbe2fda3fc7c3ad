// The last step of Fine detail, from the edge share of a pixel to its edge value, exposed so that
// the tests can hold it against the direct formula.
//
// Contract: y = float(1 - sqrt(Q / T)) lies in [0, 1] (Q is the edge energy, T >= Q the total).
// The edge value is v = trunc(theta x s) clamped to 0..255, with theta = float(pi / 2) when y = 0
// and atan(sqrt(1 - y^2) / y) otherwise, s = float(float(sqrt 2 x 255.99) / float(pi / 2)), all in
// double precision. v is a non-increasing step function of y, so it is computed by looking y up in
// a table of the steps built at compile time: the result is the same in every build, whatever the
// C runtime's arc tangent does in its last bit.
#pragma once

#include <cstdint>

// bits[j], j = 1..255, is the bit pattern of the smallest float y in [0, 1] whose edge value is
// below j (non-increasing in j); bits[0] = 0xFFFFFFFF lies beyond every share.
struct EdgeShareStepTable {
    uint32_t bits[256];
};
extern const EdgeShareStepTable kEdgeShareSteps;

// The edge value of the share y in [0, 1].
int32_t EdgeShareValue(float y);

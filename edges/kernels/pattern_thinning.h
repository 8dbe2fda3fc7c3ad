// The thinning rule of Skinny lines (RemovesEdgePixel, pattern_rules.h, included first) for a group of
// pixels at once, written over the small set of vector operations V that the AVX2 and AVX-512
// pattern files define before including this file (internal linkage: each compiles its own copy).
//
// Contract: RemovedInGroup returns, bit i for pixel x + i (i < V::kLanes), which of the group's
// pixels one sweep removes: exactly those for which RemovesEdgePixel(above, middle, below, x + i)
// holds and whose value is below the background level. Bytes x - 1 .. x + V::kLanes of each row
// must exist. Everything is 16-bit lane arithmetic, and the decision is the scalar one bit for bit:
//
// The scalar rule interpolates across the gradient in double precision, side x (1 - t) + corner x t
// with t = num / den, and removes the pixel when p >= the truncated value on either side. That
// value is A / den for the integer A = side x (den - num) + corner x num, within far less than
// 1 / den (the doubles' roundings are below 10^-12 of values below 256), so it truncates to
// floor(A / den) unless A / den is a whole number k, which the roundings may leave at k or just
// below. Hence with G = (p + 1) x den - A = (p + 1 - side) x den + (side - corner) x num, the
// scalar rule says yes when G > 0 and no when G < 0; G = 0 (p = k - 1) is decided by the scalar
// rule itself, except where t is 0 or 1, when the double arithmetic is exact and says no.
//
// V provides: I (V::kLanes 16-bit lanes) and M (a lane mask: a vector or a mask register), Widen
// (bytes to lanes), Set16, Add16, Sub16, Abs16, Max16, Min16, Gt16 and Eq16 (masks), And, Or,
// AndNot (~a & b) of masks, Count (the count plus one where the mask is set), Select (mask ? b :
// a), Bits (one bit per lane) and Dot (a1 x b1 + a2 x b2 of each lane, saturated to 16 bits).
#pragma once

#include <cstdint>

namespace {

template <class V>
inline __attribute__((always_inline)) uint32_t RemovedInGroup(const uint8_t* above, const uint8_t* middle,
                                                              const uint8_t* below, int32_t x) {
    using I = typename V::I;
    using M = typename V::M;
    static_assert(V::kLanes <= 32, "one bit a lane in 32 bits");
    const I p = V::Widen(middle + x);
    const I nw = V::Widen(above + x - 1), n = V::Widen(above + x), ne = V::Widen(above + x + 1);
    const I w = V::Widen(middle + x - 1), e = V::Widen(middle + x + 1);
    const I sw = V::Widen(below + x - 1), s = V::Widen(below + x), se = V::Widen(below + x + 1);
    // The eight neighbours clockwise, the first repeated at the end to close the ring.
    const I around[9] = {nw, n, ne, e, se, s, sw, w, nw};

    const I lastEdge = V::Set16(229), background = V::Set16(230), white = V::Set16(255);
    M candidates = V::Gt16(background, p);  // edge pixels
    M anyAbove = V::Gt16(around[0], background);
    for (int32_t i = 1; i < 8; ++i) anyAbove = V::Or(anyAbove, V::Gt16(around[i], background));
    candidates = V::And(candidates, anyAbove);
    if (V::Bits(candidates) == 0) return 0;

    I lineToBackground = V::Set16(0), whites = V::Set16(0), darkToLight = V::Set16(0);
    M wasBackground = V::Gt16(around[0], lastEdge), wasLighter = V::Gt16(around[0], p);
    for (int32_t i = 0; i < 8; ++i) {
        const M isBackground = V::Gt16(around[i + 1], lastEdge), isLighter = V::Gt16(around[i + 1], p);
        lineToBackground = V::Count(lineToBackground, V::AndNot(wasBackground, isBackground));
        darkToLight = V::Count(darkToLight, V::AndNot(wasLighter, isLighter));
        whites = V::Count(whites, V::Eq16(around[i], white));
        wasBackground = isBackground;
        wasLighter = isLighter;
    }
    const I two = V::Set16(2);
    candidates = V::And(candidates, V::Gt16(two, lineToBackground));
    candidates = V::And(candidates, V::Gt16(V::Set16(7), whites));
    candidates = V::And(candidates, V::Gt16(two, darkToLight));
    const uint32_t open = V::Bits(candidates);
    if (open == 0) return 0;

    const I gx = V::Sub16(V::Add16(V::Add16(V::Sub16(e, w), V::Sub16(e, w)), V::Add16(ne, se)), V::Add16(nw, sw));
    const I gy = V::Sub16(V::Add16(V::Add16(V::Sub16(s, n), V::Sub16(s, n)), V::Add16(sw, se)), V::Add16(nw, ne));
    const I zero = V::Set16(0);
    const uint32_t flat = V::Bits(V::And(V::Eq16(gx, zero), V::Eq16(gy, zero)));
    const I ax = V::Abs16(gx), ay = V::Abs16(gy);
    // Across a mostly horizontal gradient (|gx| >= |gy|) the rule looks east and west, else south
    // and north; the corner on each side follows the other component's sign.
    const M horizontal = V::Or(V::Gt16(ax, ay), V::Eq16(ax, ay));
    const M gyUp = V::Gt16(gy, V::Set16(-1)), gxUp = V::Gt16(gx, V::Set16(-1));
    const I side1 = V::Select(horizontal, s, e), side2 = V::Select(horizontal, n, w);
    const I corner1 = V::Select(horizontal, V::Select(gxUp, sw, se), V::Select(gyUp, ne, se));
    const I corner2 = V::Select(horizontal, V::Select(gxUp, ne, nw), V::Select(gyUp, sw, nw));
    const I num = V::Min16(ax, ay), den = V::Max16(ax, ay);
    const I next = V::Add16(p, V::Set16(1));
    const I g1 = V::Dot(V::Sub16(next, side1), den, V::Sub16(side1, corner1), num);
    const I g2 = V::Dot(V::Sub16(next, side2), den, V::Sub16(side2, corner2), num);
    const uint32_t yes = V::Bits(V::Or(V::Gt16(g1, zero), V::Gt16(g2, zero)));
    // Whole-number values with 0 < t < 1 on a side that does not already say yes.
    const M between = V::And(V::Gt16(num, zero), V::Gt16(den, num));
    const uint32_t undecided =
        open & ~flat & ~yes & V::Bits(V::And(between, V::Or(V::Eq16(g1, zero), V::Eq16(g2, zero))));
    uint32_t removed = open & (flat | yes);
    for (uint32_t lanes = undecided; lanes != 0; lanes &= lanes - 1) {
        const int32_t i = __builtin_ctz(lanes);
        if (RemovesEdgePixel(above, middle, below, x + i)) removed |= 1u << i;
    }
    return removed;
}

}  // namespace

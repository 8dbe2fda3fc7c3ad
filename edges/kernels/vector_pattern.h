// The width-generic body of the row kernels, last part: Skinny lines' thinning and Fine detail's
// edge share over the vector operations V of vector_rows.h, and the two kernel tables of a level.
//
// Thinning. RemovedInGroup returns, bit i for pixel x + i, which of the group's pixels one sweep
// removes: exactly those for which RemovesEdgePixel(above, middle, below, x + i) (rules.h) holds
// and whose value is below the background level. Everything is 16-bit lane arithmetic, and the
// decision is the scalar one bit for bit: the scalar rule interpolates across the gradient in
// double precision, side x (1 - t) + corner x t with t = num / den, and removes the pixel when
// p >= the truncated value on either side. That value is A / den for the integer
// A = side x (den - num) + corner x num, within far less than 1 / den (the doubles' roundings are
// below 10^-12 of values below 256), so it truncates to floor(A / den) unless A / den is a whole
// number k, which the roundings may leave at k or just below. Hence with
// G = (p + 1) x den - A = (p + 1 - side) x den + (side - corner) x num, the scalar rule says yes
// when G > 0 and no when G < 0; G = 0 (p = k - 1) is decided by the scalar rule itself, except
// where t is 0 or 1, when the double arithmetic is exact and says no.
//
// Edge share. The ratio Q / T is estimated in single precision and its value read from the
// estimate table (fine_detail.h); the few pixels whose estimate lies too near a step get the exact
// double arithmetic of rules.h. The estimate squares F1..F4 in floats (F^2 rounded, the responses
// themselves exact), sums the other five squares exactly in integers (below 2^24 together) and
// rounds at most 11 times, each by at most 2^-24 of a positive quantity: within the 2^-20 that
// the estimate table allows. No fused multiply-add is used, so every level rounds alike.
#pragma once

#include "edges/fine_detail.h"
#include "edges/kernels/pattern.h"
#include "edges/kernels/vector_variable.h"

namespace {

// ---- Skinny lines' thinning ---------------------------------------------------------------------

// a1 x b1 + a2 x b2 of each lane, saturated to 16 bits.
template <class V>
inline KERNEL_INLINE typename V::I Dot(typename V::I a1, typename V::I b1, typename V::I a2, typename V::I b2) {
    const typename V::I low = V::Madd(V::UnpackLo16(a1, a2), V::UnpackLo16(b1, b2));
    return V::Packs32(low, V::Madd(V::UnpackHi16(a1, a2), V::UnpackHi16(b1, b2)));
}

template <class V>
inline KERNEL_INLINE uint32_t RemovedInGroup(const uint8_t* above, const uint8_t* middle, const uint8_t* below,
                                             int32_t x) {
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
    const I g1 = Dot<V>(V::Sub16(next, side1), den, V::Sub16(side1, corner1), num);
    const I g2 = Dot<V>(V::Sub16(next, side2), den, V::Sub16(side2, corner2), num);
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

// One thinning sweep over a row (pattern.h): lanes make background pixels white and keep edge
// pixels, then remove those the rule removes; the columns after the last whole group get the
// per-pixel rule, so that no removal is counted twice.
template <class V>
int32_t LineThinningV(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out, int32_t width,
                      int64_t* removals) {
    using I = typename V::I;
    constexpr uint32_t kAll = uint32_t(uint64_t(1) << V::kLanes) - 1;
    const I background = V::Set16(kBackgroundLevel), white = V::Set16(255);
    int32_t changed = 0;
    int32_t x = 1;
    for (; x + V::kLanes <= width + 1; x += V::kLanes) {
        const I p = V::Widen(middle + x);
        const typename V::M edge = V::Gt16(background, p);
        const uint32_t edges = V::Bits(edge);
        changed |= (edges | V::Bits(V::Eq16(p, white))) != kAll;
        V::Narrow(out + x, V::Select(edge, white, p));
        const uint32_t removed = edges != 0 ? RemovedInGroup<V>(above, middle, below, x) : 0;
        if (removed == 0) continue;
        for (uint32_t open = removed; open != 0; open &= open - 1) out[x + __builtin_ctz(open)] = 255;
        *removals += __builtin_popcount(removed);
        changed = 1;
    }
    changed |= SkinnyThinningColumns(above, middle, below, out, x, width, removals);
    return changed;
}

// ---- Fine detail's edge share -------------------------------------------------------------------

// 58 u + 41 w of each lane pair, and a^2 + b^2, in 32-bit lanes of half a group each (lane order
// of vector_rows.h).
template <class V>
inline KERNEL_INLINE void RootTwoSum(typename V::I u, typename V::I w, typename V::I sums[2]) {
    const typename V::I weights = V::Set32((kSideWeight << 16) | kRootTwoWeight);
    sums[0] = V::Madd(V::UnpackLo16(u, w), weights);
    sums[1] = V::Madd(V::UnpackHi16(u, w), weights);
}

template <class V>
inline KERNEL_INLINE void SquarePairs(typename V::I a, typename V::I b, typename V::I sums[2]) {
    const typename V::I low = V::UnpackLo16(a, b), high = V::UnpackHi16(a, b);
    sums[0] = V::Madd(low, low);
    sums[1] = V::Madd(high, high);
}

template <class V>
inline KERNEL_INLINE typename V::F SquareOf(typename V::I f) {
    const typename V::F v = V::CvtF(f);
    return V::MulF(v, v);
}

// EdgeRatioEstimateValue (fine_detail.h) of estimates f in 32-bit lanes: the values, and in *open
// (all ones) the lanes too near a step to tell.
template <class V>
inline KERNEL_INLINE typename V::I EstimateValues(typename V::F f, typename V::I* open) {
    using I = typename V::I;
    const I bits = V::BitsOfF(f);
    const I top = V::Sub32(V::Srli32(bits, 16), V::Set32(int32_t(kEdgeRatioEstimateFirst) - 1));
    const I entry = V::Gather32(kEdgeRatioEstimateSteps.entry, V::Max32(top, V::Set32(0)));
    const I offset = V::Sub32(V::AndV(bits, V::Set32(0xFFFF)), V::AndV(entry, V::Set32(0xFFFFFF)));
    *open = V::Gt32(V::Set32(kEdgeRatioEstimateMargin + 1), V::Abs32(offset));
    // base, plus 1 beyond the step (the comparison gives -1 there).
    return V::Sub32(V::Srli32(entry, 24), V::Gt32(offset, V::Set32(0)));
}

template <class V>
inline KERNEL_INLINE void EdgeShareGroup(const uint8_t* above, const uint8_t* middle, const uint8_t* below,
                                         uint8_t* out, int32_t x) {
    using I = typename V::I;
    using F = typename V::F;
    const I nw = V::Widen(above + x - 1), n = V::Widen(above + x), ne = V::Widen(above + x + 1);
    const I w = V::Widen(middle + x - 1), p = V::Widen(middle + x), e = V::Widen(middle + x + 1);
    const I sw = V::Widen(below + x - 1), s = V::Widen(below + x), se = V::Widen(below + x + 1);
    // F1 = 58 (S - N) + 41 (SW + SE - NW - NE), and so on: every u and w fits 16 bits.
    I f[4][2], a[2], b[2], c[2];
    RootTwoSum<V>(V::Sub16(s, n), V::Sub16(V::Add16(sw, se), V::Add16(nw, ne)), f[0]);
    RootTwoSum<V>(V::Sub16(e, w), V::Sub16(V::Add16(ne, se), V::Add16(nw, sw)), f[1]);
    RootTwoSum<V>(V::Sub16(ne, sw), V::Sub16(V::Add16(w, s), V::Add16(n, e)), f[2]);
    RootTwoSum<V>(V::Sub16(nw, se), V::Sub16(V::Add16(e, s), V::Add16(n, w)), f[3]);
    const I sides = V::Add16(V::Add16(n, s), V::Add16(e, w));
    const I corners = V::Add16(V::Add16(nw, ne), V::Add16(sw, se));
    const I p4 = V::Slli16(p, 2);
    const I f5 = V::Sub16(V::Add16(n, e), V::Add16(s, w));
    const I f6 = V::Sub16(V::Add16(V::Add16(ne, sw), se), nw);
    const I f7 = V::Sub16(V::Add16(corners, p4), V::Add16(sides, sides));
    const I f8 = V::Sub16(V::Add16(sides, p4), V::Add16(corners, corners));
    const I f9 = V::Add16(V::Add16(sides, corners), p);
    SquarePairs<V>(f9, f5, a);
    SquarePairs<V>(f6, f7, b);
    SquarePairs<V>(f8, V::Set16(0), c);
    const F k = V::SetF(kMaskScale), one = V::SetF(1.0f);
    I values[2], open[2];
    for (int32_t half = 0; half < 2; ++half) {
        const F edge = V::MulF(V::AddF(SquareOf<V>(f[0][half]), SquareOf<V>(f[1][half])), k);
        const F lines = V::MulF(V::AddF(SquareOf<V>(f[2][half]), SquareOf<V>(f[3][half])), k);
        const I others = V::Add32(V::Add32(a[half], b[half]), c[half]);
        // A total that is not 0 is at least F9^2 >= 1; an empty pattern takes 1.
        const F total = V::MaxF(V::AddF(V::AddF(edge, lines), V::CvtF(others)), one);
        values[half] = EstimateValues<V>(V::DivF(edge, total), &open[half]);
    }
    V::Narrow(out + x, V::Packs32(values[0], values[1]));
    uint32_t unsettled = V::Bits(V::Gt16(V::Set16(0), V::Packs32(open[0], open[1])));
    for (; unsettled != 0; unsettled &= unsettled - 1) {
        const int32_t at = x + __builtin_ctz(unsettled);
        out[at] = uint8_t(EdgeRatioValue(EdgeEnergyRatioAt(above, middle, below, at)));
    }
}

template <class V>
void EdgeShareV(const uint8_t* above, const uint8_t* middle, const uint8_t* below, uint8_t* out, int32_t width) {
    if (width < V::kLanes) {
        for (int32_t x = 1; x <= width; ++x) out[x] = uint8_t(EdgeRatioValue(EdgeEnergyRatioAt(above, middle, below, x)));
        return;
    }
    ForEachGroup<V::kLanes>(width, [&](int32_t i) KERNEL_INLINE { EdgeShareGroup<V>(above, middle, below, out, 1 + i); });
}

// ---- the tables of one level ------------------------------------------------------------------

template <class V>
constexpr GradientKernels MakeGradientKernels(int32_t level) {
    GradientKernels k{};
    k.level = level;
    k.sobelRow = SobelRowV<V>;
    k.brightnessRow = GreyRowV<V>;
    k.joinRow = JoinRowV<V>;
    k.kirschRow = KirschRowV<V>;
    k.recolourSmootherRow = RecolourRowV<V, kRecolourEvenD>;
    k.recolourVariableRow = RecolourRowV<V, kRecolourLevel>;
    k.horizontalDifferences = HorizontalDifferencesV<V>;
    k.extremesRow = ExtremesRowV<V>;
    k.peakOfRow[0] = PeakOfRowV<V, 1>;
    k.peakOfRow[1] = PeakOfRowV<V, 2>;
    k.peakOfRow[2] = PeakOfRowV<V, 3>;
    k.shadeRow[0] = ShadeRowV<V, 1>;
    k.shadeRow[1] = ShadeRowV<V, 2>;
    k.shadeRow[2] = ShadeRowV<V, 3>;
    k.sobelValues = SobelValuesV<V>;
    return k;
}

template <class V>
constexpr PatternKernels MakePatternKernels(int32_t level) {
    return PatternKernels{level,
                          GreyOfRgbV<V>,
                          LineGradientV<V>,
                          LineThinningV<V>,
                          LineGreyRow,
                          RecolourInPlaceV<V, kRecolourLine>,
                          EdgeShareV<V>,
                          EdgeGreyRow,
                          RecolourInPlaceV<V, kRecolourEdge>};
}

}  // namespace

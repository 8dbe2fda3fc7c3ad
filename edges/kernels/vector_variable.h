// The width-generic body of the row kernels, second part: the Variable width operator, over the
// vector operations V of vector_rows.h (included first).
//
// The operator in single precision with fused multiply-adds where the processor has them, each
// component a sum of terms (a difference row, or the sum of the two rows at k and -k where their
// weights agree) times a weight. Both inputs of every product are exact in single precision, so a
// component is off by at most (roundings + 2) x 2^-24 x the sum of the terms' largest possible
// sizes (ComponentError), and a shade computed from it by a known amount. Where that cannot
// decide the result, the exact double-precision arithmetic of rules.h decides.
#pragma once

#include "edges/kernels/vector_rows.h"

namespace {


// out[i] = first[i] - second[i], as floats.
template <class V>
void DifferenceRowV(const uint8_t* first, const uint8_t* second, int32_t count, float* out) {
    if (count < V::kLanes) {
        for (int32_t i = 0; i < count; ++i) out[i] = float(first[i] - second[i]);
        return;
    }
    ForEachGroup<V::kLanes>(count, [&](int32_t i) KERNEL_INLINE {
        typename V::F halves[2];
        V::FloatsOf16(V::Sub16(V::Widen(first + i), V::Widen(second + i)), halves);
        V::StoreF(out + i, halves[0]);
        V::StoreF(out + i + V::kFloats, halves[1]);
    });
}

template <class V>
void HorizontalDifferencesV(const uint8_t* grey, int32_t width, int32_t reach, float* const* h) {
    for (int32_t d = 1; d <= reach; ++d) DifferenceRowV<V>(grey + 3 - d, grey + 3 + d, width, h[d - 1]);
}

// One term of a component: the difference row of distance d at offset k (a window row for the
// horizontal component, a column offset for the vertical one), or, where the weights at k and -k
// are equal, the sum of the two rows at k and -k under one weight.
struct EnergyTerm {
    int32_t vertical;
    int32_t d;
    int32_t k;
    int32_t paired;
    float weight;
};

struct EnergyPlan {
    EnergyTerm terms[2][16];  // [0] horizontal, [1] vertical component
    int32_t count[2];
};

template <int32_t R>
constexpr EnergyPlan MakeEnergyPlan() {
    EnergyPlan plan{};
    const VariableWeights& w = kVariableWeights[R - 1];
    for (int32_t c = 0; c < 2; ++c) {
        const float(&table)[3][7] = c == 0 ? w.across : w.down;
        int32_t n = 0;
        for (int32_t d = 1; d <= R; ++d) {
            plan.terms[c][n++] = EnergyTerm{c, d, 0, 0, table[d - 1][3]};
            for (int32_t k = 1; k <= R; ++k) {
                const float plus = table[d - 1][3 + k], minus = table[d - 1][3 - k];
                if (plus == minus) {
                    plan.terms[c][n++] = EnergyTerm{c, d, k, 1, plus};
                } else {
                    plan.terms[c][n++] = EnergyTerm{c, d, k, 0, plus};
                    plan.terms[c][n++] = EnergyTerm{c, d, -k, 0, minus};
                }
            }
        }
        plan.count[c] = n;
    }
    return plan;
}

constexpr EnergyPlan kEnergyPlans[3] = {MakeEnergyPlan<1>(), MakeEnergyPlan<2>(), MakeEnergyPlan<3>()};

// The most a single-precision component of reach R can be off: each of its products and sums
// rounds once (twice without fused multiply-adds), by at most 2^-24 of a partial sum, and no
// partial sum exceeds the sum of |weight| x the largest term (255, or 510 for a pair).
template <int32_t R>
constexpr double ComponentError(int32_t roundingsPerTerm) {
    const EnergyPlan& plan = kEnergyPlans[R - 1];
    double worst = 0.0;
    for (int32_t c = 0; c < 2; ++c) {
        double reach = 0.0;
        for (int32_t j = 0; j < plan.count[c]; ++j)
            reach += double(plan.terms[c][j].weight) * (plan.terms[c][j].paired ? 510.0 : 255.0);
        const double error = double(plan.count[c] * roundingsPerTerm + 2) * reach * 1.01 / 16777216.0;
        if (error > worst) worst = error;
    }
    return worst;
}

// A run of columns of the operator, x = from .. from + count - 1: the window rows' horizontal
// differences (h_d of window row i at across[i] + (d - 1) x stride), and the vertical differences
// g(c, y + d) - g(c, y - d) of the columns c = from - 3 .. from + count + 2 at
// down[d - 1][c - from + 3], made for the run so that they stay in the first-level cache.
constexpr int32_t kVariableTile = 512;

struct VariableTile {
    const float* across[7];
    int32_t stride;
    int32_t from;
    float down[3][kVariableTile + 8];
};

// The term t of the group at x, in two halves of V::kFloats samples: from a tile's difference
// rows, or (the exact small integers again) straight from the window's grey levels.
template <class V>
inline KERNEL_INLINE void LoadTerm(const VariableTile& tile, const EnergyTerm& t, int32_t x, typename V::F term[2]) {
    for (int32_t half = 0; half < 2; ++half) {
        const int32_t at = x + half * V::kFloats;
        if (t.vertical) {
            const float* v = tile.down[t.d - 1] + 3 + (at - tile.from);
            term[half] = t.paired ? V::AddF(V::LoadF(v + t.k), V::LoadF(v - t.k)) : V::LoadF(v + t.k);
        } else {
            const int32_t offset = (t.d - 1) * tile.stride + at;
            const typename V::F plus = V::LoadF(tile.across[3 + t.k] + offset);
            term[half] = t.paired ? V::AddF(plus, V::LoadF(tile.across[3 - t.k] + offset)) : plus;
        }
    }
}

template <class V>
inline KERNEL_INLINE void LoadTerm(const VariableRows& rows, const EnergyTerm& t, int32_t x, typename V::F term[2]) {
    typename V::I value;
    if (t.vertical) {
        const uint8_t* below = rows.grey[3 + t.d] + 3 + x;
        const uint8_t* above = rows.grey[3 - t.d] + 3 + x;
        value = V::Sub16(V::Widen(below + t.k), V::Widen(above + t.k));
        if (t.paired) value = V::Add16(value, V::Sub16(V::Widen(below - t.k), V::Widen(above - t.k)));
    } else {
        const uint8_t* row = rows.grey[3 + t.k] + 3 + x;
        value = V::Sub16(V::Widen(row - t.d), V::Widen(row + t.d));
        if (t.paired) {
            const uint8_t* mirror = rows.grey[3 - t.k] + 3 + x;
            value = V::Add16(value, V::Sub16(V::Widen(mirror - t.d), V::Widen(mirror + t.d)));
        }
    }
    V::FloatsOf16(value, term);
}

// Adds term j and the ones after it of component c to the single-precision sums (two partial
// sums per half, terms alternating, to shorten the chains of dependent additions).
template <class V, int32_t R, int32_t c, int32_t j, class Source>
inline KERNEL_INLINE void AccumulateTerms(const Source& source, int32_t x, typename V::F sums[2][2]) {
    constexpr const EnergyPlan& plan = kEnergyPlans[R - 1];
    if constexpr (j < plan.count[c]) {
        constexpr EnergyTerm t = plan.terms[c][j];
        typename V::F term[2];
        LoadTerm<V>(source, t, x, term);
        const typename V::F w = V::SetF(t.weight);
        for (int32_t half = 0; half < 2; ++half) sums[j % 2][half] = V::FmaF(term[half], w, sums[j % 2][half]);
        AccumulateTerms<V, R, c, j + 1>(source, x, sums);
    }
}

// Q of the group in single precision, by half.
template <class V, int32_t R, class Source>
inline KERNEL_INLINE void ApproximateEnergy(const Source& source, int32_t x, typename V::F q[2]) {
    typename V::F g[2][2][2];  // [component][partial][half]
    for (auto& component : g)
        for (auto& partial : component) partial[0] = partial[1] = V::SetF(0.0f);
    AccumulateTerms<V, R, 0, 0>(source, x, g[0]);
    AccumulateTerms<V, R, 1, 0>(source, x, g[1]);
    for (int32_t half = 0; half < 2; ++half) {
        const typename V::F h = V::AddF(g[0][0][half], g[0][1][half]);
        const typename V::F v = V::AddF(g[1][0][half], g[1][1][half]);
        q[half] = V::AddF(V::MulF(h, h), V::MulF(v, v));
    }
}

// The samples of the group whose terms are all zero, so that Q is exactly 0 (bit i: sample i).
template <class V, int32_t R, int32_t c, int32_t j>
inline KERNEL_INLINE void OrTerms(const VariableTile& tile, int32_t x, typename V::F bits[2]) {
    constexpr const EnergyPlan& plan = kEnergyPlans[R - 1];
    if constexpr (j < plan.count[c]) {
        typename V::F term[2];
        LoadTerm<V>(tile, plan.terms[c][j], x, term);
        bits[0] = V::OrF(bits[0], term[0]);
        bits[1] = V::OrF(bits[1], term[1]);
        OrTerms<V, R, c, j + 1>(tile, x, bits);
    }
}

template <class V, int32_t R>
inline uint32_t FlatSamples(const VariableTile& tile, int32_t x) {
    typename V::F bits[2] = {V::SetF(0.0f), V::SetF(0.0f)};
    OrTerms<V, R, 0, 0>(tile, x, bits);
    OrTerms<V, R, 1, 0>(tile, x, bits);
    // An OR of terms that are all +0 or -0 compares equal to 0; any other bit makes it non-zero.
    return V::MaskEqF(bits[0], V::SetF(0.0f)) | (V::MaskEqF(bits[1], V::SetF(0.0f)) << V::kFloats);
}

// Runs group(tile, x) over the row in runs of kVariableTile columns (a short last run moves back
// to end at the row's end), the vertical differences of each run made first; width >= kLanes.
template <class V, int32_t R, class Group>
inline void ForEachTileGroup(const VariableRows& rows, int32_t width, Group group) {
    VariableTile tile;
    for (int32_t i = 0; i < 7; ++i) tile.across[i] = rows.across[i];
    tile.stride = rows.stride;
    for (int32_t from = 0; from < width; from += kVariableTile) {
        int32_t count = width - from < kVariableTile ? width - from : kVariableTile;
        if (count < V::kLanes) {
            from = width - V::kLanes;
            count = V::kLanes;
        }
        tile.from = from;
        for (int32_t d = 1; d <= R; ++d)
            DifferenceRowV<V>(rows.grey[3 + d] + from, rows.grey[3 - d] + from, count + 6, tile.down[d - 1]);
        ForEachGroup<V::kLanes>(count, [&](int32_t i) KERNEL_INLINE { group(tile, from + i); });
    }
}

// most[x] and least[x]: the largest and smallest of the padded grey levels grey[x .. x + 6], the
// seven around pixel x.
template <class V>
void ExtremesRowV(const uint8_t* grey, int32_t width, uint8_t* most, uint8_t* least) {
    if (width < V::kLanes) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t high = grey[x], low = grey[x];
            for (int32_t i = 1; i < 7; ++i) {
                high = grey[x + i] > high ? grey[x + i] : high;
                low = grey[x + i] < low ? grey[x + i] : low;
            }
            most[x] = high;
            least[x] = low;
        }
        return;
    }
    ForEachGroup<V::kLanes>(width, [&](int32_t x) KERNEL_INLINE {
        typename V::I high = V::Widen(grey + x), low = high;
        for (int32_t i = 1; i < 7; ++i) {
            const typename V::I g = V::Widen(grey + x + i);
            high = V::Max16(high, g);
            low = V::Min16(low, g);
        }
        V::Narrow(most + x, high);
        V::Narrow(least + x, low);
    });
}

// sqrt(Wh^2 + Wv^2), Wh and Wv the sums of all weights of each component: every difference the
// operator takes lies within the grey range of the 7 x 7 window, so M <= this x that range.
template <int32_t R>
double WeightNorm() {
    const VariableWeights& w = kVariableWeights[R - 1];
    double across = 0.0, down = 0.0;
    for (int32_t d = 0; d < R; ++d) {
        for (int32_t k = 0; k < 7; ++k) {
            across += double(w.across[d][k]);
            down += double(w.down[d][k]);
        }
    }
    return std::sqrt(across * across + down * down);
}

// Pass 1: the larger of `best` and the largest exact Q of the row. A sample can beat the largest Q
// so far only where the grey range of its window exceeds sqrt(best) / WeightNorm, and where its
// single-precision Q reaches ((sqrt(best) - sqrt 2 x error) (1 - 2^-20))^2, which allows for the
// components' error and the few roundings of Q itself; only such samples are computed exactly.
// The first test is cheap and settles most groups of an ordinary picture.
template <class V, int32_t R>
double PeakOfRowV(const VariableRows* rows, int32_t width, double best) {
    if (width < V::kLanes) {
        for (int32_t x = 0; x < width; ++x) {
            const double q = VariableEnergy<R>(*rows, x);
            if (q > best) best = q;
        }
        return best;
    }
    const double slack = 1.4143 * ComponentError<R>(V::kRoundingsPerTerm);
    const double norm = WeightNorm<R>() * (1.0 + 1.0 / 1048576.0);
    int16_t limit = 0;
    float floor = 0.0f;
    auto raise = [&](double q) {
        best = q;
        const double root = std::sqrt(best);
        const double range = std::floor(root / norm);
        limit = int16_t(range < 255.0 ? range : 255.0);
        const double margin = (root - slack) * (1.0 - 1.0 / 1048576.0);
        floor = margin > 0.0 ? float(margin * margin) : 0.0f;
    };
    raise(best);
    ForEachGroup<V::kLanes>(width, [&](int32_t x) KERNEL_INLINE {
        typename V::I high = V::Widen(rows->most[0] + x), low = V::Widen(rows->least[0] + x);
        for (int32_t i = 1; i < 7; ++i) {
            high = V::Max16(high, V::Widen(rows->most[i] + x));
            low = V::Min16(low, V::Widen(rows->least[i] + x));
        }
        uint32_t candidates = V::Bits(V::Gt16(V::Sub16(high, low), V::Set16(limit)));
        if (candidates == 0) return;
        typename V::F q[2];
        ApproximateEnergy<V, R>(*rows, x, q);
        const typename V::F bound = V::SetF(floor);
        candidates &= V::MaskGeF(q[0], bound) | (V::MaskGeF(q[1], bound) << V::kFloats);
        for (; candidates != 0; candidates &= candidates - 1) {
            const double exact = VariableEnergy<R>(*rows, x + __builtin_ctz(candidates));
            if (exact > best) raise(exact);
        }
    });
    return best;
}

// Pass 2: v = 255 - sqrt(Q) x scale in single precision is within
// 1.01 x scale x sqrt 2 x error + 1e-4 of the double-precision value (the components' error, and
// a few roundings of values below 256), so where v - margin and v + margin truncate to the same
// integer (margin at least 2^-10) that integer is the shade; Q = 0 (v = 255) counts only for
// samples whose terms are all zero. The other samples, about one in 500 for an image of ordinary
// contrast, are shaded again in double precision.
template <class V, int32_t R>
void ShadeRowV(const VariableRows* rows, int32_t width, float peak, uint8_t* out) {
    if (width < V::kLanes) {
        for (int32_t x = 0; x < width; ++x) out[x] = VariableShade(VariableEnergy<R>(*rows, x), peak);
        return;
    }
    const double scale = 255.0 / double(peak);
    const double margin = 1.01 * scale * 1.4143 * ComponentError<R>(V::kRoundingsPerTerm) + 1.0e-4;
    const typename V::F scaleF = V::SetF(float(scale));
    const typename V::F marginF = V::SetF(float(margin > 1.0 / 1024.0 ? margin : 1.0 / 1024.0));
    ForEachTileGroup<V, R>(*rows, width, [&](const VariableTile& tile, int32_t x) KERNEL_INLINE {
        typename V::F q[2];
        ApproximateEnergy<V, R>(tile, x, q);
        typename V::I shade[2];
        uint32_t unsure = 0, zero = 0;
        for (int32_t half = 0; half < 2; ++half) {
            const typename V::F v = V::SubF(V::SetF(255.0f), V::MulF(V::SqrtF(q[half]), scaleF));
            const typename V::I low = V::CvttI(V::SubF(v, marginF)), high = V::CvttI(V::AddF(v, marginF));
            unsure |= (~V::MaskEq32(low, high) & ((1u << V::kFloats) - 1)) << (half * V::kFloats);
            zero |= V::MaskEqF(q[half], V::SetF(0.0f)) << (half * V::kFloats);
            shade[half] = V::CvttI(v);
        }
        V::Narrow(out + x, V::Pack32(shade[0], shade[1]));
        if (zero != 0) unsure = (unsure & ~zero) | (zero & ~FlatSamples<V, R>(tile, x));
        for (; unsure != 0; unsure &= unsure - 1) {
            const int32_t i = x + __builtin_ctz(unsure);
            out[i] = VariableShade(VariableEnergy<R>(*rows, i), peak);
        }
    });
}

}  // namespace

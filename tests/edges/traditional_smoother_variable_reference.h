// Plain whole-image reference versions of the Traditional, Smoother and Variable width methods:
// every output pixel computed straight from the input image with clamped coordinates, no rings,
// no scratch image, no in-place tricks. The methods must produce exactly these bytes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tests/edges/edge_test_support.h"

namespace edgetest {

inline int32_t ClampInt(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

// Largest m with m * m <= s, by counting.
inline int32_t CountingSqrt(int32_t s) {
    int32_t m = 0;
    while ((m + 1) * (m + 1) <= s) ++m;
    return m;
}

inline Image ReferenceTraditional(const Image& in) {
    Image out = in;
    for (int32_t y = 1; y + 1 < in.height; ++y) {
        for (int32_t x = 1; x + 1 < in.width; ++x) {
            for (int32_t c = 0; c < in.planes; ++c) {
                auto v = [&](int32_t dx, int32_t dy) { return int32_t(in.at(x + dx, y + dy, c)); };
                const int32_t gx = v(1, -1) + 2 * v(1, 0) + v(1, 1) - v(-1, -1) - 2 * v(-1, 0) - v(-1, 1);
                const int32_t gy = v(-1, -1) + 2 * v(0, -1) + v(1, -1) - v(-1, 1) - 2 * v(0, 1) - v(1, 1);
                const int32_t m = CountingSqrt((gx * gx + gy * gy) / 5);
                out.at(x, y, c) = uint8_t(m <= 254 ? 255 - m : 0);
            }
        }
    }
    return out;
}

inline Image ReferenceSmoother(const Image& in) {
    const int32_t w = in.width, h = in.height;
    Image out = in;
    if (w == 0 || h == 0) return out;
    std::vector<int32_t> bright(size_t(w) * size_t(h)), diff1(bright.size()), diff2(bright.size());
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            if (in.planes == 1) {
                bright[i] = in.at(x, y);
                continue;
            }
            const int32_t r = in.at(x, y, 0), g = in.at(x, y, 1), b = in.at(x, y, 2);
            bright[i] = (r + g + b + 1) / 3;
            diff1[i] = (r - g) / 2 + 128;
            diff2[i] = ((r + g) / 2 - b) / 2 + 128;
        }
    }
    auto at = [&](int32_t x, int32_t y) {
        return bright[size_t(ClampInt(y, 0, h - 1)) * size_t(w) + size_t(ClampInt(x, 0, w - 1))];
    };
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const int32_t nw = at(x - 1, y - 1), n = at(x, y - 1), ne = at(x + 1, y - 1);
            const int32_t we = at(x - 1, y), e = at(x + 1, y);
            const int32_t sw = at(x - 1, y + 1), s = at(x, y + 1), se = at(x + 1, y + 1);
            const int32_t responses[3] = {(ne + 2 * e + se) - (nw + 2 * we + sw),
                                          (e + 2 * se + s) - (n + 2 * nw + we),
                                          (sw + 2 * s + se) - (nw + 2 * n + ne)};
            int32_t m = 0;
            for (int32_t k : responses) m = std::max(m, k < 0 ? -k : k);
            const int32_t edge = m > 509 ? 0 : (510 - m) / 2;
            if (in.planes == 1) {
                out.at(x, y) = uint8_t(edge);
                continue;
            }
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            const int32_t u = 2 * diff1[i] - 256, t = 2 * diff2[i] - 256;
            out.at(x, y, 0) = uint8_t(ClampInt(edge + t / 3 + u / 2, 0, 255));
            out.at(x, y, 1) = uint8_t(ClampInt(edge - u / 2 + t / 3, 0, 255));
            out.at(x, y, 2) = uint8_t(ClampInt(edge - (2 * t) / 3, 0, 255));
        }
    }
    return out;
}

// Weights of the reach-r operator, w[d - 1][k + r], horizontal and vertical component.
struct ReferenceWeights {
    std::vector<std::vector<float>> across, down;
};

inline ReferenceWeights ReferenceWeightsFor(int32_t reach) {
    if (reach == 1) return {{{0.776f, 1.0f, 0.776f}}, {{0.776f, 1.0f, 0.776f}}};
    if (reach == 2)
        return {{{0.364f, 0.562f, 1.0f, 0.562f, 0.364f}, {0.267f, 0.373f, 0.464f, 0.373f, 0.267f}},
                {{0.364f, 0.562f, 1.0f, 0.562f, 0.364f}, {0.267f, 0.373f, 0.463f, 0.373f, 0.267f}}};
    const std::vector<std::vector<float>> w = {{0.283f, 0.348f, 0.579f, 1.0f, 0.579f, 0.348f, 0.283f},
                                               {0.24f, 0.213f, 0.354f, 0.463f, 0.354f, 0.213f, 0.14f},
                                               {0.073f, 0.104f, 0.165f, 0.195f, 0.165f, 0.104f, 0.073f}};
    return {w, w};
}

// Grey levels of the whole image, then M for every output row 3 .. H - 1 (columns and rows beyond
// the image clamped to the nearest one), the peak over them, the shading, rows 0..2 copied from 3.
inline Image ReferenceVariableWidth(const Image& in, int32_t reach) {
    const int32_t w = in.width, h = in.height;
    Image out = in;
    if (h <= 3 || w == 0) return out;
    std::vector<int32_t> grey(size_t(w) * size_t(h));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            grey[size_t(y) * size_t(w) + size_t(x)] =
                in.planes == 1 ? in.at(x, y) : (in.at(x, y, 0) + in.at(x, y, 1) + in.at(x, y, 2) + 1) / 3;
    auto v = [&](int32_t x, int32_t y) {
        return grey[size_t(ClampInt(y, 0, h - 1)) * size_t(w) + size_t(ClampInt(x, 0, w - 1))];
    };
    const ReferenceWeights weights = ReferenceWeightsFor(reach);
    std::vector<double> magnitude(grey.size(), 0.0);
    float peak = -1.0e20f;
    for (int32_t y = 3; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            // k outermost here (the method sums d outermost): the sums are exact either way.
            double gh = 0.0, gv = 0.0;
            for (int32_t k = -reach; k <= reach; ++k) {
                for (int32_t d = 1; d <= reach; ++d) {
                    gh += double(weights.across[d - 1][k + reach]) * (v(x - d, y + k) - v(x + d, y + k));
                    gv += double(weights.down[d - 1][k + reach]) * (v(x + k, y + d) - v(x + k, y - d));
                }
            }
            const double m = std::sqrt(gh * gh + gv * gv);
            magnitude[size_t(y) * size_t(w) + size_t(x)] = m;
            if (m > peak) peak = float(m);
        }
    }
    for (int32_t y = 3; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            int32_t c = 255;
            if (peak > 0.0f) {
                const double shade = 255.0 - magnitude[size_t(y) * size_t(w) + size_t(x)] * 255.0 / double(peak);
                c = shade < 0.0 ? 0 : int32_t(shade);
            }
            if (in.planes == 1) {
                out.at(x, y) = uint8_t(c);
                continue;
            }
            const int32_t r = in.at(x, y, 0), g = in.at(x, y, 1), b = in.at(x, y, 2);
            const int32_t d = (r + g) / 2 - b, e = (r - g) / 2;
            out.at(x, y, 0) = uint8_t(ClampInt(c + d / 3 + e, 0, 255));
            out.at(x, y, 1) = uint8_t(ClampInt(c + d / 3 - e, 0, 255));
            out.at(x, y, 2) = uint8_t(ClampInt(c - (2 * d) / 3, 0, 255));
        }
    }
    for (int32_t y = 0; y < 3; ++y)
        for (int32_t x = 0; x < w; ++x)
            for (int32_t c = 0; c < in.planes; ++c) out.at(x, y, c) = out.at(x, 3, c);
    return out;
}

}  // namespace edgetest

// Plain whole-image reference versions of the Skinny lines and Fine detail methods: whole padded
// pictures held in vectors, each stage computed from a complete copy of the previous one, no
// rings, no scratch buffer, no in-place tricks. The methods must produce exactly these bytes.
// Skinny lines is split into its stages so that the thinning can also be tried on hand-made
// gradient pictures that no image produces.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "tests/edges/edge_test_support.h"

namespace edgetest {

// A picture of (width + 2) x (height + 2) values: image pixel (x, y) at (x + 1, y + 1).
struct Padded {
    int32_t width = 0;  // of the image, without the border
    int32_t height = 0;
    std::vector<int32_t> v;

    int32_t& at(int32_t px, int32_t py) { return v[size_t(py) * size_t(width + 2) + size_t(px)]; }
    int32_t at(int32_t px, int32_t py) const { return v[size_t(py) * size_t(width + 2) + size_t(px)]; }
};

inline int32_t ReferenceClamp(int32_t v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

inline int32_t ReferenceGrey(const Image& in, int32_t x, int32_t y) {
    if (in.planes != 3) return in.at(x, y);
    return (in.at(x, y, 0) + in.at(x, y, 1) + in.at(x, y, 2) + 1) / 3;
}

// Grey levels with the border repeating the nearest image pixel.
inline Padded ReferenceBorderedGrey(const Image& in) {
    Padded p;
    p.width = in.width;
    p.height = in.height;
    p.v.assign(size_t(in.width + 2) * size_t(in.height + 2), 0);
    for (int32_t py = 0; py < in.height + 2; ++py) {
        for (int32_t px = 0; px < in.width + 2; ++px) {
            const int32_t x = px == 0 ? 0 : px > in.width ? in.width - 1 : px - 1;
            const int32_t y = py == 0 ? 0 : py > in.height ? in.height - 1 : py - 1;
            p.at(px, py) = ReferenceGrey(in, x, y);
        }
    }
    return p;
}

// ---- Skinny lines -----------------------------------------------------------------------------

// The interior becomes 255 minus the Sobel magnitude; the border keeps its grey levels.
inline Padded ReferenceSkinnyGradient(const Padded& grey) {
    Padded g = grey;
    for (int32_t py = 1; py <= grey.height; ++py) {
        for (int32_t px = 1; px <= grey.width; ++px) {
            auto v = [&](int32_t dx, int32_t dy) { return grey.at(px + dx, py + dy); };
            const int32_t gx = v(1, -1) + 2 * v(1, 0) + v(1, 1) - v(-1, -1) - 2 * v(-1, 0) - v(-1, 1);
            const int32_t gy = v(-1, -1) + 2 * v(0, -1) + v(1, -1) - v(-1, 1) - 2 * v(0, 1) - v(1, 1);
            const int32_t s = (gx * gx + gy * gy) / 5;
            int32_t m = 0;
            while ((m + 1) * (m + 1) <= s) ++m;
            g.at(px, py) = m <= 254 ? 255 - m : 0;
        }
    }
    return g;
}

// The thinning stage on a whole picture; returns the number of sweeps that ran.
inline int32_t ReferenceSkinnyThinning(Padded& picture) {
    // Clockwise from the north-west corner.
    static const int32_t kDx[8] = {-1, 0, 1, 1, 1, 0, -1, -1};
    static const int32_t kDy[8] = {-1, -1, -1, 0, 1, 1, 1, 0};
    int64_t removed = 0;
    int32_t sweeps = 0;
    do {
        const Padded before = picture;
        for (int32_t py = 1; py <= picture.height; ++py) {
            for (int32_t px = 1; px <= picture.width; ++px) {
                const int32_t p = before.at(px, py);
                if (p >= 230) {
                    picture.at(px, py) = 255;
                    continue;
                }
                int32_t nb[8];
                for (int32_t i = 0; i < 8; ++i) nb[i] = before.at(px + kDx[i], py + kDy[i]);
                auto next = [&](int32_t i) { return nb[(i + 1) % 8]; };

                int32_t brighterThan230 = 0, lineExits = 0, whites = 0, rises = 0;
                for (int32_t i = 0; i < 8; ++i) {
                    brighterThan230 += nb[i] > 230;
                    lineExits += nb[i] < 230 && next(i) >= 230;
                    whites += nb[i] == 255;
                    rises += nb[i] <= p && next(i) > p;
                }
                if (brighterThan230 == 0 || lineExits > 1 || whites >= 7 || rises > 1) continue;

                auto v = [&](int32_t dx, int32_t dy) { return before.at(px + dx, py + dy); };
                const int32_t gx = 2 * (v(1, 0) - v(-1, 0)) + v(1, -1) + v(1, 1) - v(-1, -1) - v(-1, 1);
                const int32_t gy = 2 * (v(0, 1) - v(0, -1)) + v(-1, 1) + v(1, 1) - v(-1, -1) - v(1, -1);
                bool remove = gx == 0 && gy == 0;
                if (!remove) {
                    double a, b;
                    if (std::abs(gx) >= std::abs(gy)) {
                        const double t = double(std::abs(gy)) / double(std::abs(gx));
                        const int32_t ca = gy >= 0 ? v(1, 1) : v(1, -1);
                        const int32_t cb = gy >= 0 ? v(-1, -1) : v(-1, 1);
                        a = v(1, 0) * (1.0 - t) + ca * t;
                        b = v(-1, 0) * (1.0 - t) + cb * t;
                    } else {
                        const double t = double(std::abs(gx)) / double(std::abs(gy));
                        const int32_t ca = gx >= 0 ? v(1, 1) : v(-1, 1);
                        const int32_t cb = gx >= 0 ? v(-1, -1) : v(1, -1);
                        a = v(0, 1) * (1.0 - t) + ca * t;
                        b = v(0, -1) * (1.0 - t) + cb * t;
                    }
                    remove = p >= int32_t(std::trunc(a)) || p >= int32_t(std::trunc(b));
                }
                if (remove) {
                    picture.at(px, py) = 255;
                    ++removed;
                }
            }
        }
        ++sweeps;
    } while (removed != 0 && sweeps < 10);
    return sweeps;
}

inline Image ReferenceSkinnyOutput(const Image& in, const Padded& thinned) {
    Image out = in;
    for (int32_t y = 0; y < in.height; ++y) {
        for (int32_t x = 0; x < in.width; ++x) {
            const int32_t c = thinned.at(x + 1, y + 1);
            if (in.planes != 3) {
                out.at(x, y) = uint8_t(c < 230 ? c : 255);
                continue;
            }
            if (c >= 230) {
                out.at(x, y, 0) = out.at(x, y, 1) = out.at(x, y, 2) = 255;
                continue;
            }
            const int32_t r = in.at(x, y, 0), g = in.at(x, y, 1), b = in.at(x, y, 2);
            const int32_t d = (r + g) / 2 - b;
            const int32_t e = (r - g) / 2;
            out.at(x, y, 0) = uint8_t(ReferenceClamp(c + d / 3 + e));
            out.at(x, y, 1) = uint8_t(ReferenceClamp(c + d / 3 - e));
            out.at(x, y, 2) = uint8_t(ReferenceClamp(c - (2 * d) / 3));
        }
    }
    return out;
}

inline Image ReferenceSkinnyLines(const Image& in, int32_t* sweeps = nullptr) {
    if (in.width == 0 || in.height == 0) return in;
    Padded picture = ReferenceSkinnyGradient(ReferenceBorderedGrey(in));
    const int32_t ran = ReferenceSkinnyThinning(picture);
    if (sweeps) *sweeps = ran;
    return ReferenceSkinnyOutput(in, picture);
}

// ---- Fine detail ------------------------------------------------------------------------------

// The edge value of a share y by the formula, with the C runtime's arc tangent.
inline int32_t ReferenceEdgeValueOfShare(float y) {
    const float halfPi = float(3.14159265358979323846 / 2);
    const float scale = float(float(std::sqrt(2.0) * 255.99) / halfPi);
    const double theta = y == 0.0f ? double(halfPi) : std::atan(std::sqrt(1.0 - double(y) * double(y)) / double(y));
    const double v = std::trunc(theta * double(scale));
    return v < 0.0 ? 0 : v > 255.0 ? 255 : int32_t(v);
}

// The edge value (0..255) at the padded pixel (px, py) of a brightness picture.
inline int32_t ReferenceFineDetailValue(const Padded& bright, int32_t px, int32_t py) {
    auto v = [&](int32_t dx, int32_t dy) { return bright.at(px + dx, py + dy); };
    const int32_t nw = v(-1, -1), n = v(0, -1), ne = v(1, -1);
    const int32_t w = v(-1, 0), p = v(0, 0), e = v(1, 0);
    const int32_t sw = v(-1, 1), s = v(0, 1), se = v(1, 1);
    // 41 and 58 stand for 1 and the square root of 2.
    const int32_t f1 = 58 * s + 41 * (sw + se) - 58 * n - 41 * (nw + ne);
    const int32_t f2 = 58 * e + 41 * (ne + se) - 58 * w - 41 * (nw + sw);
    const int32_t f3 = 58 * ne + 41 * (w + s) - 58 * sw - 41 * (n + e);
    const int32_t f4 = 58 * nw + 41 * (e + s) - 58 * se - 41 * (n + w);
    const int32_t f5 = n + e - s - w;
    const int32_t f6 = ne + sw + se - nw;
    const int32_t f7 = (nw + ne + sw + se) + 4 * p - 2 * (n + s + e + w);
    const int32_t f8 = (n + s + e + w) + 4 * p - 2 * (nw + ne + sw + se);
    const int32_t f9 = nw + n + ne + w + p + e + sw + s + se;
    const double k = double(1.0f / 1681.0f);
    auto sq = [](int32_t f) { return double(int64_t(f) * int64_t(f)); };
    const double q = sq(f1) * k + sq(f2) * k;
    double t = q + sq(f3) * k + sq(f4) * k + sq(f9) + sq(f5) + sq(f6) + sq(f7) + sq(f8);
    if (t == 0.0) t = 1.0;
    return ReferenceEdgeValueOfShare(float(1.0 - std::sqrt(q / t)));
}

inline Image ReferenceFineDetail(const Image& in) {
    if (in.width == 0 || in.height == 0) return in;
    const Padded bright = ReferenceBorderedGrey(in);
    Image out = in;
    for (int32_t y = 0; y < in.height; ++y) {
        for (int32_t x = 0; x < in.width; ++x) {
            const int32_t level = 255 - ReferenceFineDetailValue(bright, x + 1, y + 1);
            if (in.planes != 3) {
                out.at(x, y) = uint8_t(level);
                continue;
            }
            const int32_t r = in.at(x, y, 0), g = in.at(x, y, 1), b = in.at(x, y, 2);
            const int32_t u = r - g, t = (r + g) / 2 - b;
            out.at(x, y, 0) = uint8_t(ReferenceClamp(level + t / 3 + u / 2));
            out.at(x, y, 1) = uint8_t(ReferenceClamp(level - u / 2 + t / 3));
            out.at(x, y, 2) = uint8_t(ReferenceClamp(level - (2 * t) / 3));
        }
    }
    return out;
}

}  // namespace edgetest

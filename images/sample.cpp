// The sample landscape and the test documents drawn from it, in integers only.
#include "images/sample.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace varno {

namespace {

struct Rgb {
    int32_t r, g, b;
};

uint32_t Hash(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

// A triangle wave of `period` units between -amplitude and +amplitude.
int32_t Tri(int32_t u, int32_t period, int32_t amplitude) {
    const int32_t p = ((u % period) + period) % period;
    const int32_t half = period / 2;
    const int32_t d = p < half ? p : period - p;
    return (d * 2 - half) * amplitude / half;
}

// t = 0 gives a, t = 256 gives b.
Rgb Mix(Rgb a, Rgb b, int32_t t) {
    t = std::clamp(t, 0, 256);
    return {a.r + (b.r - a.r) * t / 256, a.g + (b.g - a.g) * t / 256, a.b + (b.b - a.b) * t / 256};
}

int32_t Ramp(int32_t value, int32_t range) { return std::clamp(value * 256 / range, 0, 256); }

int64_t Square(int64_t v) { return v * v; }

Rgb Landscape(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t seed) {
    const int32_t u = int32_t(int64_t(x) * 1024 / width);
    const int32_t v = int32_t(int64_t(y) * 1024 / height);
    const uint32_t n = Hash(x, y, seed);
    const int64_t side = std::min(width, height);

    Rgb c = Mix({38, 86, 168}, {206, 222, 238}, Ramp(v, 600));

    // Sun with its glow, round in pixels.
    const int64_t sx = int64_t(width) * 76 / 100, sy = int64_t(height) * 18 / 100, sr = side * 7 / 100 + 1;
    const int64_t d2 = Square(x - sx) + Square(y - sy);
    if (d2 <= sr * sr) {
        c = {255, 244, 214};
    } else if (d2 <= 4 * sr * sr) {
        c = Mix(c, {255, 236, 190}, int32_t((4 * sr * sr - d2) * 192 / (3 * sr * sr)));
    }

    // Two clouds, each a few soft overlapping puffs.
    static const int32_t puffs[][4] = {{170, 150, 60, 28}, {235, 132, 72, 40}, {300, 152, 62, 26},
                                       {520, 232, 48, 20}, {570, 220, 56, 26}, {615, 236, 40, 16}};
    int32_t cloud = 0;
    for (const auto& p : puffs) {
        const int64_t e = Square(u - p[0]) * 1024 / (p[2] * p[2]) + Square(v - p[1]) * 1024 / (p[3] * p[3]);
        if (e < 1024) cloud = std::max(cloud, int32_t((1024 - e) * 3 / 4));
    }
    if (cloud > 0) c = Mix(c, {246, 246, 250}, std::min(cloud, 236) + int32_t(n % 12));

    // Mountains, snow on the high ridges.
    const int32_t ridge = 470 + Tri(u + int32_t(seed % 97), 310, 70) + Tri(u * 3 + 11, 170, 22) + int32_t(Hash(u, 0, seed) % 9);
    if (v >= ridge) {
        c = Mix({92, 104, 130}, {124, 130, 146}, Ramp(v - ridge, 200));
        if (ridge < 440 && v < ridge + 20) c = Mix(c, {236, 238, 244}, 200);
    }

    // Rolling hills with grass texture.
    const int32_t hill = 600 + int32_t(Square(u - 520) / 1800) - Tri(u, 410, 25);
    if (v >= hill) {
        c = Mix({70, 128, 52}, {40, 92, 34}, Ramp(v - hill, 300));
        c.g += int32_t((n >> 8) % 41) - 20;
        c.r += int32_t((n >> 16) % 21) - 10;
        if (((u + v * 2) / 9) % 5 == 0) c = Mix(c, {30, 60, 24}, 60);
    }

    // A sandy path from the door to the bottom edge.
    if (v >= 720) {
        const int32_t centre = 290 + (v - 720) * 130 / 304;
        const int32_t half = 8 + (v - 720) * 100 / 304;
        if (std::abs(u - centre) < half) {
            c = {196, 170, 128};
            c.r += int32_t(n % 23) - 11;
            c.g += int32_t(n % 23) - 11;
            c.b += int32_t((n >> 5) % 17) - 8;
        }
    }

    // The house: brick walls, a roof, a door and two windows.
    if (u >= 210 && u < 370 && v >= 560 && v < 720) {
        const int32_t course = (v - 560) / 16;
        const bool mortar = (v - 560) % 16 < 2 || ((u - 210) + (course % 2) * 12) % 24 < 2;
        c = mortar ? Rgb{200, 190, 180} : Rgb{168, 74, 56};
        if (u >= 275 && u < 305 && v >= 650) c = {88, 56, 36};
        for (int32_t left : {225, 320}) {
            if (u >= left && u < left + 35 && v >= 590 && v < 630) {
                const bool frame = u < left + 3 || u >= left + 32 || v < 593 || v >= 627 || (u >= left + 16 && u < left + 19);
                c = frame ? Rgb{240, 240, 230} : Rgb{226, 214, 140};
            }
        }
    }
    if (v >= 470 && v < 560 && std::abs(u - 290) <= (v - 470) * 100 / 90) {
        c = v % 10 < 2 ? Rgb{54, 38, 36} : Rgb{74, 52, 50};
    }

    // A tree: trunk and a leafy canopy, round in pixels.
    if (u >= 640 && u < 668 && v >= 600 && v < 760) c = {92, 64, 40};
    const int64_t tx = int64_t(width) * 655 / 1024, ty = int64_t(height) * 560 / 1024, tr = side * 11 / 100 + 1;
    if (Square(x - tx) + Square(y - ty) <= tr * tr) {
        c = Mix({46, 110, 40}, {84, 150, 60}, int32_t((n >> 4) % 257));
        if ((n >> 20) % 7 == 0) c = Mix(c, {20, 50, 18}, 150);
    }

    // Sensor noise and a soft vignette.
    c.r += int32_t(n & 15) - 8;
    c.g += int32_t((n >> 8) & 15) - 8;
    c.b += int32_t((n >> 16) & 15) - 8;
    const int64_t dx = x - width / 2, dy = y - height / 2;
    const int64_t quarterW = std::max<int64_t>(1, Square(width) / 4), quarterH = std::max<int64_t>(1, Square(height) / 4);
    const int64_t spread = dx * dx * 1024 / quarterW + dy * dy * 1024 / quarterH;
    const int32_t factor = 256 - int32_t(spread * 40 / 2048);
    c = {c.r * factor / 256, c.g * factor / 256, c.b * factor / 256};
    return {std::clamp(c.r, 0, 255), std::clamp(c.g, 0, 255), std::clamp(c.b, 0, 255)};
}

uint16_t Widen(uint8_t v, uint32_t noise) {
    const uint32_t n = noise & 127;
    return uint16_t(v < 128 ? v * 257u + n : v * 257u - n);
}

}  // namespace

std::vector<uint8_t> DrawSample(int32_t width, int32_t height, uint32_t seed) {
    const size_t pixels = size_t(width) * size_t(height);
    std::vector<uint8_t> sharp(pixels * 3);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const Rgb c = Landscape(x, y, width, height, seed);
            uint8_t* p = &sharp[(size_t(y) * size_t(width) + size_t(x)) * 3];
            p[0] = uint8_t(c.r), p[1] = uint8_t(c.g), p[2] = uint8_t(c.b);
        }
    // Soften once, as a lens would: a 3x3 box with the edge pixels repeated.
    std::vector<uint8_t> soft(pixels * 3);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (int32_t k = 0; k < 3; ++k) {
                int32_t sum = 0;
                for (int32_t dy = -1; dy <= 1; ++dy)
                    for (int32_t dx = -1; dx <= 1; ++dx) {
                        const int32_t yy = std::clamp(y + dy, 0, height - 1), xx = std::clamp(x + dx, 0, width - 1);
                        sum += sharp[(size_t(yy) * size_t(width) + size_t(xx)) * 3 + size_t(k)];
                    }
                soft[(size_t(y) * size_t(width) + size_t(x)) * 3 + size_t(k)] = uint8_t((sum + 4) / 9);
            }
    return soft;
}

Document MakeTestDocument(int32_t mode, int32_t width, int32_t height, uint32_t seed) {
    const std::vector<uint8_t> rgb = DrawSample(width, height, seed);
    const size_t pixels = size_t(width) * size_t(height);
    std::vector<std::vector<uint8_t>> planes;
    auto plane = [&](auto value) {
        std::vector<uint8_t> out(pixels);
        for (size_t i = 0; i < pixels; ++i) out[i] = uint8_t(value(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]));
        planes.push_back(std::move(out));
    };
    auto grey = [](int32_t r, int32_t g, int32_t b) { return (77 * r + 150 * g + 29 * b + 128) >> 8; };
    auto red = [](int32_t r, int32_t, int32_t) { return r; };
    auto green = [](int32_t, int32_t g, int32_t) { return g; };
    auto blue = [](int32_t, int32_t, int32_t b) { return b; };
    // Inks of the RGB picture, stored as the API has them: 255 means no ink.
    auto ink = [](int32_t v, int32_t r, int32_t g, int32_t b) {
        const int32_t top = std::max({r, g, b});
        return top == 0 ? 255 : 255 - (top - v) * 255 / top;
    };

    const int32_t count = mode == 7 || mode == 14 ? 3 : ChannelCountForMode(mode);
    if (mode == 4 || mode == 13) {
        plane([&](int32_t r, int32_t g, int32_t b) { return ink(r, r, g, b); });
        plane([&](int32_t r, int32_t g, int32_t b) { return ink(g, r, g, b); });
        plane([&](int32_t r, int32_t g, int32_t b) { return ink(b, r, g, b); });
        plane([](int32_t r, int32_t g, int32_t b) { return std::max({r, g, b}); });
    } else if (mode == 9 || mode == 12) {
        plane(grey);
        plane([](int32_t r, int32_t g, int32_t) { return 128 + (r - g) / 2; });
        plane([](int32_t, int32_t g, int32_t b) { return 128 + (g - b) / 2; });
    } else if (count == 1) {
        plane(grey);
    } else {
        plane(red);
        plane(green);
        plane(blue);
    }

    Document document;
    std::string error;
    if (DepthForMode(mode) == 16) {
        std::vector<std::vector<uint16_t>> wide;
        for (size_t c = 0; c < planes.size(); ++c) {
            std::vector<uint16_t> out(pixels);
            for (size_t i = 0; i < pixels; ++i) out[i] = Widen(planes[c][i], Hash(int32_t(i), int32_t(c), seed));
            wide.push_back(std::move(out));
        }
        MakeDocument(mode, width, height, std::move(wide), &document, &error);
    } else {
        MakeDocument8(mode, width, height, std::move(planes), &document, &error);
    }
    return document;
}

std::vector<uint8_t> MakeTestSelection(int32_t width, int32_t height) {
    std::vector<uint8_t> selection(size_t(width) * size_t(height));
    const int64_t cx = width / 2, cy = height / 2;
    const int64_t rx = std::max<int64_t>(1, width * 2 / 5), ry = std::max<int64_t>(1, height * 2 / 5);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            // 1024 on the ellipse, 0 at its centre.
            const int64_t e = Square(x - cx) * 1024 / (rx * rx) + Square(y - cy) * 1024 / (ry * ry);
            const int64_t value = e <= 700 ? 255 : e >= 1024 ? 0 : (1024 - e) * 255 / 324;
            selection[size_t(y) * size_t(width) + size_t(x)] = uint8_t(value);
        }
    return selection;
}

uint64_t Fnv1a64(const uint8_t* bytes, size_t size) {
    uint64_t hash = 1469598103934665603ull;
    for (size_t i = 0; i < size; ++i) {
        hash ^= bytes[i];
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace varno

// Image files in and out of the host, the never-half-written rule, and the generated pictures.
#include <gtest/gtest.h>

#include <filesystem>

#include "images/codecs.h"
#include "images/images.h"
#include "images/sample.h"
#include "tests/host/host_fixture.h"
#include "tests/images/picture_files.h"

namespace {

using hosttest::Bytes;
using hosttest::DriveC;

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

// A small picture's samples: channel c of pixel i, of `bits` bits.
uint32_t Value(size_t c, size_t i, uint32_t bits) { return uint32_t(i * 37 + c * 91 + 11) * (bits == 16 ? 251u : 1u) % (1u << bits); }

struct Expected {
    int32_t mode, width, height;
    std::vector<std::vector<uint16_t>> channels;  // at the document's depth
};

std::string Read(const DriveC& drive, const std::string& name, const Bytes& bytes, varno::Document* document) {
    const std::string path = drive.Temp(name);
    hosttest::WriteBytes(path, bytes);
    return varno::ReadImageFile(path, document);
}

void ExpectDocument(const varno::Document& d, const Expected& e, const std::string& what) {
    EXPECT_EQ(d.mode, e.mode) << what;
    ASSERT_EQ(d.width, e.width) << what;
    ASSERT_EQ(d.height, e.height) << what;
    ASSERT_EQ(varno::ChannelCount(d), e.channels.size()) << what;
    for (size_t c = 0; c < e.channels.size(); ++c)
        for (size_t i = 0; i < e.channels[c].size(); ++i)
            ASSERT_EQ(varno::SampleAt(d, c, i), e.channels[c][i]) << what << ": channel " << c << ", pixel " << i;
}

// The Compression tag of a little-endian TIFF's first directory (1, none, when absent).
uint32_t TiffCompression(const std::vector<uint8_t>& b) {
    auto at = [&](size_t i, size_t n) {
        uint32_t v = 0;
        for (size_t k = n; k-- > 0;) v = v << 8 | (i + k < b.size() ? b[i + k] : 0u);
        return v;
    };
    for (size_t ifd = at(4, 4), e = 0; e < at(ifd, 2); ++e)
        if (at(ifd + 2 + 12 * e, 2) == 259) return at(ifd + 10 + 12 * e, 2);
    return 1;
}

TEST(ImageFiles, GreyAndColourRoundTripThroughPngBmpAndTiff) {
    DriveC drive;
    const int32_t width = 13, height = 7;
    const std::vector<uint8_t> rgb = varno::DrawSample(width, height, 5);
    std::vector<uint8_t> grey(size_t(width * height));
    for (size_t i = 0; i < grey.size(); ++i) grey[i] = rgb[3 * i + 1];
    for (const char* name : {"picture.png", "picture.BMP", "picture.tif", "picture.TIFF"}) {
        for (int32_t channels : {1, 3}) {
            const std::string path = drive.Temp(std::to_string(channels) + name);
            const std::vector<uint8_t>& pixels = channels == 1 ? grey : rgb;
            std::vector<uint8_t> bytes;
            ASSERT_EQ(varno::EncodeImage(path, width, height, channels, pixels.data(), &bytes), "");
            ASSERT_EQ(varno::WriteFileAtomically(path, bytes), "");
            // (The Windows builds ask WIC for Deflate; wine's encoder stores the rows uncompressed.)
            if (!kWindows && (path.find(".tif") != std::string::npos || path.find(".TIF") != std::string::npos)) {
                EXPECT_EQ(TiffCompression(bytes), 8u) << path << ": Deflate";
            }
            varno::Document document;
            ASSERT_EQ(varno::ReadImageFile(path, &document), "") << path;
            const size_t stored = size_t(channels);
            EXPECT_EQ(document.mode, stored == 1 ? 1 : 3);
            EXPECT_EQ(document.width, width);
            EXPECT_EQ(document.height, height);
            ASSERT_EQ(varno::ChannelCount(document), stored);
            for (size_t i = 0; i < size_t(width * height); ++i)
                for (size_t c = 0; c < stored; ++c)
                    ASSERT_EQ(varno::SampleAt(document, c, i), pixels[i * size_t(channels) + (channels == 1 ? 0 : c)]) << path << " " << i;
        }
    }
}

TEST(ImageFiles, PngOfEveryKind) {
    DriveC drive;
    const uint32_t w = 11, h = 9;
    const size_t n = w * h;
    auto plane = [&](size_t c, uint32_t bits) {
        std::vector<uint16_t> p(n);
        for (size_t i = 0; i < n; ++i) p[i] = uint16_t(Value(c, i, bits));
        return p;
    };
    // Rows of `channels` interleaved samples of `bits` bits (8 or 16) or packed small samples.
    auto rows = [&](const std::vector<std::vector<uint16_t>>& planes, uint32_t bits) {
        std::vector<Bytes> out(h);
        for (uint32_t y = 0; y < h; ++y) {
            uint32_t acc = 0, filled = 0;
            for (uint32_t x = 0; x < w; ++x)
                for (const auto& p : planes) {
                    const uint16_t v = p[y * w + x];
                    if (bits == 16) out[y].insert(out[y].end(), {uint8_t(v >> 8), uint8_t(v)});
                    else if (bits == 8) out[y].push_back(uint8_t(v));
                    else for (acc = acc << bits | v, filled += bits; filled >= 8; filled -= 8) out[y].push_back(uint8_t(acc >> (filled - 8)));
                }
            if (filled) out[y].push_back(uint8_t(acc << (8 - filled)));
        }
        return out;
    };
    const auto grey = plane(0, 8), grey16 = plane(0, 16), bits1 = plane(0, 1), bits2 = plane(0, 2);
    const auto red = plane(0, 8), green = plane(1, 8), blue = plane(2, 8), alpha = plane(3, 8);
    std::vector<uint16_t> expanded1(n), paletteRed(n), paletteGreen(n), paletteBlue(n), greyPalette(n);
    const uint8_t colours[4][3] = {{10, 20, 30}, {200, 100, 0}, {0, 255, 7}, {90, 90, 91}};
    for (size_t i = 0; i < n; ++i) {
        expanded1[i] = uint16_t(bits1[i] * 255);
        paletteRed[i] = colours[bits2[i]][0], paletteGreen[i] = colours[bits2[i]][1], paletteBlue[i] = colours[bits2[i]][2];
        greyPalette[i] = uint16_t(bits2[i] * 60);
    }
    const Bytes colourMap = {10, 20, 30, 200, 100, 0, 0, 255, 7, 90, 90, 91}, greyMap = {0, 0, 0, 60, 60, 60, 120, 120, 120, 180, 180, 180};
    struct Case {
        const char* what;
        Bytes file;
        Expected expected;
    };
    const Case cases[] = {
        {"grey", hosttest::PngFile(w, h, 8, 0, rows({grey}, 8)), {1, w, h, {grey}}},
        {"grey, interlaced", hosttest::PngFile(w, h, 8, 0, hosttest::PngPasses(Bytes(grey.begin(), grey.end()), w, h), true), {1, w, h, {grey}}},
        {"grey, 16-bit", hosttest::PngFile(w, h, 16, 0, rows({grey16}, 16)), {10, w, h, {grey16}}},
        {"grey, 1-bit", hosttest::PngFile(w, h, 1, 0, rows({bits1}, 1)), {1, w, h, {expanded1}}},
        {"RGB", hosttest::PngFile(w, h, 8, 2, rows({red, green, blue}, 8)), {3, w, h, {red, green, blue}}},
        {"RGB with alpha", hosttest::PngFile(w, h, 8, 6, rows({red, green, blue, alpha}, 8)), {3, w, h, {red, green, blue}}},
        {"palette, 2-bit", hosttest::PngFile(w, h, 2, 3, rows({bits2}, 2), false, {{"PLTE", colourMap}}),
         {3, w, h, {paletteRed, paletteGreen, paletteBlue}}},
        {"palette of greys", hosttest::PngFile(w, h, 2, 3, rows({bits2}, 2), false, {{"PLTE", greyMap}}), {1, w, h, {greyPalette}}},
    };
    for (const Case& c : cases) {
        varno::Document document;
        ASSERT_EQ(Read(drive, "kind.png", c.file, &document), "") << c.what;
        ExpectDocument(document, c.expected, c.what);
    }
}

TEST(ImageFiles, BmpOfEveryKind) {
    DriveC drive;
    const int32_t w = 5, h = 3;
    const size_t n = size_t(w * h);
    std::vector<uint16_t> r(n), g(n), b(n), index(n), grey(n);
    const uint32_t palette[4] = {0x102030, 0xc86400, 0x00ff07, 0x5a5a5b};
    for (size_t i = 0; i < n; ++i) {
        r[i] = uint16_t(Value(0, i, 8)), g[i] = uint16_t(Value(1, i, 8)), b[i] = uint16_t(Value(2, i, 8));
        index[i] = uint16_t(Value(0, i, 2));
        grey[i] = uint16_t(index[i] * 60);
    }
    // Rows as stored: bottom-up unless topDown, each padded to four bytes.
    auto stored = [&](int bits, bool topDown, auto pixel) {
        const size_t stride = (size_t(w) * size_t(bits) + 31) / 32 * 4;
        Bytes out;
        for (int32_t k = 0; k < h; ++k) {
            const int32_t y = topDown ? k : h - 1 - k;
            Bytes row(stride, 0);
            for (int32_t x = 0; x < w; ++x) {
                const size_t i = size_t(y * w + x), bit = size_t(x) * size_t(bits);
                const uint32_t v = pixel(i);
                if (bits < 8) row[bit / 8] = uint8_t(row[bit / 8] | v << (8 - bits - bit % 8));
                else for (int k2 = 0; k2 < bits / 8; ++k2) row[bit / 8 + size_t(k2)] = uint8_t(v >> (8 * k2));
            }
            out.insert(out.end(), row.begin(), row.end());
        }
        return out;
    };
    auto bgr = [&](size_t i) { return uint32_t(r[i]) << 16 | uint32_t(g[i]) << 8 | b[i]; };
    // 5-6-5 and 10-10-10 masks keep the top bits of each sample; reading scales them back to 8 bits.
    auto scaled = [](uint16_t v, int bits) { const uint32_t top = (1u << bits) - 1, kept = v >> (8 - std::min(bits, 8)); return uint16_t(bits > 8 ? v : (kept * 255 + top / 2) / top); };
    std::vector<uint16_t> r5(n), g6(n), b5(n), r10(n), g10(n), b10(n);
    for (size_t i = 0; i < n; ++i) {
        r5[i] = scaled(r[i], 5), g6[i] = scaled(g[i], 6), b5[i] = scaled(b[i], 5);
        const uint32_t top = 1023;
        r10[i] = uint16_t((uint32_t(r[i]) * 4 * 255 + top / 2) / top), g10[i] = uint16_t((uint32_t(g[i]) * 4 * 255 + top / 2) / top);
        b10[i] = uint16_t((uint32_t(b[i]) * 4 * 255 + top / 2) / top);
    }
    auto layout = [&](uint32_t infoSize, uint16_t bits, uint32_t compression, bool topDown, Bytes pixels) {
        hosttest::BmpLayout s;
        s.infoSize = infoSize, s.width = w, s.height = topDown ? -h : h, s.bitCount = bits, s.compression = compression;
        s.pixels = std::move(pixels);
        return s;
    };
    hosttest::BmpLayout colour8 = layout(40, 8, 0, false, stored(8, false, [&](size_t i) { return uint32_t(index[i]); }));
    colour8.palette.assign(palette, palette + 4), colour8.colours = 4;
    hosttest::BmpLayout grey4 = layout(40, 4, 0, true, stored(4, true, [&](size_t i) { return uint32_t(index[i]); }));
    grey4.palette = {0, 0x3c3c3c, 0x787878, 0xb4b4b4}, grey4.colours = 4;
    hosttest::BmpLayout rgb565 = layout(40, 16, 3, false, stored(16, false, [&](size_t i) { return uint32_t(r[i] >> 3 << 11 | g[i] >> 2 << 5 | b[i] >> 3); }));
    rgb565.masks = {0xf800, 0x07e0, 0x001f};
    hosttest::BmpLayout rgb10 = layout(124, 32, 3, true, stored(32, true, [&](size_t i) { return uint32_t(r[i]) << 22 | uint32_t(g[i]) << 12 | uint32_t(b[i]) << 2; }));
    rgb10.masks = {0x3ff00000, 0x000ffc00, 0x000003ff};
    std::vector<uint16_t> pr(n), pg(n), pb(n), r555(n), g555(n), b555(n);
    for (size_t i = 0; i < n; ++i) {
        pr[i] = uint16_t(palette[index[i]] >> 16), pg[i] = uint16_t(palette[index[i]] >> 8 & 255), pb[i] = uint16_t(palette[index[i]] & 255);
        r555[i] = scaled(r[i], 5), g555[i] = scaled(g[i], 5), b555[i] = scaled(b[i], 5);
    }
    struct Case {
        const char* what;
        hosttest::BmpLayout layout;
        Expected expected;
    };
    const Case cases[] = {
        {"24-bit", layout(40, 24, 0, false, stored(24, false, bgr)), {3, w, h, {r, g, b}}},
        {"24-bit, top-down", layout(40, 24, 0, true, stored(24, true, bgr)), {3, w, h, {r, g, b}}},
        {"24-bit, OS/2 header", layout(12, 24, 0, false, stored(24, false, bgr)), {3, w, h, {r, g, b}}},
        {"32-bit", layout(108, 32, 0, false, stored(32, false, bgr)), {3, w, h, {r, g, b}}},
        {"16-bit, 5-5-5", layout(40, 16, 0, false, stored(16, false, [&](size_t i) { return uint32_t(r[i] >> 3 << 10 | g[i] >> 3 << 5 | b[i] >> 3); })),
         {3, w, h, {r555, g555, b555}}},
        {"16-bit, 5-6-5 masks", rgb565, {3, w, h, {r5, g6, b5}}},
        {"32-bit, 10-10-10 masks, top-down", rgb10, {3, w, h, {r10, g10, b10}}},
        {"8-bit palette", colour8, {3, w, h, {pr, pg, pb}}},
        {"4-bit grey palette, top-down", grey4, {1, w, h, {grey}}},
    };
    for (const Case& c : cases) {
        varno::Document document;
        const std::string error = Read(drive, "kind.bmp", hosttest::BmpFile(c.layout), &document);
        ASSERT_EQ(error, "") << c.what;
        ExpectDocument(document, c.expected, c.what);
    }
}

TEST(ImageFiles, TiffOfEveryKind) {
    DriveC drive;
    const uint32_t w = 6, h = 4;
    const size_t n = w * h;
    struct Case {
        const char* what;
        uint16_t bits, samples, photometric;
        int32_t mode;
        bool paletted = false, tiled = false;
        bool windows = true;  // the Windows build's codecs read it
        bool padded = false;  // Deflate strips of 3 rows, the last (of 1) filled up to 3 with 7s, as some writers do
    };
    const Case cases[] = {
        {"grey", 8, 1, 1, 1},           {"grey, 16-bit", 16, 1, 1, 10},       {"RGB", 8, 3, 2, 3},
        {"RGB, 16-bit", 16, 3, 2, 11},  {"CMYK", 8, 4, 5, 4},                 {"CMYK, 16-bit", 16, 4, 5, 13},
        {"white is zero, 1-bit", 1, 1, 0, 1}, {"palette, 4-bit", 4, 1, 3, 3, true}, {"RGB in a tile", 8, 3, 2, 3, false, true},
        {"grey, Deflate, the last strip filled up", 8, 1, 1, 1, false, false, true, true},
    };
    for (const Case& c : cases) {
        hosttest::TiffLayout layout;
        layout.width = w, layout.height = h, layout.bits = c.bits, layout.samples = c.samples, layout.photometric = c.photometric;
        const uint32_t columns = c.tiled ? 16 : w, lines = c.tiled ? 16 : h;
        if (c.tiled) layout.tileWidth = layout.tileHeight = 16;
        std::vector<std::vector<uint16_t>> expected(c.paletted ? 3 : c.photometric == 5 ? 4 : c.samples == 1 ? 1 : 3, std::vector<uint16_t>(n));
        if (c.paletted)
            for (uint32_t i = 0; i < 16; ++i)
                for (uint32_t k = 0; k < 3; ++k) layout.colourMap.push_back(uint16_t((i * 4099 + k * 20000) % 65536));
        const size_t rowBytes = (size_t(columns) * c.samples * c.bits + 7) / 8;
        layout.pixels.assign(rowBytes * lines, 0);
        for (uint32_t y = 0; y < h; ++y)
            for (uint32_t x = 0; x < w; ++x)
                for (uint32_t s = 0; s < c.samples; ++s) {
                    const size_t i = y * w + x, bit = (size_t(x) * c.samples + s) * c.bits;
                    const uint32_t v = Value(s, i, c.bits);
                    uint8_t* at = &layout.pixels[y * rowBytes + bit / 8];
                    if (c.bits == 16) at[0] = uint8_t(v), at[1] = uint8_t(v >> 8);
                    else *at = uint8_t(*at | v << (8 - c.bits - bit % 8));
                    const uint32_t full = (1u << c.bits) - 1;
                    if (c.paletted) {
                        for (uint32_t k = 0; k < 3; ++k) expected[k][i] = uint16_t(layout.colourMap[k * 16 + v] >> 8);
                    } else if (c.photometric == 0) {
                        expected[s][i] = uint16_t((full - v) * 255);
                    } else {
                        expected[s][i] = uint16_t(c.photometric == 5 ? full - v : v);  // inks: full means none
                    }
                }
        if (c.paletted) {  // the colour map holds all reds, then greens, then blues
            std::vector<uint16_t> map(48);
            for (uint32_t i = 0; i < 16; ++i)
                for (uint32_t k = 0; k < 3; ++k) map[k * 16 + i] = layout.colourMap[i * 3 + k];
            layout.colourMap = map;
            for (size_t i = 0; i < n; ++i)
                for (uint32_t k = 0; k < 3; ++k) expected[k][i] = uint16_t(map[k * 16 + Value(0, i, 4)] >> 8);
        }
        if (c.padded) {
            Bytes last(layout.pixels.begin() + 3 * w, layout.pixels.end());
            last.resize(3 * w, 7), layout.pixels.resize(3 * w);
            const Bytes one = hosttest::Stored(layout.pixels), two = hosttest::Stored(last);
            layout.pixels = one, layout.pixels.insert(layout.pixels.end(), two.begin(), two.end());
            layout.compression = 8, layout.rowsPerStrip = 3, layout.blocks = {{0, uint32_t(one.size())}, {uint32_t(one.size()), uint32_t(two.size())}};
        }
        varno::Document document;
        const std::string error = Read(drive, "kind.tif", hosttest::TiffFile(layout), &document);
        if (kWindows && !c.windows) {
            EXPECT_NE(error, "") << c.what << ": read by the Windows build now; say so in the README";
            continue;
        }
        ASSERT_EQ(error, "") << c.what;
        ExpectDocument(document, {c.mode, int32_t(w), int32_t(h), expected}, c.what);
    }
}

TEST(ImageFiles, DamagedAndOversizedFilesAreRefusedInOneLine) {
    DriveC drive;
    for (const hosttest::DamagedFile& f : hosttest::DamagedFiles()) {
        varno::Document document;
        document.mode = 77;
        const std::string error = Read(drive, f.name, f.bytes, &document);
        EXPECT_NE(error, "") << f.what;
        EXPECT_EQ(error.find('\n'), std::string::npos) << f.what;
        if (kWindows || f.message.empty()) {
            std::printf("%s: %s\n", f.what.c_str(), error.c_str());
        } else if (!f.message.empty()) {
            EXPECT_EQ(error, f.message) << f.what;
        }
        EXPECT_EQ(document.mode, 77) << f.what;
        // The Windows builds' outline checks refuse what cannot fill its picture too.
        const uint8_t* b = f.bytes.data();
        const std::string outline = varno::CheckTiffOutline(b, f.bytes.size(), {});  // every file: none may upset it
        EXPECT_TRUE(f.message.find("the TIFF's") >= 8 || outline != "") << f.what;
        EXPECT_TRUE(f.message.find(": Fax") == std::string::npos || outline != "") << f.what;
        const bool bound = f.message.rfind("the PNG's", 0) == 0 && f.message.find("cannot hold") != std::string::npos;
        EXPECT_TRUE(!bound || varno::CheckPngOutline(b, f.bytes.size(), {}) == f.message) << f.what;
    }
}

TEST(ImageFiles, FailuresSayWhyAndLeaveTheDocumentAlone) {
    DriveC drive;
    const std::string text = drive.Temp("notes.txt");
    hosttest::WriteBytes(text, {'h', 'e', 'l', 'l', 'o'});
    varno::Document document;
    document.mode = 77;
    EXPECT_EQ(varno::ReadImageFile(drive.Temp("absent.png"), &document), "file not found");
    EXPECT_EQ(varno::ReadImageFile(text, &document), "not an image varno can read (PNG, JPEG, BMP or TIFF)");
    EXPECT_EQ(document.mode, 77);

    std::vector<uint8_t> bytes;
    const uint8_t pixel[3] = {1, 2, 3};
    EXPECT_NE(varno::EncodeImage(drive.Temp("out.gif"), 1, 1, 3, pixel, &bytes), "");
    EXPECT_NE(varno::EncodeImage(drive.Temp("out"), 1, 1, 3, pixel, &bytes), "");
    EXPECT_NE(varno::EncodeImage(drive.Temp("out.png"), 1, 1, 2, pixel, &bytes), "");
    EXPECT_TRUE(bytes.empty());
}

TEST(ImageFiles, AnOutputIsReplacedWholeOrNotAtAll) {
    DriveC drive;
    const std::string path = drive.Temp("out.png");
    hosttest::WriteBytes(path, {9, 9, 9});
    ASSERT_EQ(varno::WriteFileAtomically(path, {1, 2, 3, 4}), "");
    EXPECT_EQ(hosttest::ReadBytes(path), (std::vector<uint8_t>{1, 2, 3, 4}));
    // A directory that does not exist: nothing is created, and no temporary file is left over.
    const std::string nowhere = drive.Temp("missing/out.png");
    EXPECT_NE(varno::WriteFileAtomically(nowhere, {1}), "");
    EXPECT_FALSE(hosttest::Exists(nowhere));
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
        files += entry.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1u);
}

TEST(Sample, IsTheSamePictureInEveryBuild) {
    // Hashes of the native build; the Windows builds must draw the same bytes.
    EXPECT_EQ(hosttest::Hash(varno::DrawSample(640, 427, 1)), 0x096c6e8871dee887ull);
    EXPECT_EQ(hosttest::Hash(varno::DrawSample(31, 17, 9)), 0x9388c35f3eb685e2ull);
    EXPECT_EQ(hosttest::Hash(varno::MakeTestSelection(31, 17)), 0xf497e145897a8b3eull);
}

TEST(Sample, HasTheShapesOfALandscape) {
    const int32_t w = 200, h = 150;
    const std::vector<uint8_t> rgb = varno::DrawSample(w, h, 1);
    auto at = [&](int32_t x, int32_t y, int32_t c) { return int(rgb[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)]); };
    // Blue sky at the top, green grass low on the right, a bright sun, a red brick wall.
    EXPECT_GT(at(20, 5, 2), at(20, 5, 0) + 60);
    EXPECT_GT(at(190, 140, 1), at(190, 140, 2) + 30);
    EXPECT_GT(at(w * 76 / 100, h * 18 / 100, 0), 220);
    EXPECT_GT(at(w * 235 / 1024, h * 680 / 1024, 0), at(w * 235 / 1024, h * 680 / 1024, 2) + 30);
    // Degenerate sizes draw without trouble.
    EXPECT_EQ(varno::DrawSample(1, 1, 0).size(), 3u);
    EXPECT_EQ(varno::DrawSample(1, 9, 0).size(), 27u);
}

TEST(Sample, SixteenBitDocumentsReduceToTheirEightBitKin) {
    const int32_t pairs[][2] = {{1, 10}, {3, 11}, {9, 12}, {4, 13}};
    for (const auto& pair : pairs) {
        const varno::Document narrow = varno::MakeTestDocument(pair[0], 23, 11, 3);
        const varno::Document wide = varno::MakeTestDocument(pair[1], 23, 11, 3);
        ASSERT_EQ(wide.depth, 16);
        ASSERT_EQ(narrow.depth, 8);
        ASSERT_EQ(narrow.channels8.size(), wide.channels16.size());
        bool noisy = false;
        for (size_t c = 0; c < wide.channels16.size(); ++c)
            for (size_t i = 0; i < wide.channels16[c].size(); ++i) {
                ASSERT_EQ(varno::ReduceTo8(wide.channels16[c][i]), narrow.channels8[c][i]) << pair[1];
                noisy = noisy || wide.channels16[c][i] != narrow.channels8[c][i] * 257;
            }
        EXPECT_TRUE(noisy) << "the 16-bit samples should carry bits below the 8-bit ones";
    }
}

TEST(Sample, DocumentsForEveryModeTheHostHolds) {
    for (int32_t mode = 0; mode <= 15; ++mode) {
        const varno::Document d = varno::MakeTestDocument(mode, 9, 4, 1);
        EXPECT_EQ(d.mode, mode);
        EXPECT_EQ(d.width, 9);
        EXPECT_EQ(varno::ChannelCount(d), mode == 7 || mode == 14 ? 3u : size_t(varno::ChannelCountForMode(mode)));
    }
}

#ifndef _WIN32  // PackBits and YCbCr are not among the TIFFs WIC reads under wine
// PackBits runs across rows, and RGB and YCbCr (no colour: red is Y) in every orientation, 4 x 4.
TEST(ReadAsStored, TiffRowsComeAsStored) {
    hosttest::DriveC drive;
    std::vector<uint8_t> grey, rgb, ycbcr;
    for (uint8_t i = 0; i < 240; i += 15) grey.push_back(i), rgb.insert(rgb.end(), 3, i), ycbcr.insert(ycbcr.end(), {i, 128, 128});
    std::vector<std::pair<hosttest::TiffLayout, std::vector<uint8_t>>> cases;
    hosttest::TiffLayout packed;
    packed.width = packed.height = 4, packed.compression = 32773, packed.pixels = {0xf1, 0x55};
    cases.push_back({packed, std::vector<uint8_t>(16, 0x55)});
    packed.rowsPerStrip = 2, packed.pixels = {0x05, 1, 2, 3, 4, 5, 6, 0xff, 9, 0xf9, 7}, packed.blocks = {{0, 9}, {9, 2}};
    cases.push_back({packed, {1, 2, 3, 4, 5, 6, 9, 9, 7, 7, 7, 7, 7, 7, 7, 7}});
    for (uint32_t orientation = 1; orientation <= 8; ++orientation)
        for (uint16_t photometric : {2, 6}) {
            hosttest::TiffLayout layout;
            layout.width = layout.height = 4, layout.samples = 3, layout.photometric = photometric, layout.rowsPerStrip = 2;
            layout.pixels = photometric == 2 ? rgb : ycbcr, layout.blocks = {{0, 24}, {24, 24}};
            layout.shorts = {{274, {orientation}}};
            if (photometric == 6) layout.shorts.push_back({530, {1, 1}});
            cases.push_back({layout, grey});
        }
    for (const auto& [layout, expected] : cases) {
        hosttest::WriteBytes(drive.Temp("stored.tif"), hosttest::TiffFile(layout));
        varno::Document document;
        ASSERT_EQ(varno::ReadImageFile(drive.Temp("stored.tif"), &document), "");
        EXPECT_EQ(document.channels8[0], expected) << "photometric " << layout.photometric << ", orientation "
                                                   << (layout.shorts.empty() ? 1 : layout.shorts[0].second[0]);
    }
}
#endif

}  // namespace

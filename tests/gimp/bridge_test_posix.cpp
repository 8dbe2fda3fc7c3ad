// The GIMP plug-in's parts that need no GIMP: documents from a drawable's samples, where a
// drawable lies on its image, the choice taken from a recorded action and from the preferences
// file, and the dialog's preview picture.
#include <gtest/gtest.h>

#include <cstring>

#include "gimp/bridge.h"
#include "gimp/preview.h"
#include "tests/host/host_fixture.h"
#include "host/actions.h"
#include "images/sample.h"
#include "params/settings.h"

namespace {

using namespace varno;


TEST(GimpDocument, InterleavedSamplesBecomeThePlanesOfTheirMode) {
    const uint8_t bytes[] = {10, 20, 30, 40, 50, 60};
    const uint16_t words[] = {1, 2, 3, 65535, 257, 32768};
    struct Case {
        const void* samples;
        int32_t width, channels;
        bool wide;
        int32_t mode, depth;
        std::vector<std::vector<uint16_t>> planes;
    } cases[] = {
        {bytes, 6, 1, false, 1, 8, {{10, 20, 30, 40, 50, 60}}},
        {bytes, 2, 3, false, 3, 8, {{10, 40}, {20, 50}, {30, 60}}},
        {words, 6, 1, true, 10, 16, {{1, 2, 3, 65535, 257, 32768}}},
        {words, 2, 3, true, 11, 16, {{1, 65535}, {2, 257}, {3, 32768}}},
    };
    for (const Case& c : cases) {
        Document document;
        std::string error;
        ASSERT_TRUE(DocumentFromSamples(c.samples, c.width, 1, c.channels, c.wide, &document, &error)) << error;
        EXPECT_EQ(document.mode, c.mode);
        EXPECT_EQ(document.depth, c.depth);
        EXPECT_FALSE(document.hasSelection);
        for (size_t p = 0; p < c.planes.size(); ++p)
            for (size_t i = 0; i < c.planes[p].size(); ++i) EXPECT_EQ(SampleAt(document, p, i), c.planes[p][i]) << c.mode;
    }
}

TEST(GimpDocument, UnusableShapesAreRefused) {
    const std::vector<uint8_t> bytes(4 * 32768, 0);
    const struct { int32_t width, height, channels; } cases[] = {{1, 1, 2}, {1, 1, 4}, {0, 1, 1}, {1, 0, 3}, {32768, 1, 1}, {1, 32768, 1}};
    for (const auto& c : cases) {
        Document document;
        std::string error;
        EXPECT_FALSE(DocumentFromSamples(bytes.data(), c.width, c.height, c.channels, false, &document, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(document.width, 0);
    }
}

TEST(GimpPlacement, TheDrawablesPartOnTheImage) {
    const struct {
        int32_t imageWidth, imageHeight, offsetX, offsetY, width, height;
        Placement expected;  // imageX, imageY, sourceX, sourceY, width, height
    } cases[] = {
        {100, 80, 0, 0, 100, 80, {0, 0, 0, 0, 100, 80}},          // the whole image
        {100, 80, 10, 20, 30, 40, {10, 20, 0, 0, 30, 40}},        // inside
        {700, 600, 150, -50, 600, 400, {150, 0, 0, 50, 550, 350}},  // off the top and right edges
        {100, 80, -5, 70, 20, 20, {0, 70, 5, 0, 15, 10}},         // off the left and bottom edges
        {100, 80, -10, -10, 200, 200, {0, 0, 10, 10, 100, 80}},   // larger than the image all round
        {100, 80, 100, 0, 10, 10, {0, 0, 0, 0, 0, 0}},            // beside the image
        {100, 80, 0, -10, 10, 10, {0, 0, 0, 0, 0, 0}},            // just above it
        {100, 80, 2147483600, 0, 32767, 5, {0, 0, 0, 0, 0, 0}},   // far away, without wrapping round
        {100, 80, -2147483647, 0, 32767, 5, {0, 0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const Placement p = PlaceDrawable(c.imageWidth, c.imageHeight, c.offsetX, c.offsetY, c.width, c.height);
        const Placement& e = c.expected;
        EXPECT_EQ(std::vector<int32_t>({p.imageX, p.imageY, p.sourceX, p.sourceY, p.width, p.height}),
                  std::vector<int32_t>({e.imageX, e.imageY, e.sourceX, e.sourceY, e.width, e.height}))
            << c.offsetX << "," << c.offsetY;
    }
}

TEST(GimpChoice, TakenFromTheActionTheModuleRecorded) {
    Descriptor recorded;
    PutEdgeChoice(&recorded, 6, 3);
    GimpChoice choice = {0, 0};
    ASSERT_TRUE(ChoiceFromDescriptor(recorded, &choice));
    EXPECT_EQ(choice.method, 6);
    EXPECT_EQ(choice.radius, 3);

    Descriptor methodOnly, outOfRange, wrongType, huge;
    PutEdgeChoice(&methodOnly, 4, 0);
    PutEdgeChoice(&outOfRange, 8, 2);
    wrongType.PutInteger(FourCC("EdgM"), 5);
    wrongType.PutInteger(FourCC("edgR"), 2);
    huge.PutEnumerated(FourCC("EdgM"), FourCC("rB45"), 5);
    DescriptorItem radius;
    radius.key = FourCC("edgR");
    radius.type = kDescInteger;
    radius.integer = (int64_t(1) << 32) + 2;  // 2 in the low word only
    huge.Put(radius);
    for (const Descriptor* d : {&methodOnly, &outOfRange, &wrongType, &huge}) {
        choice = {0, 0};
        EXPECT_FALSE(ChoiceFromDescriptor(*d, &choice));
        EXPECT_EQ(choice.method, 0);
    }
}

TEST(GimpChoice, RememberedFromTheModulesPreferencesFile) {
    hosttest::DriveC drive;
    GimpChoice remembered = RememberedChoice();
    EXPECT_EQ(remembered.method, 5);  // nothing remembered yet
    EXPECT_EQ(remembered.radius, 2);
    EXPECT_FALSE(hosttest::Exists(drive.Path("QUENpref.xxx")));  // and nothing created

    Document document;
    std::string error;
    const std::vector<uint8_t> grey(20 * 10, 128);
    ASSERT_TRUE(DocumentFromSamples(grey.data(), 20, 10, 1, false, &document, &error));
    ASSERT_EQ(hosttest::RunLoaded(&document, hosttest::Play(7, 3)).result, 0);
    remembered = RememberedChoice();
    EXPECT_EQ(remembered.method, 7);
    EXPECT_EQ(remembered.radius, 3);

    // A file whose values are out of range, or too short to hold them, gives the defaults.
    std::vector<uint8_t> bytes = hosttest::ReadBytes(drive.Path("QUENpref.xxx"));
    ASSERT_GT(bytes.size(), size_t(kSettingRadius + 4));
    SetSettingReal(bytes.data(), kSettingMethod, 9.0f);
    hosttest::WriteBytes(drive.Path("QUENpref.xxx"), bytes);
    EXPECT_EQ(RememberedChoice().method, 5);
    bytes.resize(kSettingMethod);
    hosttest::WriteBytes(drive.Path("QUENpref.xxx"), bytes);
    EXPECT_EQ(RememberedChoice().method, 5);
}

TEST(GimpPreview, TheMethodsPictureWithAlphaDropped) {
    const int32_t width = 23, height = 17;
    const std::vector<uint8_t> rgb = DrawSample(width, height, 3);
    std::vector<uint8_t> rgba, grey, greyAlpha;
    for (size_t i = 0; i < size_t(width * height); ++i) {
        rgba.insert(rgba.end(), {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2], uint8_t(i * 37)});
        grey.push_back(rgb[3 * i + 1]);
        greyAlpha.insert(greyAlpha.end(), {rgb[3 * i + 1], uint8_t(255 - i)});
    }
    const std::vector<uint8_t> flat(size_t(width * height) * 3, 90);
    for (int32_t method = 3; method <= 7; ++method) {
        const GimpChoice choice = {method, 2};
        std::vector<uint8_t> fromRgb, fromRgba, fromGrey, fromGreyAlpha, fromFlat;
        int32_t planes = 0;
        ASSERT_EQ(PreviewPicture(rgb.data(), width, height, 3, choice, &fromRgb, &planes), 0);
        EXPECT_EQ(planes, 3);
        ASSERT_EQ(PreviewPicture(rgba.data(), width, height, 4, choice, &fromRgba, &planes), 0);
        EXPECT_EQ(fromRgba, fromRgb);
        EXPECT_NE(fromRgb, std::vector<uint8_t>(rgb.size(), 255)) << "a photograph has edges";
        ASSERT_EQ(PreviewPicture(grey.data(), width, height, 1, choice, &fromGrey, &planes), 0);
        EXPECT_EQ(planes, 1);
        ASSERT_EQ(PreviewPicture(greyAlpha.data(), width, height, 2, choice, &fromGreyAlpha, &planes), 0);
        EXPECT_EQ(fromGreyAlpha, fromGrey);
        ASSERT_EQ(PreviewPicture(flat.data(), width, height, 3, choice, &fromFlat, &planes), 0);
        // A flat picture has no edges (some methods leave their outermost rows and columns alone).
        for (int32_t y = 3; y < height - 3; ++y)
            for (int32_t x = 3 * 3; x < (width - 3) * 3; ++x) ASSERT_EQ(fromFlat[size_t(y * width * 3 + x)], 255);
    }
    std::vector<uint8_t> untouched = {1};
    int32_t planes = 0;
    EXPECT_EQ(PreviewPicture(rgba.data(), width, height, 5, {5, 2}, &untouched, &planes), -30700);
    EXPECT_EQ(untouched, std::vector<uint8_t>({1}));
}

}  // namespace

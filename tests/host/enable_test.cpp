// Which documents the plug-in is offered for: the enable expression's grammar, the mode flags,
// and, for every image mode at 8, 16 and 32 bits, that the loaded plug-in's PiPL enables exactly
// the documents the plug-in accepts, and that the host calls nothing for the others.
#include <gtest/gtest.h>

#include "host/messages.h"
#include "host/pipl.h"
#include "tests/host/host_fixture.h"

namespace {

using varno::Document;
using varno::PiplProperty;

TEST(EnableExpression, GrammarAndFaults) {
    struct Case {
        std::string expression;
        int32_t mode, depth;
        int expected;           // 1 enabled, 0 not, -1 refused as malformed
        const char* error = "";  // a part of the reason
    };
    const Case cases[] = {
        {"true", 3, 8, 1}, {" false ", 3, 8, 0}, {"in (PSHOP_ImageMode, RGBMode, CMYKMode)", 4, 8, 1},
        {"in (PSHOP_ImageMode, RGBMode, CMYKMode)", 2, 8, 0}, {"in(PSHOP_ImageMode,Gray32Mode)", 17, 32, 1},
        {"PSHOP_ImageDepth == 16", 3, 16, 1}, {"PSHOP_ImageDepth != 16 && PSHOP_ImageDepth >= 8", 3, 32, 1},
        {"PSHOP_ImageDepth < 16 || PSHOP_ImageDepth > 16", 3, 16, 0}, {"PSHOP_ImageDepth <= 8", 0, 1, 1},
        {"true || false && false", 3, 8, 1}, {"(true || false) && false", 3, 8, 0},
        {"!(PSHOP_ImageMode == IndexedMode)", 2, 8, 0}, {"", 3, 8, -1, "value is missing"},
        {"in (PSHOP_ImageMode, RGBMode", 3, 8, -1, "')' expected"},
        {"PSHOP_ImageMode == SepiaMode", 3, 8, -1, "unknown name 'SepiaMode'"},
        {"PSHOP_ImageDepth = 16", 16, 8, -1, "comparison"}, {"true true", 3, 8, -1, "unexpected text"},
        {"PSHOP_ImageDepth == 16x", 3, 16, -1, "bad number"},
        {std::string(65, '(') + "true" + std::string(65, ')'), 3, 8, -1, "too deep"},
    };
    for (const Case& c : cases) {
        bool enabled = false;
        const std::string error = varno::EvaluateEnableExpression(c.expression, c.mode, c.depth, &enabled);
        if (c.expected < 0) {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.expression << ": " << error;
        } else {
            EXPECT_EQ(error, "") << c.expression;
            EXPECT_EQ(enabled, c.expected == 1) << c.expression;
        }
    }
}

TEST(PiplEnable, ExpressionBeforeModeFlagsWhichEnableEightBitsOnly) {
    const PiplProperty modes = {FourCC("8BIM"), FourCC("mode"), 0, {0x18, 0x40, 0, 0}};  // RGB, CMYK, Lab
    const PiplProperty enable = {FourCC("8BIM"), FourCC("enbl"), 0, {'t', 'r', 'u', 'e', 0, 'x', 0, 0}};
    const PiplProperty broken = {FourCC("8BIM"), FourCC("enbl"), 0, {'(', 0, 0, 0}};
    struct Case {
        std::vector<PiplProperty> pipl;
        int32_t mode, depth;
        bool enabled;
        const char* why;
    };
    const Case cases[] = {
        {{modes}, 3, 8, true, ""}, {{modes}, 12, 8, true, ""}, {{modes, enable}, 1, 32, true, ""}, {{}, 2, 8, true, ""},
        {{modes}, 11, 16, false, "not enabled for RGB48 documents of 16 bits per channel"},
        {{modes}, 1, 8, false, "not enabled for GrayScale documents of 8 bits per channel"},
        {{broken, modes}, 3, 8, false, "enable expression cannot be read"},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_EQ(varno::PiplEnablesDocument(c.pipl, c.mode, c.depth, &why), c.enabled) << c.mode << "/" << c.depth;
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
}

// A small document of any mode and depth, its planes at the depth the host keeps them.
Document AnyDocument(int32_t mode, int32_t depth) {
    const int32_t base = mode == 16 ? 3 : mode == 17 ? 1 : mode;
    Document document = varno::MakeTestDocument(base, 9, 7, 3);
    for (auto& plane : document.channels16) {
        document.channels8.emplace_back();
        for (uint16_t v : plane) document.channels8.back().push_back(varno::ReduceTo8(v));
    }
    document.channels16.clear();
    if (depth == 16) {
        for (auto& plane : document.channels8) document.channels16.emplace_back(plane.begin(), plane.end());
        document.channels8.clear();
    }
    document.mode = mode;
    document.depth = depth;
    return document;
}

TEST(PiplEnable, EveryModeAndDepthIsEnabledExactlyWhenThePluginAcceptsIt) {
    hosttest::DriveC drive;
    varno::PluginInstance* plugin = hosttest::LoadedPlugin();
    const std::vector<PiplProperty> pipl = plugin->pipl;
    ASSERT_FALSE(pipl.empty());
    int32_t enabledCount = 0;
    for (int32_t mode = 0; mode < 18; ++mode) {
        for (int32_t depth : {8, 16, 32}) {
            SCOPED_TRACE(varno::ImageModeName(mode) + " at " + std::to_string(depth) + " bits");
            std::string why;
            const bool enabled = varno::PiplEnablesDocument(pipl, mode, depth, &why);
            enabledCount += enabled;

            // The plug-in itself, called whatever its PiPL says, as a host that ignores it would.
            Document document = AnyDocument(mode, depth);
            plugin->pipl.clear();
            const int16_t accepted = hosttest::RunLoaded(&document, hosttest::Play(5, 2)).result;
            plugin->pipl = pipl;
            EXPECT_EQ(accepted, enabled ? 0 : -30701);

            // The host that honours the PiPL calls nothing for a document it does not enable.
            document = AnyDocument(mode, depth);
            const varno::RunReport report = hosttest::RunLoaded(&document, hosttest::Play(5, 2));
            EXPECT_EQ(report.refused, !enabled);
            EXPECT_EQ(report.result, enabled ? 0 : -30701);
            if (!enabled) {
                EXPECT_FALSE(report.executed);
                EXPECT_EQ(varno::ResultLine(report.result, report.errorString),
                          "varno: the plug-in is not enabled for " + varno::ImageModeName(mode) + " documents of " +
                              std::to_string(depth) + " bits per channel (-30701)");
            }
        }
    }
    EXPECT_EQ(enabledCount, 16) << "grey, RGB, CMYK and Lab modes (8 and 16-bit), each at 8 and 16 bits";
}

TEST(PiplEnable, ADocumentTooLargeForThePluginIsReportedInItsOwnWords) {
    hosttest::DriveC drive;
    Document document;  // beyond what a document may be: made by hand
    document.mode = 3;
    document.width = 40000;
    document.height = 1;
    document.channels8.assign(3, std::vector<uint8_t>(40000, 128));
    const varno::RunReport report = hosttest::RunLoaded(&document, hosttest::Play(5, 2));
    EXPECT_TRUE(report.executed);
    EXPECT_EQ(varno::ResultLine(report.result, report.errorString),
              "varno: The document is larger than 32767 pixels on a side. (-30904)");
    EXPECT_FALSE(hosttest::Exists(drive.Path("QUENpref.xxx")));
}

}  // namespace

// The plug-in, loaded as a host loads it, run on documents of every kind through varno's host.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <map>

#include "host/actions.h"
#include "tests/host/host_fixture.h"

namespace {

using hosttest::Play;
using hosttest::RunLoaded;

using varno::Document;
using varno::RunOptions;
using varno::RunReport;

constexpr uint32_t kMethodKey = FourCC("EdgM");
constexpr uint32_t kRadiusKey = FourCC("edgR");

Document Doc(int32_t mode, bool selection = false, int32_t width = 48, int32_t height = 32, uint32_t seed = 1) {
    Document document = varno::MakeTestDocument(mode, width, height, seed);
    std::string error;
    if (selection) {
        EXPECT_TRUE(varno::SetSelection(&document, varno::MakeTestSelection(width, height), &error));
    }
    return document;
}

bool Uniform(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes)
        if (b != bytes.front()) return false;
    return true;
}

// The method and radius a recorded descriptor holds, as {method, radius}; {0, 0} when absent.
std::pair<int64_t, int64_t> Recorded(const RunReport& report) {
    const varno::DescriptorItem* method = report.descriptor.Find(kMethodKey);
    const varno::DescriptorItem* radius = report.descriptor.Find(kRadiusKey);
    return {method ? method->integer : 0, radius ? radius->integer : 0};
}

// What a run that failed or was cancelled must leave: nothing written back, nothing recorded,
// the document's selection as it was, every host handle given back.
void ExpectNothingHandedBack(const RunReport& report, const Document& before, const Document& after) {
    EXPECT_EQ(report.rowsWritten, 0);
    EXPECT_FALSE(report.recorded);
    EXPECT_EQ(after.hasSelection, before.hasSelection);
    EXPECT_EQ(after.selection, before.selection);
    EXPECT_EQ(report.handlesLeft, 0);
    EXPECT_EQ(report.descriptorTokensLeft, 0);
}

class EndToEnd : public ::testing::Test {
protected:
    hosttest::DriveC drive;
    std::string Preferences() const { return drive.Path("QUENpref.xxx"); }
    std::string Log() const { return drive.Path("VEXAlog.txt"); }
};

TEST_F(EndToEnd, EveryReadableModeAndDepthGivesASelection) {
    std::map<int32_t, std::vector<uint8_t>> masks;
    for (int32_t mode : {1, 3, 4, 9, 10, 11, 12, 13}) {
        for (bool selection : {false, true}) {
            Document document = Doc(mode, selection);
            const Document before = document;
            const RunReport report = RunLoaded(&document, Play(5, 2));
            ASSERT_EQ(report.result, 0) << "mode " << mode;
            EXPECT_EQ(report.aboutResult, 0);
            EXPECT_EQ(report.rowsWritten, 32) << "one write per row";
            EXPECT_TRUE(document.hasSelection);
            EXPECT_TRUE(report.newSelection.empty()) << "the new selection moved into the document";
            EXPECT_EQ(document.channels8, before.channels8) << "the picture itself is never changed";
            EXPECT_EQ(document.channels16, before.channels16);
            EXPECT_FALSE(Uniform(document.selection)) << "mode " << mode << ": the sample has edges";
            EXPECT_GT(report.progressCalls, 0);
            EXPECT_TRUE(report.progressWithinTotal);
            EXPECT_EQ(report.handlesLeft, 0);
            EXPECT_EQ(report.descriptorTokensLeft, 0);
            if (!selection) {
                masks[mode] = document.selection;
            } else {
                // The selection before the run does not survive into the new one.
                EXPECT_EQ(document.selection, masks[mode]) << "mode " << mode;
            }
        }
    }
    // 16-bit documents reach the plug-in as the 8-bit samples of their counterparts.
    EXPECT_EQ(masks[10], masks[1]);
    EXPECT_EQ(masks[11], masks[3]);
    EXPECT_EQ(masks[12], masks[9]);
    EXPECT_EQ(masks[13], masks[4]);
    EXPECT_NE(masks[1], masks[3]);
}

TEST_F(EndToEnd, DocumentsAsWideOrHighAsAHostDescribesWorkWithEveryMethod) {
    const struct {
        int32_t mode, width, height;
    } sizes[] = {{1, 32767, 1}, {3, 32766, 1}, {3, 1, 32767}, {1, 1, 32766}, {1, 32767, 2}};
    for (const auto& size : sizes) {
        for (int32_t method = 3; method <= 7; ++method) {
            Document document = Doc(size.mode, false, size.width, size.height, 9);
            const RunReport report = RunLoaded(&document, Play(method, 2));
            EXPECT_EQ(report.result, 0) << size.width << "x" << size.height << ", method " << method;
            EXPECT_EQ(report.rowsWritten, size.height);
            EXPECT_FALSE(Uniform(document.selection)) << size.width << "x" << size.height << ", method " << method;
        }
    }
}

TEST_F(EndToEnd, UndeliveredGreyPixelsCountAsWhite) {
    // The host leaves out columns 25 and on and every fourth row; the plug-in takes what it did
    // not get as white, so the result is that of a document white there.
    Document partial = Doc(1, true, 40, 24, 2);
    Document white = partial;
    for (int32_t r = 0; r < 24; ++r)
        for (int32_t c = 0; c < 40; ++c)
            if (c >= 25 || r % 4 == 2) white.channels8[0][size_t(r * 40 + c)] = 255;
    RunOptions options = Play(3, 1);
    options.partial.endColumn = 25;
    options.partial.skipRowPeriod = 4;
    options.partial.skipRowPhase = 2;
    options.partial.composite = true;
    options.partial.selection = true;
    ASSERT_EQ(RunLoaded(&partial, options).result, 0);
    ASSERT_EQ(RunLoaded(&white, Play(3, 1)).result, 0);
    EXPECT_EQ(partial.selection, white.selection);
}

TEST_F(EndToEnd, ACancelledOrStoppedRunChangesNothing) {
    Document first = Doc(3);
    ASSERT_EQ(RunLoaded(&first, Play(6, 1)).result, 0);
    hosttest::WriteBytes(Log(), {});
    ASSERT_EQ(RunLoaded(&first, Play(6, 1)).result, 0);
    const std::vector<uint8_t> preferences = hosttest::ReadBytes(Preferences());
    const std::vector<uint8_t> log = hosttest::ReadBytes(Log());
    ASSERT_EQ(preferences.size(), 53248u);
    ASSERT_FALSE(log.empty());

    struct Case {
        const char* what;
        RunOptions options;
    };
    std::vector<Case> cases;
    cases.push_back({"stop at the first question", Play(3, 3)});
    cases.back().options.abortAfter = 1;
    cases.push_back({"stop in the middle of the method", Play(7, 3)});
    cases.back().options.abortAfter = 16;
#if !defined(_WIN32)
    // The native build has no dialog: asking for it is a dialog that cannot be shown, a cancel.
    cases.push_back({"dialog asked for", Play(3, 3)});
    cases.back().options.playInfo = kPlayDialogDisplay;
    cases.push_back({"no scripting suites", RunOptions()});
    cases.back().options.descriptorSuites = false;
#endif
    for (const Case& c : cases) {
        Document document = Doc(1, true);
        const Document before = document;
        const RunReport report = RunLoaded(&document, c.options);
        EXPECT_EQ(report.result, -128) << c.what;
        ExpectNothingHandedBack(report, before, document);
        EXPECT_EQ(hosttest::ReadBytes(Preferences()), preferences) << c.what;
        EXPECT_EQ(hosttest::ReadBytes(Log()), log) << c.what;
        if (c.options.abortAfter > 0) {
            EXPECT_EQ(report.abortCalls, c.options.abortAfter) << c.what;
        }
    }
}

TEST_F(EndToEnd, ARecordedRunPlaysBackTheSame) {
    Document recorded = Doc(4);
    const RunReport first = RunLoaded(&recorded, Play(3, 3));
    ASSERT_EQ(first.result, 0);
    ASSERT_TRUE(first.recorded);
    EXPECT_EQ(first.recordInfo, 0);
    ASSERT_EQ(first.descriptor.items.size(), 2u);
    const varno::DescriptorItem& method = first.descriptor.items[0];
    const varno::DescriptorItem& radius = first.descriptor.items[1];
    EXPECT_EQ(method.key, kMethodKey);
    EXPECT_EQ(method.type, varno::kDescEnumerated);
    EXPECT_EQ(method.detail, FourCC("rB45"));
    EXPECT_EQ(method.integer, 3);
    EXPECT_EQ(radius.key, kRadiusKey);
    EXPECT_EQ(radius.type, varno::kDescInteger);
    EXPECT_EQ(radius.integer, 3);

    // Preferences reset; the action, through its text file form, brings the run back.
    hosttest::Remove(Preferences());
    RunOptions replay;
    ASSERT_EQ(varno::ParseAction(varno::FormatAction(first.descriptor), &replay.descriptor), "");
    replay.playDescriptor = true;
    Document played = Doc(4);
    const RunReport second = RunLoaded(&played, replay);
    ASSERT_EQ(second.result, 0);
    EXPECT_EQ(played.selection, recorded.selection);
    EXPECT_EQ(Recorded(second), Recorded(first));

    // Without the action, fresh preferences give the defaults and another picture.
    hosttest::Remove(Preferences());
    Document plain = Doc(4);
    const RunReport third = RunLoaded(&plain);
    ASSERT_EQ(third.result, 0);
    EXPECT_EQ(Recorded(third), std::make_pair(int64_t(5), int64_t(2)));
    EXPECT_NE(plain.selection, recorded.selection);
}

TEST_F(EndToEnd, OutOfRangePlayedValuesAreIgnoredEntryByEntry) {
    struct Case {
        uint32_t method;
        int32_t radius;
        int64_t usedMethod, usedRadius;
    };
    // Stored settings 6 and 3 before each played run.
    const Case cases[] = {
        {9, 1, 6, 1}, {4, 4, 4, 3}, {2, 0, 6, 3}, {7, -1, 7, 3}, {0x80000005u, 2, 6, 2}, {5, 1, 5, 1},
    };
    for (const Case& c : cases) {
        Document seed = Doc(1);
        ASSERT_EQ(RunLoaded(&seed, Play(6, 3)).result, 0);
        RunOptions options;
        options.playDescriptor = true;
        options.descriptor.PutEnumerated(kMethodKey, FourCC("rB45"), c.method);
        options.descriptor.PutInteger(kRadiusKey, c.radius);
        Document document = Doc(1);
        const RunReport report = RunLoaded(&document, options);
        ASSERT_EQ(report.result, 0);
        EXPECT_EQ(Recorded(report), std::make_pair(c.usedMethod, c.usedRadius)) << c.method << " " << c.radius;
    }
    // With nothing stored, an ignored method leaves 0, and a choice of 0 is the default pair.
    hosttest::Remove(Preferences());
    Document document = Doc(1);
    RunOptions options = Play(0, 1);
    options.descriptor.PutEnumerated(kMethodKey, FourCC("rB45"), 9);
    const RunReport report = RunLoaded(&document, options);
    ASSERT_EQ(report.result, 0);
    EXPECT_EQ(Recorded(report), std::make_pair(int64_t(5), int64_t(2)));
}

float RealAt(const std::vector<uint8_t>& bytes, size_t offset) {
    const uint32_t bits = uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 | uint32_t(bytes[offset + 2]) << 16 |
                          uint32_t(bytes[offset + 3]) << 24;
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

TEST_F(EndToEnd, StoredMethodsOutsideTheRangeFallBackToTheDefaults) {
    // A damaged preferences file may hold any real as the last method: outside 3..7 it counts as
    // none stored, so the run is Smoother with radius 2, and only those are saved and recorded.
    Document reference = Doc(3);
    ASSERT_EQ(RunLoaded(&reference, Play(5, 2)).result, 0);
    std::vector<uint8_t> stored = hosttest::ReadBytes(Preferences());
    ASSERT_EQ(stored.size(), 53248u);
    const float inf = std::numeric_limits<float>::infinity();
    for (float method : {2.0f, 8.0f, 99.0f, -5.0f, 2.9f, 7.5e9f, inf, -inf}) {
        for (float radius : {3.0f, 0.0f}) {
            std::memcpy(&stored[948], &method, 4);
            std::memcpy(&stored[952], &radius, 4);
            hosttest::WriteBytes(Preferences(), stored);
            Document document = Doc(3);
            const RunReport report = RunLoaded(&document);
            ASSERT_EQ(report.result, 0) << method;
            EXPECT_EQ(document.selection, reference.selection) << method << " " << radius;
            EXPECT_EQ(Recorded(report), std::make_pair(int64_t(5), int64_t(2))) << method;
            const std::vector<uint8_t> saved = hosttest::ReadBytes(Preferences());
            EXPECT_EQ(RealAt(saved, 948), 5.0f) << method;
            EXPECT_EQ(RealAt(saved, 952), 2.0f) << method;
        }
    }
}

TEST_F(EndToEnd, PreferencesRememberTheLastRun) {
    ASSERT_FALSE(hosttest::Exists(Preferences()));
    Document first = Doc(3);
    ASSERT_EQ(RunLoaded(&first).result, 0);
    std::vector<uint8_t> bytes = hosttest::ReadBytes(Preferences());
    ASSERT_EQ(bytes.size(), 53248u);
    EXPECT_EQ(RealAt(bytes, 948), 5.0f);
    EXPECT_EQ(RealAt(bytes, 952), 2.0f);
    for (size_t k = 0; k < 48; ++k) EXPECT_EQ(bytes[1024 * (k + 1)], 0) << "string slot " << k;

    Document chosen = Doc(3);
    ASSERT_EQ(RunLoaded(&chosen, Play(6, 1)).result, 0);
    bytes = hosttest::ReadBytes(Preferences());
    EXPECT_EQ(RealAt(bytes, 948), 6.0f);
    EXPECT_EQ(RealAt(bytes, 952), 1.0f);

    // No options: the stored method and radius apply.
    Document remembered = Doc(3);
    const RunReport report = RunLoaded(&remembered);
    ASSERT_EQ(report.result, 0);
    EXPECT_EQ(Recorded(report), std::make_pair(int64_t(6), int64_t(1)));
    EXPECT_EQ(remembered.selection, chosen.selection);
}

TEST_F(EndToEnd, TheRunLogIsAppendedOnlyWhenItExists) {
    Document document = Doc(1);
    ASSERT_EQ(RunLoaded(&document, Play(4, 2)).result, 0);
    EXPECT_FALSE(hosttest::Exists(Log()));

    hosttest::WriteBytes(Log(), {});
    ASSERT_EQ(RunLoaded(&document, Play(4, 2)).result, 0);
    const std::string block4 =
        "-----------------------------\r\n"
        "Signature = edgS\tWRITEBACK\tNo Mask Image\r\n"
        "# Inputs = 2\r\n"
        "0: Type = RADIO/rB45\tKey = EdgM\tMin = 3\tMax = 7\tValue = 4\r\n"
        "1: Type = LONG\tKey = edgR\tMin = 1\tMax = 3\tValue = 2\r\n"
        "Result = 0\r\n";
    std::vector<uint8_t> log = hosttest::ReadBytes(Log());
    EXPECT_EQ(std::string(log.begin(), log.end()), block4);

    ASSERT_EQ(RunLoaded(&document, Play(7, 3)).result, 0);
    std::string block7 = block4;
    block7.replace(block7.find("Value = 4"), 9, "Value = 7");
    block7.replace(block7.find("Value = 2"), 9, "Value = 3");
    log = hosttest::ReadBytes(Log());
    EXPECT_EQ(std::string(log.begin(), log.end()), block4 + block7);
}

}  // namespace

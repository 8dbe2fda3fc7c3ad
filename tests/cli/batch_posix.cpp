// varno select on several pictures (failures one by one, -j), a lone -m or -r, and the settings
// remembered from the first run.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>

#include "images/system.h"
#include "varno_program.h"

namespace {

using namespace varnotest;

std::set<std::string> Lines(const std::string& text) {
    std::set<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.insert(line);
    return lines;
}

std::set<std::string> FilesIn(const std::string& directory) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) names.insert(entry.path().filename().string());
    return names;
}

TEST(VarnoBatch, EachPictureSucceedsOrFailsOnItsOwn) {
    for (const char* jobs : {"1", "3"}) {
        DriveC drive;
        const std::string good1 = drive.Temp("p1.png"), good2 = drive.Temp("p2.jpg"), junk = drive.Temp("junk.png");
        const std::string cut = drive.Temp("cut.png"), twin = drive.Temp("sub/p1.png");
        const std::string blocked = drive.Temp("blocked.png"), out = drive.Temp("out/");
        std::filesystem::create_directories(drive.Temp("sub"));
        ASSERT_EQ(Varno(drive, "sample " + Quote(good1) + " --size 40x30").status, 0);
        ASSERT_EQ(Varno(drive, "sample " + Quote(good2) + " --size 30x20 --seed 2").status, 0);
        ASSERT_EQ(Varno(drive, "sample " + Quote(twin) + " --size 20x20 --seed 3").status, 0);
        ASSERT_EQ(Varno(drive, "sample " + Quote(blocked) + " --size 25x25 --seed 4").status, 0);
        hosttest::WriteBytes(junk, {'j', 'u', 'n', 'k'});
        // A picture whose pixel data stops half way: damaged, not padded.
        ASSERT_EQ(Varno(drive, "sample " + Quote(cut) + " --size 60x40 --seed 5").status, 0);
        std::vector<uint8_t> whole = hosttest::ReadBytes(cut);
        whole.resize(whole.size() / 2);
        hosttest::WriteBytes(cut, whole);
        // A directory where the selection would go: that picture fails when it is written.
        std::filesystem::create_directories(out + "blocked-selection.png");
        // A selection whose name is another name of a picture of the batch: refused.
        const std::string linked = drive.Temp("linked.png");
        std::filesystem::copy_file(good2, linked);
        std::filesystem::create_hard_link(good1, out + "linked-selection.png");

        const Outcome outcome = Varno(drive, "select " + Quote(good1) + " " + Quote(junk) + " " + Quote(cut) + " " +
                                                 Quote(good2) + " " + Quote(twin) + " " + Quote(blocked) + " " + Quote(linked) + " -o " +
                                                 Quote(out) + " -m fine -r 1 -j " + jobs);
        EXPECT_EQ(outcome.status, 1) << jobs;
        const std::set<std::string> expectedOut = {"varno: new selection written to " + out + "p1-selection.png",
                                                   "varno: new selection written to " + out + "p2-selection.png"};
        EXPECT_EQ(Lines(outcome.out), expectedOut) << jobs;
        const std::set<std::string> errors = Lines(outcome.err);
        EXPECT_EQ(errors.size(), 7u) << outcome.err;
        EXPECT_EQ(outcome.err.find("has no effect"), outcome.err.rfind("has no effect")) << "once for the batch";
        for (const std::string& line :
             {std::string("varno: warning: -r 1 has no effect: the method is Fine detail, and only Variable width takes a radius"),
              "varno: cannot read '" + junk + "': not an image varno can read (PNG, JPEG, BMP or TIFF)",
              "varno: '" + twin + "': its selection '" + out + "p1-selection.png' is the selection of '" + good1 + "' too",
              "varno: '" + linked + "': its selection '" + out + "linked-selection.png' would replace the picture '" + good1 + "'",
              std::string("varno: 5 of 7 pictures failed")})
            EXPECT_EQ(errors.count(line), 1u) << jobs << ": " << line << "\n" << outcome.err;
        EXPECT_NE(outcome.err.find("varno: cannot write '" + out + "blocked-selection.png': "), std::string::npos);
        EXPECT_NE(outcome.err.find("varno: cannot read '" + cut + "': "), std::string::npos);

        for (const std::string& picture : {good1, good2}) {
            Document document;
            ASSERT_EQ(varno::ReadImageFile(picture, &document), "");
            const std::string name = std::filesystem::path(picture).stem().string() + "-selection.png";
            EXPECT_EQ(GreyPlane(out + name), LibraryMask(document, 6, 1)) << jobs << ": " << name;
        }
        // Nothing else, and no temporary file left over.
        EXPECT_EQ(FilesIn(out), (std::set<std::string>{"blocked-selection.png", "linked-selection.png", "p1-selection.png",
                                                  "p2-selection.png"}));
    }
}

// The method and radius the plug-in stored after its last run.
std::pair<float, float> StoredChoice(const DriveC& drive) {
    const std::vector<uint8_t> bytes = hosttest::ReadBytes(drive.Path("QUENpref.xxx"));
    float method = 0, radius = 0;
    if (bytes.size() < 956) return {-1, -1};
    std::memcpy(&method, &bytes[948], 4);
    std::memcpy(&radius, &bytes[952], 4);
    return {method, radius};
}

TEST(VarnoChoice, ALoneMethodOrRadiusTakesTheOtherFromThePreferences) {
    const float kNone = -1;  // no preferences file before the run
    struct Case {
        const char* what;
        const char* before;  // an earlier run
        float storedMethod, storedRadius;
        const char* given;
        float method, radius;  // what the plug-in ran
    };
    const float nan = std::nanf("");
    const Case cases[] = {
        {"first run, method", "", kNone, kNone, "-m traditional", 3, 2},
        {"first run, radius", "", kNone, kNone, "-r 3", 5, 3},
        {"after a run", "-m fine -r 1", kNone, kNone, "-m variable", 7, 1},
        {"stored method truncated", "", 6.7f, 3.5f, "-r 1", 6, 1},
        {"stored radius truncated", "", 4.0f, 3.9f, "-m variable", 7, 3},
        {"stored radius invalid", "", 4.0f, 0.5f, "-m variable", 7, 2},
        {"stored method invalid", "", 9.0f, 1.0f, "-r 3", 5, 3},
        {"stored method not a number", "", nan, 1.0f, "-r 1", 5, 1},
    };
    for (const Case& c : cases) {
        DriveC drive;
        const std::string picture = drive.Temp("pic.png"), output = drive.Temp("out.png");
        ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size 24x16").status, 0);
        if (c.before[0]) {
            ASSERT_EQ(Varno(drive, "select " + Quote(picture) + " --quiet " + c.before).status, 0) << c.what;
        }
        if (c.storedMethod != kNone) {
            std::vector<uint8_t> preferences(53248, 0);
            std::memcpy(&preferences[948], &c.storedMethod, 4);
            std::memcpy(&preferences[952], &c.storedRadius, 4);
            hosttest::WriteBytes(drive.Path("QUENpref.xxx"), preferences);
        }
        const Outcome outcome = Varno(drive, "select " + Quote(picture) + " -o " + Quote(output) + " --quiet " + c.given);
        ASSERT_EQ(outcome.status, 0) << c.what << ": " << outcome.err;
        EXPECT_EQ(StoredChoice(drive), std::make_pair(c.method, c.radius)) << c.what;
        Document document;
        ASSERT_EQ(varno::ReadImageFile(picture, &document), "");
        EXPECT_EQ(GreyPlane(output), LibraryMask(document, int32_t(c.method), int32_t(c.radius))) << c.what;
    }
}

// The folder standing for drive C is made by the first run when missing (owner-only, parents
// too), so the next run remembers it; one that cannot be made is one warning line, and the runs go
// on with the defaults.
TEST(VarnoChoice, TheFirstRunMakesTheSettingsFolder) {
    const struct {
        const char* folder;  // in the test's directory, where "file" is a file
        bool made;
    } cases[] = {{"new/drive_c", true}, {"file/drive_c", false}};
    for (const auto& c : cases) {
        DriveC drive;
        const std::string picture = drive.Temp("pic.png"), second = drive.Temp("b.png"), folder = drive.Temp(c.folder);
        hosttest::WriteBytes(drive.Temp("file"), {1});
        ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size 24x16").status, 0);
        varno::SetEnvironment("VARNO_DRIVE_C", folder.c_str());
        const Outcome outcomes[] = {Varno(drive, "select " + Quote(picture) + " -o " + Quote(drive.Temp("a.png")) + " -m variable -r 1 --quiet"),
                                    Varno(drive, "select " + Quote(picture) + " -o " + Quote(second) + " --quiet")};
        varno::SetEnvironment("VARNO_DRIVE_C", drive.Path("").c_str());
        const std::string warning = "varno: warning: the folder for the plug-in's settings, '" + folder + "', cannot be made (";
        for (const Outcome& outcome : outcomes) {
            EXPECT_EQ(outcome.status, 0) << c.folder << ": " << outcome.err;
            if (c.made) {
                EXPECT_EQ(outcome.err, "");
            } else {
                EXPECT_TRUE(outcome.err.rfind(warning, 0) == 0 && outcome.err.find('\n') == outcome.err.size() - 1) << outcome.err;
            }
        }
        struct stat folderInfo = {}, parentInfo = {};
        EXPECT_EQ(stat(folder.c_str(), &folderInfo) == 0 && (folderInfo.st_mode & 07777) == 0700 &&
                      stat(drive.Temp("new").c_str(), &parentInfo) == 0 && (parentInfo.st_mode & 07777) == 0700,
                  c.made) << c.folder;
        Document document;
        ASSERT_EQ(varno::ReadImageFile(picture, &document), "");
        EXPECT_EQ(GreyPlane(second), LibraryMask(document, c.made ? 7 : 5, c.made ? 1 : 2)) << c.folder;
    }
}

}  // namespace

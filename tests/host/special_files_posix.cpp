// A FIFO or a device where the plug-in keeps its preferences, its run log or its install-path
// file is no file: the run neither reads nor writes it, and finishes.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/host/host_fixture.h"

namespace {

TEST(SpecialFiles, AreNeitherReadNorWritten) {
    const struct {
        const char* what;
        const char* preferences;  // "fifo", a device to link to, or none
        const char* log;
        const char* pathFile;
    } cases[] = {
        {"FIFO preferences, device log", "fifo", "/dev/zero", nullptr},
        {"device preferences, FIFO log", "/dev/zero", "fifo", nullptr},
        {"FIFO install-path file", nullptr, nullptr, "fifo"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        hosttest::DriveC drive;
        auto make = [&](const char* kind, const std::string& name) {
            if (!kind) return;
            const std::string path = drive.Path(name);
            const int made = std::string(kind) == "fifo" ? mkfifo(path.c_str(), 0600) : symlink(kind, path.c_str());
            ASSERT_EQ(made, 0) << path;
        };
        make(c.preferences, "QUENpref.xxx");
        make(c.log, "VEXAlog.txt");
        make(c.pathFile, "QUENPath.TXT");

        varno::Document document = varno::MakeTestDocument(kModeRGB, 24, 16, 3);
        varno::RunReport report;
        {
            hosttest::Watchdog watchdog(60, c.what);
            report = hosttest::RunLoaded(&document, hosttest::Play(5, 2));
        }
        EXPECT_EQ(report.result, 0);
        EXPECT_EQ(report.rowsWritten, 16);
        const std::pair<const char*, const char*> made[] = {
            {c.preferences, "QUENpref.xxx"}, {c.log, "VEXAlog.txt"}, {c.pathFile, "QUENPath.TXT"}};
        for (const auto& [kind, name] : made) {
            struct stat info;
            if (!kind) continue;
            EXPECT_TRUE(lstat(drive.Path(name).c_str(), &info) == 0 && !S_ISREG(info.st_mode)) << name;
        }
        EXPECT_FALSE(hosttest::Exists(drive.Path("QUENpref.xxx.new")));
    }
}

}  // namespace

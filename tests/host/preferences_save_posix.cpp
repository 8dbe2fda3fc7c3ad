// A preferences save that cannot be done (a full disk, a file the user made read-only) costs the
// user nothing: the run succeeds, the host gets the selection, and the preferences are exactly what
// they were (or still absent). Each run happens in a child process, which takes the limit or the
// ordinary user's rights with it.
#include <gtest/gtest.h>

#include <csignal>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/host/host_fixture.h"

namespace {

// Runs `body` in a child process and gives its exit status (98 when it did not exit).
int InChild(const std::function<int()>& body) {
    pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

// One run as a host makes it: 0 when it succeeded and handed back every row.
int RunSucceeds() {
    varno::Document document = varno::MakeTestDocument(kModeRGB, 40, 30, 5);
    const varno::RunReport report = hosttest::RunLoaded(&document, hosttest::Play(6, 1));
    if (report.result != 0) return 1;
    return report.rowsWritten == 30 ? 0 : 2;
}

class PreferencesSave : public ::testing::Test {
protected:
    std::string Preferences() const { return drive.Path("QUENpref.xxx"); }
    hosttest::DriveC drive;
};

TEST_F(PreferencesSave, OnAFullDiskTheRunSucceedsAndNoFileIsHalfWritten) {
    hosttest::LoadedPlugin();
    auto full = [] {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit = {12288, 12288};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 90;
        return RunSucceeds();
    };
    // A first run leaves no file at all.
    EXPECT_EQ(InChild(full), 0);
    EXPECT_FALSE(hosttest::Exists(Preferences()));
    EXPECT_FALSE(hosttest::Exists(Preferences() + ".new"));

    // An earlier file stays as it was, byte for byte.
    ASSERT_EQ(RunSucceeds(), 0);
    varno::Document other = varno::MakeTestDocument(kModeGrayScale, 8, 8, 1);
    ASSERT_EQ(hosttest::RunLoaded(&other, hosttest::Play(3, 3)).result, 0);
    const std::vector<uint8_t> before = hosttest::ReadBytes(Preferences());
    ASSERT_EQ(before.size(), 53248u);
    EXPECT_EQ(InChild(full), 0);
    EXPECT_EQ(hosttest::ReadBytes(Preferences()), before);
    EXPECT_FALSE(hosttest::Exists(Preferences() + ".new"));
}

TEST_F(PreferencesSave, AReadOnlyFileIsLeftAsItIs) {
    hosttest::LoadedPlugin();
    ASSERT_EQ(RunSucceeds(), 0);
    const std::vector<uint8_t> before = hosttest::ReadBytes(Preferences());
    ASSERT_EQ(chmod(Preferences().c_str(), 0444), 0);
    // The directory lets anyone make files: only the file itself is read-only.
    const std::string directory = drive.Path("");
    ASSERT_EQ(chmod(directory.c_str(), 0777), 0);
    ASSERT_EQ(chmod(directory.substr(0, directory.rfind('/', directory.size() - 2)).c_str(), 0755), 0);
    const int status = InChild([] {
        // Root passes every permission check: an ordinary user stands in for the owner of a
        // read-only file.
        if (geteuid() == 0 && (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)) return 99;
        return RunSucceeds();
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(hosttest::ReadBytes(Preferences()), before);
    EXPECT_FALSE(hosttest::Exists(Preferences() + ".new"));
    chmod(Preferences().c_str(), 0644);
}

}  // namespace

// What varno refuses before the plug-in runs, what it writes through, and running out of memory.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/cli/varno_program.h"
#include "tests/images/picture_files.h"

namespace {

using varnotest::DriveC;
using varnotest::Outcome;
using varnotest::Quote;
using varnotest::Varno;

// Peak resident bytes of one varno command (its exit status in `status`).
int64_t PeakMemory(std::vector<std::string> words, int* status) {
    words.insert(words.begin(), VARNO_PROGRAM_PATH);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1), dup2(null, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int raw = 0;
    struct rusage usage = {};
    if (child < 0 || wait4(child, &raw, 0, &usage) != child || !WIFEXITED(raw)) return -1;
    *status = WEXITSTATUS(raw);
    return int64_t(usage.ru_maxrss) * 1024;
}

TEST(VarnoRefusals, EverythingCheckableIsCheckedBeforeThePluginRuns) {
    DriveC drive;
    const std::string picture = drive.Temp("picture.png"), readOnly = drive.Temp("readonly.png");
    const std::string fifo = drive.Temp("fifo.png"), log = drive.Path("VEXAlog.txt");
    ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size 20x10").status, 0);
    hosttest::WriteBytes(readOnly, {1, 2, 3});
    chmod(readOnly.c_str(), 0444);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string device = drive.Temp("device.png");  // through a link: the device is what is written
    std::filesystem::create_symlink("/dev/null", device);
    const struct {
        std::string arguments, reason;
    } cases[] = {
        {"-o " + Quote(drive.Temp("out.gif")), "cannot write '" + drive.Temp("out.gif") + "': unknown picture type '.gif' (use .png, .bmp or .jpg)"},
        {"-o " + Quote(drive.Temp("missing/out.png")), "cannot write '" + drive.Temp("missing/out.png") + "': there is no directory '" + drive.Temp("missing") + "'"},
        {"-o " + Quote(picture), "cannot write '" + picture + "': it is the picture being read"},
        {"-o " + Quote(readOnly), "cannot write '" + readOnly + "': the file is read-only"},
        {"-o " + Quote(fifo), "cannot write '" + fifo + "': it is not a regular file (a FIFO, device or socket)"},
        {"-o " + Quote(device), "cannot write '" + device + "': it is not a regular file (a FIFO, device or socket)"},
        {"-o " + Quote(drive.Temp("o.png")) + " --record " + Quote(drive.Temp("missing/r.txt")),
         "cannot write '" + drive.Temp("missing/r.txt") + "': there is no directory '" + drive.Temp("missing") + "'"},
    };
    for (const auto& c : cases) {
        hosttest::WriteBytes(log, {});
        const Outcome outcome = Varno(drive, "select " + Quote(picture) + " " + c.arguments);
        EXPECT_EQ(outcome.status, 1) << c.arguments;
        EXPECT_EQ(outcome.err, "varno: " + c.reason + "\n") << c.arguments;
        EXPECT_FALSE(hosttest::Exists(drive.Path("QUENpref.xxx"))) << c.arguments;
        EXPECT_TRUE(hosttest::ReadBytes(log).empty()) << c.arguments;
    }
    EXPECT_EQ(hosttest::ReadBytes(readOnly), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(std::filesystem::status(fifo).type(), std::filesystem::file_type::fifo);
    // A directory as input, and "--" before a picture whose name starts with a dash.
    Outcome outcome = Varno(drive, "select " + Quote(drive.Temp("")));
    EXPECT_EQ(outcome.err, "varno: cannot read '" + drive.Temp("") + "': it is a directory\n");
    const std::string dashed = drive.Temp("-dashed.png");
    std::filesystem::copy_file(picture, dashed);
    outcome = Varno(drive, "select -o " + Quote(drive.Temp("d.png")) + " -- " + Quote(dashed));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
}

TEST(VarnoRefusals, AnOutputThroughALinkReplacesItsTargetAndKeepsTheLink) {
    DriveC drive;
    const std::string picture = drive.Temp("picture.png"), target = drive.Temp("target.png"), link = drive.Temp("link.png");
    ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size 20x10").status, 0);
    hosttest::WriteBytes(target, {1});
    std::filesystem::create_symlink("target.png", link);
    ASSERT_EQ(Varno(drive, "select " + Quote(picture) + " -o " + Quote(link)).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(varnotest::GreyPlane(target).size(), 200u);
}

// A second program while the first holds the preferences: after its wait it runs the defaults and
// says so.
TEST(VarnoRefusals, PreferencesHeldByAnotherProgramGiveAWarning) {
    DriveC drive;
    const std::string picture = drive.Temp("picture.png"), preferences = drive.Path("QUENpref.xxx");
    ASSERT_EQ(Varno(drive, "sample " + Quote(picture) + " --size 20x10").status, 0);
    ASSERT_EQ(Varno(drive, "select " + Quote(picture) + " -o " + Quote(drive.Temp("a.png")) + " -m fine").status, 0);
    const int held = ::open(preferences.c_str(), O_RDWR);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    const Outcome outcome = Varno(drive, "select " + Quote(picture) + " -o " + Quote(drive.Temp("b.png")));
    close(held);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err.rfind("varno: warning: the remembered settings were not available", 0), 0u) << outcome.err;
}

// Not in sanitizer builds: the address sanitizer cannot run under an address-space limit, and its
// operator new ends the program rather than throw.
#ifndef __SANITIZE_ADDRESS__
TEST(VarnoRefusals, OutOfMemoryEndsOnePictureNotTheBatch) {
    DriveC drive;
    const std::string big = drive.Temp("big.png"), small = drive.Temp("small.png"), into = drive.Temp("out/");
    ASSERT_EQ(Varno(drive, "sample " + Quote(small) + " --size 20x10").status, 0);
    const std::vector<uint8_t> grey(size_t(12000) * 12000, 90);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(varno::EncodeImage(big, 12000, 12000, 1, grey.data(), &bytes), "");
    hosttest::WriteBytes(big, bytes);
    const Outcome outcome = Varno(drive, "select " + Quote(big) + " " + Quote(small) + " -o " + Quote(into) +
                                         " --quiet 2>&1; ulimit -v 200000; exec " + Quote(VARNO_PROGRAM_PATH) + " select " +
                                         Quote(big) + " " + Quote(small) + " -o " + Quote(into) + " --quiet");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "varno: cannot read '" + big + "': out of memory\nvarno: 1 of 2 pictures failed\n");
    EXPECT_TRUE(hosttest::Exists(drive.Temp("out/small-selection.png")));
}
#endif

// No damaged or hostile file of the readers' tests, each under 1 MB, costs varno more than 300 MB.
// Not in sanitizer builds, where the sanitizer's own memory would be measured.
#ifndef __SANITIZE_ADDRESS__
TEST(VarnoRefusals, SmallFilesCostLittleMemory) {
    DriveC drive;
    for (const hosttest::DamagedFile& f : hosttest::DamagedFiles()) {
        ASSERT_LT(f.bytes.size(), size_t(1) << 20) << f.what;
        const std::string path = drive.Temp(f.name);
        hosttest::WriteBytes(path, f.bytes);
        int status = 0;
        const int64_t peak = PeakMemory({"select", path, "-o", drive.Temp("out.png")}, &status);
        EXPECT_EQ(status, 1) << f.what;
        EXPECT_LT(peak, int64_t(300) << 20) << f.what;
    }
}
#endif

}  // namespace

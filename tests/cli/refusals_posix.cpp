// What varno refuses before the plug-in runs, outputs through links, two programs at once, and
// running out of memory.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cstring>
#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/cli/varno_program.h"
#include "tests/images/picture_files.h"

namespace {

using namespace varnotest;

// Every refusal leaves the preferences (none yet), the run log and the files as they were.
TEST(VarnoRefusals, EverythingCheckableIsCheckedBeforeThePluginRuns) {
    DriveC drive;
    const std::string in = drive.Temp("in.png"), readOnly = drive.Temp("readonly.png"), fifo = drive.Temp("fifo.png");
    const std::string device = drive.Temp("device.png"), dir = drive.Temp(""), missing = drive.Temp("missing");
    ASSERT_EQ(Varno(drive, "sample " + Quote(in) + " --size 20x10").status, 0);
    hosttest::WriteBytes(readOnly, {1, 2, 3});
    chmod(readOnly.c_str(), 0444);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/null", device);  // through a link: the device is the output
    // Other names of the input: a hard link, a symbolic link, another spelling.
    const std::string hard = drive.Temp("hard.png"), soft = drive.Temp("soft.png"), dotted = drive.Temp("./in.png");
    std::filesystem::create_hard_link(in, hard);
    std::filesystem::create_symlink(in, soft);
    const std::vector<uint8_t> picture = hosttest::ReadBytes(in);
    const std::string out = dir + "o.png", sel = dir + "s.png", act = dir + "a.txt";
    const std::vector<uint8_t> selection = hosttest::PngFile(20, 10, 8, 0, std::vector<hosttest::Bytes>(10, hosttest::Bytes(20, 9)));
    const std::string actionText = "varno action 1\nEdgM enum rB45 6\nedgR long 2\n";
    const std::vector<uint8_t> action(actionText.begin(), actionText.end());
    hosttest::WriteBytes(sel, selection);
    hosttest::WriteBytes(act, action);
    const std::string write = "cannot write '", notFile = "': it is not a regular file (a FIFO, device or socket)";
    const std::string sameAs = "': it is the same file as ", input = sameAs + "the input picture '" + in + "'";
    const std::pair<std::string, std::string> cases[] = {
        {"select " + in + " -o " + dir + "o.gif", write + dir + "o.gif': unknown picture type '.gif' (use .png, .tif, .bmp or .jpg)"},
        {"select - -o " + out + " <&-", "cannot read standard input: it is closed"},
        {"--version >/dev/null; sh -c " + Quote("exec " VARNO_PROGRAM_PATH " select " + in + " -o - >&-"),
         "cannot write standard output: it is closed"},
        {"--version >/dev/null; sh -c " + Quote("exec " VARNO_PROGRAM_PATH " select " + in + " -o - >/dev/full"),
         "cannot write standard output: No space left on device"},
        {"select " + in + " -o " + missing + "/o.png", write + missing + "/o.png': there is no directory '" + missing + "'"},
        {"select " + in + " -o " + in, write + in + input},
        {"select " + in + " -o " + hard, write + hard + input},
        {"select " + in + " -o " + out + " --record " + soft, write + soft + input},
        {"select " + in + " -o " + out + " --record " + dir + "./o.png", write + dir + "./o.png" + sameAs + "the output '" + out + "'"},
        {"select " + in + " --selection " + sel + " -o " + sel, write + sel + sameAs + "the current selection '" + sel + "'"},
        {"select " + in + " --play " + act + " -o " + out + " --record " + act, write + act + sameAs + "the played action '" + act + "'"},
        {"edges " + in + " -o " + dotted, write + dotted + input},
        {"select " + in + " -o " + readOnly, write + readOnly + "': the file is read-only"},
        {"select " + in + " -o " + fifo, write + fifo + notFile},
        {"select " + in + " -o " + device, write + device + notFile},
        {"select " + in + " -o " + dir + "o.png --record " + missing + "/r.txt", write + missing + "/r.txt': there is no directory '" + missing + "'"},
        {"select " + dir, "cannot read '" + dir + "': it is a directory"},
        {"select " + fifo, "cannot read '" + fifo + "': it is a FIFO, not a file"},
        {"select /dev/zero", "cannot read '/dev/zero': it is a device, not a file"},
        {"edges " + in + " -o " + missing + "/o.png", write + missing + "/o.png': there is no directory '" + missing + "'"},
    };
    for (const auto& [arguments, reason] : cases) {
        hosttest::WriteBytes(drive.Path("VEXAlog.txt"), {});
        const Outcome outcome = Varno(drive, arguments);
        EXPECT_EQ(outcome.status, 1) << arguments;
        EXPECT_EQ(outcome.err, "varno: " + reason + "\n") << arguments;
        EXPECT_FALSE(hosttest::Exists(drive.Path("QUENpref.xxx"))) << arguments;
        EXPECT_TRUE(hosttest::ReadBytes(drive.Path("VEXAlog.txt")).empty()) << arguments;
    }
    EXPECT_EQ(hosttest::ReadBytes(readOnly), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(hosttest::ReadBytes(in), picture);
    EXPECT_FALSE(hosttest::Exists(out));
    EXPECT_EQ(hosttest::ReadBytes(sel), selection);
    EXPECT_EQ(hosttest::ReadBytes(act), action);
    // "--" before a picture whose name starts with a dash; an output through a link keeps the link.
    std::filesystem::copy_file(in, drive.Temp("-dashed.png"));
    std::filesystem::create_symlink("target.png", drive.Temp("link.png"));
    ASSERT_EQ(Varno(drive, "select -o " + Quote(drive.Temp("link.png")) + " -- " + Quote(drive.Temp("-dashed.png"))).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(drive.Temp("link.png")));
    EXPECT_EQ(GreyPlane(drive.Temp("target.png")).size(), 200u);
}

// A second program while the first holds the preferences: varno waits for it as the plug-in does,
// a lone -r included, and after the wait runs the defaults, says so and leaves the file as it was.
TEST(VarnoRefusals, PreferencesHeldByAnotherProgramGiveAWarning) {
    DriveC drive;
    const std::string in = drive.Temp("in.png");
    ASSERT_EQ(Varno(drive, "sample " + Quote(in) + " --size 20x10").status, 0);
    struct Case {
        const char* given;
        int heldMilliseconds;  // 0: for the whole run
        float method, radius;  // remembered after the run
    };
    const Case cases[] = {{"", 0, 6, 1}, {"-r 3", 0, 6, 1}, {"-r 3", 1000, 6, 3}};
    for (const Case& c : cases) {
        ASSERT_EQ(Varno(drive, "select " + Quote(in) + " -o " + Quote(drive.Temp("a.png")) + " -m fine -r 1").status, 0);
        const std::vector<uint8_t> before = hosttest::ReadBytes(drive.Path("QUENpref.xxx"));
        const int held = ::open(drive.Path("QUENpref.xxx").c_str(), O_RDWR | O_CLOEXEC);  // not passed on to varno
        ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
        std::thread release([&] {
            if (c.heldMilliseconds) std::this_thread::sleep_for(std::chrono::milliseconds(c.heldMilliseconds)), close(held);
        });
        const Outcome outcome = Varno(drive, "select " + Quote(in) + " -o " + Quote(drive.Temp("b.png")) + " " + c.given);
        release.join();
        if (!c.heldMilliseconds) close(held);
        EXPECT_EQ(outcome.status, 0) << c.given;
        EXPECT_EQ(outcome.err.find("varno: warning: the remembered settings were not available") != std::string::npos, !c.heldMilliseconds)
            << c.given << outcome.err;
        const std::vector<uint8_t> after = hosttest::ReadBytes(drive.Path("QUENpref.xxx"));
        if (!c.heldMilliseconds) {
            EXPECT_EQ(after, before) << c.given;
        }
        float stored[2] = {};
        if (after.size() >= 956) std::memcpy(stored, &after[948], 8);
        EXPECT_EQ(stored[0], c.method) << c.given;
        EXPECT_EQ(stored[1], c.radius) << c.given;
    }
}

// A picture whose selection cannot be written after the plug-in ran (a file-size limit stands in
// for a full disk) takes back what its run did to the preferences and the run log; in a batch the
// pictures written keep theirs.
TEST(VarnoRefusals, AFailureAfterTheRunLeavesThePreferencesAndLogAsTheyWere) {
    DriveC drive;
    const std::string small = drive.Temp("small.png"), small2 = drive.Temp("small2.png"), big = drive.Temp("big.png");
    ASSERT_EQ(Varno(drive, "sample " + Quote(small) + " --size 20x10").status, 0);
    ASSERT_EQ(Varno(drive, "sample " + Quote(small2) + " --size 30x10").status, 0);
    ASSERT_EQ(Varno(drive, "sample " + Quote(big) + " --size 1600x1200").status, 0);  // a selection of 1.1 MB
    hosttest::WriteBytes(drive.Path("VEXAlog.txt"), {});
    ASSERT_EQ(Varno(drive, "select " + Quote(small) + " --quiet -m variable -r 3").status, 0);
    const std::vector<uint8_t> preferences = hosttest::ReadBytes(drive.Path("QUENpref.xxx"));
    const std::vector<uint8_t> log = hosttest::ReadBytes(drive.Path("VEXAlog.txt"));
    struct Case {
        std::string pictures;
        int addedRecords;  // 0: the preferences as before too
    };
    const Case cases[] = {{Quote(big) + " -o " + Quote(drive.Temp("big-out.png")), 0},
                          {Quote(small) + " " + Quote(big) + " " + Quote(small2) + " -j 2 -o " + Quote(drive.Temp("out/")), 2}};
    for (const Case& c : cases) {
        const Outcome outcome = Varno(drive, "--version >/dev/null; trap '' XFSZ; ulimit -f 200; exec " + Quote(VARNO_PROGRAM_PATH) +
                                                 " select --quiet -m fine -r 1 " + c.pictures);
        EXPECT_EQ(outcome.status, 1) << c.pictures;
        EXPECT_NE(outcome.err.find("File too large"), std::string::npos) << outcome.err;
        const std::vector<uint8_t> now = hosttest::ReadBytes(drive.Path("VEXAlog.txt"));
        ASSERT_GE(now.size(), log.size());
        EXPECT_TRUE(std::equal(log.begin(), log.end(), now.begin())) << c.pictures;
        const std::string added(now.begin() + ptrdiff_t(log.size()), now.end());
        int records = 0;
        for (size_t at = 0; (at = added.find("Signature = ", at)) != std::string::npos; ++at) ++records;
        EXPECT_EQ(records, c.addedRecords) << c.pictures << "\n" << added;
        const std::vector<uint8_t> stored = hosttest::ReadBytes(drive.Path("QUENpref.xxx"));
        if (c.addedRecords == 0) {
            EXPECT_EQ(stored, preferences);
        }
        float method = 0;
        if (stored.size() >= 952) std::memcpy(&method, &stored[948], 4);
        EXPECT_EQ(method, c.addedRecords == 0 ? 7.0f : 6.0f) << c.pictures;  // the last picture written
    }
}

// Not in sanitizer builds: the address sanitizer cannot run under an address-space limit, and its
// operator new ends the program rather than throw.
#ifndef __SANITIZE_ADDRESS__
TEST(VarnoRefusals, OutOfMemoryEndsOnePictureNotTheBatch) {
    DriveC drive;
    const std::string big = drive.Temp("big.png"), small = drive.Temp("small.png"), into = drive.Temp("out/");
    ASSERT_EQ(Varno(drive, "sample " + Quote(small) + " --size 20x10").status, 0);
    hosttest::WriteBytes(big, hosttest::PngFile(12000, 12000, 8, 0, std::vector<hosttest::Bytes>(12000, hosttest::Bytes(12000, 90))));
    // The picture's 137 MB plane does not fit in 200 MB of address space beside the program.
    const Outcome outcome = Varno(drive, "--version >/dev/null; ulimit -v 200000; exec " + Quote(VARNO_PROGRAM_PATH) +
                                             " select " + Quote(big) + " " + Quote(small) + " -o " + Quote(into) + " --quiet");
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "varno: cannot read '" + big + "': out of memory\nvarno: 1 of 2 pictures failed\n");
    EXPECT_TRUE(hosttest::Exists(drive.Temp("out/small-selection.png")));
}
#endif

}  // namespace

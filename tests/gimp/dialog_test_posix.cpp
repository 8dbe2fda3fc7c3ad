// The plug-in's dialog inside GIMP, driven on a virtual display as a user drives it: opened, a
// method chosen (the preview redraws), cancelled (the image keeps its selection); opened again,
// Variable width with radius 1 chosen and accepted (the selection is varno's for that choice, and
// the next run with last values plays it); then a run asked to stop half way (the image keeps its
// selection). The screenshot it takes is docs/gimp-dialog.png.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstdlib>
#include <thread>

#include "gimp_support.h"

namespace {

using gimptest::Plane;
using gimptest::Quote;
using gimptest::Samples;

int Shell(const std::string& command) {
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

void Pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// The plug-in's dialog, or "" when it does not show within two minutes.
std::string VisibleDialog(const hosttest::DriveC& drive) {
    const std::string found = drive.Temp("window.txt");
    Shell("xdotool search --onlyvisible --name 'Edges \\(Varnocketile\\)' >" + Quote(found) + " 2>/dev/null");
    const std::vector<uint8_t> bytes = hosttest::ReadBytes(found);
    return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), uint8_t('\n')));
}

std::string WaitForDialog(const hosttest::DriveC& drive) {
    for (int attempt = 0; attempt < 240; ++attempt) {
        if (std::string window = VisibleDialog(drive); !window.empty()) return window;
        Pause(500);
    }
    return {};
}

// Until the dialog has closed (a new one may then get the same window number).
void WaitForClose(const hosttest::DriveC& drive) {
    for (int attempt = 0; attempt < 240 && !VisibleDialog(drive).empty(); ++attempt) Pause(500);
}

// Keys through the X server's test extension, as a keyboard sends them, to the focused dialog.
void Keys(const std::string& window, const std::string& keys) {
    EXPECT_EQ(Shell("xdotool windowfocus --sync " + window + " key --delay 100 " + keys), 0) << keys;
}

void Screenshot(const std::string& window, const std::string& path) {
    EXPECT_EQ(Shell("import -window " + window + " " + Quote(path)), 0) << path;
}

// The pixels of a screenshot's top part, where the preview is (the method buttons are below it).
std::vector<uint8_t> PreviewPixels(const hosttest::DriveC& drive, const std::string& screenshot) {
    const std::string pixels = drive.Temp("preview.rgb");
    EXPECT_EQ(Shell("convert " + Quote(screenshot) + " -crop 100%x30%+0+0 +repage rgb:" + Quote(pixels)), 0);
    return hosttest::ReadBytes(pixels);
}

// The plug-in's process of this test's GIMP (the one whose program is the copy in the test's own
// profile), or 0 when none shows within a minute.
pid_t PluginProcess(const hosttest::DriveC& drive) {
    const std::string program = drive.Temp("gimp-profile") + "/plug-ins/varnocketile/varnocketile";
    for (int attempt = 0; attempt < 6000; ++attempt) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos) continue;
            const std::vector<uint8_t> line = hosttest::ReadBytes(entry.path().string() + "/cmdline");
            if (std::string(line.begin(), std::find(line.begin(), line.end(), uint8_t(0))) == program)
                return pid_t(std::atol(name.c_str()));
        }
        Pause(10);
    }
    return 0;
}

TEST(GimpDialog, CancelKeepsTheSelectionAndOkRunsTheChoice) {
    if (const std::string why = gimptest::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display (the test gimp_dialog runs this under scripts/with-display)";
    if (Shell("command -v xdotool >/dev/null && command -v import >/dev/null") != 0)
        GTEST_SKIP() << "xdotool and ImageMagick's import are needed";
    const std::string astronaut = gimptest::Photograph("astronaut.png"), coffee = gimptest::Photograph("coffee.png");
    if (astronaut.empty() || coffee.empty()) GTEST_SKIP() << "the photographs of python3-skimage are not installed";

    hosttest::DriveC drive;
    gimptest::MakeProfile(drive);
    const std::string before = drive.Temp("before.raw"), cancelled = drive.Temp("cancelled.raw"),
                      accepted = drive.Temp("accepted.raw"), last = drive.Temp("last.raw"),
                      stopBefore = drive.Temp("stop-before.raw"), stopAfter = drive.Temp("stop-after.raw");
    const std::string script =
        "(let ((image (vt-load \"" + astronaut + "\")))"
        " (vt-ellipse image 100 60 300 200 \"" + before + "\")"
        " (catch #f (plug-in-varnocketile-select RUN-INTERACTIVE image (vt-drawable image) 0 0))"
        " (vt-dump image \"" + cancelled + "\")"
        " (plug-in-varnocketile-select RUN-INTERACTIVE image (vt-drawable image) 0 0)"
        " (vt-dump image \"" + accepted + "\"))"
        "(let ((image (vt-load \"" + coffee + "\"))) (vt-last image \"" + last + "\"))"
        // A run asked to stop (SIGTERM reaches the module's abort callback) on a picture large
        // enough to be stopped half way.
        "(let ((image (vt-load \"" + coffee + "\")))"
        " (gimp-image-scale image 7200 4800)"
        " (gimp-image-select-rectangle image CHANNEL-OP-REPLACE 100 100 2000 1000)"
        " (vt-dump image \"" + stopBefore + "\")"
        " (gimp-message (if (eq? (catch 'failed (plug-in-varnocketile-select RUN-NONINTERACTIVE image"
        "  (vt-drawable image) 6 2)) 'failed) \"the stopped run failed\" \"the stopped run returned\"))"
        " (vt-dump image \"" + stopAfter + "\"))\n";
    hosttest::WriteBytes(drive.Temp("dialog.scm"), std::vector<uint8_t>(script.begin(), script.end()));
    const std::string log = drive.Temp("gimp.log");
    const std::string command = gimptest::GimpCommand(drive, drive.Temp("dialog.scm"), log, true);
    const pid_t gimp = fork();
    ASSERT_GE(gimp, 0);
    if (gimp == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }

    const std::string first = WaitForDialog(drive);
    EXPECT_FALSE(first.empty()) << "the dialog did not show";
    if (!first.empty()) {
        Pause(2000);  // the first preview
        const std::string opened = drive.Temp("opened.png"), chosen = std::string(VARNO_BINARY_DIR) + "/gimp-dialog.png";
        Screenshot(first, opened);
        Keys(first, "alt+t");
        Pause(2000);
        Screenshot(first, chosen);
        const std::vector<uint8_t> shown = PreviewPixels(drive, opened), redrawn = PreviewPixels(drive, chosen);
        EXPECT_FALSE(shown.empty());
        EXPECT_NE(shown, redrawn) << "the preview did not change with the method";
        Keys(first, "Escape");
        WaitForClose(drive);

        const std::string second = WaitForDialog(drive);
        EXPECT_FALSE(second.empty()) << "the dialog did not show again";
        if (!second.empty()) {
            Pause(1000);
            Keys(second, "alt+v alt+r ctrl+a 1 Tab");
            Pause(1000);
            Keys(second, "alt+o");
        }
    }
    for (int waited = 0; waited < 1200 && !hosttest::Exists(stopBefore); ++waited) Pause(100);
    const pid_t stopped = PluginProcess(drive);
    EXPECT_GT(stopped, 0) << "the run to stop did not start";
    // Once the module is loaded the picture has been read and the run is under way.
    bool loaded = false;
    for (int polls = 0; stopped > 0 && !loaded && polls < 12000; ++polls) {
        const std::vector<uint8_t> maps = hosttest::ReadBytes("/proc/" + std::to_string(stopped) + "/maps");
        loaded = std::string(maps.begin(), maps.end()).find("libvarnocketile.so") != std::string::npos;
        if (!loaded) Pause(5);
    }
    EXPECT_TRUE(loaded) << "the run to stop never loaded the module";
    if (loaded) kill(stopped, SIGTERM);
    int status = -1;
    for (int waited = 0; waited < 240 && waitpid(gimp, &status, WNOHANG) == 0; ++waited) Pause(500);
    if (waitpid(gimp, &status, WNOHANG) == 0) {
        kill(gimp, SIGKILL);
        waitpid(gimp, &status, 0);
    }
    const std::vector<uint8_t> logBytes = hosttest::ReadBytes(log);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << std::string(logBytes.begin(), logBytes.end());

    Plane kept, after, chosen, again;
    std::string error;
    ASSERT_TRUE(gimptest::ReadDump(before, 512, 512, Samples::kU8, &kept, &error)) << error;
    ASSERT_TRUE(gimptest::ReadDump(cancelled, 512, 512, Samples::kU8, &after, &error)) << error;
    EXPECT_NE(kept.bytes, std::vector<uint8_t>(kept.bytes.size(), 0));
    EXPECT_TRUE(after.bytes == kept.bytes) << "a cancelled dialog changed the selection";
    ASSERT_TRUE(gimptest::ReadDump(accepted, 512, 512, Samples::kU8, &chosen, &error)) << error;
    EXPECT_TRUE(chosen.bytes == gimptest::VarnoSelection(drive, astronaut, 7, 1).bytes);
    ASSERT_TRUE(gimptest::ReadDump(last, 600, 400, Samples::kU8, &again, &error)) << error;
    EXPECT_TRUE(again.bytes == gimptest::VarnoSelection(drive, coffee, 7, 1).bytes);

    const std::string logText(logBytes.begin(), logBytes.end());
    // Returned (as cancelled: a run that ended otherwise would have changed the selection), not
    // failed as a plug-in that was killed fails.
    EXPECT_NE(logText.find("the stopped run returned"), std::string::npos) << logText;
    const std::vector<uint8_t> stopKept = hosttest::ReadBytes(stopBefore);
    EXPECT_EQ(stopKept.size(), size_t(7200 * 4800));
    EXPECT_TRUE(hosttest::ReadBytes(stopAfter) == stopKept) << "a stopped run changed the selection";
}

}  // namespace

namespace {

// GIMP 3's dialog (GIMP's own procedure dialog) on a virtual display: shown, Variable width with
// radius 1 chosen by keys, OK; the selection is varno's for that choice, and GIMP plays the same
// choice in the next run with last values. Its screenshot is docs/gimp3-dialog.png.
TEST(GimpDialog3, ShownChosenAndAccepted) {
    if (const std::string why = gimptest::Unavailable(); !why.empty()) GTEST_SKIP() << why;
    const std::string astronaut = gimptest::Photograph("astronaut.png"), coffee = gimptest::Photograph("coffee.png");
    ASSERT_TRUE(std::getenv("DISPLAY") && !astronaut.empty() && !coffee.empty()) << "no display or no photographs";
    hosttest::DriveC drive;
    gimptest::MakeProfile(drive);
    const std::string accepted = drive.Temp("accepted.raw"), last = drive.Temp("last.raw"), log = drive.Temp("gimp.log");
    const std::string script = "(vt-interactive (vt-load \"" + astronaut + "\") \"" + accepted + "\")"
                               "(vt-last (vt-load \"" + coffee + "\") \"" + last + "\")\n";
    hosttest::WriteBytes(drive.Temp("dialog.scm"), std::vector<uint8_t>(script.begin(), script.end()));
    const std::string command = gimptest::GimpCommand(drive, drive.Temp("dialog.scm"), log, true);
    const pid_t gimp = fork();
    ASSERT_GE(gimp, 0);
    if (gimp == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const std::string window = WaitForDialog(drive);
    EXPECT_FALSE(window.empty()) << "the dialog did not show";
    if (!window.empty()) {
        Pause(1000);
        Keys(window, "alt+v Tab ctrl+a 1 Tab");
        Pause(1000);
        Screenshot(window, std::string(VARNO_BINARY_DIR) + "/gimp3-dialog.png");
        Keys(window, "alt+o");
    }
    int status = -1;
    for (int waited = 0; waited < 240 && waitpid(gimp, &status, WNOHANG) == 0; ++waited) Pause(500);
    if (waitpid(gimp, &status, WNOHANG) == 0) {
        kill(gimp, SIGKILL);
        waitpid(gimp, &status, 0);
    }
    const std::vector<uint8_t> logBytes = hosttest::ReadBytes(log);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << std::string(logBytes.begin(), logBytes.end());
    Plane chosen, again;
    std::string error;
    ASSERT_TRUE(gimptest::ReadDump(accepted, 512, 512, Samples::kU8, &chosen, &error)) << error;
    EXPECT_TRUE(chosen.bytes == gimptest::VarnoSelection(drive, astronaut, 7, 1).bytes);
    ASSERT_TRUE(gimptest::ReadDump(last, 600, 400, Samples::kU8, &again, &error)) << error;
    EXPECT_TRUE(again.bytes == gimptest::VarnoSelection(drive, coffee, 7, 1).bytes);
}

}  // namespace

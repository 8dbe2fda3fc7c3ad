// The dialog laid out for the DPI it is shown at: opened at the system DPI of the wine prefix (96
// and 192, wine's LogPixels setting, in a test process of its own because the setting is read at
// start), and laid out again when WM_DPICHANGED tells it that its monitor's DPI changed. Each time
// the window takes the suggested rectangle, the controls and font scale, and the preview's frame,
// proxy picture and scroll ranges follow the frame's new size: the pixels drawn equal the
// portable computation at that size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_session_win32.h"
#include "ui/controls_win32.h"
#include "ui/preview_math.h"

namespace {

int32_t Width(const Rect16& r) { return r.right - r.left; }
int32_t Height(const Rect16& r) { return r.bottom - r.top; }

int32_t FontHeight(HWND window) {
    LOGFONTA font = {};
    HFONT handle = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    if (handle == nullptr || GetObjectA(handle, sizeof font, &font) != sizeof font) return 0;
    return font.lfHeight;
}

// Everything that must follow the frame's size, checked against the portable computation.
void ExpectPreviewLaidOut(HWND dialog, ImageBuffer* document, int32_t dpi) {
    const EdgeDialogProbe p = Probe();
    BufferShape shape = {0, 0, 0};
    GetBufferShape(document, &shape);
    EXPECT_EQ(p.dpi, dpi);
    EXPECT_EQ(Width(p.frame), Width(GetItemRect(dialog, kItemPreviewFrame)));
    EXPECT_EQ(Width(p.view), std::min<int32_t>(shape.width, Width(p.frame)));
    EXPECT_EQ(Height(p.view), std::min<int32_t>(shape.height, Height(p.frame)));
    EXPECT_EQ(p.horizontalRange, PanRange(shape.width, Width(p.frame)));
    EXPECT_EQ(p.verticalRange, PanRange(shape.height, Height(p.frame)));
    int low = -1, high = -1;
    if (p.horizontalRange > 0) {
        GetScrollRange(GetDlgItem(dialog, kItemPanHorizontal), SB_CTL, &low, &high);
        EXPECT_EQ(high, p.horizontalRange);
    }
    const std::vector<uint32_t> drawn = CaptureClient(dialog, p.frame);
    EXPECT_EQ(CountDifferences(drawn, ExpectedPreview(document, Probe()), Width(p.frame)), 0) << "at " << dpi << " DPI";
}

// Sends WM_DPICHANGED for `dpi` with a suggested rectangle scaled from the window's first one, and
// checks the layout that follows: window, frame, font and preview.
void ChangeDpi(HWND dialog, ImageBuffer* document, int32_t dpi, int32_t firstDpi, const RECT& firstWindow,
               const Rect16& firstFrame, int32_t firstFont) {
    RECT suggested = {0, 0, ScaleForDpi(firstWindow.right - firstWindow.left, dpi, firstDpi),
                      ScaleForDpi(firstWindow.bottom - firstWindow.top, dpi, firstDpi)};
    SendMessageA(dialog, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    RECT now = {};
    GetWindowRect(dialog, &now);
    EXPECT_EQ(now.right - now.left, suggested.right) << dpi;
    EXPECT_EQ(now.bottom - now.top, suggested.bottom) << dpi;
    const Rect16 frame = Probe().frame;
    EXPECT_EQ(frame.left, ScaleForDpi(firstFrame.left, dpi, firstDpi)) << dpi;
    EXPECT_EQ(frame.right, ScaleForDpi(firstFrame.right, dpi, firstDpi)) << dpi;
    EXPECT_EQ(frame.bottom, ScaleForDpi(firstFrame.bottom, dpi, firstDpi)) << dpi;
    EXPECT_EQ(FontHeight(GetDlgItem(dialog, kItemOk)), ScaleForDpi(firstFont, dpi, firstDpi)) << dpi;
    ExpectPreviewLaidOut(dialog, document, dpi);
}

// Opens the dialog on the scene, checks it at the DPI it opened with, then goes through `dpis` by
// WM_DPICHANGED, panning to the far corner at each to show the new ranges reach it; saves the
// dialog's picture as `picture` (when given) at the first DPI.
void RunDpiSession(const std::vector<int32_t>& dpis, int32_t openedAt, const std::string& picture) {
    ImageBuffer* scene = MakeScene();
    ASSERT_NE(scene, nullptr);
    RECT firstWindow = {};
    Rect16 firstFrame = {};
    int32_t firstFont = 0, firstDpi = 0;
    std::vector<DialogStep> steps = {[&](HWND d) {
        firstDpi = Probe().dpi;
        GetWindowRect(d, &firstWindow);
        firstFrame = Probe().frame;
        firstFont = FontHeight(GetDlgItem(d, kItemOk));
        if (openedAt > 0) { EXPECT_EQ(Probe().dpi, openedAt); }
        ExpectPreviewLaidOut(d, scene, Probe().dpi);
        if (!picture.empty()) { EXPECT_TRUE(SaveDialogPicture(d, picture)) << picture; }
    }};
    for (int32_t dpi : dpis) {
        steps.push_back([&, dpi](HWND d) { ChangeDpi(d, scene, dpi, firstDpi, firstWindow, firstFrame, firstFont); });
        steps.push_back([&, dpi](HWND d) {
            Scroll(d, kItemPanHorizontal, WM_HSCROLL, SB_BOTTOM);
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_BOTTOM);
            const EdgeDialogProbe p = Probe();
            BufferShape shape = {0, 0, 0};
            GetBufferShape(scene, &shape);
            if (p.horizontalRange > 0) { EXPECT_EQ(p.view.right, shape.width) << dpi; }
            if (p.verticalRange > 0) { EXPECT_EQ(p.view.bottom, shape.height) << dpi; }
            ExpectPreviewLaidOut(d, scene, dpi);
        });
    }
    steps.push_back([](HWND d) { Click(d, kItemCancel); });
    const DialogOutcome outcome = RunDialog(scene, {kMethodSmoother, 2}, steps);
    EXPECT_EQ(outcome.result, 2);
    DisposeImageBuffer(scene);
}

TEST(EdgeDialogDpi, LaysItselfOutAgainWhenItsMonitorsDpiChanges) {
    const LiveResources before = CountLiveResources();
    // The first layout is the process's; every later one is scaled from it, so going back to
    // where it started gives the first layout again.
    const int32_t start = 96;
    RunDpiSession({144, 192, start}, 0, "");
    const LiveResources after = CountLiveResources();
    EXPECT_EQ(after.memoryBlocks, before.memoryBlocks);
    EXPECT_EQ(after.mappings, before.mappings);
}

// Runs in a process that EdgeDialogDpi.OpensAtTheDpiOfItsPrefix starts with the prefix set to the
// DPI in VARNO_DIALOG_DPI (not on its own: it is disabled).
TEST(EdgeDialogDpi, DISABLED_AtTheSystemDpi) {
    const char* wanted = std::getenv("VARNO_DIALOG_DPI");
    ASSERT_NE(wanted, nullptr);
    const int32_t dpi = std::atoi(wanted);
    // A current host is per-monitor DPI aware; the dialog then sees the monitor's DPI.
    typedef BOOL(WINAPI * AwarenessProc)(HANDLE);
    FARPROC found = GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext");
    AwarenessProc setAwareness = reinterpret_cast<AwarenessProc>(reinterpret_cast<void*>(found));
    if (setAwareness == nullptr || !setAwareness(reinterpret_cast<HANDLE>(-4))) SetProcessDPIAware();
    const std::string picture = dpi == 96 ? "" : std::string(VARNO_BINARY_DIR) + "/dialog-" + wanted + ".png";
    RunDpiSession({dpi == 96 ? 192 : 96, dpi}, dpi, picture);
}

// Sets wine's LogPixels in this test's prefix (where a process reads it at start), runs the
// disabled test above in a new process, and puts the setting back.
bool RunAtSystemDpi(int32_t dpi, std::string* why) {
    const char* const keys[][2] = {{"Control Panel\\Desktop", "HKCU"}, {"Software\\Fonts", "HKCC"}};
    DWORD previous[2] = {0, 0};
    bool had[2] = {false, false};
    for (int i = 0; i < 2; ++i) {
        HKEY root = i == 0 ? HKEY_CURRENT_USER : HKEY_CURRENT_CONFIG;
        HKEY key = nullptr;
        if (RegCreateKeyExA(root, keys[i][0], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
            continue;
        DWORD size = sizeof previous[i];
        had[i] = RegQueryValueExA(key, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&previous[i]), &size) ==
                 ERROR_SUCCESS;
        const DWORD value = DWORD(dpi);
        RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
        RegCloseKey(key);
    }
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string command = std::string("\"") + program +
                          "\" --gtest_also_run_disabled_tests --gtest_filter=EdgeDialogDpi.DISABLED_AtTheSystemDpi";
    SetEnvironmentVariableA("VARNO_DIALOG_DPI", std::to_string(dpi).c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    DWORD code = 1;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 180000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    } else {
        *why = "cannot start " + command;
    }
    SetEnvironmentVariableA("VARNO_DIALOG_DPI", nullptr);
    for (int i = 0; i < 2; ++i) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(i == 0 ? HKEY_CURRENT_USER : HKEY_CURRENT_CONFIG, keys[i][0], 0, KEY_ALL_ACCESS, &key) !=
            ERROR_SUCCESS)
            continue;
        if (had[i]) RegSetValueExA(key, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous[i]), 4);
        else RegDeleteValueA(key, "LogPixels");
        RegCloseKey(key);
    }
    return code == 0;
}

TEST(EdgeDialogDpi, OpensAtTheDpiOfItsPrefix) {
    for (int32_t dpi : {96, 192}) {
        std::string why;
        EXPECT_TRUE(RunAtSystemDpi(dpi, &why)) << "the dialog at " << dpi << " DPI failed (its output is above) " << why;
    }
}

}  // namespace

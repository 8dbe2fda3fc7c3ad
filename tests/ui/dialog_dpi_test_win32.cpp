// The dialog laid out for its DPI: opened in wine prefixes set to 96 and 192 DPI (LogPixels, read
// at a process's start, so in a process of its own), then laid out again by WM_DPICHANGED. Each
// time the window takes the suggested rectangle, frame and font scale from the first layout, and
// the preview's view, scroll ranges and pixels follow the frame's new size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "dialog_session_win32.h"
#include "ui/preview_math.h"

namespace {

int32_t FontHeight(HWND window) {
    LOGFONTA font = {};
    HFONT handle = reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0));
    return handle != nullptr && GetObjectA(handle, sizeof font, &font) == sizeof font ? font.lfHeight : 0;
}

struct FirstLayout {
    int32_t dpi = 0, font = 0;
    RECT window = {};
    Rect16 frame = {};
};

// Window, frame and font scaled from the first layout; view, ranges and pixels from the frame.
void ExpectLaidOut(HWND dialog, ImageBuffer* scene, int32_t dpi, const FirstLayout& first) {
    const EdgeDialogProbe p = Probe();
    RECT window = {};
    GetWindowRect(dialog, &window);
    const int32_t fw = p.frame.right - p.frame.left, fh = p.frame.bottom - p.frame.top;
    EXPECT_EQ(p.dpi, dpi);
    EXPECT_EQ(window.right - window.left, ScaleForDpi(first.window.right - first.window.left, dpi, first.dpi));
    EXPECT_EQ(p.frame.right, ScaleForDpi(first.frame.right, dpi, first.dpi));
    EXPECT_EQ(p.frame.bottom, ScaleForDpi(first.frame.bottom, dpi, first.dpi));
    EXPECT_EQ(FontHeight(GetDlgItem(dialog, kItemOk)), ScaleForDpi(first.font, dpi, first.dpi));
    EXPECT_EQ(p.view.right - p.view.left, std::min(640, fw));
    EXPECT_EQ(p.view.bottom - p.view.top, std::min(480, fh));
    EXPECT_EQ(p.horizontalRange, PanRange(640, fw));
    EXPECT_EQ(p.verticalRange, PanRange(480, fh));
    EXPECT_EQ(CountDifferences(CaptureClient(dialog, p.frame), ExpectedPreview(scene, p), fw), 0) << dpi << " DPI";
}

// Opens the dialog on the scene, then goes through `dpis` by WM_DPICHANGED, panning to the far
// corner at each; saves the dialog's picture at the first layout when `picture` is given.
void RunDpiSession(const std::vector<int32_t>& dpis, int32_t openedAt, const std::string& picture) {
    ImageBuffer* scene = MakeScene();
    ASSERT_NE(scene, nullptr);
    FirstLayout first;
    std::vector<DialogStep> steps = {[&](HWND d) {
        first = {Probe().dpi, FontHeight(GetDlgItem(d, kItemOk)), {}, Probe().frame};
        GetWindowRect(d, &first.window);
        if (openedAt > 0) { EXPECT_EQ(first.dpi, openedAt); }
        ExpectLaidOut(d, scene, first.dpi, first);
        if (!picture.empty()) { EXPECT_TRUE(SaveDialogPicture(d, picture)) << picture; }
    }};
    for (int32_t dpi : dpis) {
        steps.push_back([&, dpi](HWND d) {
            RECT suggested = {0, 0, ScaleForDpi(first.window.right - first.window.left, dpi, first.dpi),
                              ScaleForDpi(first.window.bottom - first.window.top, dpi, first.dpi)};
            SendMessageA(d, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
            ExpectLaidOut(d, scene, dpi, first);
            Scroll(d, kItemPanHorizontal, WM_HSCROLL, SB_BOTTOM);
            Scroll(d, kItemPanVertical, WM_VSCROLL, SB_BOTTOM);
            const EdgeDialogProbe p = Probe();
            if (p.horizontalRange > 0) { EXPECT_EQ(p.view.right, 640) << "the last column is reachable"; }
            if (p.verticalRange > 0) { EXPECT_EQ(p.view.bottom, 480) << "the last row is reachable"; }
            ExpectLaidOut(d, scene, dpi, first);
        });
    }
    steps.push_back([](HWND d) { Click(d, kItemCancel); });
    EXPECT_EQ(RunDialog(scene, {kMethodSmoother, 2}, steps).result, 2);
    DisposeImageBuffer(scene);
}

TEST(EdgeDialogDpi, LaysItselfOutAgainWhenItsMonitorsDpiChanges) {
    const LiveResources before = CountLiveResources();
    RunDpiSession({144, 192, 96}, 0, "");
    EXPECT_EQ(CountLiveResources().memoryBlocks, before.memoryBlocks);
    EXPECT_EQ(CountLiveResources().mappings, before.mappings);
}

// Run only by OpensAtTheDpiOfItsPrefix, in a process started with the prefix at VARNO_DIALOG_DPI.
TEST(EdgeDialogDpi, DISABLED_AtTheSystemDpi) {
    const char* wanted = std::getenv("VARNO_DIALOG_DPI");
    ASSERT_NE(wanted, nullptr);
    const int32_t dpi = std::atoi(wanted);
    // A current host is per-monitor DPI aware (-4: per-monitor, version 2).
    auto aware = reinterpret_cast<BOOL(WINAPI*)(HANDLE)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext")));
    if (aware == nullptr || !aware(reinterpret_cast<HANDLE>(-4))) SetProcessDPIAware();
    RunDpiSession({dpi == 96 ? 192 : 96, dpi}, dpi, dpi == 96 ? "" : std::string(VARNO_BINARY_DIR) + "/dialog-192.png");
}

// Sets wine's LogPixels (both places wine versions read it), runs the test above in a new process,
// and puts the setting back. The process's exit code: 0 when the test passed.
DWORD RunAtSystemDpi(int32_t dpi) {
    const struct {
        HKEY root;
        const char* path;
    } keys[] = {{HKEY_CURRENT_USER, "Control Panel\\Desktop"}, {HKEY_CURRENT_CONFIG, "Software\\Fonts"}};
    DWORD previous[2] = {0, 0}, size = 4, value = DWORD(dpi), code = 1;
    bool had[2] = {false, false};
    HKEY opened[2] = {nullptr, nullptr};
    for (int i = 0; i < 2; ++i) {
        RegCreateKeyExA(keys[i].root, keys[i].path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened[i], nullptr);
        had[i] = RegQueryValueExA(opened[i], "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&previous[i]),
                                  &size) == ERROR_SUCCESS;
        RegSetValueExA(opened[i], "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    }
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    std::string command = std::string("\"") + program +
                          "\" --gtest_also_run_disabled_tests --gtest_filter=EdgeDialogDpi.DISABLED_AtTheSystemDpi";
    SetEnvironmentVariableA("VARNO_DIALOG_DPI", std::to_string(dpi).c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 180000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    SetEnvironmentVariableA("VARNO_DIALOG_DPI", nullptr);
    for (int i = 0; i < 2; ++i) {
        if (had[i]) RegSetValueExA(opened[i], "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&previous[i]), 4);
        else RegDeleteValueA(opened[i], "LogPixels");
        RegCloseKey(opened[i]);
    }
    return code;
}

TEST(EdgeDialogDpi, OpensAtTheDpiOfItsPrefix) {
    for (int32_t dpi : {96, 192}) EXPECT_EQ(RunAtSystemDpi(dpi), 0u) << "at " << dpi << " DPI (its output is above)";
}

}  // namespace

// The dialog test harness (see dialog_session_win32.h).
#include "dialog_session_win32.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "params/edge_table.h"
#include "plugin/execute.h"
#include "ui/preview_math.h"

namespace {

constexpr UINT kStepInterval = 40;       // ms between two steps
constexpr UINT kWatchdogTime = 30000;    // ms before a dialog that is still open is cancelled

struct Session {
    const std::vector<DialogStep>* steps = nullptr;
    size_t next = 0;
    bool busy = false;
    bool timedOut = false;
};
Session session;

void CALLBACK StepTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (session.busy || session.steps == nullptr) return;
    EdgeDialogProbe probe;
    if (!ProbeEdgeDialog(&probe)) return;
    if (session.next >= session.steps->size()) return;
    HWND dialog = reinterpret_cast<HWND>(probe.window);
    // The modal loop shows the dialog once its queue first runs empty; a step needs it on screen.
    if (!IsWindowVisible(dialog)) return;
    session.busy = true;
    const DialogStep& step = (*session.steps)[session.next++];
    step(dialog);
    session.busy = false;
}

void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) {
    EdgeDialogProbe probe;
    if (!ProbeEdgeDialog(&probe)) return;
    session.timedOut = true;
    PostMessageA(reinterpret_cast<HWND>(probe.window), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
}

uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b) { return (uint32_t(r) << 16) | (uint32_t(g) << 8) | b; }

}  // namespace

DialogOutcome RunDialog(ImageBuffer* document, EdgeChoice choice, const std::vector<DialogStep>& steps, HWND owner) {
    DialogOutcome outcome;
    RunState* run = static_cast<RunState*>(AllocateMemoryBlock(sizeof(RunState)));
    BufferShape shape = {0, 0, 0};
    GetBufferShape(document, &shape);
    run->width = shape.width;
    run->height = shape.height;
    run->planes = shape.planes;
    PlatformData platform = {reinterpret_cast<intptr_t>(owner)};
    SelectionRecord* host = static_cast<SelectionRecord*>(AllocateMemoryBlock(sizeof(SelectionRecord)));
    host->platformData = &platform;
    run->host = host;

    PluginHandle* handle = CreatePluginHandle(sizeof(EdgeChoice));
    *static_cast<EdgeChoice*>(handle->data) = choice;

    session = Session();
    session.steps = &steps;
    UINT_PTR stepTimer = SetTimer(nullptr, 0, kStepInterval, StepTimer);
    UINT_PTR watchdog = SetTimer(nullptr, 0, kWatchdogTime, Watchdog);
    outcome.result = ShowEdgeDialog(document, run, handle);
    KillTimer(nullptr, stepTimer);
    KillTimer(nullptr, watchdog);
    outcome.timedOut = session.timedOut;
    outcome.stepsRun = session.next;
    session.steps = nullptr;

    outcome.choice = *static_cast<EdgeChoice*>(handle->data);
    DisposePluginHandle(handle);
    FreeMemoryBlock(host);
    FreeMemoryBlock(run);
    EXPECT_FALSE(outcome.timedOut) << "the watchdog had to cancel the dialog";
    EXPECT_EQ(outcome.stepsRun, steps.size());
    return outcome;
}

ImageBuffer* MakeScene() {
    const int16_t width = 640, height = 480;
    ImageBuffer* scene = nullptr;
    if (CreateImageBuffer("Scene", width, height, 3, &scene) != 0) return nullptr;
    std::vector<uint8_t> row(3 * static_cast<size_t>(width));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            // Sky, a sun, two hills and a lake, in flat-ish colours so the edges stand out.
            double hill1 = 300 + 60 * std::sin(x / 90.0);
            double hill2 = 340 + 40 * std::cos(x / 55.0 + 1.0);
            double sun = std::hypot(x - 470.0, y - 120.0);
            uint8_t r = static_cast<uint8_t>(120 + y / 4), g = static_cast<uint8_t>(170 + y / 6), b = 235;
            if (sun < 55) r = 250, g = 220, b = 90;
            if (y > hill1) r = 70, g = 140, b = 60;
            if (y > hill2) r = 40, g = 105, b = 45;
            if (y > 410 && x > 120 && x < 520) r = 50, g = 90, b = static_cast<uint8_t>(170 + (x % 40 < 20 ? 10 : 0));
            row[3 * x] = r;
            row[3 * x + 1] = g;
            row[3 * x + 2] = b;
        }
        WriteBufferRow(scene, 0, y, 3 * width, row.data());
    }
    return scene;
}

EdgeDialogProbe Probe() {
    EdgeDialogProbe probe;
    std::memset(&probe, 0, sizeof(probe));
    EXPECT_TRUE(ProbeEdgeDialog(&probe)) << "no dialog is open";
    return probe;
}

ImageBuffer* MakeDocument(int16_t width, int16_t height, int16_t planes) {
    ImageBuffer* image = nullptr;
    EXPECT_EQ(CreateImageBuffer("Document", width, height, planes, &image), 0);
    std::vector<uint8_t> row(static_cast<size_t>(width) * planes);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            uint8_t r = static_cast<uint8_t>(x);
            uint8_t g = static_cast<uint8_t>(y);
            uint8_t b = static_cast<uint8_t>(x ^ (3 * y));
            if (planes == 1) {
                row[x] = r;
            } else {
                row[3 * x] = r;
                row[3 * x + 1] = g;
                row[3 * x + 2] = b;
            }
        }
        WriteBufferRow(image, 0, y, width * planes, row.data());
    }
    return image;
}

void Click(HWND dialog, int32_t id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

void ClickLabel(HWND dialog, int32_t id) {
    HWND label = GetDlgItem(dialog, id);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED), reinterpret_cast<LPARAM>(label));
}

void Scroll(HWND dialog, int32_t id, UINT message, int32_t code, int32_t position) {
    SendMessageA(dialog, message, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void Type(HWND dialog, int32_t id, const char* text) { SetWindowTextA(GetDlgItem(dialog, id), text); }

std::string ItemText(HWND dialog, int32_t id) {
    char text[512] = {0};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

int32_t ScrollPosition(HWND dialog, int32_t id) { return GetScrollPos(GetDlgItem(dialog, id), SB_CTL); }

bool IsChecked(HWND dialog, int32_t id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

std::vector<uint32_t> CaptureClient(HWND window, Rect16 rect) {
    UpdateWindow(window);
    int32_t width = rect.right - rect.left;
    int32_t height = rect.bottom - rect.top;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0xFFFFFFFF);
    BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, section);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = source[i] & 0x00FFFFFF;
    SelectObject(memory, previous);
    DeleteObject(section);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return pixels;
}

std::vector<uint32_t> ExpectedPreview(ImageBuffer* document, const EdgeDialogProbe& state) {
    int32_t frameWidth = state.frame.right - state.frame.left;
    int32_t frameHeight = state.frame.bottom - state.frame.top;
    int16_t viewWidth = static_cast<int16_t>(state.view.right - state.view.left);
    int16_t viewHeight = static_cast<int16_t>(state.view.bottom - state.view.top);
    ImageBuffer* proxy = nullptr;
    EXPECT_EQ(CreateImageBuffer("Expected", viewWidth, viewHeight, 3, &proxy), 0);
    CopyBufferRegion(document, proxy, state.view, 0, 0);
    if (state.previewOn) {
        int32_t radius = state.radius >= 1 && state.radius <= 3 ? state.radius : kDefaultRadius;
        RunEdgeMethod(state.method, radius, proxy, nullptr, 0);
    }
    int32_t stride = PixelBlockStride(frameWidth);
    std::vector<uint8_t> block(static_cast<size_t>(frameHeight + 1) * stride, 0);
    FillPixelBlock(block.data(), stride, frameWidth, frameHeight, proxy);
    DisposeImageBuffer(proxy);
    std::vector<uint32_t> pixels(static_cast<size_t>(frameWidth) * frameHeight);
    for (int32_t y = 0; y < frameHeight; ++y) {
        for (int32_t x = 0; x < frameWidth; ++x) {
            const uint8_t* p = &block[static_cast<size_t>(y) * stride + 4 * x];
            pixels[static_cast<size_t>(y) * frameWidth + x] = Rgb(p[2], p[1], p[0]);
        }
    }
    return pixels;
}

int32_t CountDifferences(const std::vector<uint32_t>& drawn, const std::vector<uint32_t>& expected, int32_t width) {
    int32_t differences = 0;
    if (drawn.size() != expected.size()) {
        ADD_FAILURE() << "sizes differ: " << drawn.size() << " and " << expected.size();
        return -1;
    }
    for (size_t i = 0; i < drawn.size(); ++i) {
        if (drawn[i] == expected[i]) continue;
        if (differences < 5) {
            ADD_FAILURE() << "pixel (" << i % width << ", " << i / width << ") drawn " << std::hex << drawn[i]
                          << " expected " << expected[i];
        }
        ++differences;
    }
    return differences;
}

int32_t CountZoomMisses(const std::vector<uint32_t>& drawn, const std::vector<uint32_t>& unzoomed,
                        int32_t frameWidth, int32_t frameHeight, int32_t zoom) {
    BlitGeometry g = ComputeBlitGeometry(frameWidth, frameHeight, zoom);
    int32_t misses = 0;
    for (int32_t y = 0; y < frameHeight; y += 3) {
        for (int32_t x = 0; x < frameWidth; x += 3) {
            int32_t sx = g.sourceLeft + x * g.sourceWidth / g.destinationWidth;
            int32_t sy = g.sourceTop + y * g.sourceHeight / g.destinationHeight;
            bool found = false;
            for (int32_t dy = -1; dy <= 1 && !found; ++dy) {
                for (int32_t dx = -1; dx <= 1 && !found; ++dx) {
                    int32_t u = sx + dx;
                    int32_t v = sy + dy;
                    // Columns of the bitmap beyond the frame are black padding.
                    uint32_t source = 0;
                    if (u >= 0 && v >= 0 && v < frameHeight && u < frameWidth) {
                        source = unzoomed[static_cast<size_t>(v) * frameWidth + u];
                    } else if (v < 0 || v >= frameHeight || u < 0) {
                        continue;
                    }
                    found = drawn[static_cast<size_t>(y) * frameWidth + x] == source;
                }
            }
            if (!found) {
                if (misses < 5) {
                    ADD_FAILURE() << "zoom " << zoom << ": pixel (" << x << ", " << y << ") drawn " << std::hex
                                  << drawn[static_cast<size_t>(y) * frameWidth + x] << " maps to (" << std::dec << sx
                                  << ", " << sy << ")";
                }
                ++misses;
            }
        }
    }
    return misses;
}

bool SaveDialogPicture(HWND window, const std::string& path) {
    RECT client;
    GetClientRect(window, &client);
    Rect16 rect = {0, 0, static_cast<int16_t>(client.bottom), static_cast<int16_t>(client.right)};
    std::vector<uint32_t> pixels = CaptureClient(window, rect);
    std::vector<uint8_t> rgb(pixels.size() * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        rgb[3 * i] = static_cast<uint8_t>(pixels[i] >> 16);
        rgb[3 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        rgb[3 * i + 2] = static_cast<uint8_t>(pixels[i]);
    }
    return WritePng(path, client.right, client.bottom, rgb);
}

#include "tests/widgets/window_test_support.h"

#include <atomic>
#include <cstdio>

#include "tests/widgets/widget_test_support.h"

namespace widget_test {

namespace {

LRESULT CALLBACK plainWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

const char* plainWindowClass() {
    static const bool registered = [] {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = plainWindowProcedure;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = "KelWidgetTestWindow";
        return RegisterClassA(&windowClass) != 0;
    }();
    return registered ? "KelWidgetTestWindow" : "STATIC";
}

} // namespace

void* parentWindow() {
    static HWND hidden = CreateWindowExA(0, plainWindowClass(), "parent", WS_POPUP, 0, 0, 400, 300,
                                         nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    return hidden;
}

Canvas::Canvas(int width, int height, VSTGUI::CColor fill) : w(width), h(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    memory = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    bits = static_cast<const unsigned char*>(pixels);
    previous = SelectObject(memory, bitmap);
    HBRUSH brush = CreateSolidBrush(RGB(fill.red, fill.green, fill.blue));
    const RECT all{0, 0, width, height};
    FillRect(memory, &all, brush);
    DeleteObject(brush);
}

Canvas::~Canvas() {
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

VSTGUI::CColor Canvas::pixel(int x, int y) const {
    GdiFlush();
    const unsigned char* at = bits + (static_cast<std::size_t>(y) * w + x) * 4;
    return {at[2], at[1], at[0], 0};
}

VSTGUI::CRect Canvas::boundsOf(VSTGUI::CColor color) const {
    VSTGUI::CRect bounds(w, h, 0, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (pixel(x, y).sameRgb(color)) {
                bounds.left = x < bounds.left ? x : bounds.left;
                bounds.top = y < bounds.top ? y : bounds.top;
                bounds.right = x + 1 > bounds.right ? x + 1 : bounds.right;
                bounds.bottom = y + 1 > bounds.bottom ? y + 1 : bounds.bottom;
            }
        }
    }
    return bounds.right > bounds.left ? bounds : VSTGUI::CRect();
}

TopWindow::TopWindow(int x, int y, int width, int height) {
    window =
        CreateWindowExA(WS_EX_TOPMOST, plainWindowClass(), "widget test", WS_POPUP | WS_VISIBLE, x,
                        y, width, height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetForegroundWindow(window);
    pumpMessages(200);
}

TopWindow::~TopWindow() {
    DestroyWindow(window);
    pumpMessages(50);
}

void pumpMessages(int ms) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    } while (static_cast<LONG>(GetTickCount() - end) < 0);
}

XInput::XInput(const std::string& command) {
    static std::atomic<int> count{0};
    const std::string unixMarker =
        "/tmp/kel-xinput-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
    marker = "Z:" + unixMarker;
    for (char& c : marker) {
        c = c == '/' ? '\\' : c;
    }
    DeleteFileA(marker.c_str());
    // Wine starts Unix programs directly; it gives no handle to wait on, so the command leaves a
    // file behind when it is done.
    std::string line = "/bin/sh -c \"" + command + "; touch " + unixMarker + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process)) {
        if (process.hThread) {
            CloseHandle(process.hThread);
        }
        if (process.hProcess) {
            CloseHandle(process.hProcess);
        }
    }
}

XInput::~XInput() {
    DeleteFileA(marker.c_str());
}

bool XInput::finished() const {
    return GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool XInput::wait(int timeoutMs) const {
    const DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
    while (!finished()) {
        if (static_cast<LONG>(GetTickCount() - end) > 0) {
            return false;
        }
        pumpMessages(10);
    }
    return true;
}

POINT screenPoint(HWND window, int x, int y) {
    POINT point{x, y};
    ClientToScreen(window, &point);
    return point;
}

} // namespace widget_test

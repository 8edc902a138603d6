#include "tests/widgets/window_test_support.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "win32/messages.h"
#include "win32/module.h"

namespace widget_test {

namespace {

const char* plainWindowClass() {
    static const bool registered = kel::win32::registerWindowClass(
        "KelWidgetTestWindow", DefWindowProcA, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    return registered ? "KelWidgetTestWindow" : "STATIC";
}

} // namespace

void* parentWindow() {
    static HWND hidden = CreateWindowExA(0, plainWindowClass(), "parent", WS_POPUP, 0, 0, 400, 300,
                                         nullptr, nullptr, kel::win32::thisModule(), nullptr);
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
                        y, width, height, nullptr, nullptr, kel::win32::thisModule(), nullptr);
    SetForegroundWindow(window);
    kel::win32::pumpMessagesFor(0.2);
}

TopWindow::~TopWindow() {
    DestroyWindow(window);
    kel::win32::pumpMessagesFor(0.05);
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
    // Wine starts Unix programs directly. It gives no handle to wait on (so the command leaves a
    // file behind when it is done), and the handles it hands back are not ours: 64-bit Wine
    // leaves them undefined, and closing them would close handles of this process.
    std::string line = "/bin/sh -c \"" + command + "; touch " + unixMarker + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                   &process);
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
        kel::win32::pumpMessagesFor(0.01);
    }
    return true;
}

XScript& XScript::moveTo(POINT where) {
    steps += "xdotool mousemove " + std::to_string(where.x) + " " + std::to_string(where.y) +
             "; sleep 0.06; ";
    return *this;
}

XScript& XScript::press(int button) {
    steps += "sleep 0.2; xdotool mousedown " + std::to_string(button) + "; sleep 0.2; ";
    return *this;
}

XScript& XScript::release(int button) {
    steps += "sleep 0.2; xdotool mouseup " + std::to_string(button) + "; sleep 0.2; ";
    return *this;
}

XScript& XScript::wheel(int notches) {
    for (int i = 0; i < std::abs(notches); ++i) {
        steps += std::string("xdotool click ") + (notches > 0 ? "4" : "5") + "; sleep 0.15; ";
    }
    return *this;
}

XScript& XScript::keyDown(const char* key) {
    steps += std::string("xdotool keydown ") + key + "; sleep 0.1; ";
    return *this;
}

XScript& XScript::keyUp(const char* key) {
    steps += std::string("sleep 0.1; xdotool keyup ") + key + "; ";
    return *this;
}

XScript& XScript::key(const char* keys) {
    steps += std::string("xdotool key --delay 80 ") + keys + "; sleep 0.3; ";
    return *this;
}

XScript& XScript::type(const std::string& text) {
    // Letters, digits and spaces only: they need no quoting for the shell.
    steps += "xdotool type --delay 20 '" + text + "'; sleep 0.2; ";
    return *this;
}

XScript& XScript::focusAt(POINT where) {
    moveTo(where);
    steps += "eval $(xdotool getmouselocation --shell); xdotool windowfocus $WINDOW; sleep 0.2; ";
    return *this;
}

XScript& XScript::pause(double seconds) {
    steps += "sleep " + std::to_string(seconds) + "; ";
    return *this;
}

bool XScript::run(int timeoutMs) {
    XInput input(steps + "sleep 0.2");
    steps.clear();
    return input.wait(timeoutMs);
}

POINT screenPoint(HWND window, int x, int y) {
    POINT point{x, y};
    ClientToScreen(window, &point);
    return point;
}

} // namespace widget_test

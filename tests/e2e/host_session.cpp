#include "tests/e2e/host_session.h"

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

namespace e2e {

namespace {

struct WindowSearch {
    DWORD processId;
    const char* windowClass;
    HWND found;
};

BOOL CALLBACK findWindowOf(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    if (owner == search->processId && IsWindowVisible(window) &&
        (!search->windowClass || std::string(name) == search->windowClass)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND waitForWindowOf(DWORD processId, const char* windowClass, int timeoutMs) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < static_cast<DWORD>(timeoutMs);) {
        WindowSearch search{processId, windowClass, nullptr};
        EnumWindows(findWindowOf, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            Sleep(150); // let it finish setting itself up
            return search.found;
        }
        Sleep(30);
    }
    return nullptr;
}

std::string messageText(HWND box) {
    char text[1024] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text)); // the static text of a message box
    return text;
}

HostSession::HostSession(const std::string& plugin, const std::string& options) {
    ChildProcess::Options merged;
    merged.errorsAsLines = true;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    folder.resize(folder.find_last_of('\\') + 1);
    host = std::make_unique<ChildProcess>("kelhost.exe",
                                          "editor \"" + folder + plugin + "\" " + options, merged);
    const std::string window = waitFor("window ", 30000);
    if (window.empty() || waitFor("ready", 10000).empty()) {
        return;
    }
    int width = 0;
    int height = 0;
    long x = -1;
    long y = -1;
    if (std::sscanf(window.c_str(), "window %ld %ld %d %d", &x, &y, &width, &height) == 4) {
        editorOrigin = {x, y};
        topWindow = waitForWindowOf(host->processId(), nullptr);
        if (topWindow) {
            SetForegroundWindow(topWindow);
        }
    }
}

HostSession::~HostSession() {
    const int exitCode = close();
    // What the host said helps to tell why a test failed.
    if (::testing::Test::HasFailure()) {
        std::fprintf(stderr, "kelhost ended with %d; its output:\n", exitCode);
        for (const std::string& line : host->lines()) {
            std::fprintf(stderr, "  %s\n", line.c_str());
        }
    }
}

int HostSession::close(int timeoutMs) {
    if (!closed) {
        closed = true;
        if (topWindow) {
            PostMessageA(topWindow, WM_CLOSE, 0, 0);
        }
    }
    return host->finish(timeoutMs);
}

void HostSession::capture(widget_test::Canvas& canvas, int x, int y) const {
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.dc(), 0, 0, canvas.width(), canvas.height(), screen, editorOrigin.x + x,
           editorOrigin.y + y, SRCCOPY);
    ReleaseDC(nullptr, screen);
}

} // namespace e2e

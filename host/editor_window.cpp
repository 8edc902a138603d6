#include "host/editor_window.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "host/host_callback.h"
#include "host/plugin_workload.h"
#include "host/png_screenshot.h"

namespace kel::host {

namespace {

// WS_CLIPCHILDREN: erasing our background never draws over the editor's own windows.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = 0;
constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT kIdleMilliseconds = 33;   // about 30 Hz, the pace DAWs idle their editors at
constexpr double kScreenshotDelay = 0.3; // s after ready: what the first idles drew is on screen
constexpr int kIdlesPerReopen = 3;
const char* const kWindowClass = "KelhostEditorWindow";

double secondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class EditorWindow {
public:
    EditorWindow(const PluginInstance& instance, const EditorOptions& editorOptions)
        : plugin(instance), options(editorOptions) {}
    ~EditorWindow() {
        closeEditor();
        if (window) {
            DestroyWindow(window);
        }
    }
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    bool run(std::string& error);

private:
    static LRESULT CALLBACK windowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
    bool editorSize(int& width, int& height, std::string& error) const;
    bool create(int width, int height, std::string& error);
    void setClientSize(int width, int height);
    void placeClientAt(int x, int y);
    bool openEditor(std::string& error);
    void closeEditor();
    bool reopenEditor(std::string& error);
    void idle();
    void pumpMessages(double seconds);
    void announce();
    void onTimer();
    void screenshot();
    void requestClose();

    const PluginInstance& plugin;
    const EditorOptions& options;
    HWND window = nullptr;
    bool editorOpen = false;
    bool idling = false; // an editor that pumps messages in its idle must not be idled again
    bool closeRequested = false;
    double readyTime = -1.0; // secondsNow() when "ready" was written
    bool screenshotTaken = false;
    std::string screenshotError;
};

bool EditorWindow::run(std::string& error) {
    if (!(plugin.effect()->flags & effFlagsHasEditor)) {
        error = "the plug-in has no editor";
        return false;
    }
    int width = 0, height = 0;
    if (!editorSize(width, height, error) || !create(width, height, error) || !openEditor(error)) {
        return false;
    }
    SetTimer(window, kIdleTimer, kIdleMilliseconds, nullptr);
    PluginWorkload workload(plugin, options.audio, options.automate);
    bool ok = true;
    int reopened = 0;
    while (ok && reopened < options.reopenCount && !closeRequested) {
        ok = reopenEditor(error);
        reopened += ok ? 1 : 0;
    }
    if (options.reopenCount > 0) {
        hostLogLine("reopened " + std::to_string(reopened));
    }
    if (ok && !closeRequested) {
        announce();
    }
    MSG message;
    while (ok && !closeRequested) {
        if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
            break; // WM_QUIT: something ended this thread's message loop
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (window) {
        KillTimer(window, kIdleTimer);
    }
    if (ok && !options.screenshotPath.empty() && !screenshotTaken && editorOpen && window) {
        screenshot();
    }
    workload.stop();
    closeEditor();
    if (ok && !screenshotError.empty()) {
        error = screenshotError;
        ok = false;
    }
    return ok;
}

LRESULT CALLBACK EditorWindow::windowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(handle, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<EditorWindow*>(GetWindowLongPtrA(handle, GWLP_USERDATA));
    if (!self) {
        return DefWindowProcA(handle, message, wParam, lParam);
    }
    switch (message) {
    case WM_TIMER:
        if (wParam == kIdleTimer) {
            self->onTimer();
            return 0;
        }
        break;
    case WM_CLOSE:
        // The window goes only after the editor in it is closed.
        self->requestClose();
        return 0;
    case WM_NCDESTROY:
        // Destroyed by someone else (the editor, the system): end the session.
        self->window = nullptr;
        self->closeRequested = true;
        break;
    default:
        break;
    }
    return DefWindowProcA(handle, message, wParam, lParam);
}

bool EditorWindow::editorSize(int& width, int& height, std::string& error) const {
    ERect* rect = nullptr;
    plugin.dispatch(effEditGetRect, 0, 0, &rect);
    if (!rect) {
        error = "the plug-in gave no editor size";
        return false;
    }
    width = rect->right - rect->left;
    height = rect->bottom - rect->top;
    if (width <= 0 || height <= 0) {
        error = "the plug-in gave an empty editor size";
        return false;
    }
    return true;
}

bool EditorWindow::create(int width, int height, std::string& error) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        error = "cannot register the window class (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
    int left = 0, top = 0;
    if (options.placed) {
        left = options.x + frame.left;
        top = options.y + frame.top;
    } else {
        RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        left = work.left + std::max(0L, (work.right - work.left - frameWidth) / 2);
        top = work.top + std::max(0L, (work.bottom - work.top - frameHeight) / 2);
    }
    std::string name = plugin.text(effGetEffectName);
    const std::string title = "kelhost - " + (name.empty() ? std::string("plug-in") : name);
    window = CreateWindowExA(kExStyle, kWindowClass, title.c_str(), kStyle, left, top, frameWidth,
                             frameHeight, nullptr, nullptr, instance, this);
    if (!window) {
        error = "cannot create the editor window (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    // The frame the system draws may differ from what AdjustWindowRectEx promised: measure.
    setClientSize(width, height);
    if (options.placed) {
        placeClientAt(options.x, options.y);
    }
    SetForegroundWindow(window);
    UpdateWindow(window);
    return true;
}

void EditorWindow::setClientSize(int width, int height) {
    RECT client, outer;
    GetClientRect(window, &client);
    GetWindowRect(window, &outer);
    const int dx = width - client.right, dy = height - client.bottom;
    if (dx != 0 || dy != 0) {
        SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left + dx,
                     outer.bottom - outer.top + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void EditorWindow::placeClientAt(int x, int y) {
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    RECT outer;
    GetWindowRect(window, &outer);
    if (origin.x != x || origin.y != y) {
        SetWindowPos(window, nullptr, outer.left + x - origin.x, outer.top + y - origin.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

bool EditorWindow::openEditor(std::string& error) {
    if (!plugin.dispatch(effEditOpen, 0, 0, window)) {
        error = "the plug-in opened no editor";
        return false;
    }
    editorOpen = true;
    // Some editors know their final size only once they are open.
    int width = 0, height = 0;
    std::string ignored;
    if (editorSize(width, height, ignored)) {
        setClientSize(width, height);
    }
    return true;
}

void EditorWindow::closeEditor() {
    if (editorOpen) {
        editorOpen = false;
        plugin.dispatch(effEditClose);
    }
}

bool EditorWindow::reopenEditor(std::string& error) {
    closeEditor();
    pumpMessages(0.0);
    int width = 0, height = 0;
    if (!editorSize(width, height, error)) {
        return false;
    }
    setClientSize(width, height);
    if (!openEditor(error)) {
        error += " when reopened";
        return false;
    }
    for (int i = 0; i < kIdlesPerReopen; ++i) {
        pumpMessages(0.01);
        idle();
    }
    return true;
}

void EditorWindow::idle() {
    if (!editorOpen || idling) {
        return;
    }
    idling = true;
    plugin.dispatch(effEditIdle);
    idling = false;
}

void EditorWindow::pumpMessages(double seconds) {
    const double end = secondsNow() + seconds;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                closeRequested = true;
                continue;
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const double remaining = end - secondsNow();
        if (remaining <= 0.0) {
            return;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(remaining * 1000) + 1,
                                  QS_ALLINPUT);
    }
}

void EditorWindow::announce() {
    RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    idle();
    // Wine puts what was drawn on the X screen from its message loop: "ready" promises a
    // window that shows the editor and takes clicks.
    pumpMessages(0.1);
    GdiFlush();
    if (closeRequested || !window) {
        return;
    }
    RECT client;
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    char line[96];
    std::snprintf(line, sizeof(line), "window %ld %ld %ld %ld", static_cast<long>(origin.x),
                  static_cast<long>(origin.y), static_cast<long>(client.right),
                  static_cast<long>(client.bottom));
    hostLogLine(line);
    hostLogLine("ready");
    readyTime = secondsNow();
}

void EditorWindow::onTimer() {
    idle();
    if (readyTime < 0.0) {
        return;
    }
    const double sinceReady = secondsNow() - readyTime;
    if (!options.screenshotPath.empty() && !screenshotTaken && sinceReady >= kScreenshotDelay) {
        screenshot();
    }
    if (options.seconds > 0.0 && sinceReady >= options.seconds) {
        requestClose();
    }
}

void EditorWindow::screenshot() {
    screenshotTaken = true;
    GdiFlush();
    RECT client;
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    ScreenImage image;
    std::string error;
    if (!captureScreen(origin.x, origin.y, client.right, client.bottom, image, error) ||
        !writePng(options.screenshotPath, image, error)) {
        screenshotError = "screenshot: " + error;
        requestClose();
    }
}

void EditorWindow::requestClose() {
    closeRequested = true;
    // WM_CLOSE may have been sent, not posted: wake GetMessage so that the loop sees the flag.
    if (window) {
        PostMessageA(window, WM_NULL, 0, 0);
    }
}

} // namespace

bool runEditorWindow(const PluginInstance& plugin, const EditorOptions& options,
                     std::string& error) {
    EditorWindow editorWindow(plugin, options);
    return editorWindow.run(error);
}

} // namespace kel::host

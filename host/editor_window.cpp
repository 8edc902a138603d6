#include "host/editor_window.h"

#include <algorithm>
#include <cstdio>

#include "host/host_callback.h"
#include "host/plugin_workload.h"
#include "host/png_screenshot.h"
#include "win32/clock.h"
#include "win32/messages.h"
#include "win32/module.h"

namespace kel::host {

using win32::secondsNow;

namespace {

const char* const kWindowClass = "KelhostEditorWindow";
constexpr UINT_PTR kTimerId = 1;

} // namespace

EditorWindow::~EditorWindow() {
    stopTimer();
    closeEditor();
    destroy();
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
        if (wParam == kTimerId && self->timerTick) {
            self->timerTick();
            return 0;
        }
        break;
    case WM_CLOSE:
        // The window goes only after the editor in it is closed.
        self->requestClose();
        return 0;
    case WM_NCDESTROY:
        // Destroyed by someone else (the editor, the system): the session ends.
        self->window = nullptr;
        self->closeWanted = true;
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

bool EditorWindow::create(int width, int height, const std::string& title,
                          const WindowPlacement& placement, WindowFailure& failure) {
    // WS_CLIPCHILDREN: erasing our background never draws over the editor's own windows.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN |
                        (placement.minimizeBox ? WS_MINIMIZEBOX : 0);
    if (!win32::registerWindowClass(kWindowClass, windowProc,
                                    static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH)))) {
        failure = {WindowFailure::kRegisterClass, GetLastError()};
        return false;
    }
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
    int left = placement.x, top = placement.y;
    if (placement.where == WindowPlacement::kClientAt) {
        left += frame.left;
        top += frame.top;
    } else if (placement.where == WindowPlacement::kCentred) {
        RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        left = work.left + std::max(0L, (work.right - work.left - frameWidth) / 2);
        top = work.top + std::max(0L, (work.bottom - work.top - frameHeight) / 2);
    }
    window = CreateWindowExA(0, kWindowClass, title.c_str(), style, left, top, frameWidth,
                             frameHeight, nullptr, nullptr, win32::thisModule(), this);
    if (!window) {
        failure = {WindowFailure::kCreateWindow, GetLastError()};
        return false;
    }
    ShowWindow(window, placement.activate ? SW_SHOWNORMAL : SW_SHOWNOACTIVATE);
    // The frame the system draws may differ from what AdjustWindowRectEx promised: measure.
    setClientSize(width, height);
    if (placement.where == WindowPlacement::kClientAt) {
        placeClientAt(placement.x, placement.y);
    }
    if (placement.activate) {
        SetForegroundWindow(window);
    }
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

bool EditorWindow::openEditor() {
    if (!plugin.dispatch(effEditOpen, 0, 0, window)) {
        return false;
    }
    editorOpen = true;
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

void EditorWindow::destroy() {
    if (window) {
        DestroyWindow(window);
        window = nullptr;
    }
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
    if (!win32::pumpMessagesFor(seconds)) {
        closeWanted = true;
    }
}

void EditorWindow::startTimer(unsigned milliseconds, std::function<void()> tick) {
    timerTick = std::move(tick);
    SetTimer(window, kTimerId, milliseconds, nullptr);
}

void EditorWindow::stopTimer() {
    if (window && timerTick) {
        KillTimer(window, kTimerId);
    }
    timerTick = nullptr;
}

void EditorWindow::requestClose() {
    closeWanted = true;
    // WM_CLOSE may have been sent, not posted: wake GetMessage so that the loop sees the flag.
    if (window) {
        PostMessageA(window, WM_NULL, 0, 0);
    }
}

// ---- The editor verb ----

namespace {

constexpr UINT kIdleMilliseconds = 33;   // about 30 Hz, the pace DAWs idle their editors at
constexpr double kScreenshotDelay = 0.3; // s after ready: what the first idles drew is on screen
constexpr int kIdlesPerReopen = 3;

class EditorSession {
public:
    EditorSession(const PluginInstance& instance, const EditorOptions& editorOptions)
        : plugin(instance), options(editorOptions), window(instance) {}

    bool run(std::string& error);

private:
    bool openWindow(std::string& error);
    bool reopenEditor(std::string& error);
    void announce();
    void onTimer();
    void screenshot();

    const PluginInstance& plugin;
    const EditorOptions& options;
    EditorWindow window;
    double readyTime = -1.0; // secondsNow() when "ready" was written
    bool screenshotTaken = false;
    std::string screenshotError;
};

bool EditorSession::run(std::string& error) {
    if (!(plugin.effect()->flags & effFlagsHasEditor)) {
        error = "the plug-in has no editor";
        return false;
    }
    if (!openWindow(error)) {
        return false;
    }
    window.startTimer(kIdleMilliseconds, [this] { onTimer(); });
    PluginWorkload workload(plugin, options.audio, options.automate);
    bool ok = true;
    int reopened = 0;
    while (ok && reopened < options.reopenCount && !window.closeRequested()) {
        ok = reopenEditor(error);
        reopened += ok ? 1 : 0;
    }
    if (options.reopenCount > 0) {
        hostLogLine("reopened " + std::to_string(reopened));
    }
    if (ok && !window.closeRequested()) {
        announce();
    }
    MSG message;
    while (ok && !window.closeRequested()) {
        if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
            break; // WM_QUIT: something ended this thread's message loop
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    window.stopTimer();
    if (ok && !options.screenshotPath.empty() && !screenshotTaken && window.isEditorOpen() &&
        window.handle()) {
        screenshot();
    }
    workload.stop();
    window.closeEditor();
    if (ok && !screenshotError.empty()) {
        error = screenshotError;
        ok = false;
    }
    return ok;
}

bool EditorSession::openWindow(std::string& error) {
    int width = 0, height = 0;
    if (!window.editorSize(width, height, error)) {
        return false;
    }
    WindowPlacement placement;
    if (options.placed) {
        placement.where = WindowPlacement::kClientAt;
        placement.x = options.x;
        placement.y = options.y;
    }
    const std::string name = plugin.text(effGetEffectName);
    WindowFailure failure;
    if (!window.create(width, height, "kelhost - " + (name.empty() ? "plug-in" : name), placement,
                       failure)) {
        error = std::string(failure.step == WindowFailure::kRegisterClass
                                ? "cannot register the window class"
                                : "cannot create the editor window") +
                " (error " + std::to_string(failure.code) + ")";
        return false;
    }
    if (!window.openEditor()) {
        error = "the plug-in opened no editor";
        return false;
    }
    return true;
}

bool EditorSession::reopenEditor(std::string& error) {
    window.closeEditor();
    window.pumpMessages(0.0);
    int width = 0, height = 0;
    if (!window.editorSize(width, height, error)) {
        return false;
    }
    window.setClientSize(width, height);
    if (!window.openEditor()) {
        error = "the plug-in opened no editor when reopened";
        return false;
    }
    for (int i = 0; i < kIdlesPerReopen; ++i) {
        window.pumpMessages(0.01);
        window.idle();
    }
    return true;
}

void EditorSession::announce() {
    RedrawWindow(window.handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    window.idle();
    // Wine puts what was drawn on the X screen from its message loop: "ready" promises a
    // window that shows the editor and takes clicks.
    window.pumpMessages(0.1);
    GdiFlush();
    if (window.closeRequested() || !window.handle()) {
        return;
    }
    RECT client;
    GetClientRect(window.handle(), &client);
    POINT origin{0, 0};
    ClientToScreen(window.handle(), &origin);
    char line[96];
    std::snprintf(line, sizeof(line), "window %ld %ld %ld %ld", static_cast<long>(origin.x),
                  static_cast<long>(origin.y), static_cast<long>(client.right),
                  static_cast<long>(client.bottom));
    hostLogLine(line);
    hostLogLine("ready");
    readyTime = secondsNow();
}

void EditorSession::onTimer() {
    window.idle();
    if (readyTime < 0.0) {
        return;
    }
    const double sinceReady = secondsNow() - readyTime;
    if (!options.screenshotPath.empty() && !screenshotTaken && sinceReady >= kScreenshotDelay) {
        screenshot();
    }
    if (options.seconds > 0.0 && sinceReady >= options.seconds) {
        window.requestClose();
    }
}

void EditorSession::screenshot() {
    screenshotTaken = true;
    GdiFlush();
    RECT client;
    GetClientRect(window.handle(), &client);
    POINT origin{0, 0};
    ClientToScreen(window.handle(), &origin);
    ScreenImage image;
    std::string error;
    if (!captureScreen(origin.x, origin.y, client.right, client.bottom, image, error) ||
        !writePng(options.screenshotPath, image, error)) {
        screenshotError = "screenshot: " + error;
        window.requestClose();
    }
}

} // namespace

bool runEditorWindow(const PluginInstance& plugin, const EditorOptions& options,
                     std::string& error) {
    EditorSession session(plugin, options);
    return session.run(error);
}

} // namespace kel::host

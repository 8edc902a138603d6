// Our host, kelhost, running a plug-in's editor in a process of its own, as the tests drive it
// from outside: its log lines as they come, the place of the editor on the screen, and the
// screen's pixels there.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/widgets/window_test_support.h"
#include "widgets/geometry.h"

namespace e2e {

class HostSession {
public:
    // Starts "kelhost.exe editor <plugin> <options>" from the test program's folder; `plugin` is
    // a file name there. Waits until the editor is ready.
    HostSession(const std::string& plugin, const std::string& options);
    // Closes the window as a user would and waits for the host to end.
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    bool ready() const { return editorOrigin.x >= 0; }
    // Screen position of a point of the editor.
    POINT at(int x, int y) const { return {editorOrigin.x + x, editorOrigin.y + y}; }
    HWND window() const { return topWindow; }
    DWORD processId() const { return host->processId(); }

    // The log lines so far ("automate 1 0.5", "begin 1", ...), and those since the last call.
    std::vector<std::string> lines() { return host->lines(); }
    std::vector<std::string> newLines() { return host->newLines(); }
    // Waits for a line that starts with prefix; the whole line, or empty after the timeout.
    std::string waitFor(const std::string& prefix, int timeoutMs = 10000) {
        return host->waitForLine(prefix, timeoutMs);
    }
    // Waits until `count` of the lines not taken yet start with prefix, and takes the lines up
    // to that one; all lines not taken yet after the timeout.
    std::vector<std::string> takeUntil(const std::string& prefix, int count = 1,
                                       int timeoutMs = 10000) {
        return host->takeUntil(prefix, count, timeoutMs);
    }
    // Ends the host: closes its window and waits; the exit code, or -1.
    int close(int timeoutMs = 15000);

    // The editor's pixels on the screen.
    void capture(widget_test::Canvas& canvas, int x, int y) const;

private:
    std::unique_ptr<ChildProcess> host;
    POINT editorOrigin{-1, -1};
    HWND topWindow = nullptr;
    bool closed = false;
};

// The top-level window of a process with this window class ("#32770" dialogs and message boxes,
// "#32768" menus), nullptr when there is none within the timeout.
HWND waitForWindowOf(DWORD processId, const char* windowClass, int timeoutMs = 10000);
// The text of a message box's message.
std::string messageText(HWND box);

} // namespace e2e

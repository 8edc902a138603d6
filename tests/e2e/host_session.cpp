#include "tests/e2e/host_session.h"

#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

namespace e2e {

namespace {

std::string programFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

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
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&output, &writeEnd, &inherit, 0)) {
        return;
    }
    SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    const std::string folder = programFolder();
    std::string line =
        "\"" + folder + "kelhost.exe\" editor \"" + folder + plugin + "\" " + options;
    const bool started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process) != FALSE;
    CloseHandle(writeEnd);
    if (!started) {
        return;
    }
    reader = std::thread([this] { readOutput(); });
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
        topWindow = waitForWindowOf(process.dwProcessId, nullptr);
        if (topWindow) {
            SetForegroundWindow(topWindow);
        }
    }
}

HostSession::~HostSession() {
    const int exitCode = close();
    if (reader.joinable()) {
        reader.join();
    }
    // What the host said helps to tell why a test failed.
    if (::testing::Test::HasFailure()) {
        std::fprintf(stderr, "kelhost ended with %d; its output:\n", exitCode);
        for (const std::string& line : log) {
            std::fprintf(stderr, "  %s\n", line.c_str());
        }
    }
    if (output) {
        CloseHandle(output);
    }
    if (process.hProcess) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

void HostSession::readOutput() {
    // Polls rather than blocks: the pipe need not end with the host, since any process that
    // inherited its write end (a crash handler, say) keeps it open.
    std::string pending;
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(output, nullptr, 0, nullptr, &available, nullptr)) {
            break;
        }
        if (available == 0) {
            if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
                break; // ended, and all it wrote is read
            }
            Sleep(10);
            continue;
        }
        std::vector<char> chunk(available);
        DWORD got = 0;
        if (!ReadFile(output, chunk.data(), available, &got, nullptr) || got == 0) {
            break;
        }
        pending.append(chunk.data(), got);
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            pending.erase(0, end + 1);
            std::lock_guard<std::mutex> lock(mutex);
            log.push_back(line);
        }
    }
}

std::vector<std::string> HostSession::lines() {
    std::lock_guard<std::mutex> lock(mutex);
    return log;
}

std::vector<std::string> HostSession::newLines() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> fresh(log.begin() + static_cast<long>(seen), log.end());
    seen = log.size();
    return fresh;
}

std::string HostSession::waitFor(const std::string& prefix, int timeoutMs) {
    for (DWORD start = GetTickCount(); GetTickCount() - start < static_cast<DWORD>(timeoutMs);) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            for (const std::string& line : log) {
                if (line.compare(0, prefix.size(), prefix) == 0) {
                    return line;
                }
            }
        }
        widget_test::pumpMessages(20);
    }
    return {};
}

std::vector<std::string> HostSession::takeUntil(const std::string& prefix, int count,
                                                int timeoutMs) {
    for (DWORD start = GetTickCount();; widget_test::pumpMessages(20)) {
        std::lock_guard<std::mutex> lock(mutex);
        int found = 0;
        std::size_t end = seen;
        while (end < log.size() && found < count) {
            found += log[end++].compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
        }
        if (found == count || GetTickCount() - start > static_cast<DWORD>(timeoutMs)) {
            std::vector<std::string> taken(log.begin() + static_cast<long>(seen),
                                           log.begin() + static_cast<long>(end));
            seen = end;
            return taken;
        }
    }
}

int HostSession::close(int timeoutMs) {
    if (!process.hProcess) {
        return -1;
    }
    if (!closed) {
        closed = true;
        if (topWindow) {
            PostMessageA(topWindow, WM_CLOSE, 0, 0);
        }
        if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
}

void HostSession::capture(widget_test::Canvas& canvas, int x, int y) const {
    HDC screen = GetDC(nullptr);
    BitBlt(canvas.dc(), 0, 0, canvas.width(), canvas.height(), screen, editorOrigin.x + x,
           editorOrigin.y + y, SRCCOPY);
    ReleaseDC(nullptr, screen);
}

} // namespace e2e

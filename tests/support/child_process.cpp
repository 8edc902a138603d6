#include "tests/support/child_process.h"

#include "win32/clock.h"
#include "win32/messages.h"

namespace {

std::string programFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

} // namespace

std::string besideThisProgram(const std::string& file) {
    return programFolder() + file;
}

ChildProcess::ChildProcess(const std::string& program, const std::string& arguments,
                           const Options& options) {
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE outputWrite = nullptr, errorWrite = nullptr;
    if (!CreatePipe(&output, &outputWrite, &inheritable, 0)) {
        output = nullptr;
        return;
    }
    SetHandleInformation(output, HANDLE_FLAG_INHERIT, 0);
    if (!options.errorsAsLines) {
        if (!CreatePipe(&errorOutput, &errorWrite, &inheritable, 0)) {
            errorOutput = nullptr;
            CloseHandle(outputWrite);
            return;
        }
        SetHandleInformation(errorOutput, HANDLE_FLAG_INHERIT, 0);
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outputWrite;
    startup.hStdError = options.errorsAsLines ? outputWrite : errorWrite;
    std::string line = "\"" + besideThisProgram(program) + "\" " + arguments;
    if (options.environmentName) {
        SetEnvironmentVariableA(options.environmentName, options.environmentValue);
    }
    startSeconds = kel::win32::secondsNow();
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process)) {
        process = {};
    }
    if (options.environmentName) {
        SetEnvironmentVariableA(options.environmentName, nullptr);
    }
    CloseHandle(outputWrite);
    if (errorWrite) {
        CloseHandle(errorWrite);
    }
    if (started()) {
        reader = std::thread([this] { readOutput(); });
    } else {
        outputDone = true;
    }
}

ChildProcess::~ChildProcess() {
    finish(0);
    if (output) {
        CloseHandle(output);
    }
    if (errorOutput) {
        CloseHandle(errorOutput);
    }
}

// Takes what the pipe holds; false when the pipe is broken (every write end closed).
bool ChildProcess::drain(HANDLE pipe, std::string& partial, bool asLines) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
        return false;
    }
    if (available == 0) {
        return true;
    }
    std::string chunk(available, '\0');
    DWORD got = 0;
    if (!ReadFile(pipe, &chunk[0], available, &got, nullptr)) {
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    for (DWORD i = 0; i < got; ++i) {
        // Windows programs end their lines with CR LF.
        if (chunk[i] != '\r') {
            (asLines ? partial : errorText) += chunk[i];
        }
    }
    std::size_t end;
    while (asLines && (end = partial.find('\n')) != std::string::npos) {
        log.push_back(partial.substr(0, end));
        partial.erase(0, end + 1);
    }
    return true;
}

void ChildProcess::readOutput() {
    std::string partial, unused;
    bool outputOpen = true, errorsOpen = errorOutput != nullptr;
    for (;;) {
        const bool endedBefore = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        outputOpen = outputOpen && drain(output, partial, true);
        errorsOpen = errorsOpen && drain(errorOutput, unused, false);
        // Once the process has ended, a pass that finds nothing more means all of it is read.
        if ((!outputOpen && !errorsOpen) || endedBefore) {
            DWORD left = 0, leftErrors = 0;
            if (outputOpen) {
                PeekNamedPipe(output, nullptr, 0, nullptr, &left, nullptr);
            }
            if (errorsOpen) {
                PeekNamedPipe(errorOutput, nullptr, 0, nullptr, &leftErrors, nullptr);
            }
            if (left == 0 && leftErrors == 0) {
                break;
            }
        }
        Sleep(10);
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (!partial.empty()) {
        log.push_back(partial);
    }
    outputDone = true;
}

std::vector<std::string> ChildProcess::lines() {
    std::lock_guard<std::mutex> lock(mutex);
    return log;
}

std::vector<std::string> ChildProcess::newLines() {
    std::lock_guard<std::mutex> lock(mutex);
    std::vector<std::string> fresh(log.begin() + static_cast<long>(seen), log.end());
    seen = log.size();
    return fresh;
}

std::string ChildProcess::errors() {
    std::lock_guard<std::mutex> lock(mutex);
    return errorText;
}

std::string ChildProcess::waitForLine(const std::string& prefix, int timeoutMs) {
    const double end = kel::win32::secondsNow() + timeoutMs / 1000.0;
    for (;; kel::win32::pumpMessagesFor(0.02)) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const std::string& line : log) {
            if (line.compare(0, prefix.size(), prefix) == 0) {
                return line;
            }
        }
        if (outputDone || kel::win32::secondsNow() > end) {
            return {};
        }
    }
}

std::vector<std::string> ChildProcess::takeUntil(const std::string& prefix, int count,
                                                 int timeoutMs) {
    const double timeUp = kel::win32::secondsNow() + timeoutMs / 1000.0;
    for (;; kel::win32::pumpMessagesFor(0.02)) {
        std::lock_guard<std::mutex> lock(mutex);
        int found = 0;
        std::size_t end = seen;
        while (end < log.size() && found < count) {
            found += log[end++].compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
        }
        if (found == count || kel::win32::secondsNow() > timeUp) {
            std::vector<std::string> taken(log.begin() + static_cast<long>(seen),
                                           log.begin() + static_cast<long>(end));
            seen = end;
            return taken;
        }
    }
}

int ChildProcess::finish(int timeoutMs) {
    if (started() && !ended) {
        ended = true;
        if (WaitForSingleObject(process.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 10000);
            exitCode = -1;
        } else {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            exitCode = static_cast<int>(code);
        }
        elapsed = kel::win32::secondsNow() - startSeconds;
        if (reader.joinable()) {
            reader.join();
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        process.hProcess = nullptr;
        process.hThread = nullptr;
    }
    return exitCode;
}

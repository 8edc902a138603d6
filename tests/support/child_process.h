// A program from the test program's folder, run as a process of its own with its output read
// while it runs: the lines of its stdout, the text of its stderr (or both as lines), its exit code.
//
// The pipes are polled, never blocked on: a process that inherited a write end (a crash handler,
// say) may keep a pipe open after the program ended.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ChildProcess {
public:
    struct Options {
        // Set for the child only (the variable is set around its start and cleared after).
        const char* environmentName = nullptr;
        const char* environmentValue = nullptr;
        // stderr into the lines with stdout, as one stream.
        bool errorsAsLines = false;
    };

    // Starts "<folder of this program>\<program>" with the arguments (a command-line tail).
    ChildProcess(const std::string& program, const std::string& arguments, const Options& options);
    // Ends the process if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return process.hProcess != nullptr; }
    DWORD processId() const { return process.dwProcessId; }

    // The lines so far (without line ends), and those since the last call of newLines.
    std::vector<std::string> lines();
    std::vector<std::string> newLines();
    // stderr so far (without CRs), unless it goes into the lines.
    std::string errors();
    // The first line that starts with prefix; "" when none came within the time or the output
    // ended without one. Keeps this thread's windows answering meanwhile.
    std::string waitForLine(const std::string& prefix, int timeoutMs = 30000);
    // Waits until `count` of the lines not taken yet start with prefix, and takes the lines up
    // to that one; all lines not taken yet after the timeout.
    std::vector<std::string> takeUntil(const std::string& prefix, int count, int timeoutMs);
    // Waits for the end and for all of the output: the exit code, or -1 when the process did not
    // end within the time (it is ended then).
    int finish(int timeoutMs = 60000);
    // Seconds from the start to the end that finish saw.
    double seconds() const { return elapsed; }

private:
    void readOutput();
    bool drain(HANDLE pipe, std::string& partial, bool asLines);

    PROCESS_INFORMATION process{};
    HANDLE output = nullptr;
    HANDLE errorOutput = nullptr; // nullptr when stderr goes into the lines
    double startSeconds = 0.0;    // kel::win32::secondsNow() at the start
    double elapsed = 0.0;
    int exitCode = -1;
    bool ended = false;
    std::thread reader;
    std::mutex mutex;
    std::vector<std::string> log;
    std::string errorText;
    std::size_t seen = 0;
    bool outputDone = false;
};

// A file in the folder of this test program.
std::string besideThisProgram(const std::string& file);

// Threads of the validator's tests that a crash inside the plug-in can be taken out of: the
// crash is recorded in the test's context and the thread ends, the run goes on.
#pragma once

#include <functional>

#include "host/validator_context.h"
#include "ui/win32_handles.h"

namespace kel::host {

// Runs body on a thread of its own that the validator can take out again when the plug-in
// crashes on it (the thread ends; the context records the crash and asks the test to stop).
class TestThread {
public:
    TestThread(TestContext& context, const char* name, std::function<void()> body);
    ~TestThread() { join(); }
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;

    void join();

private:
    ui::KernelHandle handle;
};

// Takes over the process's last-chance exception filter: an unhandled exception on a test thread
// is recorded in its context and the thread ends; on any other thread it goes on as before.
void installCrashFilter();

// Starts body on a new test thread; returns the thread's handle, empty on failure.
ui::KernelHandle startTestThread(TestContext* context, const char* name,
                                 std::function<void()> body);

} // namespace kel::host

#include "host/validator_threads.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace kel::host {

using namespace kel::ui;

namespace {

struct ThreadStart {
    TestContext* context;
    const char* name;
    std::function<void()> body;
    std::uintptr_t safeStack = 0; // where a crashed thread's last frames go
};

DWORD threadSlot() {
    static const DWORD slot = TlsAlloc();
    return slot;
}

// Where a test thread that crashed continues: its own stack above the crash is given up.
[[noreturn]] void abandonCrashedThread() {
    auto* start = static_cast<ThreadStart*>(TlsGetValue(threadSlot()));
    start->context->requestStop();
    --start->context->liveThreads;
    ExitThread(1);
}

DWORD WINAPI testThreadMain(void* parameter) {
    auto* start = static_cast<ThreadStart*>(parameter);
    volatile char anchor = 0;
    start->safeStack = reinterpret_cast<std::uintptr_t>(&anchor);
    TlsSetValue(threadSlot(), start);
    start->body();
    TlsSetValue(threadSlot(), nullptr);
    TestContext* context = start->context;
    delete start;
    --context->liveThreads;
    return 0;
}

} // namespace

KernelHandle startTestThread(TestContext* context, const char* name, std::function<void()> body) {
    auto* start = new ThreadStart{context, name, std::move(body)};
    ++context->liveThreads;
    KernelHandle handle(CreateThread(nullptr, 0, testThreadMain, start, 0, nullptr));
    if (!handle) {
        --context->liveThreads;
        delete start;
    }
    return handle;
}

// The last-chance filter: a test thread's unhandled exception becomes a recorded crash and the
// thread goes on in abandonCrashedThread on the part of its stack that the test body never
// reached. Exceptions of other threads go to the filter that was there before.
namespace {

LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;

LONG WINAPI crashFilter(EXCEPTION_POINTERS* pointers) {
    auto* start = static_cast<ThreadStart*>(TlsGetValue(threadSlot()));
    if (!start || !start->safeStack) {
        return previousFilter ? previousFilter(pointers) : EXCEPTION_CONTINUE_SEARCH;
    }
    const EXCEPTION_RECORD* exception = pointers->ExceptionRecord;
    CrashRecord record;
    record.code = exception->ExceptionCode;
    record.address = exception->ExceptionAddress;
    record.threadName = start->name;
    if (exception->ExceptionCode == EXCEPTION_ACCESS_VIOLATION &&
        exception->NumberParameters >= 2) {
        record.accessKind = static_cast<int>(exception->ExceptionInformation[0]);
        record.accessAddress = exception->ExceptionInformation[1];
    }
    start->context->recordCrash(record);
    // Below the thread function's frame, 16-byte aligned as at a function's entry after the
    // return address went onto the stack.
    const std::uintptr_t stack =
        ((start->safeStack - 256) & ~static_cast<std::uintptr_t>(15)) - sizeof(void*);
#if defined(_WIN64)
    pointers->ContextRecord->Rip = reinterpret_cast<DWORD64>(&abandonCrashedThread);
    pointers->ContextRecord->Rsp = stack;
#else
    pointers->ContextRecord->Eip = reinterpret_cast<DWORD>(&abandonCrashedThread);
    pointers->ContextRecord->Esp = stack;
#endif
    start->safeStack = 0; // a second fault on the way out is not caught again
    return EXCEPTION_CONTINUE_EXECUTION;
}

} // namespace

void installCrashFilter() {
    threadSlot();
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    previousFilter = SetUnhandledExceptionFilter(crashFilter);
}

TestThread::TestThread(TestContext& context, const char* name, std::function<void()> body)
    : handle(startTestThread(&context, name, std::move(body))) {
    if (!handle) {
        context.fail(std::string("cannot start the ") + name + " thread");
    }
}

void TestThread::join() {
    if (handle) {
        WaitForSingleObject(handle.get(), INFINITE);
        handle.reset();
    }
}

} // namespace kel::host

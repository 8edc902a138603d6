#include <windows.h>

#include <ole2.h>

#include "editor/editor_platform.h"

namespace kel::editor::platform {

unsigned long currentThreadId() {
    return GetCurrentThreadId();
}

std::uint32_t tickCount() {
    return GetTickCount();
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

void dispatchPendingPaint() {
    MSG message;
    if (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
        DispatchMessageA(&message);
    }
}

// A host thread that chose another apartment model refuses (RPC_E_CHANGED_MODE); then there is
// nothing to give back.
void* messageBoxOwner(void* parentWindow, void*) {
    return parentWindow;
}

ThreadSetUp::ThreadSetUp()
    : done(SUCCEEDED(OleInitialize(nullptr))), thread(GetCurrentThreadId()) {}

ThreadSetUp::~ThreadSetUp() {
    if (done && thread == GetCurrentThreadId()) {
        OleUninitialize();
    }
}

} // namespace kel::editor::platform

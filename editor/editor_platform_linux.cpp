#include <pthread.h>

#include <chrono>
#include <thread>

#include "editor/editor_platform.h"
#include "widgets/frame_window_platform.h"

namespace kel::editor::platform {

// pthread_self reads the thread's own pointer: no system call, fit for any thread.
unsigned long currentThreadId() {
    return static_cast<unsigned long>(pthread_self());
}

std::uint32_t tickCount() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

void sleepMilliseconds(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void dispatchPendingPaint() {
    VSTGUI::paintPendingWindows();
}

void* messageBoxOwner(void*, void* frameWindow) {
    return frameWindow;
}

// The editor's windows need nothing of their thread here.
ThreadSetUp::ThreadSetUp() {}
ThreadSetUp::~ThreadSetUp() {}

} // namespace kel::editor::platform

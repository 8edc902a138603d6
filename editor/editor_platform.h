// What the editor asks of its platform beyond the widget set: the calling thread, a millisecond
// tick, a short sleep, the window system's pending paint work, and what a thread that shows the
// editor's windows must set up first. editor_platform_win32.cpp and editor_platform_linux.cpp
// answer it.
#pragma once

#include <cstdint>

namespace kel::editor::platform {

// An id of the calling thread, different for every thread alive at the same time. Any thread;
// never allocates or blocks.
unsigned long currentThreadId();
// Milliseconds on a 32-bit counter that wraps; only differences count.
std::uint32_t tickCount();
void sleepMilliseconds(std::uint32_t milliseconds);
// Lets one pending paint of this thread's windows through, while a control holds the mouse.
void dispatchPendingPaint();

// The window the editor's message boxes belong to: on Windows the host's window it was opened
// in, on Linux the editor's own (the frame's window), over which ours are drawn.
void* messageBoxOwner(void* parentWindow, void* frameWindow);

// What the editor's windows need of the thread that makes them (OLE on Windows), from
// construction to destruction; undone only on the thread that set it up.
class ThreadSetUp {
public:
    ThreadSetUp();
    ~ThreadSetUp();
    ThreadSetUp(const ThreadSetUp&) = delete;
    ThreadSetUp& operator=(const ThreadSetUp&) = delete;

private:
    // Windows' (OLE); the Linux set-up has nothing to keep.
    [[maybe_unused]] bool done = false;
    [[maybe_unused]] unsigned long thread = 0;
};

} // namespace kel::editor::platform

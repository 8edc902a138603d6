// The calling thread's message queue, and window classes of the calling module.
#pragma once

#include <windows.h>

namespace kel::win32 {

// Translates and dispatches every message waiting in the calling thread's queue. A WM_QUIT is
// taken out without being dispatched; false when there was one.
bool dispatchWaitingMessages();

// Dispatches the calling thread's messages as they come, for `seconds` (those already waiting
// at least once, also for 0). False when a WM_QUIT came; the pump goes on to the end all the same.
bool pumpMessagesFor(double seconds);

// Registers a window class of the calling module with the procedure, the arrow cursor and the
// background brush (none: the window paints all of itself). True when the class is registered
// now or already was; false otherwise, GetLastError telling why.
bool registerWindowClass(const char* name, WNDPROC procedure, HBRUSH background = nullptr);

} // namespace kel::win32

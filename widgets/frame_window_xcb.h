// The frame's window on Linux: a child of the host's X window (or a window of its own on the
// desktop, where the host gives none), on an XCB connection of its own,
// driven by the thread that made it (the editor's thread). That thread waits on eventDescriptor
// and hands the window its events with handleEvents.
#pragma once

#include <atomic>

namespace VSTGUI {

class CFrame;

namespace xcb {

// The descriptor to wait on for the window's events; -1 while the frame has no window.
int eventDescriptor(const CFrame& frame);
// Handles every event waiting for the window, without waiting for more: paints, clicks (which
// may run a control's mouse loop before this returns), the wheel and the arrow keys. False once
// the window is gone (its parent was destroyed, the connection broke).
bool handleEvents(CFrame& frame);
// Once `flag` is set (by any thread), the window's mouse buttons read as released, so that a
// control's mouse loop ends: the editor is closing. The flag must outlive the window.
void releaseMouseOn(CFrame& frame, const std::atomic<bool>& flag);
// The title of a window on the desktop (a frame opened without a parent), plain ASCII, as the
// window manager shows it.
void setTitle(CFrame& frame, const char* title);
// The X id of the frame's window, as an LV2 host takes it; 0 while there is none.
unsigned long windowId(const CFrame& frame);

} // namespace xcb

} // namespace VSTGUI

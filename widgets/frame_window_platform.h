// What the draw context and the editor's idle step need of the frame's window on a platform that
// draws into memory (Linux): the pixels behind a window, showing what was drawn into them, and
// the window system's pending paint work. The XCB window (frame_window_xcb.cpp) answers these;
// native test builds link a stand-in without windows.
#pragma once

namespace VSTGUI {

class Framebuffer;

// The pixels of the frame window `window` (what CFrame::getSystemWindow gives), or null.
Framebuffer* windowFramebuffer(void* window);
// Shows on screen what was drawn into the window's pixels since it was last shown.
void presentWindow(void* window);
// Shows and repaints whatever the calling thread's frame windows have waiting; called while a
// control holds the mouse, when the window system's own loop does not run.
void paintPendingWindows();

} // namespace VSTGUI

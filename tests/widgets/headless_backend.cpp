// The frame's window for the native widget tests, which run without an X server: there is none,
// the frame counts as open while it has a parent, the tests feed the mouse, and time is the
// steady clock. Drawing, bitmaps and text are the widget set's own Linux back end, on
// framebuffers; the real window is frame_window_xcb.cpp.
#include <chrono>

#include "tests/widgets/headless_backend.h"
#include "widgets/draw_context.h"
#include "widgets/frame.h"
#include "widgets/frame_window_platform.h"
#include "widgets/frame_window_xcb_detail.h"

namespace VSTGUI {

void CFrame::openWindow() {
    window = parentWindow;
    open = parentWindow != nullptr;
}
void CFrame::closeWindow() {
    open = false;
    window = nullptr;
}

unsigned long systemTicks() {
    return static_cast<unsigned long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}
long systemDoubleClickTime() {
    return 500;
}

// No window, so no pixels behind one and no pointer: the tests feed the mouse.
Framebuffer* windowFramebuffer(void*) {
    return nullptr;
}
void presentWindow(void*) {}
void paintPendingWindows() {}

long CDrawContext::readSystemMouseButtons() const {
    return 0;
}
CPoint CDrawContext::readSystemMouseLocation() const {
    return {};
}

// No frame window to open modal windows over: menus and dialogs cannot be shown.
namespace xcb::detail {
bool frameConnection(void*, FrameConnection&) {
    return false;
}
bool takeFrameEventWhileModal(void*, const xcb_generic_event_t&) {
    return false;
}
bool frameInterrupted(void*) {
    return true;
}
void presentFrame(void*) {}
std::uint32_t keysymFor(void*, xcb_keycode_t, std::uint16_t) {
    return 0;
}
void putPixels(xcb_connection_t*, xcb_window_t, xcb_gcontext_t, const Framebuffer&, bool) {}
bool swapsBytes(xcb_connection_t*) {
    return false;
}
xcb_atom_t atomNamed(xcb_connection_t*, const char*) {
    return 0;
}
} // namespace xcb::detail

} // namespace VSTGUI

namespace widget_test {

void* parentWindow() {
    static int standIn;
    return &standIn;
}

} // namespace widget_test

// The frame's window for native test builds, until the widget set has an X11 window: there is
// none, the frame counts as open while it has a parent, and time is the steady clock. Drawing,
// bitmaps and text are the widget set's own Linux back end, on framebuffers.
#include <chrono>

#include "tests/widgets/widget_test_support.h"
#include "widgets/frame.h"

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

} // namespace VSTGUI

namespace widget_test {

void* parentWindow() {
    static int standIn;
    return &standIn;
}

} // namespace widget_test

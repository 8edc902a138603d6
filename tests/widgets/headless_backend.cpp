// The widget set's platform edge for native test builds: nothing is drawn and there is no
// window. Bitmaps take their sizes from the tests' bitmap table and the mouse is what the tests
// feed, so the controls' drawing and mouse rules run under the sanitizers.
#include <chrono>

#include "tests/widgets/widget_test_support.h"
#include "widgets/bitmap.h"
#include "widgets/draw_context.h"
#include "widgets/frame.h"

namespace VSTGUI {

CDrawContext::CDrawContext(CFrame* owner, void* context, void* windowHandle)
    : frame(owner), deviceContext(context), window(windowHandle) {}

CDrawContext::~CDrawContext() = default;

void CDrawContext::releaseObjects() {}
void CDrawContext::setFrameColor(CColor color) {
    frameColor = color;
}
void CDrawContext::setFillColor(CColor color) {
    fillColor = color;
}
void CDrawContext::setFont(int, int, int) {}
void CDrawContext::moveTo(const CPoint& point) {
    penPosition = point;
}
void CDrawContext::lineTo(const CPoint& point) {
    penPosition = point;
}
void CDrawContext::fillRect(const CRect&) {}
void CDrawContext::drawString(const char*, const CRect&, bool, int) {}
long CDrawContext::readSystemMouseButtons() const {
    return 0;
}
CPoint CDrawContext::readSystemMouseLocation() const {
    return {};
}

void CBitmap::load() {
    for (const TestBitmap& known :
         {kPatternBitmap, kTwoImagesBitmap, kThreeImagesBitmap, kKnobBodyBitmap, kKnobHandleBitmap,
          kKickBitmap, kBackgroundBitmap}) {
        if (known.id == resourceId) {
            width = known.width;
            height = known.height;
            handle = PlatformHandle(this, nullptr);
        }
    }
}
void CBitmap::draw(CDrawContext*, const CRect&, const CPoint&) {}
void CBitmap::drawTransparent(CDrawContext*, const CRect&, const CPoint&) {}
void CBitmap::drawMasked(CDrawContext*, const CRect&, const CPoint&) {}

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

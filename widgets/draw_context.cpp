#include "widgets/draw_context.h"

namespace VSTGUI {

namespace {

const MouseState* mouseFeed = nullptr;

constexpr FontDescription kFonts[kNumFonts] = {
    {12, "Arial", true, false},  {18, "Arial", false, false}, {14, "Arial", false, false},
    {12, "Arial", false, false}, {11, "Arial", false, false}, {10, "Arial", false, false},
    {9, "Arial", false, false},  {13, "Symbol", false, true},
};

} // namespace

const FontDescription& fontDescription(int fontId) {
    return kFonts[fontId >= 0 && fontId < kNumFonts ? fontId : kSystemFont];
}

// Four lines, so that the corners are the lines' pixels on every platform.
void CDrawContext::drawRect(const CRect& rect) {
    if (rect.width() <= 0 || rect.height() <= 0) {
        return;
    }
    const CPoint topLeft(rect.left, rect.top);
    moveTo(topLeft);
    lineTo(CPoint(rect.right - 1, rect.top));
    lineTo(CPoint(rect.right - 1, rect.bottom - 1));
    lineTo(CPoint(rect.left, rect.bottom - 1));
    lineTo(topLeft);
}

void CDrawContext::setMouseFeed(const MouseState* state) {
    mouseFeed = state;
}

long CDrawContext::getMouseButtons() {
    return mouseFeed ? mouseFeed->buttons : readSystemMouseButtons();
}

void CDrawContext::getMouseLocation(CPoint& where) {
    where = mouseFeed ? mouseFeed->location : readSystemMouseLocation();
}

} // namespace VSTGUI

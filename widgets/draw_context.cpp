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

#include "widgets/control.h"

#include <cmath>

#include "widgets/bitmap.h"
#include "widgets/control_values.h"
#include "widgets/draw_context.h"
#include "widgets/frame.h"

namespace VSTGUI {

namespace {
constexpr long kShortestDoubleClick = 250; // ms
}

CControl::CControl(const CRect& rect, CControlListener* owner, long controlTag, CBitmap* bitmap)
    : CView(rect), listener(owner), tag(controlTag), background(bitmap) {
    const long system = systemDoubleClickTime();
    doubleClickInterval = system < kShortestDoubleClick ? kShortestDoubleClick : system;
    if (background) {
        background->remember();
    }
}

CControl::~CControl() {
    exchangeBitmap(background, nullptr);
}

void CControl::bounceValue() {
    value = drawableValue(value, minimum, maximum);
}

void CControl::setBackground(CBitmap* bitmap) {
    exchangeBitmap(background, bitmap);
    setDirty();
}

bool CControl::isDirty() const {
    return !sameValue(value, oldValue) || dirty;
}

void CControl::setDirty(bool state) {
    dirty = state;
    if (state) {
        // Any value that differs from the current one.
        oldValue = value == -1.0f ? 0.0f : -1.0f;
    } else {
        oldValue = value;
    }
}

bool CControl::isDoubleClick() {
    const long now = static_cast<long>(systemTicks() & 0x7fffffff);
    const bool within =
        lastClickTime >= 0 && now >= lastClickTime && now - lastClickTime <= doubleClickInterval;
    lastClickTime = within ? -1 : now;
    return within;
}

void CControl::beginEdit() {
    if (frame) {
        frame->beginEdit(tag);
    }
}

void CControl::endEdit() {
    if (frame) {
        frame->endEdit(tag);
    }
}

void CControl::doIdleStuff() {
    if (frame) {
        frame->doIdleStuff();
    }
}

long CControl::knobMode() const {
    return frame ? frame->getKnobMode() : kCircularMode;
}

void CControl::notifyValueChanged(CDrawContext* context) {
    if (listener) {
        listener->valueChanged(context, this);
    }
}

void CControl::trackMouse(CDrawContext* context, CPoint& where, const std::function<void()>& pass,
                          const std::function<bool()>& held) {
    do {
        pass();
        context->getMouseLocation(where);
        doIdleStuff();
    } while (held());
}

void CControl::drawBackground(CDrawContext* context, const CPoint& offset) {
    if (!background) {
        return;
    }
    if (transparent) {
        background->drawTransparent(context, size, offset);
    } else {
        background->draw(context, size, offset);
    }
}

} // namespace VSTGUI

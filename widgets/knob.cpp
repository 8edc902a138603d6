#include "widgets/knob.h"

#include "widgets/bitmap.h"
#include "widgets/control_values.h"
#include "widgets/draw_context.h"
#include "widgets/frame.h"

namespace VSTGUI {

namespace {

// With a handle bitmap, its centre stays half its width plus 2.5 pixels inside the rim.
int insetFor(const CBitmap* handle) {
    return handle ? static_cast<int>(static_cast<float>(handle->getWidth()) * 0.5f + 2.5f) : 3;
}

} // namespace

CKnob::CKnob(const CRect& rect, CControlListener* owner, long controlTag, CBitmap* body,
             CBitmap* handle, const CPoint& backgroundOffset)
    : CControl(rect, owner, controlTag, body), offset(backgroundOffset), handleBitmap(handle),
      geometry(static_cast<float>(rect.width()) * 0.5f, insetFor(handle)) {
    if (handleBitmap) {
        handleBitmap->remember();
    }
    setDirty();
}

CKnob::~CKnob() {
    exchangeBitmap(handleBitmap, nullptr);
}

void CKnob::syncLimits() const {
    geometry.setLimits(minimum, maximum);
}

void CKnob::setStartAngle(float angle) {
    geometry.setStartAngle(angle);
    setDirty();
}

void CKnob::setRangeAngle(float angle) {
    geometry.setRangeAngle(angle);
    setDirty();
}

void CKnob::setInsetValue(int inset) {
    geometry.setInset(inset);
    setDirty();
}

void CKnob::setColorHandle(CColor color) {
    changeAttribute(handleColor, color);
}

void CKnob::setColorShadowHandle(CColor color) {
    changeAttribute(shadowColor, color);
}

void CKnob::setHandleBitmap(CBitmap* bitmap) {
    exchangeBitmap(handleBitmap, bitmap);
    geometry.setInset(insetFor(bitmap));
    setDirty();
}

void CKnob::valueToPoint(CPoint& point) const {
    syncLimits();
    point = geometry.valueToPoint(value);
}

float CKnob::valueFromPoint(const CPoint& point) const {
    syncLimits();
    return geometry.valueFromPoint(point);
}

void CKnob::draw(CDrawContext* context) {
    drawBackground(context, offset);
    drawHandle(context);
    setDirty(false);
}

void CKnob::drawHandle(CDrawContext* context) {
    CPoint where;
    valueToPoint(where);
    if (handleBitmap) {
        const long width = handleBitmap->getWidth();
        const long height = handleBitmap->getHeight();
        const CPoint corner(size.left + where.h - width / 2, size.top + where.v - height / 2);
        handleBitmap->drawTransparent(context, CRect::fromSize(corner, width, height));
        return;
    }
    const CPoint tip(size.left + where.h - 1, size.top + where.v);
    const CPoint centre(size.left + size.width() / 2 - 1, size.top + size.height() / 2);
    context->setFrameColor(shadowColor);
    context->drawLine(tip, centre);
    context->setFrameColor(handleColor);
    context->drawLine(tip + CPoint(1, -1), centre + CPoint(1, -1));
}

void CKnob::mouse(CDrawContext* context, CPoint& where) {
    if (!mouseEnabled) {
        return;
    }
    long buttons = context->getMouseButtons();
    if (!(buttons & kLButton)) {
        return;
    }
    if (buttons == (kLButton | kControl)) {
        value = defaultValue;
        if (isDirty()) {
            notifyValueChanged(context);
        }
        return;
    }
    bool linear = knobMode() == kLinearMode;
    if (buttons & kAlt) {
        linear = !linear;
    }

    bounceValue();
    const CPoint corner = size.topLeft();
    CircularKnobDrag circular(valueFromPoint(where - corner), minimum, maximum);
    LinearKnobDrag straight(where, value, buttons, minimum, maximum);

    beginEdit();
    if (frame) {
        frame->setFocusView(this);
    }
    CPoint last = where;
    trackMouse(
        context, where,
        [&] {
            buttons = context->getMouseButtons();
            if (where != last) {
                last = where;
                value = linear ? straight.valueAt(where, buttons)
                               : circular.next(valueFromPoint(where - corner));
                bounceValue();
                if (isDirty()) {
                    notifyValueChanged(context);
                }
            }
        },
        // The pass after the release still follows the pointer to where it was let go.
        [&] { return (buttons & kLButton) != 0; });
    endEdit();
}

bool CKnob::onWheel(CDrawContext* context, const CPoint&, float distance) {
    if (!mouseEnabled) {
        return false;
    }
    const bool fine = context && (context->getMouseButtons() & kShift);
    bounceValue();
    value += wheelIncrement * distance * (fine ? 0.1f : 1.0f);
    bounceValue();
    if (isDirty()) {
        notifyValueChanged(context);
    }
    return true;
}

long CKnob::onKeyDown(KeyCode& key) {
    float step = 0.0f;
    switch (key.virt) {
    case VKEY_UP:
    case VKEY_RIGHT:
        step = wheelIncrement;
        break;
    case VKEY_DOWN:
    case VKEY_LEFT:
        step = -wheelIncrement;
        break;
    default:
        return -1;
    }
    if (key.modifier & MODIFIER_SHIFT) {
        step *= 0.1f;
    }
    bounceValue();
    value += step;
    bounceValue();
    if (isDirty()) {
        notifyValueChanged(nullptr);
    }
    return 1;
}

} // namespace VSTGUI

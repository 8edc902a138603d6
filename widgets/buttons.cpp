#include "widgets/buttons.h"

#include "widgets/bitmap.h"
#include "widgets/control_values.h"
#include "widgets/draw_context.h"

namespace VSTGUI {

COnOffButton::COnOffButton(const CRect& rect, CControlListener* owner, long controlTag,
                           CBitmap* bitmap)
    : CControl(rect, owner, controlTag, bitmap) {}

void COnOffButton::draw(CDrawContext* context) {
    const bool on = drawableValue(value, minimum, maximum) != 0.0f;
    const long lower = background ? background->getHeight() / 2 : 0;
    drawBackground(context, CPoint(0, on ? lower : 0));
    setDirty(false);
}

void COnOffButton::mouse(CDrawContext* context, CPoint&) {
    if (!mouseEnabled) {
        return;
    }
    doIdleStuff();
    if (!listener) {
        return;
    }
    const long buttons = context->getMouseButtons();
    if (buttons & kLButton) {
        value = integerPartNonZero(value) ? 0.0f : 1.0f;
        listener->valueChanged(context, this);
    } else if (buttons & kRButton) {
        listener->controlRightClicked(context, this);
    }
}

CPressButton::CPressButton(const CRect& rect, CControlListener* owner, long controlTag,
                           long imageHeight, CBitmap* bitmap, const CPoint& backgroundOffset)
    : CControl(rect, owner, controlTag, bitmap), offset(backgroundOffset),
      heightOfOneImage(imageHeight) {}

void CPressButton::draw(CDrawContext* context) {
    bounceValue();
    const long down = value != 0.0f ? heightOfOneImage : 0;
    drawBackground(context, offset + CPoint(0, down));
    setDirty(false);
}

void CPressButton::trackPress(CDrawContext* context, CPoint& where, float entryValue, long held) {
    trackMouse(
        context, where,
        [&] {
            value = size.pointInside(where) ? 1.0f - entryValue : entryValue;
            if (isDirty()) {
                notifyValueChanged(context);
            }
        },
        [&] { return context->getMouseButtons() == held; });
}

CKickButton::CKickButton(const CRect& rect, CControlListener* owner, long controlTag,
                         long imageHeight, CBitmap* bitmap, const CPoint& backgroundOffset)
    : CPressButton(rect, owner, controlTag, imageHeight, bitmap, backgroundOffset) {}

void CKickButton::mouse(CDrawContext* context, CPoint& where) {
    if (!mouseEnabled) {
        return;
    }
    const long buttons = context->getMouseButtons();
    if (!(buttons & kLButton)) {
        return;
    }
    bounceValue();
    if (buttons == kLButton) {
        beginEdit();
        trackPress(context, where, value, kLButton);
        endEdit();
    } else {
        value = integerPartNonZero(value) ? 0.0f : 1.0f;
        notifyValueChanged(context);
    }
    value = 0.0f;
    notifyValueChanged(context);
}

CMovieButton::CMovieButton(const CRect& rect, CControlListener* owner, long controlTag,
                           long imageHeight, CBitmap* bitmap, const CPoint& backgroundOffset)
    : CPressButton(rect, owner, controlTag, imageHeight, bitmap, backgroundOffset),
      buttonState(value) {}

void CMovieButton::draw(CDrawContext* context) {
    CPressButton::draw(context);
    buttonState = value;
}

void CMovieButton::mouse(CDrawContext* context, CPoint& where) {
    if (!mouseEnabled) {
        return;
    }
    const long pressed = context->getMouseButtons();
    if (!(pressed & kLButton)) {
        return;
    }
    bounceValue();
    beginEdit();
    trackPress(context, where, value, pressed);
    endEdit();
    buttonState = value;
}

CMovieBitmap::CMovieBitmap(const CRect& rect, CControlListener* owner, long controlTag, long images,
                           long imageHeight, CBitmap* bitmap, const CPoint& backgroundOffset)
    : CControl(rect, owner, controlTag, bitmap), offset(backgroundOffset), subPixmaps(images),
      heightOfOneImage(imageHeight) {}

void CMovieBitmap::draw(CDrawContext* context) {
    if (value > 1.0f) {
        value = 1.0f;
    }
    const long image = frameStripIndex(value, static_cast<int>(subPixmaps));
    drawBackground(context, offset + CPoint(0, image * heightOfOneImage));
    setDirty(false);
}

} // namespace VSTGUI

// A control: a view with a value (normally 0 to 1), a tag and a listener that hears of every
// change the user makes.
#pragma once

#include <functional>

#include "widgets/view.h"

namespace VSTGUI {

class CBitmap;
class CControl;

class CControlListener {
public:
    // The user changed the control's value. context is null when no drawing context was at hand
    // (keys).
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    // The right button was pressed on an on/off button.
    virtual void controlRightClicked(CDrawContext* context, CControl* control) = 0;

protected:
    virtual ~CControlListener() = default;
};

class CControl : public CView {
public:
    // Retains background when there is one.
    CControl(const CRect& size, CControlListener* listener, long tag,
             CBitmap* background = nullptr);
    ~CControl() override;

    virtual void setValue(float newValue) { value = newValue; }
    virtual float getValue() const { return value; }
    // Brings the value into minimum..maximum; NaN becomes the minimum.
    virtual void bounceValue();
    float getOldValue() const { return oldValue; }
    void setDefaultValue(float newValue) { defaultValue = newValue; }
    float getDefaultValue() const { return defaultValue; }
    void setMin(float newValue) { minimum = newValue; }
    float getMin() const { return minimum; }
    void setMax(float newValue) { maximum = newValue; }
    float getMax() const { return maximum; }
    void setWheelInc(float increment) { wheelIncrement = increment; }
    float getWheelInc() const { return wheelIncrement; }

    void setTag(long newTag) { tag = newTag; }
    long getTag() const { return tag; }
    void setListener(CControlListener* newListener) { listener = newListener; }
    CControlListener* getListener() const { return listener; }

    // Retains the new background and forgets the old one.
    virtual void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background; }
    void setBackOffset(const CPoint& offset) { backOffset = offset; }
    const CPoint& getBackOffset() const { return backOffset; }

    // Dirty when the value differs from the value last drawn, or when marked.
    bool isDirty() const override;
    void setDirty(bool state = true) override;
    void forgetListener() override { listener = nullptr; }

    // True when this click follows the previous one on this control within the double-click
    // interval (the system's double-click time, at least 250 ms).
    bool isDoubleClick();
    long getDoubleClickInterval() const { return doubleClickInterval; }

protected:
    // Through the frame to the editor; nothing without a frame.
    void beginEdit();
    void endEdit();
    void doIdleStuff();
    long knobMode() const;
    void notifyValueChanged(CDrawContext* context);
    // The loop of a control that follows the held mouse: pass() acts on the pointer at `where`,
    // then `where` is read again and the editor's idle step runs (it keeps the host alive, and
    // the pointer moves on meanwhile); again while held(), asked after the idle step, says so.
    void trackMouse(CDrawContext* context, CPoint& where, const std::function<void()>& pass,
                    const std::function<bool()>& held);
    // The background from offset on, as a transparent copy when the view's transparency is set.
    void drawBackground(CDrawContext* context, const CPoint& offset);

    CControlListener* listener;
    long tag;
    float oldValue = 1.0f;
    float defaultValue = 0.5f;
    float value = 0.0f;
    float minimum = 0.0f;
    float maximum = 1.0f;
    float wheelIncrement = 0.1f;
    long lastClickTime = -1;
    long doubleClickInterval;
    CBitmap* background;
    CPoint backOffset;
};

// Milliseconds on the system's tick counter and its double-click time.
unsigned long systemTicks();
long systemDoubleClickTime();

} // namespace VSTGUI

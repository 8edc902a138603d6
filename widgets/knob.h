// A round knob: a body bitmap and a handle (a bitmap, or a drawn line) that turns with the value.
// The mouse turns it round the face (circular mode) or by vertical and horizontal travel (linear
// mode); Control+click returns it to its default value; the wheel and the arrow keys step it.
#pragma once

#include "widgets/control.h"
#include "widgets/knob_geometry.h"

namespace VSTGUI {

class CKnob : public CControl {
public:
    // background: the body, drawn at the knob's size from offset on; handle may be null.
    CKnob(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
          CBitmap* handle, const CPoint& offset = CPoint());
    ~CKnob() override;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    long onKeyDown(KeyCode& key) override;

    virtual void drawHandle(CDrawContext* context);
    // Handle position for the current value, relative to the knob's top-left corner.
    void valueToPoint(CPoint& point) const;
    // The value a point (relative to the top-left corner) on the face means.
    float valueFromPoint(const CPoint& point) const;

    void setStartAngle(float angle);
    float getStartAngle() const { return geometry.getStartAngle(); }
    void setRangeAngle(float angle);
    float getRangeAngle() const { return geometry.getRangeAngle(); }
    void setInsetValue(int inset);
    int getInsetValue() const { return geometry.getInset(); }
    void setColorHandle(CColor color);
    void setColorShadowHandle(CColor color);
    void setHandleBitmap(CBitmap* bitmap);
    void setZoomFactor(float factor) { zoomFactor = factor; }
    float getZoomFactor() const { return zoomFactor; }

private:
    void syncLimits() const;

    CPoint offset;
    CColor handleColor = kWhiteCColor;
    CColor shadowColor = kGreyCColor;
    CBitmap* handleBitmap;
    float zoomFactor = kKnobZoomFactor;
    mutable KnobGeometry geometry;
};

} // namespace VSTGUI

// The arithmetic of a round knob: where its handle sits for a value, which value a point on its
// face means, and how a mouse drag turns into values. Angles in radians, counter-clockwise from
// the right, as on a mathematician's circle; points in pixels from the knob's top-left corner.
#pragma once

#include "widgets/geometry.h"

namespace VSTGUI {

inline constexpr float kKnobStartAngle = 3.9269907f; // 5 pi / 4: lower left
inline constexpr float kKnobRangeAngle = -4.712389f; // 3 pi / 2 clockwise, to the lower right
inline constexpr float kKnobZoomFactor = 1.5f; // linear drags with Shift travel this much further
inline constexpr int kKnobLinearRange = 200;   // pixels for the whole range in linear drags

class KnobGeometry {
public:
    KnobGeometry(float radius, int inset, float minimum = 0.0f, float maximum = 1.0f);

    void setStartAngle(float angle);
    void setRangeAngle(float angle);
    void setInset(int pixels) { inset = pixels; }
    void setLimits(float low, float high);

    float getStartAngle() const { return startAngle; }
    float getRangeAngle() const { return rangeAngle; }
    int getInset() const { return inset; }
    float getRadius() const { return radius; }

    // Where the handle's centre sits for a value; NaN and out-of-range values at the nearer end.
    CPoint valueToPoint(float value) const;
    // The value a point on the face means. Points in the gap at the bottom give the nearer end.
    float valueFromPoint(const CPoint& where) const;

private:
    void computeCoefficients();

    float startAngle = kKnobStartAngle;
    float rangeAngle = kKnobRangeAngle;
    float halfAngle = 0.0f; // half the gap between the ends
    float aCoef = 0.0f;     // value per radian
    float bCoef = 0.0f;     // value at angle 0
    float radius;
    int inset; // pixels between the rim and the handle's centre
    float minimum;
    float maximum;
};

// A drag in linear mode: up and right increase, 200 pixels (300 with Shift) sweep the whole
// range, and pressing or releasing Shift during the drag does not make the value jump.
class LinearKnobDrag {
public:
    LinearKnobDrag(CPoint press, float value, long buttons, float minimum, float maximum);
    // The value for the pointer at where with these buttons, before it is bounded to the range.
    float valueAt(CPoint where, long buttons);

private:
    float coefficientFor(long buttons) const;

    CPoint press;
    float entryValue;
    float coefficient;
    long lastButtons;
    float span;
};

// A drag in circular mode: the value follows the pointer round the face but stops at an end
// instead of jumping across the gap.
class CircularKnobDrag {
public:
    CircularKnobDrag(float startValue, float minimum, float maximum);
    // The value for the face value under the pointer.
    float next(float pointedValue);

private:
    float old;
    float middle; // half the range: a bigger step means the pointer crossed the gap
    float minimum;
    float maximum;
};

} // namespace VSTGUI

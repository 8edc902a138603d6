#include "widgets/knob_geometry.h"

#include <cmath>

#include "widgets/control_values.h"

namespace VSTGUI {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Brings an angle into 0..2 pi by one turn at most.
double withinOneTurn(double angle) {
    if (angle < 0.0) {
        return angle + kTwoPi;
    }
    return angle > kTwoPi ? angle - kTwoPi : angle;
}

// Brings an angle into low..high by one turn at most.
double withinSpan(double angle, double low, double high) {
    if (angle < low) {
        return angle + kTwoPi;
    }
    return angle > high ? angle - kTwoPi : angle;
}

} // namespace

KnobGeometry::KnobGeometry(float knobRadius, int handleInset, float low, float high)
    : radius(knobRadius), inset(handleInset), minimum(low), maximum(high) {
    computeCoefficients();
}

void KnobGeometry::setStartAngle(float angle) {
    startAngle = angle;
    computeCoefficients();
}

void KnobGeometry::setRangeAngle(float angle) {
    rangeAngle = angle;
    computeCoefficients();
}

void KnobGeometry::setLimits(float low, float high) {
    minimum = low;
    maximum = high;
    computeCoefficients();
}

void KnobGeometry::computeCoefficients() {
    aCoef = (maximum - minimum) / rangeAngle;
    bCoef = minimum - aCoef * startAngle;
    halfAngle = (static_cast<float>(kTwoPi) - std::fabs(rangeAngle)) * 0.5f;
}

CPoint KnobGeometry::valueToPoint(float value) const {
    const float alpha = (drawableValue(value, minimum, maximum) - bCoef) / aCoef;
    const double reach = radius - static_cast<float>(inset);
    const double h = radius + std::cos(alpha) * reach + 0.5;
    const double v = radius - std::sin(alpha) * reach + 0.5;
    // A knob whose range angle is 0 has no finite angle for any value: show the centre.
    if (!std::isfinite(h) || !std::isfinite(v)) {
        return {static_cast<int>(radius), static_cast<int>(radius)};
    }
    return {static_cast<int>(h), static_cast<int>(v)};
}

float KnobGeometry::valueFromPoint(const CPoint& where) const {
    double alpha =
        std::atan2(radius - static_cast<float>(where.v), static_cast<float>(where.h) - radius);
    if (alpha < 0.0) {
        alpha += kTwoPi;
    }
    double alpha2 = alpha - startAngle;
    if (rangeAngle < 0.0f) {
        alpha2 -= rangeAngle;
        const double alpha3 = withinOneTurn(alpha2);
        if (alpha3 > halfAngle - rangeAngle) {
            return maximum;
        }
        if (alpha3 > -rangeAngle) {
            return minimum;
        }
        alpha2 = withinSpan(alpha2, -halfAngle, halfAngle - rangeAngle);
        return static_cast<float>(aCoef * alpha2 + maximum);
    }
    alpha2 = withinOneTurn(alpha2);
    if (alpha2 > halfAngle + rangeAngle) {
        return minimum;
    }
    if (alpha2 > rangeAngle) {
        return maximum;
    }
    alpha2 = withinSpan(alpha2, -halfAngle, rangeAngle + halfAngle);
    return static_cast<float>(aCoef * alpha2 + minimum);
}

LinearKnobDrag::LinearKnobDrag(CPoint pressPoint, float value, long buttons, float low, float high)
    : press(pressPoint), entryValue(value), lastButtons(buttons), span(high - low) {
    coefficient = coefficientFor(buttons);
}

float LinearKnobDrag::coefficientFor(long buttons) const {
    float range = static_cast<float>(kKnobLinearRange);
    if (buttons & kShift) {
        range *= kKnobZoomFactor;
    }
    return span / range;
}

float LinearKnobDrag::valueAt(CPoint where, long buttons) {
    const float diff = static_cast<float>((press.v - where.v) + (where.h - press.h));
    if (buttons != lastButtons) {
        lastButtons = buttons;
        const float newCoefficient = coefficientFor(buttons);
        // Moves the entry point so that the value under the pointer stays where it is.
        entryValue += diff * (coefficient - newCoefficient);
        coefficient = newCoefficient;
    }
    return entryValue + diff * coefficient;
}

CircularKnobDrag::CircularKnobDrag(float startValue, float low, float high)
    : old(startValue), middle((high - low) * 0.5f), minimum(low), maximum(high) {}

float CircularKnobDrag::next(float pointedValue) {
    if (old - pointedValue > middle) {
        return maximum;
    }
    if (pointedValue - old > middle) {
        return minimum;
    }
    old = pointedValue;
    return pointedValue;
}

} // namespace VSTGUI

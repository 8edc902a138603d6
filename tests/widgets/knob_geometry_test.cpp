// Where a knob's handle sits, which value a point on its face means, and how drags turn into
// values.
#include "widgets/knob_geometry.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "widgets/control_values.h"

namespace {

using namespace VSTGUI;

constexpr float kPi = 3.14159265f;

// The point at distance `reach` from the centre of a knob of radius r, at angle alpha.
CPoint pointAt(float r, float alpha, float reach) {
    return {static_cast<int>(std::lround(r + std::cos(alpha) * reach)),
            static_cast<int>(std::lround(r - std::sin(alpha) * reach))};
}

// The angle the standard knob shows value v at (5 pi / 4 down to -pi / 4, clockwise).
float angleOf(float v) {
    return kKnobStartAngle + v * kKnobRangeAngle;
}

TEST(KnobGeometry, PointsAndValuesRoundTripOverTheWholeRange) {
    // Both knob sizes of the editor: 50 pixels with a 20-pixel handle, 31 with an 8-pixel one.
    for (const auto& [diameter, inset] : {std::pair{50, 12}, std::pair{31, 6}}) {
        const KnobGeometry knob(diameter * 0.5f, inset);
        for (int i = 0; i <= 100; ++i) {
            const float value = i / 100.0f;
            const CPoint handle = knob.valueToPoint(value);
            // The handle sits on the circle of radius - inset, at the value's angle.
            const CPoint expected =
                pointAt(diameter * 0.5f, angleOf(value), diameter * 0.5f - inset);
            EXPECT_LE(std::abs(handle.h - expected.h), 1) << diameter << " at " << value;
            EXPECT_LE(std::abs(handle.v - expected.v), 1) << diameter << " at " << value;
            // Back from a point further out, where pixels are finer than a hundredth.
            const KnobGeometry large(500.0f, 10);
            EXPECT_NEAR(large.valueFromPoint(pointAt(500.0f, angleOf(value), 400.0f)), value,
                        0.002f)
                << value;
            // And from the handle itself, within what a pixel is worth at that size.
            EXPECT_NEAR(knob.valueFromPoint(handle), value, 0.03f) << diameter << " at " << value;
        }
    }
}

TEST(KnobGeometry, TheGapAtTheBottomGivesTheNearerEnd) {
    const KnobGeometry knob(25.0f, 12);
    // Between the minimum's angle (225 degrees) and straight down: the minimum; between straight
    // down and the maximum's angle (315 degrees): the maximum.
    for (float degrees : {226.0f, 240.0f, 260.0f, 266.0f}) {
        EXPECT_EQ(knob.valueFromPoint(pointAt(25.0f, degrees * kPi / 180.0f, 20.0f)), 0.0f)
            << degrees;
    }
    for (float degrees : {274.0f, 290.0f, 314.0f}) {
        EXPECT_EQ(knob.valueFromPoint(pointAt(25.0f, degrees * kPi / 180.0f, 20.0f)), 1.0f)
            << degrees;
    }
    EXPECT_NEAR(knob.valueFromPoint({25, 5}), 0.5f, 0.001f); // straight up
}

TEST(KnobGeometry, ARangeTurningCounterClockwiseMirrorsTheRules) {
    KnobGeometry knob(500.0f, 10);
    knob.setStartAngle(-kPi / 4.0f);
    knob.setRangeAngle(1.5f * kPi);
    for (float value : {0.0f, 0.1f, 0.5f, 0.9f, 1.0f}) {
        const float alpha = -kPi / 4.0f + value * 1.5f * kPi;
        EXPECT_NEAR(knob.valueFromPoint(pointAt(500.0f, alpha, 400.0f)), value, 0.002f) << value;
    }
    // In the gap (now at the bottom as well): beyond the maximum's end the maximum, beyond the
    // minimum's end the minimum.
    EXPECT_EQ(knob.valueFromPoint(pointAt(500.0f, 4.0f, 400.0f)), 1.0f);
    EXPECT_EQ(knob.valueFromPoint(pointAt(500.0f, 5.2f, 400.0f)), 0.0f);
}

TEST(KnobGeometry, HostileValuesShowAtTheNearerEnd) {
    const KnobGeometry knob(25.0f, 12);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const CPoint minimum = knob.valueToPoint(0.0f);
    const CPoint maximum = knob.valueToPoint(1.0f);
    for (float value : {nan, -inf, -3.0f, -1e30f}) {
        EXPECT_EQ(knob.valueToPoint(value), minimum) << value;
    }
    for (float value : {inf, 1e30f, 1.5f}) {
        EXPECT_EQ(knob.valueToPoint(value), maximum) << value;
    }
    // A knob without a range has no angle for any value: its handle stays in the middle.
    KnobGeometry still(25.0f, 12);
    still.setRangeAngle(0.0f);
    EXPECT_EQ(still.valueToPoint(0.3f), CPoint(25, 25));
}

TEST(KnobGeometry, LinearDragsSweepTheRangeInTwoOrThreeHundredPixels) {
    const CPoint press(100, 100);
    struct Case {
        CPoint to;
        long buttons;
        float value; // from 0
    };
    const Case cases[] = {
        {{100, -100}, kLButton, 1.0f},          // 200 up
        {{300, 100}, kLButton, 1.0f},           // 200 right
        {{150, 50}, kLButton, 0.5f},            // 50 up and 50 right
        {{100, 200}, kLButton, -0.5f},          // down decreases (bounded later)
        {{100, -200}, kLButton | kShift, 1.0f}, // 300 up with Shift
        {{100, 25}, kLButton | kShift, 0.25f},
    };
    for (const Case& c : cases) {
        LinearKnobDrag drag(press, 0.0f, c.buttons, 0.0f, 1.0f);
        EXPECT_NEAR(drag.valueAt(c.to, c.buttons), c.value, 1e-6f) << c.to.h << "," << c.to.v;
    }
}

TEST(KnobGeometry, ShiftDuringALinearDragDoesNotMakeTheValueJump) {
    LinearKnobDrag drag({0, 0}, 0.2f, kLButton, 0.0f, 1.0f);
    EXPECT_NEAR(drag.valueAt({0, -60}, kLButton), 0.5f, 1e-6f);
    // Shift pressed where the pointer is: the value stays, further travel counts a third less.
    EXPECT_NEAR(drag.valueAt({0, -60}, kLButton | kShift), 0.5f, 1e-6f);
    EXPECT_NEAR(drag.valueAt({0, -90}, kLButton | kShift), 0.6f, 1e-6f);
    // Released again: no jump either, full speed from there.
    EXPECT_NEAR(drag.valueAt({0, -90}, kLButton), 0.6f, 1e-6f);
    EXPECT_NEAR(drag.valueAt({0, -110}, kLButton), 0.7f, 1e-6f);
}

TEST(KnobGeometry, CircularDragsStopAtTheEndsInsteadOfJumpingAcrossTheGap) {
    CircularKnobDrag drag(0.8f, 0.0f, 1.0f);
    EXPECT_EQ(drag.next(0.9f), 0.9f);
    EXPECT_EQ(drag.next(1.0f), 1.0f);
    // On past the maximum, the face reads the minimum: the value stays at the maximum...
    EXPECT_EQ(drag.next(0.0f), 1.0f);
    EXPECT_EQ(drag.next(0.05f), 1.0f);
    // ...until the pointer comes back near the value.
    EXPECT_EQ(drag.next(0.95f), 0.95f);

    CircularKnobDrag down(0.1f, 0.0f, 1.0f);
    EXPECT_EQ(down.next(0.0f), 0.0f);
    EXPECT_EQ(down.next(1.0f), 0.0f);
    EXPECT_EQ(down.next(0.2f), 0.2f);
}

TEST(ControlValues, FrameStripsAndHostileValues) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float value;
        int images;
        int index;
    };
    const Case cases[] = {
        {0.0f, 2, 0},  {0.49f, 2, 0}, {0.5f, 2, 1}, {1.0f, 2, 1}, {0.24f, 3, 0},
        {0.25f, 3, 1}, {0.75f, 3, 2}, {nan, 2, 0},  {-inf, 2, 0}, {inf, 2, 1},
        {1e30f, 3, 2}, {-3.0f, 3, 0}, {0.7f, 1, 0}, {0.7f, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(frameStripIndex(c.value, c.images), c.index) << c.value << " of " << c.images;
    }
    EXPECT_EQ(drawableValue(nan, 0.0f, 1.0f), 0.0f);
    EXPECT_EQ(drawableValue(-inf, 0.0f, 1.0f), 0.0f);
    EXPECT_EQ(drawableValue(1e30f, 0.0f, 1.0f), 1.0f);
    EXPECT_TRUE(sameValue(nan, nan));
    EXPECT_FALSE(sameValue(nan, 0.0f));
    EXPECT_FALSE(integerPartNonZero(nan));
    EXPECT_FALSE(integerPartNonZero(0.99f));
    EXPECT_TRUE(integerPartNonZero(-1.0f));
    EXPECT_TRUE(integerPartNonZero(inf));
}

} // namespace

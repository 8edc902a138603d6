// The controls as a user works them: drags, clicks, the wheel and keys through a scripted mouse,
// what the listener and the host hear, and how hostile values are shown. The same cases run
// natively under the sanitizers and on GDI under Wine.
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "tests/widgets/widget_test_support.h"
#include "widgets/bitmap.h"
#include "widgets/buttons.h"
#include "widgets/knob.h"
#include "widgets/param_display.h"

namespace {

using namespace widget_test;

constexpr float kPi = 3.14159265f;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

class Controls : public ::testing::Test {
protected:
    Controls() : frame(CRect(0, 0, 300, 200), parentWindow(), &editor) {}

    // A 50 x 50 knob at (10, 10) with body and handle bitmaps, added to the frame.
    CKnob* addKnob(float value) {
        const BitmapRef body(kKnobBodyBitmap);
        const BitmapRef handle(kKnobHandleBitmap);
        auto* knob = new CKnob(CRect(10, 10, 60, 60), &listener, 1, body.get(), handle.get());
        knob->setValue(value);
        knob->setDefaultValue(0.5f);
        frame.addView(knob);
        return knob;
    }

    // The frame point of a knob at (10, 10) that shows value v, 20 pixels from its centre.
    static CPoint knobPoint(float v) {
        const float alpha = kKnobStartAngle + v * kKnobRangeAngle;
        return {35 + static_cast<int>(std::lround(std::cos(alpha) * 20.0f)),
                35 - static_cast<int>(std::lround(std::sin(alpha) * 20.0f))};
    }

    ScriptedEditor editor;
    RecordingListener listener;
    CFrame frame;
};

TEST_F(Controls, CircularDragFollowsThePointerAndStopsAtTheMaximum) {
    CKnob* knob = addKnob(0.2f);
    // Clockwise round the face from 0.2, past the maximum and across the gap at the bottom.
    std::vector<MouseState> states;
    for (float v = 0.2f; v <= 1.25f; v += 0.05f) {
        states.push_back({kLButton, knobPoint(v)});
    }
    states.push_back({0, states.back().location});
    press(frame, editor, states);

    const std::vector<float> values = listener.values();
    ASSERT_FALSE(values.empty());
    for (std::size_t i = 1; i < values.size(); ++i) {
        EXPECT_GE(values[i], values[i - 1]) << "the value went back at report " << i;
    }
    EXPECT_EQ(values.back(), 1.0f);
    EXPECT_EQ(knob->getValue(), 1.0f);
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 1", "end 1"}));
    EXPECT_EQ(frame.getFocusView(), knob);
}

TEST_F(Controls, LinearDragsInBothModesAndWithAlt) {
    struct Case {
        long knobMode;
        long buttons;
        CPoint to;
        float value;
    };
    const Case cases[] = {
        {kLinearMode, kLButton, {35, -165}, 1.0f},         // 200 up, bounded at the top
        {kLinearMode, kLButton, {35, -15}, 0.5f},          // 50 up from 0.25
        {kLinearMode, kLButton, {85, 35}, 0.5f},           // 50 right
        {kLinearMode, kLButton | kShift, {35, -40}, 0.5f}, // 75 up with Shift
        {kLinearMode, kLButton, {35, 135}, 0.0f},          // 100 down, bounded
        {kCircularMode, kLButton | kAlt, {35, -15}, 0.5f}, // Alt: linear in circular mode
    };
    for (const Case& c : cases) {
        frame.removeAll();
        listener.reports.clear();
        editor.knobMode = c.knobMode;
        CKnob* knob = addKnob(0.25f);
        press(frame, editor, drag({35, 35}, c.to, 10, c.buttons));
        EXPECT_NEAR(knob->getValue(), c.value, 1e-5f) << c.to.h << "," << c.to.v;
        EXPECT_NEAR(listener.values().back(), c.value, 1e-5f);
    }
    // Alt in linear mode gives circular behaviour: the value follows the pointer's angle.
    frame.removeAll();
    editor.knobMode = kLinearMode;
    CKnob* knob = addKnob(0.25f);
    press(frame, editor, drag(knobPoint(0.3f), knobPoint(0.6f), 1, kLButton | kAlt));
    EXPECT_NEAR(knob->getValue(), 0.6f, 0.03f);
}

TEST_F(Controls, ShiftPressedDuringALinearDragKeepsTheValue) {
    editor.knobMode = kLinearMode;
    CKnob* knob = addKnob(0.0f);
    std::vector<MouseState> states = drag({35, 35}, {35, -5}, 4); // 40 up: 0.2
    states.pop_back();
    for (int dy = 0; dy <= 60; dy += 10) { // Shift down, then 60 up: 0.2 more
        states.push_back({kLButton | kShift, {35, -5 - dy}});
    }
    states.push_back({0, {35, -65}});
    press(frame, editor, states);
    const std::vector<float> values = listener.values();
    for (std::size_t i = 1; i < values.size(); ++i) {
        EXPECT_LE(values[i] - values[i - 1], 0.05f + 1e-6f) << "jump at report " << i;
    }
    EXPECT_NEAR(knob->getValue(), 0.4f, 1e-5f);
}

TEST_F(Controls, ControlClickResetsAndControlShiftClickDrags) {
    CKnob* knob = addKnob(0.8f);
    press(frame, editor, {{kLButton | kControl, {35, 35}}, {0, {35, 35}}});
    EXPECT_EQ(knob->getValue(), 0.5f);
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_EQ(listener.reports[0].value, 0.5f);
    EXPECT_TRUE(editor.edits.empty());

    // At the default already: nothing to report.
    press(frame, editor, {{kLButton | kControl, {35, 35}}, {0, {35, 35}}});
    EXPECT_EQ(listener.reports.size(), 1u);

    // With Shift as well it is an ordinary drag.
    editor.knobMode = kLinearMode;
    press(frame, editor, drag({35, 35}, {35, 5}, 3, kLButton | kControl | kShift));
    EXPECT_NEAR(knob->getValue(), 0.6f, 1e-5f);
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 1", "end 1"}));
}

TEST_F(Controls, WheelAndArrowKeysStepTheKnob) {
    CKnob* knob = addKnob(0.5f);
    editor.script({{0, {35, 35}}});
    CDrawContext context(&frame, nullptr, frame.getSystemWindow());
    EXPECT_TRUE(frame.onWheel(&context, {35, 35}, 1.0f));
    EXPECT_NEAR(knob->getValue(), 0.6f, 1e-6f);
    editor.script({{kShift, {35, 35}}});
    EXPECT_TRUE(frame.onWheel(&context, {35, 35}, -2.0f));
    EXPECT_NEAR(knob->getValue(), 0.58f, 1e-6f);
    EXPECT_TRUE(frame.onWheel(&context, {35, 35}, 100.0f));
    EXPECT_EQ(knob->getValue(), 1.0f);
    EXPECT_FALSE(frame.onWheel(&context, {200, 150}, 1.0f)); // over no view

    struct Key {
        unsigned char virt;
        unsigned char modifier;
        float value; // from 0.5
        long answer;
    };
    const Key keys[] = {
        {VKEY_UP, 0, 0.6f, 1},
        {VKEY_RIGHT, 0, 0.6f, 1},
        {VKEY_DOWN, 0, 0.4f, 1},
        {VKEY_LEFT, 0, 0.4f, 1},
        {VKEY_UP, MODIFIER_SHIFT, 0.51f, 1},
        {VKEY_LEFT, MODIFIER_SHIFT, 0.49f, 1},
        {0, 0, 0.5f, -1},
    };
    for (const Key& key : keys) {
        knob->setValue(0.5f);
        KeyCode code;
        code.virt = key.virt;
        code.modifier = key.modifier;
        EXPECT_EQ(knob->onKeyDown(code), key.answer) << int(key.virt);
        EXPECT_NEAR(knob->getValue(), key.value, 1e-6f) << int(key.virt);
    }

    knob->setMouseEnabled(false);
    EXPECT_FALSE(knob->onWheel(&context, {35, 35}, 1.0f));
}

TEST_F(Controls, OnOffButtonSwitchesOnThePressAndRightClicksAskForAMenu) {
    const BitmapRef bitmap(kTwoImagesBitmap);
    auto* button = new COnOffButton(CRect(100, 100, 110, 104), &listener, 10, bitmap.get());
    frame.addView(button);
    const struct {
        float from;
        float to;
    } flips[] = {{0.0f, 1.0f}, {1.0f, 0.0f}, {0.5f, 1.0f}, {1.7f, 0.0f},
                 {kNaN, 1.0f}, {kInf, 0.0f}, {-3.0f, 0.0f}};
    for (const auto& flip : flips) {
        button->setValue(flip.from);
        listener.reports.clear();
        press(frame, editor, {{kLButton, {105, 102}}});
        EXPECT_EQ(button->getValue(), flip.to) << flip.from;
        ASSERT_EQ(listener.reports.size(), 1u);
        EXPECT_FALSE(listener.reports[0].rightClick);
    }
    listener.reports.clear();
    button->setValue(1.0f);
    press(frame, editor, {{kRButton, {105, 102}}});
    EXPECT_EQ(button->getValue(), 1.0f);
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_TRUE(listener.reports[0].rightClick);
    EXPECT_EQ(editor.idleSteps, 8); // one idle step per press, no tracking loop
}

TEST_F(Controls, KickButtonReportsThePressAndTheRelease) {
    const BitmapRef bitmap(kKickBitmap);
    auto* kick = new CKickButton(CRect(100, 100, 145, 115), &listener, 0, 15, bitmap.get());
    frame.addView(kick);
    struct Case {
        const char* what;
        std::vector<MouseState> mouse;
        std::vector<float> reported;
        bool edit;
    };
    const Case cases[] = {
        {"click", {{kLButton, {110, 105}}, {kLButton, {112, 106}}, {0, {112, 106}}}, {1, 0}, true},
        {"dragged out",
         {{kLButton, {110, 105}},
          {kLButton, {130, 110}},
          {kLButton, {160, 110}},
          {kLButton, {170, 120}},
          {0, {170, 120}}},
         {1, 0, 0},
         true},
        {"out and back in",
         {{kLButton, {110, 105}},
          {kLButton, {160, 105}},
          {kLButton, {120, 105}},
          {kLButton, {120, 105}},
          {0, {120, 105}}},
         {1, 0, 1, 0},
         true},
        {"with Shift", {{kLButton | kShift, {110, 105}}}, {1, 0}, false},
    };
    for (const Case& c : cases) {
        listener.reports.clear();
        editor.edits.clear();
        press(frame, editor, c.mouse);
        EXPECT_EQ(listener.values(), c.reported) << c.what;
        EXPECT_EQ(kick->getValue(), 0.0f) << c.what;
        EXPECT_EQ(editor.edits.size(), c.edit ? 2u : 0u) << c.what;
    }
}

TEST_F(Controls, MovieButtonTogglesWhenReleasedInside) {
    const BitmapRef bitmap(kTwoImagesBitmap);
    auto* compare = new CMovieButton(CRect(100, 100, 110, 104), &listener, 9, 4, bitmap.get());
    frame.addView(compare);
    press(frame, editor, {{kLButton, {105, 102}}, {0, {105, 102}}});
    EXPECT_EQ(compare->getValue(), 1.0f);
    press(
        frame, editor,
        {{kLButton, {105, 102}}, {kLButton, {150, 150}}, {kLButton, {150, 150}}, {0, {150, 150}}});
    EXPECT_EQ(compare->getValue(), 1.0f); // released outside: unchanged
    press(frame, editor, {{kLButton, {105, 102}}, {0, {105, 102}}});
    EXPECT_EQ(compare->getValue(), 0.0f);
    EXPECT_EQ(listener.values(), (std::vector<float>{1, 0, 1, 0}));
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 9", "end 9", "begin 9", "end 9",
                                                      "begin 9", "end 9"}));
}

TEST_F(Controls, DirtyTrackingFollowsTheValueLastDrawn) {
    const BitmapRef bitmap(kThreeImagesBitmap);
    CMovieBitmap strip(CRect(0, 0, 6, 3), nullptr, -1, 3, 3, bitmap.get());
    CDrawContext context(&frame, nullptr, frame.getSystemWindow());
    strip.draw(&context);
    EXPECT_FALSE(strip.isDirty());
    strip.setValue(strip.getValue());
    EXPECT_FALSE(strip.isDirty());
    strip.setValue(0.5f);
    EXPECT_TRUE(strip.isDirty());
    strip.draw(&context);
    EXPECT_FALSE(strip.isDirty());
    // Marked dirty whatever the value, -1 included.
    strip.setValue(-1.0f);
    strip.setDirty(false);
    strip.setDirty(true);
    EXPECT_TRUE(strip.isDirty());
    strip.setDirty(false);
    EXPECT_FALSE(strip.isDirty());
    // A NaN drawn once is clean, not dirty for ever.
    strip.setValue(kNaN);
    EXPECT_TRUE(strip.isDirty());
    strip.setDirty(false);
    EXPECT_FALSE(strip.isDirty());
}

TEST_F(Controls, HostileValuesDrawAtASanePlace) {
    const BitmapRef strip(kThreeImagesBitmap);
    const BitmapRef two(kTwoImagesBitmap);
    const BitmapRef kick(kKickBitmap);
    CKnob* knob = addKnob(0.0f);
    auto* movie = new CMovieBitmap(CRect(100, 100, 106, 103), nullptr, -1, 3, 3, strip.get());
    auto* onOff = new COnOffButton(CRect(120, 100, 130, 104), nullptr, 10, two.get());
    auto* kicker = new CKickButton(CRect(140, 100, 185, 115), nullptr, 0, 15, kick.get());
    auto* compare = new CMovieButton(CRect(190, 100, 200, 104), nullptr, 9, 4, two.get());
    auto* display = new CParamDisplay(CRect(0, 150, 100, 164));
    for (CView* view : std::initializer_list<CView*>{movie, onOff, kicker, compare, display}) {
        frame.addView(view);
    }
    CDrawContext context(&frame, nullptr, frame.getSystemWindow());
    CPoint minimum;
    knob->setValue(0.0f);
    knob->valueToPoint(minimum);
    for (float hostile : {kNaN, kInf, -kInf, 1e30f, -3.0f, -1e30f}) {
        for (long i = 0; i < frame.getNbViews(); ++i) {
            static_cast<CControl*>(frame.getView(i))->setValue(hostile);
        }
        frame.draw(&context); // under the sanitizers: no float-to-integer overflow anywhere
        EXPECT_FALSE(movie->getValue() > 1.0f) << hostile; // stored back as 1
        EXPECT_FALSE(movie->isDirty()) << hostile;
        EXPECT_FALSE(knob->isDirty()) << hostile;
        // The buttons that bound their value show the nearer end.
        const float bounded = hostile > 0.0f ? 1.0f : 0.0f;
        EXPECT_EQ(kicker->getValue(), bounded) << hostile;
        EXPECT_EQ(compare->getValue(), bounded) << hostile;
    }
    knob->setValue(kNaN);
    CPoint shown;
    knob->valueToPoint(shown);
    EXPECT_EQ(shown, minimum);
    // The knob's drags and keys start from a sane value too.
    knob->setValue(kNaN);
    KeyCode up;
    up.virt = VKEY_UP;
    knob->onKeyDown(up);
    EXPECT_NEAR(knob->getValue(), 0.1f, 1e-6f);
}

TEST_F(Controls, TextEditKeepsAtMost255Characters) {
    CTextEdit edit(CRect(0, 0, 100, 14), &listener, 14, nullptr);
    EXPECT_STREQ(edit.getText(), "");
    const std::string longText(1000, 'x');
    edit.setText(longText.c_str());
    EXPECT_EQ(std::strlen(edit.getText()), 255u);
    EXPECT_TRUE(edit.isDirty());
    edit.setDirty(false);
    edit.setText(longText.c_str()); // the same text again: nothing changes
    EXPECT_FALSE(edit.isDirty());
    edit.setText(nullptr);
    EXPECT_EQ(std::strlen(edit.getText()), 255u);
    CTextEdit initial(CRect(0, 0, 100, 14), nullptr, 14, longText.c_str());
    EXPECT_EQ(std::strlen(initial.getText()), 255u);
    char copy[CTextEdit::kTextSize];
    std::memset(copy, '#', sizeof(copy));
    initial.getText(copy);
    EXPECT_EQ(std::strlen(copy), 255u);
    // Display attributes mark the view dirty only when they change.
    edit.setDirty(false);
    edit.setFontColor(kWhiteCColor);
    EXPECT_FALSE(edit.isDirty());
    edit.setFontColor(kRedCColor);
    EXPECT_TRUE(edit.isDirty());
}

} // namespace

// The controls in a real frame in a real top-level window, worked with real X input from
// xdotool: the controls read the system's mouse state in their tracking loops.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/widgets/widget_test_support.h"
#include "tests/widgets/window_test_support.h"
#include "widgets/buttons.h"
#include "widgets/knob.h"
#include "win32/messages.h"

namespace {

using namespace widget_test;

// The editor of a frame on the real mouse: its idle step lets the window paint, as a plug-in's
// editor does, and it records the edits.
class WindowEditor : public FrameEditor {
public:
    void doIdleStuff() override {
        ++idleSteps;
        MSG message;
        if (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        Sleep(4);
    }
    void beginEdit(long tag) override { edits.push_back("begin " + std::to_string(tag)); }
    void endEdit(long tag) override { edits.push_back("end " + std::to_string(tag)); }
    long getKnobMode() const override { return knobMode; }

    long knobMode = kCircularMode;
    int idleSteps = 0;
    std::vector<std::string> edits;
};

// An XScript at the frame's client coordinates.
class Hand : public XScript {
public:
    explicit Hand(HWND frameWindow) : window(frameWindow) {}

    Hand& moveTo(CPoint where) {
        XScript::moveTo(screenPoint(window, where.h, where.v));
        return *this;
    }
    Hand& press(int button = 1) {
        XScript::press(button);
        return *this;
    }
    Hand& release(int button = 1) {
        XScript::release(button);
        return *this;
    }
    Hand& wheel(int notches, bool shift = false) {
        if (shift) {
            keyDown("shift");
        }
        XScript::wheel(notches);
        if (shift) {
            keyUp("shift");
        }
        return *this;
    }

private:
    HWND window;
};

class RealInput : public ::testing::Test {
protected:
    void open() {
        top = std::make_unique<TopWindow>(700, 450, 300, 200);
        frame = new CFrame(CRect(0, 0, 300, 200), top->handle(), &editor);
        body = std::make_unique<BitmapRef>(kKnobBodyBitmap);
        handle = std::make_unique<BitmapRef>(kKnobHandleBitmap);
        kickImages = std::make_unique<BitmapRef>(kKickBitmap);
        knob = new CKnob(CRect(10, 10, 60, 60), &listener, 1, body->get(), handle->get());
        kick = new CKickButton(CRect(100, 100, 145, 115), &listener, 0, 15, kickImages->get());
        onOff = new COnOffButton(CRect(160, 100, 205, 115), &listener, 10, kickImages->get());
        frame->addView(knob);
        frame->addView(kick);
        frame->addView(onOff);
        knob->setValue(0.25f);
        kel::win32::pumpMessagesFor(0.1);
    }
    void TearDown() override {
        if (frame) {
            frame->forget();
        }
        top.reset();
    }
    HWND window() const { return static_cast<HWND>(frame->getSystemWindow()); }
    // The frame point of the knob showing value v, 18 pixels from its centre.
    static CPoint onKnob(float v) {
        const float alpha = kKnobStartAngle + v * kKnobRangeAngle;
        return {35 + static_cast<int>(std::lround(std::cos(alpha) * 18.0f)),
                35 - static_cast<int>(std::lround(std::sin(alpha) * 18.0f))};
    }

    WindowEditor editor;
    RecordingListener listener;
    std::unique_ptr<TopWindow> top;
    std::unique_ptr<BitmapRef> body, handle, kickImages;
    CFrame* frame = nullptr;
    CKnob* knob = nullptr;
    CKickButton* kick = nullptr;
    COnOffButton* onOff = nullptr;
};

TEST_F(RealInput, KnobDraggedRoundItsFace) {
    open();
    Hand hand(window());
    hand.moveTo(onKnob(0.25f)).press();
    for (float v = 0.3f; v <= 0.701f; v += 0.05f) {
        hand.moveTo(onKnob(v));
    }
    ASSERT_TRUE(hand.release().run());
    EXPECT_NEAR(knob->getValue(), 0.7f, 0.04f);
    ASSERT_GE(listener.reports.size(), 3u);
    for (std::size_t i = 1; i < listener.reports.size(); ++i) {
        EXPECT_GE(listener.reports[i].value, listener.reports[i - 1].value - 0.02f);
    }
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 1", "end 1"}));
    EXPECT_GT(editor.idleSteps, 5);
}

TEST_F(RealInput, KnobDraggedUpInLinearMode) {
    editor.knobMode = kLinearMode;
    open();
    Hand hand(window());
    hand.moveTo({35, 50}).press();
    for (int dy = 10; dy <= 100; dy += 10) {
        hand.moveTo({35, 50 - dy}); // on above the window: the knob keeps following
    }
    ASSERT_TRUE(hand.release().run());
    EXPECT_NEAR(knob->getValue(), 0.75f, 0.011f); // 100 pixels: half the range
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 1", "end 1"}));
}

TEST_F(RealInput, KickButtonPressedAndReleasedInsideAndOutside) {
    open();
    Hand hand(window());
    ASSERT_TRUE(hand.moveTo({120, 107}).press().release().run());
    EXPECT_EQ(listener.values(), (std::vector<float>{1, 0}));
    EXPECT_EQ(editor.edits, (std::vector<std::string>{"begin 0", "end 0"}));

    listener.reports.clear();
    ASSERT_TRUE(
        hand.moveTo({120, 107}).press().moveTo({130, 140}).moveTo({140, 170}).release().run());
    EXPECT_EQ(listener.values(), (std::vector<float>{1, 0, 0}));
    EXPECT_EQ(kick->getValue(), 0.0f);
}

TEST_F(RealInput, OnOffButtonAndWheel) {
    open();
    Hand hand(window());
    ASSERT_TRUE(hand.moveTo({180, 107}).press().release().run());
    EXPECT_EQ(onOff->getValue(), 1.0f);
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_FALSE(listener.reports[0].rightClick);

    // The right button asks for a menu and changes nothing.
    ASSERT_TRUE(hand.press(3).release(3).run());
    EXPECT_EQ(onOff->getValue(), 1.0f);
    ASSERT_EQ(listener.reports.size(), 2u);
    EXPECT_TRUE(listener.reports[1].rightClick);

    ASSERT_TRUE(hand.moveTo({35, 35}).wheel(2).run());
    EXPECT_NEAR(knob->getValue(), 0.45f, 1e-5f);
    ASSERT_TRUE(hand.wheel(-1, true).run());
    EXPECT_NEAR(knob->getValue(), 0.44f, 1e-5f);
    EXPECT_TRUE(editor.edits.empty());
}

TEST_F(RealInput, WithSwappedButtonsThePhysicalRightButtonIsThePrimaryOne) {
    // Read when the frame's window class is registered, that is when the first frame opens.
    SwapMouseButton(TRUE);
    open();
    Hand hand(window());
    const bool ran = hand.moveTo({180, 107}).press(3).release(3).run();
    SwapMouseButton(FALSE);
    ASSERT_TRUE(ran);
    EXPECT_EQ(onOff->getValue(), 1.0f);
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_FALSE(listener.reports[0].rightClick);
}

} // namespace

// What the widget tests share: a listener and an editor that record what the controls report, a
// scripted mouse, and a parent window for frames.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "widgets/bitmap.h"
#include "widgets/control.h"
#include "widgets/draw_context.h"
#include "widgets/frame.h"

#include "test_bitmaps.h"

namespace widget_test {

using namespace VSTGUI;

struct Report {
    long tag;
    float value;
    bool rightClick;
};

// Records what the controls report and, like an editor, redraws the control it heard from.
class RecordingListener : public CControlListener {
public:
    void valueChanged(CDrawContext* context, CControl* control) override {
        reports.push_back({control->getTag(), control->getValue(), false});
        if (context) {
            control->draw(context);
        } else {
            control->setDirty(false);
        }
    }
    void controlRightClicked(CDrawContext*, CControl* control) override {
        reports.push_back({control->getTag(), control->getValue(), true});
    }
    std::vector<float> values() const;

    std::vector<Report> reports;
};

// The editor of a frame, with a mouse that moves one scripted step at each idle step, the way a
// user's hand moves between two passes of a control's tracking loop.
class ScriptedEditor : public FrameEditor {
public:
    ScriptedEditor();
    ~ScriptedEditor();
    ScriptedEditor(const ScriptedEditor&) = delete;
    ScriptedEditor& operator=(const ScriptedEditor&) = delete;

    // The mouse starts at the first state; each idle step takes the next one; the last one stays.
    void script(const std::vector<MouseState>& states);
    const MouseState& mouse() const { return current; }
    // Lets go of every button where the mouse is and drops the rest of the script.
    void releaseMouse();

    void doIdleStuff() override;
    void beginEdit(long tag) override { edits.push_back("begin " + std::to_string(tag)); }
    void endEdit(long tag) override { edits.push_back("end " + std::to_string(tag)); }
    long getKnobMode() const override { return knobMode; }

    long knobMode = kCircularMode;
    int idleSteps = 0;
    // Runs at each idle step with its number (from 1), after the mouse moved on.
    std::function<void(int)> atIdleStep;
    std::vector<std::string> edits;

private:
    std::vector<MouseState> states;
    std::size_t next = 0;
    MouseState current;
};

// A bitmap of the test table, held for the scope (the controls keep their own references).
class BitmapRef {
public:
    explicit BitmapRef(const TestBitmap& known) : bitmap(new CBitmap(known.id)) {}
    ~BitmapRef() { bitmap->forget(); }
    BitmapRef(const BitmapRef&) = delete;
    BitmapRef& operator=(const BitmapRef&) = delete;
    CBitmap* get() const { return bitmap; }

private:
    CBitmap* bitmap;
};

// A parent for frames: a hidden top-level window under Windows, a stand-in natively.
void* parentWindow();

// Draws the frame, then presses the (scripted) mouse on it at the first scripted state, as the
// frame's window does for a button-down message.
void press(CFrame& frame, ScriptedEditor& editor, const std::vector<MouseState>& states);

// A straight drag from one point to another in steps pixels, holding buttons, then released.
std::vector<MouseState> drag(CPoint from, CPoint to, int steps, long buttons = kLButton);

} // namespace widget_test

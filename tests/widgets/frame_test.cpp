// The frame as the views see it: who gets a click, a key, the wheel and a drop, what is drawn at
// idle, and who owns what.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/widgets/widget_test_support.h"
#include "widgets/knob.h"

namespace {

using namespace widget_test;

// A view that writes what happens to it into a shared log.
class LoggingView : public CView {
public:
    LoggingView(const std::string& viewName, const CRect& rect, std::vector<std::string>& sharedLog,
                long keyAnswer = -1)
        : CView(rect), name(viewName), log(sharedLog), answer(keyAnswer) {}

    void draw(CDrawContext*) override { log.push_back(name + " draw"); }
    void mouse(CDrawContext*, CPoint&) override { log.push_back(name + " mouse"); }
    long onKeyDown(KeyCode&) override {
        log.push_back(name + " key");
        return answer;
    }
    bool onWheel(CDrawContext*, const CPoint&, float) override {
        log.push_back(name + " wheel");
        return true;
    }
    bool onDrop(const char* const* items, long count, long type, CPoint&) override {
        log.push_back(name + " drop " + std::to_string(type) + " " +
                      (count > 0 ? items[0] : "nothing"));
        return true;
    }
    void looseFocus(CDrawContext*) override { log.push_back(name + " loses focus"); }

    const std::string name;
    std::vector<std::string>& log;
    long answer;
};

class Frame : public ::testing::Test {
protected:
    Frame() : frame(CRect(0, 0, 300, 200), parentWindow(), &editor) {}

    LoggingView* add(const std::string& name, const CRect& rect, long keyAnswer = -1) {
        auto* view = new LoggingView(name, rect, log, keyAnswer);
        frame.addView(view);
        return view;
    }
    void click(CPoint where) {
        CDrawContext context(&frame, nullptr, frame.getSystemWindow());
        frame.mouse(&context, where);
    }
    std::vector<std::string> takeLog() {
        std::vector<std::string> taken;
        taken.swap(log);
        return taken;
    }

    ScriptedEditor editor;
    std::vector<std::string> log;
    CFrame frame;
};

using Log = std::vector<std::string>;

TEST_F(Frame, AClickGoesToTheTopmostEnabledViewUnderIt) {
    add("lower", CRect(0, 0, 100, 100));
    LoggingView* upper = add("upper", CRect(50, 50, 150, 150));
    click({75, 75});
    click({100, 100}); // edges belong to both
    click({25, 25});
    click({150, 150});
    click({151, 151}); // outside both
    EXPECT_EQ(takeLog(), (Log{"upper mouse", "upper mouse", "lower mouse", "upper mouse"}));

    upper->setMouseEnabled(false);
    click({75, 75});
    EXPECT_EQ(takeLog(), (Log{"lower mouse"}));

    // A modal view takes every click on it, and nothing else gets one.
    auto* dialog = new LoggingView("modal", CRect(60, 60, 90, 90), log);
    frame.setModalView(dialog);
    dialog->forget();
    click({70, 70});
    click({20, 20});
    EXPECT_EQ(takeLog(), (Log{"modal mouse"}));
}

TEST_F(Frame, KeysGoToFocusThenModalThenViewsFromTheTop) {
    LoggingView* first = add("first", CRect(0, 0, 10, 10), 1);
    add("second", CRect(0, 0, 10, 10));
    add("third", CRect(0, 0, 10, 10));
    KeyCode key;
    EXPECT_EQ(frame.onKeyDown(key), 1);
    EXPECT_EQ(takeLog(), (Log{"third key", "second key", "first key"}));

    auto* dialog = new LoggingView("modal", CRect(0, 0, 10, 10), log);
    frame.setModalView(dialog);
    dialog->forget();
    frame.setFocusView(frame.getView(1));
    EXPECT_EQ(frame.onKeyDown(key), 1);
    EXPECT_EQ(takeLog(), (Log{"second key", "modal key", "third key", "second key", "first key"}));

    first->answer = -1;
    EXPECT_EQ(frame.onKeyDown(key), -1);
    takeLog();

    // The next click takes the focus away first.
    frame.setModalView(nullptr);
    click({5, 5});
    EXPECT_EQ(takeLog(), (Log{"second loses focus", "third mouse"}));
    EXPECT_EQ(frame.getFocusView(), nullptr);
}

TEST_F(Frame, IdleRedrawsOnlyDirtyViewsAndOnlyAfterTheFirstFullDraw) {
    LoggingView* a = add("a", CRect(0, 0, 10, 10));
    LoggingView* b = add("b", CRect(20, 0, 30, 10));
    a->setDirty();
    frame.idle();
    EXPECT_EQ(takeLog(), Log{}); // not drawn yet: nothing at idle
    EXPECT_TRUE(frame.isFirstDrawPending());

    // A paint of part of the window is not the first full draw.
    {
        CDrawContext context(&frame, nullptr, frame.getSystemWindow());
        frame.drawRect(&context, CRect(0, 0, 15, 15));
    }
    EXPECT_EQ(takeLog(), (Log{"a draw"}));
    EXPECT_TRUE(frame.isFirstDrawPending());
    frame.idle();
    EXPECT_EQ(takeLog(), Log{});

    frame.redraw();
    EXPECT_EQ(takeLog(), (Log{"a draw", "b draw"}));
    EXPECT_FALSE(frame.isFirstDrawPending());

    a->setDirty(false);
    b->setDirty(false);
    frame.idle();
    EXPECT_EQ(takeLog(), Log{});
    b->setDirty();
    frame.idle();
    EXPECT_EQ(takeLog(), (Log{"b draw"}));
    EXPECT_FALSE(b->isDirty());
    frame.idle();
    EXPECT_EQ(takeLog(), Log{});

    // A dirty frame draws everything once.
    frame.setDirty();
    frame.idle();
    EXPECT_EQ(takeLog(), (Log{"a draw", "b draw"}));
    frame.idle();
    EXPECT_EQ(takeLog(), Log{});
}

TEST_F(Frame, WheelAndDropsReachTheViewUnderThePointer) {
    add("left", CRect(0, 0, 100, 100));
    add("right", CRect(150, 0, 250, 100));
    editor.script({{0, {200, 50}}});
    EXPECT_TRUE(frame.onWheel(1.0f));
    editor.script({{0, {120, 50}}});
    EXPECT_FALSE(frame.onWheel(1.0f));
    const char* files[] = {"C:\\presets\\a.kpa"};
    CPoint where(50, 50);
    EXPECT_TRUE(frame.onDrop(files, 1, kDropFiles, where));
    where = {120, 120};
    EXPECT_FALSE(frame.onDrop(files, 1, kDropFiles, where));
    EXPECT_EQ(takeLog(), (Log{"right wheel", "left drop 1 C:\\presets\\a.kpa"}));
}

TEST_F(Frame, TheFrameOwnsItsViewsAndReferencesItsBitmaps) {
    const BitmapRef background(kBackgroundBitmap);
    const BitmapRef body(kKnobBodyBitmap);
    auto frameOnHeap = std::make_unique<CFrame>(CRect(0, 0, 300, 200), parentWindow(), &editor);
    frameOnHeap->setBackground(background.get());
    auto* knob = new CKnob(CRect(0, 0, 50, 50), nullptr, 1, body.get(), nullptr);
    auto* kept = new LoggingView("kept", CRect(0, 0, 10, 10), log);
    EXPECT_TRUE(frameOnHeap->addView(knob));
    EXPECT_TRUE(frameOnHeap->addView(kept));
    EXPECT_FALSE(frameOnHeap->addView(nullptr));
    EXPECT_EQ(background.get()->getNbReference(), 2);
    EXPECT_EQ(body.get()->getNbReference(), 2);

    // Taken out without forgetting: still ours.
    kept->remember();
    EXPECT_TRUE(frameOnHeap->removeView(kept));
    EXPECT_EQ(kept->getNbReference(), 1);
    EXPECT_FALSE(frameOnHeap->isChild(kept));
    EXPECT_FALSE(frameOnHeap->removeView(kept));
    kept->forget();

    // Dozens of views: the list grows.
    for (int i = 0; i < 45; ++i) {
        EXPECT_TRUE(frameOnHeap->addView(new LoggingView("v", CRect(0, 0, 1, 1), log)));
    }
    EXPECT_EQ(frameOnHeap->getNbViews(), 46);

    frameOnHeap.reset();
    EXPECT_EQ(background.get()->getNbReference(), 1);
    EXPECT_EQ(body.get()->getNbReference(), 1); // the knob is gone
}

TEST_F(Frame, AClosingEditorNoLongerHearsFromAControlThatStillHoldsTheMouse) {
    RecordingListener listener;
    const BitmapRef body(kKnobBodyBitmap);
    frame.addView(new CKnob(CRect(0, 0, 50, 50), &listener, 2, body.get(), nullptr));
    editor.knobMode = kLinearMode;
    // At the fourth idle step of the drag the host closes the editor, and the user lets go.
    std::size_t reportsAtClose = 0;
    editor.atIdleStep = [&](int step) {
        if (step == 4) {
            reportsAtClose = listener.reports.size();
            frame.detachEditor();
            editor.releaseMouse();
        }
    };
    press(frame, editor, drag({25, 25}, {25, -25}, 10));
    EXPECT_GE(reportsAtClose, 1u);
    EXPECT_EQ(listener.reports.size(), reportsAtClose);
    EXPECT_EQ(editor.edits, (Log{"begin 2"}));
    EXPECT_EQ(frame.getEditor(), nullptr);
}

} // namespace

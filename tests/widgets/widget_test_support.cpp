#include "tests/widgets/widget_test_support.h"

namespace widget_test {

std::vector<float> RecordingListener::values() const {
    std::vector<float> result;
    for (const Report& report : reports) {
        result.push_back(report.value);
    }
    return result;
}

ScriptedEditor::ScriptedEditor() {
    CDrawContext::setMouseFeed(&current);
}

ScriptedEditor::~ScriptedEditor() {
    CDrawContext::setMouseFeed(nullptr);
}

void ScriptedEditor::script(const std::vector<MouseState>& newStates) {
    states = newStates;
    next = 0;
    if (!states.empty()) {
        current = states[next++];
    }
}

void ScriptedEditor::doIdleStuff() {
    ++idleSteps;
    if (next < states.size()) {
        current = states[next++];
    }
    if (atIdleStep) {
        atIdleStep(idleSteps);
    }
}

void ScriptedEditor::releaseMouse() {
    current.buttons = 0;
    next = states.size();
}

void press(CFrame& frame, ScriptedEditor& editor, const std::vector<MouseState>& states) {
    // The window shows what changed before the user can click again.
    frame.redraw();
    editor.script(states);
    CDrawContext context(&frame, nullptr, frame.getSystemWindow());
    CPoint where = editor.mouse().location;
    frame.mouse(&context, where);
}

std::vector<MouseState> drag(CPoint from, CPoint to, int steps, long buttons) {
    std::vector<MouseState> states;
    for (int i = 0; i <= steps; ++i) {
        const CPoint at(from.h + (to.h - from.h) * i / steps, from.v + (to.v - from.v) * i / steps);
        states.push_back({buttons, at});
    }
    states.push_back({0, to});
    return states;
}

} // namespace widget_test

#include "editor/aeff_gui_editor.h"

#include "editor/editor_platform.h"
#include "editor/idle_pacing.h"

namespace kel::editor {

using namespace kel::shell;

namespace {

VSTGUI::KeyCode widgetKey(const VstKeyCode& key) {
    VSTGUI::KeyCode converted;
    converted.character = key.character;
    converted.virt = key.virt;
    converted.modifier = key.modifier;
    return converted;
}

} // namespace

AEffGUIEditor::AEffGUIEditor(AudioEffectX* owner)
    : AEffEditor(owner), vstLink(owner), effectLink(&vstLink), lastTicks(platform::tickCount()) {}

AEffGUIEditor::AEffGUIEditor(model::EffectLink& link)
    : AEffEditor(nullptr), vstLink(nullptr), effectLink(&link), lastTicks(platform::tickCount()) {}

AEffGUIEditor::~AEffGUIEditor() {
    destroyFrame();
}

bool AEffGUIEditor::open(void* parentWindow) {
    AEffEditor::open(parentWindow);
    return true;
}

void AEffGUIEditor::close() {
    destroyFrame();
}

void AEffGUIEditor::destroyFrame() {
    if (frame) {
        VSTGUI::CFrame* closing = frame;
        frame = nullptr;
        closing->detachEditor();
        closing->forget();
    }
}

void AEffGUIEditor::idle() {
    if (inIdle) {
        return;
    }
    AEffEditor::idle();
    if (frame) {
        frame->idle();
    }
}

VstInt32 AEffGUIEditor::onKeyDown(const VstKeyCode& key) {
    VSTGUI::KeyCode converted = widgetKey(key);
    return frame ? frame->onKeyDown(converted) : -1;
}

VstInt32 AEffGUIEditor::onKeyUp(const VstKeyCode& key) {
    VSTGUI::KeyCode converted = widgetKey(key);
    return frame ? frame->onKeyUp(converted) : -1;
}

bool AEffGUIEditor::onWheel(float distance) {
    return frame && frame->onWheel(distance);
}

void AEffGUIEditor::draw(ERect*) {
    if (frame) {
        frame->redraw();
    }
}

void AEffGUIEditor::doIdleStuff() {
    const IdleStepPlan plan = planIdleStep(platform::tickCount(), lastTicks);
    if (plan.sleepFirst) {
        platform::sleepMilliseconds(kIdleEarlyWait);
    }
    if (!plan.run) {
        return;
    }
    idle();
    platform::dispatchPendingPaint();
    lastTicks = plan.ticks + kIdlePassInterval;
    inIdle = true;
    effectLink->idleHost();
    inIdle = false;
}

void AEffGUIEditor::beginEdit(long tag) {
    effectLink->beginEdit(static_cast<int>(tag));
}

void AEffGUIEditor::endEdit(long tag) {
    effectLink->endEdit(static_cast<int>(tag));
}

long AEffGUIEditor::getKnobMode() const {
    return AEffEditor::knobMode();
}

} // namespace kel::editor

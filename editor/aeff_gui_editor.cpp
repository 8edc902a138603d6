#include "editor/aeff_gui_editor.h"

#include <windows.h>

#include <ole2.h>

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
    : AEffEditor(owner), vstLink(owner), effectLink(&vstLink), lastTicks(GetTickCount()) {
    // A host thread that chose another apartment model refuses (RPC_E_CHANGED_MODE); then
    // there is nothing to give back.
    oleInitialized = SUCCEEDED(OleInitialize(nullptr));
    oleThread = GetCurrentThreadId();
}

AEffGUIEditor::~AEffGUIEditor() {
    destroyFrame();
    if (oleInitialized && oleThread == GetCurrentThreadId()) {
        OleUninitialize();
    }
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
    const IdleStepPlan plan = planIdleStep(GetTickCount(), lastTicks);
    if (plan.sleepFirst) {
        Sleep(kIdleEarlyWait);
    }
    if (!plan.run) {
        return;
    }
    idle();
    MSG message;
    if (PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
        DispatchMessageA(&message);
    }
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

#include "shell/aeff_editor.h"

#include "shell/audio_effect.h"

namespace kel::shell {

namespace {
std::atomic<VstInt32> moduleKnobMode{0};
}

AEffEditor::AEffEditor(AudioEffect* owner) : effect(owner) {
    if (effect) {
        effect->setEditor(this);
    }
}

bool AEffEditor::getRect(ERect** out) {
    *out = &rect;
    return true;
}

bool AEffEditor::open(void* parentWindow) {
    systemWindow = parentWindow;
    postUpdate();
    return false;
}

void AEffEditor::idle() {
    if (updateFlag.exchange(false, std::memory_order_relaxed)) {
        update();
    }
}

bool AEffEditor::setKnobMode(VstInt32 mode) {
    moduleKnobMode.store(mode, std::memory_order_relaxed);
    return true;
}

VstInt32 AEffEditor::knobMode() {
    return moduleKnobMode.load(std::memory_order_relaxed);
}

} // namespace kel::shell

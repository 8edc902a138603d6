// Base of the plug-in's editor object as the host sees it through the dispatcher.
#pragma once

#include <atomic>

#include "shell/vst_interface.h"

namespace kel::shell {

class AudioEffect;

class AEffEditor {
public:
    // Registers the new editor with the effect, which owns it from then on.
    explicit AEffEditor(AudioEffect* effect);
    virtual ~AEffEditor() = default;

    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    // Hands out the editor's size; true when *rect points at a valid rectangle.
    virtual bool getRect(ERect** rect);
    // Opens the editor inside the host's window; false when it cannot.
    virtual bool open(void* parentWindow);
    virtual void close() {}
    virtual void idle();
    virtual void update() {}
    // Asks for a redraw at the next idle. Any thread.
    virtual void postUpdate() { updateFlag.store(true, std::memory_order_relaxed); }
    // Keys answer 1 when handled, -1 when not (no window open).
    virtual VstInt32 onKeyDown(const VstKeyCode&) { return -1; }
    virtual VstInt32 onKeyUp(const VstKeyCode&) { return -1; }
    // The knob mode is one setting for the whole module: 2 linear, anything else circular.
    virtual bool setKnobMode(VstInt32 mode);
    virtual bool onWheel(float) { return false; }
    // Told of every parameter change of the effect, the program marker included.
    virtual void setParameter(VstInt32, float) {}

    static VstInt32 knobMode();
    AudioEffect* getEffect() const { return effect; }

protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
    std::atomic<bool> updateFlag{false};
    ERect rect{};
};

} // namespace kel::shell

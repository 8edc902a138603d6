// The base of a plug-in editor drawn with the widget set: it owns the frame while the window is
// open, forwards keys, the wheel and redraws to it, and keeps the host alive while a control
// holds the mouse (doIdleStuff). User-interface thread, except postUpdate.
#pragma once

#include <cstdint>

#include "editor/editor_platform.h"
#include "model/effect_link.h"
#include "shell/aeff_editor.h"
#include "shell/audio_effect_x.h"
#include "shell/vst_effect_link.h"
#include "widgets/frame.h"

namespace kel::editor {

class AEffGUIEditor : public shell::AEffEditor, public VSTGUI::FrameEditor {
public:
    // Registers with the effect (which owns the editor from then on), reaches it through the
    // effect object itself, and sets up the calling thread for the editor's windows (OLE).
    explicit AEffGUIEditor(shell::AudioEffectX* owner);
    // An editor of its own, without an effect object to register with (an LV2 UI), reaching the
    // effect through `link`, which must outlive it.
    explicit AEffGUIEditor(model::EffectLink& link);
    // Destroys a frame that is still open, then undoes the thread's set-up.
    ~AEffGUIEditor() override;

    // Remembers the host's window and asks for an update; the derived editor builds the frame.
    bool open(void* parentWindow) override;
    // Destroys the frame.
    void close() override;
    // Runs update() when one was asked for, then lets the frame redraw what changed; nothing
    // while the host's idle runs from doIdleStuff.
    void idle() override;
    // Keys answer -1 and the wheel false while there is no frame.
    VstInt32 onKeyDown(const VstKeyCode& key) override;
    VstInt32 onKeyUp(const VstKeyCode& key) override;
    bool onWheel(float distance) override;
    // Redraws the whole frame at once.
    virtual void draw(ERect* rect);

    // What the frame calls.
    void doIdleStuff() override;
    void beginEdit(long tag) override;
    void endEdit(long tag) override;
    long getKnobMode() const override;

    VSTGUI::CFrame* getFrame() const { return frame; }
    // What the editor reads and sets of its effect.
    model::EffectLink& link() { return *effectLink; }

protected:
    // Forgets the frame with its views; the editor hears nothing more from its controls.
    void destroyFrame();

    VSTGUI::CFrame* frame = nullptr;

private:
    // Set up first and undone last, around everything the editor shows.
    platform::ThreadSetUp threadSetUp;
    shell::VstEffectLink vstLink;
    model::EffectLink* effectLink;
    std::uint32_t lastTicks; // ms tick of the next full doIdleStuff pass
    bool inIdle = false;
};

} // namespace kel::editor

// What a frame needs from the editor that owns it. The editor lives above the widget set, so the
// widget set knows it only through this interface.
#pragma once

namespace VSTGUI {

// Knob modes (CFrame::getKnobMode); any value other than kLinearMode means circular.
inline constexpr long kCircularMode = 0;
inline constexpr long kLinearMode = 2;

class FrameEditor {
public:
    // Keeps the editor and the host alive while a control holds the mouse; paced by the editor.
    virtual void doIdleStuff() = 0;
    // A control with this tag starts or ends a mouse edit.
    virtual void beginEdit(long tag) = 0;
    virtual void endEdit(long tag) = 0;
    virtual long getKnobMode() const = 0;

protected:
    virtual ~FrameEditor() = default;
};

} // namespace VSTGUI

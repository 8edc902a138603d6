// The keys our own menus and dialogs on Linux take (X keysyms), and what a key does to an edit
// field there, as desktop fields take them: the arrows (with Control a word, with Shift
// selecting), Home and End, Backspace and Delete, Control+A, paste with Control+V or
// Shift+Insert, and typing.
#pragma once

#include <cstdint>

#include "ui/text_field.h"

namespace VSTGUI::xcb {
struct ModalEvent;
class ModalSession;
} // namespace VSTGUI::xcb

namespace kel::ui::keys {

inline constexpr std::uint32_t kEscape = 0xff1b, kReturn = 0xff0d, kEnterOnKeypad = 0xff8d,
                               kTab = 0xff09, kBackTab = 0xfe20, kBackSpace = 0xff08,
                               kDelete = 0xffff, kDeleteOnKeypad = 0xff9f, kInsert = 0xff63,
                               kLeft = 0xff51, kUp = 0xff52, kRight = 0xff53, kDown = 0xff54,
                               kLeftOnKeypad = 0xff96, kUpOnKeypad = 0xff97,
                               kRightOnKeypad = 0xff98, kDownOnKeypad = 0xff99, kHome = 0xff50,
                               kEnd = 0xff57, kPageUp = 0xff55, kPageDown = 0xff56, kSpace = 0x20,
                               kF4 = 0xffc1;

} // namespace kel::ui::keys

namespace kel::ui {

enum class FieldKey {
    NotForTheField, // the dialog's own key (Enter, Escape, Tab, Up, Down, ...)
    Changed,        // the text, caret or selection may have changed: redraw
    Refused,        // typed or pasted what the field cannot hold: beep (and redraw)
};

// An edit field's caret: shown and hidden by turns, shown again at once after an edit.
class CaretBlink {
public:
    static constexpr long kHalfPeriod = 530; // ms
    bool shown() const { return visible; }
    // After an edit or a click: shown now, for a whole half period.
    void restart();
    // From the dialog's tick: true when the caret changed and the field wants a repaint.
    bool advance();

private:
    bool visible = true;
    long since = 0; // ms on the steady clock
};

// Milliseconds on the steady clock.
long steadyMilliseconds();

// Applies the key to the field; a paste reads the clipboard through the session for `window`.
FieldKey applyFieldKey(TextField& field, const VSTGUI::xcb::ModalEvent& event,
                       VSTGUI::xcb::ModalSession& session, int window);

} // namespace kel::ui

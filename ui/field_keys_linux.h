// The keys our own menus and dialogs on Linux take (X keysyms), and the one-line edit fields of
// those dialogs: what a key does to a field, as desktop fields take them (the arrows, with
// Control a word, with Shift selecting; Home and End, Backspace and Delete, Control+A, paste with
// Control+V or Shift+Insert, and typing), its blinking caret and the part of its text it shows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ui/dialog_drawing_linux.h"
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

// The part of a one-line field's text in view, from its first shown character, measured in the
// dialog's font. Offsets and widths in pixels from the left edge of the field's text.
class FieldView {
public:
    struct Colours {
        CColor text, selectionBackground, selectionText;
    };

    explicit FieldView(const DialogFont& fieldFont) : font(fieldFont) {}

    // The character boundary nearest to `offset`.
    std::size_t characterAt(const TextField& field, int offset) const;
    // After an edit: scrolled, as little as needed, so that the caret is within `visibleWidth`.
    void follow(const TextField& field, int visibleWidth);
    // For a new text: from its first character.
    void restart() { firstShown = 0; }
    // The text in `area`, its line's top at `top`; when `focused`, the selection, or without one
    // the caret if `caretShown`.
    void draw(Framebuffer& pixels, const TextField& field, const VSTGUI::CRect& area, int top,
              const Colours& colours, bool focused, bool caretShown) const;

private:
    int widthOf(const TextField& field, std::size_t from, std::size_t to) const;

    const DialogFont& font;
    std::size_t firstShown = 0;
};

// Milliseconds on the steady clock.
long steadyMilliseconds();

// Applies the key to the field; a paste reads the clipboard through the session for `window`.
// Typing or pasting what the field cannot hold (past its limit, outside the code page) beeps.
// True when the key was the field's: its text, caret or selection may have changed, so redraw;
// false for the dialog's own keys (Enter, Escape, Tab, Up, Down, ...).
bool applyFieldKey(TextField& field, const VSTGUI::xcb::ModalEvent& event,
                   VSTGUI::xcb::ModalSession& session, int window);

} // namespace kel::ui

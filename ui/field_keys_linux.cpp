#include "ui/field_keys_linux.h"

#include <chrono>

#include "widgets/modal_window_xcb.h"

namespace kel::ui {

using namespace keys;
namespace xcb = VSTGUI::xcb;

long steadyMilliseconds() {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count());
}

void CaretBlink::restart() {
    visible = true;
    since = steadyMilliseconds();
}

bool CaretBlink::advance() {
    const long now = steadyMilliseconds();
    if (now - since < kHalfPeriod) {
        return false;
    }
    since = now;
    visible = !visible;
    return true;
}

FieldKey applyFieldKey(TextField& field, const xcb::ModalEvent& event, xcb::ModalSession& session,
                       int window) {
    const bool shift = (event.modifiers & xcb::kModalShift) != 0;
    const bool control = (event.modifiers & xcb::kModalControl) != 0;
    using Move = TextField::Move;
    const auto paste = [&] {
        return field.paste(session.clipboardText(window)) ? FieldKey::Changed : FieldKey::Refused;
    };
    switch (event.keysym) {
    case kLeft:
    case kRight:
        field.move(control ? (event.keysym == kLeft ? Move::WordLeft : Move::WordRight)
                           : (event.keysym == kLeft ? Move::Left : Move::Right),
                   shift);
        return FieldKey::Changed;
    case kHome:
    case kEnd:
        field.move(event.keysym == kHome ? Move::Home : Move::End, shift);
        return FieldKey::Changed;
    case kBackSpace:
        field.backspace();
        return FieldKey::Changed;
    case kDelete:
    case kDeleteOnKeypad:
        field.deleteForward();
        return FieldKey::Changed;
    case kInsert:
        return shift ? paste() : FieldKey::NotForTheField;
    default:
        break;
    }
    if (control && (event.keysym == 'v' || event.keysym == 'V')) {
        return paste();
    }
    if (control && (event.keysym == 'a' || event.keysym == 'A')) {
        field.selectAll();
        return FieldKey::Changed;
    }
    if (!control && (event.modifiers & xcb::kModalAlt) == 0 && event.text.size() == 1) {
        return field.type(event.text[0]) ? FieldKey::Changed : FieldKey::Refused;
    }
    return FieldKey::NotForTheField;
}

} // namespace kel::ui

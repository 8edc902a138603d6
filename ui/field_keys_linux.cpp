#include "ui/field_keys_linux.h"

#include <algorithm>
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

int FieldView::widthOf(const TextField& field, std::size_t from, std::size_t to) const {
    return font.width(field.text().substr(from, to - from));
}

std::size_t FieldView::characterAt(const TextField& field, int offset) const {
    for (std::size_t at = firstShown + 1; at <= field.text().size(); ++at) {
        const int here = widthOf(field, firstShown, at);
        if (here > offset) {
            const int before = widthOf(field, firstShown, at - 1);
            return offset - before < here - offset ? at - 1 : at;
        }
    }
    return field.text().size();
}

void FieldView::follow(const TextField& field, int visibleWidth) {
    firstShown = scrollForCaret(firstShown, field.caret(), visibleWidth,
                                [&](std::size_t a, std::size_t b) { return widthOf(field, a, b); });
}

void FieldView::draw(Framebuffer& pixels, const TextField& field, const VSTGUI::CRect& area,
                     int top, const Colours& colours, bool focused, bool caretShown) const {
    const int bottom = top + font.lineHeight();
    const bool selection = focused && field.hasSelection();
    const std::size_t from = std::max(field.selectionStart(), firstShown);
    const std::size_t to = std::max(from, field.selectionEnd());
    const int x0 = area.left + widthOf(field, firstShown, from);
    const int x1 = std::min<int>(area.right, area.left + widthOf(field, firstShown, to));
    if (selection) {
        fillRect(pixels, VSTGUI::CRect(x0, top, x1, bottom), colours.selectionBackground);
    }
    font.draw(pixels, field.text().substr(firstShown), VSTGUI::CPoint(area.left, top), area,
              colours.text);
    if (selection && !(colours.selectionText == colours.text)) {
        // The selected characters again, in their own colour on the selection.
        font.draw(pixels, field.text().substr(from, to - from), VSTGUI::CPoint(x0, top),
                  VSTGUI::CRect(x0, area.top, x1, area.bottom), colours.selectionText);
    }
    if (focused && !field.hasSelection() && caretShown) {
        const int x = area.left + widthOf(field, firstShown, field.caret());
        if (x < area.right) {
            fillRect(pixels, VSTGUI::CRect(x, top, x + 1, bottom), colours.text);
        }
    }
}

namespace {

enum class FieldKey { NotForTheField, Changed, Refused };

FieldKey editField(TextField& field, const xcb::ModalEvent& event, xcb::ModalSession& session,
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

} // namespace

bool applyFieldKey(TextField& field, const xcb::ModalEvent& event, xcb::ModalSession& session,
                   int window) {
    const FieldKey edited = editField(field, event, session, window);
    if (edited == FieldKey::Refused) {
        session.beep();
    }
    return edited != FieldKey::NotForTheField;
}

} // namespace kel::ui

#include "ui/message_box_linux.h"
#include "ui/field_keys_linux.h"

#include <vector>

#include "ui/menu_model.h"
#include "ui/message_box_layout.h"
#include "widgets/modal_window_xcb.h"
#include "widgets/windows1252.h"

namespace kel::ui {

using VSTGUI::CPoint;
using VSTGUI::CRect;
namespace xcb = VSTGUI::xcb;
using namespace keys;

namespace {

struct Choice {
    const char* caption;
    MessageButton answer;
};

std::vector<Choice> choicesOf(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return {{"OK", MessageButton::Ok}};
    case MessageButtons::YesNo:
        return {{"&Yes", MessageButton::Yes}, {"&No", MessageButton::No}};
    case MessageButtons::YesNoCancel:
        return {{"&Yes", MessageButton::Yes},
                {"&No", MessageButton::No},
                {"Cancel", MessageButton::Cancel}};
    }
    return {{"OK", MessageButton::Ok}};
}

// The answer of Escape and of the window manager's close, and of a box that is not shown: a box
// with Cancel cancels, one with OK only is acknowledged, a Yes/No question is answered No.
MessageButton wayOut(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return MessageButton::Ok;
    case MessageButtons::YesNo:
        return MessageButton::No;
    case MessageButtons::YesNoCancel:
        return MessageButton::Cancel;
    }
    return MessageButton::Cancel;
}

class MessageBox : public xcb::ModalHandler {
public:
    MessageBox(const MessageBoxLayout& boxLayout, std::vector<Choice> boxChoices, MessageIcon icon,
               MessageButtons kind, const DialogFont& textFont)
        : layout(boxLayout), choices(std::move(boxChoices)), sign(icon), buttons(kind),
          font(textFont), answer(wayOut(kind)) {}

    MessageButton answered() const { return answer; }

    void paint(xcb::ModalSession&, int, Framebuffer& pixels) override {
        fillRect(pixels, pixels.bounds(), kDialogFace);
        if (sign != MessageIcon::None) {
            drawMessageIcon(pixels, layout.icon.topLeft(), sign);
        }
        CPoint at = layout.text;
        for (const std::string& line : layout.lines) {
            font.draw(pixels, line, at, pixels.bounds(), kDialogText);
            at.v += font.lineHeight();
        }
        for (std::size_t i = 0; i < choices.size(); ++i) {
            const bool isFocused = static_cast<int>(i) == focused;
            drawPushButton(pixels, layout.buttons[i], choices[i].caption, font,
                           static_cast<int>(i) == pressed && pointerOnPressed, isFocused,
                           isFocused);
        }
    }

    void handle(xcb::ModalSession& session, const xcb::ModalEvent& event) override {
        using Type = xcb::ModalEvent::Type;
        switch (event.type) {
        case Type::ButtonPress:
            if (event.button == 1 && event.window == 0) {
                pressed = buttonAt(event.where);
                pointerOnPressed = pressed >= 0;
                if (pressed >= 0) {
                    focused = pressed;
                }
                session.repaint(0);
            }
            break;
        case Type::Motion:
            if (pressed >= 0) {
                const bool on = event.window == 0 && buttonAt(event.where) == pressed;
                if (on != pointerOnPressed) {
                    pointerOnPressed = on;
                    session.repaint(0);
                }
            }
            break;
        case Type::ButtonRelease:
            if (event.button == 1 && pressed >= 0) {
                const int released = event.window == 0 ? buttonAt(event.where) : -1;
                const int was = pressed;
                pressed = -1;
                session.repaint(0);
                if (released == was) {
                    choose(session, was);
                }
            }
            break;
        case Type::KeyPress:
            key(session, event);
            break;
        case Type::CloseRequest:
            if (buttons != MessageButtons::YesNo) {
                answer = wayOut(buttons);
                session.end();
            }
            break;
        }
    }

private:
    int buttonAt(const CPoint& where) const {
        for (std::size_t i = 0; i < layout.buttons.size(); ++i) {
            if (layout.buttons[i].holdsPixel(where)) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    void choose(xcb::ModalSession& session, int index) {
        answer = choices[static_cast<std::size_t>(index)].answer;
        session.end();
    }

    void moveFocus(xcb::ModalSession& session, int step) {
        const int count = static_cast<int>(choices.size());
        focused = ((focused + step) % count + count) % count;
        session.repaint(0);
    }

    void key(xcb::ModalSession& session, const xcb::ModalEvent& event) {
        switch (event.keysym) {
        case kReturn:
        case kEnterOnKeypad:
        case kSpace:
            choose(session, focused);
            return;
        case kEscape:
            // A Yes/No question has no way out but its answers, as on Windows.
            if (buttons != MessageButtons::YesNo) {
                answer = wayOut(buttons);
                session.end();
            }
            return;
        case kTab:
            moveFocus(session, (event.modifiers & xcb::kModalShift) ? -1 : 1);
            return;
        case kBackTab:
        case kLeft:
            moveFocus(session, -1);
            return;
        case kRight:
            moveFocus(session, 1);
            return;
        default:
            break;
        }
        if (event.text.size() != 1) {
            return;
        }
        Menu captions;
        for (const Choice& choice : choices) {
            MenuItem item;
            item.caption = choice.caption;
            captions.items.push_back(item);
        }
        const MnemonicMatch match = findMnemonic(captions, event.text[0], -1);
        if (match.item >= 0) {
            choose(session, match.item);
        }
    }

    const MessageBoxLayout& layout;
    const std::vector<Choice> choices;
    const MessageIcon sign;
    const MessageButtons buttons;
    const DialogFont& font;
    MessageButton answer;
    int focused = 0; // the first button is the default, as on Windows
    int pressed = -1;
    bool pointerOnPressed = false;
};

} // namespace

MessageButton showMessageBox(void* owner, const std::string& text, const std::string& caption,
                             MessageButtons buttons, MessageIcon icon) {
    xcb::ModalSession session(owner);
    const DialogFont font;
    if (!session.isOpen() || !font.isOpen()) {
        return wayOut(buttons);
    }
    const std::vector<Choice> choices = choicesOf(buttons);
    const MessageBoxLayout layout = layoutMessageBox(
        text, icon != MessageIcon::None, static_cast<int>(choices.size()), font.lineHeight(),
        [&font](const std::string& piece) { return font.width(piece); });
    // Centred on the editor, and on the screen whole.
    const CRect frame = session.frameOnScreen();
    const CRect screen = session.screen();
    int left = frame.left + (frame.width() - layout.width) / 2;
    int top = frame.top + (frame.height() - layout.height) / 2;
    left = std::max(screen.left, std::min(left, screen.right - layout.width));
    top = std::max(screen.top, std::min(top, screen.bottom - layout.height));
    // The caption is the window's title, which the window manager shows: UTF-8 for it.
    std::u32string title;
    for (const char c : caption) {
        title.push_back(VSTGUI::windows1252ToUnicode(static_cast<unsigned char>(c)));
    }
    const int window = session.openWindow(xcb::ModalWindowKind::Dialog,
                                          CRect::fromSize({left, top}, layout.width, layout.height),
                                          VSTGUI::encodeUtf8(title));
    if (window < 0) {
        return wayOut(buttons);
    }
    MessageBox box(layout, choices, icon, buttons, font);
    session.show(window, true);
    session.run(box);
    return session.interrupted() ? wayOut(buttons) : box.answered();
}

} // namespace kel::ui

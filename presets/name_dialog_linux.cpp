// The name dialog on Linux: the drop-down name field over the editor's status display, drawn by
// our own code in a window inside the editor's, with the list of the plug-in's user presets
// below it. Enter stores the settings under the name, Escape cancels.
#include "presets/name_dialog_linux.h"

#include <algorithm>
#include <chrono>

#include "presets/kel_preset_bank.h"
#include "presets/name_dialog_layout.h"
#include "ui/dialog_drawing_linux.h"
#include "ui/field_keys_linux.h"
#include "ui/message_box_linux.h"
#include "ui/settings.h"
#include "ui/text_field.h"
#include "widgets/modal_window_xcb.h"
#include "widgets/windows1252.h"

namespace kel::presets {

using namespace kel::ui;
using namespace kel::ui::keys;
using namespace name_dialog;
using VSTGUI::CPoint;
using VSTGUI::CRect;
namespace xcb = VSTGUI::xcb;

namespace {

constexpr CColor kGrey{kFieldGrey[0], kFieldGrey[1], kFieldGrey[2], 0};
constexpr CColor kWhite{255, 255, 255, 0};
constexpr int kDropButtonWidth = 17; // the arrow button at the field's right
constexpr int kTextInset = 3;        // the text from the field's left edge

bool heldByCodePage(char32_t c) {
    return VSTGUI::unicodeToWindows1252(c) >= 0;
}

std::string bytesOf(const std::u32string& text) {
    std::string bytes;
    for (const char32_t c : text) {
        bytes.push_back(static_cast<char>(VSTGUI::unicodeToWindows1252(c)));
    }
    return bytes;
}

std::u32string charactersOf(const std::string& bytes) {
    std::u32string text;
    for (const char b : bytes) {
        text.push_back(VSTGUI::windows1252ToUnicode(static_cast<unsigned char>(b)));
    }
    return text;
}

class NameField : public xcb::ModalHandler {
public:
    NameField(KelPresetBank& presetBank, void* frameWindow, const DialogFont& fieldFont,
              std::vector<std::string> presetNames)
        : bank(presetBank), owner(frameWindow), font(fieldFont), names(std::move(presetNames)),
          field(heldByCodePage, model::kMaxPresetNameLength) {}

    int result() const { return answer; }

    void start(xcb::ModalSession& session, const std::string& slotName) {
        field.setText(charactersOf(slotName));
        dialog = session.openWindow(
            xcb::ModalWindowKind::Inside,
            CRect::fromSize({kLeftInOwner, kTopInOwner}, kFieldWidth, kDialogHeight));
        if (dialog >= 0) {
            session.show(dialog, true);
        }
    }
    bool opened() const { return dialog >= 0; }

    void paint(xcb::ModalSession&, int window, Framebuffer& pixels) override {
        if (window == dialog) {
            drawField(pixels);
        } else if (window == list) {
            drawList(pixels);
        }
    }

    void tick(xcb::ModalSession& session) override {
        if (caret.advance()) {
            session.repaint(dialog);
        }
    }

    void handle(xcb::ModalSession& session, const xcb::ModalEvent& event) override {
        using Type = xcb::ModalEvent::Type;
        switch (event.type) {
        case Type::KeyPress:
            key(session, event);
            break;
        case Type::ButtonPress:
            press(session, event);
            break;
        case Type::Motion:
            if (dragging && event.window == dialog) {
                field.placeCaret(characterAt(event.where.h), true);
                changed(session);
            }
            break;
        case Type::ButtonRelease:
            dragging = false;
            break;
        case Type::CloseRequest:
            break;
        }
    }

private:
    CRect textArea() const {
        return CRect(kTextInset, 2, kFieldWidth - 2 - kDropButtonWidth, kDialogHeight - 2);
    }

    // The character boundary nearest to x (the field's coordinates).
    std::size_t characterAt(int x) const {
        return fieldView.characterAt(field, x - textArea().left);
    }

    void changed(xcb::ModalSession& session) {
        fieldView.follow(field, textArea().width() - 1);
        caret.restart();
        session.repaint(dialog);
    }

    void drawField(Framebuffer& pixels) const {
        const CRect all = pixels.bounds();
        fillRect(pixels, all, kGrey);
        drawSunkenFrame(pixels, all);
        // The arrow button that drops the list down.
        const CRect button(all.right - 2 - kDropButtonWidth, 2, all.right - 2, all.bottom - 2);
        drawPushButton(pixels, button, "", font, listOpen, false, false);
        const int middle = button.left + button.width() / 2;
        for (int row = 0; row < 4; ++row) {
            fillRect(pixels,
                     CRect(middle - 3 + row, 8 + row + (listOpen ? 1 : 0), middle + 4 - row,
                           9 + row + (listOpen ? 1 : 0)),
                     kDialogText);
        }
        const CRect area = textArea();
        fieldView.draw(pixels, field, area, area.top + (area.height() - font.lineHeight()) / 2,
                       {kWhite, kSelectionBackground, kWhite}, true, caret.shown());
    }

    int listRows() const { return std::max(1, (kDroppedHeight - kDialogHeight - 2) / kItemHeight); }

    void drawList(Framebuffer& pixels) const {
        const CRect all = pixels.bounds();
        fillRect(pixels, all, kGrey);
        drawEdges(pixels, all, kDialogText, kDialogText);
        for (int row = 0; row < listRows(); ++row) {
            const int index = listTop + row;
            if (index >= static_cast<int>(names.size())) {
                break;
            }
            const CRect line(1, 1 + row * kItemHeight, all.right - 1, 1 + (row + 1) * kItemHeight);
            if (index == listSelected) {
                fillRect(pixels, line, kSelectionBackground);
            }
            font.draw(pixels, names[static_cast<std::size_t>(index)],
                      CPoint(line.left + 2, line.top + (kItemHeight - font.lineHeight()) / 2), line,
                      kWhite);
        }
    }

    void openList(xcb::ModalSession& session) {
        if (listOpen || names.empty()) {
            return;
        }
        const int height = std::min(kDroppedHeight - kDialogHeight,
                                    2 + kItemHeight * static_cast<int>(names.size()));
        list = session.openWindow(
            xcb::ModalWindowKind::Inside,
            CRect::fromSize({kLeftInOwner, kTopInOwner + kDialogHeight}, kFieldWidth, height));
        if (list < 0) {
            return;
        }
        listOpen = true;
        listSelected = indexOfText();
        listTop = std::max(0, std::min(listSelected, static_cast<int>(names.size()) - listRows()));
        session.show(list);
        session.repaint(dialog);
    }

    void closeList(xcb::ModalSession& session) {
        if (!listOpen) {
            return;
        }
        session.closeWindow(list);
        list = -1;
        listOpen = false;
        // A click into the list gave it the keys; they come back to the field.
        session.focus(dialog);
        session.repaint(dialog);
    }

    int indexOfText() const {
        const std::string text = bytesOf(field.text());
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (names[i] == text) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    // Up and Down step through the list, putting each name into the field.
    void step(xcb::ModalSession& session, int by) {
        if (names.empty()) {
            return;
        }
        const int count = static_cast<int>(names.size());
        int at = indexOfText();
        at = at < 0 ? (by > 0 ? 0 : count - 1) : std::max(0, std::min(count - 1, at + by));
        choose(session, at, false);
    }

    void choose(xcb::ModalSession& session, int index, bool close) {
        field.setText(charactersOf(names[static_cast<std::size_t>(index)]));
        listSelected = index;
        if (listTop > index) {
            listTop = index;
        } else if (index >= listTop + listRows()) {
            listTop = index - listRows() + 1;
        }
        if (close) {
            closeList(session);
        } else if (listOpen) {
            session.repaint(list);
        }
        changed(session);
    }

    void confirm(xcb::ModalSession& session) {
        if (field.text().size() > model::kMaxPresetNameLength) {
            showMessageBox(owner, kTooLong, kPresetMessageCaption, MessageButtons::Ok,
                           MessageIcon::Warning);
            session.focus(dialog);
            if (session.interrupted()) {
                session.end();
            }
            return;
        }
        answer = bank.storeNewPreset(bank.nameDialogSlot(), bytesOf(field.text()).c_str()) ? 1 : 0;
        session.end();
    }

    void key(xcb::ModalSession& session, const xcb::ModalEvent& event) {
        const bool alt = (event.modifiers & xcb::kModalAlt) != 0;
        switch (event.keysym) {
        case kReturn:
        case kEnterOnKeypad:
            if (listOpen) {
                closeList(session);
            } else {
                confirm(session);
            }
            return;
        case kEscape:
            if (listOpen) {
                closeList(session);
            } else {
                answer = -1;
                session.end();
            }
            return;
        case kF4:
            listOpen ? closeList(session) : openList(session);
            return;
        case kUp:
        case kDown:
            if (alt) {
                listOpen ? closeList(session) : openList(session);
            } else {
                step(session, event.keysym == kDown ? 1 : -1);
            }
            return;
        default:
            break;
        }
        if (applyFieldKey(field, event, session, dialog)) {
            changed(session);
        }
    }

    void press(xcb::ModalSession& session, const xcb::ModalEvent& event) {
        if (event.window == list && listOpen) {
            if (event.button == 4 || event.button == 5) {
                const int last = std::max(0, static_cast<int>(names.size()) - listRows());
                listTop = std::max(0, std::min(last, listTop + (event.button == 5 ? 1 : -1)));
                session.repaint(list);
                return;
            }
            const int index = listTop + (event.where.v - 1) / kItemHeight;
            if (event.button == 1 && index >= 0 && index < static_cast<int>(names.size())) {
                choose(session, index, true);
            }
            return;
        }
        if (event.window != dialog || event.button != 1) {
            closeList(session);
            return;
        }
        if (event.where.h >= kFieldWidth - 2 - kDropButtonWidth) {
            listOpen ? closeList(session) : openList(session);
            return;
        }
        closeList(session);
        field.placeCaret(characterAt(event.where.h), (event.modifiers & xcb::kModalShift) != 0);
        dragging = true;
        changed(session);
    }

    KelPresetBank& bank;
    void* owner;
    const DialogFont& font;
    const std::vector<std::string> names;
    TextField field;
    int dialog = -1;
    int list = -1;
    bool listOpen = false;
    int listSelected = -1;
    int listTop = 0;
    FieldView fieldView{font};
    bool dragging = false;
    CaretBlink caret;
    int answer = -1;
};

} // namespace

int runNameDialog(void* owner, KelPresetBank& bank) {
    xcb::ModalSession session(owner);
    if (!session.isOpen()) {
        return -1;
    }
    char face[kFontNameSize];
    readSetting(kFontNameSetting, face, sizeof(face), kDefaultFontName);
    DialogFont font(face, kFontHeight);
    if (!font.isOpen()) {
        return -1;
    }
    std::vector<std::string> names;
    for (int k = 0; k < bank.userPresetCount(); ++k) {
        char name[kPresetNameBufferSize];
        if (bank.getPresetName(KelPresetBank::kFirstUserPreset + k, name)) {
            names.emplace_back(name);
        }
    }
    char current[kPresetNameBufferSize] = {};
    bank.getSlotName(bank.nameDialogSlot(), current);
    NameField dialog(bank, owner, font, std::move(names));
    dialog.start(session, current);
    if (!dialog.opened()) {
        return -1;
    }
    session.run(dialog);
    return session.interrupted() ? -1 : dialog.result();
}

} // namespace kel::presets

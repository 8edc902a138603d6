// Our own archive file chooser: a dialog window of 480 by 360 pixels centred on the editor, with
// the folder, its entries with a scroll bar, the "File name:" field, the type line and the two
// buttons, worked with the mouse and the keyboard as the Windows common dialog is. The model
// (ui/file_chooser_model.h) decides what every choice does; this draws it and feeds it.
#include "ui/file_chooser_linux.h"

#include <algorithm>
#include <chrono>

#include "ui/field_keys_linux.h"
#include "ui/message_box_linux.h"
#include "ui/text_field.h"
#include "widgets/modal_window_xcb.h"
#include "widgets/windows1252.h"

namespace kel::ui {

using VSTGUI::CPoint;
using VSTGUI::CRect;
namespace xcb = VSTGUI::xcb;
using namespace keys;

namespace {

constexpr int kWidth = 480, kHeight = 360;
constexpr CRect kFolderBox{70, 8, 472, 30};
constexpr CRect kListBox{8, 38, 472, 268}; // with its sunken frame
constexpr CRect kListInside{10, 40, 470, 266};
constexpr int kScrollWidth = 16;
constexpr CRect kScrollBar{kListInside.right - kScrollWidth, kListInside.top, kListInside.right,
                           kListInside.bottom};
constexpr int kRowHeight = 16;
constexpr CRect kNameField{90, 278, 376, 300};
constexpr CRect kAcceptButton{388, 277, 472, 300};
constexpr CRect kTypeBox{90, 310, 376, 332};
constexpr CRect kCancelButton{388, 309, 472, 332};
constexpr int kLabelLeft = 8;
constexpr int kTextInset = 3;
constexpr long kDoubleClick = 500; // ms between the presses of a double click
constexpr int kWheelRows = 3;
constexpr CColor kTrack{225, 225, 225, 0};
constexpr CColor kFolderYellow{230, 190, 80, 0};
constexpr CColor kFolderEdge{160, 120, 30, 0};

bool anyPrintable(char32_t c) {
    return c >= 0x20 && c != 0x7f;
}

// Message boxes speak Windows-1252; a character it cannot hold shows as "?".
std::string windows1252Of(const std::string& utf8) {
    std::string out;
    for (const char32_t c : VSTGUI::decodeUtf8(utf8)) {
        const int byte = c == U'\n' ? '\n' : VSTGUI::unicodeToWindows1252(c);
        out.push_back(static_cast<char>(byte < 0 ? '?' : byte));
    }
    return out;
}

enum class Focus { List, Field, Accept, Cancel };

class ChooserWindow : public xcb::ModalHandler {
public:
    ChooserWindow(void* editorWindow, const FileChooserRequest& chooserRequest,
                  const DialogFont& dialogFont, const std::string& home)
        : owner(editorWindow), request(chooserRequest), font(dialogFont),
          model(request.mode, systemFolders(), request.folder, home), field(anyPrintable) {
        field.setText(VSTGUI::decodeUtf8(request.name));
    }

    bool start(xcb::ModalSession& session) {
        const CRect frame = session.frameOnScreen();
        const CRect screen = session.screen();
        int left = frame.left + (frame.width() - kWidth) / 2;
        int windowTop = frame.top + (frame.height() - kHeight) / 2;
        left = std::max(screen.left, std::min(left, screen.right - kWidth));
        windowTop = std::max(screen.top, std::min(windowTop, screen.bottom - kHeight));
        window =
            session.openWindow(xcb::ModalWindowKind::Dialog,
                               CRect::fromSize({left, windowTop}, kWidth, kHeight), request.title);
        if (window < 0) {
            return false;
        }
        session.show(window, true);
        return true;
    }

    bool answered() const { return !answer.empty(); }
    const std::string& chosen() const { return answer; }

    void paint(xcb::ModalSession&, int, Framebuffer& pixels) override {
        fillRect(pixels, pixels.bounds(), kDialogFace);
        drawFolderLine(pixels);
        drawList(pixels);
        drawLabel(pixels, "File &name:", kNameField);
        drawField(pixels);
        drawLabel(pixels, "Files of &type:", kTypeBox);
        drawSunkenFrame(pixels, kTypeBox);
        fillRect(pixels, inset(kTypeBox, 2), kDialogFace);
        const std::string type =
            std::string(kArchiveFilterName) + " (" + std::string(kArchivePattern) + ")";
        font.draw(pixels, type, CPoint(kTypeBox.left + 2 + kTextInset, textTop(kTypeBox)),
                  inset(kTypeBox, 2), kDialogText);
        drawPushButton(pixels, kAcceptButton, request.mode == ChooserMode::Save ? "&Save" : "&Open",
                       font, pressed == Focus::Accept && pointerOnPressed, focus != Focus::Cancel,
                       focus == Focus::Accept);
        drawPushButton(pixels, kCancelButton, "Cancel", font,
                       pressed == Focus::Cancel && pointerOnPressed, focus == Focus::Cancel,
                       focus == Focus::Cancel);
    }

    void tick(xcb::ModalSession& session) override {
        if (focus == Focus::Field && caret.advance()) {
            session.repaint(window);
        }
    }

    void handle(xcb::ModalSession& session, const xcb::ModalEvent& event) override {
        using Type = xcb::ModalEvent::Type;
        switch (event.type) {
        case Type::KeyPress:
            key(session, event);
            break;
        case Type::ButtonPress:
            if (event.window == window) {
                press(session, event);
            }
            break;
        case Type::Motion:
            motion(session, event);
            break;
        case Type::ButtonRelease:
            release(session, event);
            break;
        case Type::CloseRequest:
            session.end();
            break;
        }
    }

private:
    static CRect inset(const CRect& r, int by) {
        return CRect(r.left + by, r.top + by, r.right - by, r.bottom - by);
    }

    int textTop(const CRect& box) const { return box.top + (box.height() - font.lineHeight()) / 2; }

    void drawLabel(Framebuffer& pixels, const std::string& caption, const CRect& beside) const {
        // The "&" marks the letter Alt chooses, underlined.
        std::string shown;
        int underlineFrom = -1, underlineTo = -1;
        for (std::size_t i = 0; i < caption.size(); ++i) {
            if (caption[i] == '&' && i + 1 < caption.size()) {
                underlineFrom = font.width(shown);
                underlineTo = font.width(shown + caption[i + 1]);
                continue;
            }
            shown.push_back(caption[i]);
        }
        const int labelTop = textTop(beside);
        font.draw(pixels, shown, CPoint(kLabelLeft, labelTop), pixels.bounds(), kDialogText);
        if (underlineFrom >= 0) {
            const int y = labelTop + font.ascent() + 1;
            fillRect(pixels, CRect(kLabelLeft + underlineFrom, y, kLabelLeft + underlineTo, y + 1),
                     kDialogText);
        }
    }

    void drawFolderLine(Framebuffer& pixels) const {
        drawLabel(pixels, "Look in:", kFolderBox);
        drawSunkenFrame(pixels, kFolderBox);
        const CRect inside = inset(kFolderBox, 2);
        fillRect(pixels, inside, kFieldBackground);
        // A long path keeps its end, where the folder's own name is.
        std::u32string shown = model.folderShown();
        const int room = inside.width() - 2 * kTextInset;
        if (font.width(shown) > room) {
            while (!shown.empty() && font.width(U"\u2026" + shown) > room) {
                shown.erase(0, 1);
            }
            shown = U"\u2026" + shown;
        }
        font.draw(pixels, shown, CPoint(inside.left + kTextInset, textTop(kFolderBox)), inside,
                  kDialogText);
    }

    int rows() const { return kListInside.height() / kRowHeight; }
    int count() const { return static_cast<int>(model.entries().size()); }
    int lastTop() const { return std::max(0, count() - rows()); }

    void drawIcon(Framebuffer& pixels, ChooserEntry::Kind kind, CPoint at) const {
        if (kind == ChooserEntry::Kind::File) {
            fillRect(pixels, CRect(at.h + 2, at.v + 1, at.h + 12, at.v + 14), kFieldBackground);
            drawEdges(pixels, CRect(at.h + 2, at.v + 1, at.h + 12, at.v + 14), kDialogGreyText,
                      kDialogGreyText);
            for (int line = 0; line < 3; ++line) {
                fillRect(pixels,
                         CRect(at.h + 4, at.v + 5 + 3 * line, at.h + 10, at.v + 6 + 3 * line),
                         kDialogGreyText);
            }
            return;
        }
        fillRect(pixels, CRect(at.h + 1, at.v + 2, at.h + 7, at.v + 5), kFolderYellow);
        fillRect(pixels, CRect(at.h + 1, at.v + 4, at.h + 14, at.v + 13), kFolderYellow);
        drawEdges(pixels, CRect(at.h + 1, at.v + 4, at.h + 14, at.v + 13), kFolderEdge,
                  kFolderEdge);
    }

    void drawList(Framebuffer& pixels) const {
        drawSunkenFrame(pixels, kListBox);
        const CRect rowsArea(kListInside.left, kListInside.top, kScrollBar.left,
                             kListInside.bottom);
        fillRect(pixels, rowsArea, kFieldBackground);
        const auto& entries = model.entries();
        for (int row = 0; row < rows(); ++row) {
            const int index = firstRow + row;
            if (index >= count()) {
                break;
            }
            const ChooserEntry& entry = entries[static_cast<std::size_t>(index)];
            const CRect line(rowsArea.left, rowsArea.top + row * kRowHeight, rowsArea.right,
                             rowsArea.top + (row + 1) * kRowHeight);
            const bool isSelected = index == selected;
            const int textLeft = line.left + 20;
            const int textRight =
                std::min<int>(line.right, textLeft + font.width(entry.shown) + 2 * kTextInset);
            const CRect textCell(textLeft - kTextInset, line.top, textRight, line.bottom);
            if (isSelected) {
                fillRect(pixels, textCell,
                         focus == Focus::List ? kSelectionBackground : CColor{210, 210, 210, 0});
            }
            drawIcon(pixels, entry.kind, CPoint(line.left + 2, line.top));
            font.draw(pixels, entry.shown,
                      CPoint(textLeft, line.top + (kRowHeight - font.lineHeight()) / 2), line,
                      isSelected && focus == Focus::List ? kSelectionText : kDialogText);
            if (isSelected && focus == Focus::List) {
                drawFocusRect(pixels, textCell);
            }
        }
        if (!model.problem().empty()) {
            const int row = count() - firstRow;
            if (row >= 0 && row < rows()) {
                font.draw(pixels, model.problem(),
                          CPoint(rowsArea.left + 20, rowsArea.top + row * kRowHeight +
                                                         (kRowHeight - font.lineHeight()) / 2),
                          rowsArea, kDialogGreyText);
            }
        } else if (count() == 0 ||
                   (count() == 1 && model.entries()[0].kind == ChooserEntry::Kind::Parent)) {
            // Nothing but "..": say that the filter shows nothing here, as an empty list looks
            // like a fault otherwise.
            const int row = count() - firstRow;
            if (row >= 0 && row < rows()) {
                font.draw(pixels, "No items match the filter.",
                          CPoint(rowsArea.left + 20, rowsArea.top + row * kRowHeight +
                                                         (kRowHeight - font.lineHeight()) / 2),
                          rowsArea, kDialogGreyText);
            }
        }
        drawScrollBar(pixels);
        if (focus == Focus::List && selected < 0) {
            drawFocusRect(pixels, inset(rowsArea, 1));
        }
    }

    CRect upArrow() const {
        return CRect(kScrollBar.left, kScrollBar.top, kScrollBar.right,
                     kScrollBar.top + kScrollWidth);
    }
    CRect downArrow() const {
        return CRect(kScrollBar.left, kScrollBar.bottom - kScrollWidth, kScrollBar.right,
                     kScrollBar.bottom);
    }
    // The thumb: as long as the share of the entries shown, at least 8 pixels.
    CRect thumb() const {
        const int trackTop = kScrollBar.top + kScrollWidth;
        const int track = kScrollBar.height() - 2 * kScrollWidth;
        if (count() <= rows()) {
            return CRect(kScrollBar.left, trackTop, kScrollBar.right, trackTop + track);
        }
        const int length = std::max(8, track * rows() / count());
        const int offset = (track - length) * firstRow / lastTop();
        return CRect(kScrollBar.left, trackTop + offset, kScrollBar.right,
                     trackTop + offset + length);
    }

    void drawArrow(Framebuffer& pixels, const CRect& button, bool up, bool enabled) const {
        drawPushButton(pixels, button, "", font, false, false, false);
        const int middle = button.left + button.width() / 2;
        const int base = button.top + button.height() / 2 + (up ? 2 : -2);
        for (int row = 0; row < 4; ++row) {
            const int y = up ? base - row : base + row;
            fillRect(pixels, CRect(middle - 3 + row, y, middle + 4 - row, y + 1),
                     enabled ? kDialogText : kDialogGreyText);
        }
    }

    void drawScrollBar(Framebuffer& pixels) const {
        fillRect(pixels, kScrollBar, kTrack);
        const bool scrolls = count() > rows();
        drawArrow(pixels, upArrow(), true, scrolls && firstRow > 0);
        drawArrow(pixels, downArrow(), false, scrolls && firstRow < lastTop());
        if (scrolls) {
            drawPushButton(pixels, thumb(), "", font, false, false, false);
        }
    }

    CRect fieldText() const { return inset(kNameField, 2 + 1); }

    void drawField(Framebuffer& pixels) const {
        drawSunkenFrame(pixels, kNameField);
        fillRect(pixels, inset(kNameField, 2), kFieldBackground);
        fieldView.draw(pixels, field, fieldText(), textTop(kNameField),
                       {kDialogText, kSelectionBackground, kSelectionText}, focus == Focus::Field,
                       caret.shown());
    }

    // The character boundary nearest to x (the window's coordinates) in the field.
    std::size_t characterAt(int x) const {
        return fieldView.characterAt(field, x - fieldText().left);
    }

    void fieldChanged(xcb::ModalSession& session) {
        fieldView.follow(field, fieldText().width() - 1);
        caret.restart();
        session.repaint(window);
    }

    void setField(xcb::ModalSession& session, const std::u32string& text) {
        field.setText(text);
        fieldView.restart();
        fieldChanged(session);
    }

    // Selects entry `index` and scrolls it into view; a file's name goes into the field.
    void select(xcb::ModalSession& session, int index) {
        if (count() == 0) {
            return;
        }
        selected = std::max(0, std::min(count() - 1, index));
        if (selected < firstRow) {
            firstRow = selected;
        } else if (selected >= firstRow + rows()) {
            firstRow = selected - rows() + 1;
        }
        const ChooserEntry& entry = model.entries()[static_cast<std::size_t>(selected)];
        if (entry.kind == ChooserEntry::Kind::File) {
            setField(session, entry.shown);
        }
        session.repaint(window);
    }

    void scrollTo(xcb::ModalSession& session, int row) {
        firstRow = std::max(0, std::min(lastTop(), row));
        session.repaint(window);
    }

    void newList(xcb::ModalSession& session) {
        selected = -1;
        firstRow = 0;
        session.repaint(window);
    }

    void tell(xcb::ModalSession& session, const std::string& text, MessageButtons buttons,
              MessageButton& answerGiven) {
        answerGiven = showMessageBox(owner, windows1252Of(text), windows1252Of(request.title),
                                     buttons, MessageIcon::Warning);
        if (session.interrupted()) {
            session.end();
            return;
        }
        session.focus(window);
        session.repaint(window);
    }

    void follow(xcb::ModalSession& session, const ChooserStep& step, bool typed) {
        switch (step.kind) {
        case ChooserStep::Kind::Nothing:
            return;
        case ChooserStep::Kind::Listed:
            if (typed && !isPattern(VSTGUI::encodeUtf8(field.text()))) {
                setField(session, U"");
            }
            newList(session);
            return;
        case ChooserStep::Kind::Chosen:
            answer = step.path;
            session.end();
            return;
        case ChooserStep::Kind::AskToReplace: {
            MessageButton given = MessageButton::No;
            tell(session, step.text, MessageButtons::YesNo, given);
            if (given == MessageButton::Yes && !session.interrupted()) {
                answer = step.path;
                session.end();
            }
            return;
        }
        case ChooserStep::Kind::Refused: {
            MessageButton given = MessageButton::Ok;
            tell(session, step.text, MessageButtons::Ok, given);
            return;
        }
        }
    }

    // Enter, or the accept button: the entry in the list when it has the focus, else the name.
    void accept(xcb::ModalSession& session) {
        if (focus == Focus::List && selected >= 0) {
            follow(session, model.activate(static_cast<std::size_t>(selected)), false);
            return;
        }
        if (field.text().empty() && selected >= 0 &&
            model.entries()[static_cast<std::size_t>(selected)].kind != ChooserEntry::Kind::File) {
            follow(session, model.activate(static_cast<std::size_t>(selected)), false);
            return;
        }
        follow(session, model.submit(field.text()), true);
    }

    void moveFocus(xcb::ModalSession& session, bool back) {
        static constexpr Focus kOrder[] = {Focus::Field, Focus::Accept, Focus::Cancel, Focus::List};
        int at = 0;
        for (int i = 0; i < 4; ++i) {
            if (kOrder[i] == focus) {
                at = i;
            }
        }
        focus = kOrder[(at + (back ? 3 : 1)) % 4];
        if (focus == Focus::Field) {
            field.selectAll();
            fieldChanged(session);
        }
        session.repaint(window);
    }

    bool listKey(xcb::ModalSession& session, std::uint32_t keysym) {
        const int from = selected < 0 ? (keysym == kUp ? count() : -1) : selected;
        switch (keysym) {
        case kUp:
            select(session, from - 1);
            return true;
        case kDown:
            select(session, from + 1);
            return true;
        case kPageUp:
            select(session, std::max(0, from) - (rows() - 1));
            return true;
        case kPageDown:
            select(session, std::max(0, from) + (rows() - 1));
            return true;
        case kHome:
            select(session, 0);
            return true;
        case kEnd:
            select(session, count() - 1);
            return true;
        case kBackSpace:
            model.goUp();
            newList(session);
            return true;
        default:
            return false;
        }
    }

    void fieldKey(xcb::ModalSession& session, const xcb::ModalEvent& event) {
        if (event.keysym == kUp || event.keysym == kDown) {
            // As in the Windows dialog's field: the list's selection steps.
            listKey(session, event.keysym);
            return;
        }
        if (applyFieldKey(field, event, session, window)) {
            fieldChanged(session);
        }
    }

    void key(xcb::ModalSession& session, const xcb::ModalEvent& event) {
        const bool alt = (event.modifiers & xcb::kModalAlt) != 0;
        switch (event.keysym) {
        case kEscape:
            session.end();
            return;
        case kReturn:
        case kEnterOnKeypad:
            if (focus == Focus::Cancel) {
                session.end();
            } else {
                accept(session);
            }
            return;
        case kTab:
            moveFocus(session, (event.modifiers & xcb::kModalShift) != 0);
            return;
        case kBackTab:
            moveFocus(session, true);
            return;
        default:
            break;
        }
        if (alt) {
            const std::uint32_t letter = event.keysym | 0x20; // lower case of an ASCII letter
            const std::uint32_t acceptLetter = request.mode == ChooserMode::Save ? 's' : 'o';
            if (letter == acceptLetter) {
                accept(session);
            } else if (letter == 'n') {
                focus = Focus::Field;
                field.selectAll();
                fieldChanged(session);
            }
            return;
        }
        switch (focus) {
        case Focus::List:
            if (!listKey(session, event.keysym) && event.text.size() == 1 && event.text[0] > 0x20) {
                // Typing in the list goes to the field, as the first letter of a name.
                focus = Focus::Field;
                field.setText(U"");
                fieldKey(session, event);
            }
            return;
        case Focus::Field:
            fieldKey(session, event);
            return;
        case Focus::Accept:
        case Focus::Cancel:
            if (event.keysym == kSpace) {
                if (focus == Focus::Cancel) {
                    session.end();
                } else {
                    accept(session);
                }
            }
            return;
        }
    }

    int rowAt(CPoint where) const {
        const int row = (where.v - kListInside.top) / kRowHeight;
        const int index = firstRow + row;
        return index < count() ? index : -1;
    }

    void press(xcb::ModalSession& session, const xcb::ModalEvent& event) {
        const CPoint where = event.where;
        if (event.button == 4 || event.button == 5) {
            if (kListBox.holdsPixel(where)) {
                scrollTo(session, firstRow + (event.button == 5 ? kWheelRows : -kWheelRows));
            }
            return;
        }
        if (event.button != 1) {
            return;
        }
        if (kScrollBar.holdsPixel(where)) {
            pressScrollBar(session, where);
            return;
        }
        if (kListInside.holdsPixel(where)) {
            focus = Focus::List;
            const int index = rowAt(where);
            const long now = steadyMilliseconds();
            const bool isDouble =
                index >= 0 && index == lastClickRow && now - lastClick < kDoubleClick;
            lastClickRow = isDouble ? -1 : index;
            lastClick = now;
            if (index < 0) {
                selected = -1;
                session.repaint(window);
                return;
            }
            select(session, index);
            if (isDouble) {
                follow(session, model.activate(static_cast<std::size_t>(index)), false);
            }
            return;
        }
        if (kNameField.holdsPixel(where)) {
            focus = Focus::Field;
            field.placeCaret(characterAt(where.h), (event.modifiers & xcb::kModalShift) != 0);
            draggingText = true;
            fieldChanged(session);
            return;
        }
        for (const Focus button : {Focus::Accept, Focus::Cancel}) {
            if ((button == Focus::Accept ? kAcceptButton : kCancelButton).holdsPixel(where)) {
                pressed = button;
                pointerOnPressed = true;
                session.repaint(window);
            }
        }
    }

    void pressScrollBar(xcb::ModalSession& session, CPoint where) {
        if (count() <= rows()) {
            return;
        }
        if (upArrow().holdsPixel(where)) {
            scrollTo(session, firstRow - 1);
        } else if (downArrow().holdsPixel(where)) {
            scrollTo(session, firstRow + 1);
        } else if (thumb().holdsPixel(where)) {
            thumbGrip = where.v - thumb().top;
        } else {
            scrollTo(session, firstRow + (where.v < thumb().top ? -(rows() - 1) : rows() - 1));
        }
    }

    void motion(xcb::ModalSession& session, const xcb::ModalEvent& event) {
        if (event.window != window) {
            return;
        }
        if (thumbGrip >= 0) {
            const int track = kScrollBar.height() - 2 * kScrollWidth - thumb().height();
            const int offset = event.where.v - thumbGrip - (kScrollBar.top + kScrollWidth);
            if (track > 0) {
                scrollTo(session, (offset * lastTop() + track / 2) / track);
            }
        } else if (draggingText) {
            field.placeCaret(characterAt(event.where.h), true);
            fieldChanged(session);
        } else if (pressed == Focus::Accept || pressed == Focus::Cancel) {
            const bool on =
                (pressed == Focus::Accept ? kAcceptButton : kCancelButton).holdsPixel(event.where);
            if (on != pointerOnPressed) {
                pointerOnPressed = on;
                session.repaint(window);
            }
        }
    }

    void release(xcb::ModalSession& session, const xcb::ModalEvent& event) {
        if (event.button != 1) {
            return;
        }
        thumbGrip = -1;
        draggingText = false;
        const Focus was = pressed;
        pressed = Focus::List; // none
        if (was != Focus::Accept && was != Focus::Cancel) {
            return;
        }
        const bool on =
            event.window == window &&
            (was == Focus::Accept ? kAcceptButton : kCancelButton).holdsPixel(event.where);
        session.repaint(window);
        if (!on) {
            return;
        }
        if (was == Focus::Cancel) {
            session.end();
        } else {
            accept(session);
        }
    }

    void* owner;
    const FileChooserRequest& request;
    const DialogFont& font;
    FileChooserModel model;
    TextField field;
    int window = -1;
    Focus focus = Focus::Field;
    int selected = -1;
    int firstRow = 0; // the first entry shown
    FieldView fieldView{font};
    CaretBlink caret;
    bool draggingText = false;
    int thumbGrip = -1;          // the pointer's offset in the thumb while it is dragged
    Focus pressed = Focus::List; // Accept or Cancel while a button is held down
    bool pointerOnPressed = false;
    int lastClickRow = -1;
    long lastClick = 0;
    std::string answer;
};

} // namespace

bool runFileChooser(void* owner, const FileChooserRequest& request, std::string& chosen) {
    xcb::ModalSession session(owner);
    const DialogFont font;
    if (!session.isOpen() || !font.isOpen()) {
        return false;
    }
    ChooserWindow dialog(owner, request, font, userHomeFolder());
    if (!dialog.start(session)) {
        return false;
    }
    session.run(dialog);
    if (session.interrupted() || !dialog.answered()) {
        return false;
    }
    chosen = dialog.chosen();
    return true;
}

} // namespace kel::ui

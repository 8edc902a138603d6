// The popup menu's window, drawing and tracking on Linux. It looks as the menus of our Windows
// build look under Wine: white, a grey frame, black text (grey for entries that cannot be
// chosen), the underlined letters shown, the chosen row in the selection colour.
#include "ui/popup_menu_linux.h"
#include "ui/field_keys_linux.h"

#include <memory>

#include "widgets/draw_context.h"
#include "widgets/font_freetype.h"
#include "widgets/modal_window_xcb.h"
#include "widgets/raster.h"

namespace kel::ui {

using VSTGUI::CColor;
using VSTGUI::CPoint;
using VSTGUI::CRect;
using VSTGUI::Framebuffer;
using VSTGUI::pixelOf;
namespace xcb = VSTGUI::xcb;
using namespace keys;

namespace {

constexpr CColor kMenuBackground{255, 255, 255, 0};
constexpr CColor kMenuFrame{166, 166, 166, 0};
constexpr CColor kMenuText{0, 0, 0, 0};
constexpr CColor kGreyText{128, 128, 128, 0};
constexpr CColor kSelection{48, 150, 250, 0};
constexpr CColor kSelectedText{255, 255, 255, 0};
// The menu font: Windows' 8-point menu face at 96 dots per inch, 11 pixels to the em.
constexpr const char* kMenuFace = "Arial";
constexpr int kMenuCharacterHeight = 11;
// Where the text's baseline lies in an entry's row, and the separator's line in its row.
constexpr int kBaselineInRow = 12;
constexpr int kSeparatorLineInRow = 4;
constexpr int kSeparatorInset = 4; // from the menu's left and right edges

class MenuFont {
public:
    MenuFont() : font(VSTGUI::FreetypeFont::open({kMenuFace, kMenuCharacterHeight})) {}
    int width(const std::string& text) const { return font ? font->textWidth(text.c_str()) : 0; }
    int ascent() const { return font ? font->ascent() : 0; }
    void draw(Framebuffer& pixels, const std::string& text, CPoint origin, const CRect& clip,
              CColor colour) const {
        if (font) {
            font->draw(pixels, text.c_str(), origin, clip, pixelOf(colour));
        }
    }

private:
    std::unique_ptr<VSTGUI::FreetypeFont> font;
};

// The check mark of a checked entry: 6 by 6 pixels, rows top to bottom, bit 5 the leftmost, at
// this place in the entry's row.
constexpr int kCheckMarkSize = 6;
constexpr std::uint8_t kCheckMark[kCheckMarkSize] = {0x01, 0x23, 0x37, 0x3e, 0x1c, 0x08};
constexpr CPoint kCheckMarkInRow{2, 5};
// A submenu's arrow: a triangle pointing right, 5 wide and 9 high, its left edge this far left of
// the row's right edge and its top this far below the row's.
constexpr int kArrowHeight = 9;
constexpr CPoint kArrowInRow{-7, 3};

class MenuTracker : public xcb::ModalHandler {
public:
    MenuTracker(xcb::ModalSession& modal, const MenuFont& menuFont)
        : session(modal), font(menuFont) {}

    bool open(const Menu& menu, const CPoint& onScreen) {
        const MenuLayout layout = layOut(menu);
        const CRect place = placeMenu(onScreen, layout.width, layout.height, session.screen());
        return openLevel(menu, layout, place);
    }

    int chosen() const { return command; }

    void paint(xcb::ModalSession&, int window, Framebuffer& pixels) override {
        for (const Level& level : levels) {
            if (level.window == window) {
                draw(level, pixels);
            }
        }
    }

    void handle(xcb::ModalSession&, const xcb::ModalEvent& event) override {
        using Type = xcb::ModalEvent::Type;
        switch (event.type) {
        case Type::Motion:
            hover(event);
            break;
        case Type::ButtonPress:
            if (levelOf(event.window) < 0) {
                dismiss(); // a click outside: no choice
            } else {
                hover(event);
            }
            break;
        case Type::ButtonRelease:
            release(event);
            break;
        case Type::KeyPress:
            key(event);
            break;
        case Type::CloseRequest:
            break;
        }
    }

private:
    struct Level {
        const Menu* menu = nullptr;
        MenuLayout layout;
        CRect onScreen;
        int window = -1;
        int selected = -1;
    };

    MenuLayout layOut(const Menu& menu) const {
        return layoutMenu(menu, popupMenuMetrics(),
                          [this](const std::string& text) { return font.width(text); });
    }

    bool openLevel(const Menu& menu, const MenuLayout& layout, const CRect& place) {
        Level level;
        level.menu = &menu;
        level.layout = layout;
        level.onScreen = place;
        level.window = session.openWindow(xcb::ModalWindowKind::Popup, place);
        if (level.window < 0) {
            return false;
        }
        levels.push_back(level);
        session.show(level.window);
        return true;
    }

    int levelOf(int window) const {
        for (std::size_t i = 0; i < levels.size(); ++i) {
            if (levels[i].window == window) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }

    void closeLevelsAbove(int level) {
        while (static_cast<int>(levels.size()) > level + 1) {
            session.closeWindow(levels.back().window);
            levels.pop_back();
        }
    }

    void select(int level, int item) {
        Level& at = levels[static_cast<std::size_t>(level)];
        closeLevelsAbove(level);
        if (at.selected != item) {
            at.selected = item;
            session.repaint(at.window);
        }
    }

    // Opens the submenu of the level's selected entry; its first entry selected when asked.
    void openSubmenu(int level, bool selectFirst) {
        Level& at = levels[static_cast<std::size_t>(level)];
        if (at.selected < 0) {
            return;
        }
        const MenuItem& item = at.menu->items[static_cast<std::size_t>(at.selected)];
        if (!item.submenu || item.greyed || item.submenu->items.empty()) {
            return;
        }
        if (static_cast<int>(levels.size()) > level + 1) {
            if (selectFirst) {
                select(level + 1, nextSelectable(*levels.back().menu, -1, 1));
            }
            return;
        }
        const CRect row = at.layout.items[static_cast<std::size_t>(at.selected)].offset(
            at.onScreen.left, at.onScreen.top);
        const MenuLayout layout = layOut(*item.submenu);
        const CRect place = placeSubmenu(at.onScreen, row, popupMenuMetrics().border, layout.width,
                                         layout.height, session.screen());
        if (openLevel(*item.submenu, layout, place) && selectFirst) {
            select(static_cast<int>(levels.size()) - 1, nextSelectable(*item.submenu, -1, 1));
        }
    }

    void hover(const xcb::ModalEvent& event) {
        const int level = levelOf(event.window);
        if (level < 0) {
            return;
        }
        const Level& at = levels[static_cast<std::size_t>(level)];
        const int item = itemAt(at.layout, *at.menu, event.where);
        if (item < 0) {
            return;
        }
        if (item != at.selected || static_cast<int>(levels.size()) > level + 1) {
            const bool sameSubmenuOpen =
                item == at.selected && static_cast<int>(levels.size()) > level + 1;
            if (!sameSubmenuOpen) {
                select(level, item);
            }
        }
        openSubmenu(level, false);
    }

    void release(const xcb::ModalEvent& event) {
        const int level = levelOf(event.window);
        if (level < 0) {
            return;
        }
        const Level& at = levels[static_cast<std::size_t>(level)];
        const int item = itemAt(at.layout, *at.menu, event.where);
        if (item >= 0 && !at.menu->items[static_cast<std::size_t>(item)].submenu) {
            activate(level, item);
        }
    }

    void activate(int level, int item) {
        const MenuItem& entry =
            levels[static_cast<std::size_t>(level)].menu->items[static_cast<std::size_t>(item)];
        if (entry.submenu) {
            select(level, item);
            openSubmenu(level, true);
            return;
        }
        if (!isChoosable(entry)) {
            return;
        }
        command = entry.command;
        session.end();
    }

    void dismiss() {
        command = 0;
        session.end();
    }

    void key(const xcb::ModalEvent& event) {
        const int level = static_cast<int>(levels.size()) - 1;
        Level& at = levels.back();
        switch (event.keysym) {
        case kEscape:
            if (level == 0) {
                dismiss();
            } else {
                closeLevelsAbove(level - 1);
            }
            return;
        case kUp:
        case kUpOnKeypad:
            select(level, nextSelectable(*at.menu, at.selected, -1));
            return;
        case kDown:
        case kDownOnKeypad:
            select(level, nextSelectable(*at.menu, at.selected, 1));
            return;
        case kHome:
            select(level, nextSelectable(*at.menu, -1, 1));
            return;
        case kEnd:
            select(level, nextSelectable(*at.menu, -1, -1));
            return;
        case kRight:
        case kRightOnKeypad:
            openSubmenu(level, true);
            return;
        case kLeft:
        case kLeftOnKeypad:
            if (level > 0) {
                closeLevelsAbove(level - 1);
            }
            return;
        case kReturn:
        case kEnterOnKeypad:
            if (at.selected >= 0) {
                activate(level, at.selected);
            }
            return;
        default:
            break;
        }
        if (event.text.size() == 1) {
            const MnemonicMatch match = findMnemonic(*at.menu, event.text[0], at.selected);
            if (match.item >= 0 && match.only) {
                activate(level, match.item);
            } else if (match.item >= 0) {
                select(level, match.item);
            }
        }
    }

    void draw(const Level& level, Framebuffer& pixels) const {
        const CRect all = pixels.bounds();
        VSTGUI::fillRectPixels(pixels, all, pixelOf(kMenuBackground));
        const std::uint32_t frame = pixelOf(kMenuFrame);
        VSTGUI::fillRectPixels(pixels, CRect(0, 0, all.right, 1), frame);
        VSTGUI::fillRectPixels(pixels, CRect(0, all.bottom - 1, all.right, all.bottom), frame);
        VSTGUI::fillRectPixels(pixels, CRect(0, 0, 1, all.bottom), frame);
        VSTGUI::fillRectPixels(pixels, CRect(all.right - 1, 0, all.right, all.bottom), frame);
        const MenuMetrics metrics = popupMenuMetrics();
        for (std::size_t i = 0; i < level.menu->items.size(); ++i) {
            const MenuItem& item = level.menu->items[i];
            const CRect row = level.layout.items[i];
            if (item.separator) {
                const int y = row.top + kSeparatorLineInRow;
                VSTGUI::fillRectPixels(
                    pixels, CRect(kSeparatorInset, y, all.right - kSeparatorInset, y + 1), frame);
                continue;
            }
            const bool selected = static_cast<int>(i) == level.selected;
            if (selected) {
                VSTGUI::fillRectPixels(pixels, row, pixelOf(kSelection));
            }
            const CColor ink = item.greyed ? kGreyText : selected ? kSelectedText : kMenuText;
            const int baseline = row.top + kBaselineInRow;
            const CaptionText shown = captionText(item.caption);
            const int left = row.left + metrics.checkColumn;
            font.draw(pixels, shown.text, CPoint(left, baseline - font.ascent()), row, ink);
            if (shown.underlined >= 0) {
                const std::string before =
                    shown.text.substr(0, static_cast<std::size_t>(shown.underlined));
                const int from = left + font.width(before);
                const int to = left + font.width(shown.text.substr(
                                          0, static_cast<std::size_t>(shown.underlined) + 1));
                VSTGUI::fillRectPixels(pixels, CRect(from, baseline + 1, to, baseline + 2),
                                       pixelOf(ink));
            }
            if (item.checked) {
                drawCheckMark(pixels,
                              CPoint(row.left + kCheckMarkInRow.h, row.top + kCheckMarkInRow.v),
                              pixelOf(ink));
            }
            if (item.submenu) {
                drawArrow(pixels, CPoint(row.right + kArrowInRow.h, row.top + kArrowInRow.v),
                          pixelOf(ink));
            }
        }
    }

    static void drawCheckMark(Framebuffer& pixels, CPoint at, std::uint32_t ink) {
        for (int y = 0; y < kCheckMarkSize; ++y) {
            for (int x = 0; x < kCheckMarkSize; ++x) {
                if ((kCheckMark[y] >> (kCheckMarkSize - 1 - x)) & 1) {
                    VSTGUI::fillRectPixels(
                        pixels, CRect(at.h + x, at.v + y, at.h + x + 1, at.v + y + 1), ink);
                }
            }
        }
    }

    static void drawArrow(Framebuffer& pixels, CPoint at, std::uint32_t ink) {
        for (int y = 0; y < kArrowHeight; ++y) {
            const int length = y <= kArrowHeight / 2 ? y + 1 : kArrowHeight - y;
            VSTGUI::fillRectPixels(pixels, CRect(at.h, at.v + y, at.h + length, at.v + y + 1), ink);
        }
    }

    xcb::ModalSession& session;
    const MenuFont& font;
    std::vector<Level> levels;
    int command = 0;
};

} // namespace

MenuMetrics popupMenuMetrics() {
    MenuMetrics metrics;
    metrics.border = 3;
    metrics.itemHeight = 16;
    metrics.separatorHeight = 9;
    metrics.checkColumn = 15;
    metrics.arrowColumn = 18;
    metrics.minimumTextWidth = 20;
    return metrics;
}

int trackPopupMenu(const Menu& menu, void* owner, CPoint at) {
    xcb::ModalSession session(owner);
    if (!session.isOpen() || menu.items.empty()) {
        return -1;
    }
    const MenuFont font;
    MenuTracker tracker(session, font);
    const CRect frame = session.frameOnScreen();
    if (!tracker.open(menu, CPoint(frame.left + at.h, frame.top + at.v))) {
        return -1;
    }
    // Without the grab (another program holds one) the menu still works inside its windows.
    session.grabInput(0);
    session.run(tracker);
    return session.interrupted() ? 0 : tracker.chosen();
}

} // namespace kel::ui

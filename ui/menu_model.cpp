#include "ui/menu_model.h"

#include <algorithm>

#include "widgets/windows1252.h"

namespace kel::ui {

MenuItem* Menu::itemOf(int command) {
    for (MenuItem& item : items) {
        if (!item.separator && !item.submenu && item.command == command) {
            return &item;
        }
        if (item.submenu) {
            // The submenus are the owner's to change as well: the slot menu checks its presets.
            if (MenuItem* found = const_cast<Menu*>(item.submenu)->itemOf(command)) {
                return found;
            }
        }
    }
    return nullptr;
}

CaptionText captionText(const std::string& caption) {
    CaptionText shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size()) {
            ++i;
            if (caption[i] != '&' && shown.underlined < 0) {
                shown.underlined = static_cast<int>(shown.text.size());
            }
        } else if (caption[i] == '&') {
            continue; // a lone mark at the end shows nothing
        }
        shown.text.push_back(caption[i]);
    }
    return shown;
}

MenuLayout layoutMenu(const Menu& menu, const MenuMetrics& metrics,
                      const std::function<int(const std::string&)>& textWidth) {
    MenuLayout layout;
    int widest = metrics.minimumTextWidth;
    for (const MenuItem& item : menu.items) {
        if (!item.separator) {
            widest = std::max(widest, textWidth(captionText(item.caption).text));
        }
    }
    const int inner = metrics.checkColumn + widest + metrics.arrowColumn;
    int top = metrics.border;
    for (const MenuItem& item : menu.items) {
        const int height = item.separator ? metrics.separatorHeight : metrics.itemHeight;
        layout.items.push_back(CRect(metrics.border, top, metrics.border + inner, top + height));
        top += height;
    }
    layout.width = inner + 2 * metrics.border;
    layout.height = top + metrics.border;
    return layout;
}

namespace {

// The rectangle moved (not resized) to lie on the screen, as much as it can: its top-left
// corner wins where it is larger than the screen.
CRect keptOnScreen(CRect rect, const CRect& screen) {
    if (rect.right > screen.right) {
        rect = rect.offset(screen.right - rect.right, 0);
    }
    if (rect.bottom > screen.bottom) {
        rect = rect.offset(0, screen.bottom - rect.bottom);
    }
    if (rect.left < screen.left) {
        rect = rect.offset(screen.left - rect.left, 0);
    }
    if (rect.top < screen.top) {
        rect = rect.offset(0, screen.top - rect.top);
    }
    return rect;
}

} // namespace

CRect placeMenu(const CPoint& at, int width, int height, const CRect& screen) {
    int left = at.h, top = at.v;
    if (left + width > screen.right && at.h - width >= screen.left) {
        left = at.h - width;
    }
    if (top + height > screen.bottom && at.v - height >= screen.top) {
        top = at.v - height;
    }
    return keptOnScreen(CRect::fromSize({left, top}, width, height), screen);
}

CRect placeSubmenu(const CRect& parentMenu, const CRect& itemOnScreen, int border, int width,
                   int height, const CRect& screen) {
    // Over the parent's frame, as far as the parent's selection reaches.
    int left = parentMenu.right - border - 1;
    if (left + width > screen.right) {
        left = parentMenu.left - width + border + 1;
    }
    int top = itemOnScreen.top - border;
    if (top + height > screen.bottom) {
        top = itemOnScreen.bottom + border - height;
    }
    return keptOnScreen(CRect::fromSize({left, top}, width, height), screen);
}

int nextSelectable(const Menu& menu, int from, int step) {
    const int count = static_cast<int>(menu.items.size());
    if (count == 0) {
        return -1;
    }
    int at = from < 0 ? (step > 0 ? -1 : count) : from;
    for (int tried = 0; tried < count; ++tried) {
        at = ((at + step) % count + count) % count;
        if (!menu.items[static_cast<std::size_t>(at)].separator) {
            return at;
        }
    }
    return -1;
}

int itemAt(const MenuLayout& layout, const Menu& menu, const CPoint& where) {
    for (std::size_t i = 0; i < layout.items.size() && i < menu.items.size(); ++i) {
        if (layout.items[i].holdsPixel(where)) {
            return menu.items[i].separator ? -1 : static_cast<int>(i);
        }
    }
    return -1;
}

namespace {

char32_t foldedCase(char32_t c) {
    if ((c >= U'A' && c <= U'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 0x20;
    }
    return c;
}

} // namespace

MnemonicMatch findMnemonic(const Menu& menu, char32_t typed, int from) {
    MnemonicMatch match;
    const int count = static_cast<int>(menu.items.size());
    int found = 0;
    for (int k = 1; k <= count; ++k) {
        const int i = ((from < 0 ? -1 : from) + k) % count;
        const MenuItem& item = menu.items[static_cast<std::size_t>(i < 0 ? i + count : i)];
        if (item.separator) {
            continue;
        }
        const CaptionText shown = captionText(item.caption);
        if (shown.underlined < 0) {
            continue;
        }
        const char32_t letter = VSTGUI::windows1252ToUnicode(
            static_cast<unsigned char>(shown.text[static_cast<std::size_t>(shown.underlined)]));
        if (foldedCase(letter) == foldedCase(typed)) {
            if (found == 0) {
                match.item = i;
            }
            ++found;
        }
    }
    match.only = found == 1;
    return match;
}

bool isChoosable(const MenuItem& item) {
    return !item.separator && !item.greyed;
}

} // namespace kel::ui

// Popup menus as data, for the platforms whose menus our own code draws (Linux): the entries, and
// the pure rules of their captions, their layout on the screen and their keyboard, as a desktop
// menu has them. ui/popup_menu_linux.cpp shows and tracks them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "widgets/geometry.h"

namespace kel::ui {

using VSTGUI::CPoint;
using VSTGUI::CRect;

struct Menu;

struct MenuItem {
    std::string caption; // Windows-1252; "&x" underlines x, "&&" is one "&"
    int command = 0;     // what choosing it answers; 0 for a separator or a submenu
    bool separator = false;
    bool checked = false;
    bool greyed = false;           // shown, never chosen
    const Menu* submenu = nullptr; // not owned
};

struct Menu {
    std::vector<MenuItem> items;

    // The item of command (searched through the submenus), or nullptr.
    MenuItem* itemOf(int command);
};

// A caption as shown: the text without its "&" marks, and the index in it of the underlined
// character (-1 when none).
struct CaptionText {
    std::string text;
    int underlined = -1;
};
CaptionText captionText(const std::string& caption);

// The measures of a menu on the screen, in pixels.
struct MenuMetrics {
    int border = 3;          // the raised frame round the items
    int itemHeight = 18;     // an entry's row
    int separatorHeight = 9; // a separator's row, its line in the middle
    int checkColumn = 17;    // room for the check mark, left of the text
    int arrowColumn = 17;    // room for a submenu's arrow, right of the text
    int minimumTextWidth = 20;
};

struct MenuLayout {
    int width = 0;
    int height = 0;
    std::vector<CRect> items; // each item's row, in the menu's coordinates
};

// textWidth: the width in pixels of shown text (captionText's).
MenuLayout layoutMenu(const Menu& menu, const MenuMetrics& metrics,
                      const std::function<int(const std::string&)>& textWidth);

// Where a menu of this size opens at a point (its top-left corner there), inside the screen: a
// menu that would leave it at the right or the bottom opens leftward or upward from the point,
// and is then kept on it.
CRect placeMenu(const CPoint& at, int width, int height, const CRect& screen);
// Where a submenu of this size opens beside the parent menu's item row (screen coordinates):
// right of the parent with its first row level with the item, else left of the parent; then
// kept on the screen.
CRect placeSubmenu(const CRect& parentMenu, const CRect& itemOnScreen, int border, int width,
                   int height, const CRect& screen);

// The item below or above `from` (-1: none yet) that the arrow keys move to, round the ends,
// passing over separators; -1 when the menu holds none but separators.
int nextSelectable(const Menu& menu, int from, int step);
// The item at a point of the menu, -1 for none (a separator is none).
int itemAt(const MenuLayout& layout, const Menu& menu, const CPoint& where);

// What a typed character does: the items whose underlined character it is (without regard to
// case), after `from` and round. `item` is the first of them (-1: none); `only` tells it is the
// one such item, which the key then chooses, rather than one of several, which it selects.
struct MnemonicMatch {
    int item = -1;
    bool only = false;
};
MnemonicMatch findMnemonic(const Menu& menu, char32_t typed, int from);

// Whether the item can be chosen: not a separator, not greyed.
bool isChoosable(const MenuItem& item);

} // namespace kel::ui

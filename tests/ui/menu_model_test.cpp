// Menus as data: captions, the layout measured off our Windows menus under Wine, placement on
// the screen and the keyboard's rules.
#include "ui/menu_model.h"

#include <gtest/gtest.h>

#include "ui/menu_table.h"

namespace kel::ui {
namespace {

Menu menuOf(std::initializer_list<const char*> captions) {
    Menu menu;
    int command = 1;
    for (const char* caption : captions) {
        MenuItem item;
        item.separator = caption == nullptr;
        item.caption = caption ? caption : "";
        item.command = caption ? command++ : 0;
        menu.items.push_back(item);
    }
    return menu;
}

template <std::size_t count>
Menu tableMenu(const MenuEntry (&entries)[count]) {
    Menu menu;
    for (const MenuEntry& entry : entries) {
        MenuItem item;
        item.separator = entry.caption == nullptr;
        item.caption = entry.caption ? entry.caption : "";
        item.command = entry.command;
        menu.items.push_back(item);
    }
    return menu;
}

// Eight pixels a character.
int fixedWidth(const std::string& text) {
    return 8 * static_cast<int>(text.size());
}

TEST(MenuCaption, MarksUnderlineTheLetterAfterThemAndDoubledMarksShowOne) {
    struct Case {
        const char* caption;
        const char* shown;
        int underlined;
    };
    const Case cases[] = {
        {"&Help", "Help", 0},
        {"De&lete Preset", "Delete Preset", 2},
        {"A&&B", "A&B", -1},
        {"&&&x", "&x", 1},
        {"x&", "x", -1},
        {"", "", -1},
        {"&a&b", "ab", 0},
        {"Low & High", "Low  High", 4},
        {"Low && High", "Low & High", -1},
    };
    for (const Case& c : cases) {
        const CaptionText text = captionText(c.caption);
        EXPECT_EQ(text.text, c.shown) << c.caption;
        EXPECT_EQ(text.underlined, c.underlined) << c.caption;
    }
    // A preset's name goes in literally and comes out as it was.
    for (const char* name : {"Rock & Roll", "&&", "&", "plain"}) {
        EXPECT_EQ(captionText(literalMenuCaption(name)).text, name);
        EXPECT_EQ(captionText(literalMenuCaption(name)).underlined, -1);
    }
}

TEST(MenuLayout, TheMenusHaveTheHeightsOfOurWindowsMenus) {
    // The options menu: five entries and a separator, 95 pixels; the slot menu with its two
    // submenus in: six entries and two separators, 120 pixels.
    const MenuLayout options =
        layoutMenu(tableMenu(kOptionsMenuEntries), MenuMetrics{3, 16, 9}, fixedWidth);
    EXPECT_EQ(options.height, 95);
    Menu slot = tableMenu(kSlotMenuEntries);
    MenuItem submenu;
    submenu.caption = kBuiltInSubmenuCaption;
    slot.items.insert(slot.items.begin() + kBuiltInSubmenuPosition, submenu);
    submenu.caption = kUserPresetsSubmenuCaption;
    slot.items.insert(slot.items.begin() + kUserPresetsSubmenuPosition, submenu);
    const MenuLayout slotLayout = layoutMenu(slot, MenuMetrics{3, 16, 9}, fixedWidth);
    EXPECT_EQ(slotLayout.height, 120);
    ASSERT_EQ(slotLayout.items.size(), 8u);
    EXPECT_EQ(slotLayout.items[0], CRect(3, 3, slotLayout.width - 3, 19));
    EXPECT_EQ(slotLayout.items[1].height(), 9);
    EXPECT_EQ(slotLayout.items[2].top, 28);
    EXPECT_EQ(slotLayout.items[7].bottom, 117);
}

TEST(MenuLayout, TheWidestCaptionSetsTheWidthWithRoomForMarkAndArrow) {
    MenuMetrics metrics;
    metrics.border = 3;
    metrics.checkColumn = 15;
    metrics.arrowColumn = 18;
    metrics.minimumTextWidth = 20;
    // "&Delete All User Presets..." shows 26 characters: 208 pixels.
    EXPECT_EQ(layoutMenu(tableMenu(kOptionsMenuEntries), metrics, fixedWidth).width,
              3 + 15 + 208 + 18 + 3);
    // Short captions take the least width; an empty menu is its frame.
    EXPECT_EQ(layoutMenu(menuOf({"A"}), metrics, fixedWidth).width, 3 + 15 + 20 + 18 + 3);
    const MenuLayout empty = layoutMenu(Menu{}, metrics, fixedWidth);
    EXPECT_EQ(empty.height, 6);
    EXPECT_TRUE(empty.items.empty());
}

TEST(MenuPlacement, MenusOpenAtThePointAndTurnAwayFromTheScreensEdges) {
    const CRect screen(0, 0, 1280, 1024);
    struct Case {
        CPoint at;
        int width, height;
        CRect expected;
    };
    const Case cases[] = {
        {{100, 100}, 158, 95, CRect(100, 100, 258, 195)},      // room: the corner at the point
        {{1200, 100}, 158, 95, CRect(1042, 100, 1200, 195)},   // at the right: leftward
        {{100, 1000}, 158, 95, CRect(100, 905, 258, 1000)},    // at the bottom: upward
        {{1200, 1000}, 158, 95, CRect(1042, 905, 1200, 1000)}, // in the corner: both
        {{50, 100}, 1300, 95, CRect(0, 100, 1300, 195)},       // wider than the screen: its left
        {{-20, -30}, 158, 95, CRect(0, 0, 158, 95)},           // off the screen: onto it
    };
    for (const Case& c : cases) {
        EXPECT_EQ(placeMenu(c.at, c.width, c.height, screen), c.expected)
            << c.at.h << "," << c.at.v;
    }
}

TEST(MenuPlacement, SubmenusOpenBesideTheirEntry) {
    const CRect screen(0, 0, 1280, 1024);
    // Measured under Wine: a parent at 551..737 whose entry row starts at 606 gets its submenu
    // at x 734, y 603.
    const CRect parent(551, 578, 738, 698);
    const CRect row(554, 606, 735, 622);
    EXPECT_EQ(placeSubmenu(parent, row, 3, 89, 86, screen), CRect(734, 603, 823, 689));
    // No room at the right: left of the parent, over its frame by as much.
    const CRect rightParent(1100, 578, 1270, 698);
    const CRect rightRow(1103, 606, 1267, 622);
    EXPECT_EQ(placeSubmenu(rightParent, rightRow, 3, 89, 86, screen).right, 1100 + 4);
    // No room below: its last row level with the entry's.
    const CRect lowRow(554, 1000, 735, 1016);
    EXPECT_EQ(placeSubmenu(parent, lowRow, 3, 89, 86, screen).bottom, 1019);
}

TEST(MenuKeyboard, ArrowsPassOverSeparatorsAndGoRoundTheEnds) {
    const Menu menu = menuOf({"One", nullptr, "Two", nullptr, nullptr, "Three"});
    struct Case {
        int from, step, expected;
    };
    const Case cases[] = {
        {-1, 1, 0}, {-1, -1, 5}, {0, 1, 2}, {2, 1, 5}, {5, 1, 0}, {0, -1, 5}, {5, -1, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nextSelectable(menu, c.from, c.step), c.expected) << c.from << " " << c.step;
    }
    EXPECT_EQ(nextSelectable(menuOf({nullptr, nullptr}), -1, 1), -1);
    EXPECT_EQ(nextSelectable(Menu{}, -1, 1), -1);
    // Greyed entries are passed through like the others: they show, they are not chosen.
    Menu greyed = menuOf({"One", "Two"});
    greyed.items[1].greyed = true;
    EXPECT_EQ(nextSelectable(greyed, 0, 1), 1);
    EXPECT_FALSE(isChoosable(greyed.items[1]));
    EXPECT_TRUE(isChoosable(greyed.items[0]));
    EXPECT_FALSE(isChoosable(menuOf({nullptr}).items[0]));
}

TEST(MenuKeyboard, UnderlinedLettersChooseTheirEntryOrStepThroughSeveral) {
    const Menu options = tableMenu(kOptionsMenuEntries);
    struct Case {
        char32_t typed;
        int from;
        int item;
        bool only;
    };
    const Case cases[] = {
        {U'h', -1, 4, true}, {U'H', -1, 4, true},   {U'e', -1, 0, true},
        {U'a', 2, 5, true},  {U'x', -1, -1, false}, {U'&', -1, -1, false},
    };
    for (const Case& c : cases) {
        const MnemonicMatch match = findMnemonic(options, c.typed, c.from);
        EXPECT_EQ(match.item, c.item) << static_cast<int>(c.typed);
        EXPECT_EQ(match.only, c.only) << static_cast<int>(c.typed);
    }
    // Two entries of one letter: each press selects the next of them.
    const Menu twice = menuOf({"&Save", nullptr, "&Send", "&Other"});
    EXPECT_EQ(findMnemonic(twice, U's', -1).item, 0);
    EXPECT_FALSE(findMnemonic(twice, U's', -1).only);
    EXPECT_EQ(findMnemonic(twice, U's', 0).item, 2);
    EXPECT_EQ(findMnemonic(twice, U's', 2).item, 0);
    // Letters beyond ASCII match in either case (the caption's bytes are Windows-1252).
    const Menu accented = menuOf({"\xC9&\xE9t\xE9", "&\xC9t\xE9"});
    EXPECT_EQ(findMnemonic(accented, U'\u00C9', -1).item, 0);
    EXPECT_EQ(findMnemonic(accented, U'\u00E9', 0).item, 1);
}

TEST(MenuLayout, PointsFindTheirEntryButNotASeparator) {
    const Menu menu = menuOf({"One", nullptr, "Two"});
    const MenuLayout layout = layoutMenu(menu, MenuMetrics{3, 16, 9}, fixedWidth);
    EXPECT_EQ(itemAt(layout, menu, {10, 3}), 0);
    EXPECT_EQ(itemAt(layout, menu, {10, 18}), 0);
    EXPECT_EQ(itemAt(layout, menu, {10, 19}), -1); // the separator's row
    EXPECT_EQ(itemAt(layout, menu, {10, 28}), 2);
    EXPECT_EQ(itemAt(layout, menu, {1, 10}), -1);  // on the frame
    EXPECT_EQ(itemAt(layout, menu, {10, 44}), -1); // below the last entry
}

TEST(MenuItems, CommandsAreFoundInTheSubmenusToo) {
    Menu inner = menuOf({"Default", "Low Hot"});
    inner.items[1].command = 40101;
    Menu outer = menuOf({"Current", nullptr});
    MenuItem sub;
    sub.caption = "Built-In";
    sub.submenu = &inner;
    outer.items.push_back(sub);
    ASSERT_NE(outer.itemOf(40101), nullptr);
    outer.itemOf(40101)->checked = true;
    EXPECT_TRUE(inner.items[1].checked);
    EXPECT_EQ(outer.itemOf(1)->caption, "Current");
    EXPECT_EQ(outer.itemOf(4711), nullptr);
}

} // namespace
} // namespace kel::ui

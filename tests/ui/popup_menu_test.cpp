// Popup menus from the module's menu resource: entries built, marked, captioned and tracked.
#include <cstring>
#include <iterator>

#include <gtest/gtest.h>

#include "tests/support/modal_robot.h"
#include "ui/menu_commands.h"
#include "ui/menu_table.h"
#include "ui/popup_menu.h"

using namespace kel::ui;

namespace {

TEST(PopupMenu, WithoutAPopupEveryOperationRefuses) {
    PopupMenu menu;
    char text[16] = "untouched";
    EXPECT_FALSE(menu.isValid());
    EXPECT_FALSE(menu.check(1, true));
    EXPECT_FALSE(menu.enable(1, true));
    EXPECT_FALSE(menu.append(1, "a", 0));
    EXPECT_FALSE(menu.insert(0, 1, "a", PopupMenu::kByPosition));
    EXPECT_FALSE(menu.modify(0, 1, "a", PopupMenu::kByPosition));
    EXPECT_FALSE(menu.caption(1, text, sizeof(text)));
    EXPECT_EQ(menu.track(0, 0, nullptr), -1);
    EXPECT_FALSE(menu.load(KEL_MENU_RESOURCE, 7)); // no such popup
    EXPECT_FALSE(menu.load(999, 0));               // no such resource
    EXPECT_EQ(menu.track(0, 0, nullptr), -1);
}

TEST(PopupMenu, TheMenuResourceHoldsTheOptionsAndTheSlotMenu) {
    PopupMenu options;
    ASSERT_TRUE(options.load(KEL_MENU_RESOURCE, KEL_OPTIONS_POPUP));
    HMENU menu = options.handle();
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(GetMenuItemID(menu, count - 2), static_cast<UINT>(KEL_CMD_HELP));
    EXPECT_EQ(captionAt(menu, count - 2), "&Help");
    EXPECT_EQ(GetMenuItemID(menu, count - 1), static_cast<UINT>(KEL_CMD_ABOUT));
    EXPECT_EQ(captionAt(menu, count - 1), "&About Plug-In ...");
    for (UINT command :
         {KEL_CMD_EXPORT_PRESETS, KEL_CMD_IMPORT_PRESETS, KEL_CMD_DELETE_ALL_PRESETS}) {
        EXPECT_NE(GetMenuState(menu, command, MF_BYCOMMAND), static_cast<UINT>(-1)) << command;
    }

    PopupMenu slot;
    ASSERT_TRUE(slot.load(KEL_MENU_RESOURCE, KEL_SLOT_POPUP));
    EXPECT_EQ(GetMenuItemID(slot.handle(), 0), static_cast<UINT>(KEL_CMD_RELOAD_SLOT));
    EXPECT_EQ(captionAt(slot.handle(), 0), "Current");
    EXPECT_TRUE(GetMenuState(slot.handle(), 1, MF_BYPOSITION) & MF_SEPARATOR);
    for (UINT command :
         {KEL_CMD_STORE_NEW_PRESET, KEL_CMD_OVERWRITE_PRESET, KEL_CMD_DELETE_PRESET}) {
        EXPECT_NE(GetMenuState(slot.handle(), command, MF_BYCOMMAND), static_cast<UINT>(-1));
    }
}

// What the other platforms draw from the table is what Windows shows from the resource.
TEST(PopupMenu, TheMenuTableIsTheMenuResource) {
    struct Popup {
        int number;
        const MenuEntry* entries;
        std::size_t count;
    };
    const Popup popups[] = {
        {KEL_OPTIONS_POPUP, kOptionsMenuEntries, std::size(kOptionsMenuEntries)},
        {KEL_SLOT_POPUP, kSlotMenuEntries, std::size(kSlotMenuEntries)},
    };
    for (const Popup& popup : popups) {
        SCOPED_TRACE(popup.number);
        PopupMenu menu;
        ASSERT_TRUE(menu.load(KEL_MENU_RESOURCE, popup.number));
        ASSERT_EQ(GetMenuItemCount(menu.handle()), static_cast<int>(popup.count));
        for (std::size_t i = 0; i < popup.count; ++i) {
            const MenuEntry& entry = popup.entries[i];
            const int position = static_cast<int>(i);
            const UINT state = GetMenuState(menu.handle(), static_cast<UINT>(i), MF_BYPOSITION);
            EXPECT_EQ((state & MF_SEPARATOR) != 0, entry.caption == nullptr) << i;
            if (entry.caption) {
                EXPECT_EQ(state & (MF_GRAYED | MF_CHECKED | MF_POPUP), 0u) << i;
                EXPECT_EQ(GetMenuItemID(menu.handle(), position), static_cast<UINT>(entry.command))
                    << i;
                EXPECT_EQ(captionAt(menu.handle(), position), entry.caption) << i;
            }
        }
    }
}

TEST(PopupMenu, BuildsMarksAndCaptionsEntries) {
    PopupMenu menu;
    PopupMenu submenu;
    ASSERT_TRUE(menu.create());
    ASSERT_TRUE(submenu.create());
    ASSERT_TRUE(menu.append(10, "Ten", 0));
    ASSERT_TRUE(menu.append(0, nullptr, PopupMenu::kSeparator));
    ASSERT_TRUE(menu.append(30, "Thirty", PopupMenu::kMenuBarBreak));
    ASSERT_TRUE(submenu.append(20, "Twenty", 0));
    ASSERT_TRUE(menu.insert(2, reinterpret_cast<UINT_PTR>(submenu.handle()), "Sub",
                            PopupMenu::kPopup | PopupMenu::kByPosition | PopupMenu::kGreyed));
    ASSERT_TRUE(menu.insert(30, 25, "Before thirty", 0)); // by command

    HMENU handle = menu.handle();
    ASSERT_EQ(GetMenuItemCount(handle), 5);
    EXPECT_EQ(GetSubMenu(handle, 2), submenu.handle());
    EXPECT_TRUE(GetMenuState(handle, 2, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_EQ(GetMenuItemID(handle, 3), 25u);
    EXPECT_TRUE(GetMenuState(handle, 30, MF_BYCOMMAND) & MF_MENUBARBREAK);

    ASSERT_TRUE(menu.check(20, true)); // found inside the submenu
    EXPECT_TRUE(GetMenuState(submenu.handle(), 20, MF_BYCOMMAND) & MF_CHECKED);
    ASSERT_TRUE(menu.check(20, false));
    EXPECT_FALSE(GetMenuState(submenu.handle(), 20, MF_BYCOMMAND) & MF_CHECKED);
    ASSERT_TRUE(menu.enable(10, false));
    EXPECT_TRUE(GetMenuState(handle, 10, MF_BYCOMMAND) & MF_GRAYED);
    ASSERT_TRUE(menu.enable(10, true));
    EXPECT_FALSE(GetMenuState(handle, 10, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_FALSE(menu.check(99, true));

    char text[64] = {};
    ASSERT_TRUE(menu.caption(20, text, sizeof(text)));
    EXPECT_STREQ(text, "Twenty");
    char small[4] = {};
    ASSERT_TRUE(menu.caption(30, small, sizeof(small)));
    EXPECT_STREQ(small, "Thi");
    EXPECT_FALSE(menu.caption(99, text, sizeof(text)));

    // Modified captions show every "&" literally.
    ASSERT_TRUE(menu.modify(0, 11, "Rock & Roll && more", PopupMenu::kByPosition));
    EXPECT_EQ(GetMenuItemID(handle, 0), 11u);
    EXPECT_EQ(captionAt(handle, 0), "Rock && Roll &&&& more");
    EXPECT_EQ(literalMenuCaption("&A&"), "&&A&&");

    // Taken out, the submenu is its own again and both are destroyed once each.
    ASSERT_TRUE(menu.detach(submenu.handle()));
    EXPECT_EQ(GetMenuItemCount(handle), 4);
    EXPECT_FALSE(menu.detach(submenu.handle()));
    EXPECT_TRUE(IsMenu(submenu.handle()));
}

// A plug-in window at (200, 150) for the menus to open beside.
HWND showOwner() {
    return CreateWindowA("STATIC", "owner", WS_POPUP | WS_VISIBLE, 200, 150, 100, 80, nullptr,
                         nullptr, nullptr, nullptr);
}

TEST(PopupMenu, TrackShowsThePopupBesideItsOwnerAndAnswersTheChoice) {
    HWND owner = showOwner();
    PopupMenu menu;
    ASSERT_TRUE(menu.create());
    menu.append(41, "A & B", 0);
    menu.append(42, "Second", 0);
    RECT shown{};
    int chosen = 0;
    {
        ModalRobot robot([&](ModalRobot& r) {
            HWND window = r.waitForMenu();
            GetWindowRect(window, &shown);
            r.chooseCommand(window, 42);
        });
        chosen = menu.track(30, 20, owner);
        EXPECT_EQ(robot.finish(), std::vector<std::string>{});
    }
    EXPECT_EQ(chosen, 42);
    EXPECT_EQ(shown.left, 230);
    EXPECT_EQ(shown.top, 170);
    {
        ModalRobot robot([](ModalRobot& r) { r.dismissMenu(r.waitForMenu()); });
        chosen = menu.track(0, 0, owner);
        EXPECT_EQ(robot.finish(), std::vector<std::string>{});
    }
    EXPECT_EQ(chosen, 0);
    DestroyWindow(owner);
}

// The test robot's menu helper: a menu call that ends before its menu is seen is made once more,
// and a menu that never shows is reported, at once rather than after the robot's timeout.
TEST(PopupMenu, AMenuThatEndsUnseenIsOpenedOnceMore) {
    HWND owner = showOwner();
    PopupMenu menu;
    ASSERT_TRUE(menu.create());
    menu.append(41, "Only", 0);
    auto choose = [](ModalRobot& r, HWND window) { r.chooseCommand(window, 41); };

    int calls = 0;
    std::vector<std::string> problems;
    const int chosen = ModalRobot::answerMenu(
        [&] { return ++calls == 1 ? 0 : menu.track(0, 0, owner); }, choose, problems);
    EXPECT_EQ(chosen, 41);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(problems, std::vector<std::string>{});

    calls = 0;
    const DWORD start = GetTickCount();
    EXPECT_EQ(ModalRobot::answerMenu([&] { return ++calls; }, choose, problems), 2);
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_EQ(problems, (std::vector<std::string>{"no window of class #32768",
                                                  "no menu entry with command 41"}));
    DestroyWindow(owner);
}

} // namespace

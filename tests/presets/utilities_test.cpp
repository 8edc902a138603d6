// The menu, settings and help utilities the preset bank relies on.
#include <cstring>

#include <gtest/gtest.h>

#include "editor/help.h"
#include "editor/menu_commands.h"
#include "editor/popup_menu.h"
#include "editor/settings.h"
#include "tests/presets/modal_robot.h"
#include "tests/presets/preset_test_support.h"

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

TEST(PopupMenu, TrackShowsThePopupBesideItsOwnerAndAnswersTheChoice) {
    HWND owner = CreateWindowA("STATIC", "owner", WS_POPUP | WS_VISIBLE, 200, 150, 100, 80, nullptr,
                               nullptr, nullptr, nullptr);
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

class SettingsTest : public ::testing::Test {
protected:
    void setSetting(const char* name, DWORD type, const Bytes& data, std::size_t count = 0) {
        HKEY key = nullptr;
        char noClass[] = "";
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, noClass, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, type, data.data(),
                       static_cast<DWORD>(count ? count : data.size()));
        RegCloseKey(key);
    }
    static Bytes text(const std::string& value) {
        Bytes bytes(value.begin(), value.end());
        bytes.push_back(0);
        return bytes;
    }

    RegistrySandbox sandbox{true};
};

TEST_F(SettingsTest, StringSettingsAreReadAndAnythingElseGivesTheDefault) {
    char face[32] = {};
    EXPECT_EQ(readSetting("FontName", face, sizeof(face), "Arial"), -1); // no key
    EXPECT_STREQ(face, "Arial");
    setSetting("Other", REG_SZ, text("x"));
    EXPECT_EQ(readSetting("FontName", face, sizeof(face), "Arial"), -1); // no value
    EXPECT_STREQ(face, "Arial");
    setSetting("FontName", REG_DWORD, {1, 0, 0, 0});
    EXPECT_EQ(readSetting("FontName", face, sizeof(face), "Arial"), -1);
    EXPECT_STREQ(face, "Arial");
    setSetting("FontName", REG_SZ, text("Tahoma"));
    EXPECT_EQ(readSetting("FontName", face, sizeof(face), "Arial"), 1);
    EXPECT_STREQ(face, "Tahoma");
    setSetting("FontName", REG_SZ, text(std::string(40, 'F')));
    EXPECT_EQ(readSetting("FontName", face, sizeof(face), "Arial"), -1); // does not fit
    EXPECT_STREQ(face, "Arial");
}

TEST_F(SettingsTest, ReadTextsAreAlwaysTerminatedWithinTheBuffer) {
    char face[8];
    std::memset(face, '#', sizeof(face));
    // Fills the buffer, no terminator (which a string gets when the byte after it is zero).
    setSetting("FontName", REG_SZ, Bytes(9, 'W'), 8);
    EXPECT_EQ(readSetting("FontName", face, sizeof(face), "Arial"), 1);
    EXPECT_STREQ(face, "WWWWWWW");
    char tiny[4];
    EXPECT_EQ(readSetting("Missing", tiny, sizeof(tiny), "Arial"), -1);
    EXPECT_STREQ(tiny, "Ari");
}

TEST_F(SettingsTest, TheHelpFileIsLookedForInTheHelpPathOrNextToTheModule) {
    char path[kHelpPathSize] = {};
    helpFilePath(path);
    EXPECT_EQ(std::string(path), folderOfProgram() + "Orvalle1.chm");
    setSetting("Help Path", REG_SZ, text("C:\\Docs\\Help\\"));
    helpFilePath(path);
    EXPECT_STREQ(path, "C:\\Docs\\Help\\Orvalle1.chm");
    setSetting("Help Path", REG_SZ, text("C:\\Docs\\Help"));
    helpFilePath(path);
    EXPECT_STREQ(path, "C:\\Docs\\Orvalle1.chm");
    setSetting("Help Path", REG_SZ, text("D:"));
    helpFilePath(path);
    EXPECT_STREQ(path, "D:Orvalle1.chm");
    setSetting("Help Path", REG_DWORD, {1, 0, 0, 0});
    helpFilePath(path);
    EXPECT_EQ(std::string(path), folderOfProgram() + "Orvalle1.chm");

    char shortPath[12] = "C:\\Docs\\x";
    replaceFileName(shortPath, sizeof(shortPath), "Orvalle1.chm");
    EXPECT_STREQ(shortPath, "C:\\Docs\\Orv");
}

HMODULE failingLoader(const char*) {
    return nullptr;
}

std::vector<std::string> loaded;
HMODULE recordingLoader(const char* path) {
    loaded.push_back(path);
    return nullptr;
}

TEST(Help, WithoutHtmlHelpTheFirstCallTriesOnceAndLaterCallsDoNotTryAgain) {
    HWND window = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    HtmlHelpBinding missing(&failingLoader);
    EXPECT_EQ(missing.loadAttempts(), 0);
    EXPECT_FALSE(openHelp(window, missing));
    const int attempts = missing.loadAttempts();
    EXPECT_GE(attempts, 1);
    EXPECT_FALSE(openHelp(window, missing));
    EXPECT_TRUE(openHelp(nullptr, missing));
    EXPECT_EQ(missing.loadAttempts(), attempts);

    // The registered control first, then the module by its name.
    HtmlHelpBinding recording(&recordingLoader);
    EXPECT_EQ(recording.function(), nullptr);
    char registered[MAX_PATH] = {};
    if (registeredHtmlHelpModule(registered, sizeof(registered))) {
        EXPECT_EQ(loaded, (std::vector<std::string>{registered, "hhctrl.ocx"}));
    } else {
        EXPECT_EQ(loaded, std::vector<std::string>{"hhctrl.ocx"});
    }
    DestroyWindow(window);
}

HWND findHelpWindow() {
    return FindWindowA(nullptr, "Orvalle Vol.2 Help");
}

void pumpMessages(int milliseconds) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    while (static_cast<LONG>(GetTickCount() - end) < 0) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
}

TEST(Help, OpensTheHelpFileNextToTheModuleAtItsTopicAndClosesIt) {
    ASSERT_NE(GetFileAttributesA((folderOfProgram() + "Orvalle1.chm").c_str()),
              INVALID_FILE_ATTRIBUTES);
    HWND window = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(openHelp(window));
    pumpMessages(300);
    HWND help = findHelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(IsWindowVisible(help));
    EXPECT_TRUE(openHelp(nullptr));
    pumpMessages(300);
    EXPECT_EQ(findHelpWindow(), nullptr);
    DestroyWindow(window);
}

TEST(Help, AHelpPathWithoutTheFileShowsNoHelp) {
    RegistrySandbox sandbox(true);
    HKEY key = nullptr;
    char noClass[] = "";
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, noClass, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::string empty = testFolder();
    RegSetValueExA(key, "Help Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(empty.c_str()),
                   static_cast<DWORD>(empty.size() + 1));
    RegCloseKey(key);
    HWND window = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_FALSE(openHelp(window));
    DestroyWindow(window);
}

} // namespace

// The help launcher: HTML Help loaded once, the help file opened at its topic and closed.
#include <cstring>

#include <gtest/gtest.h>

#include "tests/support/modal_robot.h"
#include "tests/support/sandbox.h"
#include "ui/help.h"
#include "ui/settings.h"
#include "win32/messages.h"

using namespace kel::ui;

namespace {

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

TEST(Help, OpensTheHelpFileNextToTheModuleAtItsTopicAndClosesIt) {
    ASSERT_NE(GetFileAttributesA((folderOfProgram() + "Orvalle1.chm").c_str()),
              INVALID_FILE_ATTRIBUTES);
    HWND window = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_TRUE(openHelp(window));
    kel::win32::pumpMessagesFor(0.3);
    HWND help = findHelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(IsWindowVisible(help));
    EXPECT_TRUE(openHelp(nullptr));
    kel::win32::pumpMessagesFor(0.3);
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

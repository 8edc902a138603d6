// The name dialog for real, answered by a robot: the field starts with the slot's name, offers
// the user presets, takes at most 64 characters, and confirms, refuses or cancels.
#include <gtest/gtest.h>

#include "tests/presets/preset_test_support.h"
#include "tests/support/modal_robot.h"
#include "ui/menu_commands.h"

using namespace kel::host;
using namespace kel::clean;
using namespace kel::presets;

namespace {

constexpr int kNameField = 10;

class NameDialog : public ::testing::Test {
protected:
    void SetUp() override {
        resetTestHost();
        owner = CreateWindowA("STATIC", "Plug-in window", WS_POPUP | WS_VISIBLE, 120, 90, 266, 220,
                              nullptr, nullptr, nullptr, nullptr);
        plugin.bank().setOwnerWindow(owner);
        plugin.bank().setUserInterface(&ui);
    }
    void TearDown() override {
        plugin.close();
        DestroyWindow(owner);
    }
    // Runs the dialog for the slot; the script gets the dialog and its name field.
    int run(int slot, const std::function<void(ModalRobot&, HWND, HWND)>& script) {
        ModalRobot robot([&](ModalRobot& r) {
            HWND dialog = r.waitForWindow("#32770");
            script(r, dialog, GetDlgItem(dialog, kNameField));
        });
        const int result = plugin.bank().showNameDialog(slot);
        EXPECT_EQ(robot.finish(), std::vector<std::string>{});
        return result;
    }
    static std::string text(HWND field) { return ModalRobot::windowText(field); }
    static void type(HWND field, const std::string& characters) {
        HWND edit = GetWindow(field, GW_CHILD);
        for (char c : characters) {
            SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(c), 0);
        }
    }

    RegistrySandbox sandbox;
    Instance<CleanModel> plugin;
    ScriptedUserInterface ui;
    HWND owner = nullptr;
};

TEST_F(NameDialog, StartsWithTheSlotsNameOverTheEditorAndRefusesBuiltInNames) {
    std::string shown;
    RECT place{};
    RECT dropped{};
    const int result = run(2, [&](ModalRobot& r, HWND dialog, HWND field) {
        shown = text(field);
        GetWindowRect(dialog, &place);
        SendMessageA(field, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
        r.press(dialog, IDOK);
    });
    EXPECT_EQ(result, 0); // "Low Hot" is a built-in preset's name
    EXPECT_EQ(shown, builtInName<CleanModel>(2));
    EXPECT_EQ(place.left, 120 + 17);
    EXPECT_EQ(place.top, 90 + 110);
    EXPECT_EQ(place.right - place.left, 167);
    // Nothing to list: the field has no room to drop a list into (15 pixels in all).
    EXPECT_LE(dropped.bottom - dropped.top, 15);
    EXPECT_TRUE(listedPresets(plugin.bank()).empty());
}

TEST_F(NameDialog, TypedAndChosenNamesAreStoredAndPutIntoTheSlot) {
    plugin.setSettings({20, 3, 50});
    EXPECT_EQ(run(1,
                  [](ModalRobot& r, HWND dialog, HWND field) {
                      SetWindowTextA(field, "");
                      type(field, "Edge of Breakup");
                      r.press(dialog, 20);
                  }),
              1);
    PresetValues stored{};
    ASSERT_TRUE(readStoredPresetValues("Edge of Breakup", stored));
    EXPECT_EQ(stored, (PresetValues{20, 3, 50}));
    EXPECT_EQ(slotName(plugin.bank(), 1), "Edge of Breakup");

    // The list offers it; choosing it in slot 3 overwrites it with the settings of now.
    plugin.setSettings({60, 9, 30});
    int listed = 0;
    RECT dropped{};
    EXPECT_EQ(run(3,
                  [&](ModalRobot& r, HWND dialog, HWND field) {
                      listed = static_cast<int>(SendMessageA(field, CB_GETCOUNT, 0, 0));
                      SendMessageA(field, CB_GETDROPPEDCONTROLRECT, 0,
                                   reinterpret_cast<LPARAM>(&dropped));
                      SendMessageA(field, CB_SETCURSEL, 0, 0);
                      r.press(dialog, IDOK);
                  }),
              1);
    EXPECT_EQ(listed, 1);
    EXPECT_GT(dropped.bottom - dropped.top, 40); // 75 pixels with the field
    ASSERT_TRUE(readStoredPresetValues("Edge of Breakup", stored));
    EXPECT_EQ(stored, (PresetValues{60, 9, 30}));
    EXPECT_EQ(slotName(plugin.bank(), 3), "Edge of Breakup");
}

TEST_F(NameDialog, AtMost64CharactersAndEveryWayToCancel) {
    // Typing stops at 64 characters.
    std::string typed;
    EXPECT_EQ(run(1,
                  [&](ModalRobot& r, HWND dialog, HWND field) {
                      SetWindowTextA(field, "");
                      type(field, std::string(70, 'x'));
                      typed = text(field);
                      r.press(dialog, IDCANCEL);
                  }),
              -1);
    EXPECT_EQ(typed, std::string(64, 'x'));

    // A longer text put there otherwise is refused with a warning; the dialog stays open.
    EXPECT_EQ(run(1,
                  [&](ModalRobot& r, HWND dialog, HWND field) {
                      SetWindowTextA(field, std::string(65, 'y').c_str());
                      r.press(dialog, IDOK);
                      Sleep(300);
                      EXPECT_TRUE(IsWindow(dialog));
                      r.press(dialog, kNameField + 11); // 21 cancels
                  }),
              -1);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Max. 64 characters!");
    EXPECT_EQ(ui.messages[0].caption, "Sonadrix Plug-In");
    EXPECT_EQ(ui.messages[0].style & (MB_ICONWARNING | MB_SYSTEMMODAL),
              static_cast<UINT>(MB_ICONWARNING | MB_SYSTEMMODAL));

    EXPECT_EQ(run(1, [](ModalRobot&, HWND dialog,
                        HWND) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }),
              -1);
    EXPECT_TRUE(listedPresets(plugin.bank()).empty());
}

} // namespace

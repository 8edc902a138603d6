// The modal pieces for real: popup menus, message boxes and the common file dialogs, answered
// from the keyboard by a robot as a user would answer them.
#include <gtest/gtest.h>

#include "tests/presets/preset_test_support.h"
#include "tests/support/modal_robot.h"
#include "ui/help.h"
#include "ui/menu_commands.h"

using namespace kel::host;
using namespace kel::clean;
using namespace kel::presets;
using namespace kel::ui;

namespace {

constexpr int kOwnerLeft = 100;
constexpr int kOwnerTop = 100;

std::vector<std::string> captions(HMENU menu) {
    std::vector<std::string> texts;
    const int count = menu ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        texts.push_back(captionAt(menu, i));
    }
    return texts;
}

bool hasState(HMENU menu, UINT command, UINT state) {
    const UINT flags = GetMenuState(menu, command, MF_BYCOMMAND);
    return flags != static_cast<UINT>(-1) && (flags & state);
}

class ModalTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetTestHost();
        owner = CreateWindowA("STATIC", "Plug-in window", WS_POPUP | WS_VISIBLE, kOwnerLeft,
                              kOwnerTop, 266, 220, nullptr, nullptr, nullptr, nullptr);
        plugin.bank().setOwnerWindow(owner);
        folder = testFolder();
    }
    void TearDown() override {
        plugin.close();
        DestroyWindow(owner);
    }

    // Runs the slot menu of a slot; the script sees the menu and answers it.
    SlotMenuResult slotMenu(int slot, const std::function<void(ModalRobot&, HWND, HMENU)>& script) {
        std::vector<std::string> problems;
        const SlotMenuResult result = ModalRobot::answerMenu(
            [&] { return plugin.bank().trackSlotMenu(slot, 12 + 32 * slot, 157); },
            [&](ModalRobot& r, HWND window) { script(r, window, ModalRobot::menuOf(window)); },
            problems);
        EXPECT_EQ(problems, std::vector<std::string>{});
        return result;
    }
    SlotMenuResult choose(int slot, UINT command) {
        return slotMenu(slot, [command](ModalRobot& r, HWND window, HMENU) {
            r.chooseCommand(window, command);
        });
    }
    // The options menu; after choosing the command (0: dismissing the menu) the script answers
    // what follows.
    int options(UINT command, const std::function<void(ModalRobot&)>& then = nullptr) {
        std::vector<std::string> problems;
        const int result =
            ModalRobot::answerMenu([&] { return plugin.bank().trackOptionsMenu(20, 30); },
                                   [&](ModalRobot& r, HWND window) {
                                       if (command == 0) {
                                           r.dismissMenu(window);
                                       } else {
                                           r.chooseCommand(window, command);
                                       }
                                       if (then) {
                                           then(r);
                                       }
                                   },
                                   problems);
        EXPECT_EQ(problems, std::vector<std::string>{});
        return result;
    }

    RegistrySandbox sandbox;
    Instance<CleanModel> plugin;
    HWND owner = nullptr;
    std::string folder;
};

TEST_F(ModalTest, SlotMenuShowsTheSlotsPresetsAndLoadsTheOneChosen) {
    KelPresetBank& bank = plugin.bank();
    plugin.setSettings({33, 3, 33});
    ASSERT_TRUE(bank.storeNewPreset(2, "Rock & Roll"));

    std::string first;
    std::vector<std::string> entries;
    std::vector<std::string> builtIns;
    std::vector<std::string> users;
    bool overwriteGreyed = true;
    bool deleteGreyed = true;
    bool userChecked = false;
    RECT shown{};
    const SlotMenuResult result = slotMenu(2, [&](ModalRobot& r, HWND window, HMENU menu) {
        GetWindowRect(window, &shown);
        first = captionAt(menu, 0);
        entries = captions(menu);
        builtIns = captions(GetSubMenu(menu, 2));
        users = captions(GetSubMenu(menu, 3));
        overwriteGreyed = hasState(menu, KEL_CMD_OVERWRITE_PRESET, MF_GRAYED);
        deleteGreyed = hasState(menu, KEL_CMD_DELETE_PRESET, MF_GRAYED);
        userChecked = hasState(menu, KEL_CMD_PRESET_BASE + 100, MF_CHECKED);
        r.chooseCommand(window, KEL_CMD_PRESET_BASE + 3);
    });
    EXPECT_EQ(first, "Rock && Roll"); // shows as "Rock & Roll"
    ASSERT_GE(entries.size(), 4u);
    EXPECT_EQ(entries[2], "Built-In");
    EXPECT_EQ(entries[3], "User Presets");
    EXPECT_EQ(builtIns, (std::vector<std::string>{"Default", "Low Hot", "Low Bright", "High Hot",
                                                  "High Bright"}));
    EXPECT_EQ(users, std::vector<std::string>{"Rock && Roll"});
    EXPECT_FALSE(overwriteGreyed);
    EXPECT_FALSE(deleteGreyed);
    EXPECT_TRUE(userChecked);
    // Below P2's button: 12 + 32 * 2, and 10 pixels under the point asked for.
    EXPECT_EQ(shown.left, kOwnerLeft + 76);
    EXPECT_EQ(shown.top, kOwnerTop + 167);

    EXPECT_EQ(result, SlotMenuResult::kLoaded);
    EXPECT_EQ(slotName(bank, 2), "High Hot");
    EXPECT_EQ(plugin.effect().getProgram(), 3);
}

TEST_F(ModalTest, SlotMenuCommandsOnBuiltInAndUserSlots) {
    KelPresetBank& bank = plugin.bank();
    plugin.setSettings({20, 5, 80});
    ASSERT_TRUE(bank.storeNewPreset(4, "Mine"));

    // A built-in slot: overwrite and delete are greyed and do nothing when chosen.
    bool greyed = false;
    bool builtInChecked = false;
    EXPECT_EQ(slotMenu(1,
                       [&](ModalRobot& r, HWND window, HMENU menu) {
                           greyed = hasState(menu, KEL_CMD_OVERWRITE_PRESET, MF_GRAYED) &&
                                    hasState(menu, KEL_CMD_DELETE_PRESET, MF_GRAYED);
                           builtInChecked = hasState(menu, KEL_CMD_PRESET_BASE + 1, MF_CHECKED);
                           r.chooseCommand(window, KEL_CMD_OVERWRITE_PRESET);
                           Sleep(200);
                           r.dismissMenu(window);
                       }),
              SlotMenuResult::kDismissed);
    EXPECT_TRUE(greyed);
    EXPECT_TRUE(builtInChecked);
    EXPECT_TRUE(bank.isBuiltInSlot(1));

    EXPECT_EQ(choose(1, KEL_CMD_STORE_NEW_PRESET), SlotMenuResult::kStoreAsNew);
    EXPECT_EQ(slotMenu(1, [](ModalRobot& r, HWND window, HMENU) { r.dismissMenu(window); }),
              SlotMenuResult::kDismissed);

    // The user preset into slot 1, then overwritten with the settings, then deleted.
    plugin.setSettings({0, 0, 0});
    EXPECT_EQ(choose(1, KEL_CMD_PRESET_BASE + 100), SlotMenuResult::kLoaded);
    EXPECT_EQ(slotName(bank, 1), "Mine");
    EXPECT_EQ(plugin.settings(), (PresetValues{20, 5, 80}));
    // The choice outlives a refresh that another instance causes.
    {
        Instance<CleanModel> other;
        ASSERT_TRUE(other.bank().storeNewPreset(3, "Elsewhere"));
    }
    ASSERT_TRUE(waitForRefreshNeed(bank));
    EXPECT_EQ(slotName(bank, 1), "Mine");
    plugin.setSettings({66, 6, 66});
    EXPECT_EQ(choose(1, KEL_CMD_OVERWRITE_PRESET), SlotMenuResult::kOverwritten);
    PresetValues stored{};
    ASSERT_TRUE(readStoredPresetValues("Mine", stored));
    EXPECT_EQ(stored, (PresetValues{66, 6, 66}));
    EXPECT_EQ(choose(1, KEL_CMD_DELETE_PRESET), SlotMenuResult::kDeleted);
    EXPECT_FALSE(readValue(kUserPresetKey, "Mine").exists);
    EXPECT_EQ(slotName(bank, 1), "Low Hot");
    EXPECT_EQ(slotName(bank, 4), "High Bright");
    EXPECT_EQ(plugin.effect().getProgram(), 1); // slot 1 was loaded again
}

TEST_F(ModalTest, DeleteAllFromTheOptionsMenuAsksInARealMessageBox) {
    KelPresetBank& bank = plugin.bank();
    bool exportGreyed = false;
    bool deleteGreyed = false;
    {
        std::vector<std::string> problems;
        EXPECT_EQ(ModalRobot::answerMenu(
                      [&] { return bank.trackOptionsMenu(20, 30); },
                      [&](ModalRobot& r, HWND window) {
                          HMENU menu = ModalRobot::menuOf(window);
                          exportGreyed = hasState(menu, KEL_CMD_EXPORT_PRESETS, MF_GRAYED);
                          deleteGreyed = hasState(menu, KEL_CMD_DELETE_ALL_PRESETS, MF_GRAYED);
                          r.chooseCommand(window, KEL_CMD_ABOUT);
                      },
                      problems),
                  KEL_CMD_ABOUT);
        EXPECT_EQ(problems, std::vector<std::string>{});
    }
    EXPECT_TRUE(exportGreyed); // nothing to export or delete yet
    EXPECT_TRUE(deleteGreyed);

    ASSERT_TRUE(bank.storeNewPreset(1, "Doomed"));
    std::string text;
    std::string caption;
    for (int answer : {IDNO, IDCANCEL}) {
        EXPECT_EQ(options(KEL_CMD_DELETE_ALL_PRESETS,
                          [&](ModalRobot& r) {
                              HWND box = r.waitForWindow("#32770");
                              text = ModalRobot::messageText(box);
                              caption = ModalRobot::windowText(box);
                              r.press(box, answer);
                          }),
                  -KEL_CMD_DELETE_ALL_PRESETS);
        EXPECT_EQ(text, "Are You sure you want to delete all user presets?");
        EXPECT_EQ(caption, "Sonadrix Plug-In");
        EXPECT_TRUE(readValue(kUserPresetKey, "Doomed").exists);
    }
    EXPECT_EQ(options(KEL_CMD_DELETE_ALL_PRESETS,
                      [](ModalRobot& r) { r.press(r.waitForWindow("#32770"), IDYES); }),
              KEL_CMD_DELETE_ALL_PRESETS);
    EXPECT_FALSE(readValue(kUserPresetKey, "Doomed").exists);
    EXPECT_EQ(options(0), 0);
}

TEST_F(ModalTest, ExportAndImportThroughTheRealFileDialogs) {
    KelPresetBank& bank = plugin.bank();
    plugin.setSettings({40, 3, 91});
    ASSERT_TRUE(bank.storeNewPreset(1, "Warm"));
    const std::string file = folder + "exported";
    std::string proposed;
    EXPECT_EQ(options(KEL_CMD_EXPORT_PRESETS,
                      [&](ModalRobot& r) {
                          HWND dialog = r.waitForWindow("#32770", "Save User Presets As...");
                          proposed = ModalRobot::fileName(dialog);
                          r.enterFileName(dialog, file); // a new file, not there yet
                      }),
              KEL_CMD_EXPORT_PRESETS);
    EXPECT_EQ(proposed, "HN-6 Clean Preamp.kpa");
    const Bytes archive = readFile(file + ".kpa"); // the default extension was added
    ASSERT_EQ(archive.size(), 20u + 112u);

    ASSERT_TRUE(writeStoredPreset("Warm", {1, 1, 1}, 48));
    std::string question;
    EXPECT_EQ(options(KEL_CMD_IMPORT_PRESETS,
                      [&](ModalRobot& r) {
                          HWND dialog = r.waitForWindow("#32770", "Load Presets From...");
                          proposed = ModalRobot::fileName(dialog);
                          r.enterFileName(dialog, file + ".kpa");
                          HWND box = r.waitForWindow("#32770", "Sonadrix Plug-In");
                          question = ModalRobot::messageText(box);
                          r.press(box, IDYES);
                      }),
              KEL_CMD_IMPORT_PRESETS);
    EXPECT_EQ(proposed, "*.kpa");
    EXPECT_EQ(question, "'Warm' preset already exists.\nDo you want to replace it?");
    PresetValues values{};
    ASSERT_TRUE(readStoredPresetValues("Warm", values));
    EXPECT_EQ(values, (PresetValues{40, 3, 91}));
}

TEST_F(ModalTest, ARefusedArchiveIsReportedInARealMessageBox) {
    const std::string file = folder + "not an archive.kpa";
    ASSERT_TRUE(writeFile(file, Bytes(40, 'x')));
    std::string text;
    EXPECT_EQ(options(KEL_CMD_IMPORT_PRESETS,
                      [&](ModalRobot& r) {
                          r.enterFileName(r.waitForWindow("#32770", "Load Presets From..."), file);
                          HWND box = r.waitForWindow("#32770", "Sonadrix Plug-In");
                          text = ModalRobot::messageText(box);
                          r.press(box, IDOK);
                      }),
              -KEL_CMD_IMPORT_PRESETS);
    EXPECT_EQ(text, "This is not a valid plug-in archive!");
    // Cancelling the dialog fails quietly.
    EXPECT_EQ(options(KEL_CMD_IMPORT_PRESETS,
                      [](ModalRobot& r) {
                          r.press(r.waitForWindow("#32770", "Load Presets From..."), IDCANCEL);
                      }),
              -KEL_CMD_IMPORT_PRESETS);
}

TEST_F(ModalTest, HelpFromTheOptionsMenuOpensTheHelpWindow) {
    EXPECT_EQ(options(KEL_CMD_HELP), KEL_CMD_HELP);
    HWND help = FindWindowA(nullptr, "Orvalle Vol.2 Help");
    EXPECT_NE(help, nullptr);
    EXPECT_TRUE(openHelp(nullptr));
}

} // namespace

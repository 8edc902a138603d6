// User presets and slot names in the registry, shared by every instance of both plug-ins, and
// what the bank does with registry contents it did not write itself.
#include <algorithm>

#include <gtest/gtest.h>

#include "tests/presets/preset_test_support.h"

using namespace kel::host;
using namespace kel::clean;
using namespace kel::crunch;
using namespace kel::presets;

namespace {

template <class Model>
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { resetTestHost(); }

    static constexpr int recordSize = PluginTraits<Model>::recordSize;
    RegistrySandbox sandbox;
};

using Models = ::testing::Types<CleanModel, CrunchModel>;
TYPED_TEST_SUITE(StoreTest, Models);

std::vector<std::string> sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SharedStore, BothPluginsKeepPresetsInOneKeyAndEachListsOnlyItsOwn) {
    RegistrySandbox sandbox;
    resetTestHost();
    {
        Instance<CleanModel> clean;
        Instance<CrunchModel> crunch;
        clean.setSettings({45, 15, 100});
        ASSERT_TRUE(clean.bank().storeNewPreset(1, "Glassy"));
        crunch.setSettings({80, 12, 40});
        ASSERT_TRUE(crunch.bank().storeNewPreset(2, "Grind"));

        EXPECT_EQ(sorted(valueNames(kUserPresetKey)),
                  (std::vector<std::string>{"Glassy", "Grind"}));
        EXPECT_EQ(readValue(kUserPresetKey, "Glassy").data.size(), 48u);
        EXPECT_EQ(readValue(kUserPresetKey, "Grind").data.size(), 32u);
        ASSERT_TRUE(waitForRefreshNeed(clean.bank()));
        EXPECT_EQ(listedPresets(clean.bank()), std::vector<std::string>{"Glassy"});
        EXPECT_EQ(listedPresets(crunch.bank()), std::vector<std::string>{"Grind"});
        // One set of slot names for both plug-ins: the last one to save wins.
        EXPECT_EQ(readSlotName(2), "Grind");
        clean.close();
        crunch.close();
        EXPECT_EQ(readSlotName(2), "Grind");
    }
    const Bytes grind = readValue(kUserPresetKey, "Grind").data;
    {
        // "Grind" names no preset of the HN-6: its slot 2 falls back to built-in preset 2.
        Instance<CleanModel> clean;
        EXPECT_EQ(slotName(clean.bank(), 2), "Low Bright");
        EXPECT_TRUE(clean.bank().isBuiltInSlot(2));
        ScriptedUserInterface ui;
        ui.defaultAnswer = IDYES;
        clean.bank().setUserInterface(&ui);
        ASSERT_TRUE(clean.bank().deleteAllUserPresets());
        clean.bank().setUserInterface(nullptr);
    }
    // Deleting all HN-6 presets left the KR-6 preset alone.
    EXPECT_EQ(readValue(kUserPresetKey, "Grind").data, grind);
    EXPECT_FALSE(readValue(kUserPresetKey, "Glassy").exists);
    Instance<CrunchModel> crunch;
    EXPECT_EQ(listedPresets(crunch.bank()), std::vector<std::string>{"Grind"});
}

TYPED_TEST(StoreTest, TwoInstancesSeeEachOthersPresetsWithoutReopening) {
    Instance<TypeParam> first;
    Instance<TypeParam> second;
    EXPECT_EQ(second.bank().userPresetCount(), 0);
    first.setSettings({5, 6, 7});
    ASSERT_TRUE(first.bank().storeNewPreset(1, "Fresh"));
    ASSERT_TRUE(waitForRefreshNeed(second.bank()));
    EXPECT_EQ(listedPresets(second.bank()), std::vector<std::string>{"Fresh"});

    ASSERT_TRUE(first.bank().deleteSlotPreset(1));
    ASSERT_TRUE(waitForRefreshNeed(second.bank()));
    EXPECT_EQ(second.bank().userPresetCount(), 0);
}

TYPED_TEST(StoreTest, NewPresetNamesAreCheckedAndStoredForTheSlot) {
    Instance<TypeParam> plugin;
    KelPresetBank& bank = plugin.bank();
    plugin.setSettings({31, 7, 87});
    EXPECT_FALSE(bank.storeNewPreset(1, std::string(65, 'x').c_str()));
    for (int i = 0; i < 5; ++i) {
        EXPECT_FALSE(bank.storeNewPreset(1, builtInName<TypeParam>(i)));
    }
    EXPECT_FALSE(bank.storeNewPreset(0, "Zero"));
    EXPECT_FALSE(bank.storeNewPreset(5, "Five"));
    EXPECT_FALSE(bank.storeNewPreset(1, nullptr));
    EXPECT_TRUE(valueNames(kUserPresetKey).empty());

    const std::string longest(64, 'L');
    ASSERT_TRUE(bank.storeNewPreset(1, longest.c_str()));
    EXPECT_EQ(slotName(bank, 1), longest);
    EXPECT_FALSE(bank.isBuiltInSlot(1));
    EXPECT_EQ(readSlotName(1), longest);
    PresetValues values{};
    ASSERT_TRUE(readStoredPresetValues(longest, values));
    EXPECT_EQ(values, (PresetValues{31, 7, 87}));

    // An empty name is the key's unnamed value, listed with an empty caption.
    ASSERT_TRUE(bank.storeNewPreset(2, ""));
    const RegistryValue unnamed = readValue(kUserPresetKey, "");
    EXPECT_TRUE(unnamed.exists);
    EXPECT_EQ(unnamed.data.size(), static_cast<std::size_t>(this->recordSize));
    EXPECT_EQ(sorted(listedPresets(bank)), (std::vector<std::string>{"", longest}));
}

TYPED_TEST(StoreTest, StoringUnderAnExistingNameOverwritesItAndTheSlotLoadsIt) {
    Instance<TypeParam> plugin;
    KelPresetBank& bank = plugin.bank();
    plugin.setSettings({1, 1, 1});
    ASSERT_TRUE(bank.storeNewPreset(1, "Mine"));
    ASSERT_EQ(bank.userPresetCount(), 1);

    // Slot 2 holds a built-in preset; storing "Mine" for it overwrites the existing preset, and
    // the slot loads that preset at once, not its former built-in one.
    plugin.setSettings({99, 14, 98});
    ASSERT_TRUE(bank.storeNewPreset(2, "Mine"));
    plugin.setSettings({0, 0, 0});
    plugin.effect().setProgram(0);
    ASSERT_TRUE(bank.recallSlot(2));
    EXPECT_EQ(plugin.settings(), (PresetValues{99, 14, 98}));
    EXPECT_EQ(plugin.effect().getProgram(), 0);
    EXPECT_EQ(bank.userPresetCount(), 1);
    EXPECT_FALSE(bank.isBuiltInSlot(2));
    EXPECT_EQ(readSlotName(2), "Mine");
}

TYPED_TEST(StoreTest, DeletingASlotsPresetResetsEverySlotThatHeldItAndNoOther) {
    Instance<TypeParam> plugin;
    KelPresetBank& bank = plugin.bank();
    ASSERT_TRUE(bank.storeNewPreset(2, "First"));
    ASSERT_TRUE(bank.storeNewPreset(3, "Second"));
    ASSERT_TRUE(bank.storeNewPreset(1, "Third"));
    ASSERT_TRUE(bank.storeNewPreset(4, "Third"));

    ASSERT_TRUE(bank.deleteSlotPreset(2));
    EXPECT_EQ(slotName(bank, 2), builtInName<TypeParam>(2));
    EXPECT_EQ(slotName(bank, 3), "Second");
    EXPECT_FALSE(readValue(kUserPresetKey, "First").exists);
    EXPECT_TRUE(readValue(kUserPresetKey, "Second").exists);
    EXPECT_EQ(readSlotName(2), builtInName<TypeParam>(2));
    EXPECT_FALSE(bank.deleteSlotPreset(2)); // now a built-in preset

    ASSERT_TRUE(bank.deleteSlotPreset(4));
    EXPECT_EQ(slotName(bank, 1), builtInName<TypeParam>(1));
    EXPECT_EQ(slotName(bank, 4), builtInName<TypeParam>(4));
    EXPECT_EQ(slotName(bank, 3), "Second");
    EXPECT_EQ(listedPresets(bank), std::vector<std::string>{"Second"});
    EXPECT_FALSE(bank.deleteSlotPreset(0));
    EXPECT_FALSE(bank.deleteSlotPreset(5));
}

TYPED_TEST(StoreTest, DeleteAllAsksFirstAndTouchesOnlyThisPluginsPresets) {
    using Other = typename PluginTraits<TypeParam>::Other;
    ASSERT_TRUE(writeStoredPreset("Theirs", {1, 2, 3}, PluginTraits<Other>::recordSize));
    ASSERT_TRUE(writeValue(kUserPresetKey, "Notes", REG_SZ, {'h', 'i', 0}));
    Instance<TypeParam> plugin;
    KelPresetBank& bank = plugin.bank();
    HWND owner = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                               nullptr);
    bank.setOwnerWindow(owner);
    ASSERT_TRUE(bank.storeNewPreset(1, "One"));
    ASSERT_TRUE(bank.storeNewPreset(3, "Two"));

    ScriptedUserInterface ui;
    bank.setUserInterface(&ui);
    ui.answers = {IDNO, IDCANCEL};
    EXPECT_FALSE(bank.deleteAllUserPresets());
    EXPECT_FALSE(bank.deleteAllUserPresets());
    EXPECT_EQ(sorted(listedPresets(bank)), (std::vector<std::string>{"One", "Two"}));
    ASSERT_EQ(ui.messages.size(), 2u);
    for (const auto& message : ui.messages) {
        EXPECT_EQ(message.text, "Are You sure you want to delete all user presets?");
        EXPECT_EQ(message.caption, "Sonadrix Plug-In");
        EXPECT_EQ(message.style, static_cast<UINT>(MB_YESNOCANCEL | MB_ICONQUESTION));
        EXPECT_EQ(message.owner, owner);
    }

    // Meanwhile the other plug-in stores its own "Two" over this one's: it is not deleted.
    const Bytes theirTwo = encodeStoredPreset({4, 5, 6}, PluginTraits<Other>::recordSize);
    ASSERT_TRUE(writeValue(kUserPresetKey, "Two", REG_BINARY, theirTwo));
    ui.answers = {IDYES};
    EXPECT_TRUE(bank.deleteAllUserPresets());
    EXPECT_EQ(bank.userPresetCount(), 0);
    EXPECT_EQ(slotName(bank, 1), builtInName<TypeParam>(1));
    EXPECT_EQ(slotName(bank, 3), builtInName<TypeParam>(3));
    EXPECT_EQ(readSlotName(3), builtInName<TypeParam>(3));
    EXPECT_EQ(sorted(valueNames(kUserPresetKey)),
              (std::vector<std::string>{"Notes", "Theirs", "Two"}));
    EXPECT_EQ(readValue(kUserPresetKey, "Two").data, theirTwo);
    bank.setUserInterface(nullptr);
    DestroyWindow(owner);
}

TYPED_TEST(StoreTest, ForeignRegistryValuesAreSkippedAndSurviveEverything) {
    const int size = this->recordSize;
    const Bytes preset = encodeStoredPreset({40, 4, 40}, size);
    const std::string longName(65, 'A');
    // Values that are no preset of this plug-in, though some come close.
    const std::vector<std::pair<std::string, std::pair<DWORD, Bytes>>> foreign = {
        {"Text",
         {REG_SZ,
          [&] {
              Bytes text(static_cast<std::size_t>(size), 'a');
              text.back() = 0; // the preset's size, terminator included
              return text;
          }()}},
        {"Short", {REG_BINARY, Bytes(preset.begin(), preset.end() - 1)}},
        {"Long",
         {REG_BINARY,
          [&] {
              Bytes longer = preset;
              longer.push_back(0);
              return longer;
          }()}},
        {"Empty", {REG_BINARY, Bytes()}},
        {"Number", {REG_DWORD, Bytes{1, 0, 0, 0}}},
        {"Huge", {REG_BINARY, Bytes(1 << 20, 0x5A)}},
        {longName, {REG_BINARY, preset}},
        {std::string(200, 'B'), {REG_BINARY, preset}},
    };
    for (const auto& value : foreign) {
        ASSERT_TRUE(
            writeValue(kUserPresetKey, value.first, value.second.first, value.second.second));
    }
    const std::string sixtyFour(64, 'G');
    ASSERT_TRUE(writeStoredPreset("!first", {1, 2, 3}, size));
    ASSERT_TRUE(writeStoredPreset("zz last", {4, 5, 6}, size));
    ASSERT_TRUE(writeStoredPreset(sixtyFour, {7, 8, 9}, size));
    // Slot names: one too long to read, one naming a foreign value, one stored without its
    // terminator (65 characters, of which the first 64 name a preset), one of another type.
    Bytes tooLong(66, 'A');
    tooLong.back() = 0;
    ASSERT_TRUE(writeValue(kQuickSlotKey, "P1", REG_SZ, tooLong));
    ASSERT_TRUE(writeSlotName(2, "Text"));
    // (A string written without its terminator gets one when the byte after it is zero.)
    ASSERT_TRUE(writeValue(kQuickSlotKey, "P3", REG_SZ, Bytes(66, 'G'), 65));
    ASSERT_EQ(readValue(kQuickSlotKey, "P3").data.size(), 65u);
    ASSERT_TRUE(
        writeValue(kQuickSlotKey, "P4", REG_EXPAND_SZ, {'z', 'z', ' ', 'l', 'a', 's', 't', 0}));

    {
        Instance<TypeParam> plugin;
        KelPresetBank& bank = plugin.bank();
        EXPECT_EQ(sorted(listedPresets(bank)),
                  (std::vector<std::string>{"!first", sixtyFour, "zz last"}));
        EXPECT_EQ(slotName(bank, 1), builtInName<TypeParam>(1));
        EXPECT_EQ(slotName(bank, 2), builtInName<TypeParam>(2));
        EXPECT_EQ(slotName(bank, 3), sixtyFour);
        EXPECT_EQ(slotName(bank, 4), builtInName<TypeParam>(4));
        ASSERT_TRUE(bank.recallSlot(3));
        EXPECT_EQ(plugin.settings(), (PresetValues{7, 8, 9}));

        ScriptedUserInterface ui;
        ui.defaultAnswer = IDYES;
        bank.setUserInterface(&ui);
        ASSERT_TRUE(bank.deleteAllUserPresets());
        bank.setUserInterface(nullptr);
    }
    for (const auto& value : foreign) {
        const RegistryValue kept = readValue(kUserPresetKey, value.first);
        EXPECT_TRUE(kept.exists) << value.first;
        EXPECT_EQ(kept.type, value.second.first) << value.first;
        EXPECT_EQ(kept.data, value.second.second) << value.first;
    }
    EXPECT_EQ(valueNames(kUserPresetKey).size(), foreign.size());
}

} // namespace

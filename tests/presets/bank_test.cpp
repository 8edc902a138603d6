// The quick slots and the compare scratch of the preset bank, as the host and the registry see
// them. Every test runs with a registry of its own; both plug-ins run the typed tests.
#include <gtest/gtest.h>

#include "tests/presets/preset_test_support.h"

using namespace kel::host;
using namespace kel::clean;
using namespace kel::crunch;
using namespace kel::presets;
using namespace kel::model;
using namespace kel::shell;

namespace {

template <class Model>
class BankTest : public ::testing::Test {
protected:
    void SetUp() override { resetTestHost(); }

    static constexpr int recordSize = PluginTraits<Model>::recordSize;
    RegistrySandbox sandbox;
};

using Models = ::testing::Types<CleanModel, CrunchModel>;
TYPED_TEST_SUITE(BankTest, Models);

// A volatile key, under which no lasting key can be created.
bool makeVolatileKey(const char* path) {
    HKEY key = nullptr;
    char noClass[] = "";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software", 0, noClass, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, noClass, REG_OPTION_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

float parameterOf(int setting, int parameter) {
    return toParameterValue(setting, 0, kParameterTable[parameter].span);
}

TYPED_TEST(BankTest, FreshMachineSlotsHoldBuiltInPresetsOneToFour) {
    {
        Instance<TypeParam> plugin;
        ASSERT_TRUE(plugin.valid());
        KelPresetBank& bank = plugin.bank();
        for (int slot = 1; slot <= 4; ++slot) {
            EXPECT_EQ(slotName(bank, slot), builtInName<TypeParam>(slot));
            EXPECT_TRUE(bank.isBuiltInSlot(slot));
        }
        EXPECT_EQ(bank.userPresetCount(), 0);
        EXPECT_EQ(slotName(bank, 0), "<refused>");
        EXPECT_EQ(slotName(bank, 5), "<refused>");
    }
    // Closing the instance left the assignments for every other instance: 65-byte strings.
    for (int slot = 1; slot <= 4; ++slot) {
        const RegistryValue value = readValue(kQuickSlotKey, "P" + std::to_string(slot));
        ASSERT_TRUE(value.exists);
        EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(value.data.size(), 65u);
        EXPECT_EQ(readSlotName(slot), builtInName<TypeParam>(slot));
    }
    EXPECT_TRUE(valueNames(kUserPresetKey).empty());
}

TYPED_TEST(BankTest, SlotNamesResolveToUserPresetsFirstAndFallBackWhenNothingMatches) {
    // A user preset named like built-in preset 2, as an archive import can create it.
    ASSERT_TRUE(writeStoredPreset(builtInName<TypeParam>(2), {11, 12, 13}, this->recordSize));
    ASSERT_TRUE(writeSlotName(1, "None"));
    ASSERT_TRUE(writeSlotName(2, builtInName<TypeParam>(2)));
    ASSERT_TRUE(writeSlotName(3, "A preset deleted meanwhile"));
    ASSERT_TRUE(writeValue(kQuickSlotKey, "P4", REG_DWORD, {4, 0, 0, 0}));

    Instance<TypeParam> plugin;
    KelPresetBank& bank = plugin.bank();
    EXPECT_EQ(slotName(bank, 1), builtInName<TypeParam>(1));
    EXPECT_EQ(slotName(bank, 3), builtInName<TypeParam>(3));
    EXPECT_EQ(slotName(bank, 4), builtInName<TypeParam>(4));
    EXPECT_TRUE(bank.isBuiltInSlot(1));
    EXPECT_TRUE(bank.isBuiltInSlot(3));
    EXPECT_EQ(slotName(bank, 2), builtInName<TypeParam>(2));
    EXPECT_FALSE(bank.isBuiltInSlot(2));

    plugin.effect().setProgram(1);
    ASSERT_TRUE(bank.recallSlot(2));
    EXPECT_EQ(plugin.settings(), (PresetValues{11, 12, 13}));
    EXPECT_EQ(plugin.effect().getProgram(), 1); // a user preset selects no program
}

TYPED_TEST(BankTest, RecallingABuiltInSlotSelectsItsProgramAndTellsTheHost) {
    Instance<TypeParam> plugin;
    plugin.setSettings({1, 2, 3});
    hostState().events.clear();
    ASSERT_TRUE(plugin.bank().recallSlot(3));
    EXPECT_EQ(plugin.effect().getProgram(), 3);
    const PresetValues preset = builtInValues<TypeParam>(3);
    const auto automated = automationOf(plugin.aeffect());
    ASSERT_EQ(automated.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(automated[i].index, i + 1);
        EXPECT_EQ(automated[i].value, parameterOf(preset[i], i + 1));
        EXPECT_EQ(plugin.effect().getParameter(i + 1), parameterOf(preset[i], i + 1));
    }
}

TYPED_TEST(BankTest, RecallingAUserSlotKeepsTheProgramAndTellsTheHost) {
    Instance<TypeParam> plugin;
    KelPresetBank& bank = plugin.bank();
    plugin.setSettings({79, 9, 33});
    ASSERT_TRUE(bank.storeNewPreset(2, "Lead"));
    plugin.effect().setProgram(4);
    plugin.setSettings({0, 0, 0});
    hostState().events.clear();
    ASSERT_TRUE(bank.recallSlot(2));
    EXPECT_EQ(plugin.settings(), (PresetValues{79, 9, 33}));
    EXPECT_EQ(plugin.effect().getProgram(), 4);
    EXPECT_EQ(automationOf(plugin.aeffect()).size(), 3u);
}

TYPED_TEST(BankTest, CompareScratchKeepsTheSettingsAsWholeNumbersAndTellsNoHost) {
    Instance<TypeParam> plugin;
    AEffect* record = plugin.aeffect();
    record->setParameter(record, 1, 0.7f);
    record->setParameter(record, 2, 0.5f);
    record->setParameter(record, 3, 1.0f);
    KelPresetBank& bank = plugin.bank();
    ASSERT_TRUE(bank.storeSlot(0));
    plugin.setSettings({10, 10, 10});
    hostState().events.clear();
    ASSERT_TRUE(bank.recallSlot(0));
    EXPECT_EQ(record->getParameter(record, 1), parameterOf(69, 1)); // 0.7 comes back as 0.69
    EXPECT_EQ(record->getParameter(record, 2), parameterOf(7, 2));
    EXPECT_EQ(record->getParameter(record, 3), 1.0f);
    EXPECT_TRUE(automationOf(record).empty());
}

TYPED_TEST(BankTest, ARefreshBetweenStoreAndRecallResetsTheScratchToDefault) {
    Instance<TypeParam> plugin;
    Instance<TypeParam> other;
    KelPresetBank& bank = plugin.bank();
    plugin.setSettings({10, 13, 14});
    ASSERT_TRUE(bank.storeSlot(0));
    // Reading the slots without a change in between keeps the scratch.
    slotName(bank, 1);
    plugin.setSettings({90, 1, 90});
    ASSERT_TRUE(bank.recallSlot(0));
    EXPECT_EQ(plugin.settings(), (PresetValues{10, 13, 14}));

    ASSERT_TRUE(other.bank().storeNewPreset(1, "Elsewhere"));
    ASSERT_TRUE(waitForRefreshNeed(bank));
    slotName(bank, 1); // the next list access refreshes
    ASSERT_TRUE(bank.recallSlot(0));
    const PresetValues defaults = builtInValues<TypeParam>(0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(plugin.effect().getParameter(i + 1), parameterOf(defaults[i], i + 1));
    }
}

TYPED_TEST(BankTest, StoringIntoASlotWritesItsUserPresetButNeverABuiltIn) {
    Instance<TypeParam> plugin;
    KelPresetBank& bank = plugin.bank();
    plugin.setSettings({20, 4, 55});
    EXPECT_FALSE(bank.storeSlot(1));
    EXPECT_TRUE(valueNames(kUserPresetKey).empty());
    // The scratch took the settings all the same.
    plugin.setSettings({0, 0, 0});
    ASSERT_TRUE(bank.recallSlot(0));
    EXPECT_EQ(plugin.settings(), (PresetValues{20, 4, 55}));

    ASSERT_TRUE(bank.storeNewPreset(3, "Rhythm"));
    plugin.setSettings({60, 15, 100});
    ASSERT_TRUE(bank.storeSlot(3));
    const RegistryValue stored = readValue(kUserPresetKey, "Rhythm");
    ASSERT_TRUE(stored.exists);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(stored.data, encodeStoredPreset({60, 15, 100}, this->recordSize));
    EXPECT_FALSE(bank.storeSlot(5));
    EXPECT_FALSE(bank.storeSlot(-1));
    EXPECT_FALSE(bank.recallSlot(5));
    EXPECT_FALSE(bank.recallSlot(-1));
    EXPECT_EQ(bank.trackSlotMenu(0, 0, 0), SlotMenuResult::kDismissed);
    EXPECT_EQ(bank.trackSlotMenu(5, 0, 0), SlotMenuResult::kDismissed);
}

TYPED_TEST(BankTest, PresetNamesByNumber) {
    Instance<TypeParam> plugin;
    KelPresetBank& bank = plugin.bank();
    ASSERT_TRUE(bank.storeNewPreset(1, "Mine"));
    char name[kPresetNameBufferSize] = {};
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(bank.getPresetName(i, name));
        EXPECT_STREQ(name, builtInName<TypeParam>(i));
    }
    ASSERT_TRUE(bank.getPresetName(100, name));
    EXPECT_STREQ(name, "Mine");
    for (int number : {-1, 5, 50, 99, 101}) {
        EXPECT_FALSE(bank.getPresetName(number, name)) << number;
    }
}

TYPED_TEST(BankTest, StoredValuesOutOfRangeAreClampedOnRecall) {
    ASSERT_TRUE(writeStoredPreset("Wild", {150, -3, 1000}, this->recordSize));
    ASSERT_TRUE(writeSlotName(4, "Wild"));
    Instance<TypeParam> plugin;
    ASSERT_TRUE(plugin.bank().recallSlot(4));
    EXPECT_EQ(plugin.effect().getParameter(1), 1.0f);
    EXPECT_EQ(plugin.effect().getParameter(2), 0.0f);
    EXPECT_EQ(plugin.effect().getParameter(3), 1.0f);
}

TYPED_TEST(BankTest, WithoutAUserPresetKeyBuiltInPresetsStillWork) {
    // The preset key cannot be created below a volatile key.
    ASSERT_TRUE(makeVolatileKey("Software\\DirectShow"));

    Instance<TypeParam> plugin;
    KelPresetBank& bank = plugin.bank();
    ScriptedUserInterface ui;
    bank.setUserInterface(&ui);
    EXPECT_TRUE(bank.recallSlot(2));
    EXPECT_EQ(plugin.effect().getProgram(), 2);
    EXPECT_EQ(slotName(bank, 2), builtInName<TypeParam>(2));
    char name[kPresetNameBufferSize] = {};
    EXPECT_FALSE(bank.getPresetName(0, name));
    EXPECT_FALSE(bank.storeNewPreset(1, "Nowhere"));
    EXPECT_FALSE(bank.storeSlot(1));
    EXPECT_FALSE(bank.deleteSlotPreset(1));
    EXPECT_FALSE(bank.deleteAllUserPresets());
    EXPECT_FALSE(bank.importPresets());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ui.requests.empty());
    bank.setUserInterface(nullptr);
}

TYPED_TEST(BankTest, WithoutASlotKeyTheSlotsHoldBuiltInsAndAssignmentsDoNotPersist) {
    ASSERT_TRUE(makeVolatileKey("Software\\Sonadrix"));
    {
        Instance<TypeParam> plugin;
        KelPresetBank& bank = plugin.bank();
        EXPECT_FALSE(bank.saveQuickSlots());
        ASSERT_TRUE(bank.storeNewPreset(1, "Kept preset"));
        // The preset is stored, but the next refresh finds no slot names to read.
        EXPECT_EQ(slotName(bank, 1), builtInName<TypeParam>(1));
    }
    Instance<TypeParam> later;
    EXPECT_EQ(slotName(later.bank(), 1), builtInName<TypeParam>(1));
    EXPECT_EQ(listedPresets(later.bank()), std::vector<std::string>{"Kept preset"});
}

} // namespace

// Preset archives (.kpa): export and import with the dialogs answered by a script, the files
// they write, and what each plug-in does with damaged, foreign and hostile files.
#include <algorithm>

#include <gtest/gtest.h>

#include "tests/presets/archive_bytes.h"

#include "tests/presets/preset_test_support.h"

using namespace kel::host;
using namespace kel::clean;
using namespace kel::crunch;
using namespace kel::presets;

namespace {

template <class Model>
class ArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetTestHost();
        owner = CreateWindowA("STATIC", "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr);
        plugin.bank().setOwnerWindow(owner);
        plugin.bank().setUserInterface(&ui);
        folder = testFolder();
    }
    void TearDown() override {
        plugin.bank().setUserInterface(nullptr);
        plugin.close();
        DestroyWindow(owner);
    }

    bool importFile(const std::string& path) {
        ui.file = path;
        return plugin.bank().importPresets();
    }
    bool exportFile(const std::string& path) {
        ui.file = path;
        return plugin.bank().exportPresets();
    }
    // The error messages shown so far, each checked for caption, icon and owner.
    std::vector<std::string> errors() const {
        std::vector<std::string> texts;
        for (const auto& message : ui.messages) {
            EXPECT_EQ(message.caption, "Sonadrix Plug-In");
            EXPECT_EQ(message.style, static_cast<UINT>(MB_OK | MB_ICONERROR)) << message.text;
            EXPECT_EQ(message.owner, owner);
            texts.push_back(message.text);
        }
        return texts;
    }

    static constexpr int recordSize = PluginTraits<Model>::recordSize;
    static constexpr int otherRecordSize =
        PluginTraits<typename PluginTraits<Model>::Other>::recordSize;

    RegistrySandbox sandbox;
    Instance<Model> plugin;
    ScriptedUserInterface ui;
    HWND owner = nullptr;
    std::string folder;
};

using Models = ::testing::Types<CleanModel, CrunchModel>;
TYPED_TEST_SUITE(ArchiveTest, Models);

// Every value of the preset key with its type and bytes.
std::vector<std::pair<std::string, RegistryValue>> presetKeySnapshot() {
    std::vector<std::pair<std::string, RegistryValue>> values;
    for (const std::string& name : valueNames(kUserPresetKey)) {
        values.emplace_back(name, readValue(kUserPresetKey, name));
    }
    std::sort(values.begin(), values.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return values;
}

bool sameValues(const std::vector<std::pair<std::string, RegistryValue>>& a,
                const std::vector<std::pair<std::string, RegistryValue>>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].first != b[i].first || a[i].second.type != b[i].second.type ||
            a[i].second.data != b[i].second.data) {
            return false;
        }
    }
    return true;
}

TYPED_TEST(ArchiveTest, ExportThenImportBringsEveryPresetBackUnchanged) {
    const std::string longest(64, 'N');
    const std::vector<std::pair<std::string, PresetValues>> presets = {
        {"Warm", {40, 3, 90}}, {longest, {85, 15, 61}}, {"Rock & Roll", {0, 0, 0}}};
    for (const auto& preset : presets) {
        ASSERT_TRUE(writeStoredPreset(preset.first, preset.second, this->recordSize));
    }
    ASSERT_TRUE(writeStoredPreset("Foreign", {1, 1, 1}, this->otherRecordSize));
    const auto before = presetKeySnapshot();
    const std::string file = this->folder + "round trip.kpa";
    ASSERT_TRUE(this->exportFile(file));

    const Bytes bytes = readFile(file);
    const std::size_t recordLength = archiveRecordLength(this->recordSize);
    ASSERT_EQ(bytes.size(), 20 + presets.size() * recordLength);
    EXPECT_EQ(checkArchiveHeader(bytes.data(), bytes.size(), this->recordSize),
              ArchiveHeaderCheck::Valid);
    std::vector<std::string> exported;
    for (std::size_t offset = 20; offset < bytes.size(); offset += recordLength) {
        const ArchiveRecord record = decodeArchiveRecord(bytes.data() + offset, this->recordSize);
        EXPECT_EQ(record.data, readValue(kUserPresetKey, record.name).data) << record.name;
        exported.push_back(record.name);
    }
    EXPECT_EQ(exported, listedPresets(this->plugin.bank())); // in list order

    for (const auto& preset : presets) {
        ASSERT_TRUE(deleteValue(kUserPresetKey, preset.first));
    }
    ASSERT_TRUE(this->importFile(file));
    EXPECT_TRUE(sameValues(presetKeySnapshot(), before));
    EXPECT_TRUE(this->ui.messages.empty());
    EXPECT_EQ(this->plugin.bank().userPresetCount(), 3);
}

TYPED_TEST(ArchiveTest, AnEmptyListExportsTheHeaderAloneWhichImportsAsNothing) {
    ASSERT_TRUE(writeStoredPreset("Foreign", {1, 1, 1}, this->otherRecordSize));
    const auto before = presetKeySnapshot();
    const std::string file = this->folder + "empty.kpa";
    ASSERT_TRUE(this->exportFile(file));
    const Bytes bytes = readFile(file);
    EXPECT_EQ(bytes.size(), 20u);
    EXPECT_TRUE(this->importFile(file));
    EXPECT_TRUE(sameValues(presetKeySnapshot(), before));
    EXPECT_TRUE(this->ui.messages.empty());
}

TYPED_TEST(ArchiveTest, DialogsOfferArchivesAndTheSaveDialogTakesNewFiles) {
    const std::string file = this->folder + "dialogs.kpa";
    ASSERT_TRUE(this->exportFile(file));
    ASSERT_TRUE(this->importFile(file));
    ASSERT_EQ(this->ui.requests.size(), 2u);
    const auto& save = this->ui.requests[0];
    EXPECT_TRUE(save.save);
    EXPECT_EQ(save.proposed, std::string(PluginTraits<TypeParam>::effectName) + ".kpa");
    EXPECT_EQ(save.title, "Save User Presets As...");
    EXPECT_EQ(save.flags,
              static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST));
    const auto& open = this->ui.requests[1];
    EXPECT_FALSE(open.save);
    EXPECT_EQ(open.proposed, "*.kpa");
    EXPECT_EQ(open.title, "Load Presets From...");
    EXPECT_EQ(open.flags,
              static_cast<DWORD>(OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY));
    for (const auto& request : this->ui.requests) {
        EXPECT_EQ(request.owner, nullptr);
        EXPECT_EQ(request.filter, "Sonadrix presets archive|*.kpa");
        EXPECT_EQ(request.filterIndex, 1u);
        EXPECT_EQ(request.defaultExtension, "kpa");
        EXPECT_FALSE(request.hasInitialFolder);
    }
}

TYPED_TEST(ArchiveTest, CancellingEitherDialogChangesNothing) {
    ASSERT_TRUE(writeStoredPreset("Kept", {1, 2, 3}, this->recordSize));
    const auto before = presetKeySnapshot();
    this->ui.cancel = true;
    const std::string file = this->folder + "never.kpa";
    EXPECT_FALSE(this->exportFile(file));
    EXPECT_TRUE(readFile(file).empty());
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_FALSE(this->importFile(file));
    EXPECT_TRUE(sameValues(presetKeySnapshot(), before));
    EXPECT_TRUE(this->ui.messages.empty());
}

TYPED_TEST(ArchiveTest, FilesThatAreNoArchiveOfThisPluginAreRefusedWithTheirMessage) {
    ASSERT_TRUE(writeStoredPreset("Kept", {1, 2, 3}, this->recordSize));
    const auto before = presetKeySnapshot();
    const int size = this->recordSize;
    const int otherSize = this->otherRecordSize;
    const std::string wrongPlugin =
        std::string("This is not a ") + PluginTraits<TypeParam>::effectName + " archive!";
    Bytes wrongMagic = archiveBytes(size, {{"A", {1, 1, 1}}});
    wrongMagic[0] = 's';
    Bytes wrongTag = archiveBytes(size, {{"A", {1, 1, 1}}});
    wrongTag[12] = 6;
    const Bytes header = archiveBytes(size, {});
    const std::string text = "These are my presets, honest.";
    const std::vector<std::pair<Bytes, std::string>> cases = {
        {Bytes(), "This is not a valid plug-in archive!"},
        {Bytes(header.begin(), header.begin() + 19), "This is not a valid plug-in archive!"},
        {Bytes(text.begin(), text.end()), "This is not a valid plug-in archive!"},
        {wrongMagic, "This is not a valid plug-in archive!"},
        {wrongTag, wrongPlugin},
        {archiveBytes(otherSize, {{"A", {1, 1, 1}}}), wrongPlugin},
        // The length of a record of the other plug-in with records of this one's size.
        {archiveBytes(size, {{"A", {1, 1, 1}}}, otherSize), wrongPlugin},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string file = this->folder + "case" + std::to_string(i) + ".kpa";
        ASSERT_TRUE(writeFile(file, cases[i].first));
        this->ui.messages.clear();
        EXPECT_FALSE(this->importFile(file)) << i;
        EXPECT_EQ(this->errors(), std::vector<std::string>{cases[i].second}) << i;
    }
    EXPECT_TRUE(sameValues(presetKeySnapshot(), before));
}

TYPED_TEST(ArchiveTest, FilesThatCannotBeOpenedFailWithTheirMessage) {
    this->ui.messages.clear();
    EXPECT_FALSE(this->importFile(this->folder + "missing.kpa"));
    EXPECT_EQ(this->errors(), std::vector<std::string>{"Could not open file!"});
    this->ui.messages.clear();
    ASSERT_TRUE(writeStoredPreset("Some", {1, 2, 3}, this->recordSize));
    EXPECT_FALSE(this->exportFile(this->folder + "no such folder\\out.kpa"));
    EXPECT_EQ(this->errors(), std::vector<std::string>{"Could not open file!"});
}

TYPED_TEST(ArchiveTest, ATruncatedLastRecordIsAReadErrorAfterTheWholeRecordsAreIn) {
    const Bytes whole = archiveBytes(
        this->recordSize, {{"One", {1, 1, 1}}, {"Two", {2, 2, 2}}, {"Three", {3, 3, 3}}});
    const std::string file = this->folder + "cut.kpa";
    ASSERT_TRUE(writeFile(file, Bytes(whole.begin(), whole.end() - 10)));
    EXPECT_FALSE(this->importFile(file));
    EXPECT_EQ(this->errors(), std::vector<std::string>{"Read error!"});
    PresetValues values{};
    ASSERT_TRUE(readStoredPresetValues("One", values));
    EXPECT_EQ(values, (PresetValues{1, 1, 1}));
    EXPECT_TRUE(readStoredPresetValues("Two", values));
    EXPECT_FALSE(readValue(kUserPresetKey, "Three").exists);
    EXPECT_EQ(this->plugin.bank().userPresetCount(), 2);
}

TYPED_TEST(ArchiveTest, ExistingPresetsAreReplacedOnlyWhenTheUserSaysYes) {
    ASSERT_TRUE(writeStoredPreset("Warm", {1, 1, 1}, this->recordSize));
    ASSERT_TRUE(writeStoredPreset("Cool", {2, 2, 2}, this->recordSize));
    ASSERT_TRUE(writeStoredPreset("Theirs", {3, 3, 3}, this->otherRecordSize));
    const std::string file = this->folder + "replace.kpa";
    ASSERT_TRUE(writeFile(file, archiveBytes(this->recordSize, {{"Warm", {9, 9, 9}},
                                                                {"New", {7, 7, 7}},
                                                                {"Cool", {8, 8, 8}},
                                                                {"Theirs", {6, 6, 6}}})));
    this->ui.answers = {IDNO, IDYES, IDNO};
    EXPECT_TRUE(this->importFile(file));
    ASSERT_EQ(this->ui.messages.size(), 3u);
    const char* asked[] = {"Warm", "Cool", "Theirs"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(this->ui.messages[i].text, std::string("'") + asked[i] +
                                                 "' preset already exists.\nDo you want to "
                                                 "replace it?");
        EXPECT_EQ(this->ui.messages[i].caption, "Sonadrix Plug-In");
        EXPECT_EQ(this->ui.messages[i].style, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
    }
    PresetValues values{};
    ASSERT_TRUE(readStoredPresetValues("Warm", values));
    EXPECT_EQ(values, (PresetValues{1, 1, 1}));
    ASSERT_TRUE(readStoredPresetValues("Cool", values));
    EXPECT_EQ(values, (PresetValues{8, 8, 8}));
    ASSERT_TRUE(readStoredPresetValues("New", values));
    EXPECT_EQ(values, (PresetValues{7, 7, 7}));
    EXPECT_EQ(readValue(kUserPresetKey, "Theirs").data.size(),
              static_cast<std::size_t>(this->otherRecordSize));
}

TYPED_TEST(ArchiveTest, ARecordNamedLikeABuiltInBecomesAUserPresetTheSlotPrefers) {
    const std::string file = this->folder + "builtin-name.kpa";
    const char* name = builtInName<TypeParam>(2);
    ASSERT_TRUE(writeFile(file, archiveBytes(this->recordSize, {{name, {3, 2, 1}}})));
    ASSERT_TRUE(this->importFile(file));
    KelPresetBank& bank = this->plugin.bank();
    EXPECT_FALSE(bank.isBuiltInSlot(2));
    ASSERT_TRUE(bank.recallSlot(2));
    EXPECT_EQ(this->plugin.settings(), (PresetValues{3, 2, 1}));
}

TYPED_TEST(ArchiveTest, RegistryFailuresEndTheImportWithAMessageAndTheExportWithout) {
    const std::string file = this->folder + "fails.kpa";
    ASSERT_TRUE(writeFile(file, archiveBytes(this->recordSize, {{"A", {1, 1, 1}}})));
    // The preset key goes away while the user picks the file.
    this->ui.whileChoosing = [] { RegDeleteTreeA(HKEY_CURRENT_USER, kUserPresetKey); };
    EXPECT_FALSE(this->importFile(file));
    EXPECT_EQ(this->errors(), std::vector<std::string>{"Import error!"});

    this->ui.whileChoosing = nullptr;
    this->ui.messages.clear();
    KelPresetBank& bank = this->plugin.bank();
    ASSERT_TRUE(bank.needsRefresh());
    bank.refresh(); // the key comes back
    ASSERT_TRUE(bank.storeNewPreset(1, "First"));
    ASSERT_TRUE(bank.storeNewPreset(2, "Second"));
    const std::vector<std::string> listed = listedPresets(bank);
    ASSERT_EQ(listed.size(), 2u);
    // A preset disappears while the user names the file: the export stops there.
    this->ui.whileChoosing = [&] { deleteValue(kUserPresetKey, listed[1]); };
    const std::string out = this->folder + "partial.kpa";
    EXPECT_FALSE(this->exportFile(out));
    EXPECT_TRUE(this->ui.messages.empty());
    EXPECT_EQ(readFile(out).size(), 20 + archiveRecordLength(this->recordSize));
}

TYPED_TEST(ArchiveTest, HostileArchivesNeitherCrashNorCostAStoredPreset) {
    const int size = this->recordSize;
    ASSERT_TRUE(writeStoredPreset("Mine", {10, 10, 10}, size));
    ASSERT_TRUE(writeStoredPreset("Theirs", {20, 2, 20}, this->otherRecordSize));
    const auto before = presetKeySnapshot();

    std::vector<Bytes> files;
    Bytes lengths = archiveBytes(size, {});
    for (std::uint8_t high : {0x7Fu, 0xFFu, 0x00u}) {
        lengths[16] = lengths[17] = lengths[18] = 0xFF;
        lengths[19] = high;
        files.push_back(lengths);
    }
    // Records named like stored presets (answered No), cut short, and a large file of them.
    files.push_back(archiveBytes(size, {{"Mine", {1, 1, 1}}, {"Theirs", {2, 2, 2}}}));
    Bytes cut = archiveBytes(size, {{"Mine", {1, 1, 1}}});
    cut.resize(cut.size() - 1);
    files.push_back(cut);
    Bytes large = archiveBytes(size, {});
    const Bytes record = archiveBytes(size, {{"Mine", {3, 3, 3}}});
    for (int i = 0; i < 20000; ++i) {
        large.insert(large.end(), record.begin() + 20, record.end());
    }
    files.push_back(large);
    files.push_back(Bytes(8 << 20, 0xFF)); // 8 MiB of no archive at all
    Bytes junk = archiveBytes(size, {{"Mine", {1, 1, 1}}});
    std::fill(junk.begin() + 20, junk.begin() + 84, 'M'); // 64 characters, no terminator
    files.push_back(junk);

    this->ui.defaultAnswer = IDNO;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string file = this->folder + "hostile" + std::to_string(i) + ".kpa";
        ASSERT_TRUE(writeFile(file, files[i]));
        this->importFile(file);
        for (const auto& kept : before) {
            const RegistryValue now = readValue(kUserPresetKey, kept.first);
            EXPECT_EQ(now.data, kept.second.data) << "file " << i << ", " << kept.first;
        }
    }
    // The unterminated name was read as its 64 characters.
    EXPECT_TRUE(readValue(kUserPresetKey, std::string(64, 'M')).exists);
}

} // namespace

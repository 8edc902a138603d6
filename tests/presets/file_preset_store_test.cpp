// The Linux store on real files: what instances of both plug-ins in one or two processes see of
// each other's presets and slot names, and what damaged or foreign files cost.
#include "presets/file_preset_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "presets/preset_format.h"

using namespace kel::presets;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Names = std::vector<std::string>;

constexpr std::size_t kClean = 48;  // HN-6 record
constexpr std::size_t kCrunch = 32; // KR-6 record

int gainOf(std::size_t index) {
    return static_cast<int>(index);
}

Bytes record(std::size_t size, int gain) {
    return encodeStoredPreset({gain, 7, 50}, static_cast<int>(size));
}

void writeRaw(const fs::path& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

Bytes readRaw(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

Names filesIn(const fs::path& folder) {
    Names names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

int openDescriptorCount() {
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

class FileStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kel-file-store-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        folder = root / "config" / "Sonadrix" / "Orvalle Vol.2";
    }
    void TearDown() override { fs::remove_all(root); }

    std::unique_ptr<FilePresetStore> openStore() {
        auto store = std::make_unique<FilePresetStore>(folder.string());
        EXPECT_TRUE(store->reopen());
        return store;
    }

    fs::path root, folder;
};

TEST_F(FileStoreTest, RecordsRoundTripUnderAnyNameAndEachPluginListsItsOwnInOrder) {
    const Names names = {
        "Glassy", "a/b", "..", ".", "100%", "Line\nTwo", "\xE9t\xE9", " ", std::string(64, '\xFF'),
        "C:*?"};
    auto writer = openStore();
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(writer->writePreset(names[i], record(i % 2 ? kCrunch : kClean, gainOf(i))))
            << names[i];
    }
    Names clean, crunch;
    for (std::size_t i = 0; i < names.size(); ++i) {
        (i % 2 ? crunch : clean).push_back(names[i]);
    }
    auto reader = openStore(); // another instance
    EXPECT_EQ(reader->presetNames(kClean), clean);
    EXPECT_EQ(reader->presetNames(kCrunch), crunch);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const Bytes expected = record(i % 2 ? kCrunch : kClean, gainOf(i));
        Bytes read;
        EXPECT_TRUE(reader->holdsPreset(names[i]));
        ASSERT_TRUE(reader->readPreset(names[i], kClean, read)) << names[i];
        EXPECT_EQ(read, expected);
        EXPECT_FALSE(reader->readPreset(names[i], expected.size() - 1, read));
        // The file holds the very bytes of the registry value.
        const Bytes file = readRaw(folder / presetFileName(names[i]));
        EXPECT_EQ(Bytes(file.begin() + 20, file.end() - 4), expected);
    }
    const std::string tooLong(65, 'x');
    for (const std::string& refused : {tooLong, std::string(), std::string("a\0b", 3)}) {
        EXPECT_FALSE(writer->writePreset(refused, record(kClean, 1)));
        EXPECT_FALSE(writer->holdsPreset(refused));
    }
    EXPECT_FALSE(writer->writePreset("Huge", Bytes(kMaxStoredRecordSize + 1)));
    // A 65-byte name planted by hand is left out of the list, and is no damage.
    writeRaw(folder / presetFileName(tooLong), encodePresetFile({1, record(kClean, 1)}));
    EXPECT_EQ(reader->presetNames(kClean), clean);
    EXPECT_EQ(reader->takeDamageReport(), "");
    EXPECT_EQ(filesIn(folder).size(), names.size() + 3); // the presets, tooLong, the locks
}

TEST_F(FileStoreTest, APresetKeepsItsPlaceWhenReplacedAndLeavesTheListWhenDeleted) {
    auto store = openStore();
    for (const char* name : {"Charlie", "Alpha", "Bravo"}) {
        ASSERT_TRUE(store->writePreset(name, record(kClean, 1)));
    }
    ASSERT_TRUE(store->writePreset("Alpha", record(kClean, 2)));
    EXPECT_EQ(store->presetNames(kClean), (Names{"Charlie", "Alpha", "Bravo"}));
    Bytes read;
    ASSERT_TRUE(store->readPreset("Alpha", kClean, read));
    EXPECT_EQ(read, record(kClean, 2));
    // Replaced by the other plug-in's record: still in its place, now in the other's list.
    ASSERT_TRUE(store->writePreset("Bravo", record(kCrunch, 3)));
    EXPECT_EQ(store->presetNames(kCrunch), (Names{"Bravo"}));
    EXPECT_EQ(store->presetNames(kClean), (Names{"Charlie", "Alpha"}));
    ASSERT_TRUE(store->deletePreset("Alpha"));
    EXPECT_FALSE(store->deletePreset("Alpha"));
    EXPECT_FALSE(store->holdsPreset("Alpha"));
    ASSERT_TRUE(store->writePreset("Alpha", record(kClean, 4)));
    ASSERT_TRUE(store->writePreset("Bravo", record(kClean, 5)));
    EXPECT_EQ(openStore()->presetNames(kClean), (Names{"Charlie", "Bravo", "Alpha"}));
}

TEST_F(FileStoreTest, SlotNamesRoundTripAndEmptySlotsComeBackWithoutAName) {
    auto store = openStore();
    UserPresetStore::SlotNames names{std::string("stale")};
    ASSERT_TRUE(store->readSlotNames(names)); // nothing stored yet, not even the folder
    EXPECT_EQ(names, UserPresetStore::SlotNames{});
    EXPECT_FALSE(fs::exists(folder));

    ASSERT_TRUE(store->writeSlotNames({"Glassy", "", std::string(64, 'N'), "\xE9/\n"}));
    ASSERT_TRUE(openStore()->readSlotNames(names));
    EXPECT_EQ(names, (UserPresetStore::SlotNames{std::string("Glassy"), std::nullopt,
                                                 std::string(64, 'N'), std::string("\xE9/\n")}));
    const Bytes before = readRaw(folder / kSlotFileName);
    EXPECT_FALSE(store->writeSlotNames({"a", std::string(65, 'x'), "c", "d"}));
    EXPECT_FALSE(store->writeSlotNames({"a", std::string("b\0c", 3), "c", "d"}));
    EXPECT_EQ(readRaw(folder / kSlotFileName), before);
}

TEST_F(FileStoreTest, TheFolderIsMadeOnTheFirstWriteAndAnUnreachableOneFailsEverything) {
    auto store = openStore();
    EXPECT_EQ(store->presetNames(kClean), Names{});
    EXPECT_FALSE(store->holdsPreset("Glassy"));
    EXPECT_FALSE(fs::exists(root / "config")); // reading makes nothing
    ASSERT_TRUE(store->writePreset("Glassy", record(kClean, 1)));
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);

    fs::remove_all(root / "config");
    writeRaw(root / "config", {1}); // a file where a folder should be
    for (const std::string& path :
         {folder.string(), std::string("relative/folder"), std::string()}) {
        FilePresetStore unreachable(path);
        EXPECT_FALSE(unreachable.reopen()) << path;
        EXPECT_FALSE(unreachable.isOpen());
        UserPresetStore::SlotNames names;
        EXPECT_FALSE(unreachable.readSlotNames(names));
        EXPECT_FALSE(unreachable.writePreset("Glassy", record(kClean, 1)));
        EXPECT_FALSE(unreachable.writeSlotNames({"a", "b", "c", "d"}));
        EXPECT_EQ(unreachable.presetNames(kClean), Names{});
    }
    EXPECT_FALSE(store->writePreset("Glassy", record(kClean, 1)));
}

TEST_F(FileStoreTest, EveryChangeReachesEveryInstanceAndReadingIsNoChange) {
    auto first = openStore(); // before even the folder's parents exist
    auto second = openStore();
    EXPECT_FALSE(first->changed());
    ASSERT_TRUE(first->writePreset("Glassy", record(kClean, 1)));
    EXPECT_TRUE(first->changed());
    EXPECT_TRUE(second->changed());
    EXPECT_TRUE(second->changed()); // until the next reopen

    const struct {
        const char* what;
        std::function<void()> act;
        bool isChange;
    } cases[] = {
        {"reading everything",
         [&] {
             UserPresetStore::SlotNames names;
             Bytes read;
             first->presetNames(kClean);
             first->readPreset("Glassy", kClean, read);
             first->holdsPreset("Glassy");
             first->readSlotNames(names);
             first->deletePreset("Nothing");
         },
         false},
        {"a file of someone else's", [&] { writeRaw(folder / "notes.txt", {1}); }, false},
        {"a new preset", [&] { first->writePreset("Grind", record(kCrunch, 2)); }, true},
        {"a replaced preset", [&] { first->writePreset("Grind", record(kCrunch, 3)); }, true},
        {"a deleted preset", [&] { first->deletePreset("Grind"); }, true},
        {"slot names",
         [&] {
             first->writeSlotNames({"Glassy", "", "", ""});
         },
         true},
        {"a preset copied in by hand",
         [&] {
             writeRaw(folder / "Copied.preset", encodePresetFile({9, record(kClean, 4)}));
         },
         true},
        {"the folder removed", [&] { fs::remove_all(folder); }, true},
        {"the folder made again", [&] { first->writePreset("Again", record(kClean, 5)); }, true},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(first->reopen());
        ASSERT_TRUE(second->reopen());
        c.act();
        EXPECT_EQ(first->changed(), c.isChange) << c.what;
        EXPECT_EQ(second->changed(), c.isChange) << c.what;
    }
    EXPECT_EQ(second->presetNames(kClean), Names{"Again"});
}

TEST_F(FileStoreTest, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kEach = 60;
    auto watcher = openStore();
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            FilePresetStore store(folder.string());
            // A write may find the lock held past the wait and fail; the caller may try again.
            const auto persist = [&](const std::string& name, const Bytes& bytes) {
                for (int tries = 0; tries < 50; ++tries) {
                    if (store.writePreset(name, bytes)) {
                        return true;
                    }
                }
                return false;
            };
            char go = 0;
            bool allStored = store.reopen() && read(start[0], &go, 1) == 1;
            for (int i = 0; i < kEach && allStored; ++i) {
                allStored = persist("p" + std::to_string(child) + "-" + std::to_string(i),
                                    record(kClean, 1000 * child + i)) &&
                            persist("Shared", record(kCrunch, child));
            }
            _exit(allStored ? 0 : 1);
        }
    }
    ASSERT_EQ(write(start[1], "gg", 2), 2);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    close(start[0]);
    close(start[1]);

    EXPECT_TRUE(watcher->changed());
    const Names listed = watcher->presetNames(kClean);
    ASSERT_EQ(listed.size(), 2u * kEach);
    for (int child = 0; child < 2; ++child) {
        Names own; // each process's presets in the order it stored them
        std::copy_if(listed.begin(), listed.end(), std::back_inserter(own),
                     [&](const std::string& name) { return name[1] == '0' + child; });
        ASSERT_EQ(own.size(), std::size_t(kEach));
        for (int i = 0; i < kEach; ++i) {
            Bytes read;
            EXPECT_EQ(own[i], "p" + std::to_string(child) + "-" + std::to_string(i));
            ASSERT_TRUE(watcher->readPreset(own[i], kClean, read));
            EXPECT_EQ(read, record(kClean, 1000 * child + i));
        }
    }
    EXPECT_EQ(watcher->presetNames(kCrunch), Names{"Shared"});
    // One order for all: no two presets were given the same place.
    std::set<std::uint64_t> stamps;
    for (const std::string& file : filesIn(folder)) {
        // No temporary file left, only presets and the lock files.
        EXPECT_TRUE(file == ".lock" || file == ".queue" || presetNameOfFile(file)) << file;
        PresetFileContents contents;
        const Bytes bytes = readRaw(folder / file);
        if (decodePresetFile(bytes.data(), bytes.size(), contents) == FileCheck::Valid) {
            stamps.insert(contents.order);
        }
    }
    EXPECT_EQ(stamps.size(), 2u * kEach + 1);
}

TEST_F(FileStoreTest, ALockHeldElsewhereFailsWritesSoonWhileReadsGoOn) {
    auto store = openStore();
    ASSERT_TRUE(store->writePreset("Glassy", record(kClean, 1)));
    const int held = open((folder / ".lock").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(store->writePreset("Grind", record(kClean, 2)));
    EXPECT_FALSE(store->deletePreset("Glassy"));
    EXPECT_FALSE(store->writeSlotNames({"a", "b", "c", "d"}));
    const auto waited = std::chrono::steady_clock::now() - before;
    EXPECT_GE(waited, std::chrono::milliseconds(3 * kLockWaitMilliseconds));
    EXPECT_LT(waited, std::chrono::milliseconds(3 * kLockWaitMilliseconds + 300));
    Bytes read;
    EXPECT_TRUE(store->readPreset("Glassy", kClean, read));
    EXPECT_EQ(store->presetNames(kClean), Names{"Glassy"});
    close(held);
    EXPECT_TRUE(store->writePreset("Grind", record(kClean, 2)));
}

TEST_F(FileStoreTest, ADamagedFileCostsNoOtherPresetIsSetAsideAndReportedOnce) {
    const Bytes good = encodePresetFile({5, record(kClean, 9)});
    Bytes flipped = good;
    flipped[30] ^= 1;
    const struct {
        const char* what;
        std::function<void(const fs::path&)> plant;
    } cases[] = {
        {"cut short", [&](auto& path) { writeRaw(path, Bytes(good.begin(), good.begin() + 30)); }},
        {"empty", [&](auto& path) { writeRaw(path, {}); }},
        {"a flipped bit", [&](auto& path) { writeRaw(path, flipped); }},
        {"foreign text",
         [&](auto& path) {
             writeRaw(path, Bytes{'h', 'i', '\n'});
         }},
        {"too large", [&](auto& path) { writeRaw(path, Bytes(100000, 'x')); }},
        {"a folder",
         [&](auto& path) {
             fs::create_directory(path);
             writeRaw(path / "in", {7});
         }},
        {"a FIFO", [&](auto& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }},
    };
    for (const auto& c : cases) {
        fs::remove_all(root);
        fs::create_directories(folder);
        auto store = openStore();
        ASSERT_TRUE(store->writePreset("Before", record(kClean, 1)));
        c.plant(folder / "Broken.preset");
        ASSERT_TRUE(store->writePreset("After", record(kClean, 2)));
        writeRaw(folder / "notes.txt", {1}); // not ours: never touched
        writeRaw(folder / "a.b.preset", good);
        const Names planted = filesIn(folder);

        auto instance = openStore();
        EXPECT_EQ(instance->presetNames(kClean), (Names{"Before", "After"})) << c.what;
        EXPECT_EQ(instance->takeDamageReport(), "Damaged preset set aside: Broken") << c.what;
        EXPECT_EQ(instance->presetNames(kClean), (Names{"Before", "After"}));
        EXPECT_FALSE(store->holdsPreset("Broken"));
        EXPECT_EQ(instance->takeDamageReport(), "");
        EXPECT_EQ(store->takeDamageReport(), ""); // the other instance found it gone
        Bytes read;
        EXPECT_TRUE(store->readPreset("Before", kClean, read) && read == record(kClean, 1));
        Names expected = planted;
        *std::find(expected.begin(), expected.end(), "Broken.preset") = "Broken.preset.damaged";
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(filesIn(folder), expected) << c.what;

        // The name is free again; damage planted once more goes aside beside the first.
        const Bytes asideBefore = fs::is_regular_file(folder / "Broken.preset.damaged")
                                      ? readRaw(folder / "Broken.preset.damaged")
                                      : Bytes{};
        c.plant(folder / "Broken.preset");
        ASSERT_TRUE(store->writePreset("Broken", record(kClean, 3))) << c.what;
        EXPECT_EQ(store->takeDamageReport(), "Damaged preset set aside: Broken");
        EXPECT_TRUE(fs::exists(folder / "Broken.preset.damaged-2")) << c.what;
        if (fs::is_regular_file(folder / "Broken.preset.damaged")) {
            EXPECT_EQ(readRaw(folder / "Broken.preset.damaged"), asideBefore);
        }
        EXPECT_EQ(instance->presetNames(kClean), (Names{"Before", "After", "Broken"}));
    }
    EXPECT_EQ(fs::status(folder / "Broken.preset.damaged").type(), fs::file_type::fifo);
}

TEST_F(FileStoreTest, ADamagedSlotFileCostsOnlyItsDamagedSlotsAndIsSetAsideOnce) {
    auto store = openStore();
    ASSERT_TRUE(store->writeSlotNames({"One", "Two", "Three", "Four"}));
    Bytes damaged = readRaw(folder / kSlotFileName);
    damaged[12 + 70 + 2] ^= 0x20; // "Two" becomes "two": slot 2's checksum no longer matches
    writeRaw(folder / kSlotFileName, damaged);

    UserPresetStore::SlotNames names;
    ASSERT_TRUE(store->readSlotNames(names));
    EXPECT_EQ(names, (UserPresetStore::SlotNames{std::string("One"), std::nullopt,
                                                 std::string("Three"), std::string("Four")}));
    EXPECT_EQ(store->takeDamageReport(), "Damaged quick-slot names set aside");
    EXPECT_EQ(readRaw(folder / "quick-slots.damaged"), damaged);
    ASSERT_TRUE(store->readSlotNames(names));
    EXPECT_EQ(names, UserPresetStore::SlotNames{});
    EXPECT_EQ(store->takeDamageReport(), "");

    // Writing over a damaged file sets it aside first.
    writeRaw(folder / kSlotFileName, Bytes{'P', '1', '=', 'x'});
    ASSERT_TRUE(store->writeSlotNames({"A", "B", "C", "D"}));
    EXPECT_EQ(store->takeDamageReport(), "Damaged quick-slot names set aside");
    EXPECT_EQ(readRaw(folder / "quick-slots.damaged-2"), (Bytes{'P', '1', '=', 'x'}));
    EXPECT_EQ(readRaw(folder / "quick-slots.damaged"), damaged);
    ASSERT_TRUE(store->readSlotNames(names));
    EXPECT_EQ(names[3], std::string("D"));
}

TEST_F(FileStoreTest, FilesOfALaterFormatAreNeitherListedNorSetAsideNorReadAsSlotNames) {
    auto store = openStore();
    ASSERT_TRUE(store->writePreset("Future", record(kClean, 1)));
    ASSERT_TRUE(store->writeSlotNames({"One", "", "", ""}));
    // Later versions, longer than ours, whose checksums cover their version numbers.
    for (const auto& [file, size, checksumAt] :
         {std::tuple<std::string, std::size_t, std::size_t>{"Future.preset", 8004, 8000},
          {kSlotFileName, 1000, 8}}) {
        Bytes later = readRaw(folder / file);
        later.resize(size, 0xEE);
        later[4] = 2;
        const std::uint32_t sum = fileChecksum(later.data(), checksumAt);
        for (int i = 0; i < 4; ++i) {
            later[checksumAt + i] = static_cast<std::uint8_t>(sum >> (8 * i));
        }
        writeRaw(folder / file, later);
    }
    const Names files = filesIn(folder);
    UserPresetStore::SlotNames names;
    Bytes read;
    EXPECT_EQ(store->presetNames(kClean), Names{});
    EXPECT_FALSE(store->readPreset("Future", kClean, read));
    EXPECT_TRUE(store->holdsPreset("Future"));
    EXPECT_FALSE(store->readSlotNames(names));
    EXPECT_EQ(store->takeDamageReport(), "");
    EXPECT_EQ(filesIn(folder), files);
}

TEST_F(FileStoreTest, ReopenAndDestructionLeakNoDescriptor) {
    auto kept = openStore();
    const int before = openDescriptorCount();
    for (int cycle = 0; cycle < 200; ++cycle) {
        if (cycle % 100 == 0) {
            fs::remove_all(root / "config"); // watches on a parent too
        }
        ASSERT_TRUE(kept->reopen());
        kept->changed();
        FilePresetStore other(folder.string());
        ASSERT_TRUE(other.reopen());
        ASSERT_TRUE(other.writePreset("P" + std::to_string(cycle % 7), record(kClean, cycle)));
        if (cycle % 10 == 0) {
            writeRaw(folder / "Broken.preset", {1, 2, 3});
        }
        EXPECT_EQ(kept->presetNames(kClean).size(), std::size_t(std::min(cycle % 100 + 1, 7)));
        EXPECT_TRUE(other.changed());
    }
    EXPECT_EQ(openDescriptorCount(), before);
}

} // namespace

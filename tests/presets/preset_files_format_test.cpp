// The Linux store's files as bytes: file names of preset names, preset and slot files and what
// their readers make of damage, the default folder and the damage report's text.
#include "presets/preset_files_format.h"

#include <cstring>

#include <gtest/gtest.h>

#include "presets/preset_format.h"

using namespace kel::presets;

namespace {

using Bytes = std::vector<std::uint8_t>;
using SlotNames = UserPresetStore::SlotNames;

std::uint64_t uintAt(const Bytes& bytes, std::size_t offset, int size) {
    std::uint64_t value = 0;
    for (int i = 0; i < size; ++i) {
        value |= static_cast<std::uint64_t>(bytes.at(offset + i)) << (8 * i);
    }
    return value;
}

FileCheck decodeSlots(const Bytes& bytes, SlotNames& names) {
    return decodeSlotFile(bytes.data(), bytes.size(), names);
}

TEST(PresetFileName, EncodesEveryByteOutsideASafeSetAndReadsOnlyThatSpellingBack) {
    const struct {
        std::string name, file;
    } cases[] = {
        {"Glassy", "Glassy.preset"},
        {"a/b", "a%2Fb.preset"},
        {"..", "%2E%2E.preset"},
        {"100%", "100%25.preset"},
        {"Line\nTwo\t", "Line%0ATwo%09.preset"},
        {"\xE9t\xE9 \xFF", "%E9t%E9 %FF.preset"},
        {"C:*?\"<>|\\", "C%3A%2A%3F%22%3C%3E%7C%5C.preset"},
        {" (copy) [2]~!", " (copy) [2]~!.preset"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(presetFileName(c.name), c.file);
        EXPECT_EQ(presetNameOfFile(c.file), c.name) << c.file;
    }
    for (int byte = 1; byte < 256; ++byte) {
        const std::string longest(64, static_cast<char>(byte));
        const std::string file = presetFileName(longest);
        EXPECT_LE(file.size(), 255u);
        EXPECT_EQ(file.find('/'), std::string::npos);
        EXPECT_NE(file[0], '.');
        EXPECT_EQ(presetNameOfFile(file), longest) << byte;
    }
    for (const char* foreign :
         {"%41.preset", "a%2fb.preset", "%00.preset", "%4.preset", "%.preset", "%G1.preset",
          "a.b.preset", ".preset", "Glassy.Preset", "Glassy", "quick-slots", ".lock",
          "Glassy.preset.damaged", ".tmp-12-1", "a\nb.preset", "\xE9.preset"}) {
        EXPECT_EQ(presetNameOfFile(foreign), std::nullopt) << foreign;
    }
    EXPECT_EQ(presetNameOfFile(std::string("a\0b.preset", 10)), std::nullopt);
}

TEST(PresetFile, HoldsTheRecordAsTheRegistryDoesBehindAHeaderAndAChecksum) {
    EXPECT_EQ(fileChecksum(reinterpret_cast<const std::uint8_t*>("123456789"), 9), 0xCBF43926u);
    for (int recordSize : {48, 32}) {
        const PresetFileContents contents{0x0102030405060708u,
                                          encodeStoredPreset({85, 15, 71}, recordSize)};
        const Bytes bytes = encodePresetFile(contents);
        ASSERT_EQ(bytes.size(), 24u + recordSize);
        EXPECT_EQ(std::memcmp(bytes.data(), "SXPR", 4), 0);
        EXPECT_EQ(uintAt(bytes, 4, 4), 1u);
        EXPECT_EQ(uintAt(bytes, 8, 8), contents.order);
        EXPECT_EQ(uintAt(bytes, 16, 4), static_cast<std::uint64_t>(recordSize));
        EXPECT_EQ(Bytes(bytes.begin() + 20, bytes.end() - 4), contents.record);
        EXPECT_EQ(uintAt(bytes, 20 + recordSize, 4), fileChecksum(bytes.data(), 20 + recordSize));

        PresetFileContents read;
        ASSERT_EQ(decodePresetFile(bytes.data(), bytes.size(), read), FileCheck::Valid);
        EXPECT_EQ(read.order, contents.order);
        EXPECT_EQ(read.record, contents.record);
    }
    PresetFileContents read;
    const Bytes largest = encodePresetFile({1, Bytes(kMaxStoredRecordSize, 0xAB)});
    EXPECT_EQ(decodePresetFile(largest.data(), largest.size(), read), FileCheck::Valid);
}

TEST(PresetFile, EveryCutAndEveryFlippedBitIsDamageAndLeavesTheResultAlone) {
    const Bytes good = encodePresetFile({3, encodeStoredPreset({1, 2, 3}, 48)});
    PresetFileContents untouched{99, {9}};
    const auto expectDamaged = [&](const Bytes& bytes, const std::string& what) {
        PresetFileContents read = untouched;
        EXPECT_EQ(decodePresetFile(bytes.data(), bytes.size(), read), FileCheck::Damaged) << what;
        EXPECT_EQ(read.order, 99u) << what;
    };
    for (std::size_t length = 0; length < good.size(); ++length) {
        expectDamaged(Bytes(good.begin(), good.begin() + length),
                      "cut at " + std::to_string(length));
    }
    for (std::size_t bit = 0; bit < 8 * good.size(); ++bit) {
        Bytes flipped = good;
        flipped[bit / 8] ^= static_cast<std::uint8_t>(1u << (bit % 8));
        expectDamaged(flipped, "bit " + std::to_string(bit));
    }
    Bytes longer = good;
    longer.push_back(0);
    expectDamaged(longer, "one byte more");
    expectDamaged(Bytes(kMaxPresetFileSize + 1, 0), "too long");
    const std::string text = "Gain=85\nBright=15\nOutput=71\n";
    expectDamaged(Bytes(text.begin(), text.end()), "text");
}

TEST(SlotFile, RoundTripsNamesAndEmptySlots) {
    const SlotNames tables[] = {
        {std::string("Glassy"), std::nullopt, std::string(64, 'N'), std::string("a/\n\xE9")},
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {std::string("\xFF"), std::string(""), std::string("P3"), std::string(" ")},
    };
    for (const SlotNames& names : tables) {
        const Bytes bytes = encodeSlotFile(names);
        ASSERT_EQ(bytes.size(), kSlotFileSize);
        EXPECT_EQ(std::memcmp(bytes.data(), "SXQS\x01\0\0\0", 8), 0);
        SlotNames read;
        ASSERT_EQ(decodeSlots(bytes, read), FileCheck::Valid);
        for (int slot = 0; slot < kQuickSlotCount; ++slot) {
            const bool named = names[slot] && !names[slot]->empty();
            EXPECT_EQ(read[slot], named ? names[slot] : std::nullopt) << slot;
        }
    }
}

TEST(SlotFile, DamageCostsOnlyTheSlotsItTouches) {
    const SlotNames names{std::string("One"), std::string("Two"), std::string("Three"),
                          std::string("Four")};
    const Bytes good = encodeSlotFile(names);
    const std::size_t entry = 12, entrySize = 70;
    const auto withSlots = [&](std::initializer_list<int> kept) {
        SlotNames expected;
        for (int slot : kept) {
            expected[slot] = names[slot];
        }
        return expected;
    };
    Bytes flipped = good;
    flipped[entry + entrySize + 5] ^= 0x40; // a letter of "Two"
    Bytes swapped = good;
    std::swap_ranges(swapped.begin() + entry, swapped.begin() + entry + entrySize,
                     swapped.begin() + entry + entrySize);
    Bytes padding = good;
    padding[entry + 2 * entrySize + 2 + 10] = 'x'; // behind "Three", checksum made to match
    const std::uint32_t sum = fileChecksum(padding.data() + entry + 2 * entrySize, 66);
    for (int i = 0; i < 4; ++i) {
        padding[entry + 2 * entrySize + 66 + i] = static_cast<std::uint8_t>(sum >> (8 * i));
    }
    Bytes longer = good;
    longer.push_back(0);
    Bytes header = good;
    header[1] = 'Y';
    const struct {
        const char* what;
        Bytes bytes;
        SlotNames expected;
    } cases[] = {
        {"a flipped name byte", flipped, withSlots({0, 2, 3})},
        {"two slots swapped", swapped, withSlots({2, 3})},
        {"bytes behind a name", padding, withSlots({0, 1, 3})},
        {"cut inside slot 3", Bytes(good.begin(), good.begin() + entry + 2 * entrySize + 30),
         withSlots({0, 1})},
        {"one byte more", longer, names},
        {"a damaged header", header, {}},
        {"empty", {}, {}},
    };
    for (const auto& c : cases) {
        SlotNames read{std::string("stale")};
        EXPECT_EQ(decodeSlots(c.bytes, read), FileCheck::Damaged) << c.what;
        EXPECT_EQ(read, c.expected) << c.what;
    }
}

TEST(PresetFolder, IsUnderTheXdgConfigHomeOrTheHomesConfigFolder) {
    const struct {
        const char *xdg, *home, *folder;
    } cases[] = {
        {"/x/conf", "/home/u", "/x/conf/Sonadrix/Orvalle Vol.2"},
        {"/x/conf//", "/home/u", "/x/conf/Sonadrix/Orvalle Vol.2"},
        {nullptr, "/home/u", "/home/u/.config/Sonadrix/Orvalle Vol.2"},
        {"", "/home/u", "/home/u/.config/Sonadrix/Orvalle Vol.2"},
        {"relative/conf", "/home/u", "/home/u/.config/Sonadrix/Orvalle Vol.2"},
        {nullptr, "/", "/.config/Sonadrix/Orvalle Vol.2"},
        {"/", nullptr, "/Sonadrix/Orvalle Vol.2"},
        {nullptr, "home/u", ""},
        {"", nullptr, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(presetFolderFor(c.xdg, c.home), c.folder)
            << (c.xdg ? c.xdg : "(unset)") << " " << (c.home ? c.home : "(unset)");
    }
}

TEST(DamageReport, FitsTheStatusLineAndNamesWhatWasSetAside) {
    const struct {
        DamageTally tally;
        std::string text;
    } cases[] = {
        {{}, ""},
        {{{"Glassy"}, false, 0}, "Damaged preset set aside: Glassy"},
        {{{std::string(64, 'L')}, false, 0}, "Damaged preset set aside: LLLLLLLLLLL..."},
        {{{"Two\nlines\x7F"}, false, 0}, "Damaged preset set aside: Two?lines?"},
        {{{}, true, 0}, "Damaged quick-slot names set aside"},
        {{{"a", "b"}, true, 0}, "3 damaged files set aside"},
        {{{}, false, 1}, "Damaged preset file left in place"},
        {{{"a"}, false, 2}, "3 damaged files, some left in place"},
    };
    for (const auto& c : cases) {
        const std::string text = damageReportText(c.tally);
        EXPECT_EQ(text, c.text);
        EXPECT_LE(text.size(), kDamageReportMaxLength) << text;
    }
}

} // namespace

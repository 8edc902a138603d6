// The bytes of stored presets, slot names and preset archives, as the registry and files hold
// them, and what the readers make of damaged or hostile bytes.
#include "presets/preset_format.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/presets/archive_bytes.h"

using namespace kel::presets;

namespace {

constexpr int kCleanRecord = 48;  // HN-6
constexpr int kCrunchRecord = 32; // KR-6

using Bytes = std::vector<std::uint8_t>;

std::int32_t int32At(const Bytes& bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(bytes.at(offset + i)) << (8 * i);
    }
    return static_cast<std::int32_t>(value);
}

struct ReadResult {
    ArchiveHeaderCheck header;
    std::vector<ArchiveRecord> records;
    ArchiveStep last = ArchiveStep::End;
};

ReadResult readAll(ByteSource& source, int recordSize) {
    ArchiveReader reader(source, recordSize);
    ReadResult result{reader.readHeader(), {}};
    if (result.header != ArchiveHeaderCheck::Valid) {
        return result;
    }
    ArchiveRecord record;
    while ((result.last = reader.next(record)) == ArchiveStep::Record) {
        result.records.push_back(record);
    }
    return result;
}

ReadResult readAll(const Bytes& bytes, int recordSize) {
    MemorySource source(bytes.data(), bytes.size());
    return readAll(source, recordSize);
}

TEST(StoredPreset, HoldsItsSizeAndTheThreeValuesAtFixedOffsets) {
    for (int recordSize : {kCleanRecord, kCrunchRecord}) {
        const Bytes bytes = encodeStoredPreset({85, 15, 71}, recordSize);
        ASSERT_EQ(bytes.size(), static_cast<std::size_t>(recordSize));
        EXPECT_EQ(int32At(bytes, 0), recordSize);
        EXPECT_EQ(int32At(bytes, 20), 85);
        EXPECT_EQ(int32At(bytes, 24), 15);
        EXPECT_EQ(int32At(bytes, 28), 71);
        for (std::size_t i = 4; i < 20; ++i) {
            EXPECT_EQ(bytes[i], 0u) << i;
        }
        for (std::size_t i = 32; i < bytes.size(); ++i) {
            EXPECT_EQ(bytes[i], 0u) << i; // the HN-6's four reserved integers
        }
        PresetValues values{};
        ASSERT_TRUE(decodeStoredPreset(bytes.data(), bytes.size(), recordSize, values));
        EXPECT_EQ(values, (PresetValues{85, 15, 71}));
    }
}

TEST(StoredPreset, ValuesOutOfRangeAreKeptForTheRecallToClamp) {
    const Bytes bytes = encodeStoredPreset({-5, 1000, 2147483647}, kCleanRecord);
    PresetValues values{};
    ASSERT_TRUE(decodeStoredPreset(bytes.data(), bytes.size(), kCleanRecord, values));
    EXPECT_EQ(values, (PresetValues{-5, 1000, 2147483647}));
}

TEST(StoredPreset, ReadRefusesDataTooShortForTheValuesOrLongerThanTheRecord) {
    const Bytes full = encodeStoredPreset({1, 2, 3}, kCleanRecord);
    PresetValues values{7, 7, 7};
    // Shorter than the three values: refused rather than read from whatever follows.
    for (std::size_t length : {0u, 20u, 31u}) {
        EXPECT_FALSE(decodeStoredPreset(full.data(), length, kCleanRecord, values)) << length;
        EXPECT_EQ(values, (PresetValues{7, 7, 7}));
    }
    // Shorter than the HN-6 record but holding all three values: read.
    EXPECT_TRUE(decodeStoredPreset(full.data(), 32, kCleanRecord, values));
    EXPECT_EQ(values, (PresetValues{1, 2, 3}));
    Bytes longer = full;
    longer.push_back(0);
    EXPECT_FALSE(decodeStoredPreset(longer.data(), longer.size(), kCleanRecord, values));
    EXPECT_FALSE(decodeStoredPreset(full.data(), 33, kCrunchRecord, values));
    EXPECT_FALSE(decodeStoredPreset(nullptr, 48, kCleanRecord, values));
}

TEST(SlotName, IsWrittenAsSixtyFiveBytesAndReadUpToItsTerminator) {
    const auto field = encodeSlotName("Low Hot");
    EXPECT_EQ(field.size(), 65u);
    EXPECT_EQ(std::memcmp(field.data(), "Low Hot", 8), 0);
    for (std::size_t i = 8; i < field.size(); ++i) {
        EXPECT_EQ(field[i], 0u);
    }
    EXPECT_EQ(decodeSlotName(field.data(), field.size()), "Low Hot");

    const std::string longest(64, 'x');
    const auto full = encodeSlotName(longest);
    EXPECT_EQ(full[64], 0u);
    EXPECT_EQ(decodeSlotName(full.data(), full.size()), longest);
    EXPECT_EQ(decodeSlotName(encodeSlotName(std::string(80, 'y')).data(), 65),
              std::string(64, 'y'));
    EXPECT_EQ(decodeSlotName(encodeSlotName("").data(), 65), "");
}

TEST(SlotName, ReaderNeverRunsPastTheFieldOrReturnsMoreThanSixtyFourCharacters) {
    Bytes unterminated(65, 'A');
    EXPECT_EQ(decodeSlotName(unterminated.data(), unterminated.size()), std::string(64, 'A'));
    Bytes longer(200, 'B');
    EXPECT_EQ(decodeSlotName(longer.data(), longer.size()), std::string(64, 'B'));
    const std::uint8_t shortField[3] = {'a', 'b', 'c'};
    EXPECT_EQ(decodeSlotName(shortField, sizeof(shortField)), "abc");
    const std::uint8_t earlyZero[6] = {'P', '1', 0, 'x', 'y', 'z'};
    EXPECT_EQ(decodeSlotName(earlyZero, sizeof(earlyZero)), "P1");
    EXPECT_EQ(decodeSlotName(nullptr, 65), "");
}

TEST(ArchiveHeader, CarriesMagicTagAndThePluginsRecordLength) {
    const auto clean = encodeArchiveHeader(kCleanRecord);
    const Bytes bytes(clean.begin(), clean.end());
    EXPECT_EQ(std::memcmp(bytes.data(), "Sonadrix\0", 9), 0);
    EXPECT_EQ(int32At(bytes, 12), 7);
    EXPECT_EQ(int32At(bytes, 16), 112);
    const auto crunch = encodeArchiveHeader(kCrunchRecord);
    EXPECT_EQ(int32At(Bytes(crunch.begin(), crunch.end()), 16), 96);

    EXPECT_EQ(checkArchiveHeader(clean.data(), clean.size(), kCleanRecord),
              ArchiveHeaderCheck::Valid);
    EXPECT_EQ(checkArchiveHeader(crunch.data(), crunch.size(), kCrunchRecord),
              ArchiveHeaderCheck::Valid);
    // Each plug-in refuses the other's archives.
    EXPECT_EQ(checkArchiveHeader(clean.data(), clean.size(), kCrunchRecord),
              ArchiveHeaderCheck::OtherPlugin);
    EXPECT_EQ(checkArchiveHeader(crunch.data(), crunch.size(), kCleanRecord),
              ArchiveHeaderCheck::OtherPlugin);
}

TEST(ArchiveHeader, RefusesShortHeadersForeignMagicAndOtherFormats) {
    const auto good = encodeArchiveHeader(kCleanRecord);
    EXPECT_EQ(checkArchiveHeader(good.data(), 19, kCleanRecord), ArchiveHeaderCheck::NotAnArchive);
    EXPECT_EQ(checkArchiveHeader(good.data(), 0, kCleanRecord), ArchiveHeaderCheck::NotAnArchive);
    EXPECT_EQ(checkArchiveHeader(nullptr, 20, kCleanRecord), ArchiveHeaderCheck::NotAnArchive);

    for (std::size_t byte = 0; byte < 9; ++byte) {
        auto damaged = good;
        damaged[byte] ^= 0x20; // "sonadrix", a missing zero byte, ...
        EXPECT_EQ(checkArchiveHeader(damaged.data(), damaged.size(), kCleanRecord),
                  ArchiveHeaderCheck::NotAnArchive)
            << byte;
    }
    auto reserved = good;
    reserved[9] = reserved[10] = reserved[11] = 0xEE;
    EXPECT_EQ(checkArchiveHeader(reserved.data(), reserved.size(), kCleanRecord),
              ArchiveHeaderCheck::Valid);

    auto tag = good;
    tag[12] = 8;
    EXPECT_EQ(checkArchiveHeader(tag.data(), tag.size(), kCleanRecord),
              ArchiveHeaderCheck::OtherPlugin);
    for (std::uint8_t high : {0x7Fu, 0xFFu}) {
        auto length = good;
        length[19] = high; // a huge or a negative record length
        EXPECT_EQ(checkArchiveHeader(length.data(), length.size(), kCleanRecord),
                  ArchiveHeaderCheck::OtherPlugin);
    }
}

TEST(ArchiveRecord, NameOfSixtyFourCharactersFillsTheFieldWithoutTerminator) {
    const std::string longest(64, 'N');
    const Bytes data = encodeStoredPreset({1, 2, 3}, kCleanRecord);
    const Bytes record = encodeArchiveRecord(longest, data.data(), kCleanRecord);
    ASSERT_EQ(record.size(), 112u);
    EXPECT_EQ(std::memchr(record.data(), 0, 64), nullptr);
    EXPECT_EQ(Bytes(record.begin() + 64, record.end()), data);

    const ArchiveRecord read = decodeArchiveRecord(record.data(), kCleanRecord);
    EXPECT_EQ(read.name, longest);
    EXPECT_EQ(read.data, data);
}

TEST(ArchiveRecord, ReaderIgnoresWhatFollowsTheNamesTerminator) {
    const Bytes data = encodeStoredPreset({4, 5, 6}, kCrunchRecord);
    Bytes record = encodeArchiveRecord("Crunchy", data.data(), kCrunchRecord);
    std::memset(record.data() + 8, 'Z', 56); // junk after the zero byte
    EXPECT_EQ(decodeArchiveRecord(record.data(), kCrunchRecord).name, "Crunchy");
    EXPECT_EQ(encodeArchiveRecord(std::string(70, 'L'), data.data(), kCrunchRecord).size(), 96u);
    EXPECT_EQ(decodeArchiveRecord(
                  encodeArchiveRecord(std::string(70, 'L'), data.data(), kCrunchRecord).data(),
                  kCrunchRecord)
                  .name,
              std::string(64, 'L'));
}

TEST(ArchiveReader, ReadsEveryRecordOfAnArchiveInOrder) {
    const std::string longest(64, 'q');
    const Bytes bytes = archiveBytes(
        kCleanRecord, {{"Warm", {40, 3, 90}}, {longest, {85, 15, 61}}, {"", {0, 0, 0}}});
    ASSERT_EQ(bytes.size(), 20u + 3 * 112u);
    const ReadResult result = readAll(bytes, kCleanRecord);
    ASSERT_EQ(result.header, ArchiveHeaderCheck::Valid);
    EXPECT_EQ(result.last, ArchiveStep::End);
    ASSERT_EQ(result.records.size(), 3u);
    EXPECT_EQ(result.records[0].name, "Warm");
    EXPECT_EQ(result.records[1].name, longest);
    EXPECT_EQ(result.records[2].name, "");
    PresetValues values{};
    ASSERT_TRUE(decodeStoredPreset(result.records[1].data.data(), result.records[1].data.size(),
                                   kCleanRecord, values));
    EXPECT_EQ(values, (PresetValues{85, 15, 61}));
}

TEST(ArchiveReader, HeaderOnlyArchiveHasNoRecords) {
    const Bytes bytes = archiveBytes(kCrunchRecord, {});
    EXPECT_EQ(bytes.size(), 20u);
    const ReadResult result = readAll(bytes, kCrunchRecord);
    EXPECT_EQ(result.header, ArchiveHeaderCheck::Valid);
    EXPECT_TRUE(result.records.empty());
    EXPECT_EQ(result.last, ArchiveStep::End);
}

TEST(ArchiveReader, TruncatedLastRecordIsReportedAfterTheWholeOnes) {
    Bytes bytes = archiveBytes(kCrunchRecord, {{"One", {1, 1, 1}}, {"Two", {2, 2, 2}}});
    for (std::size_t cut : {1u, 64u, 95u}) {
        const Bytes shortened(bytes.begin(), bytes.end() - static_cast<std::ptrdiff_t>(cut));
        const ReadResult result = readAll(shortened, kCrunchRecord);
        ASSERT_EQ(result.records.size(), 1u) << cut;
        EXPECT_EQ(result.records[0].name, "One");
        EXPECT_EQ(result.last, ArchiveStep::Truncated) << cut;
    }
}

TEST(ArchiveReader, ShortOrForeignFilesAreNoArchive) {
    const Bytes header = archiveBytes(kCleanRecord, {});
    EXPECT_EQ(readAll(Bytes(header.begin(), header.begin() + 19), kCleanRecord).header,
              ArchiveHeaderCheck::NotAnArchive);
    EXPECT_EQ(readAll(Bytes(), kCleanRecord).header, ArchiveHeaderCheck::NotAnArchive);
    const std::string text = "Sonadrix presets, but as text, not an archive at all";
    EXPECT_EQ(readAll(Bytes(text.begin(), text.end()), kCleanRecord).header,
              ArchiveHeaderCheck::NotAnArchive);
    EXPECT_EQ(readAll(archiveBytes(kCrunchRecord, {{"K", {1, 2, 3}}}), kCleanRecord).header,
              ArchiveHeaderCheck::OtherPlugin);
}

// Hands out one byte per read, then optionally fails: a pipe or a network file.
class TrickleSource : public ByteSource {
public:
    TrickleSource(const Bytes& bytes, std::size_t failAt) : data(bytes), failAfter(failAt) {}
    bool read(std::uint8_t* buffer, std::size_t size, std::size_t& got) override {
        got = 0;
        if (position >= failAfter) {
            return false;
        }
        if (size > 0 && position < data.size()) {
            buffer[0] = data[position++];
            got = 1;
        }
        return true;
    }

private:
    const Bytes& data;
    std::size_t failAfter;
    std::size_t position = 0;
};

TEST(ArchiveReader, GathersRecordsFromPiecemealReadsAndReportsAFailingSource) {
    const Bytes bytes = archiveBytes(kCleanRecord, {{"A", {1, 2, 3}}, {"B", {4, 5, 6}}});
    TrickleSource trickle(bytes, bytes.size() + 1);
    const ReadResult whole = readAll(trickle, kCleanRecord);
    ASSERT_EQ(whole.records.size(), 2u);
    EXPECT_EQ(whole.records[1].name, "B");
    EXPECT_EQ(whole.last, ArchiveStep::End);

    TrickleSource failing(bytes, 20 + 112 + 50);
    const ReadResult broken = readAll(failing, kCleanRecord);
    EXPECT_EQ(broken.records.size(), 1u);
    EXPECT_EQ(broken.last, ArchiveStep::ReadFailed);

    TrickleSource failingHeader(bytes, 10);
    EXPECT_EQ(readAll(failingHeader, kCleanRecord).header, ArchiveHeaderCheck::NotAnArchive);
}

} // namespace

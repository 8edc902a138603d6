#include "presets/preset_format.h"

#include <algorithm>
#include <cstring>

namespace kel::presets {

using namespace kel::model;

namespace {

constexpr char kArchiveMagic[] = "Sonadrix"; // with its zero byte: 9 bytes
constexpr std::size_t kArchiveMagicSize = sizeof(kArchiveMagic);
constexpr std::size_t kArchiveTagOffset = 12;
constexpr std::size_t kArchiveRecordLengthOffset = 16;

void putInt32(std::uint8_t* out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
}

std::int32_t getInt32(const std::uint8_t* in) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        bits |= static_cast<std::uint32_t>(in[i]) << (8 * i);
    }
    return static_cast<std::int32_t>(bits);
}

// Length of the text in a field that need not hold a terminator.
std::size_t fieldTextLength(const std::uint8_t* field, std::size_t size) {
    const void* zero = std::memchr(field, 0, size);
    return zero ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - field) : size;
}

} // namespace

std::vector<std::uint8_t> encodeStoredPreset(const PresetValues& values, int recordSize) {
    std::vector<std::uint8_t> bytes(std::max<std::size_t>(
        kStoredPresetValuesEnd, static_cast<std::size_t>(std::max(recordSize, 0))));
    putInt32(bytes.data(), recordSize);
    for (std::size_t i = 0; i < values.size(); ++i) {
        putInt32(bytes.data() + kStoredPresetValuesOffset + 4 * i, values[i]);
    }
    return bytes;
}

bool decodeStoredPreset(const std::uint8_t* data, std::size_t length, int recordSize,
                        PresetValues& values) {
    if (!data || recordSize < 0 || length < kStoredPresetValuesEnd ||
        length > static_cast<std::size_t>(recordSize)) {
        return false;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        values[i] = getInt32(data + kStoredPresetValuesOffset + 4 * i);
    }
    return true;
}

std::array<std::uint8_t, kSlotNameFieldSize> encodeSlotName(const std::string& name) {
    std::array<std::uint8_t, kSlotNameFieldSize> field{};
    const std::size_t length =
        std::min(fieldTextLength(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()),
                 static_cast<std::size_t>(kMaxPresetNameLength));
    std::memcpy(field.data(), name.data(), length);
    return field;
}

std::string decodeSlotName(const std::uint8_t* data, std::size_t length) {
    if (!data) {
        return {};
    }
    const std::size_t field = std::min(length, kSlotNameFieldSize);
    const std::size_t text =
        std::min(fieldTextLength(data, field), static_cast<std::size_t>(kMaxPresetNameLength));
    return std::string(reinterpret_cast<const char*>(data), text);
}

std::array<std::uint8_t, kArchiveHeaderSize> encodeArchiveHeader(int recordSize) {
    std::array<std::uint8_t, kArchiveHeaderSize> header{};
    std::memcpy(header.data(), kArchiveMagic, kArchiveMagicSize);
    putInt32(header.data() + kArchiveTagOffset, kArchiveFormatTag);
    putInt32(header.data() + kArchiveRecordLengthOffset,
             static_cast<std::int32_t>(archiveRecordLength(recordSize)));
    return header;
}

ArchiveHeaderCheck checkArchiveHeader(const std::uint8_t* data, std::size_t length,
                                      int recordSize) {
    if (!data || length < kArchiveHeaderSize ||
        std::memcmp(data, kArchiveMagic, kArchiveMagicSize) != 0) {
        return ArchiveHeaderCheck::NotAnArchive;
    }
    if (getInt32(data + kArchiveTagOffset) != kArchiveFormatTag ||
        getInt32(data + kArchiveRecordLengthOffset) !=
            static_cast<std::int32_t>(archiveRecordLength(recordSize))) {
        return ArchiveHeaderCheck::OtherPlugin;
    }
    return ArchiveHeaderCheck::Valid;
}

std::vector<std::uint8_t> encodeArchiveRecord(const std::string& name, const std::uint8_t* data,
                                              int recordSize) {
    std::vector<std::uint8_t> record(archiveRecordLength(recordSize));
    const std::size_t length =
        std::min(fieldTextLength(reinterpret_cast<const std::uint8_t*>(name.data()), name.size()),
                 kArchiveNameFieldSize);
    std::memcpy(record.data(), name.data(), length);
    if (data && recordSize > 0) {
        std::memcpy(record.data() + kArchiveNameFieldSize, data,
                    static_cast<std::size_t>(recordSize));
    }
    return record;
}

ArchiveRecord decodeArchiveRecord(const std::uint8_t* bytes, int recordSize) {
    ArchiveRecord record;
    record.name.assign(reinterpret_cast<const char*>(bytes),
                       fieldTextLength(bytes, kArchiveNameFieldSize));
    record.data.assign(bytes + kArchiveNameFieldSize,
                       bytes + archiveRecordLength(std::max(recordSize, 0)));
    return record;
}

bool MemorySource::read(std::uint8_t* buffer, std::size_t wanted, std::size_t& got) {
    got = std::min(wanted, size - position);
    if (got > 0) {
        std::memcpy(buffer, data + position, got);
    }
    position += got;
    return true;
}

ArchiveReader::ArchiveReader(ByteSource& bytes, int size)
    : source(bytes), recordSize(std::max(size, 0)), buffer(archiveRecordLength(recordSize)) {}

bool ArchiveReader::fill(std::uint8_t* target, std::size_t size, std::size_t& got) {
    got = 0;
    while (got < size) {
        std::size_t part = 0;
        if (!source.read(target + got, size - got, part)) {
            return false;
        }
        if (part == 0) {
            break;
        }
        got += part;
    }
    return true;
}

ArchiveHeaderCheck ArchiveReader::readHeader() {
    std::array<std::uint8_t, kArchiveHeaderSize> header{};
    std::size_t got = 0;
    if (!fill(header.data(), header.size(), got)) {
        return ArchiveHeaderCheck::NotAnArchive;
    }
    return checkArchiveHeader(header.data(), got, recordSize);
}

ArchiveStep ArchiveReader::next(ArchiveRecord& record) {
    std::size_t got = 0;
    if (!fill(buffer.data(), buffer.size(), got)) {
        return ArchiveStep::ReadFailed;
    }
    if (got == 0) {
        return ArchiveStep::End;
    }
    if (got < buffer.size()) {
        return ArchiveStep::Truncated;
    }
    record = decodeArchiveRecord(buffer.data(), recordSize);
    return ArchiveStep::Record;
}

} // namespace kel::presets

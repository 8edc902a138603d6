// The bytes of stored user data: a stored preset as the registry holds it, a quick slot's name
// field, and the preset archive file (.kpa). Pure functions on bytes, shared by the plug-ins'
// registry and file code, the native tests and the fuzzer. Everything read here comes from outside
// the plug-in (the registry, a file a user picked) and is treated as untrusted.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/plugin_description.h"

namespace kel::presets {

// Three integers, one for each of parameters 1 to 3: Gain, Bright or Mid Boost, Output.
using PresetValues = std::array<int, model::kPresetValueCount>;

// A preset name of at most 64 characters and its terminator.
inline constexpr std::size_t kPresetNameBufferSize = model::kMaxPresetNameLength + 1;

// Stored preset: a little-endian record of the plug-in's size (48 bytes in the HN-6, 32 in the
// KR-6): the size at offset 0, the three values at offsets 20, 24 and 28; the other bytes are
// reserved and written as zeros.
inline constexpr std::size_t kStoredPresetValuesOffset = 20;
// A stored preset must reach this far to hold its three values.
inline constexpr std::size_t kStoredPresetValuesEnd =
    kStoredPresetValuesOffset + 4 * model::kPresetValueCount;

std::vector<std::uint8_t> encodeStoredPreset(const PresetValues& values, int recordSize);

// The values of a stored preset read back: false when the data is too short to hold the three
// values or longer than the plug-in's record size. A shorter record that still holds them is read.
bool decodeStoredPreset(const std::uint8_t* data, std::size_t length, int recordSize,
                        PresetValues& values);

// Quick-slot name: a string value written as a field of 65 bytes, the name, its terminator and
// zeros.
inline constexpr std::size_t kSlotNameFieldSize = 65;

// A name longer than 64 characters is cut to 64.
std::array<std::uint8_t, kSlotNameFieldSize> encodeSlotName(const std::string& name);

// The name held in a slot-name field: the text up to the first zero, and never more than 64
// characters, also when the field carries no terminator.
std::string decodeSlotName(const std::uint8_t* data, std::size_t length);

// Preset archive: a 20-byte header ("Sonadrix" and a zero, three reserved bytes, format tag 7,
// record length), then records of the record length up to the end of the file: a 64-byte name
// field, then the stored preset exactly as the registry holds it.
inline constexpr std::size_t kArchiveHeaderSize = 20;
inline constexpr std::size_t kArchiveNameFieldSize = model::kMaxPresetNameLength;
inline constexpr std::int32_t kArchiveFormatTag = 7;

constexpr std::size_t archiveRecordLength(int recordSize) {
    return kArchiveNameFieldSize + static_cast<std::size_t>(recordSize);
}

std::array<std::uint8_t, kArchiveHeaderSize> encodeArchiveHeader(int recordSize);

enum class ArchiveHeaderCheck {
    Valid,
    NotAnArchive, // short, or not our magic
    OtherPlugin,  // another format tag, or the record length of another plug-in
};

ArchiveHeaderCheck checkArchiveHeader(const std::uint8_t* data, std::size_t length, int recordSize);

struct ArchiveRecord {
    std::string name;               // at most 64 characters
    std::vector<std::uint8_t> data; // the stored preset, the plug-in's record size
};

// A record of archiveRecordLength (recordSize) bytes. The name field needs no terminator when the
// name has exactly 64 characters; a longer name is cut to 64. data must hold recordSize bytes.
std::vector<std::uint8_t> encodeArchiveRecord(const std::string& name, const std::uint8_t* data,
                                              int recordSize);

// Reads a record of archiveRecordLength (recordSize) bytes.
ArchiveRecord decodeArchiveRecord(const std::uint8_t* bytes, int recordSize);

// Where an archive's bytes come from: a file, or memory in tests and the fuzzer.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to size bytes into buffer and tells how many arrived in got (0 at the end).
    // False when reading failed.
    virtual bool read(std::uint8_t* buffer, std::size_t size, std::size_t& got) = 0;
};

class MemorySource : public ByteSource {
public:
    MemorySource(const std::uint8_t* bytes, std::size_t length) : data(bytes), size(length) {}
    bool read(std::uint8_t* buffer, std::size_t wanted, std::size_t& got) override;

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

enum class ArchiveStep {
    Record,     // a whole record arrived
    End,        // nothing left
    ReadFailed, // the source failed
    Truncated,  // the file ends inside a record: that record is not to be imported
};

// Reads an archive record by record, never holding more than one record in memory.
class ArchiveReader {
public:
    ArchiveReader(ByteSource& source, int recordSize);

    // Reads the header; a source that fails or ends early makes it NotAnArchive.
    ArchiveHeaderCheck readHeader();
    // The next record. Call only after readHeader answered Valid.
    ArchiveStep next(ArchiveRecord& record);

private:
    // Fills the buffer as far as the source goes; false when reading failed.
    bool fill(std::uint8_t* buffer, std::size_t size, std::size_t& got);

    ByteSource& source;
    int recordSize;
    std::vector<std::uint8_t> buffer;
};

} // namespace kel::presets

// The bytes of the files the Linux store keeps its user presets and quick-slot names in, their
// file names and the store's default folder. Pure functions on bytes and strings, without a
// system call, so the native tests and the fuzzer reach all of it. Whatever they read comes from
// a folder anyone may have written to and is treated as untrusted.
//
// A user preset is one file, "<name percent-encoded>.preset":
//   offset  0  4 bytes  "SXPR"
//           4  4        format version, 1
//           8  8        order stamp: presets are listed by ascending stamp (then by name); a
//                       preset keeps the stamp it got when it was first stored
//          16  4        record length n, at most kMaxStoredRecordSize
//          20  n        the record, exactly the bytes the registry value holds on Windows
//        20+n  4        CRC-32 (IEEE 802.3) of every byte before it
// The quick-slot names are one file of 292 bytes:
//   offset  0  4 bytes  "SXQS"
//           4  4        format version, 1
//           8  4        CRC-32 of bytes 0 to 7
//          12  4 x 70   slots P1 to P4: slot number (1 to 4), name length (0 for no name, else
//                       1 to 64), 64 bytes of name padded with zeros, CRC-32 of those 66 bytes
// Integers are little-endian. Each slot carries its own checksum, so damage costs only the
// slots it touches. A later format version keeps the magic and the version where they are, and
// the checksum that covers the version (a preset file's last four bytes, a slot file's bytes 8
// to 11), so that a damaged version number is seen as damage, not as a later format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "presets/user_preset_store.h"

namespace kel::presets {

// The longest record a preset file holds; the plug-ins' own are 48 and 32 bytes.
inline constexpr std::size_t kMaxStoredRecordSize = 4096;
inline constexpr std::size_t kPresetFileOverhead = 24;
inline constexpr std::size_t kMaxPresetFileSize = kPresetFileOverhead + kMaxStoredRecordSize;
inline constexpr std::size_t kSlotFileSize = 292;
inline constexpr const char* kPresetFileSuffix = ".preset";
inline constexpr const char* kSlotFileName = "quick-slots";

// A name the store keeps a preset or a slot under: 1 to 64 bytes (Windows-1252), none of them 0.
bool isStorableName(const std::string& name);

// The file name of the preset `name` (1 byte or more, none 0): bytes other than ASCII letters,
// digits, the space and !#$&'()+,-;=@[]^_{}~ become %XX (upper-case hex), so that '/', '.',
// control bytes, bytes from 0x80 up and the characters other file systems refuse never reach a
// file name. At most 3 bytes per name byte plus the suffix: 199 bytes for 64.
std::string presetFileName(const std::string& name);

// The preset name a file name stands for; nullopt unless presetFileName gives exactly this file
// name for it (other spellings of the same name, such as "%41" for "A", are not ours). The name
// may be longer than 64 bytes; the store leaves such names out.
std::optional<std::string> presetNameOfFile(const std::string& fileName);

// CRC-32 as zlib and PNG compute it.
std::uint32_t fileChecksum(const std::uint8_t* data, std::size_t length);

struct PresetFileContents {
    std::uint64_t order = 0;
    std::vector<std::uint8_t> record;
};

// record.size() must be at most kMaxStoredRecordSize.
std::vector<std::uint8_t> encodePresetFile(const PresetFileContents& contents);

enum class FileCheck {
    Valid,
    Damaged,     // not a file of ours, or ours with wrong bytes, cut short or too long
    NewerFormat, // our magic with a later format version: a later release's, not to be judged
};

// Valid fills contents; anything else leaves it as it was.
FileCheck decodePresetFile(const std::uint8_t* data, std::size_t length,
                           PresetFileContents& contents);

// Slots without a name (std::nullopt, or an empty string) are written as such; every name must be
// storable.
std::vector<std::uint8_t> encodeSlotFile(const UserPresetStore::SlotNames& names);

// Valid and Damaged fill names: a damaged slot comes back without a name, the others as stored.
// NewerFormat leaves names without any.
FileCheck decodeSlotFile(const std::uint8_t* data, std::size_t length,
                         UserPresetStore::SlotNames& names);

// The folder both plug-ins keep their files in, <config>/Sonadrix/Orvalle Vol.2, where <config>
// is xdgConfigHome when it is an absolute path, else <home>/.config when home is one. Empty when
// neither is (either may be null).
std::string presetFolderFor(const char* xdgConfigHome, const char* home);

// What the store set aside since the editor last asked, for its one-line status display.
struct DamageTally {
    std::vector<std::string> presetsSetAside; // preset names, as found
    bool slotFileSetAside = false;
    int filesLeftInPlace = 0; // damaged files that could not be moved aside
};

inline constexpr std::size_t kDamageReportMaxLength = 40;

// At most kDamageReportMaxLength bytes, on one line; empty when the tally is.
std::string damageReportText(const DamageTally& tally);

} // namespace kel::presets

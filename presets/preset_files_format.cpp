#include "presets/preset_files_format.h"

#include "model/user_folders.h"

#include <algorithm>
#include <cstring>

#include "model/plugin_description.h"

namespace kel::presets {

namespace {

constexpr std::uint8_t kPresetMagic[4] = {'S', 'X', 'P', 'R'};
constexpr std::uint8_t kSlotMagic[4] = {'S', 'X', 'Q', 'S'};
constexpr std::uint32_t kFormatVersion = 1;
constexpr std::size_t kHeaderSize = 8; // magic and version, in both files
constexpr std::size_t kPresetRecordOffset = 20;
constexpr std::size_t kSlotEntriesOffset = kHeaderSize + 4;
constexpr std::size_t kSlotNameSize = model::kMaxPresetNameLength;
constexpr std::size_t kSlotEntrySize = 2 + kSlotNameSize + 4;
static_assert(kSlotEntriesOffset + kQuickSlotCount * kSlotEntrySize == kSlotFileSize);
static_assert(kPresetRecordOffset + 4 == kPresetFileOverhead);

constexpr const char* kHexDigits = "0123456789ABCDEF";
constexpr const char* kDamageEllipsis = "...";

bool keptInFileName(unsigned char byte) {
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
           (byte >= '0' && byte <= '9') ||
           (byte != 0 && std::strchr(" !#$&'()+,-;=@[]^_{}~", byte) != nullptr);
}

int upperHexValue(char digit) {
    const char* found = digit ? std::strchr(kHexDigits, digit) : nullptr;
    return found ? static_cast<int>(found - kHexDigits) : -1;
}

void putUint32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

std::uint64_t getUint(const std::uint8_t* in, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) {
        value |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    }
    return value;
}

void putHeader(std::vector<std::uint8_t>& out, const std::uint8_t (&magic)[4]) {
    out.insert(out.end(), magic, magic + 4);
    putUint32(out, kFormatVersion);
}

void putChecksum(std::vector<std::uint8_t>& out, std::size_t from) {
    putUint32(out, fileChecksum(out.data() + from, out.size() - from));
}

bool checksumMatches(const std::uint8_t* data, std::size_t covered) {
    return getUint(data + covered, 4) == fileChecksum(data, covered);
}

// Valid when the header is ours and of this version; the version is believed only when the
// checksum at checksumOffset, over the bytes before it, matches.
FileCheck checkHeader(const std::uint8_t* data, std::size_t length, const std::uint8_t (&magic)[4],
                      std::size_t checksumOffset) {
    if (!data || length < kHeaderSize || checksumOffset < kHeaderSize ||
        checksumOffset + 4 > length || std::memcmp(data, magic, 4) != 0 ||
        !checksumMatches(data, checksumOffset)) {
        return FileCheck::Damaged;
    }
    const std::uint64_t version = getUint(data + 4, 4);
    if (version == kFormatVersion) {
        return FileCheck::Valid;
    }
    return version > kFormatVersion ? FileCheck::NewerFormat : FileCheck::Damaged;
}

// One line of text for the status display: control bytes become '?'.
std::string oneLine(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '?';
        }
    }
    return line;
}

} // namespace

bool isStorableName(const std::string& name) {
    return !name.empty() && name.size() <= static_cast<std::size_t>(model::kMaxPresetNameLength) &&
           name.find('\0') == std::string::npos;
}

std::string presetFileName(const std::string& name) {
    std::string file;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (keptInFileName(byte)) {
            file += c;
        } else {
            file += '%';
            file += kHexDigits[byte >> 4];
            file += kHexDigits[byte & 0x0F];
        }
    }
    return file + kPresetFileSuffix;
}

std::optional<std::string> presetNameOfFile(const std::string& fileName) {
    const std::size_t suffixLength = std::strlen(kPresetFileSuffix);
    if (fileName.size() <= suffixLength ||
        fileName.compare(fileName.size() - suffixLength, suffixLength, kPresetFileSuffix) != 0) {
        return std::nullopt;
    }
    const std::size_t end = fileName.size() - suffixLength;
    std::string name;
    for (std::size_t i = 0; i < end; ++i) {
        const auto byte = static_cast<unsigned char>(fileName[i]);
        if (keptInFileName(byte)) {
            name += fileName[i];
            continue;
        }
        if (byte != '%' || end - i < 3) {
            return std::nullopt;
        }
        const int high = upperHexValue(fileName[i + 1]);
        const int low = upperHexValue(fileName[i + 2]);
        const auto decoded = static_cast<unsigned char>(high * 16 + low);
        // Only the one spelling presetFileName gives: no "%41" for "A", no "%00".
        if (high < 0 || low < 0 || decoded == 0 || keptInFileName(decoded)) {
            return std::nullopt;
        }
        name += static_cast<char>(decoded);
        i += 2;
    }
    return name;
}

std::uint32_t fileChecksum(const std::uint8_t* data, std::size_t length) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

std::vector<std::uint8_t> encodePresetFile(const PresetFileContents& contents) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kPresetFileOverhead + contents.record.size());
    putHeader(bytes, kPresetMagic);
    putUint32(bytes, static_cast<std::uint32_t>(contents.order));
    putUint32(bytes, static_cast<std::uint32_t>(contents.order >> 32));
    putUint32(bytes, static_cast<std::uint32_t>(contents.record.size()));
    bytes.insert(bytes.end(), contents.record.begin(), contents.record.end());
    putChecksum(bytes, 0);
    return bytes;
}

FileCheck decodePresetFile(const std::uint8_t* data, std::size_t length,
                           PresetFileContents& contents) {
    if (length < 4) {
        return FileCheck::Damaged;
    }
    // A later version's file may be longer than ours.
    const FileCheck header = checkHeader(data, length, kPresetMagic, length - 4);
    if (header != FileCheck::Valid) {
        return header;
    }
    const std::uint64_t recordLength = length < kPresetFileOverhead ? 0 : getUint(data + 16, 4);
    if (length < kPresetFileOverhead || length > kMaxPresetFileSize ||
        recordLength != length - kPresetFileOverhead) {
        return FileCheck::Damaged;
    }
    contents.order = getUint(data + 8, 8);
    contents.record.assign(data + kPresetRecordOffset, data + kPresetRecordOffset + recordLength);
    return FileCheck::Valid;
}

std::vector<std::uint8_t> encodeSlotFile(const UserPresetStore::SlotNames& names) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kSlotFileSize);
    putHeader(bytes, kSlotMagic);
    putChecksum(bytes, 0);
    for (int slot = 0; slot < kQuickSlotCount; ++slot) {
        const std::string name = names[slot].value_or(std::string());
        const std::size_t length = std::min(name.size(), kSlotNameSize);
        const std::size_t entry = bytes.size();
        bytes.push_back(static_cast<std::uint8_t>(slot + 1));
        bytes.push_back(static_cast<std::uint8_t>(length));
        bytes.insert(bytes.end(), name.begin(), name.begin() + static_cast<long>(length));
        bytes.resize(entry + 2 + kSlotNameSize, 0);
        putChecksum(bytes, entry);
    }
    return bytes;
}

FileCheck decodeSlotFile(const std::uint8_t* data, std::size_t length,
                         UserPresetStore::SlotNames& names) {
    names = {};
    const FileCheck header = checkHeader(data, length, kSlotMagic, kHeaderSize);
    if (header != FileCheck::Valid) {
        return header;
    }
    FileCheck check = length == kSlotFileSize ? FileCheck::Valid : FileCheck::Damaged;
    for (int slot = 0; slot < kQuickSlotCount; ++slot) {
        const std::size_t offset =
            kSlotEntriesOffset + static_cast<std::size_t>(slot) * kSlotEntrySize;
        if (offset + kSlotEntrySize > length) {
            check = FileCheck::Damaged;
            break;
        }
        const std::uint8_t* entry = data + offset;
        const std::size_t nameLength = entry[1];
        const std::uint8_t* name = entry + 2;
        const bool intact =
            checksumMatches(entry, kSlotEntrySize - 4) && entry[0] == slot + 1 &&
            nameLength <= kSlotNameSize &&
            std::find(name, name + nameLength, 0) == name + nameLength &&
            std::all_of(name + nameLength, name + kSlotNameSize, [](auto b) { return b == 0; });
        if (!intact) {
            check = FileCheck::Damaged;
        } else if (nameLength > 0) {
            names[slot] = std::string(reinterpret_cast<const char*>(name), nameLength);
        }
    }
    return check;
}

std::string presetFolderFor(const char* xdgConfigHome, const char* home) {
    return model::userConfigFolderFor(xdgConfigHome, home);
}

std::string damageReportText(const DamageTally& tally) {
    const std::size_t setAside = tally.presetsSetAside.size() + (tally.slotFileSetAside ? 1 : 0);
    const std::size_t total = setAside + static_cast<std::size_t>(tally.filesLeftInPlace);
    if (total == 0) {
        return {};
    }
    if (tally.filesLeftInPlace > 0) {
        return total == 1 ? "Damaged preset file left in place"
                          : std::to_string(total) + " damaged files, some left in place";
    }
    if (total > 1) {
        return std::to_string(total) + " damaged files set aside";
    }
    if (tally.slotFileSetAside) {
        return "Damaged quick-slot names set aside";
    }
    const std::string prefix = "Damaged preset set aside: ";
    std::string name = oneLine(tally.presetsSetAside.front());
    if (prefix.size() + name.size() > kDamageReportMaxLength) {
        name.resize(kDamageReportMaxLength - prefix.size() - std::strlen(kDamageEllipsis));
        name += kDamageEllipsis;
    }
    return prefix + name;
}

} // namespace kel::presets

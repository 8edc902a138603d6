// Archive files as bytes, for the tests of the archive reader and of import.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "presets/preset_format.h"

using namespace kel::presets;

// An archive of the given presets; headerRecordSize (when not 0) claims another plug-in's record
// size in the header.
inline std::vector<std::uint8_t>
archiveBytes(int recordSize, const std::vector<std::pair<std::string, PresetValues>>& presets,
             int headerRecordSize = 0) {
    const auto header = encodeArchiveHeader(headerRecordSize ? headerRecordSize : recordSize);
    std::vector<std::uint8_t> bytes(header.begin(), header.end());
    for (const auto& preset : presets) {
        const auto data = encodeStoredPreset(preset.second, recordSize);
        const auto record = encodeArchiveRecord(preset.first, data.data(), recordSize);
        bytes.insert(bytes.end(), record.begin(), record.end());
    }
    return bytes;
}

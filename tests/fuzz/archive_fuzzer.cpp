// Fuzz target: whatever bytes a user's archive file, a stored preset or a slot name holds, the
// readers neither crash nor hand out more than the formats allow, and every record they accept
// reads back the same after it is written again.
#include <cstdint>
#include <cstdlib>

#include "presets/preset_format.h"

using namespace kel::presets;
using namespace kel::model;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void readArchive(const std::uint8_t* data, std::size_t size, int recordSize) {
    MemorySource source(data, size);
    ArchiveReader reader(source, recordSize);
    if (reader.readHeader() != ArchiveHeaderCheck::Valid) {
        return;
    }
    ArchiveRecord record;
    std::size_t records = 0;
    ArchiveStep step;
    while ((step = reader.next(record)) == ArchiveStep::Record) {
        ++records;
        check(record.name.size() <= kArchiveNameFieldSize);
        check(record.name.find('\0') == std::string::npos);
        check(record.data.size() == static_cast<std::size_t>(recordSize));
        PresetValues values{};
        check(decodeStoredPreset(record.data.data(), record.data.size(), recordSize, values));
        const std::vector<std::uint8_t> again =
            encodeArchiveRecord(record.name, record.data.data(), recordSize);
        const ArchiveRecord reread = decodeArchiveRecord(again.data(), recordSize);
        check(reread.name == record.name && reread.data == record.data);
    }
    check(kArchiveHeaderSize + records * archiveRecordLength(recordSize) <= size);
    check(step != ArchiveStep::ReadFailed);
    check((step == ArchiveStep::End) ==
          (size == kArchiveHeaderSize + records * archiveRecordLength(recordSize)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    readArchive(data, size, 48);
    readArchive(data, size, 32);

    // The same bytes as registry contents: a slot name and a stored preset.
    const std::string name = decodeSlotName(data, size);
    check(name.size() <= static_cast<std::size_t>(kMaxPresetNameLength));
    const auto field = encodeSlotName(name);
    check(decodeSlotName(field.data(), field.size()) == name);
    PresetValues values{};
    const bool read = decodeStoredPreset(data, size, 48, values);
    check(read == (size >= kStoredPresetValuesEnd && size <= 48));
    return 0;
}

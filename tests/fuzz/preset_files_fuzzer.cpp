// Fuzz target: whatever bytes a file in the Linux store's folder or its name holds, the readers
// neither crash nor hand out more than the formats allow; whatever they accept as valid is
// exactly what the writers give for it, and a file name stands for one name only.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "presets/preset_files_format.h"

using namespace kel::presets;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void readPresetFile(const std::uint8_t* data, std::size_t size) {
    PresetFileContents contents{42, {1}};
    const FileCheck result = decodePresetFile(data, size, contents);
    if (result != FileCheck::Valid) {
        check(contents.order == 42 && contents.record.size() == 1);
        return;
    }
    check(contents.record.size() <= kMaxStoredRecordSize);
    check(encodePresetFile(contents) == std::vector<std::uint8_t>(data, data + size));
}

void readSlotFile(const std::uint8_t* data, std::size_t size) {
    UserPresetStore::SlotNames names;
    const FileCheck result = decodeSlotFile(data, size, names);
    for (const auto& name : names) {
        check(!name || isStorableName(*name));
        check(result != FileCheck::NewerFormat || !name);
    }
    const std::vector<std::uint8_t> again = encodeSlotFile(names);
    if (result == FileCheck::Valid) {
        check(again == std::vector<std::uint8_t>(data, data + size));
    }
    UserPresetStore::SlotNames reread;
    check(decodeSlotFile(again.data(), again.size(), reread) == FileCheck::Valid);
    check(reread == names);
}

void readFileName(const std::string& text) {
    const std::optional<std::string> name = presetNameOfFile(text);
    if (name) {
        check(!name->empty() && name->find('\0') == std::string::npos);
        check(presetFileName(*name) == text);
    }
    if (!text.empty() && text.find('\0') == std::string::npos) {
        const std::string file = presetFileName(text);
        check(file.find('/') == std::string::npos && file[0] != '.');
        check(presetNameOfFile(file) == text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    readPresetFile(data, size);
    readSlotFile(data, size);
    const std::string text(reinterpret_cast<const char*>(data), size);
    readFileName(text);

    const std::string report = damageReportText({{text}, false, 0});
    check(report.size() <= kDamageReportMaxLength);
    for (const char c : report) {
        check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    }
    const std::string folder = presetFolderFor(text.c_str(), "/home/user");
    check(folder.size() >= 23 && folder[0] == '/' &&
          folder.compare(folder.size() - 23, 23, "/Sonadrix/Orvalle Vol.2") == 0);
    return 0;
}

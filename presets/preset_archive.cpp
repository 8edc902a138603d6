// Preset archive files (.kpa): export of this plug-in's user presets and import into the store.
// The file format itself is in preset_format.cpp; this is the dialogs, the file and the store
// around it. An archive may come from anywhere: nothing in it is trusted.
#include <cstdio>

#include "presets/archive_file.h"
#include "presets/kel_preset_bank.h"
#include "presets/preset_user_interface.h"

namespace kel::presets {

namespace {

constexpr const char* kArchiveExtension = "kpa";
constexpr const char* kCannotOpen = "Could not open file!";
constexpr const char* kNotAnArchive = "This is not a valid plug-in archive!";
constexpr const char* kOtherPluginFormat = "This is not a %s archive!";
constexpr const char* kReadError = "Read error!";
constexpr const char* kImportError = "Import error!";
constexpr const char* kReplaceFormat = "'%s' preset already exists.\nDo you want to replace it?";

} // namespace

bool KelPresetBank::exportPresets() {
    saveQuickSlots();
    refreshIfNeeded();
    std::string file = effectName() + "." + kArchiveExtension;
    if (!ui->chooseArchiveToSave(owner, file)) {
        return false;
    }
    const std::unique_ptr<ByteSink> archive = createArchiveFile(file);
    if (!archive) {
        message(kCannotOpen, MessageKind::Error);
        return false;
    }
    const int recordSize = plugin.storedPresetSize;
    const auto header = encodeArchiveHeader(recordSize);
    bool complete = archive->write(header.data(), header.size());
    std::vector<std::uint8_t> data;
    for (std::size_t k = 0; k < userNames.size() && complete; ++k) {
        if (!store->readPreset(userNames[k], static_cast<std::size_t>(recordSize), data) ||
            data.size() != static_cast<std::size_t>(recordSize)) {
            complete = false;
            break;
        }
        const std::vector<std::uint8_t> record =
            encodeArchiveRecord(userNames[k], data.data(), recordSize);
        complete = archive->write(record.data(), record.size());
    }
    return complete;
}

KelPresetBank::ArchiveImport KelPresetBank::readArchive(ByteSource& source) {
    const int recordSize = plugin.storedPresetSize;
    ArchiveReader reader(source, recordSize);
    const ArchiveHeaderCheck header = reader.readHeader();
    if (header != ArchiveHeaderCheck::Valid) {
        return header == ArchiveHeaderCheck::NotAnArchive ? ArchiveImport::NotAnArchive
                                                          : ArchiveImport::OtherPlugin;
    }
    for (;;) {
        ArchiveRecord record;
        const ArchiveStep step = reader.next(record);
        if (step == ArchiveStep::End) {
            return ArchiveImport::Complete;
        }
        if (step != ArchiveStep::Record) {
            // A record cut short is not imported from partial data; the ones before it stay.
            return ArchiveImport::ReadError;
        }
        if (store->holdsPreset(record.name)) {
            char question[256] = {};
            std::snprintf(question, sizeof(question), kReplaceFormat, record.name.c_str());
            if (message(question, MessageKind::YesNoQuestion) != MessageAnswer::Yes) {
                continue;
            }
        }
        if (!store->writePreset(record.name, record.data)) {
            return ArchiveImport::StoreError;
        }
    }
}

bool KelPresetBank::importPresets() {
    saveQuickSlots();
    refresh();
    if (!store->isOpen()) {
        return false;
    }
    std::string file = std::string("*.") + kArchiveExtension;
    if (!ui->chooseArchiveToOpen(owner, file)) {
        return false;
    }
    ArchiveImport result = ArchiveImport::Complete;
    {
        const std::unique_ptr<ByteSource> archive = openArchiveFile(file);
        if (!archive) {
            message(kCannotOpen, MessageKind::Error);
            return false;
        }
        result = readArchive(*archive);
    } // the file is closed before anything is said about it
    switch (result) {
    case ArchiveImport::NotAnArchive:
        message(kNotAnArchive, MessageKind::Error);
        return false;
    case ArchiveImport::OtherPlugin: {
        char text[256] = {};
        std::snprintf(text, sizeof(text), kOtherPluginFormat, effectName().c_str());
        message(text, MessageKind::Error);
        return false;
    }
    case ArchiveImport::ReadError:
        refreshFlag = true;
        message(kReadError, MessageKind::Error);
        return false;
    case ArchiveImport::StoreError:
        refreshFlag = true;
        message(kImportError, MessageKind::Error);
        return false;
    case ArchiveImport::Complete:
        break;
    }
    refreshFlag = true;
    refresh();
    return true;
}

} // namespace kel::presets

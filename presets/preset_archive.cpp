// Preset archive files (.kpa): export of this plug-in's user presets and import into the store.
// The file format itself is in preset_format.cpp; this is the dialogs, the file and the store
// around it. An archive may come from anywhere: nothing in it is trusted.
#include <cstdio>

#include "presets/kel_preset_bank.h"
#include "presets/preset_user_interface.h"
#include "ui/win32_handles.h"

namespace kel::presets {

using namespace kel::ui;

namespace {

constexpr const char* kArchiveFilter = "Sonadrix presets archive\0*.kpa\0";
constexpr const char* kArchiveExtension = "kpa";
constexpr const char* kSaveTitle = "Save User Presets As...";
constexpr const char* kOpenTitle = "Load Presets From...";
constexpr const char* kCannotOpen = "Could not open file!";
constexpr const char* kNotAnArchive = "This is not a valid plug-in archive!";
constexpr const char* kOtherPluginFormat = "This is not a %s archive!";
constexpr const char* kReadError = "Read error!";
constexpr const char* kImportError = "Import error!";
constexpr const char* kReplaceFormat = "'%s' preset already exists.\nDo you want to replace it?";

class FileSource : public ByteSource {
public:
    explicit FileSource(HANDLE handle) : file(handle) {}
    bool read(std::uint8_t* buffer, std::size_t size, std::size_t& got) override {
        DWORD count = 0;
        const BOOL done = ReadFile(file, buffer, static_cast<DWORD>(size), &count, nullptr);
        got = count;
        return done != FALSE;
    }

private:
    HANDLE file;
};

bool writeAll(HANDLE file, const std::uint8_t* data, std::size_t size) {
    DWORD written = 0;
    return WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) != FALSE &&
           written == size;
}

OPENFILENAMEA fileRequest(char* file, const char* title, DWORD flags) {
    OPENFILENAMEA request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = nullptr;
    request.lpstrFilter = kArchiveFilter;
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = MAX_PATH;
    request.lpstrInitialDir = nullptr;
    request.lpstrTitle = title;
    request.lpstrDefExt = kArchiveExtension;
    request.Flags = flags;
    return request;
}

} // namespace

bool KelPresetBank::exportPresets() {
    saveQuickSlots();
    refreshIfNeeded();
    char file[MAX_PATH] = {};
    std::snprintf(file, sizeof(file), "%s.%s", effectName().c_str(), kArchiveExtension);
    // The user names a new file here as often as an old one: no "file must exist".
    OPENFILENAMEA request =
        fileRequest(file, kSaveTitle, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST);
    if (!ui->chooseSaveFile(request)) {
        return false;
    }
    file[MAX_PATH - 1] = 0;
    const FileHandle archive(CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!archive) {
        message(kCannotOpen, MB_OK | MB_ICONERROR);
        return false;
    }
    const int recordSize = plugin.storedPresetSize;
    const auto header = encodeArchiveHeader(recordSize);
    bool complete = writeAll(archive.get(), header.data(), header.size());
    std::vector<std::uint8_t> data;
    for (std::size_t k = 0; k < userNames.size() && complete; ++k) {
        if (!store->readPreset(userNames[k], static_cast<std::size_t>(recordSize), data) ||
            data.size() != static_cast<std::size_t>(recordSize)) {
            complete = false;
            break;
        }
        const std::vector<std::uint8_t> record =
            encodeArchiveRecord(userNames[k], data.data(), recordSize);
        complete = writeAll(archive.get(), record.data(), record.size());
    }
    return complete;
}

KelPresetBank::ArchiveImport KelPresetBank::readArchive(HANDLE archive) {
    const int recordSize = plugin.storedPresetSize;
    FileSource source(archive);
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
            if (message(question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
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
    char file[MAX_PATH] = "*.kpa";
    OPENFILENAMEA request =
        fileRequest(file, kOpenTitle, OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY);
    if (!ui->chooseOpenFile(request)) {
        return false;
    }
    file[MAX_PATH - 1] = 0;
    ArchiveImport result = ArchiveImport::Complete;
    {
        const FileHandle archive(CreateFileA(file, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!archive) {
            message(kCannotOpen, MB_OK | MB_ICONERROR);
            return false;
        }
        result = readArchive(archive.get());
    } // the file is closed before anything is said about it
    switch (result) {
    case ArchiveImport::NotAnArchive:
        message(kNotAnArchive, MB_OK | MB_ICONERROR);
        return false;
    case ArchiveImport::OtherPlugin: {
        char text[256] = {};
        std::snprintf(text, sizeof(text), kOtherPluginFormat, effectName().c_str());
        message(text, MB_OK | MB_ICONERROR);
        return false;
    }
    case ArchiveImport::ReadError:
        refreshFlag = true;
        message(kReadError, MB_OK | MB_ICONERROR);
        return false;
    case ArchiveImport::StoreError:
        refreshFlag = true;
        message(kImportError, MB_OK | MB_ICONERROR);
        return false;
    case ArchiveImport::Complete:
        break;
    }
    refreshFlag = true;
    refresh();
    return true;
}

} // namespace kel::presets

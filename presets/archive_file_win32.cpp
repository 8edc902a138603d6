// Archive files on Windows: opened for this process alone while the bank reads or writes them.
#include <windows.h>

#include "presets/archive_file.h"
#include "ui/win32_handles.h"

namespace kel::presets {

namespace {

class FileSource : public ByteSource {
public:
    explicit FileSource(ui::FileHandle handle) : file(std::move(handle)) {}
    bool read(std::uint8_t* buffer, std::size_t size, std::size_t& got) override {
        DWORD count = 0;
        const BOOL done = ReadFile(file.get(), buffer, static_cast<DWORD>(size), &count, nullptr);
        got = count;
        return done != FALSE;
    }

private:
    ui::FileHandle file;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(ui::FileHandle handle) : file(std::move(handle)) {}
    bool write(const std::uint8_t* data, std::size_t size) override {
        DWORD written = 0;
        return WriteFile(file.get(), data, static_cast<DWORD>(size), &written, nullptr) != FALSE &&
               written == size;
    }

private:
    ui::FileHandle file;
};

} // namespace

std::unique_ptr<ByteSource> openArchiveFile(const std::string& path) {
    ui::FileHandle file(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return nullptr;
    }
    return std::make_unique<FileSource>(std::move(file));
}

std::unique_ptr<ByteSink> createArchiveFile(const std::string& path) {
    ui::FileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return nullptr;
    }
    return std::make_unique<FileSink>(std::move(file));
}

} // namespace kel::presets

// The preset bank's back ends on Linux: the user presets in the user's files and archive files on
// the file system. The menus and dialogs are preset_menus_linux.cpp and
// preset_user_interface_linux.cpp.
#include <cstdio>
#include <memory>

#include "presets/archive_file.h"
#include "presets/file_preset_store.h"

namespace kel::presets {

namespace {

class FileSource : public ByteSource {
public:
    explicit FileSource(std::FILE* opened) : file(opened) {}
    ~FileSource() override { std::fclose(file); }
    bool read(std::uint8_t* buffer, std::size_t size, std::size_t& got) override {
        got = std::fread(buffer, 1, size, file);
        return got == size || !std::ferror(file);
    }

private:
    std::FILE* file;
};

class FileSink : public ByteSink {
public:
    explicit FileSink(std::FILE* opened) : file(opened) {}
    ~FileSink() override { std::fclose(file); }
    bool write(const std::uint8_t* data, std::size_t size) override {
        return std::fwrite(data, 1, size, file) == size && std::fflush(file) == 0;
    }

private:
    std::FILE* file;
};

} // namespace

std::unique_ptr<UserPresetStore> makeUserPresetStore() {
    return std::make_unique<FilePresetStore>(defaultPresetFolder());
}

std::unique_ptr<ByteSource> openArchiveFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    return file ? std::make_unique<FileSource>(file) : nullptr;
}

std::unique_ptr<ByteSink> createArchiveFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wbe");
    return file ? std::make_unique<FileSink>(file) : nullptr;
}

} // namespace kel::presets

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "model/user_folders.h"
#include "ui/settings.h"
#include "ui/settings_file.h"

namespace kel::ui {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

// [begin, end) of text without the blanks round it.
void trim(const std::string& text, std::size_t& begin, std::size_t& end) {
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
}

bool sameName(const std::string& text, std::size_t begin, std::size_t end, const char* name) {
    const std::size_t length = std::strlen(name);
    if (end - begin != length) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        const auto a = static_cast<unsigned char>(text[begin + i]);
        const auto b = static_cast<unsigned char>(name[i]);
        const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
        if (lower(a) != lower(b)) {
            return false;
        }
    }
    return true;
}

void copyText(char* text, int size, const char* source) {
    const std::size_t length = source ? std::strlen(source) : 0;
    const std::size_t kept = length < static_cast<std::size_t>(size) ? length : size - 1;
    if (kept > 0) {
        std::memcpy(text, source, kept);
    }
    text[kept] = 0;
}

} // namespace

int parseSetting(const std::string& fileText, const char* name, char* text, int size,
                 const char* defaultText) {
    if (!text || size <= 0) {
        return -1;
    }
    bool found = false;
    std::string value;
    std::size_t start = 0;
    while (start < fileText.size()) {
        std::size_t lineEnd = fileText.find('\n', start);
        if (lineEnd == std::string::npos) {
            lineEnd = fileText.size();
        }
        std::size_t equals = start;
        while (equals < lineEnd && fileText[equals] != '=') {
            ++equals;
        }
        if (name && equals < lineEnd) {
            std::size_t nameBegin = start, nameEnd = equals;
            trim(fileText, nameBegin, nameEnd);
            if (sameName(fileText, nameBegin, nameEnd, name)) {
                std::size_t valueBegin = equals + 1, valueEnd = lineEnd;
                trim(fileText, valueBegin, valueEnd);
                found = true;
                value.assign(fileText, valueBegin, valueEnd - valueBegin);
            }
        }
        start = lineEnd + 1;
    }
    if (found && !value.empty() && value.size() < static_cast<std::size_t>(size) &&
        value.find('\0') == std::string::npos) {
        std::memcpy(text, value.c_str(), value.size() + 1);
        return 1;
    }
    copyText(text, size, defaultText);
    return -1;
}

std::string readSettingsText(const std::string& path) {
    std::string fileText;
    if (std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "rbe")) {
        // A folder opens too, and then reads nothing.
        char block[4096];
        std::size_t got = 0;
        while (fileText.size() < kMaxSettingsFileSize &&
               (got = std::fread(block, 1, sizeof(block), file)) > 0) {
            fileText.append(block, got);
        }
        std::fclose(file);
    }
    return fileText;
}

int readSettingFile(const std::string& path, const char* name, char* text, int size,
                    const char* defaultText) {
    return parseSetting(readSettingsText(path), name, text, size, defaultText);
}

std::string settingsFileFor(const char* xdgConfigHome, const char* home) {
    const std::string folder = model::userConfigFolderFor(xdgConfigHome, home);
    return folder.empty() ? folder : folder + "/" + kSettingsFileName;
}

std::string userSettingsFile() {
    const std::string folder = model::userConfigFolder();
    return folder.empty() ? folder : folder + "/" + kSettingsFileName;
}

int readSetting(const char* name, char* text, int size, const char* defaultText) {
    return readSettingFile(userSettingsFile(), name, text, size, defaultText);
}

} // namespace kel::ui

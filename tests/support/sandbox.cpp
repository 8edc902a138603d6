#include "tests/support/sandbox.h"

#include <atomic>
#include <cstring>

#include <gtest/gtest.h>

std::string uniqueName(const char* kind) {
    static std::atomic<int> counter{0};
    return std::string(kind) + "-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(GetTickCount()) + "-" + std::to_string(++counter);
}

namespace {

constexpr const char* kScratchRoot = "Software\\SonadrixTests";

HKEY createUnder(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    char noClass[] = "";
    if (RegCreateKeyExA(root, path.c_str(), 0, noClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

} // namespace

RegistrySandbox::RegistrySandbox(bool machine) {
    user = std::string(kScratchRoot) + "\\" + uniqueName("user");
    userKey = createUnder(HKEY_CURRENT_USER, user);
    EXPECT_NE(userKey, nullptr);
    if (machine) {
        machinePath = std::string(kScratchRoot) + "\\" + uniqueName("machine");
        machineKey = createUnder(HKEY_CURRENT_USER, machinePath);
        EXPECT_NE(machineKey, nullptr);
        EXPECT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machineKey), ERROR_SUCCESS);
    }
    EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, userKey), ERROR_SUCCESS);
}

RegistrySandbox::~RegistrySandbox() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (machineKey) {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegCloseKey(machineKey);
        RegDeleteTreeA(HKEY_CURRENT_USER, machinePath.c_str());
    }
    if (userKey) {
        RegCloseKey(userKey);
        RegDeleteTreeA(HKEY_CURRENT_USER, user.c_str());
    }
}

RegistryValue readValue(const char* keyPath, const std::string& name) {
    RegistryValue value;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return value;
    }
    DWORD length = 0;
    if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &length) ==
        ERROR_SUCCESS) {
        value.data.resize(length);
        if (RegQueryValueExA(key, name.c_str(), nullptr, &value.type, value.data.data(), &length) ==
            ERROR_SUCCESS) {
            value.exists = true;
            value.data.resize(length);
        }
    }
    RegCloseKey(key);
    return value;
}

bool writeValue(const char* keyPath, const std::string& name, DWORD type, const Bytes& data,
                std::size_t count) {
    HKEY key = createUnder(HKEY_CURRENT_USER, keyPath);
    if (!key) {
        return false;
    }
    const bool done =
        RegSetValueExA(key, name.c_str(), 0, type, data.data(),
                       static_cast<DWORD>(count < data.size() ? count : data.size())) ==
        ERROR_SUCCESS;
    RegCloseKey(key);
    return done;
}

bool deleteValue(const char* keyPath, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
        return false;
    }
    const bool done = RegDeleteValueA(key, name.c_str()) == ERROR_SUCCESS;
    RegCloseKey(key);
    return done;
}

std::vector<std::string> valueNames(const char* keyPath) {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        char name[16384] = {};
        DWORD length = sizeof(name);
        const LONG result =
            RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result == ERROR_SUCCESS) {
            names.emplace_back(name, length);
        }
    }
    RegCloseKey(key);
    return names;
}

std::string folderOfProgram() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string testFolder() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + uniqueName("kel-presets") + "\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

Bytes readFile(const std::string& path) {
    Bytes bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    std::uint8_t buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    CloseHandle(file);
    return bytes;
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool done =
        bytes.empty() ||
        (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size());
    CloseHandle(file);
    return done;
}

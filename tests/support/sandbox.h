// What the Win32 tests share: a private registry for each test (a scratch key stands in for
// HKEY_CURRENT_USER and, when asked, HKEY_LOCAL_MACHINE of this process) with direct access to its
// values, and scratch folders and files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// "<kind>-<process>-<ticks>-<counter>": unique among the tests running at once.
std::string uniqueName(const char* kind);

// Gives this process an empty HKEY_CURRENT_USER of its own (a scratch key under the real one)
// for as long as it lives, and removes it afterwards. With machine, HKEY_LOCAL_MACHINE too.
class RegistrySandbox {
public:
    explicit RegistrySandbox(bool machine = false);
    ~RegistrySandbox();
    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    // The scratch key standing in for HKEY_CURRENT_USER, relative to the real one.
    const std::string& userPath() const { return user; }

private:
    std::string user;
    std::string machinePath;
    HKEY userKey = nullptr;
    HKEY machineKey = nullptr;
};

// Registry values under the sandboxed HKEY_CURRENT_USER.
struct RegistryValue {
    bool exists = false;
    DWORD type = 0;
    Bytes data;
};
RegistryValue readValue(const char* keyPath, const std::string& name);
// Writes count bytes of data (all of them unless count is given).
bool writeValue(const char* keyPath, const std::string& name, DWORD type, const Bytes& data,
                std::size_t count = SIZE_MAX);
bool deleteValue(const char* keyPath, const std::string& name);
std::vector<std::string> valueNames(const char* keyPath);

std::string testFolder();      // a fresh empty folder for this test's files
std::string folderOfProgram(); // where the test program and its neighbours live
Bytes readFile(const std::string& path);
bool writeFile(const std::string& path, const Bytes& bytes);

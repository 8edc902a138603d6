#include "ui/help.h"

#include <cstring>

#include "ui/settings.h"
#include "ui/win32_handles.h"
#include "win32/module.h"

namespace kel::ui {

namespace {

constexpr UINT kHelpContextCommand = 0x000F; // HH_HELP_CONTEXT
constexpr UINT kCloseAllCommand = 0x0012;    // HH_CLOSE_ALL
constexpr WORD kHtmlHelpOrdinal = 14;        // HtmlHelpA
constexpr const char* kHtmlHelpServerKey =
    "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

HMODULE loadLibrary(const char* path) {
    return LoadLibraryA(path);
}

} // namespace

HtmlHelpBinding::HtmlHelpBinding(Loader loader) : load(loader ? loader : &loadLibrary) {}

HtmlHelpFunction HtmlHelpBinding::function() {
    if (tried) {
        return htmlHelp;
    }
    tried = true;
    char path[MAX_PATH] = {};
    if (registeredHtmlHelpModule(path, sizeof(path))) {
        ++attempts;
        module = load(path);
    }
    if (!module) {
        ++attempts;
        module = load("hhctrl.ocx");
    }
    if (module) {
        htmlHelp = reinterpret_cast<HtmlHelpFunction>(
            reinterpret_cast<void*>(GetProcAddress(module, MAKEINTRESOURCEA(kHtmlHelpOrdinal))));
    }
    return htmlHelp;
}

HtmlHelpBinding& moduleHtmlHelp() {
    static HtmlHelpBinding binding;
    return binding;
}

bool registeredHtmlHelpModule(char* path, std::size_t size) {
    if (!path || size == 0) {
        return false;
    }
    path[0] = 0;
    const RegistryKey key = openRegistryKey(HKEY_CLASSES_ROOT, kHtmlHelpServerKey, KEY_QUERY_VALUE);
    if (!key) {
        return false;
    }
    char value[MAX_PATH] = {};
    DWORD type = 0;
    DWORD length = sizeof(value);
    const LONG result = RegQueryValueExA(key.get(), nullptr, nullptr, &type,
                                         reinterpret_cast<BYTE*>(value), &length);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;
    }
    value[length < sizeof(value) ? length : sizeof(value) - 1] = 0;
    if (type == REG_EXPAND_SZ) {
        const DWORD needed = ExpandEnvironmentStringsA(value, path, static_cast<DWORD>(size));
        return needed > 0 && needed <= size;
    }
    const std::size_t kept = std::strlen(value);
    if (kept >= size) {
        return false;
    }
    std::memcpy(path, value, kept + 1);
    return path[0] != 0;
}

void replaceFileName(char* path, std::size_t size, const char* fileName) {
    if (!path || size == 0) {
        return;
    }
    path[size - 1] = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; path[i]; ++i) {
        if (path[i] == ':' || path[i] == '\\') {
            start = i + 1;
        }
    }
    const std::size_t room = size - 1 - start;
    const std::size_t length = std::strlen(fileName);
    const std::size_t kept = length < room ? length : room;
    std::memcpy(path + start, fileName, kept);
    path[start + kept] = 0;
}

void helpFilePath(char* path) {
    if (readSetting("Help Path", path, static_cast<int>(kHelpPathSize), "") != 1) {
        const DWORD length = GetModuleFileNameA(win32::thisModule(), path, kHelpPathSize);
        path[length < kHelpPathSize ? length : kHelpPathSize - 1] = 0;
    }
    replaceFileName(path, kHelpPathSize, kHelpFileName);
}

bool openHelp(HWND window) {
    return openHelp(window, moduleHtmlHelp());
}

bool openHelp(HWND window, HtmlHelpBinding& binding) {
    HtmlHelpFunction htmlHelp = binding.function();
    if (!window) {
        if (htmlHelp) {
            htmlHelp(nullptr, nullptr, kCloseAllCommand, 0);
        }
        return true;
    }
    if (!htmlHelp) {
        return false;
    }
    char path[kHelpPathSize] = {};
    helpFilePath(path);
    HWND caller = GetParent(window);
    return htmlHelp(caller ? caller : window, path, kHelpContextCommand, kHelpContext) != nullptr;
}

} // namespace kel::ui

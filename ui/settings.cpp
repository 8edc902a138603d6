#include "ui/settings.h"

#include <cstring>

#include "ui/win32_handles.h"

namespace kel::ui {

namespace {

void copyText(char* text, int size, const char* source) {
    if (!text || size <= 0) {
        return;
    }
    const std::size_t length = source ? std::strlen(source) : 0;
    const std::size_t kept = length < static_cast<std::size_t>(size) ? length : size - 1;
    if (kept > 0) {
        std::memcpy(text, source, kept);
    }
    text[kept] = 0;
}

} // namespace

int readSetting(const char* name, char* text, int size, const char* defaultText) {
    if (!text || size <= 0) {
        return -1;
    }
    if (const RegistryKey key =
            openRegistryKey(HKEY_LOCAL_MACHINE, kSettingsKey, KEY_QUERY_VALUE)) {
        DWORD type = 0;
        DWORD length = static_cast<DWORD>(size);
        const LONG result = RegQueryValueExA(key.get(), name, nullptr, &type,
                                             reinterpret_cast<BYTE*>(text), &length);
        if (result == ERROR_SUCCESS && type == REG_SZ) {
            // A value stored without its terminator fills the buffer; it is cut by one.
            text[length < static_cast<DWORD>(size) ? length : size - 1] = 0;
            return 1;
        }
    }
    copyText(text, size, defaultText);
    return -1;
}

} // namespace kel::ui

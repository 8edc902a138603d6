// The registry side of the bank: the user list and its change notification, the quick-slot
// names, and reading, writing and deleting stored presets. Both plug-ins share the keys; each
// lists only values of its own record size. Whatever the registry holds may have been written by
// anyone and is checked before it is used.
#include <cstring>

#include "presets/kel_preset_bank.h"
#include "presets/preset_user_interface.h"
#include "ui/menu_commands.h"

namespace kel::presets {

using namespace kel::model;
using namespace kel::ui;

namespace {

constexpr const char* kDeleteAllQuestion = "Are You sure you want to delete all user presets?";
constexpr const char* kSlotValueNames[KelPresetBank::kSlotCount + 1] = {nullptr, "P1", "P2", "P3",
                                                                        "P4"};

RegistryKey createKey(const char* path) {
    HKEY key = nullptr;
    char noClass[] = "";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, noClass, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return RegistryKey();
    }
    return RegistryKey(key);
}

} // namespace

void KelPresetBank::rebuildUserList() {
    userNames.clear();
    // The old key is closed before the new one is opened.
    presetKey.reset();
    presetKey = createKey(kUserPresetKey);
    // Reset after the old handle is closed (closing it may signal) and before the notification
    // is armed again, so that no change made from here on is missed.
    if (changeEvent) {
        ResetEvent(changeEvent.get());
    }
    if (!presetKey) {
        return;
    }
    if (changeEvent) {
        RegNotifyChangeKeyValue(presetKey.get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET,
                                changeEvent.get(), TRUE);
    }

    DWORD valueCount = 0;
    if (RegQueryInfoKeyA(presetKey.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &valueCount, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
        return;
    }
    // One byte more than a preset of ours: a longer value does not fit and is skipped, so a
    // huge value costs nothing.
    std::vector<BYTE> data(static_cast<std::size_t>(plugin.storedPresetSize) + 1);
    for (DWORD index = 0; index < valueCount; ++index) {
        char name[kPresetNameBufferSize] = {};
        DWORD nameLength = sizeof(name);
        DWORD type = 0;
        DWORD length = static_cast<DWORD>(data.size());
        // A value whose name or data does not fit is not ours; the ones after it still count.
        if (RegEnumValueA(presetKey.get(), index, name, &nameLength, nullptr, &type, data.data(),
                          &length) != ERROR_SUCCESS) {
            continue;
        }
        if (type != REG_BINARY || length != static_cast<DWORD>(plugin.storedPresetSize) ||
            nameLength > static_cast<DWORD>(kMaxPresetNameLength)) {
            continue;
        }
        name[nameLength] = 0;
        const UINT command =
            static_cast<UINT>(KEL_CMD_PRESET_BASE + kFirstUserPreset + userNames.size());
        if (userMenu.append(command, literalMenuCaption(name).c_str(), 0)) {
            userNames.emplace_back(name);
        }
    }
}

void KelPresetBank::readSlotNames() {
    const RegistryKey key = createKey(kQuickSlotKey);
    if (!key) {
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            fallBackToBuiltIn(slot);
        }
        return;
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        BYTE field[kSlotNameFieldSize] = {};
        DWORD type = 0;
        DWORD length = sizeof(field);
        if (RegQueryValueExA(key.get(), kSlotValueNames[slot], nullptr, &type, field, &length) ==
                ERROR_SUCCESS &&
            type == REG_SZ) {
            slots[slot].name = decodeSlotName(field, length);
        } else {
            slots[slot].name = builtIn(slot < builtInCount ? slot : 0).name;
        }
    }
    slotNamesRead = true;
}

bool KelPresetBank::saveQuickSlots() {
    if (!slotNamesRead) {
        return false;
    }
    const RegistryKey key = openRegistryKey(HKEY_CURRENT_USER, kQuickSlotKey, KEY_SET_VALUE);
    if (!key) {
        return false;
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const auto field = encodeSlotName(slots[slot].name);
        RegSetValueExA(key.get(), kSlotValueNames[slot], 0, REG_SZ, field.data(),
                       static_cast<DWORD>(field.size()));
    }
    return true;
}

bool KelPresetBank::readStoredPreset(const std::string& name, PresetValues& values) {
    if (!presetKey) {
        return false;
    }
    std::vector<BYTE> data(static_cast<std::size_t>(plugin.storedPresetSize));
    DWORD length = static_cast<DWORD>(data.size());
    if (RegQueryValueExA(presetKey.get(), name.c_str(), nullptr, nullptr, data.data(), &length) !=
        ERROR_SUCCESS) {
        return false;
    }
    return decodeStoredPreset(data.data(), length, plugin.storedPresetSize, values);
}

bool KelPresetBank::writeStoredPreset(const std::string& name, const PresetValues& values) {
    if (!presetKey) {
        return false;
    }
    const std::vector<std::uint8_t> data = encodeStoredPreset(values, plugin.storedPresetSize);
    return RegSetValueExA(presetKey.get(), name.c_str(), 0, REG_BINARY, data.data(),
                          static_cast<DWORD>(plugin.storedPresetSize)) == ERROR_SUCCESS;
}

bool KelPresetBank::holdsBinaryValue(const std::string& name) {
    DWORD type = 0;
    return presetKey &&
           RegQueryValueExA(presetKey.get(), name.c_str(), nullptr, &type, nullptr, nullptr) ==
               ERROR_SUCCESS &&
           type == REG_BINARY;
}

bool KelPresetBank::storeNewPreset(int slot, const char* name) {
    if (slot < 1 || slot > kSlotCount || !name || std::strlen(name) > kMaxPresetNameLength) {
        return false;
    }
    if (builtInIndexOf(name) >= 0 || !effect) {
        return false;
    }
    const PresetValues values = currentSettings();
    if (!presetKey) {
        return false;
    }
    if (!writeStoredPreset(name, values)) {
        return false;
    }
    QuickSlot& quick = slots[slot];
    quick.name = name;
    int listed = -1;
    for (std::size_t k = 0; k < userNames.size() && listed < 0; ++k) {
        if (userNames[k] == quick.name) {
            listed = static_cast<int>(k);
        }
    }
    if (listed >= 0) {
        quick.number = kFirstUserPreset + listed;
    } else {
        quick.number = kFirstUserPreset + static_cast<int>(userNames.size());
        userNames.push_back(quick.name);
    }
    // The names are read again before the next use, whether the name was new or not: the
    // change notification of the write may come late.
    refreshFlag = true;
    saveQuickSlots();
    return true;
}

bool KelPresetBank::deleteSlotPreset(int slot) {
    if (slot < 1 || slot > kSlotCount) {
        return false;
    }
    refreshIfNeeded();
    const int number = slots[slot].number;
    if (number < builtInCount || !presetKey ||
        RegDeleteValueA(presetKey.get(), slots[slot].name.c_str()) != ERROR_SUCCESS) {
        return false;
    }
    for (int s = 1; s <= kSlotCount; ++s) {
        if (slots[s].number == number) {
            fallBackToBuiltIn(s);
        }
    }
    refreshFlag = true;
    saveQuickSlots();
    refresh();
    return true;
}

bool KelPresetBank::deleteAllUserPresets() {
    refreshIfNeeded();
    if (!presetKey) {
        return false;
    }
    if (message(kDeleteAllQuestion, MB_YESNOCANCEL | MB_ICONQUESTION) != IDYES) {
        return false;
    }
    refreshFlag = true;
    for (auto name = userNames.rbegin(); name != userNames.rend(); ++name) {
        if (RegDeleteValueA(presetKey.get(), name->c_str()) != ERROR_SUCCESS) {
            return false;
        }
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        if (slots[slot].number >= kFirstUserPreset) {
            fallBackToBuiltIn(slot);
        }
    }
    saveQuickSlots();
    refresh();
    return true;
}

} // namespace kel::presets

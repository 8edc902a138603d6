// The registry store. Both plug-ins share the keys; each lists only values of its own record
// size. The preset key stays open from one reopen to the next, with the change notification armed
// on it.
#include "presets/registry_preset_store.h"

#include <windows.h>

#include "model/plugin_description.h"
#include "presets/preset_format.h"
#include "ui/win32_handles.h"

namespace kel::presets {

using namespace kel::ui;

namespace {

constexpr const char* kSlotValueNames[kQuickSlotCount] = {"P1", "P2", "P3", "P4"};

RegistryKey createKey(const char* path) {
    HKEY key = nullptr;
    char noClass[] = "";
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, noClass, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return RegistryKey();
    }
    return RegistryKey(key);
}

class RegistryPresetStore : public UserPresetStore {
public:
    RegistryPresetStore() { changeEvent.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr)); }

    bool reopen() override {
        // The old key is closed before the new one is opened.
        presetKey.reset();
        presetKey = createKey(kUserPresetKey);
        // Reset after the old handle is closed (closing it may signal) and before the
        // notification is armed again, so that no change made from here on is missed.
        if (changeEvent) {
            ResetEvent(changeEvent.get());
        }
        if (!presetKey) {
            return false;
        }
        if (changeEvent) {
            RegNotifyChangeKeyValue(presetKey.get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET,
                                    changeEvent.get(), TRUE);
        }
        return true;
    }

    bool isOpen() const override { return static_cast<bool>(presetKey); }

    bool changed() override {
        return changeEvent && WaitForSingleObject(changeEvent.get(), 0) == WAIT_OBJECT_0;
    }

    std::vector<std::string> presetNames(std::size_t recordSize) override {
        std::vector<std::string> names;
        DWORD valueCount = 0;
        if (!presetKey ||
            RegQueryInfoKeyA(presetKey.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             &valueCount, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return names;
        }
        // One byte more than a preset of ours: a longer value does not fit and is skipped, so a
        // huge value costs nothing.
        std::vector<BYTE> data(recordSize + 1);
        for (DWORD index = 0; index < valueCount; ++index) {
            char name[kPresetNameBufferSize] = {};
            DWORD nameLength = sizeof(name);
            DWORD type = 0;
            DWORD length = static_cast<DWORD>(data.size());
            // A value whose name or data does not fit is not ours; the ones after it still count.
            if (RegEnumValueA(presetKey.get(), index, name, &nameLength, nullptr, &type,
                              data.data(), &length) != ERROR_SUCCESS) {
                continue;
            }
            if (type != REG_BINARY || length != static_cast<DWORD>(recordSize) ||
                nameLength > static_cast<DWORD>(model::kMaxPresetNameLength)) {
                continue;
            }
            name[nameLength] = 0;
            names.emplace_back(name);
        }
        return names;
    }

    bool readPreset(const std::string& name, std::size_t capacity,
                    std::vector<std::uint8_t>& record) override {
        if (!presetKey) {
            return false;
        }
        record.assign(capacity, 0);
        DWORD type = 0;
        DWORD length = static_cast<DWORD>(capacity);
        if (RegQueryValueExA(presetKey.get(), name.c_str(), nullptr, &type, record.data(),
                             &length) != ERROR_SUCCESS ||
            type != REG_BINARY) {
            return false;
        }
        record.resize(length);
        return true;
    }

    bool writePreset(const std::string& name, const std::vector<std::uint8_t>& record) override {
        return presetKey &&
               RegSetValueExA(presetKey.get(), name.c_str(), 0, REG_BINARY, record.data(),
                              static_cast<DWORD>(record.size())) == ERROR_SUCCESS;
    }

    bool deletePreset(const std::string& name) override {
        return presetKey && RegDeleteValueA(presetKey.get(), name.c_str()) == ERROR_SUCCESS;
    }

    bool holdsPreset(const std::string& name) override {
        DWORD type = 0;
        return presetKey &&
               RegQueryValueExA(presetKey.get(), name.c_str(), nullptr, &type, nullptr, nullptr) ==
                   ERROR_SUCCESS &&
               type == REG_BINARY;
    }

    bool readSlotNames(SlotNames& names) override {
        const RegistryKey key = createKey(kQuickSlotKey);
        if (!key) {
            return false;
        }
        for (int slot = 0; slot < kQuickSlotCount; ++slot) {
            BYTE field[kSlotNameFieldSize] = {};
            DWORD type = 0;
            DWORD length = sizeof(field);
            if (RegQueryValueExA(key.get(), kSlotValueNames[slot], nullptr, &type, field,
                                 &length) == ERROR_SUCCESS &&
                type == REG_SZ) {
                names[slot] = decodeSlotName(field, length);
            } else {
                names[slot].reset();
            }
        }
        return true;
    }

    bool writeSlotNames(const std::array<std::string, kQuickSlotCount>& names) override {
        const RegistryKey key = openRegistryKey(HKEY_CURRENT_USER, kQuickSlotKey, KEY_SET_VALUE);
        if (!key) {
            return false;
        }
        for (int slot = 0; slot < kQuickSlotCount; ++slot) {
            const auto field = encodeSlotName(names[slot]);
            RegSetValueExA(key.get(), kSlotValueNames[slot], 0, REG_SZ, field.data(),
                           static_cast<DWORD>(field.size()));
        }
        return true;
    }

private:
    RegistryKey presetKey;
    KernelHandle changeEvent; // declared after the key: closed before it
};

} // namespace

std::unique_ptr<UserPresetStore> makeUserPresetStore() {
    return std::make_unique<RegistryPresetStore>();
}

} // namespace kel::presets

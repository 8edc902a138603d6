// The bank's user presets: the user list with the user menu, the quick-slot names, and reading,
// writing and deleting stored presets, all through the store. Both plug-ins share the store; each
// lists only records of its own size. Whatever the store holds may have been written by anyone
// and is checked before it is used.
#include <cstring>

#include "presets/kel_preset_bank.h"
#include "presets/preset_menus.h"
#include "presets/preset_user_interface.h"

namespace kel::presets {

using namespace kel::model;

namespace {

constexpr const char* kDeleteAllQuestion = "Are You sure you want to delete all user presets?";

} // namespace

void KelPresetBank::rebuildUserList() {
    userNames.clear();
    if (!store->reopen()) {
        return;
    }
    for (const std::string& name :
         store->presetNames(static_cast<std::size_t>(plugin.storedPresetSize))) {
        if (menus->addUserPreset(static_cast<int>(userNames.size()), name)) {
            userNames.push_back(name);
        }
    }
}

void KelPresetBank::readSlotNames() {
    UserPresetStore::SlotNames names;
    if (!store->readSlotNames(names)) {
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            fallBackToBuiltIn(slot);
        }
        return;
    }
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const std::optional<std::string>& name = names[slot - 1];
        slots[slot].name = name ? *name : builtIn(slot < builtInCount ? slot : 0).name;
    }
    slotNamesRead = true;
}

bool KelPresetBank::saveQuickSlots() {
    if (!slotNamesRead) {
        return false;
    }
    std::array<std::string, kSlotCount> names;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        names[slot - 1] = slots[slot].name;
    }
    return store->writeSlotNames(names);
}

bool KelPresetBank::readStoredPreset(const std::string& name, PresetValues& values) {
    std::vector<std::uint8_t> data;
    return store->readPreset(name, static_cast<std::size_t>(plugin.storedPresetSize), data) &&
           decodeStoredPreset(data.data(), data.size(), plugin.storedPresetSize, values);
}

bool KelPresetBank::writeStoredPreset(const std::string& name, const PresetValues& values) {
    return store->writePreset(name, encodeStoredPreset(values, plugin.storedPresetSize));
}

bool KelPresetBank::storeNewPreset(int slot, const char* name) {
    if (slot < 1 || slot > kSlotCount || !name || std::strlen(name) > kMaxPresetNameLength) {
        return false;
    }
    if (builtInIndexOf(name) >= 0 || !effect) {
        return false;
    }
    const PresetValues values = currentSettings();
    if (!store->isOpen()) {
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
    if (number < builtInCount || !store->deletePreset(slots[slot].name)) {
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
    if (!store->isOpen()) {
        return false;
    }
    if (message(kDeleteAllQuestion, MessageKind::YesNoCancelQuestion) != MessageAnswer::Yes) {
        return false;
    }
    refreshFlag = true;
    for (auto name = userNames.rbegin(); name != userNames.rend(); ++name) {
        if (!store->deletePreset(*name)) {
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

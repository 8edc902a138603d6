// The entries of the plug-ins' two popup menus as the menu resource (ui/menus.rc) holds them, and
// the submenus the preset bank puts into the slot menu: the one description of the menus that
// every platform's menus are made from. A test under Wine checks that the resource agrees.
#pragma once

#include <string>

#include "ui/menu_commands.h"

namespace kel::ui {

struct MenuEntry {
    const char* caption; // "&" marks the letter that chooses the entry; nullptr for a separator
    int command;         // 0 for a separator
};

inline constexpr MenuEntry kSeparatorEntry{nullptr, 0};

// Popup KEL_OPTIONS_POPUP.
inline constexpr MenuEntry kOptionsMenuEntries[] = {
    {"&Export User Presets...", KEL_CMD_EXPORT_PRESETS},
    {"&Import Presets...", KEL_CMD_IMPORT_PRESETS},
    {"&Delete All User Presets...", KEL_CMD_DELETE_ALL_PRESETS},
    kSeparatorEntry,
    {"&Help", KEL_CMD_HELP},
    {"&About Plug-In ...", KEL_CMD_ABOUT},
};

// Popup KEL_SLOT_POPUP. The first entry is captioned with the slot's preset name each time the
// menu shows; the submenus go between the two separators.
inline constexpr MenuEntry kSlotMenuEntries[] = {
    {"Current", KEL_CMD_RELOAD_SLOT},
    kSeparatorEntry,
    kSeparatorEntry,
    {"&Save Settings as New Preset...", KEL_CMD_STORE_NEW_PRESET},
    {"&Overwrite Preset with Settings", KEL_CMD_OVERWRITE_PRESET},
    {"De&lete Preset", KEL_CMD_DELETE_PRESET},
};

// The slot menu's submenus, at these positions once both are in (the built-in one goes in first).
inline constexpr const char* kBuiltInSubmenuCaption = "Built-In";
inline constexpr unsigned kBuiltInSubmenuPosition = 2;
inline constexpr const char* kUserPresetsSubmenuCaption = "User Presets";
inline constexpr unsigned kUserPresetsSubmenuPosition = 3;

// A name (a preset's) as a caption that shows it literally: every "&" doubled.
inline std::string literalMenuCaption(const std::string& name) {
    std::string caption;
    for (const char c : name) {
        caption += c;
        if (c == '&') {
            caption += '&';
        }
    }
    return caption;
}

} // namespace kel::ui

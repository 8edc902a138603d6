// The bank's slots, compare scratch and menus. The registry side of the user presets lives in
// user_preset_store.cpp, the archive files in preset_archive.cpp.
#include "presets/kel_preset_bank.h"

#include <cstring>

#include "model/parameter_values.h"
#include "model/parameters.h"
#include "presets/preset_menus.h"
#include "presets/preset_user_interface.h"
#include "ui/menu_commands.h"

namespace kel::presets {

using namespace kel::model;

namespace {

constexpr const char* kNoneName = "None";
// The slot menu hangs below the point it is asked for, at the button's lower edge.
constexpr int kSlotMenuDrop = 10;

int presetCommand(int number) {
    return KEL_CMD_PRESET_BASE + number;
}

void copyName(char* target, const std::string& name) {
    const std::size_t length =
        name.size() < kPresetNameBufferSize ? name.size() : kPresetNameBufferSize - 1;
    std::memcpy(target, name.data(), length);
    target[length] = 0;
}

} // namespace

KelPresetBank::KelPresetBank(const PluginDescription& description)
    : KelPresetBank(description, makeUserPresetStore()) {}

KelPresetBank::KelPresetBank(const PluginDescription& description,
                             std::unique_ptr<UserPresetStore> userPresets)
    : plugin(description), menus(makePresetMenus()), store(std::move(userPresets)),
      ui(&systemPresetUserInterface()) {
    refresh();
}

KelPresetBank::~KelPresetBank() {
    saveQuickSlots();
    menus->releaseSlotMenu();
}

void KelPresetBank::setUserInterface(PresetUserInterface* userInterface) {
    ui = userInterface ? userInterface : &systemPresetUserInterface();
}

bool KelPresetBank::needsRefresh() {
    return refreshFlag || store->changed();
}

bool KelPresetBank::refreshIfNeeded() {
    return needsRefresh() ? refresh() : true;
}

bool KelPresetBank::refresh() {
    scratch = {builtIn(0).values[0], builtIn(0).values[1], builtIn(0).values[2]};
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        slots[slot] = QuickSlot{kNoneName, kNoPreset};
    }
    slotNamesRead = false;
    std::vector<std::string> builtInNames;
    for (int i = 0; i < builtInCount; ++i) {
        builtInNames.emplace_back(builtIn(i).name);
    }
    if (!menus->buildSlotMenu(builtInNames)) {
        return false;
    }
    rebuildUserList();
    menus->finishSlotMenu(!userNames.empty());
    readSlotNames();
    resolveSlots();
    refreshFlag = false;
    return true;
}

int KelPresetBank::builtInIndexOf(const std::string& name) const {
    for (int i = 0; i < builtInCount; ++i) {
        if (name == builtIn(i).name) {
            return i;
        }
    }
    return -1;
}

void KelPresetBank::takeBuiltIn(int slot, int index) {
    slots[slot] = QuickSlot{builtIn(index).name, index};
}

void KelPresetBank::fallBackToBuiltIn(int slot) {
    takeBuiltIn(slot, slot < builtInCount ? slot : 0);
}

void KelPresetBank::resolveSlots() {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        QuickSlot& quick = slots[slot];
        bool found = false;
        for (std::size_t k = 0; k < userNames.size() && !found; ++k) {
            if (userNames[k] == quick.name) {
                quick.number = kFirstUserPreset + static_cast<int>(k);
                found = true;
            }
        }
        if (found) {
            continue;
        }
        const int index = builtInIndexOf(quick.name);
        if (index >= 0) {
            quick.number = index;
        } else {
            fallBackToBuiltIn(slot);
        }
    }
}

bool KelPresetBank::getSlotName(int slot, char* name) {
    if (slot < 1 || slot > kSlotCount || !name) {
        return false;
    }
    refreshIfNeeded();
    copyName(name, slots[slot].name);
    return true;
}

bool KelPresetBank::getPresetName(int number, char* name) {
    refreshIfNeeded();
    if (!store->isOpen() || !name) {
        return false;
    }
    if (isBuiltInNumber(number)) {
        copyName(name, builtIn(number).name);
        return true;
    }
    const int k = number - kFirstUserPreset;
    if (number >= kFirstUserPreset && k < static_cast<int>(userNames.size())) {
        copyName(name, userNames[static_cast<std::size_t>(k)]);
        return true;
    }
    return false;
}

bool KelPresetBank::isBuiltInSlot(int slot) {
    refreshIfNeeded();
    if (slot < 1 || slot > kSlotCount) {
        return false;
    }
    return slots[slot].number < builtInCount;
}

int KelPresetBank::userPresetCount() {
    refreshIfNeeded();
    return static_cast<int>(userNames.size());
}

PresetValues KelPresetBank::currentSettings() const {
    PresetValues values{};
    for (int i = 0; i < kPresetValueCount; ++i) {
        const int parameter = kGainParameter + i;
        values[i] = toPresetValue(effect->parameter(parameter), 0, kParameterTable[parameter].span);
    }
    return values;
}

void KelPresetBank::applyValues(const PresetValues& values, bool tellHost) {
    for (int i = 0; i < kPresetValueCount; ++i) {
        const int parameter = kGainParameter + i;
        const float value = toParameterValue(values[i], 0, kParameterTable[parameter].span);
        if (tellHost) {
            effect->setParameterAutomated(parameter, value);
        } else {
            effect->setParameter(parameter, value);
        }
    }
}

bool KelPresetBank::recallSlot(int slot) {
    if (slot < 0 || slot > kSlotCount || !effect) {
        return false;
    }
    if (slot == 0) {
        applyValues(scratch, false);
        return true;
    }
    refreshIfNeeded();
    const QuickSlot& quick = slots[slot];
    if (isBuiltInNumber(quick.number)) {
        effect->selectProgram(quick.number);
        const int* values = builtIn(quick.number).values;
        applyValues({values[0], values[1], values[2]}, true);
        return true;
    }
    PresetValues values{};
    if (quick.number == kNoPreset || !readStoredPreset(quick.name, values)) {
        return false;
    }
    applyValues(values, true);
    return true;
}

bool KelPresetBank::storeSlot(int slot) {
    if (slot < 0 || slot > kSlotCount || !effect) {
        return false;
    }
    if (slot > 0) {
        // Before the scratch takes the settings: a refresh would reset it.
        refreshIfNeeded();
    }
    scratch = currentSettings();
    if (slot == 0) {
        return true;
    }
    const QuickSlot& quick = slots[slot];
    if (quick.number < builtInCount || !store->isOpen()) {
        return false;
    }
    return writeStoredPreset(quick.name, scratch);
}

SlotMenuResult KelPresetBank::trackSlotMenu(int slot, int x, int y) {
    if (slot < 1 || slot > kSlotCount) {
        return SlotMenuResult::kDismissed;
    }
    if (!menus->hasSlotMenu()) {
        return SlotMenuResult::kLoadFailed;
    }
    refreshIfNeeded();
    if (!menus->hasSlotMenu()) {
        return SlotMenuResult::kLoadFailed;
    }
    const QuickSlot& quick = slots[slot];
    const int command =
        menus->trackSlotMenu(owner, x, y + kSlotMenuDrop, quick.name, quick.number >= builtInCount,
                             quick.number != kNoPreset ? presetCommand(quick.number) : 0);

    const int userCount = static_cast<int>(userNames.size());
    bool recall = false;
    if (command == KEL_CMD_OVERWRITE_PRESET) {
        return storeSlot(slot) ? SlotMenuResult::kOverwritten : SlotMenuResult::kOverwriteFailed;
    } else if (command == KEL_CMD_DELETE_PRESET) {
        if (!deleteSlotPreset(slot)) {
            return SlotMenuResult::kDeleteFailed;
        }
        recallSlot(slot);
        return SlotMenuResult::kDeleted;
    } else if (command == KEL_CMD_STORE_NEW_PRESET) {
        return SlotMenuResult::kStoreAsNew;
    } else if (command == KEL_CMD_RELOAD_SLOT) {
        recall = true;
    } else if (command >= KEL_CMD_PRESET_BASE && command < KEL_CMD_PRESET_BASE + builtInCount) {
        takeBuiltIn(slot, command - KEL_CMD_PRESET_BASE);
        recall = true;
    } else if (command >= KEL_CMD_PRESET_BASE + kFirstUserPreset &&
               command < KEL_CMD_PRESET_BASE + kFirstUserPreset + userCount) {
        const int k = command - KEL_CMD_PRESET_BASE - kFirstUserPreset;
        slots[slot] = QuickSlot{userNames[static_cast<std::size_t>(k)], kFirstUserPreset + k};
        recall = true;
    }
    if (!recall) {
        return SlotMenuResult::kDismissed;
    }
    if (command != KEL_CMD_RELOAD_SLOT) {
        // The assignment goes to the registry at once: the next refresh reads the slots from
        // there, and it may come any time another instance changes a preset.
        saveQuickSlots();
    }
    return recallSlot(slot) ? SlotMenuResult::kLoaded : SlotMenuResult::kLoadFailed;
}

int KelPresetBank::trackOptionsMenu(int x, int y) {
    const int command = menus->trackOptionsMenu(owner, x, y, layout != 0, userPresetCount() > 0);
    if (command < 0) {
        return -1;
    }

    bool done = false;
    switch (command) {
    case KEL_CMD_HELP:
        done = ui->openHelp(owner);
        break;
    case KEL_CMD_DELETE_ALL_PRESETS:
        done = deleteAllUserPresets();
        break;
    case KEL_CMD_EXPORT_PRESETS:
        done = exportPresets();
        break;
    case KEL_CMD_IMPORT_PRESETS:
        done = importPresets();
        break;
    default:
        return command;
    }
    return done ? command : -command;
}

std::string KelPresetBank::effectName() const {
    const std::string name = effect ? effect->effectName() : std::string();
    return name.empty() ? plugin.effectName : name;
}

int KelPresetBank::showNameDialog(int slot) {
    nameSlot = slot;
    return ui->askPresetName(owner, *this);
}

MessageAnswer KelPresetBank::message(const char* text, MessageKind kind) {
    return ui->message(owner, text, kPresetMessageCaption, kind);
}

} // namespace kel::presets

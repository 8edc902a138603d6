// The preset bank of one plug-in instance: the built-in presets, the user presets that every
// instance of the user shares through the store, the quick slots P1 to P4, the compare scratch
// (slot 0), the slot and options menus, and the layout selector the editor reads.
//
// Preset numbers: 0 to 4 the built-in presets, 100 + k user preset k (its place in the user
// list), -1 none. Menu command 40100 + n chooses preset n.
//
// Everything runs on the host's user-interface thread. Changes of the user presets made by any
// instance (this one included) reach the bank through the store's change notification;
// operations that read the user list or the slots refresh first when it fired.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/effect_link.h"
#include "model/plugin_description.h"
#include "presets/layout_selector.h"
#include "presets/preset_format.h"
#include "presets/preset_user_interface.h"
#include "presets/user_preset_store.h"

namespace kel::presets {

class PresetMenus;
class ByteSource;

// What the slot menu did, for the editor to tell the user.
enum class SlotMenuResult {
    kDismissed,       // nothing chosen
    kLoaded,          // the slot holds the chosen preset (or its own again) and it was loaded
    kLoadFailed,      // the slot's preset could not be loaded, or there is no slot menu
    kOverwritten,     // the slot's user preset took the current settings
    kOverwriteFailed, // ... or could not take them
    kDeleted,         // the slot's user preset was deleted and the slot loaded again
    kDeleteFailed,    // ... or could not be deleted
    kStoreAsNew,      // the settings are to be stored under a new name (the caller asks for it)
};

class KelPresetBank {
public:
    static constexpr int kSlotCount = 4;
    static constexpr int kNoPreset = -1;
    static constexpr int kFirstUserPreset = 100;

    // Runs the first refresh, over the platform's store or the one given.
    explicit KelPresetBank(const model::PluginDescription& description);
    KelPresetBank(const model::PluginDescription& description,
                  std::unique_ptr<UserPresetStore> store);
    // Saves the quick slots, destroys the menus and then the store.
    ~KelPresetBank();
    KelPresetBank(const KelPresetBank&) = delete;
    KelPresetBank& operator=(const KelPresetBank&) = delete;

    // The effect whose settings the bank recalls and stores.
    void setEffect(model::EffectLink* link) { effect = link; }
    // Parent of the menus and message boxes: the editor's window on this platform.
    void setOwnerWindow(void* window) { owner = window; }
    void* ownerWindow() const { return owner; }
    // File dialogs, message boxes, the name dialog and the help; nullptr restores the system's.
    void setUserInterface(PresetUserInterface* ui);
    PresetUserInterface& userInterface() const { return *ui; }

    // 1 wide layout, 0 tall layout; 1 unless the effect chose the tall one.
    int layoutSelector() const { return layout; }
    void setLayoutSelector(int selector) { layout = selector; }

    // True when another instance or this one changed the user presets since the last refresh.
    // Never waits.
    bool needsRefresh();
    // Rebuilds menus, user list and quick slots from the registry and resets the compare scratch
    // to the "Default" preset. False when a menu could not be created; the slots then hold no
    // preset until a later refresh succeeds.
    bool refresh();

    // What the store found damaged and set aside since the last call, for the user to hear of;
    // empty when nothing was.
    std::string takeDamageReport() { return store->takeDamageReport(); }

    // Slot 1 to 4; name takes kPresetNameBufferSize bytes.
    bool getSlotName(int slot, char* name);
    // Name of preset number n (built-in or user); false when the user-preset key is not open or
    // n names no preset. name takes kPresetNameBufferSize bytes.
    bool getPresetName(int number, char* name);
    // True when the slot (1 to 4) holds a built-in preset, or none; such a slot cannot be
    // overwritten or deleted.
    bool isBuiltInSlot(int slot);
    // The number of user presets of this plug-in.
    int userPresetCount();

    // Slot 0 applies the compare scratch without telling the host. Slots 1 to 4 apply the slot's
    // preset and tell the host; a built-in preset also selects its program first.
    bool recallSlot(int slot);
    // Keeps the current settings in the compare scratch; slots 1 to 4 also write them into the
    // slot's user preset (never into a built-in preset).
    bool storeSlot(int slot);
    // The slot menu for slot 1 to 4 at (x, y + 10) relative to the owner window; runs what was
    // chosen but storing under a new name. kDismissed for any other slot.
    SlotMenuResult trackSlotMenu(int slot, int x, int y);
    // The options menu at (x, y) relative to the owner window. Runs help, delete-all, export and
    // import itself and answers the command, negated when it failed; other commands unchanged;
    // -1 when the menu cannot be loaded.
    int trackOptionsMenu(int x, int y);

    // Stores the current settings as the user preset `name` and puts it into the slot. Refuses
    // names of more than 64 characters and names of built-in presets.
    bool storeNewPreset(int slot, const char* name);
    // The name dialog over the owner window, for slot 1 to 4: 1 when a preset was stored under
    // the name given and the slot holds it, 0 when the name was refused, -1 when cancelled.
    int showNameDialog(int slot);
    int nameDialogSlot() const { return nameSlot; }
    // Deletes the slot's user preset; every slot that held it falls back to its built-in preset.
    bool deleteSlotPreset(int slot);
    // Asks the user, then deletes every user preset of this plug-in (none of the other's).
    bool deleteAllUserPresets();
    // Writes the slot names to the registry, for every instance of both plug-ins; nothing (and
    // false) while the bank could not read them, so that it never writes placeholders over the
    // names the other instances share.
    bool saveQuickSlots();
    // Writes all user presets of this plug-in into an archive file the user names.
    bool exportPresets();
    // Reads user presets from an archive file the user picks, asking before each replacement.
    bool importPresets();

private:
    struct QuickSlot {
        std::string name; // at most 64 characters
        int number = kNoPreset;
    };

    bool refreshIfNeeded();
    bool isBuiltInNumber(int number) const { return number >= 0 && number < builtInCount; }
    const model::BuiltInPreset& builtIn(int index) const { return plugin.builtIns[index]; }
    // The first built-in preset of that name, or -1.
    int builtInIndexOf(const std::string& name) const;
    void takeBuiltIn(int slot, int index);
    // Built-in preset s for slot s, built-in 0 when there is no preset s.
    void fallBackToBuiltIn(int slot);
    void rebuildUserList();
    void readSlotNames();
    void resolveSlots();
    PresetValues currentSettings() const;
    void applyValues(const PresetValues& values, bool tellHost);
    bool readStoredPreset(const std::string& name, PresetValues& values);
    bool writeStoredPreset(const std::string& name, const PresetValues& values);
    // How reading an archive ended.
    enum class ArchiveImport { Complete, NotAnArchive, OtherPlugin, ReadError, StoreError };
    // Reads the records of an open archive file into the store, asking before each replacement.
    ArchiveImport readArchive(ByteSource& archive);
    std::string effectName() const;
    MessageAnswer message(const char* text, MessageKind kind);

    const model::PluginDescription& plugin;
    int layout = kWideLayoutSelector;
    int builtInCount = model::kBuiltInCount;
    std::vector<std::string> userNames; // the user list
    std::unique_ptr<PresetMenus> menus;
    PresetValues scratch{};
    bool refreshFlag = false;
    model::EffectLink* effect = nullptr;
    std::unique_ptr<UserPresetStore> store;
    QuickSlot slots[kSlotCount + 1]; // 1 to 4; 0 unused
    bool slotNamesRead = false;      // the slots hold the names read from the registry
    int nameSlot = 1;                // the slot the name dialog works for
    void* owner = nullptr;
    PresetUserInterface* ui;
};

} // namespace kel::presets

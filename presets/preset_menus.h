// The bank's two popup menus as this platform shows them. The quick-slot menu: the slot's own
// preset, a separator, the submenus of the built-in and of the user presets (command 40100 + n
// for preset number n), then store-as-new, overwrite and delete. The options menu: layouts,
// export, import, delete all, help and about. Command numbers are in ui/menu_commands.h. The bank
// decides what they show; this only builds and tracks them.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kel::presets {

class PresetMenus {
public:
    virtual ~PresetMenus() = default;

    // Builds the quick-slot menu afresh with the built-in presets' submenu and an empty user
    // submenu; false when a menu could not be made, and then none is left.
    virtual bool buildSlotMenu(const std::vector<std::string>& builtInNames) = 0;
    // Adds user preset number 100 + index to the user submenu; false when it could not be added.
    virtual bool addUserPreset(int index, const std::string& name) = 0;
    // Puts the user submenu into the slot menu, greyed when it holds no preset.
    virtual void finishSlotMenu(bool anyUserPreset) = 0;
    virtual bool hasSlotMenu() const = 0;
    virtual void releaseSlotMenu() = 0;

    // Shows the slot menu at (x, y) relative to the owner's top-left corner: its first entry reads
    // slotName, overwrite and delete are enabled when the slot holds a user preset, and the entry
    // of command `checked` (0: none) carries a check mark meanwhile. Answers the command chosen,
    // 0 when dismissed.
    virtual int trackSlotMenu(void* owner, int x, int y, const std::string& slotName,
                              bool holdsUserPreset, int checked) = 0;
    // Shows the options menu at (x, y) with the layout in use checked, export and delete-all
    // enabled when there are user presets. Answers the command chosen, 0 when dismissed, -1 when
    // the menu could not be made.
    virtual int trackOptionsMenu(void* owner, int x, int y, bool wideLayout,
                                 bool anyUserPreset) = 0;
};

// This platform's menus.
std::unique_ptr<PresetMenus> makePresetMenus();

} // namespace kel::presets

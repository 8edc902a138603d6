// The bank's menus on Windows: popup menus loaded from the module's menu resource, the preset
// submenus built at each refresh.
#include "presets/preset_menus.h"

#include "ui/menu_commands.h"
#include "ui/menu_table.h"
#include "ui/popup_menu.h"

namespace kel::presets {

using namespace kel::ui;

namespace {

constexpr int kFirstUserPreset = 100;

UINT presetCommand(int number) {
    return static_cast<UINT>(KEL_CMD_PRESET_BASE + number);
}

class Win32PresetMenus : public PresetMenus {
public:
    ~Win32PresetMenus() override { releaseSlotMenu(); }

    bool buildSlotMenu(const std::vector<std::string>& builtInNames) override {
        releaseSlotMenu();
        if (!slotMenu.load(KEL_MENU_RESOURCE, KEL_SLOT_POPUP) || !builtInMenu.create() ||
            !userMenu.create()) {
            releaseSlotMenu();
            return false;
        }
        for (std::size_t i = 0; i < builtInNames.size(); ++i) {
            builtInMenu.append(presetCommand(static_cast<int>(i)),
                               literalMenuCaption(builtInNames[i]).c_str(), 0);
        }
        slotMenu.insert(kBuiltInSubmenuPosition, reinterpret_cast<UINT_PTR>(builtInMenu.handle()),
                        kBuiltInSubmenuCaption, PopupMenu::kPopup | PopupMenu::kByPosition);
        return true;
    }

    bool addUserPreset(int index, const std::string& name) override {
        return userMenu.append(presetCommand(kFirstUserPreset + index),
                               literalMenuCaption(name).c_str(), 0);
    }

    void finishSlotMenu(bool anyUserPreset) override {
        slotMenu.insert(kUserPresetsSubmenuPosition, reinterpret_cast<UINT_PTR>(userMenu.handle()),
                        kUserPresetsSubmenuCaption,
                        PopupMenu::kPopup | PopupMenu::kByPosition |
                            (anyUserPreset ? 0 : PopupMenu::kGreyed));
    }

    bool hasSlotMenu() const override { return slotMenu.isValid(); }

    void releaseSlotMenu() override {
        // The submenus hang in the slot menu, which would destroy them with itself: each menu is
        // taken apart first so that every handle is destroyed once, by its owner.
        slotMenu.detach(builtInMenu.handle());
        slotMenu.detach(userMenu.handle());
        slotMenu.destroy();
        builtInMenu.destroy();
        userMenu.destroy();
    }

    int trackSlotMenu(void* owner, int x, int y, const std::string& slotName, bool holdsUserPreset,
                      int checked) override {
        slotMenu.modify(0, KEL_CMD_RELOAD_SLOT, slotName.c_str(), PopupMenu::kByPosition);
        slotMenu.enable(KEL_CMD_OVERWRITE_PRESET, holdsUserPreset);
        slotMenu.enable(KEL_CMD_DELETE_PRESET, holdsUserPreset);
        if (checked != 0) {
            slotMenu.check(static_cast<UINT>(checked), true);
        }
        const int command = slotMenu.track(x, y, static_cast<HWND>(owner));
        if (checked != 0) {
            slotMenu.check(static_cast<UINT>(checked), false);
        }
        return command;
    }

    int trackOptionsMenu(void* owner, int x, int y, bool wideLayout, bool anyUserPreset) override {
        PopupMenu menu;
        if (!menu.load(KEL_MENU_RESOURCE, KEL_OPTIONS_POPUP)) {
            return -1;
        }
        menu.check(wideLayout ? KEL_CMD_WIDE_LAYOUT : KEL_CMD_TALL_LAYOUT, true);
        menu.enable(KEL_CMD_EXPORT_PRESETS, anyUserPreset);
        menu.enable(KEL_CMD_DELETE_ALL_PRESETS, anyUserPreset);
        const int command = menu.track(x, y, static_cast<HWND>(owner));
        menu.destroy();
        return command;
    }

private:
    PopupMenu slotMenu;
    PopupMenu builtInMenu;
    PopupMenu userMenu;
};

} // namespace

std::unique_ptr<PresetMenus> makePresetMenus() {
    return std::make_unique<Win32PresetMenus>();
}

} // namespace kel::presets

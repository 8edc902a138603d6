// The bank's menus on Linux: the entries of the menu table, the preset submenus built at each
// refresh, shown by our own popup menus over the editor's window.
#include "presets/preset_menus.h"

#include "ui/menu_commands.h"
#include "ui/menu_model.h"
#include "ui/menu_table.h"
#include "ui/popup_menu_linux.h"

namespace kel::presets {

using namespace kel::ui;

namespace {

constexpr int kFirstUserPreset = 100;

template <std::size_t count>
Menu menuOf(const MenuEntry (&entries)[count]) {
    Menu menu;
    for (const MenuEntry& entry : entries) {
        MenuItem item;
        item.separator = entry.caption == nullptr;
        item.caption = entry.caption ? entry.caption : "";
        item.command = entry.command;
        menu.items.push_back(item);
    }
    return menu;
}

void enable(Menu& menu, int command, bool on) {
    if (MenuItem* item = menu.itemOf(command)) {
        item->greyed = !on;
    }
}

void check(Menu& menu, int command, bool on) {
    if (MenuItem* item = menu.itemOf(command)) {
        item->checked = on;
    }
}

class LinuxPresetMenus : public PresetMenus {
public:
    LinuxPresetMenus() = default;
    // The slot menu's entries point at the submenus beside it.
    LinuxPresetMenus(const LinuxPresetMenus&) = delete;
    LinuxPresetMenus& operator=(const LinuxPresetMenus&) = delete;

    bool buildSlotMenu(const std::vector<std::string>& builtInNames) override {
        slotMenu = menuOf(kSlotMenuEntries);
        builtInMenu = Menu();
        userMenu = Menu();
        for (std::size_t i = 0; i < builtInNames.size(); ++i) {
            MenuItem item;
            item.caption = literalMenuCaption(builtInNames[i]);
            item.command = KEL_CMD_PRESET_BASE + static_cast<int>(i);
            builtInMenu.items.push_back(item);
        }
        MenuItem builtIn;
        builtIn.caption = kBuiltInSubmenuCaption;
        builtIn.submenu = &builtInMenu;
        slotMenu.items.insert(slotMenu.items.begin() + kBuiltInSubmenuPosition, builtIn);
        built = true;
        return true;
    }

    bool addUserPreset(int index, const std::string& name) override {
        MenuItem item;
        item.caption = literalMenuCaption(name);
        item.command = KEL_CMD_PRESET_BASE + kFirstUserPreset + index;
        userMenu.items.push_back(item);
        return true;
    }

    void finishSlotMenu(bool anyUserPreset) override {
        MenuItem user;
        user.caption = kUserPresetsSubmenuCaption;
        user.submenu = &userMenu;
        user.greyed = !anyUserPreset;
        slotMenu.items.insert(slotMenu.items.begin() + kUserPresetsSubmenuPosition, user);
    }

    bool hasSlotMenu() const override { return built; }

    void releaseSlotMenu() override {
        slotMenu = Menu();
        builtInMenu = Menu();
        userMenu = Menu();
        built = false;
    }

    int trackSlotMenu(void* owner, int x, int y, const std::string& slotName, bool holdsUserPreset,
                      int checked) override {
        if (!built) {
            return -1;
        }
        slotMenu.items.front().caption = literalMenuCaption(slotName);
        enable(slotMenu, KEL_CMD_OVERWRITE_PRESET, holdsUserPreset);
        enable(slotMenu, KEL_CMD_DELETE_PRESET, holdsUserPreset);
        if (checked != 0) {
            check(slotMenu, checked, true);
        }
        const int command = trackPopupMenu(slotMenu, owner, {x, y});
        if (checked != 0) {
            check(slotMenu, checked, false);
        }
        return command < 0 ? 0 : command;
    }

    int trackOptionsMenu(void* owner, int x, int y, bool wideLayout, bool anyUserPreset) override {
        Menu menu = menuOf(kOptionsMenuEntries);
        check(menu, wideLayout ? KEL_CMD_WIDE_LAYOUT : KEL_CMD_TALL_LAYOUT, true);
        enable(menu, KEL_CMD_EXPORT_PRESETS, anyUserPreset);
        enable(menu, KEL_CMD_DELETE_ALL_PRESETS, anyUserPreset);
        return trackPopupMenu(menu, owner, {x, y});
    }

private:
    Menu slotMenu;
    Menu builtInMenu;
    Menu userMenu;
    bool built = false;
};

} // namespace

std::unique_ptr<PresetMenus> makePresetMenus() {
    return std::make_unique<LinuxPresetMenus>();
}

} // namespace kel::presets

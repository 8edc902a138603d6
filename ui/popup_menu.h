// A popup menu that the preset bank loads, builds, marks and shows. It owns up to two menu
// handles: the menu loaded from a resource and the popup it works on. Every operation answers
// false (track: -1) while there is no popup.
#pragma once

#include <windows.h>

#include <string>

#include "ui/menu_table.h"
#include "ui/win32_handles.h"

namespace kel::ui {

class PopupMenu {
public:
    // Flag bits of append, insert and modify.
    enum Flags : int {
        kPopup = 2,        // the command is a submenu handle
        kSeparator = 4,    // a separator line
        kMenuBarBreak = 8, // starts a new column
        kByPosition = 16,  // the position argument counts entries from 0
        kGreyed = 32,      // shown greyed out
    };

    PopupMenu() = default;
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;

    // Loads menu resource `resource` of this module and takes its popup at `popupIndex`; false
    // when either step fails.
    bool load(int resource, int popupIndex);
    // A new empty popup menu.
    bool create();
    // Destroys the popup, then the loaded menu, each when present.
    void destroy();

    HMENU handle() const { return popup.get(); }
    bool isValid() const { return static_cast<bool>(popup); }

    bool check(UINT command, bool on);
    // Enabled, or greyed when on is false.
    bool enable(UINT command, bool on);
    // Flags 2, 4 and 8.
    bool append(UINT_PTR commandOrSubmenu, const char* caption, int flags);
    // Flags 2, 16 and 32.
    bool insert(UINT positionOrCommand, UINT_PTR commandOrSubmenu, const char* caption, int flags);
    // Flags 2, 4, 8 and 16. Every "&" in the caption is doubled, so the text shows literally.
    bool modify(UINT positionOrCommand, UINT_PTR newCommand, const char* caption, int flags);
    // The whole caption of the entry with this command, searched through the submenus; the
    // text is cut to fit size bytes and always terminated.
    bool caption(UINT command, char* text, int size);
    // Takes the entry that holds this submenu out of the menu without destroying the submenu,
    // which then belongs to its owner again; false when no entry holds it.
    bool detach(HMENU submenu);
    // Shows the popup at (x, y) relative to the window's top-left corner, with the window as
    // owner, and answers the chosen command (0 when dismissed) without sending it to the window.
    int track(int x, int y, HWND window);

private:
    // Declared in this order, the popup goes before the loaded menu.
    MenuHandle loaded;
    MenuHandle popup;
};

} // namespace kel::ui

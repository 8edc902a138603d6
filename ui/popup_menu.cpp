#include "ui/popup_menu.h"

#include <string>

#include "win32/module.h"

namespace kel::ui {

namespace {

UINT platformFlags(int flags, int understood) {
    const int used = flags & understood;
    UINT result = MF_STRING;
    if (used & PopupMenu::kPopup) {
        result |= MF_POPUP;
    }
    if (used & PopupMenu::kSeparator) {
        result |= MF_SEPARATOR;
    }
    if (used & PopupMenu::kMenuBarBreak) {
        result |= MF_MENUBARBREAK;
    }
    result |= (used & PopupMenu::kByPosition) ? MF_BYPOSITION : MF_BYCOMMAND;
    if (used & PopupMenu::kGreyed) {
        result |= MF_GRAYED;
    }
    return result;
}

} // namespace

bool PopupMenu::load(int resource, int popupIndex) {
    destroy();
    loaded.reset(LoadMenuA(win32::thisModule(), MAKEINTRESOURCEA(resource)));
    if (!loaded) {
        return false;
    }
    HMENU submenu = GetSubMenu(loaded.get(), popupIndex);
    if (!submenu) {
        return false;
    }
    // Taken out of the loaded menu, so that each handle has one owner.
    popup.reset(submenu);
    RemoveMenu(loaded.get(), static_cast<UINT>(popupIndex), MF_BYPOSITION);
    return true;
}

bool PopupMenu::create() {
    destroy();
    popup.reset(CreatePopupMenu());
    return static_cast<bool>(popup);
}

void PopupMenu::destroy() {
    popup.reset();
    loaded.reset();
}

bool PopupMenu::check(UINT command, bool on) {
    if (!popup) {
        return false;
    }
    return CheckMenuItem(popup.get(), command, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED)) !=
           static_cast<DWORD>(-1);
}

bool PopupMenu::enable(UINT command, bool on) {
    if (!popup) {
        return false;
    }
    return EnableMenuItem(popup.get(), command, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED)) != -1;
}

bool PopupMenu::append(UINT_PTR commandOrSubmenu, const char* caption, int flags) {
    if (!popup) {
        return false;
    }
    const UINT how = platformFlags(flags, kPopup | kSeparator | kMenuBarBreak);
    return AppendMenuA(popup.get(), how, commandOrSubmenu, caption) != FALSE;
}

bool PopupMenu::insert(UINT positionOrCommand, UINT_PTR commandOrSubmenu, const char* caption,
                       int flags) {
    if (!popup) {
        return false;
    }
    const UINT how = platformFlags(flags, kPopup | kByPosition | kGreyed);
    return InsertMenuA(popup.get(), positionOrCommand, how, commandOrSubmenu, caption) != FALSE;
}

bool PopupMenu::modify(UINT positionOrCommand, UINT_PTR newCommand, const char* caption,
                       int flags) {
    if (!popup) {
        return false;
    }
    const std::string literal = caption ? literalMenuCaption(caption) : std::string();
    const UINT how = platformFlags(flags, kPopup | kSeparator | kMenuBarBreak | kByPosition);
    return ModifyMenuA(popup.get(), positionOrCommand, how, newCommand,
                       caption ? literal.c_str() : nullptr) != FALSE;
}

bool PopupMenu::caption(UINT command, char* text, int size) {
    if (!popup || !text || size <= 0) {
        return false;
    }
    text[0] = 0;
    if (GetMenuState(popup.get(), command, MF_BYCOMMAND) == static_cast<UINT>(-1)) {
        return false;
    }
    GetMenuStringA(popup.get(), command, text, size, MF_BYCOMMAND);
    text[size - 1] = 0;
    return true;
}

bool PopupMenu::detach(HMENU submenu) {
    if (!popup || !submenu) {
        return false;
    }
    const int count = GetMenuItemCount(popup.get());
    for (int position = 0; position < count; ++position) {
        if (GetSubMenu(popup.get(), position) == submenu) {
            return RemoveMenu(popup.get(), static_cast<UINT>(position), MF_BYPOSITION) != FALSE;
        }
    }
    return false;
}

int PopupMenu::track(int x, int y, HWND window) {
    if (!popup) {
        return -1;
    }
    RECT frame{};
    if (window) {
        GetWindowRect(window, &frame);
    }
    return static_cast<int>(TrackPopupMenu(
        popup.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
        x + frame.left, y + frame.top, 0, window, nullptr));
}

} // namespace kel::ui

// Popup menus on Linux: a Menu drawn by our own code in windows of its own over the editor, with
// the pointer and the keyboard taken while it is open, as a desktop menu takes them: hover, click,
// the arrow keys, Enter, Escape and the underlined letters; a click outside closes it without a
// choice.
#pragma once

#include "ui/menu_model.h"

namespace kel::ui {

// The look of our menus: the measures of a desktop menu of this size and the font of its text.
MenuMetrics popupMenuMetrics();

// Shows the menu with its top-left corner at `at` (the frame window's coordinates) over the
// editor's frame window `owner` (CFrame::getSystemWindow), and waits for the choice on the
// calling thread, the frame's: the command chosen, 0 when the menu was dismissed or the editor
// closed meanwhile, -1 when it could not be shown.
int trackPopupMenu(const Menu& menu, void* owner, VSTGUI::CPoint at);

} // namespace kel::ui

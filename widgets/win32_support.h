// What the widget set's Windows files share: the mouse-button swap the frame window class reads,
// the single-call transparent copy and GDI colours. The module that holds the widget set (its
// bitmap resources, its window class) is kel::win32::thisModule().
#pragma once

#include <windows.h>

#include "widgets/geometry.h"

namespace VSTGUI {

// True when the system had its mouse buttons swapped as the frame window class was first
// registered.
bool mouseButtonsSwapped();

using TransparentBltFunction = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int,
                                             UINT);

inline COLORREF colorRef(const CColor& color) {
    return RGB(color.red, color.green, color.blue);
}
} // namespace VSTGUI

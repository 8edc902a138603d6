// The widget set's GDI objects and device contexts as platform handles, counted in
// platformObjectsInUse() for as long as they live.
#pragma once

#include <windows.h>

#include "widgets/platform_handle.h"

namespace VSTGUI {
namespace detail {

// Owns a pen, brush, font or bitmap (DeleteObject); empty for null. The object must not be
// selected into a device context when its owner lets it go.
PlatformHandle ownGdiObject(HGDIOBJ object);
// A new memory device context compatible with dc (DeleteDC); empty when none could be made.
PlatformHandle createMemoryDC(HDC compatibleWith);
// The window's device context (GetDC), given back to the window (ReleaseDC); empty when none.
PlatformHandle borrowWindowDC(HWND window);

inline HDC dcOf(const PlatformHandle& dc) {
    return static_cast<HDC>(dc.get());
}

} // namespace detail
} // namespace VSTGUI

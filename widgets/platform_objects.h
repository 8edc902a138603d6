// Counts of the platform objects the widget set holds at this moment, for leak checks on systems
// whose own counters (GetGuiResources) answer nothing: GDI objects (device contexts it borrowed,
// pens, brushes, fonts, bitmaps, masks; on Linux the decoded bitmaps and the open fonts) and USER
// objects (windows and window classes).
#pragma once

namespace VSTGUI {

struct PlatformObjectCounts {
    long gdi = 0;
    long user = 0;
};

PlatformObjectCounts platformObjectsInUse();

namespace detail {
void countGdiObjects(long delta);
void countUserObjects(long delta);
} // namespace detail

} // namespace VSTGUI

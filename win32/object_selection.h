// An object selected into a device context for as long as the selection lives.
#pragma once

#include <windows.h>

namespace kel::win32 {

// Selects the object into the device context; when the selection goes, what it replaced is
// selected again. Declared after the owners of the object and of the device context, it goes
// before them: an object is deleted only once no device context holds it.
class ObjectSelection {
public:
    ObjectSelection(HDC dc, HGDIOBJ object)
        : target(dc), previous(dc ? SelectObject(dc, object) : nullptr) {}
    ~ObjectSelection() {
        if (previous) {
            SelectObject(target, previous);
        }
    }
    ObjectSelection(const ObjectSelection&) = delete;
    ObjectSelection& operator=(const ObjectSelection&) = delete;

    // False when the object could not be selected (or there was no device context).
    explicit operator bool() const { return previous != nullptr; }

private:
    HDC target;
    HGDIOBJ previous;
};

} // namespace kel::win32

#include "widgets/gdi_handles.h"

#include "widgets/platform_objects.h"

namespace VSTGUI {
namespace detail {

namespace {

void deleteObject(void* object, void*) {
    DeleteObject(static_cast<HGDIOBJ>(object));
    countGdiObjects(-1);
}

void deleteDC(void* dc, void*) {
    DeleteDC(static_cast<HDC>(dc));
    countGdiObjects(-1);
}

void releaseDC(void* dc, void* window) {
    ReleaseDC(static_cast<HWND>(window), static_cast<HDC>(dc));
    countGdiObjects(-1);
}

// Counts the object while it has an owner.
PlatformHandle counted(void* object, PlatformHandle::Release release, void* context = nullptr) {
    if (!object) {
        return PlatformHandle();
    }
    countGdiObjects(1);
    return PlatformHandle(object, release, context);
}

} // namespace

PlatformHandle ownGdiObject(HGDIOBJ object) {
    return counted(object, &deleteObject);
}

PlatformHandle createMemoryDC(HDC compatibleWith) {
    return counted(CreateCompatibleDC(compatibleWith), &deleteDC);
}

PlatformHandle borrowWindowDC(HWND window) {
    return counted(GetDC(window), &releaseDC, window);
}

} // namespace detail
} // namespace VSTGUI

// Owners of the Win32 handles the plug-ins and our host hold: registry keys, files, events and
// threads, menus, GDI objects and device contexts. Each owner gives its handle back when it goes
// or is reset, and moves but never copies, so that every handle is closed once, by whoever holds
// it last. Nothing here needs more than windows.h.
//
// Not for process and thread handles that CreateProcess returns for a Unix program under Wine:
// 64-bit Wine leaves them undefined, and closing them would close handles of this process. The
// tests that start xdotool keep no such handle at all.
#pragma once

#include <windows.h>

#include <utility>

namespace kel::ui {

// One handle of the kind Closer describes: Closer::Handle its type, Closer::empty() the value
// that holds nothing, Closer::close() what gives a handle back.
template <typename Closer>
class UniqueHandle {
public:
    using Handle = typename Closer::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : value(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : value(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle get() const { return value; }
    explicit operator bool() const { return value != Closer::empty(); }

    // Gives the handle up without closing it; the owner is empty afterwards.
    Handle release() { return std::exchange(value, Closer::empty()); }
    // Closes the handle held, if any, and holds the new one (none by default). Resetting to the
    // handle already held keeps it open.
    void reset(Handle handle = Closer::empty()) {
        const Handle old = std::exchange(value, handle);
        if (old != Closer::empty() && old != handle) {
            Closer::close(old);
        }
    }

private:
    Handle value = Closer::empty();
};

namespace win32_closers {

struct RegistryKey {
    using Handle = HKEY;
    static HKEY empty() { return nullptr; }
    static void close(HKEY key) { RegCloseKey(key); }
};

// CreateFile answers INVALID_HANDLE_VALUE, not null, when it fails.
struct File {
    using Handle = HANDLE;
    static HANDLE empty() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE file) { CloseHandle(file); }
};

struct KernelObject {
    using Handle = HANDLE;
    static HANDLE empty() { return nullptr; }
    static void close(HANDLE object) { CloseHandle(object); }
};

struct Menu {
    using Handle = HMENU;
    static HMENU empty() { return nullptr; }
    static void close(HMENU menu) { DestroyMenu(menu); }
};

template <typename Object>
struct GdiObject {
    using Handle = Object;
    static Object empty() { return nullptr; }
    static void close(Object object) { DeleteObject(object); }
};

struct MemoryDC {
    using Handle = HDC;
    static HDC empty() { return nullptr; }
    static void close(HDC dc) { DeleteDC(dc); }
};

} // namespace win32_closers

// A key from RegOpenKeyEx or RegCreateKeyEx; never one of the predefined keys.
using RegistryKey = UniqueHandle<win32_closers::RegistryKey>;
// A file from CreateFile.
using FileHandle = UniqueHandle<win32_closers::File>;
// An event, a thread or another kernel object whose handle is null when there is none.
using KernelHandle = UniqueHandle<win32_closers::KernelObject>;
// A menu that is not part of a window's menu bar or of another menu (DestroyMenu takes the
// submenus with it).
using MenuHandle = UniqueHandle<win32_closers::Menu>;
// A pen, brush, font, bitmap or region; it must not be selected into a device context when its
// owner goes (see kel::win32::ObjectSelection).
template <typename Object>
using GdiObject = UniqueHandle<win32_closers::GdiObject<Object>>;
// A device context from CreateCompatibleDC or CreateDC.
using MemoryDC = UniqueHandle<win32_closers::MemoryDC>;

// Opens an existing key; empty when it cannot.
inline RegistryKey openRegistryKey(HKEY parent, const char* path, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(parent, path, 0, access, &key) != ERROR_SUCCESS) {
        return RegistryKey();
    }
    return RegistryKey(key);
}

// The device context of a window (of the whole screen for a null window) from GetDC, given back
// with ReleaseDC, which needs the window too.
class WindowDC {
public:
    WindowDC() = default;
    explicit WindowDC(HWND window) : owner(window), dc(GetDC(window)) {}
    ~WindowDC() { reset(); }
    WindowDC(WindowDC&& other) noexcept
        : owner(std::exchange(other.owner, nullptr)), dc(std::exchange(other.dc, nullptr)) {}
    WindowDC& operator=(WindowDC&& other) noexcept {
        if (this != &other) {
            reset();
            owner = std::exchange(other.owner, nullptr);
            dc = std::exchange(other.dc, nullptr);
        }
        return *this;
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const { return dc; }
    HWND window() const { return owner; }
    explicit operator bool() const { return dc != nullptr; }
    void reset() {
        if (dc) {
            ReleaseDC(owner, std::exchange(dc, nullptr));
        }
        owner = nullptr;
    }

private:
    HWND owner = nullptr;
    HDC dc = nullptr;
};

} // namespace kel::ui

// The owners of Win32 handles: ownership moves with the owner, reset and release do what they
// say, and a handle is really closed once its last owner goes, asked the way each kind of handle
// answers (the registry, the object manager, USER, GDI).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/sandbox.h"
#include "ui/win32_handles.h"
#include "win32/object_selection.h"

using namespace kel::ui;
using kel::win32::ObjectSelection;

namespace {

constexpr const char* kScratchKey = "Software\\Sonadrix\\HandleTest";

bool isOpenKey(HKEY key) {
    DWORD values = 0;
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool isOpenKernelObject(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

bool isLiveGdiObject(HGDIOBJ object) {
    return GetObjectType(object) != 0;
}

DWORD WINAPI doNothing(void*) {
    return 0;
}

// The kinds of owner, each with how to make a fresh handle for it and how to tell the handle
// open. Keys are made in the test's own registry.
struct RegistryKeyKind {
    using Owner = RegistryKey;
    static HKEY make() {
        HKEY key = nullptr;
        char noClass[] = "";
        RegCreateKeyExA(HKEY_CURRENT_USER, kScratchKey, 0, noClass, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr);
        return key;
    }
    static bool isOpen(HKEY key) { return isOpenKey(key); }
};

struct FileKind {
    using Owner = FileHandle;
    static HANDLE make() {
        char folder[MAX_PATH] = {};
        char path[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        GetTempFileNameA(folder, "kel", 0, path);
        return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    }
    static bool isOpen(HANDLE file) { return isOpenKernelObject(file); }
};

struct EventKind {
    using Owner = KernelHandle;
    static HANDLE make() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    static bool isOpen(HANDLE event) { return isOpenKernelObject(event); }
};

struct ThreadKind {
    using Owner = KernelHandle;
    static HANDLE make() { return CreateThread(nullptr, 0, doNothing, nullptr, 0, nullptr); }
    static bool isOpen(HANDLE thread) { return isOpenKernelObject(thread); }
};

struct MenuKind {
    using Owner = MenuHandle;
    static HMENU make() { return CreatePopupMenu(); }
    static bool isOpen(HMENU menu) { return IsMenu(menu) != FALSE; }
};

struct FontKind {
    using Owner = GdiObject<HFONT>;
    static HFONT make() {
        return CreateFontA(14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, "Arial");
    }
    static bool isOpen(HFONT font) { return isLiveGdiObject(font); }
};

struct BrushKind {
    using Owner = GdiObject<HBRUSH>;
    static HBRUSH make() { return CreateSolidBrush(RGB(160, 160, 164)); }
    static bool isOpen(HBRUSH brush) { return isLiveGdiObject(brush); }
};

struct PenKind {
    using Owner = GdiObject<HPEN>;
    static HPEN make() { return CreatePen(PS_SOLID, 1, RGB(255, 255, 255)); }
    static bool isOpen(HPEN pen) { return isLiveGdiObject(pen); }
};

struct BitmapKind {
    using Owner = GdiObject<HBITMAP>;
    static HBITMAP make() { return CreateBitmap(8, 8, 1, 1, nullptr); }
    static bool isOpen(HBITMAP bitmap) { return isLiveGdiObject(bitmap); }
};

struct MemoryDCKind {
    using Owner = MemoryDC;
    static HDC make() { return CreateCompatibleDC(nullptr); }
    static bool isOpen(HDC dc) { return GetObjectType(dc) == OBJ_MEMDC; }
};

template <typename Kind>
class HandleOwner : public ::testing::Test {
protected:
    // A fresh handle that is open; the test fails when none can be made.
    typename Kind::Owner::Handle fresh() {
        const auto handle = Kind::make();
        EXPECT_TRUE(Kind::isOpen(handle));
        return handle;
    }

    RegistrySandbox sandbox;
};

using HandleKinds = ::testing::Types<RegistryKeyKind, FileKind, EventKind, ThreadKind, MenuKind,
                                     FontKind, BrushKind, PenKind, BitmapKind, MemoryDCKind>;
TYPED_TEST_SUITE(HandleOwner, HandleKinds);

TYPED_TEST(HandleOwner, ClosesItsHandleWhenItGoes) {
    using Owner = typename TypeParam::Owner;
    const auto handle = this->fresh();
    {
        const Owner owner(handle);
        EXPECT_TRUE(owner);
        EXPECT_EQ(owner.get(), handle);
        EXPECT_TRUE(TypeParam::isOpen(handle));
    }
    EXPECT_FALSE(TypeParam::isOpen(handle));
}

TYPED_TEST(HandleOwner, MovingHandsTheHandleOnAndTheLastOwnerClosesIt) {
    using Owner = typename TypeParam::Owner;
    const auto moved = this->fresh();
    const auto replaced = this->fresh();
    Owner target(replaced);
    {
        Owner first(moved);
        Owner second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(first.get(), Owner().get());
        EXPECT_EQ(second.get(), moved);
        // The target closes what it held and takes over.
        target = std::move(second);
        EXPECT_FALSE(second);
        EXPECT_EQ(target.get(), moved);
        EXPECT_FALSE(TypeParam::isOpen(replaced));
    }
    // The emptied owners went without closing anything.
    EXPECT_TRUE(TypeParam::isOpen(moved));
    target.reset();
    EXPECT_FALSE(target);
    EXPECT_FALSE(TypeParam::isOpen(moved));
}

TYPED_TEST(HandleOwner, ResetAndReleaseCloseWhatTheySay) {
    using Owner = typename TypeParam::Owner;
    const auto first = this->fresh();
    const auto second = this->fresh();
    Owner owner(first);
    owner.reset(first); // the handle it holds: kept open
    EXPECT_TRUE(TypeParam::isOpen(first));
    owner.reset(second);
    EXPECT_FALSE(TypeParam::isOpen(first));
    EXPECT_EQ(owner.get(), second);
    const auto released = owner.release();
    EXPECT_EQ(released, second);
    EXPECT_FALSE(owner);
    owner.reset();
    EXPECT_TRUE(TypeParam::isOpen(second)); // released: no longer the owner's to close
    Owner(released).reset();
    EXPECT_FALSE(TypeParam::isOpen(second));
}

TEST(HandleOwners, WhatFailedCallsAnswerHoldsNothing) {
    RegistrySandbox sandbox;
    const struct {
        const char* call;
        bool holdsSomething;
    } cases[] = {
        // CreateFile fails with INVALID_HANDLE_VALUE, not null.
        {"CreateFile in a missing folder",
         static_cast<bool>(FileHandle(CreateFileA("Z:\\kel-no-such-folder\\file", GENERIC_READ, 0,
                                                  nullptr, OPEN_EXISTING, 0, nullptr)))},
        {"a default file owner", static_cast<bool>(FileHandle())},
        {"openRegistryKey of a missing key",
         static_cast<bool>(openRegistryKey(HKEY_CURRENT_USER, "Software\\Kel\\Missing", KEY_READ))},
        {"OpenEvent of a missing event",
         static_cast<bool>(KernelHandle(OpenEventA(SYNCHRONIZE, FALSE, "kel-no-such-event")))},
        {"a default window device context", static_cast<bool>(WindowDC())},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(c.holdsSomething) << c.call;
    }
    EXPECT_EQ(FileHandle().get(), INVALID_HANDLE_VALUE);
    // A key opened through the helper is open and closed with its owner.
    HKEY made = RegistryKeyKind::make();
    RegCloseKey(made);
    HKEY opened = nullptr;
    {
        const RegistryKey key = openRegistryKey(HKEY_CURRENT_USER, kScratchKey, KEY_READ);
        ASSERT_TRUE(key);
        opened = key.get();
        EXPECT_TRUE(isOpenKey(opened));
    }
    EXPECT_FALSE(isOpenKey(opened));
}

// A hidden top-level window whose device context the tests borrow.
class HiddenWindow {
public:
    HiddenWindow()
        : window(CreateWindowExA(0, "STATIC", "handles", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr)) {}
    ~HiddenWindow() { DestroyWindow(window); }
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    HWND handle() const { return window; }

private:
    HWND window;
};

// How many more GDI objects this process could make now: every object alive takes one of the
// process's slots. GetGuiResources answers 0 under Wine; this count works there as on Windows.
long freeGdiSlots() {
    std::vector<HBRUSH> made;
    for (;;) {
        HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        if (!brush) {
            break;
        }
        made.push_back(brush);
    }
    for (HBRUSH brush : made) {
        DeleteObject(brush);
    }
    return static_cast<long>(made.size());
}

TEST(WindowDC, MovingHandsTheDeviceContextOnAndItIsGivenBackOnce) {
    const HiddenWindow window;
    ASSERT_NE(window.handle(), nullptr);
    // The first borrow sets up the window's device contexts; counted from the second.
    { const WindowDC warmUp(window.handle()); }
    const long unused = freeGdiSlots();
    {
        // The count sees device contexts that are not given back (the first of them may come
        // from the window's cache).
        HDC kept[3] = {};
        for (HDC& dc : kept) {
            dc = GetDC(window.handle());
        }
        EXPECT_LT(freeGdiSlots(), unused);
        for (HDC dc : kept) {
            ReleaseDC(window.handle(), dc);
        }
    }
    // Given back, they stay in the window's cache for the next borrowers.
    const long before = freeGdiSlots();
    for (int cycle = 0; cycle < 100; ++cycle) {
        WindowDC first(window.handle());
        ASSERT_TRUE(first);
        const HDC dc = first.get();
        EXPECT_EQ(first.window(), window.handle());
        WindowDC second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(first.window(), nullptr);
        EXPECT_EQ(second.get(), dc);
        WindowDC third;
        third = std::move(second);
        EXPECT_EQ(third.get(), dc);
        EXPECT_EQ(third.window(), window.handle());
        EXPECT_FALSE(second);
    }
    EXPECT_EQ(freeGdiSlots(), before);
}

// What an editor does with handles while it opens, draws and closes: a window's device context,
// a back buffer with a font, a brush and a pen, a menu, an event and a registry key. Answers the
// handles it held, all gone by then.
struct UsedHandles {
    HDC memory;
    HBITMAP bitmap;
    HFONT font;
    HBRUSH brush;
    HPEN pen;
    HMENU menu;
    HANDLE event;
    HKEY key;

    bool anyOpen() const {
        return isLiveGdiObject(memory) || isLiveGdiObject(bitmap) || isLiveGdiObject(font) ||
               isLiveGdiObject(brush) || isLiveGdiObject(pen) || IsMenu(menu) ||
               isOpenKernelObject(event) || isOpenKey(key);
    }
};

UsedHandles editorLikeCycle(HWND window) {
    const WindowDC screen(window);
    const MemoryDC memory(CreateCompatibleDC(screen.get()));
    const GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), 64, 32));
    const ObjectSelection bitmapSelected(memory.get(), bitmap.get());
    const GdiObject<HBRUSH> brush(BrushKind::make());
    const RECT area{0, 0, 64, 32};
    FillRect(memory.get(), &area, brush.get());
    const GdiObject<HFONT> font(FontKind::make());
    const ObjectSelection fontSelected(memory.get(), font.get());
    TextOutA(memory.get(), 2, 2, "Gain", 4);
    const GdiObject<HPEN> pen(PenKind::make());
    const ObjectSelection penSelected(memory.get(), pen.get());
    MoveToEx(memory.get(), 0, 31, nullptr);
    LineTo(memory.get(), 63, 31);
    BitBlt(screen.get(), 0, 0, 64, 32, memory.get(), 0, 0, SRCCOPY);
    const MenuHandle menu(CreatePopupMenu());
    AppendMenuA(menu.get(), MF_STRING, 40001, "P1");
    const KernelHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    const RegistryKey key = openRegistryKey(HKEY_CURRENT_USER, kScratchKey, KEY_QUERY_VALUE);
    return {memory.get(), bitmap.get(), font.get(),  brush.get(),
            pen.get(),    menu.get(),   event.get(), key.get()};
}

TEST(HandleOwners, AThousandEditorLikeCyclesLeaveNoHandleBehind) {
    RegistrySandbox sandbox;
    RegCloseKey(RegistryKeyKind::make());
    const HiddenWindow window;
    ASSERT_NE(window.handle(), nullptr);
    const UsedHandles first = editorLikeCycle(window.handle()); // sets up what is made once
    ASSERT_NE(first.memory, nullptr);
    ASSERT_NE(first.key, nullptr);
    const long before = freeGdiSlots();
    {
        // The count sees a single object kept.
        const GdiObject<HBRUSH> kept(BrushKind::make());
        ASSERT_EQ(freeGdiSlots(), before - 1);
    }
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    int cyclesLeavingHandles = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
        if (editorLikeCycle(window.handle()).anyOpen()) {
            ++cyclesLeavingHandles;
        }
    }
    EXPECT_EQ(cyclesLeavingHandles, 0);
    EXPECT_EQ(freeGdiSlots(), before);
    // Zero on Wine, the real counts on Windows.
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore);
}

} // namespace

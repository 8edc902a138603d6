// The frame's real window under Wine: its class, painting, the objects it holds over many
// open/close cycles, drops, edit colours and OLE on threads of either apartment model.
#include <windows.h>

#include <objbase.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include <gtest/gtest.h>

#include "tests/widgets/widget_test_support.h"
#include "tests/widgets/window_test_support.h"
#include "widgets/buttons.h"
#include "widgets/drop_target.h"
#include "widgets/frame_window.h"
#include "widgets/knob.h"
#include "widgets/param_display.h"
#include "widgets/platform_objects.h"

namespace {

using namespace widget_test;

std::string classOf(void* window) {
    char name[64] = {};
    GetClassNameA(static_cast<HWND>(window), name, sizeof(name));
    return name;
}

HMODULE thisProgram() {
    return GetModuleHandleA(nullptr);
}

TEST(FrameWindow, OneWindowClassPerModuleNamedAfterItsHandle) {
    char expected[32];
    frameWindowClassName(reinterpret_cast<std::uintptr_t>(thisProgram()), expected,
                         sizeof(expected));
    char formatted[32];
#ifdef _WIN64
    std::snprintf(formatted, sizeof(formatted), "Plugin%016llx",
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(thisProgram())));
#else
    std::snprintf(formatted, sizeof(formatted), "Plugin%08x",
                  static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(thisProgram())));
#endif
    EXPECT_STREQ(expected, formatted);

    ScriptedEditor editor;
    auto first = std::make_unique<CFrame>(CRect(0, 0, 120, 80), parentWindow(), &editor);
    auto second = std::make_unique<CFrame>(CRect(0, 0, 60, 40), parentWindow(), &editor);
    ASSERT_TRUE(first->isOpen());
    HWND window = static_cast<HWND>(first->getSystemWindow());
    EXPECT_EQ(classOf(window), expected);
    EXPECT_EQ(classOf(second->getSystemWindow()), expected);
    EXPECT_TRUE(GetClassLongPtrA(window, GCL_STYLE) & CS_GLOBALCLASS);
    EXPECT_EQ(GetParent(window), parentWindow());
    EXPECT_EQ(GetWindowLongPtrA(window, GWL_STYLE) & (WS_CHILD | WS_VISIBLE),
              WS_CHILD | WS_VISIBLE);
    char title[16] = {};
    GetWindowTextA(window, title, sizeof(title));
    EXPECT_STREQ(title, "Window");
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 120);
    EXPECT_EQ(client.bottom, 80);
    EXPECT_EQ(GetWindowLongPtrA(window, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(first.get()));

    // The class goes with the last frame.
    WNDCLASSEXA info{};
    info.cbSize = sizeof(info);
    first.reset();
    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(GetClassInfoExA(thisProgram(), expected, &info));
    second.reset();
    EXPECT_FALSE(GetClassInfoExA(thisProgram(), expected, &info));

    // 64-bit handles that differ only in their upper half give different names.
#ifdef _WIN64
    char low[32], high[32];
    frameWindowClassName(0x0000000012340000ull, low, sizeof(low));
    frameWindowClassName(0x00007ff612340000ull, high, sizeof(high));
    EXPECT_STRNE(low, high);
    EXPECT_STREQ(high, "Plugin00007ff612340000");
#endif
}

TEST(FrameWindow, PaintDrawsEverythingAndIdleOnlyWhatChanged) {
    TopWindow top(620, 80, 200, 120);
    ScriptedEditor editor;
    CFrame frame(CRect(0, 0, 200, 120), top.handle(), &editor);
    const BitmapRef background(kBackgroundBitmap);
    const BitmapRef strip(kThreeImagesBitmap);
    frame.setBackground(background.get());
    auto* led = new CMovieBitmap(CRect(50, 50, 56, 53), nullptr, -1, 3, 3, strip.get());
    frame.addView(led);
    EXPECT_TRUE(frame.isFirstDrawPending());
    UpdateWindow(static_cast<HWND>(frame.getSystemWindow()));
    EXPECT_FALSE(frame.isFirstDrawPending());

    HDC screen = GetDC(static_cast<HWND>(frame.getSystemWindow()));
    auto shown = [&](int x, int y) {
        const COLORREF pixel = GetPixel(screen, x, y);
        return CColor{GetRValue(pixel), GetGValue(pixel), GetBValue(pixel), 0};
    };
    EXPECT_EQ(shown(52, 51), (CColor{255, 0, 0, 0}));
    EXPECT_EQ(shown(10, 12), (CColor{40, 48, 100, 0})); // the background's pattern
    led->setValue(1.0f);
    frame.idle();
    EXPECT_EQ(shown(52, 51), (CColor{0, 0, 255, 0}));
    EXPECT_FALSE(led->isDirty());
    ReleaseDC(static_cast<HWND>(frame.getSystemWindow()), screen);
}

// A frame holding every control with its bitmaps, drawn, changed and idled, as an editor window
// is between the host's open and close.
void openEveryControl(void* parent, ScriptedEditor& editor, RecordingListener& listener) {
    const BitmapRef background(kBackgroundBitmap);
    const BitmapRef body(kKnobBodyBitmap);
    const BitmapRef handle(kKnobHandleBitmap);
    const BitmapRef two(kTwoImagesBitmap);
    const BitmapRef three(kThreeImagesBitmap);
    const BitmapRef kick(kKickBitmap);
    CFrame* frame = new CFrame(CRect(0, 0, 300, 200), parent, &editor);
    frame->setBackground(background.get());
    frame->addView(new CKnob(CRect(10, 10, 60, 60), &listener, 1, body.get(), handle.get()));
    frame->addView(new CKnob(CRect(70, 10, 120, 60), &listener, 2, body.get(), nullptr));
    frame->addView(new COnOffButton(CRect(130, 10, 140, 14), &listener, 10, two.get()));
    frame->addView(new CKickButton(CRect(150, 10, 195, 25), &listener, 0, 15, kick.get()));
    frame->addView(new CMovieBitmap(CRect(200, 10, 206, 13), &listener, -1, 3, 3, three.get()));
    frame->addView(new CMovieButton(CRect(210, 10, 220, 14), &listener, 9, 4, two.get()));
    auto* status =
        new CTextEdit(CRect(10, 100, 160, 114), &listener, 14, "Welcome", nullptr, kShadowText);
    status->setFont(kNormalFontSmall);
    frame->addView(status);
    frame->addView(new CParamDisplay(CRect(10, 120, 60, 134)));
    frame->redraw();
    for (long i = 0; i < frame->getNbViews(); ++i) {
        static_cast<CControl*>(frame->getView(i))->setValue(0.7f);
    }
    status->setText("Gain: 70.0 %");
    frame->idle();
    frame->forget();
}

TEST(FrameWindow, AThousandOpenCloseCyclesLeaveNoObjectsBehind) {
    ScriptedEditor editor;
    RecordingListener listener;
    // Bitmaps, fonts and the window class are made on first use; counted from the second cycle.
    openEveryControl(parentWindow(), editor, listener);
    const PlatformObjectCounts before = platformObjectsInUse();
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    {
        // While a frame is open the counts show it: the window, its class, the bitmaps.
        const BitmapRef body(kKnobBodyBitmap);
        CFrame frame(CRect(0, 0, 10, 10), parentWindow(), &editor);
        EXPECT_EQ(platformObjectsInUse().user, before.user + 2);
        EXPECT_EQ(platformObjectsInUse().gdi, before.gdi + 1);
    }
    for (int cycle = 0; cycle < 1000; ++cycle) {
        openEveryControl(parentWindow(), editor, listener);
    }
    EXPECT_EQ(platformObjectsInUse().gdi, before.gdi);
    EXPECT_EQ(platformObjectsInUse().user, before.user);
    // Zero on Wine, the real counts on Windows.
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore);
}

// A clipboard holding files (CF_HDROP) or text, read back as OLE data the way a drop brings it.
IDataObject* clipboardData(UINT format, const void* bytes, std::size_t size) {
    if (!OpenClipboard(static_cast<HWND>(parentWindow()))) {
        return nullptr;
    }
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
    std::memcpy(GlobalLock(memory), bytes, size);
    GlobalUnlock(memory);
    SetClipboardData(format, memory);
    CloseClipboard();
    IDataObject* data = nullptr;
    return SUCCEEDED(OleGetClipboard(&data)) ? data : nullptr;
}

TEST(FrameWindow, DropsArriveAsFilesWithShortcutsResolvedOrAsText) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string target = std::string(folder) + "kel_drop_target.kpa";
    const std::string shortcut = std::string(folder) + "kel_drop_shortcut.lnk";
    CloseHandle(CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    IShellLinkA* link = nullptr;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IShellLinkA, reinterpret_cast<void**>(&link))));
    link->SetPath(target.c_str());
    IPersistFile* file = nullptr;
    link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, wide, MAX_PATH);
    ASSERT_TRUE(SUCCEEDED(file->Save(wide, TRUE)));
    file->Release();
    link->Release();

    // DROPFILES and two paths, double-terminated.
    std::string paths = target + '\0' + shortcut + '\0' + '\0';
    std::vector<char> drop(sizeof(DROPFILES) + paths.size());
    auto* header = reinterpret_cast<DROPFILES*>(drop.data());
    header->pFiles = sizeof(DROPFILES);
    std::memcpy(drop.data() + sizeof(DROPFILES), paths.data(), paths.size());
    IDataObject* files = clipboardData(CF_HDROP, drop.data(), drop.size());
    ASSERT_NE(files, nullptr);
    DropItems dropped = dropItemsOf(files);
    files->Release();
    EXPECT_EQ(dropped.type, kDropFiles);
    ASSERT_EQ(dropped.items.size(), 2u);
    EXPECT_EQ(dropped.items[0], target);
    EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, dropped.items[1].c_str(), -1,
                             target.c_str(), -1),
              CSTR_EQUAL)
        << dropped.items[1];

    const char text[] = "Mid Drive";
    IDataObject* words = clipboardData(CF_TEXT, text, sizeof(text));
    ASSERT_NE(words, nullptr);
    dropped = dropItemsOf(words);
    words->Release();
    EXPECT_EQ(dropped.type, kDropText);
    ASSERT_EQ(dropped.items.size(), 1u);
    EXPECT_EQ(dropped.items[0], "Mid Drive");
    EXPECT_EQ(dropItemsOf(nullptr).type, 0);

    DeleteFileA(shortcut.c_str());
    DeleteFileA(target.c_str());
    OleUninitialize();
}

TEST(FrameWindow, AnEditWindowTakesTheColoursOfTheFocusedDisplay) {
    ScriptedEditor editor;
    CFrame frame(CRect(0, 0, 100, 50), parentWindow(), &editor);
    auto* display = new CTextEdit(CRect(0, 0, 100, 14), nullptr, 14, "x");
    display->setFontColor(kRedCColor);
    display->setBackColor({0, 0, 80, 0});
    frame.addView(display);
    Canvas canvas(4, 4, kBlackCColor);
    HWND window = static_cast<HWND>(frame.getSystemWindow());
    EXPECT_EQ(SendMessageA(window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(canvas.dc()), 0),
              DefWindowProcA(window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(canvas.dc()), 0));
    frame.setFocusView(display);
    EXPECT_NE(SendMessageA(window, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(canvas.dc()), 0), 0);
    EXPECT_EQ(GetTextColor(canvas.dc()), RGB(255, 0, 0));
    EXPECT_EQ(GetBkColor(canvas.dc()), RGB(0, 0, 80));
}

// On a thread of either apartment model the frame leaves COM as it found it, and registers its
// drop target only where OLE runs.
TEST(FrameWindow, FramesLeaveTheHostThreadsComStateAsTheyFoundIt) {
    for (DWORD model : {COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED}) {
        std::thread host([model] {
            ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, model)));
            HWND parent = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr,
                                          nullptr, nullptr, nullptr);
            ScriptedEditor editor;
            for (int i = 0; i < 100; ++i) {
                CFrame frame(CRect(0, 0, 100, 100), parent, &editor);
                ASSERT_TRUE(frame.isOpen());
                if (model == COINIT_APARTMENTTHREADED && i == 0) {
                    // The frame's drop target is in place: a second one is refused.
                    IDropTarget* other = createDropTarget(&frame);
                    EXPECT_EQ(RegisterDragDrop(static_cast<HWND>(frame.getSystemWindow()), other),
                              DRAGDROP_E_ALREADYREGISTERED);
                    other->Release();
                }
            }
            DestroyWindow(parent);
            APTTYPE type;
            APTTYPEQUALIFIER qualifier;
            ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
            if (model == COINIT_MULTITHREADED) {
                EXPECT_EQ(type, APTTYPE_MTA);
            } else {
                EXPECT_TRUE(type == APTTYPE_STA || type == APTTYPE_MAINSTA) << type;
            }
            // Initialised exactly once still: one uninitialise and it is gone.
            CoUninitialize();
            const HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            EXPECT_EQ(again, S_OK);
            CoUninitialize();
        });
        host.join();
    }
}

} // namespace

// The frame's window: class registration, creation and destruction, the window procedure, the
// single-call transparent copy and the drop target.
#include <windowsx.h>

#include <cstdint>

#include "widgets/draw_context.h"
#include "widgets/drop_target.h"
#include "widgets/frame.h"
#include "widgets/frame_window.h"
#include "widgets/platform_objects.h"
#include "widgets/win32_support.h"
#include "win32/module.h"

namespace VSTGUI {

namespace {

// Module-wide: the class registration with its count of frames, and the mouse-button swap as
// it was when the class was first registered. User-interface thread.
long classUsers = 0;
bool swappedButtons = false;
char className[32] = {};

LRESULT CALLBACK frameWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

bool registerFrameClass() {
    if (classUsers++ > 0) {
        return true;
    }
    swappedButtons = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    frameWindowClassName(reinterpret_cast<std::uintptr_t>(kel::win32::thisModule()), className,
                         sizeof(className));
    WNDCLASSA windowClass{};
    windowClass.style = CS_GLOBALCLASS;
    windowClass.lpfnWndProc = frameWindowProcedure;
    windowClass.hInstance = kel::win32::thisModule();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    if (!RegisterClassA(&windowClass)) {
        classUsers = 0;
        return false;
    }
    detail::countUserObjects(1);
    return true;
}

void unregisterFrameClass() {
    if (classUsers > 0 && --classUsers == 0) {
        UnregisterClassA(className, kel::win32::thisModule());
        detail::countUserObjects(-1);
    }
}

bool isNtFamily() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
#pragma GCC diagnostic pop
}

CFrame* frameOf(HWND window) {
    return reinterpret_cast<CFrame*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK frameWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    CFrame* frame = frameOf(window);
    if (!frame) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        if (dc) {
            CDrawContext context(frame, dc, window);
            const RECT& area = paint.rcPaint;
            frame->drawRect(&context, CRect(area.left, area.top, area.right, area.bottom));
        }
        EndPaint(window, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        CDrawContext context(frame, nullptr, window);
        CPoint where(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        frame->mouse(&context, where);
        return 0;
    }
    case WM_MOUSEWHEEL:
        // Wine sends the wheel to the window under the pointer, Windows to the focus window;
        // either way the frame turns the view under the pointer.
        frame->onWheel(static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) /
                       static_cast<float>(WHEEL_DELTA));
        return 0;
    case WM_CTLCOLOREDIT: {
        CColor text, back;
        CView* focus = frame->getFocusView();
        if (focus && focus->textFieldColors(text, back)) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, colorRef(text));
            SetBkColor(dc, colorRef(back));
            SetDCBrushColor(dc, colorRef(back));
            return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
        }
        break;
    }
    case WM_DESTROY:
        frame->windowDestroyed();
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

bool mouseButtonsSwapped() {
    return swappedButtons;
}

unsigned long systemTicks() {
    return GetTickCount();
}

long systemDoubleClickTime() {
    return static_cast<long>(GetDoubleClickTime());
}

void CFrame::openWindow() {
    // OLE serves the drop target. A thread that chose another apartment model refuses it
    // (RPC_E_CHANGED_MODE): then there is no drop target and nothing to uninitialise.
    oleInitialized = SUCCEEDED(OleInitialize(nullptr));
    oleThread = GetCurrentThreadId();

    if (isNtFamily()) {
        imagingLibrary = LoadLibraryA("msimg32.dll");
        if (imagingLibrary) {
            HMODULE library = static_cast<HMODULE>(imagingLibrary);
            transparentBlt = reinterpret_cast<void*>(GetProcAddress(library, "TransparentBlt"));
            alphaBlend = reinterpret_cast<void*>(GetProcAddress(library, "AlphaBlend"));
        }
    }

    if (!registerFrameClass()) {
        return;
    }
    HWND created = CreateWindowExA(0, className, "Window", WS_CHILD | WS_VISIBLE, 0, 0,
                                   size.width(), size.height(), static_cast<HWND>(parentWindow),
                                   nullptr, kel::win32::thisModule(), nullptr);
    if (!created) {
        unregisterFrameClass();
        return;
    }
    detail::countUserObjects(1);
    window = created;
    SetWindowLongPtrA(created, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    open = true;

    if (oleInitialized) {
        IDropTarget* target = createDropTarget(this);
        if (target && SUCCEEDED(RegisterDragDrop(created, target))) {
            dropTarget = target;
        } else if (target) {
            target->Release();
        }
    }
}

void CFrame::closeWindow() {
    HWND handle = static_cast<HWND>(window);
    if (dropTarget) {
        RevokeDragDrop(handle);
        static_cast<IDropTarget*>(dropTarget)->Release();
        dropTarget = nullptr;
    }
    // Only the thread that initialised OLE can give it back.
    if (oleInitialized && oleThread == GetCurrentThreadId()) {
        OleUninitialize();
    }
    oleInitialized = false;
    if (imagingLibrary) {
        FreeLibrary(static_cast<HMODULE>(imagingLibrary));
        imagingLibrary = nullptr;
        transparentBlt = nullptr;
        alphaBlend = nullptr;
    }
    if (handle) {
        SetWindowLongPtrA(handle, GWLP_USERDATA, 0);
        // The host may have destroyed it with its own window already.
        if (IsWindow(handle)) {
            DestroyWindow(handle);
        }
        detail::countUserObjects(-1);
        window = nullptr;
        unregisterFrameClass();
    }
    open = false;
}

} // namespace VSTGUI

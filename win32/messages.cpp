#include "win32/messages.h"

#include "win32/clock.h"
#include "win32/module.h"

namespace kel::win32 {

bool dispatchWaitingMessages() {
    bool quit = false;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return !quit;
}

bool pumpMessagesFor(double seconds) {
    const double end = secondsNow() + seconds;
    bool noQuit = true;
    for (;;) {
        noQuit = dispatchWaitingMessages() && noQuit;
        const double remaining = end - secondsNow();
        if (remaining <= 0.0) {
            return noQuit;
        }
        // Wakes for the next message, or when the time is up.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(remaining * 1000.0) + 1,
                                  QS_ALLINPUT);
    }
}

bool registerWindowClass(const char* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = thisModule();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    return RegisterClassExA(&windowClass) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace kel::win32

// Keeps Wine's desktop process running for a whole test run: started by kel_start_wine_server,
// which waits for its "ready" line, and ended with the Wine server.
//
// Wine starts its desktop process (explorer.exe) when the first program needs a window, and ends
// it a second after the last such program ended. A desktop process started by a test inherits the
// test's output pipe, so the test runner waits for that pipe for as long as other tests keep the
// desktop busy, and every program whose output is read to its end waits that second more. Shows
// nothing: a message-only window is enough to be one of the desktop's users.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (!CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "ready\n", 6, &written, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        DispatchMessageA(&message);
    }
    return 0;
}

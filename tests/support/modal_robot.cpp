#include "tests/support/modal_robot.h"

#include <cstring>

std::string captionAt(HMENU menu, int position) {
    char text[256] = {};
    GetMenuStringA(menu, static_cast<UINT>(position), text, sizeof(text), MF_BYPOSITION);
    return text;
}

namespace {

constexpr UINT kGetMenuMessage = 0x01E1; // MN_GETHMENU
constexpr int kMessageTextId = 0xFFFF;   // the text of a message box
constexpr int kFileNameCombo = 0x47C;    // cmb13 of the file dialogs
constexpr int kFileNameEdit = 0x480;     // edt1
constexpr int kKeyPauseMs = 60;
constexpr DWORD kWatchdogGraceMs = 3000;

struct Search {
    const char* windowClass;
    const char* title;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    if (std::strcmp(name, search->windowClass) != 0 || !IsWindowVisible(window)) {
        return TRUE;
    }
    if (search->title && ModalRobot::windowText(window) != search->title) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND findWindow(DWORD thread, const char* windowClass, const char* title) {
    Search search{windowClass, title, nullptr};
    EnumThreadWindows(thread, matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool isSeparator(HMENU menu, int position) {
    MENUITEMINFOA item{};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE;
    return GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &item) &&
           (item.fType & MFT_SEPARATOR);
}

// Arrow-down presses that select the entry at position, starting from no selection.
int downPresses(HMENU menu, int position, bool fromNothing) {
    int presses = fromNothing ? 1 : 0;
    for (int i = 0; i < position; ++i) {
        if (!isSeparator(menu, i)) {
            ++presses;
        }
    }
    return presses;
}

void postKey(HWND window, WPARAM key) {
    PostMessageA(window, WM_KEYDOWN, key, 0);
    Sleep(kKeyPauseMs);
}

// Waits until the menu shows the entry at position as selected.
bool highlighted(HMENU menu, int position) {
    for (int wait = 0; wait < 50; ++wait) {
        if (GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_HILITE) {
            return true;
        }
        Sleep(20);
    }
    return false;
}

} // namespace

ModalRobot::ModalRobot(std::function<void(ModalRobot&)> steps)
    : uiThread(GetCurrentThreadId()), script(std::move(steps)) {
    // The pointer out of the way first: a menu that opens under it takes its hover for a
    // choice of entry, against the keys the robot sends (wherever an earlier test left it).
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    worker = std::thread([this] { run(); });
}

std::vector<std::string> ModalRobot::finish() {
    finished = true;
    if (worker.joinable()) {
        worker.join();
    }
    return problems;
}

void ModalRobot::run() {
    script(*this);
    // Whatever the script left open is closed, so that the modal call returns.
    const DWORD scriptEnd = GetTickCount();
    while (!finished) {
        Sleep(100);
        if (GetTickCount() - scriptEnd < kWatchdogGraceMs) {
            continue;
        }
        if (HWND menu = findWindow(uiThread, "#32768", nullptr)) {
            problems.push_back("a menu stayed open");
            postKey(menu, VK_ESCAPE);
        }
        if (HWND dialog = findWindow(uiThread, "#32770", nullptr)) {
            problems.push_back("a dialog stayed open: " + windowText(dialog));
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            PostMessageA(dialog, WM_COMMAND, IDNO, 0);
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        }
    }
}

HWND ModalRobot::waitForWindow(const char* windowClass, const char* title, int timeoutMs) {
    const DWORD start = GetTickCount();
    while (!finished && GetTickCount() - start < static_cast<DWORD>(timeoutMs)) {
        if (HWND window = findWindow(uiThread, windowClass, title)) {
            Sleep(kKeyPauseMs); // let it finish setting itself up
            return window;
        }
        Sleep(20);
    }
    problems.push_back(std::string("no window of class ") + windowClass +
                       (title ? std::string(" titled ") + title : std::string()));
    return nullptr;
}

HMENU ModalRobot::menuOf(HWND menuWindow) {
    return menuWindow ? reinterpret_cast<HMENU>(SendMessageA(menuWindow, kGetMenuMessage, 0, 0))
                      : nullptr;
}

bool ModalRobot::chooseCommand(HWND menuWindow, UINT command) {
    HMENU menu = menuOf(menuWindow);
    const int count = menu ? GetMenuItemCount(menu) : 0;
    for (int position = 0; position < count; ++position) {
        if (GetMenuItemID(menu, position) == command) {
            for (int i = downPresses(menu, position, true); i > 0; --i) {
                postKey(menuWindow, VK_DOWN);
            }
            if (!highlighted(menu, position)) {
                problems.push_back("entry " + std::to_string(command) + " not selected");
            }
            postKey(menuWindow, VK_RETURN);
            return true;
        }
        HMENU submenu = GetSubMenu(menu, position);
        const int entries = submenu ? GetMenuItemCount(submenu) : 0;
        for (int inner = 0; inner < entries; ++inner) {
            if (GetMenuItemID(submenu, inner) == command) {
                for (int i = downPresses(menu, position, true); i > 0; --i) {
                    postKey(menuWindow, VK_DOWN);
                }
                postKey(menuWindow, VK_RIGHT); // opens the submenu on its first entry
                for (int i = downPresses(submenu, inner, false); i > 0; --i) {
                    postKey(menuWindow, VK_DOWN);
                }
                if (!highlighted(submenu, inner)) {
                    problems.push_back("entry " + std::to_string(command) + " not selected");
                }
                postKey(menuWindow, VK_RETURN);
                return true;
            }
        }
    }
    problems.push_back("no menu entry with command " + std::to_string(command));
    return false;
}

void ModalRobot::dismissMenu(HWND menuWindow) {
    postKey(menuWindow, VK_ESCAPE);
}

std::string ModalRobot::windowText(HWND window) {
    char text[512] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

std::string ModalRobot::messageText(HWND box) {
    char text[1024] = {};
    GetDlgItemTextA(box, kMessageTextId, text, sizeof(text));
    return text;
}

void ModalRobot::press(HWND dialog, int button) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

std::string ModalRobot::fileName(HWND dialog) {
    char text[MAX_PATH] = {};
    const int field = GetDlgItem(dialog, kFileNameCombo) ? kFileNameCombo : kFileNameEdit;
    GetDlgItemTextA(dialog, field, text, sizeof(text));
    return text;
}

void ModalRobot::enterFileName(HWND dialog, const std::string& path) {
    const int field = GetDlgItem(dialog, kFileNameCombo) ? kFileNameCombo : kFileNameEdit;
    SetDlgItemTextA(dialog, field, path.c_str());
    Sleep(kKeyPauseMs);
    press(dialog, IDOK);
}

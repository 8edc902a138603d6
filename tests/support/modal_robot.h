// Answers the modal windows (popup menus, message boxes, file dialogs) that the test's own thread
// opens, from a second thread, the way a user would with the keyboard. A watchdog closes whatever
// is still open once the script has run, so that a test never hangs.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// The caption of a menu entry, by position.
std::string captionAt(HMENU menu, int position);

class ModalRobot {
public:
    // Runs the script on a second thread against the windows of the calling thread.
    explicit ModalRobot(std::function<void(ModalRobot&)> script);
    // Waits for the script and the watchdog; call after the modal operation returned. Answers
    // what went wrong in the script (empty when nothing did).
    std::vector<std::string> finish();
    ~ModalRobot() { finish(); }
    ModalRobot(const ModalRobot&) = delete;
    ModalRobot& operator=(const ModalRobot&) = delete;

    // A visible window of the test thread with this class ("#32768" menus, "#32770" dialogs and
    // message boxes) and, when given, this title; nullptr after the timeout, or at once when the
    // modal call has returned (no window of its can show any more).
    HWND waitForWindow(const char* windowClass, const char* title = nullptr, int timeoutMs = 10000);
    HWND waitForMenu() { return waitForWindow("#32768"); }

    // The menu that a menu window shows.
    static HMENU menuOf(HWND menuWindow);
    // Picks the entry with this command in the menu or one of its submenus with the arrow keys
    // and Enter, as a user would. False when the menu holds no such entry.
    bool chooseCommand(HWND menuWindow, UINT command);
    void dismissMenu(HWND menuWindow);

    // The text of a message box.
    static std::string messageText(HWND box);
    static std::string windowText(HWND window);
    void press(HWND dialog, int button);

    // In a file dialog: the file name it proposes, and entering one and pressing OK.
    static std::string fileName(HWND dialog);
    void enterFileName(HWND dialog, const std::string& path);

    // Makes a modal menu call while a robot runs the script on the menu it shows, and answers
    // the call's result; `problems` gets what went wrong in the script. A menu can end by
    // itself before the robot sees it: seen once in a loaded run, right after a file dialog,
    // most likely Wine ending the menu on a focus change that a busy X server reported late, as
    // it would on a click elsewhere. Nothing was chosen then, and the call is made once more; a
    // menu that does not show the second time either is reported.
    template <typename Call>
    static auto answerMenu(Call call, const std::function<void(ModalRobot&, HWND)>& script,
                           std::vector<std::string>& problems) -> decltype(call()) {
        for (int attempt = 1;; ++attempt) {
            const bool last = attempt == 2;
            bool shown = false;
            ModalRobot robot([&](ModalRobot& r) {
                HWND menuWindow = r.waitForMenu();
                shown = menuWindow != nullptr;
                if (shown || last) {
                    script(r, menuWindow);
                }
            });
            auto result = call();
            problems = robot.finish();
            if (shown || last) {
                return result;
            }
        }
    }

private:
    std::vector<std::string> problems;

    void run();

    DWORD uiThread;
    std::function<void(ModalRobot&)> script;
    std::atomic<bool> finished{false};
    std::thread worker;
};

// The plug-in's editor in a top-level window of our host, shown and idled the way a DAW does: the
// window itself (used by the editor verb and by the validator's editor tests), and the editor
// verb's session in it.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "host/plugin_module.h"

namespace kel::host {

// Where the window goes and how it shows.
struct WindowPlacement {
    enum Where {
        kCentred,  // centred on the work area
        kClientAt, // the client area's top-left corner at (x, y) on the screen
        kWindowAt, // the window's top-left corner at (x, y)
    };
    Where where = kCentred;
    int x = 0;
    int y = 0;
    bool minimizeBox = true;
    // Shown normally and brought to the front; otherwise shown without taking the focus.
    bool activate = true;
};

// Why a window could not be made: the step that failed and the system's error code.
struct WindowFailure {
    enum Step { kNone, kRegisterClass, kCreateWindow };
    Step step = kNone;
    unsigned long code = 0;
};

// A top-level window whose client area holds the plug-in's editor. The window stays until it is
// destroyed: a request to close it (WM_CLOSE) only sets closeRequested(). User-interface thread.
class EditorWindow {
public:
    explicit EditorWindow(const PluginInstance& instance) : plugin(instance) {}
    // Closes the editor (unless forgotten) and destroys the window.
    ~EditorWindow();
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    // The editor's size from effEditGetRect; false with a reason when it gives none or an empty
    // one.
    bool editorSize(int& width, int& height, std::string& error) const;
    // Creates the window with a client area of width x height and shows it.
    bool create(int width, int height, const std::string& title, const WindowPlacement& placement,
                WindowFailure& failure);
    // Opens the editor in the window (effEditOpen) and fits the client area to the editor's
    // size, which some editors know only once they are open; false when the plug-in refuses.
    bool openEditor();
    void closeEditor();
    // The instance was closed with the editor open: the editor is gone with it.
    void forgetEditor() { editorOpen = false; }
    void destroy();
    // effEditIdle, unless the editor is closed or the idle is re-entered from inside it (an
    // editor that pumps messages in its idle must not be idled again).
    void idle();
    // Dispatches this thread's messages for `seconds`; a WM_QUIT among them asks for the close.
    void pumpMessages(double seconds);
    // Calls tick() every `milliseconds` from the message loop until stopTimer().
    void startTimer(unsigned milliseconds, std::function<void()> tick);
    void stopTimer();
    void setClientSize(int width, int height);
    void placeClientAt(int x, int y);

    HWND handle() const { return window; }
    bool isEditorOpen() const { return editorOpen; }
    bool closeRequested() const { return closeWanted; }
    // Asks the message loop to end; wakes a GetMessage that waits.
    void requestClose();

private:
    static LRESULT CALLBACK windowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);

    const PluginInstance& plugin;
    HWND window = nullptr;
    bool editorOpen = false;
    bool idling = false;
    bool closeWanted = false;
    std::function<void()> timerTick;
};

struct EditorOptions {
    bool audio = false;         // process audio on a second thread while the window is open
    bool automate = false;      // automate parameters from a third thread while it is open
    int reopenCount = 0;        // close and reopen the editor this often before it is ready
    std::string screenshotPath; // PNG of the client area, taken 0.3 s after ready; "": none
    double seconds = 0.0;       // > 0: the window closes itself this long after it is ready
    bool placed = false;        // put the client area's top-left corner at (x, y) on the screen
    int x = 0;
    int y = 0;
};

// The editor verb: opens the editor of a resumed instance in a window whose client area has the
// editor's size and runs the window until it is closed; then the editor is closed (the instance
// stays open). Writes "reopened N", "window X Y W H" and "ready" through hostLogLine. false with
// a reason when the plug-in shows no editor or the screenshot cannot be saved.
bool runEditorWindow(const PluginInstance& plugin, const EditorOptions& options,
                     std::string& error);

} // namespace kel::host

// Windows-only help for the widget tests: off-screen canvases whose pixels the tests read, a
// visible top-level window, message pumping, and real X input through xdotool.
#pragma once

#include <windows.h>

#include <string>

#include "widgets/geometry.h"

namespace widget_test {

// A hidden top-level window, a parent for frames.
void* parentWindow();

// A 32-bit top-down DIB section with a memory device context, filled with one colour.
class Canvas {
public:
    Canvas(int width, int height, VSTGUI::CColor fill);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return memory; }
    VSTGUI::CColor pixel(int x, int y) const;
    int width() const { return w; }
    int height() const { return h; }
    // The smallest rectangle holding every pixel of this colour; empty when there is none.
    VSTGUI::CRect boundsOf(VSTGUI::CColor color) const;

private:
    int w;
    int h;
    HDC memory;
    HBITMAP bitmap;
    HGDIOBJ previous;
    const unsigned char* bits;
};

// A visible top-level popup window (no caption) at a screen position, with a client area of the
// given size; destroyed with the object.
class TopWindow {
public:
    TopWindow(int x, int y, int width, int height);
    ~TopWindow();
    TopWindow(const TopWindow&) = delete;
    TopWindow& operator=(const TopWindow&) = delete;

    HWND handle() const { return window; }

private:
    HWND window;
};

// Runs a shell command line with the machine's X tools (xdotool) without waiting for it;
// finished() tells when it is done. The command runs under /bin/sh on the same display.
class XInput {
public:
    explicit XInput(const std::string& command);
    ~XInput();
    XInput(const XInput&) = delete;
    XInput& operator=(const XInput&) = delete;

    bool finished() const;
    // Pumps messages until the command is done; false after timeoutMs.
    bool wait(int timeoutMs = 15000) const;

private:
    std::string marker; // the file the command writes when it is done, as a Windows path
};

// Where a point of a window's client area is on the X screen.
POINT screenPoint(HWND window, int x, int y);

// A user's hand on the X screen: a script of xdotool steps at screen positions, each held long
// enough for a control's tracking loop to see it, run while this thread handles its messages.
class XScript {
public:
    XScript& moveTo(POINT where);
    XScript& press(int button = 1);
    XScript& release(int button = 1);
    XScript& click(int button = 1) { return press(button).release(button); }
    // Wheel notches: positive away from the user.
    XScript& wheel(int notches);
    XScript& keyDown(const char* key);
    XScript& keyUp(const char* key);
    // Keys by xdotool name ("Return", "ctrl+a", "s").
    XScript& key(const char* keys);
    XScript& type(const std::string& text);
    // Gives the keyboard focus to the X window under the point (there is no window manager).
    XScript& focusAt(POINT where);
    XScript& pause(double seconds);
    // Runs the script; false when it did not finish in time.
    bool run(int timeoutMs = 30000);

private:
    std::string steps;
};

} // namespace widget_test

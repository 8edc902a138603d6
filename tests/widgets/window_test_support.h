// Windows-only help for the widget tests: off-screen canvases whose pixels the tests read, a
// visible top-level window, message pumping, and real X input through xdotool.
#pragma once

#include <windows.h>

#include <string>

#include "widgets/geometry.h"

namespace widget_test {

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

// Dispatches the thread's messages for about ms milliseconds.
void pumpMessages(int ms);

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

} // namespace widget_test

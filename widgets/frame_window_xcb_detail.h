// What the modal windows of modal_window_xcb.cpp take from the frame's window on Linux: its
// connection and X objects, its handling of its own events while a modal loop runs, its keyboard
// map and the pixel upload. Internal to the widget set's Linux window code.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>

namespace VSTGUI {

class Framebuffer;

namespace xcb::detail {

struct FrameConnection {
    xcb_connection_t* connection = nullptr;
    xcb_window_t frameWindow = 0;
    xcb_window_t root = 0;
    xcb_visualid_t visual = 0;
    xcb_colormap_t colormap = 0;
    std::uint16_t screenWidth = 0;
    std::uint16_t screenHeight = 0;
};

// The X objects of `window` when it is an open frame window of the calling thread.
bool frameConnection(void* window, FrameConnection& out);
// While a modal loop runs: the frame window takes the event when it is its own, painting what
// is exposed and noting its end, and lets input go as a disabled window does. True when the
// event was the frame window's.
bool takeFrameEventWhileModal(void* window, const xcb_generic_event_t& event);
// The frame window went, or the editor is closing.
bool frameInterrupted(void* window);
// Shows the frame window's pending pixels.
void presentFrame(void* window);
// The keysym of a key as X's core rules choose it for the modifier state (Shift, Lock).
std::uint32_t keysymFor(void* window, xcb_keycode_t code, std::uint16_t state);
// Puts all of pixels into target at (0, 0), in pieces as large as the server takes.
void putPixels(xcb_connection_t* connection, xcb_window_t target, xcb_gcontext_t context,
               const Framebuffer& pixels, bool swapBytes);
bool swapsBytes(xcb_connection_t* connection);
xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name);

} // namespace xcb::detail

} // namespace VSTGUI

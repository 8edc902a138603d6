// The frame's window on Linux: an X window of its own inside the host's, on an XCB connection
// of its own, so that the host's toolkit and its error handler never see our requests; errors
// come back as events here and are let go. The frame draws into the window's framebuffer, which
// goes to the screen with PutImage. Everything runs on the thread that opened the window.
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "widgets/draw_context.h"
#include "widgets/frame.h"
#include "widgets/frame_window_platform.h"
#include "widgets/frame_window_xcb.h"
#include "widgets/frame_window_xcb_detail.h"
#include "widgets/framebuffer.h"
#include "widgets/platform_objects.h"

namespace VSTGUI {

namespace {

// X's modifier and button bits in event states and pointer queries.
constexpr std::uint16_t kShiftMask = 1;
constexpr std::uint16_t kControlMask = 4;
constexpr std::uint16_t kAltMask = 8;
constexpr std::uint16_t kButton1Mask = 1 << 8;
constexpr std::uint16_t kButton2Mask = 1 << 9;
constexpr std::uint16_t kButton3Mask = 1 << 10;
// Keysyms of the arrow keys.
constexpr std::uint32_t kLeftKey = 0xff51, kUpKey = 0xff52, kRightKey = 0xff53, kDownKey = 0xff54;
// Shown at most this often while a control holds the mouse (ms): about the screen's rate.
constexpr long kPresentInterval = 8;

long steadyMilliseconds() {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count());
}

struct FrameWindow {
    CFrame* frame = nullptr;
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = 0;
    xcb_colormap_t colormap = 0;
    xcb_window_t root = 0;
    xcb_visualid_t visual = 0;
    xcb_gcontext_t context = 0;
    bool swapBytes = false; // the server takes its pixels most significant byte first
    Framebuffer pixels;
    bool dirty = true;
    // The exposed area so far: a window is exposed in pieces, the last with count 0, and is
    // painted once as a whole, as Windows paints its update region's bounds.
    CRect exposed;
    bool anyExposed = false;
    long lastPresent = 0;
    // The button of the click being handled, until a read has reported it: a click may already
    // be over in the server when the control first asks.
    long pressedButton = 0;
    std::uint16_t pressState = 0;
    const std::atomic<bool>* releaseFlag = nullptr; // set: the buttons read as released
    bool gone = false;
    // A window of its own on the desktop (no parent): the window manager's close asks through
    // a WM_PROTOCOLS message naming WM_DELETE_WINDOW, and the window goes as if destroyed.
    xcb_atom_t protocolsAtom = 0;
    xcb_atom_t deleteWindowAtom = 0;
    // Events that came while a control held the mouse, handled once it lets go.
    std::deque<xcb_generic_event_t*> held;
    // The keyboard map: keysyms of each keycode from the first, perKeycode a code.
    std::vector<xcb_keysym_t> keysyms;
    std::uint8_t firstKeycode = 0;
    std::uint8_t perKeycode = 0;
    std::thread::id thread = std::this_thread::get_id();
};

// The open windows, for paintPendingWindows to find those of its thread.
std::mutex windowsLock;
std::vector<FrameWindow*> openWindows;

FrameWindow* windowOf(void* window) {
    return static_cast<FrameWindow*>(window);
}

const xcb_screen_t* screenOf(xcb_connection_t* connection, int number) {
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; screens.rem > 0; ++i, xcb_screen_next(&screens)) {
        if (i == number) {
            return screens.data;
        }
    }
    return nullptr;
}

// A 24-bit TrueColor visual of the screen, its default one when that is such: whatever visual
// the host's window has, ours is one our pixels are made for.
const xcb_visualtype_t* trueColorVisual(const xcb_screen_t& screen) {
    const xcb_visualtype_t* found = nullptr;
    for (xcb_depth_iterator_t depths = xcb_screen_allowed_depths_iterator(&screen); depths.rem > 0;
         xcb_depth_next(&depths)) {
        if (depths.data->depth != 24) {
            continue;
        }
        for (xcb_visualtype_iterator_t visuals = xcb_depth_visuals_iterator(depths.data);
             visuals.rem > 0; xcb_visualtype_next(&visuals)) {
            const xcb_visualtype_t* visual = visuals.data;
            if (visual->_class != XCB_VISUAL_CLASS_TRUE_COLOR || visual->red_mask != 0xff0000 ||
                visual->green_mask != 0x00ff00 || visual->blue_mask != 0x0000ff) {
                continue;
            }
            if (!found || visual->visual_id == screen.root_visual) {
                found = visual;
            }
        }
    }
    return found;
}

// Whether pixels of depth 24 travel as 32-bit words, as Framebuffer holds them.
bool takesWordPixels(xcb_connection_t* connection) {
    const xcb_setup_t* setup = xcb_get_setup(connection);
    for (xcb_format_iterator_t formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0;
         xcb_format_next(&formats)) {
        if (formats.data->depth == 24) {
            return formats.data->bits_per_pixel == 32;
        }
    }
    return false;
}

void readKeyboardMap(FrameWindow& w) {
    const xcb_setup_t* setup = xcb_get_setup(w.connection);
    const std::uint8_t first = setup->min_keycode;
    const int count = setup->max_keycode - first + 1;
    xcb_get_keyboard_mapping_reply_t* reply = xcb_get_keyboard_mapping_reply(
        w.connection,
        xcb_get_keyboard_mapping(w.connection, first, static_cast<std::uint8_t>(count)), nullptr);
    if (!reply) {
        return;
    }
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(reply);
    w.keysyms.assign(symbols, symbols + xcb_get_keyboard_mapping_keysyms_length(reply));
    w.firstKeycode = first;
    w.perKeycode = reply->keysyms_per_keycode;
    std::free(reply);
}

std::uint32_t keysymAt(const FrameWindow& w, xcb_keycode_t code, int column) {
    if (code < w.firstKeycode || column >= w.perKeycode) {
        return 0;
    }
    const std::size_t index =
        static_cast<std::size_t>(code - w.firstKeycode) * w.perKeycode + column;
    return index < w.keysyms.size() ? w.keysyms[index] : 0;
}

std::uint32_t keysymOf(const FrameWindow& w, xcb_keycode_t code) {
    return keysymAt(w, code, 0);
}

// Latin letters have an upper and a lower case keysym; X maps a key that lists only one of them
// to both.
bool isLowerLatin(std::uint32_t s) {
    return (s >= 'a' && s <= 'z') || (s >= 0xdf && s <= 0xff && s != 0xf7);
}
bool isUpperLatin(std::uint32_t s) {
    return (s >= 'A' && s <= 'Z') || (s >= 0xc0 && s <= 0xde && s != 0xd7);
}
std::uint32_t upperOf(std::uint32_t s) {
    return isLowerLatin(s) && s != 0xdf && s != 0xff ? s - 0x20 : s;
}

// X's core rule for group 1: column 0 unshifted, column 1 shifted (an empty column 1 is column
// 0, in upper case for a letter); Lock shifts letters only.
std::uint32_t keysymWithState(const FrameWindow& w, xcb_keycode_t code, std::uint16_t state) {
    const std::uint32_t plain = keysymAt(w, code, 0);
    std::uint32_t shifted = keysymAt(w, code, 1);
    if (shifted == 0) {
        shifted = upperOf(plain);
    }
    const bool shift = (state & kShiftMask) != 0;
    const bool lock = (state & 2) != 0;
    const bool letter = isLowerLatin(plain) || isUpperLatin(plain);
    return (shift != (lock && letter)) ? shifted : plain;
}

// The window manager's size hints, minimum and maximum the window's size (WM_NORMAL_HINTS, 18
// words: flags, then x, y, width, height, minimum, maximum, ...): hosts that read them keep the
// size fixed.
void fixSize(xcb_connection_t* connection, xcb_window_t window, int width, int height) {
    constexpr std::uint32_t kMinimumSize = 16, kMaximumSize = 32;
    std::uint32_t hints[18] = {};
    hints[0] = kMinimumSize | kMaximumSize;
    hints[5] = hints[7] = static_cast<std::uint32_t>(width);
    hints[6] = hints[8] = static_cast<std::uint32_t>(height);
    constexpr xcb_atom_t kWmNormalHints = 40, kWmSizeHints = 41; // predefined atoms
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, kWmNormalHints, kWmSizeHints, 32,
                        18, hints);
}

using xcb::detail::atomNamed;

// A window on the desktop takes the window manager's close as a request to it.
void takeCloseRequests(FrameWindow& w) {
    w.protocolsAtom = atomNamed(w.connection, "WM_PROTOCOLS");
    w.deleteWindowAtom = atomNamed(w.connection, "WM_DELETE_WINDOW");
    if (w.protocolsAtom && w.deleteWindowAtom) {
        constexpr xcb_atom_t kAtomType = 4; // predefined
        xcb_change_property(w.connection, XCB_PROP_MODE_REPLACE, w.window, w.protocolsAtom,
                            kAtomType, 32, 1, &w.deleteWindowAtom);
    }
}

bool isCloseRequest(const FrameWindow& w, const xcb_generic_event_t& event) {
    if ((event.response_type & 0x7f) != XCB_CLIENT_MESSAGE || !w.deleteWindowAtom) {
        return false;
    }
    const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
    return message.format == 32 && message.type == w.protocolsAtom &&
           message.data.data32[0] == w.deleteWindowAtom;
}

void present(FrameWindow& w, bool whenDue = false) {
    if (!w.connection || w.gone || !w.dirty || w.pixels.empty()) {
        return;
    }
    const long now = steadyMilliseconds();
    if (whenDue && now - w.lastPresent < kPresentInterval) {
        return;
    }
    w.lastPresent = now;
    w.dirty = false;
    xcb::detail::putPixels(w.connection, w.window, w.context, w.pixels, w.swapBytes);
    xcb_flush(w.connection);
}

void paint(FrameWindow& w, const CRect& area) {
    if (!w.frame) {
        return;
    }
    CDrawContext context(w.frame, nullptr, &w); // the window's pixels, shown when it goes
    w.frame->drawRect(&context, area);
}

void expose(FrameWindow& w, const xcb_expose_event_t& event) {
    const CRect piece = CRect::fromSize({event.x, event.y}, event.width, event.height);
    if (!w.anyExposed) {
        w.exposed = piece;
        w.anyExposed = true;
    } else {
        w.exposed =
            CRect(std::min(w.exposed.left, piece.left), std::min(w.exposed.top, piece.top),
                  std::max(w.exposed.right, piece.right), std::max(w.exposed.bottom, piece.bottom));
    }
    if (event.count == 0) {
        w.anyExposed = false;
        paint(w, w.exposed);
    }
}

long buttonBit(std::uint8_t button) {
    switch (button) {
    case 1:
        return kLButton;
    case 2:
        return kMButton;
    case 3:
        return kRButton;
    default:
        return 0;
    }
}

long modifierBits(std::uint16_t state) {
    long bits = 0;
    bits |= (state & kShiftMask) ? long{kShift} : 0;
    bits |= (state & kControlMask) ? long{kControl} : 0;
    bits |= (state & kAltMask) ? long{kAlt} : 0;
    return bits;
}

// The window an event is about, for those that name one; 0 for the rest.
xcb_window_t eventWindowOf(const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7f) {
    case XCB_EXPOSE:
        return reinterpret_cast<const xcb_expose_event_t&>(event).window;
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY:
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
        // The same layout in all of them: the window it happened in.
        return reinterpret_cast<const xcb_button_press_event_t&>(event).event;
    case XCB_DESTROY_NOTIFY:
        return reinterpret_cast<const xcb_destroy_notify_event_t&>(event).window;
    case XCB_CLIENT_MESSAGE:
        return reinterpret_cast<const xcb_client_message_event_t&>(event).window;
    default:
        return 0;
    }
}

// Events while a control holds the mouse: paints are done and pointer events are in the pointer
// query already; the rest waits.
void takeEventsMeanwhile(FrameWindow& w) {
    while (xcb_generic_event_t* event = xcb_poll_for_event(w.connection)) {
        const std::uint8_t type = event->response_type & 0x7f;
        const xcb_window_t about = eventWindowOf(*event);
        if (about != 0 && about != w.window) {
            std::free(event); // a modal window's, left after it went
        } else if (type == XCB_EXPOSE) {
            expose(w, *reinterpret_cast<xcb_expose_event_t*>(event));
            std::free(event);
        } else if (type == XCB_MOTION_NOTIFY || type == XCB_BUTTON_RELEASE) {
            std::free(event);
        } else if (type == XCB_DESTROY_NOTIFY || isCloseRequest(w, *event)) {
            w.gone = true;
            std::free(event);
        } else {
            w.held.push_back(event);
        }
    }
    if (xcb_connection_has_error(w.connection)) {
        w.gone = true;
    }
}

void handleEvent(FrameWindow& w, xcb_generic_event_t* event) {
    CFrame* frame = w.frame;
    const xcb_window_t about = eventWindowOf(*event);
    if (about != 0 && about != w.window) {
        return; // a modal window's, left after it went
    }
    switch (event->response_type & 0x7f) {
    case XCB_EXPOSE:
        expose(w, *reinterpret_cast<xcb_expose_event_t*>(event));
        break;
    case XCB_BUTTON_PRESS: {
        const auto* press = reinterpret_cast<xcb_button_press_event_t*>(event);
        if (!frame) {
            break;
        }
        if (press->detail == 4 || press->detail == 5) {
            // Wheel up is a step forward, as Windows counts it.
            frame->onWheel(press->detail == 4 ? 1.0f : -1.0f);
            break;
        }
        const long button = buttonBit(press->detail);
        if (button == 0) {
            break;
        }
        // The arrow keys come to the window that was clicked.
        xcb_set_input_focus(w.connection, XCB_INPUT_FOCUS_PARENT, w.window, XCB_CURRENT_TIME);
        w.pressedButton = button;
        w.pressState = press->state;
        CDrawContext context(frame, nullptr, &w);
        CPoint where(press->event_x, press->event_y);
        frame->mouse(&context, where);
        w.pressedButton = 0;
        break;
    }
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE: {
        const auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
        const std::uint32_t symbol = keysymOf(w, key->detail);
        KeyCode code;
        code.virt = symbol == kLeftKey    ? VKEY_LEFT
                    : symbol == kUpKey    ? VKEY_UP
                    : symbol == kRightKey ? VKEY_RIGHT
                    : symbol == kDownKey  ? VKEY_DOWN
                                          : 0;
        code.modifier = (key->state & kShiftMask) ? 1 : 0;
        if (frame && code.virt != 0) {
            if ((event->response_type & 0x7f) == XCB_KEY_PRESS) {
                frame->onKeyDown(code);
            } else {
                frame->onKeyUp(code);
            }
        }
        break;
    }
    case XCB_DESTROY_NOTIFY:
        w.gone = true;
        break;
    case XCB_CLIENT_MESSAGE:
        w.gone = w.gone || isCloseRequest(w, *event);
        break;
    default:
        break; // errors of our own requests among them: nothing to do about them
    }
}

void closeConnection(FrameWindow& w) {
    for (xcb_generic_event_t* event : w.held) {
        std::free(event);
    }
    w.held.clear();
    if (w.connection) {
        if (!w.gone && w.window) {
            xcb_destroy_window(w.connection, w.window);
        }
        if (w.context) {
            xcb_free_gc(w.connection, w.context);
        }
        if (w.colormap) {
            xcb_free_colormap(w.connection, w.colormap);
        }
        xcb_flush(w.connection);
        xcb_disconnect(w.connection);
        w.connection = nullptr;
    }
}

} // namespace

unsigned long systemTicks() {
    return static_cast<unsigned long>(steadyMilliseconds());
}

long systemDoubleClickTime() {
    return 500;
}

void CFrame::openWindow() {
    auto* w = new FrameWindow;
    w->frame = this;
    int screenNumber = 0;
    w->connection = xcb_connect(nullptr, &screenNumber);
    const xcb_screen_t* screen =
        xcb_connection_has_error(w->connection) ? nullptr : screenOf(w->connection, screenNumber);
    const xcb_visualtype_t* visual = screen ? trueColorVisual(*screen) : nullptr;
    if (!visual || !takesWordPixels(w->connection)) {
        closeConnection(*w);
        delete w;
        return;
    }
    w->swapBytes = xcb::detail::swapsBytes(w->connection);
    w->root = screen->root;
    w->visual = visual->visual_id;
    w->pixels = Framebuffer(size.width(), size.height());
    const auto parent = static_cast<xcb_window_t>(reinterpret_cast<std::uintptr_t>(parentWindow));
    // Our own colormap and border: the parent's visual may be another one.
    w->colormap = xcb_generate_id(w->connection);
    xcb_create_colormap(w->connection, XCB_COLORMAP_ALLOC_NONE, w->colormap, screen->root,
                        visual->visual_id);
    w->window = xcb_generate_id(w->connection);
    const std::uint32_t mask =
        XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_EVENT_MASK | XCB_CW_COLORMAP;
    const std::uint32_t values[] = {
        0, 0,
        XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
            XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE |
            XCB_EVENT_MASK_STRUCTURE_NOTIFY,
        w->colormap};
    xcb_generic_error_t* error = xcb_request_check(
        w->connection,
        xcb_create_window_checked(w->connection, 24, w->window, parent ? parent : screen->root, 0,
                                  0, static_cast<std::uint16_t>(size.width()),
                                  static_cast<std::uint16_t>(size.height()), 0,
                                  XCB_WINDOW_CLASS_INPUT_OUTPUT, visual->visual_id, mask, values));
    if (error) {
        std::free(error);
        w->window = 0;
        closeConnection(*w);
        delete w;
        return;
    }
    w->context = xcb_generate_id(w->connection);
    xcb_create_gc(w->connection, w->context, w->window, 0, nullptr);
    fixSize(w->connection, w->window, size.width(), size.height());
    if (!parent) {
        takeCloseRequests(*w);
    }
    readKeyboardMap(*w);
    xcb_map_window(w->connection, w->window);
    xcb_flush(w->connection);
    detail::countUserObjects(1);
    {
        const std::lock_guard<std::mutex> guard(windowsLock);
        openWindows.push_back(w);
    }
    window = w;
    open = true;
}

void CFrame::closeWindow() {
    FrameWindow* w = windowOf(window);
    if (w) {
        {
            const std::lock_guard<std::mutex> guard(windowsLock);
            openWindows.erase(std::remove(openWindows.begin(), openWindows.end(), w),
                              openWindows.end());
        }
        w->frame = nullptr;
        closeConnection(*w);
        delete w;
        detail::countUserObjects(-1);
        window = nullptr;
    }
    open = false;
}

Framebuffer* windowFramebuffer(void* window) {
    FrameWindow* w = windowOf(window);
    if (!w) {
        return nullptr;
    }
    w->dirty = true;
    return &w->pixels;
}

void presentWindow(void* window) {
    if (FrameWindow* w = windowOf(window)) {
        present(*w);
    }
}

void paintPendingWindows() {
    std::vector<FrameWindow*> mine;
    {
        const std::lock_guard<std::mutex> guard(windowsLock);
        for (FrameWindow* w : openWindows) {
            if (w->thread == std::this_thread::get_id()) {
                mine.push_back(w);
            }
        }
    }
    for (FrameWindow* w : mine) {
        takeEventsMeanwhile(*w);
        present(*w);
    }
}

long CDrawContext::readSystemMouseButtons() const {
    FrameWindow* w = windowOf(window ? window : (frame ? frame->getSystemWindow() : nullptr));
    if (!w || w->gone || (w->releaseFlag && w->releaseFlag->load())) {
        return 0;
    }
    present(*w, true);
    if (w->pressedButton != 0) {
        // The click being handled, as its event had it, once.
        const long buttons = w->pressedButton | modifierBits(w->pressState);
        w->pressedButton = 0;
        return buttons;
    }
    takeEventsMeanwhile(*w);
    xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(
        w->connection, xcb_query_pointer(w->connection, w->window), nullptr);
    if (!reply) {
        return 0;
    }
    const std::uint16_t state = reply->mask;
    std::free(reply);
    long buttons = modifierBits(state);
    buttons |= (state & kButton1Mask) ? long{kLButton} : 0;
    buttons |= (state & kButton2Mask) ? long{kMButton} : 0;
    buttons |= (state & kButton3Mask) ? long{kRButton} : 0;
    return buttons;
}

CPoint CDrawContext::readSystemMouseLocation() const {
    FrameWindow* w = windowOf(window ? window : (frame ? frame->getSystemWindow() : nullptr));
    if (!w || w->gone) {
        return {};
    }
    present(*w, true);
    xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(
        w->connection, xcb_query_pointer(w->connection, w->window), nullptr);
    if (!reply) {
        return {};
    }
    const CPoint where(reply->win_x, reply->win_y);
    std::free(reply);
    return where;
}

namespace xcb {

int eventDescriptor(const CFrame& frame) {
    const FrameWindow* w = windowOf(frame.getSystemWindow());
    return w && w->connection ? xcb_get_file_descriptor(w->connection) : -1;
}

bool handleEvents(CFrame& frame) {
    FrameWindow* w = windowOf(frame.getSystemWindow());
    if (!w || !w->connection) {
        return false;
    }
    // What waited during a control's mouse loop first, then what came since.
    while (!w->held.empty() && !w->gone) {
        xcb_generic_event_t* event = w->held.front();
        w->held.pop_front();
        handleEvent(*w, event);
        std::free(event);
    }
    while (!w->gone) {
        xcb_generic_event_t* event = xcb_poll_for_event(w->connection);
        if (!event) {
            break;
        }
        handleEvent(*w, event);
        std::free(event);
        // A click may have closed the window under us (the frame goes only after this returns).
        if (!frame.getSystemWindow()) {
            return false;
        }
    }
    if (xcb_connection_has_error(w->connection)) {
        w->gone = true;
    }
    present(*w);
    return !w->gone;
}

void releaseMouseOn(CFrame& frame, const std::atomic<bool>& flag) {
    if (FrameWindow* w = windowOf(frame.getSystemWindow())) {
        w->releaseFlag = &flag;
    }
}

void setTitle(CFrame& frame, const char* title) {
    FrameWindow* w = windowOf(frame.getSystemWindow());
    if (!w || !w->connection || !title) {
        return;
    }
    const auto length = static_cast<std::uint32_t>(std::strlen(title));
    constexpr xcb_atom_t kWmName = 39, kStringType = 31; // predefined atoms
    xcb_change_property(w->connection, XCB_PROP_MODE_REPLACE, w->window, kWmName, kStringType, 8,
                        length, title);
    const xcb_atom_t netName = atomNamed(w->connection, "_NET_WM_NAME");
    const xcb_atom_t utf8 = atomNamed(w->connection, "UTF8_STRING");
    if (netName && utf8) {
        xcb_change_property(w->connection, XCB_PROP_MODE_REPLACE, w->window, netName, utf8, 8,
                            length, title);
    }
    // WM_CLASS: instance and class, each ended by a zero byte.
    static const char kClass[] = "sonadrix\0Sonadrix";
    constexpr xcb_atom_t kWmClass = 67;
    xcb_change_property(w->connection, XCB_PROP_MODE_REPLACE, w->window, kWmClass, kStringType, 8,
                        sizeof kClass, kClass);
    xcb_flush(w->connection);
}

unsigned long windowId(const CFrame& frame) {
    const FrameWindow* w = windowOf(frame.getSystemWindow());
    return w ? w->window : 0;
}

namespace detail {

namespace {

FrameWindow* openWindowOfThisThread(void* window) {
    const std::lock_guard<std::mutex> guard(windowsLock);
    for (FrameWindow* w : openWindows) {
        if (w == window && w->thread == std::this_thread::get_id()) {
            return w;
        }
    }
    return nullptr;
}

} // namespace

bool frameConnection(void* window, FrameConnection& out) {
    FrameWindow* w = openWindowOfThisThread(window);
    if (!w || !w->connection || w->gone) {
        return false;
    }
    out.connection = w->connection;
    out.frameWindow = w->window;
    out.colormap = w->colormap;
    out.root = w->root;
    out.visual = w->visual;
    // The frame's own screen, where there are several.
    for (xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(w->connection));
         screens.rem > 0; xcb_screen_next(&screens)) {
        if (screens.data->root == w->root) {
            out.screenWidth = screens.data->width_in_pixels;
            out.screenHeight = screens.data->height_in_pixels;
        }
    }
    return true;
}

bool takeFrameEventWhileModal(void* window, const xcb_generic_event_t& event) {
    FrameWindow* w = windowOf(window);
    if (!w || eventWindowOf(event) != w->window) {
        return false;
    }
    switch (event.response_type & 0x7f) {
    case XCB_EXPOSE:
        expose(*w, reinterpret_cast<const xcb_expose_event_t&>(event));
        break;
    case XCB_DESTROY_NOTIFY:
        w->gone = true;
        break;
    case XCB_CLIENT_MESSAGE:
        w->gone = w->gone || isCloseRequest(*w, event);
        break;
    default:
        break; // input: the frame takes none while a modal piece is open
    }
    return true;
}

bool frameInterrupted(void* window) {
    FrameWindow* w = windowOf(window);
    if (!w || w->gone || !w->connection || xcb_connection_has_error(w->connection)) {
        return true;
    }
    return w->releaseFlag && w->releaseFlag->load();
}

void presentFrame(void* window) {
    if (FrameWindow* w = windowOf(window)) {
        present(*w);
    }
}

std::uint32_t keysymFor(void* window, xcb_keycode_t code, std::uint16_t state) {
    FrameWindow* w = windowOf(window);
    return w ? keysymWithState(*w, code, state) : 0;
}

bool swapsBytes(xcb_connection_t* connection) {
    return xcb_get_setup(connection)->image_byte_order == XCB_IMAGE_ORDER_MSB_FIRST;
}

xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
}

void putPixels(xcb_connection_t* connection, xcb_window_t target, xcb_gcontext_t context,
               const Framebuffer& pixels, bool swapBytes) {
    if (pixels.empty()) {
        return;
    }
    const int width = pixels.width();
    // As many rows a request as the server takes, with room for the request's own words.
    const std::size_t requestBytes = xcb_get_maximum_request_length(connection) * 4u;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4u;
    const int rowsAtOnce =
        static_cast<int>(std::max<std::size_t>(1, (requestBytes - 64) / rowBytes));
    std::vector<std::uint8_t> swapped;
    for (int top = 0; top < pixels.height(); top += rowsAtOnce) {
        const int rows = std::min(rowsAtOnce, pixels.height() - top);
        const auto* data = reinterpret_cast<const std::uint8_t*>(pixels.row(top));
        const std::size_t size = rowBytes * static_cast<std::size_t>(rows);
        if (swapBytes) {
            swapped.assign(data, data + size);
            for (std::size_t i = 0; i + 3 < size; i += 4) {
                std::swap(swapped[i], swapped[i + 3]);
                std::swap(swapped[i + 1], swapped[i + 2]);
            }
            data = swapped.data();
        }
        xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, target, context,
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(rows), 0,
                      static_cast<std::int16_t>(top), 0, 24, static_cast<std::uint32_t>(size),
                      data);
    }
}

} // namespace detail

} // namespace xcb

} // namespace VSTGUI

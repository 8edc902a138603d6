// The modal windows on the frame window's connection and their loop. Everything runs on the
// thread that drives the frame; the session's windows live no longer than the session.
#include "widgets/modal_window_xcb.h"

#include <poll.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <vector>

#include "widgets/frame_window_xcb_detail.h"
#include "widgets/platform_objects.h"
#include "widgets/windows1252.h"

namespace VSTGUI::xcb {

namespace {

// How long the loop waits for an event before its handler's tick (ms), and how long a grab is
// tried for while the button that opened a menu is still held elsewhere (ms).
constexpr int kWaitInterval = 30;
constexpr int kGrabAttempts = 20;
constexpr int kGrabRetryInterval = 10;
// How long the clipboard's owner has to answer (ms).
constexpr long kClipboardTimeout = 1000;

constexpr std::uint32_t kInputEvents =
    XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
    XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY;

// The sessions whose loops run on this thread, the innermost last.
thread_local std::vector<ModalSession*> runningSessions;

long nowMilliseconds() {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count());
}

// What a keysym types: Latin-1 keysyms are their characters, 0x1000000 + U is Unicode U, and the
// keypad's digits and signs are theirs.
char32_t characterOfKeysym(std::uint32_t keysym) {
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff)) {
        return keysym;
    }
    if (keysym >= 0x1000100 && keysym <= 0x110ffff) {
        return keysym - 0x1000000;
    }
    if (keysym == 0x20ac) { // EuroSign
        return 0x20ac;
    }
    if (keysym >= 0xffb0 && keysym <= 0xffb9) { // KP_0 to KP_9
        return U'0' + (keysym - 0xffb0);
    }
    switch (keysym) {
    case 0xff80: // KP_Space
        return U' ';
    case 0xffaa:
        return U'*';
    case 0xffab:
        return U'+';
    case 0xffad:
        return U'-';
    case 0xffae:
        return U'.';
    case 0xffaf:
        return U'/';
    default:
        return 0;
    }
}

} // namespace

struct ModalSession::State {
    struct Window {
        xcb_window_t id = 0;
        ModalWindowKind kind = ModalWindowKind::Popup;
        CRect rect;
        Framebuffer pixels;
        xcb_gcontext_t context = 0;
        bool focusWhenShown = false;
    };

    void* frameWindow = nullptr;
    detail::FrameConnection x;
    bool swapBytes = false;
    std::vector<Window> windows; // closed ones keep their place with id 0
    bool grabbed = false;
    bool interrupted = false;
    xcb_timestamp_t lastTime = XCB_CURRENT_TIME;
    xcb_atom_t protocols = 0, deleteWindow = 0;
    // The answer to a clipboard request: the property it was put in, or none.
    bool selectionAnswered = false;
    // Input that came while the clipboard was asked, for the loop.
    std::deque<xcb_generic_event_t*> held;
    xcb_atom_t selectionProperty = 0;

    Window* window(int index) {
        return index >= 0 && index < static_cast<int>(windows.size()) && windows[index].id
                   ? &windows[static_cast<std::size_t>(index)]
                   : nullptr;
    }
    int indexOf(xcb_window_t id) const {
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (windows[i].id == id && id != 0) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    // The window's place on the screen.
    CRect onScreen(const Window& w, const CRect& frame) const {
        if (w.kind != ModalWindowKind::Inside) {
            return w.rect;
        }
        CRect r = w.rect;
        r.offset(frame.left, frame.top);
        return r;
    }
    // The topmost window under a point of the screen (the last opened lies on top).
    int windowAt(const CPoint& point, const CRect& frame) const {
        for (int i = static_cast<int>(windows.size()) - 1; i >= 0; --i) {
            const Window& w = windows[static_cast<std::size_t>(i)];
            if (w.id && onScreen(w, frame).holdsPixel(point)) {
                return i;
            }
        }
        return -1;
    }
};

ModalSession::ModalSession(void* frameWindow) : state(std::make_unique<State>()) {
    state->frameWindow = frameWindow;
    if (!detail::frameConnection(frameWindow, state->x)) {
        state->x.connection = nullptr;
        return;
    }
    state->swapBytes = detail::swapsBytes(state->x.connection);
    state->protocols = detail::atomNamed(state->x.connection, "WM_PROTOCOLS");
    state->deleteWindow = detail::atomNamed(state->x.connection, "WM_DELETE_WINDOW");
}

ModalSession::~ModalSession() {
    if (!isOpen()) {
        return;
    }
    releaseInput();
    for (xcb_generic_event_t* event : state->held) {
        std::free(event);
    }
    for (std::size_t i = 0; i < state->windows.size(); ++i) {
        closeWindow(static_cast<int>(i));
    }
    xcb_flush(state->x.connection);
}

bool ModalSession::isOpen() const {
    return state->x.connection != nullptr;
}

CRect ModalSession::frameOnScreen() const {
    if (!isOpen()) {
        return {};
    }
    xcb_connection_t* c = state->x.connection;
    xcb_translate_coordinates_reply_t* place = xcb_translate_coordinates_reply(
        c, xcb_translate_coordinates(c, state->x.frameWindow, state->x.root, 0, 0), nullptr);
    xcb_get_geometry_reply_t* size =
        xcb_get_geometry_reply(c, xcb_get_geometry(c, state->x.frameWindow), nullptr);
    CRect rect;
    if (place && size) {
        rect = CRect::fromSize({place->dst_x, place->dst_y}, size->width, size->height);
    }
    std::free(place);
    std::free(size);
    return rect;
}

CRect ModalSession::screen() const {
    return CRect(0, 0, state->x.screenWidth, state->x.screenHeight);
}

namespace {

// The frame window's top-level ancestor: the window a window manager manages.
xcb_window_t topLevelOf(xcb_connection_t* c, xcb_window_t window, xcb_window_t root) {
    for (int depth = 0; depth < 64; ++depth) {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
        if (!tree) {
            return window;
        }
        const xcb_window_t parent = tree->parent;
        std::free(tree);
        if (parent == root || parent == 0) {
            return window;
        }
        window = parent;
    }
    return window;
}

void setAtomProperty(xcb_connection_t* c, xcb_window_t window, const char* name,
                     const char* value) {
    const xcb_atom_t property = detail::atomNamed(c, name);
    const xcb_atom_t atom = detail::atomNamed(c, value);
    constexpr xcb_atom_t kAtomType = 4;
    if (property && atom) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, property, kAtomType, 32, 1, &atom);
    }
}

void describeDialog(xcb_connection_t* c, xcb_window_t window, xcb_window_t owner, const CRect& rect,
                    const std::string& title, xcb_atom_t protocols, xcb_atom_t deleteWindow) {
    constexpr xcb_atom_t kWmName = 39, kStringType = 31, kWindowType = 33, kWmTransientFor = 68,
                         kWmNormalHints = 40, kWmSizeHints = 41, kAtomType = 4;
    const auto length = static_cast<std::uint32_t>(title.size());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, kWmName, kStringType, 8, length,
                        title.data());
    const xcb_atom_t netName = detail::atomNamed(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = detail::atomNamed(c, "UTF8_STRING");
    if (netName && utf8) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, netName, utf8, 8, length,
                            title.data());
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, kWmTransientFor, kWindowType, 32, 1,
                        &owner);
    // The place and the size are the program's and fixed (USPosition, PSize, minimum, maximum).
    std::uint32_t hints[18] = {};
    hints[0] = 1 | 8 | 16 | 32;
    hints[1] = static_cast<std::uint32_t>(rect.left);
    hints[2] = static_cast<std::uint32_t>(rect.top);
    hints[3] = hints[5] = hints[7] = static_cast<std::uint32_t>(rect.width());
    hints[4] = hints[6] = hints[8] = static_cast<std::uint32_t>(rect.height());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, kWmNormalHints, kWmSizeHints, 32, 18,
                        hints);
    if (protocols && deleteWindow) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, protocols, kAtomType, 32, 1,
                            &deleteWindow);
    }
    setAtomProperty(c, window, "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_DIALOG");
    setAtomProperty(c, window, "_NET_WM_STATE", "_NET_WM_STATE_MODAL");
}

// WM_CLASS, instance and class each ended by a zero byte: window managers (and our tests) tell
// the kinds apart by the instance.
void nameClass(xcb_connection_t* c, xcb_window_t window, ModalWindowKind kind) {
    static const char kMenu[] = "sonadrix-menu\0Sonadrix";
    static const char kField[] = "sonadrix-field\0Sonadrix";
    static const char kDialog[] = "sonadrix-dialog\0Sonadrix";
    const char* name = kind == ModalWindowKind::Popup    ? kMenu
                       : kind == ModalWindowKind::Inside ? kField
                                                         : kDialog;
    const std::size_t size = kind == ModalWindowKind::Popup    ? sizeof kMenu
                             : kind == ModalWindowKind::Inside ? sizeof kField
                                                               : sizeof kDialog;
    constexpr xcb_atom_t kWmClass = 67, kStringType = 31;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, kWmClass, kStringType, 8,
                        static_cast<std::uint32_t>(size), name);
}

} // namespace

int ModalSession::openWindow(ModalWindowKind kind, const CRect& rect, const std::string& title) {
    if (!isOpen() || rect.width() <= 0 || rect.height() <= 0) {
        return -1;
    }
    xcb_connection_t* c = state->x.connection;
    State::Window made;
    made.kind = kind;
    made.rect = rect;
    made.pixels = Framebuffer(rect.width(), rect.height());
    made.id = xcb_generate_id(c);
    const xcb_window_t parent =
        kind == ModalWindowKind::Inside ? state->x.frameWindow : state->x.root;
    const std::uint32_t mask = XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT |
                               XCB_CW_EVENT_MASK | XCB_CW_COLORMAP;
    const std::uint32_t values[] = {0, 0, kind == ModalWindowKind::Popup ? 1u : 0u, kInputEvents,
                                    state->x.colormap};
    xcb_generic_error_t* error = xcb_request_check(
        c, xcb_create_window_checked(c, 24, made.id, parent, static_cast<std::int16_t>(rect.left),
                                     static_cast<std::int16_t>(rect.top),
                                     static_cast<std::uint16_t>(rect.width()),
                                     static_cast<std::uint16_t>(rect.height()), 0,
                                     XCB_WINDOW_CLASS_INPUT_OUTPUT, state->x.visual, mask, values));
    if (error) {
        std::free(error);
        return -1;
    }
    made.context = xcb_generate_id(c);
    xcb_create_gc(c, made.context, made.id, 0, nullptr);
    nameClass(c, made.id, kind);
    if (kind == ModalWindowKind::Dialog) {
        describeDialog(c, made.id, topLevelOf(c, state->x.frameWindow, state->x.root), rect, title,
                       state->protocols, state->deleteWindow);
    }
    VSTGUI::detail::countUserObjects(1);
    state->windows.push_back(std::move(made));
    return static_cast<int>(state->windows.size()) - 1;
}

void ModalSession::show(int window, bool takeFocus) {
    if (State::Window* w = state->window(window)) {
        w->focusWhenShown = takeFocus;
        xcb_map_window(state->x.connection, w->id);
        if (w->kind != ModalWindowKind::Inside) {
            const std::uint32_t above = XCB_STACK_MODE_ABOVE;
            xcb_configure_window(state->x.connection, w->id, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        }
        xcb_flush(state->x.connection);
    }
}

void ModalSession::closeWindow(int window) {
    State::Window* w = state->window(window);
    if (!w) {
        return;
    }
    xcb_free_gc(state->x.connection, w->context);
    xcb_destroy_window(state->x.connection, w->id);
    xcb_flush(state->x.connection);
    w->id = 0;
    w->pixels = Framebuffer();
    VSTGUI::detail::countUserObjects(-1);
}

CRect ModalSession::windowRect(int window) const {
    State::Window* w = state->window(window);
    return w ? w->rect : CRect();
}

void ModalSession::repaint(int window) {
    State::Window* w = state->window(window);
    if (!w || !handler) {
        return;
    }
    handler->paint(*this, window, w->pixels);
    detail::putPixels(state->x.connection, w->id, w->context, w->pixels, state->swapBytes);
    xcb_flush(state->x.connection);
}

void ModalSession::focus(int window) {
    if (State::Window* w = state->window(window)) {
        // The server's time now: a nested session's window may have taken the focus later than
        // any event this session saw, and a focus request older than that would be ignored.
        xcb_set_input_focus(state->x.connection, XCB_INPUT_FOCUS_PARENT, w->id, XCB_CURRENT_TIME);
        xcb_flush(state->x.connection);
    }
}

bool ModalSession::grabInput(int window) {
    State::Window* w = state->window(window);
    if (!w) {
        return false;
    }
    xcb_connection_t* c = state->x.connection;
    bool pointer = false, keyboard = false;
    for (int attempt = 0; attempt < kGrabAttempts && !(pointer && keyboard); ++attempt) {
        if (attempt > 0) {
            poll(nullptr, 0, kGrabRetryInterval);
        }
        if (!pointer) {
            xcb_grab_pointer_reply_t* reply = xcb_grab_pointer_reply(
                c,
                xcb_grab_pointer(c, 0, w->id,
                                 XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                     XCB_EVENT_MASK_POINTER_MOTION,
                                 XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
                                 XCB_CURRENT_TIME),
                nullptr);
            pointer = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
            std::free(reply);
        }
        if (!keyboard) {
            xcb_grab_keyboard_reply_t* reply =
                xcb_grab_keyboard_reply(c,
                                        xcb_grab_keyboard(c, 0, w->id, XCB_CURRENT_TIME,
                                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                        nullptr);
            keyboard = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
            std::free(reply);
        }
    }
    state->grabbed = pointer || keyboard;
    if (!(pointer && keyboard)) {
        releaseInput();
        return false;
    }
    return true;
}

void ModalSession::releaseInput() {
    if (!isOpen() || !state->grabbed) {
        return;
    }
    xcb_ungrab_pointer(state->x.connection, XCB_CURRENT_TIME);
    xcb_ungrab_keyboard(state->x.connection, XCB_CURRENT_TIME);
    xcb_flush(state->x.connection);
    state->grabbed = false;
}

bool ModalSession::interrupted() const {
    return state->interrupted || !isOpen();
}

namespace {

template <typename Input>
void placeEvent(ModalEvent& out, const Input& input) {
    out.onScreen = CPoint(input.root_x, input.root_y);
    out.modifiers = input.state;
}

} // namespace

bool ModalSession::run(ModalHandler& loopHandler) {
    if (!isOpen()) {
        return false;
    }
    ModalHandler* outer = handler;
    handler = &loopHandler;
    ending = false;
    runningSessions.push_back(this);
    xcb_connection_t* c = state->x.connection;
    const int descriptor = xcb_get_file_descriptor(c);
    while (!ending && !state->held.empty()) {
        xcb_generic_event_t* event = state->held.front();
        state->held.pop_front();
        dispatch(event);
        std::free(event);
    }
    while (!ending) {
        if (detail::frameInterrupted(state->frameWindow)) {
            state->interrupted = true;
            break;
        }
        xcb_flush(c);
        pollfd events{descriptor, POLLIN, 0};
        poll(&events, 1, kWaitInterval);
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            dispatch(event);
            std::free(event);
            if (ending) {
                break;
            }
        }
        if (!ending) {
            loopHandler.tick(*this);
        }
        detail::presentFrame(state->frameWindow);
    }
    runningSessions.pop_back();
    handler = outer;
    ending = false;
    return !state->interrupted;
}

void ModalSession::dispatch(const void* raw) {
    const auto& event = *static_cast<const xcb_generic_event_t*>(raw);
    if (detail::takeFrameEventWhileModal(state->frameWindow, event)) {
        return;
    }
    const std::uint8_t type = event.response_type & 0x7f;
    ModalEvent out;
    const CRect frame =
        (type == XCB_BUTTON_PRESS || type == XCB_BUTTON_RELEASE || type == XCB_MOTION_NOTIFY)
            ? frameOnScreen()
            : CRect();
    auto locate = [&] {
        out.window = state->windowAt(out.onScreen, frame);
        if (State::Window* w = state->window(out.window)) {
            const CRect r = state->onScreen(*w, frame);
            out.where = CPoint(out.onScreen.h - r.left, out.onScreen.v - r.top);
        }
    };
    switch (type) {
    case XCB_EXPOSE: {
        const auto& expose = reinterpret_cast<const xcb_expose_event_t&>(event);
        if (expose.count != 0) {
            return;
        }
        const int index = state->indexOf(expose.window);
        if (index >= 0) {
            repaint(index);
            State::Window& w = state->windows[static_cast<std::size_t>(index)];
            if (w.focusWhenShown) {
                w.focusWhenShown = false;
                focus(index);
            }
            return;
        }
        for (ModalSession* outer : runningSessions) {
            const int outerIndex = outer != this ? outer->state->indexOf(expose.window) : -1;
            if (outerIndex >= 0) {
                outer->repaint(outerIndex);
            }
        }
        return;
    }
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: {
        const auto& press = reinterpret_cast<const xcb_button_press_event_t&>(event);
        out.type = type == XCB_BUTTON_PRESS ? ModalEvent::Type::ButtonPress
                                            : ModalEvent::Type::ButtonRelease;
        out.button = press.detail;
        state->lastTime = press.time;
        placeEvent(out, press);
        locate();
        if (type == XCB_BUTTON_PRESS && out.window >= 0 &&
            state->windows[static_cast<std::size_t>(out.window)].kind != ModalWindowKind::Popup) {
            focus(out.window); // a click into a dialog gives it the keys
        }
        break;
    }
    case XCB_MOTION_NOTIFY: {
        const auto& motion = reinterpret_cast<const xcb_motion_notify_event_t&>(event);
        out.type = ModalEvent::Type::Motion;
        placeEvent(out, motion);
        locate();
        break;
    }
    case XCB_KEY_PRESS: {
        const auto& key = reinterpret_cast<const xcb_key_press_event_t&>(event);
        out.type = ModalEvent::Type::KeyPress;
        state->lastTime = key.time;
        placeEvent(out, key);
        out.window = state->indexOf(key.event);
        out.keysym = detail::keysymFor(state->frameWindow, key.detail, key.state);
        const char32_t character = characterOfKeysym(out.keysym);
        if (character != 0 && !(key.state & (kModalControl | kModalAlt))) {
            out.text.push_back(character);
        }
        break;
    }
    case XCB_CLIENT_MESSAGE: {
        const auto& message = reinterpret_cast<const xcb_client_message_event_t&>(event);
        if (message.format != 32 || message.type != state->protocols ||
            message.data.data32[0] != state->deleteWindow) {
            return;
        }
        out.type = ModalEvent::Type::CloseRequest;
        out.window = state->indexOf(message.window);
        break;
    }
    case XCB_SELECTION_NOTIFY: {
        const auto& notify = reinterpret_cast<const xcb_selection_notify_event_t&>(event);
        state->selectionAnswered = true;
        state->selectionProperty = notify.property;
        return;
    }
    default:
        return; // errors of our own requests among them: nothing to do about them
    }
    if (handler) {
        handler->handle(*this, out);
    }
}

namespace {

// The property's bytes, when it holds text of one of the types asked for; false for anything
// else (a transfer in pieces among them: a name field needs no such length).
bool readTextProperty(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property,
                      xcb_atom_t utf8, std::u32string& text) {
    constexpr std::uint32_t kMaximumWords = 16384; // 64 KiB
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        c, xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaximumWords),
        nullptr);
    if (!reply) {
        return false;
    }
    constexpr xcb_atom_t kStringType = 31;
    const bool isText = reply->format == 8 && (reply->type == utf8 || reply->type == kStringType);
    if (isText) {
        const auto* bytes = static_cast<const unsigned char*>(xcb_get_property_value(reply));
        const int length = xcb_get_property_value_length(reply);
        const std::string raw(reinterpret_cast<const char*>(bytes),
                              static_cast<std::size_t>(length));
        text = reply->type == utf8 ? decodeUtf8(raw) : std::u32string(raw.begin(), raw.end());
    }
    std::free(reply);
    return isText;
}

} // namespace

std::u32string ModalSession::clipboardText(int window) {
    State::Window* w = state->window(window);
    if (!w) {
        return {};
    }
    xcb_connection_t* c = state->x.connection;
    const xcb_atom_t utf8 = detail::atomNamed(c, "UTF8_STRING");
    const xcb_atom_t property = detail::atomNamed(c, "SONADRIX_PASTE");
    const xcb_atom_t selections[] = {detail::atomNamed(c, "CLIPBOARD"), 1 /* PRIMARY */};
    constexpr xcb_atom_t kStringType = 31;
    for (const xcb_atom_t selection : selections) {
        for (const xcb_atom_t target : {utf8, kStringType}) {
            if (!selection || !target) {
                continue;
            }
            state->selectionAnswered = false;
            xcb_convert_selection(c, w->id, selection, target, property, state->lastTime);
            xcb_flush(c);
            const long deadline = nowMilliseconds() + kClipboardTimeout;
            const int descriptor = xcb_get_file_descriptor(c);
            while (!state->selectionAnswered && nowMilliseconds() < deadline &&
                   !detail::frameInterrupted(state->frameWindow)) {
                pollfd events{descriptor, POLLIN, 0};
                poll(&events, 1, kWaitInterval);
                while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
                    const std::uint8_t type = event->response_type & 0x7f;
                    // Only paints and the answer meanwhile: input waits for the loop.
                    if (type == XCB_EXPOSE || type == XCB_SELECTION_NOTIFY ||
                        type == XCB_DESTROY_NOTIFY) {
                        dispatch(event);
                        std::free(event);
                    } else {
                        state->held.push_back(event);
                    }
                }
                detail::presentFrame(state->frameWindow);
            }
            std::u32string text;
            if (state->selectionAnswered && state->selectionProperty != XCB_NONE &&
                readTextProperty(c, w->id, property, utf8, text)) {
                return text;
            }
            if (!state->selectionAnswered) {
                break; // no owner answers this selection
            }
        }
    }
    return {};
}

void ModalSession::beep() {
    if (isOpen()) {
        xcb_bell(state->x.connection, 0);
        xcb_flush(state->x.connection);
    }
}

unsigned long ModalSession::windowId(int window) const {
    State::Window* w = state->window(window);
    return w ? w->id : 0;
}

} // namespace VSTGUI::xcb

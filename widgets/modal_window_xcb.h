// Windows that a modal piece of the editor shows on Linux (a popup menu, the name field, a
// message box, a file chooser) and the loop that runs while it is open: on the frame window's
// XCB connection, on the thread that drives the frame (the editor's thread). While the loop runs
// the frame window is still painted, but takes no input, as a window a modal dialog disables; the
// loop ends when its piece ends it, or when the frame window goes or the editor is closing (the
// flag given to releaseMouseOn), and then every window and grab of the session goes with it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "widgets/framebuffer.h"
#include "widgets/geometry.h"

namespace VSTGUI::xcb {

// What a modal window is to the window system.
enum class ModalWindowKind {
    Popup,  // at screen coordinates, no decoration, above everything (menus)
    Inside, // a child of the frame window, at frame coordinates (the name field)
    Dialog, // a desktop window with a title, transient for the editor's window (message boxes)
};

// X modifier bits in ModalEvent::modifiers.
inline constexpr std::uint16_t kModalShift = 1;
inline constexpr std::uint16_t kModalLock = 2;
inline constexpr std::uint16_t kModalControl = 4;
inline constexpr std::uint16_t kModalAlt = 8;

struct ModalEvent {
    enum class Type {
        ButtonPress,   // button: 1 left, 2 middle, 3 right, 4 and 5 the wheel
        ButtonRelease, //
        Motion,        //
        KeyPress,      // keysym of the key as the modifiers choose it, text its characters
        CloseRequest,  // the window manager's close of a Dialog window
    };
    Type type = Type::Motion;
    int window = -1; // the session's window the event is for; -1 none of them
    CPoint where;    // the pointer in that window's coordinates
    CPoint onScreen; // and in the screen's
    int button = 0;  //
    std::uint16_t modifiers = 0;
    std::uint32_t keysym = 0;
    std::u32string text; // what the key types, empty for keys that type nothing
};

class ModalSession;

class ModalHandler {
public:
    virtual ~ModalHandler() = default;
    // Draws window `window` whole into its pixels (the window's size).
    virtual void paint(ModalSession& session, int window, Framebuffer& pixels) = 0;
    virtual void handle(ModalSession& session, const ModalEvent& event) = 0;
    // Called about every 30 ms while the loop waits.
    virtual void tick(ModalSession&) {}
};

class ModalSession {
public:
    // On the connection of frame window `frameWindow` (what CFrame::getSystemWindow gives, or
    // what the preset bank holds as its owner window). Not open when that is no open frame
    // window of the calling thread.
    explicit ModalSession(void* frameWindow);
    // Destroys every window of the session and releases its grabs.
    ~ModalSession();
    ModalSession(const ModalSession&) = delete;
    ModalSession& operator=(const ModalSession&) = delete;

    bool isOpen() const;
    // The frame window on the screen, and the screen.
    CRect frameOnScreen() const;
    CRect screen() const;

    // A window of the kind at rect (screen coordinates for Popup and Dialog, the frame window's
    // for Inside), not yet shown; -1 when it cannot be made. The title is a Dialog's (UTF-8).
    int openWindow(ModalWindowKind kind, const CRect& rect, const std::string& title = {});
    // Maps the window; paints it at its first expose, and then gives it the keyboard focus when
    // asked (a window can take the focus only once it is viewable).
    void show(int window, bool takeFocus = false);
    void closeWindow(int window);
    CRect windowRect(int window) const;
    // Paints the window at once through the handler of the running loop.
    void repaint(int window);
    // Gives the window the keyboard focus.
    void focus(int window);
    // Takes the pointer and the keyboard for the window (a menu): every click and key of the
    // screen comes to the session. False when the server refused (another grab is on).
    bool grabInput(int window);
    void releaseInput();

    // Runs until end() or the frame window goes or the editor closes. False in those last cases.
    // A session may run inside another's handler (a question over a dialog): the outer
    // session's windows are still painted meanwhile, and take no input.
    bool run(ModalHandler& handler);
    void end() { ending = true; }
    // The frame window went, or the editor is closing: the piece answers as if cancelled.
    bool interrupted() const;

    // The clipboard's text (CLIPBOARD, else PRIMARY), as Unicode; empty when there is none or its
    // owner does not answer within a short time. Runs the loop meanwhile (no input handled).
    std::u32string clipboardText(int window);

    // The keyboard's bell: a key was refused.
    void beep();

    // The X id of a window (tests find windows by it); 0 for none.
    unsigned long windowId(int window) const;

    struct State;

private:
    void dispatch(const void* event); // an xcb_generic_event_t

    std::unique_ptr<State> state;
    bool ending = false;
    ModalHandler* handler = nullptr;
};

} // namespace VSTGUI::xcb

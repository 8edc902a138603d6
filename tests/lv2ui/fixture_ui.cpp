// A test fixture, not a product UI: the smallest LV2 X11 UI that exercises lv2_ui_host. It draws
// one bar per control port 0 to 3 in a child window of the host's parent, and a click or drag
// in a port's column sets that port like a slider (top 100, bottom 0), with touch around it
// where the host offers it; the Up and Down keys step the port last clicked (at first port 0). A
// few ports of its own make it misbehave on purpose, for the host's tests:
//   port 8 = W   resize its window to W pixels wide (through ui:resize)
//   port 9 = 1   return non-zero from idle, as a UI whose window was closed
//   port 10 = 1  hang in the next idle, for the watchdog
//   port 11 = 1  leak a file descriptor and an X pixmap when cleaned up, to show the leak
//                checks can fail (the server keeps the pixmap until a client kills every
//                client's temporary resources: XKillClient with AllTemporary)
// Its descriptors: https://sonadrix.com/lv2/test/fixture-ui#main (266x220), #small (160x120), and
// #careless, #main making a known mistake: its window takes the screen's visual but its parent's
// colormap and border, which the X server refuses under a parent of another visual.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <lv2/ui/ui.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <thread>

namespace {

constexpr const char* kMainUri = "https://sonadrix.com/lv2/test/fixture-ui#main";
constexpr const char* kSmallUri = "https://sonadrix.com/lv2/test/fixture-ui#small";
constexpr const char* kCarelessUri = "https://sonadrix.com/lv2/test/fixture-ui#careless";
constexpr uint32_t kSliderPorts = 4;
constexpr uint32_t kResizeWidthPort = 8;
constexpr uint32_t kCloseRequestPort = 9;
constexpr uint32_t kHangPort = 10;
constexpr uint32_t kLeakPort = 11;

struct Colour {
    uint8_t red, green, blue;
};
constexpr Colour kBackground{0x20, 0x30, 0x40};
constexpr std::array<Colour, kSliderPorts> kBarColours{
    {{0xe0, 0x30, 0x30}, {0x30, 0xd0, 0x30}, {0x30, 0x60, 0xf0}, {0xf0, 0xe0, 0x20}}};

struct FixtureUi {
    Display* display = nullptr;
    Window window = 0;
    Colormap colormap = 0;
    GC gc = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    int width = 0;
    int height = 0;
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    const LV2UI_Resize* host_resize = nullptr;
    const LV2UI_Touch* host_touch = nullptr;
    std::array<float, kSliderPorts> values{};
    int dragged_port = -1;
    int clicked_port = 0;
    bool close_requested = false;
    bool hang = false;
    bool leak_when_cleaned_up = false;
    bool needs_redraw = true;
};

unsigned long pixel_of(const FixtureUi& ui, Colour colour) {
    auto scale = [](uint8_t value, unsigned long mask) {
        if (mask == 0) {
            return 0ul;
        }
        int shift = __builtin_ctzl(mask);
        return ((static_cast<unsigned long>(value) * (mask >> shift) / 255) << shift) & mask;
    };
    return scale(colour.red, ui.visual->red_mask) | scale(colour.green, ui.visual->green_mask) |
           scale(colour.blue, ui.visual->blue_mask);
}

void set_size_hints(FixtureUi& ui) {
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize;
    hints.min_width = hints.max_width = ui.width;
    hints.min_height = hints.max_height = ui.height;
    XSetWMNormalHints(ui.display, ui.window, &hints);
}

void redraw(FixtureUi& ui) {
    XSetForeground(ui.display, ui.gc, pixel_of(ui, kBackground));
    XFillRectangle(ui.display, ui.window, ui.gc, 0, 0, static_cast<unsigned>(ui.width),
                   static_cast<unsigned>(ui.height));
    int column = ui.width / static_cast<int>(kSliderPorts);
    for (uint32_t port = 0; port < kSliderPorts; ++port) {
        int bar = static_cast<int>(std::lround(ui.values[port] / 100.0f * ui.height));
        bar = std::clamp(bar, 0, ui.height);
        if (bar == 0) {
            continue;
        }
        XSetForeground(ui.display, ui.gc, pixel_of(ui, kBarColours[port]));
        XFillRectangle(ui.display, ui.window, ui.gc, static_cast<int>(port) * column + 4,
                       ui.height - bar, static_cast<unsigned>(column - 8),
                       static_cast<unsigned>(bar));
    }
    XFlush(ui.display);
    ui.needs_redraw = false;
}

void resize_to(FixtureUi& ui, int width, int height) {
    ui.width = width;
    ui.height = height;
    XResizeWindow(ui.display, ui.window, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
    set_size_hints(ui);
    if (ui.host_resize) {
        ui.host_resize->ui_resize(ui.host_resize->handle, width, height);
    }
    ui.needs_redraw = true;
}

void set_from_pointer(FixtureUi& ui, int port, int y) {
    float value = std::lround(100.0f * static_cast<float>(ui.height - y) / ui.height);
    value = std::clamp(value, 0.0f, 100.0f);
    ui.values[static_cast<size_t>(port)] = value;
    ui.write(ui.controller, static_cast<uint32_t>(port), sizeof value, 0, &value);
    ui.needs_redraw = true;
}

void handle_event(FixtureUi& ui, const XEvent& event) {
    switch (event.type) {
    case Expose:
        ui.needs_redraw = true;
        break;
    case ButtonPress: {
        if (event.xbutton.button != Button1) {
            break;
        }
        int port = event.xbutton.x / (ui.width / static_cast<int>(kSliderPorts));
        if (port < 0 || port >= static_cast<int>(kSliderPorts)) {
            break;
        }
        ui.dragged_port = port;
        ui.clicked_port = port;
        if (ui.host_touch) {
            ui.host_touch->touch(ui.host_touch->handle, uint32_t(port), true);
        }
        set_from_pointer(ui, port, event.xbutton.y);
        break;
    }
    case MotionNotify:
        if (ui.dragged_port >= 0) {
            set_from_pointer(ui, ui.dragged_port, event.xmotion.y);
        }
        break;
    case ButtonRelease:
        if (event.xbutton.button != Button1 || ui.dragged_port < 0) {
            break;
        }
        if (ui.host_touch) {
            ui.host_touch->touch(ui.host_touch->handle, uint32_t(ui.dragged_port), false);
        }
        ui.dragged_port = -1;
        break;
    case KeyPress: {
        KeySym key = XLookupKeysym(const_cast<XKeyEvent*>(&event.xkey), 0);
        if (key != XK_Up && key != XK_Down) {
            break;
        }
        auto port = static_cast<size_t>(ui.clicked_port);
        float value = std::clamp(ui.values[port] + (key == XK_Up ? 1.0f : -1.0f), 0.0f, 100.0f);
        ui.values[port] = value;
        ui.write(ui.controller, static_cast<uint32_t>(port), sizeof value, 0, &value);
        ui.needs_redraw = true;
        break;
    }
    default:
        break;
    }
}

const void* find_feature(const LV2_Feature* const* features, const char* uri) {
    for (; features && *features; ++features) {
        if (std::strcmp((*features)->URI, uri) == 0) {
            return (*features)->data;
        }
    }
    return nullptr;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor* descriptor, const char*, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    const void* parent_feature = find_feature(features, LV2_UI__parent);
    if (!parent_feature) {
        return nullptr;
    }
    auto parent = static_cast<Window>(reinterpret_cast<uintptr_t>(parent_feature));
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return nullptr;
    }

    auto* ui = new FixtureUi;
    ui->display = display;
    ui->write = write;
    ui->controller = controller;
    ui->host_resize = static_cast<const LV2UI_Resize*>(find_feature(features, LV2_UI__resize));
    ui->host_touch = static_cast<const LV2UI_Touch*>(find_feature(features, LV2_UI__touch));
    bool small = std::strcmp(descriptor->URI, kSmallUri) == 0;
    ui->width = small ? 160 : 266;
    ui->height = small ? 120 : 220;
    // The screen's visual with a colormap of its own works under a parent of any visual.
    int screen = DefaultScreen(display);
    ui->visual = DefaultVisual(display, screen);
    ui->depth = DefaultDepth(display, screen);
    ui->colormap = XCreateColormap(display, RootWindow(display, screen), ui->visual, AllocNone);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = pixel_of(*ui, kBackground);
    attributes.border_pixel = 0;
    attributes.colormap = ui->colormap;
    attributes.event_mask =
        ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | KeyPressMask;
    bool careless = std::strcmp(descriptor->URI, kCarelessUri) == 0;
    unsigned long attribute_mask = careless
                                       ? CWBackPixel | CWEventMask
                                       : CWBackPixel | CWBorderPixel | CWColormap | CWEventMask;
    ui->window = XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(ui->width),
                               static_cast<unsigned>(ui->height), 0, ui->depth, InputOutput,
                               ui->visual, attribute_mask, &attributes);
    ui->gc = XCreateGC(display, ui->window, 0, nullptr);
    set_size_hints(*ui);
    if (ui->host_resize) {
        ui->host_resize->ui_resize(ui->host_resize->handle, ui->width, ui->height);
    }
    XMapWindow(display, ui->window);
    XFlush(display);
    *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(ui->window));
    return ui;
}

void cleanup(LV2UI_Handle handle) {
    auto* ui = static_cast<FixtureUi*>(handle);
    if (ui->leak_when_cleaned_up) {
        [[maybe_unused]] int leaked_descriptor = dup(ConnectionNumber(ui->display));
        XCreatePixmap(ui->display, DefaultRootWindow(ui->display), 1, 1,
                      static_cast<unsigned>(ui->depth));
        XSetCloseDownMode(ui->display, RetainTemporary);
    }
    XFreeGC(ui->display, ui->gc);
    XDestroyWindow(ui->display, ui->window);
    XFreeColormap(ui->display, ui->colormap);
    XCloseDisplay(ui->display);
    delete ui;
}

void port_event(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
                const void* buffer) {
    auto* ui = static_cast<FixtureUi*>(handle);
    if (format != 0 || size != sizeof(float)) {
        return;
    }
    float value;
    std::memcpy(&value, buffer, sizeof value);
    if (port < kSliderPorts) {
        ui->values[port] = value;
        ui->needs_redraw = true;
    } else if (port == kResizeWidthPort && value >= 1) {
        resize_to(*ui, static_cast<int>(value), ui->height);
    } else if (port == kCloseRequestPort) {
        ui->close_requested = value > 0;
    } else if (port == kHangPort) {
        ui->hang = value > 0;
    } else if (port == kLeakPort) {
        ui->leak_when_cleaned_up = value > 0;
    }
}

int idle(LV2UI_Handle handle) {
    auto* ui = static_cast<FixtureUi*>(handle);
    while (ui->hang) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    while (XPending(ui->display)) {
        XEvent event;
        XNextEvent(ui->display, &event);
        handle_event(*ui, event);
    }
    if (ui->needs_redraw) {
        redraw(*ui);
    }
    return ui->close_requested ? 1 : 0;
}

int show(LV2UI_Handle handle) {
    auto* ui = static_cast<FixtureUi*>(handle);
    XMapWindow(ui->display, ui->window);
    XFlush(ui->display);
    return 0;
}

int hide(LV2UI_Handle handle) {
    auto* ui = static_cast<FixtureUi*>(handle);
    XUnmapWindow(ui->display, ui->window);
    XFlush(ui->display);
    return 0;
}

int resize_from_host(LV2UI_Feature_Handle handle, int width, int height) {
    auto* ui = static_cast<FixtureUi*>(handle);
    if (width < 1 || height < 1) {
        return 1;
    }
    ui->width = width;
    ui->height = height;
    XResizeWindow(ui->display, ui->window, static_cast<unsigned>(width),
                  static_cast<unsigned>(height));
    set_size_hints(*ui);
    ui->needs_redraw = true;
    return 0;
}

const void* extension_data(const char* uri) {
    static const LV2UI_Idle_Interface idle_interface{idle};
    static const LV2UI_Show_Interface show_interface{show, hide};
    static const LV2UI_Resize resize_interface{nullptr, resize_from_host};
    if (std::strcmp(uri, LV2_UI__idleInterface) == 0) {
        return &idle_interface;
    }
    if (std::strcmp(uri, LV2_UI__showInterface) == 0) {
        return &show_interface;
    }
    if (std::strcmp(uri, LV2_UI__resize) == 0) {
        return &resize_interface;
    }
    return nullptr;
}

const LV2UI_Descriptor kDescriptors[] = {
    {kMainUri, instantiate, cleanup, port_event, extension_data},
    {kSmallUri, instantiate, cleanup, port_event, extension_data},
    {kCarelessUri, instantiate, cleanup, port_event, extension_data},
};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor*
lv2ui_descriptor(uint32_t index) {
    return index < std::size(kDescriptors) ? &kDescriptors[index] : nullptr;
}

// lv2_ui_host: loads an LV2 X11 UI module, embeds it in a window of its own and logs, one event
// per line on standard output, everything the UI asks of its host. The UI tests drive it step by
// step through commands on standard input.
//
// Usage: lv2_ui_host [OPTIONS] MODULE.so
//   --ui URI             the UI descriptor to use (default: the module's first)
//   --bundle PATH        the bundle path handed to the UI (default: the module's folder)
//   --plugin URI         the plug-in URI handed to the UI (default: empty)
//   --size WxH           the parent window's size (default 400x300)
//   --position X,Y       the parent window's place on the screen (default 0,0)
//   --visual WHICH       the parent's visual: default, argb (32-bit TrueColor), depth:N or
//                        id:0xNN (default: default)
//   --list-visuals       print "visual 0xID depth D class C" for each visual and exit
//   --touch              offer ui:touch (not offered by default)
//   --no-resize          do not offer ui:resize
//   --no-parent          do not offer ui:parent: the UI shows a window of its own through
//                        ui:showInterface (the host's window stays, empty)
//   --no-options         do not offer the options feature (ui:updateRate)
//   --echo               hand every write back to the UI as a port event (default: off)
//   --rate HZ            calls of idle per second (default 30)
//   --control I=V        the host's value of control port I, sent after each instantiation;
//                        repeatable
//   --at SECONDS COMMAND run COMMAND (any standard-input command) that long after the start;
//                        repeatable
//   --duration SECONDS   quit after that long. Without it the host quits at the end of standard
//                        input, once every command given (read and --at) has run
//   --watchdog SECONDS   end the host (exit 3) after that long whatever it is doing, 0 for
//                        never (default 60)
//
// Commands on standard input, one per line (empty lines and lines that start with # are skipped),
// and the lines they log:
//   port I V             port_event of control value V to port I      port-event I V
//   echo on|off          writes handed back as port events or not     echo on|off
//   hide / show          through ui:showInterface                     hide RC / show RC
//                                                                     (or hide unsupported)
//   screenshot FILE [parent]   PNG of the UI's window (or the parent) screenshot FILE W H
//   close                cleanup the UI now                           cleanup
//   open                 instantiate it again                         instantiate widget 0xID
//   cycles N             N times: instantiate, port events, one idle, cleanup; then the UI is
//                        open as before                               cycles N
//   size W H             resize the parent and tell a UI that offers ui:resize
//                                                                     size W H ui RC|unsupported
//   info                 the parent and every child window of it      parent ..., child ...
//   wm-close 0xID        what a window manager sends when its close button is clicked
//                        (WM_PROTOCOLS naming WM_DELETE_WINDOW) to window 0xID
//                                                                     wm-close 0xID
//   focus                the keyboard focus to the UI's window (no window manager gives it)
//                                                                     focus 0xID
//   sleep MS             run (idling) for MS before the next command  (nothing)
//   sync TOKEN           answers once every command before it is done sync TOKEN
//   quit                 cleanup and exit 0                           quit
//
// Lines logged for the UI's calls and for what the host sees:
//   host-start pid PID                the first line
//   descriptor N URI                  each descriptor of the module, at the start
//   parent 0xID X Y W H depth D visual 0xV     the parent window (at the start and on info)
//   instantiate widget 0xID           instantiation succeeded (the UI's window id); then a
//                                     port-event line for each control value the host holds
//   instantiate-failed                instantiate returned no UI
//   port-event I V echo               a write handed back (echo on), before the next idle
//   interfaces [idle] [show] [resize] extension data the UI offers
//   write I V                         write_function, control value (float protocol)
//   write-other I SIZE PROTOCOL-URI   write_function with another protocol
//   touch I 1|0                       ui:touch, gesture begins / ends
//   resize W H                        ui:resize from the UI (the parent is resized to it)
//   parent-configure W H              the parent's size changed
//   child-create 0xID X Y W H, child-configure 0xID X Y W H, child-map 0xID,
//   child-unmap 0xID, child-reparent 0xID, child-destroy 0xID
//                                     windows in the parent, as the X server reports them
//   child 0xID X Y W H mapped 0|1 root-x RX root-y RY depth D visual 0xV   (on info)
//   idle-stop                         idle returned non-zero (the host then cleans up)
//   cleanup                           the UI was cleaned up (close, cycles, idle-stop, quit)
//   x-error ui|host TEXT request MAJOR.MINOR resource 0xID     an X protocol error
//   error TEXT                        the UI misused its host, or a command was wrong
//   watchdog fired after S s          the watchdog ended the host
//
// Exit status: 0 after quit or --duration, 1 for a wrong command line, 2 when the module or the
// UI could not be loaded or instantiated, 3 when the watchdog fired, 4 when the X connection broke.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Every line goes out whole and at once: the UI may call its host from other threads (which is
// reported as an error, but still logged), and tests read the log while the host runs.
std::mutex log_mutex;

void log_line(const char* format, ...) __attribute__((format(printf, 1, 2)));

void log_line(const char* format, ...) {
    std::lock_guard<std::mutex> lock(log_mutex);
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The shortest text that reads back as the same float: 0.7f is "0.7", not "0.699999988".
std::string float_text(float value) {
    char text[32];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(value));
        bool exponent = std::strchr(text, 'e') != nullptr; // 80 is "80", not "8e+01"
        if (std::strtof(text, nullptr) == value && (!exponent || digits == 9)) {
            break;
        }
    }
    return text;
}

struct ScheduledCommand {
    double seconds;
    std::string command;
};

struct Settings {
    std::string module_path;
    std::string ui_uri;
    std::string bundle_path;
    std::string plugin_uri;
    int width = 400;
    int height = 300;
    int x = 0;
    int y = 0;
    std::string visual = "default";
    bool list_visuals = false;
    bool offer_touch = false;
    bool offer_resize = true;
    bool offer_parent = true;
    bool offer_options = true;
    bool echo = false;
    double rate = 30.0;
    std::map<uint32_t, float> controls;
    std::vector<ScheduledCommand> scheduled;
    double duration = -1.0;
    double watchdog = 60.0;
};

void print_usage() {
    std::fprintf(
        stderr, "usage: lv2_ui_host [--ui URI] [--bundle PATH] [--plugin URI] [--size WxH]\n"
                "       [--position X,Y] [--visual default|argb|depth:N|id:0xNN] [--list-visuals]\n"
                "       [--touch] [--no-resize] [--no-parent] [--no-options] [--echo] [--rate HZ]\n"
                "       [--control I=V]... [--at SECONDS COMMAND]... [--duration SECONDS]\n"
                "       [--watchdog SECONDS] MODULE.so\n"
                "(the comment at the top of tests/lv2ui/lv2_ui_host.cpp lists the commands)\n");
}

bool parse_number(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0';
}

bool parse_settings(int argc, char** argv, Settings& settings) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        auto next = [&](std::string& value) {
            if (i + 1 >= arguments.size()) {
                std::fprintf(stderr, "lv2_ui_host: %s needs a value\n", option.c_str());
                return false;
            }
            value = arguments[++i];
            return true;
        };
        std::string value;
        double number = 0;
        if (option == "--ui") {
            if (!next(settings.ui_uri)) {
                return false;
            }
        } else if (option == "--bundle") {
            if (!next(settings.bundle_path)) {
                return false;
            }
        } else if (option == "--plugin") {
            if (!next(settings.plugin_uri)) {
                return false;
            }
        } else if (option == "--size") {
            if (!next(value) ||
                std::sscanf(value.c_str(), "%dx%d", &settings.width, &settings.height) != 2 ||
                settings.width < 1 || settings.height < 1) {
                std::fprintf(stderr, "lv2_ui_host: --size takes WxH\n");
                return false;
            }
        } else if (option == "--position") {
            if (!next(value) ||
                std::sscanf(value.c_str(), "%d,%d", &settings.x, &settings.y) != 2) {
                std::fprintf(stderr, "lv2_ui_host: --position takes X,Y\n");
                return false;
            }
        } else if (option == "--visual") {
            if (!next(settings.visual)) {
                return false;
            }
        } else if (option == "--list-visuals") {
            settings.list_visuals = true;
        } else if (option == "--touch") {
            settings.offer_touch = true;
        } else if (option == "--no-resize") {
            settings.offer_resize = false;
        } else if (option == "--no-parent") {
            settings.offer_parent = false;
        } else if (option == "--no-options") {
            settings.offer_options = false;
        } else if (option == "--echo") {
            settings.echo = true;
        } else if (option == "--rate") {
            if (!next(value) || !parse_number(value, settings.rate) || settings.rate <= 0 ||
                settings.rate > 1000) {
                std::fprintf(stderr, "lv2_ui_host: --rate takes a number of Hz up to 1000\n");
                return false;
            }
        } else if (option == "--control") {
            unsigned index = 0;
            float control = 0;
            if (!next(value) || std::sscanf(value.c_str(), "%u=%f", &index, &control) != 2) {
                std::fprintf(stderr, "lv2_ui_host: --control takes INDEX=VALUE\n");
                return false;
            }
            settings.controls[index] = control;
        } else if (option == "--at") {
            std::string command;
            if (!next(value) || !parse_number(value, number) || number < 0 || !next(command)) {
                std::fprintf(stderr, "lv2_ui_host: --at takes SECONDS COMMAND\n");
                return false;
            }
            settings.scheduled.push_back({number, command});
        } else if (option == "--duration") {
            if (!next(value) || !parse_number(value, settings.duration) || settings.duration < 0) {
                std::fprintf(stderr, "lv2_ui_host: --duration takes seconds\n");
                return false;
            }
        } else if (option == "--watchdog") {
            if (!next(value) || !parse_number(value, settings.watchdog) || settings.watchdog < 0) {
                std::fprintf(stderr, "lv2_ui_host: --watchdog takes seconds\n");
                return false;
            }
        } else if (option == "--help" || option == "-h") {
            print_usage();
            std::exit(0);
        } else if (!option.empty() && option[0] == '-') {
            std::fprintf(stderr, "lv2_ui_host: unknown option %s\n", option.c_str());
            return false;
        } else if (settings.module_path.empty()) {
            settings.module_path = option;
        } else {
            std::fprintf(stderr, "lv2_ui_host: one module only\n");
            return false;
        }
    }
    if (settings.module_path.empty() && !settings.list_visuals) {
        print_usage();
        return false;
    }
    if (settings.bundle_path.empty()) {
        size_t slash = settings.module_path.rfind('/');
        settings.bundle_path =
            slash == std::string::npos ? "./" : settings.module_path.substr(0, slash + 1);
    } else if (settings.bundle_path.back() != '/') {
        settings.bundle_path += '/';
    }
    return true;
}

// Ends the process if it is still running at the deadline, whatever the main thread is doing
// (a UI stuck in idle or cleanup included). It writes with write(2): the log's lock may be held
// by the thread that hangs.
class Watchdog {
public:
    explicit Watchdog(double seconds) : seconds_(seconds) {
        if (seconds_ > 0) {
            thread_ = std::thread([this] { watch(); });
        }
    }
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopped_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        auto deadline = Clock::now() + std::chrono::duration<double>(seconds_);
        if (wake_.wait_until(lock, deadline, [this] { return stopped_; })) {
            return;
        }
        char text[96];
        int length = std::snprintf(text, sizeof text, "watchdog fired after %g s\n", seconds_);
        ssize_t ignored = ::write(STDOUT_FILENO, text, static_cast<size_t>(length));
        ignored = ::write(STDERR_FILENO, text, static_cast<size_t>(length));
        (void)ignored;
        _exit(3);
    }

    double seconds_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    std::thread thread_;
};

// urid:map and urid:unmap. A UI may map from any thread; the strings never move once mapped, so
// the pointers unmap returns stay valid for the host's life.
class UridTable {
public:
    LV2_URID map(const char* uri) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto found = ids_.find(uri);
        if (found != ids_.end()) {
            return found->second;
        }
        uris_.emplace_back(uri);
        auto id = static_cast<LV2_URID>(uris_.size());
        ids_.emplace(uris_.back(), id);
        return id;
    }
    const char* unmap(LV2_URID id) {
        std::lock_guard<std::mutex> lock(mutex_);
        return id >= 1 && id <= uris_.size() ? uris_[id - 1].c_str() : nullptr;
    }

    static LV2_URID map_function(LV2_URID_Map_Handle table, const char* uri) {
        return static_cast<UridTable*>(table)->map(uri);
    }
    static const char* unmap_function(LV2_URID_Unmap_Handle table, LV2_URID id) {
        return static_cast<UridTable*>(table)->unmap(id);
    }

private:
    std::mutex mutex_;
    std::deque<std::string> uris_;
    std::map<std::string, LV2_URID> ids_;
};

// PNG without compression: stored deflate blocks need no zlib.
uint32_t crc32_of(const uint8_t* bytes, size_t size, uint32_t crc = 0) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> entries{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xedb88320u ^ (c >> 1) : c >> 1;
            }
            entries[n] = c;
        }
        return entries;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ bytes[i]) & 0xff] ^ (crc >> 8);
    }
    return ~crc;
}

void append_big_endian(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void append_chunk(std::vector<uint8_t>& file, const char* type, const std::vector<uint8_t>& data) {
    append_big_endian(file, static_cast<uint32_t>(data.size()));
    size_t type_start = file.size();
    file.insert(file.end(), type, type + 4);
    file.insert(file.end(), data.begin(), data.end());
    append_big_endian(file, crc32_of(file.data() + type_start, file.size() - type_start));
}

bool write_png(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(height) * (1 + 3 * static_cast<size_t>(width)));
    for (int y = 0; y < height; ++y) {
        raw.push_back(0); // filter: none
        auto row = rgb.begin() + static_cast<ptrdiff_t>(y) * 3 * width;
        raw.insert(raw.end(), row, row + 3 * width);
    }
    std::vector<uint8_t> stream = {0x78, 0x01};
    size_t offset = 0;
    do {
        size_t block = std::min<size_t>(raw.size() - offset, 65535);
        bool last = offset + block == raw.size();
        stream.push_back(last ? 1 : 0);
        stream.push_back(static_cast<uint8_t>(block));
        stream.push_back(static_cast<uint8_t>(block >> 8));
        stream.push_back(static_cast<uint8_t>(~block));
        stream.push_back(static_cast<uint8_t>(~block >> 8));
        stream.insert(stream.end(), raw.begin() + static_cast<ptrdiff_t>(offset),
                      raw.begin() + static_cast<ptrdiff_t>(offset + block));
        offset += block;
    } while (offset < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    append_big_endian(stream, (b << 16) | a);

    std::vector<uint8_t> header;
    append_big_endian(header, static_cast<uint32_t>(width));
    append_big_endian(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8 bits, RGB, deflate, no filter, no interlace
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    append_chunk(file, "IHDR", header);
    append_chunk(file, "IDAT", stream);
    append_chunk(file, "IEND", {});
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        return false;
    }
    bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written;
}

// One 8-bit channel of a pixel from its visual's mask.
uint8_t channel(unsigned long pixel, unsigned long mask) {
    if (mask == 0) {
        return 0;
    }
    int shift = __builtin_ctzl(mask);
    unsigned long maximum = mask >> shift;
    return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / maximum);
}

unsigned long pixel_of(const Visual* visual, int depth, uint8_t red, uint8_t green, uint8_t blue) {
    auto scale = [](uint8_t value, unsigned long mask) {
        if (mask == 0) {
            return 0ul;
        }
        int shift = __builtin_ctzl(mask);
        return ((static_cast<unsigned long>(value) * (mask >> shift) / 255) << shift) & mask;
    };
    unsigned long pixel = scale(red, visual->red_mask) | scale(green, visual->green_mask) |
                          scale(blue, visual->blue_mask);
    if (depth == 32) { // the bits no colour uses are alpha: opaque
        pixel |= 0xffffffffu & ~(visual->red_mask | visual->green_mask | visual->blue_mask);
    }
    return pixel;
}

const char* visual_class_name(int visual_class) {
    switch (visual_class) {
    case StaticGray:
        return "StaticGray";
    case GrayScale:
        return "GrayScale";
    case StaticColor:
        return "StaticColor";
    case PseudoColor:
        return "PseudoColor";
    case TrueColor:
        return "TrueColor";
    case DirectColor:
        return "DirectColor";
    default:
        return "unknown";
    }
}

Display* host_display = nullptr;

// The host is the toolkit here, so the process-wide handlers are its own. Errors on the UI's
// connections arrive here too and are logged as the UI's.
int on_x_error(Display* display, XErrorEvent* error) {
    char text[160] = "";
    XGetErrorText(display, error->error_code, text, sizeof text);
    for (char* c = text; *c; ++c) {
        if (*c == '\n') {
            *c = ' ';
        }
    }
    log_line("x-error %s %s request %d.%d resource 0x%lx", display == host_display ? "host" : "ui",
             text, error->request_code, error->minor_code, error->resourceid);
    return 0;
}

int on_x_io_error(Display*) {
    log_line("error the X connection broke");
    _exit(4);
}

class Host {
public:
    explicit Host(const Settings& settings)
        : settings_(settings), echo_(settings.echo), port_values_(settings.controls),
          main_thread_(std::this_thread::get_id()) {}
    ~Host() { shut_down(); }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    int run();

private:
    bool open_display();
    bool create_parent();
    bool load_module();
    void build_features();
    bool instantiate();
    void cleanup();
    void deliver_port(uint32_t index, float value, const char* note);
    void deliver_echoes();
    void call_idle();
    void handle_x_events();
    void report_windows();
    void check_parent_empty();
    void execute(const std::string& line);
    bool wait_until_viewable(Window window, XWindowAttributes& attributes);
    void screenshot(const std::string& path, bool of_parent);
    void run_cycles(long count);
    void shut_down();
    bool from_main_thread(const char* what);

    static void write_function(LV2UI_Controller controller, uint32_t index, uint32_t size,
                               uint32_t protocol, const void* buffer);
    static int resize_function(LV2UI_Feature_Handle handle, int width, int height);
    static void touch_function(LV2UI_Feature_Handle handle, uint32_t index, bool grabbed);

    const Settings& settings_;
    Display* display_ = nullptr;
    Window parent_ = 0;
    Visual* parent_visual_ = nullptr;
    int parent_depth_ = 0;
    Colormap parent_colormap_ = 0;
    bool own_colormap_ = false;

    void* library_ = nullptr;
    const LV2UI_Descriptor* descriptor_ = nullptr;
    const LV2UI_Idle_Interface* idle_interface_ = nullptr;
    const LV2UI_Show_Interface* show_interface_ = nullptr;
    const LV2UI_Resize* ui_resize_interface_ = nullptr;
    LV2UI_Handle ui_ = nullptr;
    Window widget_ = 0;
    std::atomic<bool> ui_live_{false};

    UridTable urids_;
    LV2_URID_Map urid_map_{};
    LV2_URID_Unmap urid_unmap_{};
    LV2UI_Resize resize_feature_{};
    LV2UI_Touch touch_feature_{};
    float update_rate_ = 30.0f;
    std::vector<LV2_Options_Option> options_;
    std::vector<LV2_Feature> feature_storage_;
    std::vector<const LV2_Feature*> features_;
    LV2_URID float_protocol_ = 0;

    std::mutex state_mutex_; // guards what the write and touch callbacks change
    bool echo_;
    std::map<uint32_t, float> port_values_;
    std::vector<std::pair<uint32_t, float>> echoes_;
    std::thread::id main_thread_;

    std::deque<std::string> commands_;
    std::string input_;
    bool input_open_ = true;
    Clock::time_point start_;
    Clock::time_point commands_paused_until_;
    bool quit_ = false;
};

bool Host::open_display() {
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
        std::fprintf(stderr, "lv2_ui_host: cannot open the X display (is DISPLAY set?)\n");
        return false;
    }
    host_display = display_;
    XSetErrorHandler(on_x_error);
    XSetIOErrorHandler(on_x_io_error);
    return true;
}

bool Host::create_parent() {
    int screen = DefaultScreen(display_);
    XVisualInfo wanted{};
    wanted.screen = screen;
    long mask = VisualScreenMask;
    const std::string& which = settings_.visual;
    if (which == "default") {
        wanted.visualid = XVisualIDFromVisual(DefaultVisual(display_, screen));
        mask |= VisualIDMask;
    } else if (which == "argb") {
        wanted.depth = 32;
        wanted.c_class = TrueColor;
        mask |= VisualDepthMask | VisualClassMask;
    } else if (which.rfind("depth:", 0) == 0) {
        wanted.depth = std::atoi(which.c_str() + 6);
        mask |= VisualDepthMask;
    } else if (which.rfind("id:", 0) == 0) {
        wanted.visualid = std::strtoul(which.c_str() + 3, nullptr, 0);
        mask |= VisualIDMask;
    } else {
        std::fprintf(stderr, "lv2_ui_host: --visual takes default, argb, depth:N or id:0xNN\n");
        return false;
    }
    int count = 0;
    XVisualInfo* found = XGetVisualInfo(display_, mask, &wanted, &count);
    if (!found || count == 0) {
        std::fprintf(stderr, "lv2_ui_host: the screen has no visual \"%s\"\n", which.c_str());
        if (found) {
            XFree(found);
        }
        return false;
    }
    parent_visual_ = found[0].visual;
    parent_depth_ = found[0].depth;
    XFree(found);

    Window root = RootWindow(display_, screen);
    if (parent_visual_ == DefaultVisual(display_, screen)) {
        parent_colormap_ = DefaultColormap(display_, screen);
    } else {
        parent_colormap_ = XCreateColormap(display_, root, parent_visual_, AllocNone);
        own_colormap_ = true;
    }
    XSetWindowAttributes attributes{};
    attributes.background_pixel = pixel_of(parent_visual_, parent_depth_, 0x70, 0x70, 0x70);
    attributes.border_pixel = 0;
    attributes.colormap = parent_colormap_;
    attributes.event_mask = StructureNotifyMask | SubstructureNotifyMask;
    parent_ = XCreateWindow(
        display_, root, settings_.x, settings_.y, static_cast<unsigned>(settings_.width),
        static_cast<unsigned>(settings_.height), 0, parent_depth_, InputOutput, parent_visual_,
        CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &attributes);
    XStoreName(display_, parent_, "lv2_ui_host");
    XClassHint class_hint{const_cast<char*>("lv2_ui_host"), const_cast<char*>("lv2_ui_host")};
    XSetClassHint(display_, parent_, &class_hint);
    XMapRaised(display_, parent_);
    XSync(display_, False);
    log_line("parent 0x%lx %d %d %d %d depth %d visual 0x%lx", parent_, settings_.x, settings_.y,
             settings_.width, settings_.height, parent_depth_, XVisualIDFromVisual(parent_visual_));
    return true;
}

bool Host::load_module() {
    library_ = dlopen(settings_.module_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) {
        std::fprintf(stderr, "lv2_ui_host: cannot load %s: %s\n", settings_.module_path.c_str(),
                     dlerror());
        return false;
    }
    auto descriptor_function =
        reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library_, "lv2ui_descriptor"));
    if (!descriptor_function) {
        std::fprintf(stderr, "lv2_ui_host: %s has no lv2ui_descriptor\n",
                     settings_.module_path.c_str());
        return false;
    }
    for (uint32_t index = 0;; ++index) {
        const LV2UI_Descriptor* descriptor = descriptor_function(index);
        if (!descriptor) {
            break;
        }
        log_line("descriptor %u %s", index, descriptor->URI ? descriptor->URI : "(none)");
        bool wanted = settings_.ui_uri.empty()
                          ? index == 0
                          : descriptor->URI && settings_.ui_uri == descriptor->URI;
        if (wanted && !descriptor_) {
            descriptor_ = descriptor;
        }
    }
    if (!descriptor_) {
        std::fprintf(stderr, "lv2_ui_host: %s has no UI %s\n", settings_.module_path.c_str(),
                     settings_.ui_uri.empty() ? "at all" : settings_.ui_uri.c_str());
        return false;
    }
    if (descriptor_->extension_data) {
        idle_interface_ = static_cast<const LV2UI_Idle_Interface*>(
            descriptor_->extension_data(LV2_UI__idleInterface));
        show_interface_ = static_cast<const LV2UI_Show_Interface*>(
            descriptor_->extension_data(LV2_UI__showInterface));
        ui_resize_interface_ =
            static_cast<const LV2UI_Resize*>(descriptor_->extension_data(LV2_UI__resize));
    }
    log_line("interfaces%s%s%s", idle_interface_ ? " idle" : "", show_interface_ ? " show" : "",
             ui_resize_interface_ ? " resize" : "");
    return true;
}

void Host::build_features() {
    urid_map_ = {&urids_, UridTable::map_function};
    urid_unmap_ = {&urids_, UridTable::unmap_function};
    float_protocol_ = urids_.map(LV2_UI__floatProtocol);
    resize_feature_ = {this, resize_function};
    touch_feature_ = {this, touch_function};
    update_rate_ = static_cast<float>(settings_.rate);
    options_ = {
        {LV2_OPTIONS_INSTANCE, 0, urids_.map(LV2_UI__updateRate), sizeof(float),
         urids_.map(LV2_ATOM__Float), &update_rate_},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    if (settings_.offer_parent) {
        feature_storage_.push_back({LV2_UI__parent, reinterpret_cast<void*>(parent_)});
    }
    feature_storage_.push_back({LV2_URID__map, &urid_map_});
    feature_storage_.push_back({LV2_URID__unmap, &urid_unmap_});
    if (settings_.offer_resize) {
        feature_storage_.push_back({LV2_UI__resize, &resize_feature_});
    }
    if (settings_.offer_touch) {
        feature_storage_.push_back({LV2_UI__touch, &touch_feature_});
    }
    if (settings_.offer_options) {
        feature_storage_.push_back({LV2_OPTIONS__options, options_.data()});
    }
    for (const LV2_Feature& feature : feature_storage_) {
        features_.push_back(&feature);
    }
    features_.push_back(nullptr);
}

bool Host::instantiate() {
    LV2UI_Widget widget = nullptr;
    ui_live_ = true; // the UI may call its host before instantiate returns
    ui_ = descriptor_->instantiate(descriptor_, settings_.plugin_uri.c_str(),
                                   settings_.bundle_path.c_str(), write_function, this, &widget,
                                   features_.data());
    if (!ui_) {
        ui_live_ = false;
        log_line("instantiate-failed");
        return false;
    }
    widget_ = static_cast<Window>(reinterpret_cast<uintptr_t>(widget));
    log_line("instantiate widget 0x%lx", widget_);
    if (XSetErrorHandler(on_x_error) != on_x_error) {
        log_line("error the UI replaced the process's X error handler");
    }
    std::map<uint32_t, float> values;
    {
        std::lock_guard<std::mutex> lock(state_mutex_);
        values = port_values_;
    }
    for (const auto& [index, value] : values) {
        deliver_port(index, value, "");
    }
    return true;
}

void Host::cleanup() {
    if (!ui_) {
        return;
    }
    descriptor_->cleanup(ui_);
    ui_ = nullptr;
    ui_live_ = false;
    widget_ = 0;
    {
        std::lock_guard<std::mutex> lock(state_mutex_);
        echoes_.clear();
    }
    log_line("cleanup");
    check_parent_empty();
}

// The UI's windows go when its connection closes, which the server may handle a moment after
// cleanup returns: look again for a while before calling a window left behind.
void Host::check_parent_empty() {
    for (int attempt = 0;; ++attempt) {
        XSync(display_, False);
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        std::vector<Window> left;
        if (XQueryTree(display_, parent_, &root, &parent, &children, &count)) {
            left.assign(children, children + count);
            if (children) {
                XFree(children);
            }
        }
        if (left.empty()) {
            return;
        }
        if (attempt == 50) {
            for (Window window : left) {
                log_line("error window 0x%lx left in the parent after cleanup", window);
            }
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void Host::deliver_port(uint32_t index, float value, const char* note) {
    if (!ui_ || !descriptor_->port_event) {
        return;
    }
    log_line("port-event %u %s%s", index, float_text(value).c_str(), note);
    descriptor_->port_event(ui_, index, sizeof(float), 0, &value);
}

void Host::deliver_echoes() {
    std::vector<std::pair<uint32_t, float>> echoes;
    {
        std::lock_guard<std::mutex> lock(state_mutex_);
        echoes.swap(echoes_);
    }
    for (const auto& [index, value] : echoes) {
        deliver_port(index, value, " echo");
    }
}

void Host::call_idle() {
    if (!ui_ || !idle_interface_) {
        return;
    }
    if (idle_interface_->idle(ui_) != 0) {
        log_line("idle-stop");
        cleanup();
    }
}

bool Host::from_main_thread(const char* what) {
    if (std::this_thread::get_id() == main_thread_) {
        return true;
    }
    log_line("error %s from another thread than the host's", what);
    return false;
}

void Host::write_function(LV2UI_Controller controller, uint32_t index, uint32_t size,
                          uint32_t protocol, const void* buffer) {
    auto* host = static_cast<Host*>(controller);
    host->from_main_thread("write");
    if (!host->ui_live_) {
        log_line("error write to port %u after cleanup", index);
        return;
    }
    if (protocol != 0 && protocol != host->float_protocol_) {
        const char* uri = host->urids_.unmap(protocol);
        log_line("write-other %u %u %s", index, size, uri ? uri : "(unmapped)");
        return;
    }
    if (size != sizeof(float) || !buffer) {
        log_line("error write to port %u of a control value with %u bytes", index, size);
        return;
    }
    float value;
    std::memcpy(&value, buffer, sizeof value);
    log_line("write %u %s", index, float_text(value).c_str());
    std::lock_guard<std::mutex> lock(host->state_mutex_);
    host->port_values_[index] = value;
    if (host->echo_) {
        host->echoes_.emplace_back(index, value);
    }
}

int Host::resize_function(LV2UI_Feature_Handle handle, int width, int height) {
    auto* host = static_cast<Host*>(handle);
    bool on_main_thread = host->from_main_thread("resize");
    if (!host->ui_live_) {
        log_line("error resize after cleanup");
        return 1;
    }
    log_line("resize %d %d", width, height);
    if (width < 1 || height < 1) {
        log_line("error resize to an empty size");
        return 1;
    }
    // Xlib calls on our connection belong to the main thread alone.
    if (on_main_thread) {
        XResizeWindow(host->display_, host->parent_, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
        XFlush(host->display_);
    }
    return 0;
}

void Host::touch_function(LV2UI_Feature_Handle handle, uint32_t index, bool grabbed) {
    auto* host = static_cast<Host*>(handle);
    host->from_main_thread("touch");
    if (!host->ui_live_) {
        log_line("error touch of port %u after cleanup", index);
        return;
    }
    log_line("touch %u %d", index, grabbed ? 1 : 0);
}

void Host::handle_x_events() {
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        switch (event.type) {
        case CreateNotify:
            log_line("child-create 0x%lx %d %d %d %d", event.xcreatewindow.window,
                     event.xcreatewindow.x, event.xcreatewindow.y, event.xcreatewindow.width,
                     event.xcreatewindow.height);
            break;
        case ConfigureNotify:
            if (event.xconfigure.window == parent_) {
                log_line("parent-configure %d %d", event.xconfigure.width, event.xconfigure.height);
            } else {
                log_line("child-configure 0x%lx %d %d %d %d", event.xconfigure.window,
                         event.xconfigure.x, event.xconfigure.y, event.xconfigure.width,
                         event.xconfigure.height);
            }
            break;
        case MapNotify:
            if (event.xmap.window != parent_) {
                log_line("child-map 0x%lx", event.xmap.window);
            }
            break;
        case UnmapNotify:
            if (event.xunmap.window != parent_) {
                log_line("child-unmap 0x%lx", event.xunmap.window);
            }
            break;
        case ReparentNotify:
            if (event.xreparent.window != parent_) {
                log_line("child-reparent 0x%lx", event.xreparent.window);
            }
            break;
        case DestroyNotify:
            if (event.xdestroywindow.window != parent_) {
                log_line("child-destroy 0x%lx", event.xdestroywindow.window);
            }
            break;
        default:
            break;
        }
    }
}

void Host::report_windows() {
    XSync(display_, False);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display_, parent_, &attributes)) {
        log_line("parent 0x%lx %d %d %d %d depth %d visual 0x%lx", parent_, attributes.x,
                 attributes.y, attributes.width, attributes.height, attributes.depth,
                 XVisualIDFromVisual(attributes.visual));
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, parent_, &root, &parent, &children, &count)) {
        return;
    }
    for (unsigned i = 0; i < count; ++i) {
        Window child = children[i];
        if (!XGetWindowAttributes(display_, child, &attributes)) {
            continue;
        }
        int root_x = 0, root_y = 0;
        Window ignored = 0;
        XTranslateCoordinates(display_, child, root, 0, 0, &root_x, &root_y, &ignored);
        log_line("child 0x%lx %d %d %d %d mapped %d root-x %d root-y %d depth %d visual 0x%lx",
                 child, attributes.x, attributes.y, attributes.width, attributes.height,
                 attributes.map_state != IsUnmapped ? 1 : 0, root_x, root_y, attributes.depth,
                 XVisualIDFromVisual(attributes.visual));
    }
    if (children) {
        XFree(children);
    }
}

// The UI maps its window on its own connection, which the server may serve after a request of
// ours that came later: a window about to be shown gets a moment (up to half a second).
bool Host::wait_until_viewable(Window window, XWindowAttributes& attributes) {
    for (int attempt = 0; attempt < 50; ++attempt) {
        XSync(display_, False);
        if (!XGetWindowAttributes(display_, window, &attributes)) {
            return false;
        }
        if (attributes.map_state == IsViewable) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void Host::screenshot(const std::string& path, bool of_parent) {
    Window window = of_parent || !widget_ ? parent_ : widget_;
    XWindowAttributes attributes;
    if (!wait_until_viewable(window, attributes)) {
        log_line("error screenshot: window 0x%lx is not shown", window);
        return;
    }
    XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(attributes.width),
                              static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    if (!image) {
        log_line("error screenshot: cannot read window 0x%lx", window);
        return;
    }
    std::vector<uint8_t> rgb;
    rgb.reserve(3 * static_cast<size_t>(image->width) * static_cast<size_t>(image->height));
    const Visual* visual = attributes.visual;
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            unsigned long pixel = XGetPixel(image, x, y);
            rgb.push_back(channel(pixel, visual->red_mask));
            rgb.push_back(channel(pixel, visual->green_mask));
            rgb.push_back(channel(pixel, visual->blue_mask));
        }
    }
    int width = image->width, height = image->height;
    XDestroyImage(image);
    if (!write_png(path, width, height, rgb)) {
        log_line("error screenshot: cannot write %s", path.c_str());
        return;
    }
    log_line("screenshot %s %d %d", path.c_str(), width, height);
}

void Host::run_cycles(long count) {
    bool was_open = ui_ != nullptr;
    cleanup();
    for (long i = 0; i < count; ++i) {
        if (!instantiate()) {
            break;
        }
        handle_x_events();
        call_idle();
        cleanup();
        handle_x_events();
    }
    if (was_open) {
        instantiate();
    }
    log_line("cycles %ld", count);
}

void Host::execute(const std::string& line) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command.empty() || command[0] == '#') {
        return;
    }
    auto wrong = [&] { log_line("error cannot run \"%s\"", line.c_str()); };
    if (command == "port") {
        uint32_t index = 0;
        float value = 0;
        if (!(words >> index >> value)) {
            return wrong();
        }
        {
            std::lock_guard<std::mutex> lock(state_mutex_);
            port_values_[index] = value;
        }
        if (!ui_) {
            log_line("error port %u: no UI is open", index);
        }
        deliver_port(index, value, "");
    } else if (command == "echo") {
        std::string state;
        words >> state;
        if (state != "on" && state != "off") {
            return wrong();
        }
        std::lock_guard<std::mutex> lock(state_mutex_);
        echo_ = state == "on";
        log_line("echo %s", state.c_str());
    } else if (command == "hide" || command == "show") {
        if (!ui_) {
            log_line("error %s: no UI is open", command.c_str());
        } else if (!show_interface_) {
            log_line("%s unsupported", command.c_str());
        } else {
            int rc = command == "show" ? show_interface_->show(ui_) : show_interface_->hide(ui_);
            log_line("%s %d", command.c_str(), rc);
        }
    } else if (command == "screenshot") {
        std::string path, which;
        if (!(words >> path)) {
            return wrong();
        }
        words >> which;
        screenshot(path, which == "parent");
    } else if (command == "close") {
        if (!ui_) {
            log_line("error close: no UI is open");
        }
        cleanup();
    } else if (command == "open") {
        if (ui_) {
            log_line("error open: the UI is open already");
        } else {
            instantiate();
        }
    } else if (command == "cycles") {
        long count = 0;
        if (!(words >> count) || count < 0) {
            return wrong();
        }
        run_cycles(count);
    } else if (command == "size") {
        int width = 0, height = 0;
        if (!(words >> width >> height) || width < 1 || height < 1) {
            return wrong();
        }
        XResizeWindow(display_, parent_, static_cast<unsigned>(width),
                      static_cast<unsigned>(height));
        XFlush(display_);
        if (ui_ && ui_resize_interface_) {
            int rc = ui_resize_interface_->ui_resize(ui_, width, height);
            log_line("size %d %d ui %d", width, height, rc);
        } else {
            log_line("size %d %d ui unsupported", width, height);
        }
    } else if (command == "wm-close") {
        std::string id;
        if (!(words >> id)) {
            return wrong();
        }
        XClientMessageEvent message{};
        message.type = ClientMessage;
        message.window = static_cast<Window>(std::strtoul(id.c_str(), nullptr, 0));
        message.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
        message.format = 32;
        message.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
        message.data.l[1] = CurrentTime;
        XSendEvent(display_, message.window, False, NoEventMask,
                   reinterpret_cast<XEvent*>(&message));
        XSync(display_, False);
        log_line("wm-close 0x%lx", message.window);
    } else if (command == "focus") {
        Window window = widget_ ? widget_ : parent_;
        XWindowAttributes attributes;
        if (!wait_until_viewable(window, attributes)) {
            log_line("error focus: window 0x%lx is not shown", window);
            return;
        }
        XSetInputFocus(display_, window, RevertToParent, CurrentTime);
        XSync(display_, False);
        log_line("focus 0x%lx", window);
    } else if (command == "info") {
        handle_x_events();
        report_windows();
    } else if (command == "sleep") {
        long milliseconds = 0;
        if (!(words >> milliseconds) || milliseconds < 0) {
            return wrong();
        }
        commands_paused_until_ = Clock::now() + std::chrono::milliseconds(milliseconds);
    } else if (command == "sync") {
        std::string token;
        words >> token;
        XSync(display_, False);
        handle_x_events();
        log_line("sync %s", token.c_str());
    } else if (command == "quit") {
        quit_ = true;
    } else {
        wrong();
    }
}

void Host::shut_down() {
    cleanup();
    if (display_) {
        if (parent_) {
            XDestroyWindow(display_, parent_);
        }
        if (own_colormap_) {
            XFreeColormap(display_, parent_colormap_);
        }
        XCloseDisplay(display_);
        display_ = nullptr;
        host_display = nullptr;
    }
    if (library_) {
        dlclose(library_);
        library_ = nullptr;
    }
}

int Host::run() {
    if (!open_display() || !create_parent()) {
        return 1;
    }
    if (!load_module()) {
        return 2;
    }
    build_features();
    start_ = Clock::now();
    commands_paused_until_ = start_;
    if (!instantiate()) {
        return 2;
    }
    std::vector<ScheduledCommand> scheduled = settings_.scheduled;
    const auto period = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(1.0 / settings_.rate));
    auto next_idle = Clock::now();
    int input_flags = fcntl(STDIN_FILENO, F_GETFL);
    if (input_flags != -1) {
        fcntl(STDIN_FILENO, F_SETFL, input_flags | O_NONBLOCK);
    }

    while (!quit_) {
        handle_x_events();
        auto now = Clock::now();
        double elapsed = std::chrono::duration<double>(now - start_).count();
        for (auto it = scheduled.begin(); it != scheduled.end() && !quit_;) {
            if (it->seconds <= elapsed) {
                std::string command = it->command;
                it = scheduled.erase(it);
                execute(command);
            } else {
                ++it;
            }
        }
        while (!quit_ && !commands_.empty() && Clock::now() >= commands_paused_until_) {
            std::string command = commands_.front();
            commands_.pop_front();
            execute(command);
        }
        if (quit_) {
            break;
        }
        if (settings_.duration >= 0 && elapsed >= settings_.duration) {
            break;
        }
        bool all_run = commands_.empty() && scheduled.empty() && now >= commands_paused_until_;
        if (!input_open_ && settings_.duration < 0 && all_run) {
            break;
        }

        now = Clock::now();
        if (now >= next_idle) {
            deliver_echoes();
            call_idle();
            handle_x_events();
            next_idle += period;
            if (next_idle < now) {
                next_idle = now + period; // fell behind: keep the pace, skip
            }
            continue;
        }
        auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next_idle - now);
        pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        poll(fds, input_open_ ? 2 : 1, static_cast<int>(wait.count()) + 1);
        if (input_open_ && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            char buffer[4096];
            ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
            if (got > 0) {
                input_.append(buffer, static_cast<size_t>(got));
                size_t end;
                while ((end = input_.find('\n')) != std::string::npos) {
                    commands_.push_back(input_.substr(0, end));
                    input_.erase(0, end + 1);
                }
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                input_open_ = false;
                if (!input_.empty()) {
                    commands_.push_back(input_);
                }
                input_.clear();
            }
        }
    }
    cleanup();
    handle_x_events();
    log_line("quit");
    return 0;
}

int list_visuals() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "lv2_ui_host: cannot open the X display (is DISPLAY set?)\n");
        return 1;
    }
    XVisualInfo wanted{};
    wanted.screen = DefaultScreen(display);
    int count = 0;
    XVisualInfo* visuals = XGetVisualInfo(display, VisualScreenMask, &wanted, &count);
    VisualID default_id = XVisualIDFromVisual(DefaultVisual(display, wanted.screen));
    for (int i = 0; i < count; ++i) {
        log_line("visual 0x%lx depth %d class %s%s", visuals[i].visualid, visuals[i].depth,
                 visual_class_name(visuals[i].c_class),
                 visuals[i].visualid == default_id ? " default" : "");
    }
    if (visuals) {
        XFree(visuals);
    }
    XCloseDisplay(display);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Settings settings;
    if (!parse_settings(argc, argv, settings)) {
        return 1;
    }
    if (settings.list_visuals) {
        return list_visuals();
    }
    Watchdog watchdog(settings.watchdog);
    log_line("host-start pid %d", static_cast<int>(getpid()));
    int status;
    {
        Host host(settings);
        status = host.run();
    }
    return status;
}

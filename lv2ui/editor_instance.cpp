#include "lv2ui/editor_instance.h"

#include <poll.h>

#include <chrono>
#include <cstring>
#include <new>

#include "editor/kel_prop_page.h"
#include "presets/layout_selector.h"
#include "widgets/frame.h"
#include "widgets/frame_window_xcb.h"

namespace kel::lv2ui {

namespace {

// How often the editor idles between events, as a VST host idles its editors (ms).
constexpr int kIdleInterval = 33;
// The longest the host's thread waits for the editor's window to open or close.
constexpr auto kAnswerTimeout = std::chrono::seconds(10);

} // namespace

std::unique_ptr<EditorInstance> EditorInstance::create(const model::PluginDescription& description,
                                                       const HostFeatures& host) {
    std::unique_ptr<EditorInstance> instance(new (std::nothrow) EditorInstance(description, host));
    if (!instance) {
        return nullptr;
    }
    instance->thread = std::thread(&EditorInstance::run, instance.get());
    if (host.parent) {
        instance->ask(Request::Open, true);
        if (instance->windowId == 0) {
            return nullptr; // the destructor ends the thread
        }
        if (host.resize) {
            const editor::EditorLayout& size =
                editor::layoutFor(instance->settings.tallLayout ? presets::kTallLayoutSelector
                                                                : presets::kWideLayoutSelector);
            host.resize->ui_resize(host.resize->handle, size.width, size.height);
        }
    }
    return instance;
}

EditorInstance::EditorInstance(const model::PluginDescription& description,
                               const HostFeatures& features)
    : plugin(description), host(features), link(description), settings(readEditorSettings()) {}

EditorInstance::~EditorInstance() {
    interrupting.store(true);
    if (thread.joinable()) {
        ask(Request::Quit, false);
        thread.join();
    }
    // What the editor set last reaches the plug-in, the end of a gesture cut short included.
    link.flush(*this);
}

void EditorInstance::ask(Request what, bool waitForAnswer) {
    if (what == Request::Close || what == Request::Quit) {
        interrupting.store(true);
    }
    std::unique_lock<std::mutex> guard(requestLock);
    request = what;
    answered = false;
    requestChanged.notify_all();
    if (waitForAnswer) {
        requestChanged.wait_for(guard, kAnswerTimeout, [this] { return answered; });
    }
}

void EditorInstance::portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                               const void* buffer) {
    if (format != 0 || size != sizeof(float) || !buffer) {
        return;
    }
    float value = 0.0f;
    std::memcpy(&value, buffer, sizeof value);
    float parameter = 0.0f;
    if (!link.portChanged(port, value, parameter)) {
        return;
    }
    // Off the editor's thread the page only takes the value over; its thread shows it.
    const std::lock_guard<std::mutex> guard(pageLock);
    if (!page) {
        return;
    }
    if (hostHasIdled) {
        page->setParameter(static_cast<VstInt32>(port), parameter);
    } else {
        page->setOpeningParameter(static_cast<VstInt32>(port), parameter);
    }
}

int EditorInstance::idle() {
    hostHasIdled = true;
    link.flush(*this);
    return windowGone.load() ? 1 : 0;
}

int EditorInstance::show() {
    if (!host.parent) {
        ask(Request::Open, true);
    }
    return windowGone.load() ? 1 : 0;
}

int EditorInstance::hide() {
    if (!host.parent) {
        ask(Request::Close, true);
    }
    return 0;
}

void EditorInstance::write(std::uint32_t port, float value) {
    if (host.write) {
        host.write(host.controller, port, sizeof value, 0, &value);
    }
}

void EditorInstance::touch(std::uint32_t port, bool grabbed) {
    if (host.touch) {
        host.touch->touch(host.touch->handle, port, grabbed);
    }
}

void EditorInstance::parameterChanged(int index, float value) {
    if (page) {
        page->setParameter(index, value);
    }
}

bool EditorInstance::openEditor() {
    if (page) {
        return true;
    }
    auto* made = new (std::nothrow) editor::KelPropPage(link, plugin);
    if (!made) {
        return false;
    }
    if (made->bank()) {
        made->bank()->setLayoutSelector(settings.tallLayout ? presets::kTallLayoutSelector
                                                            : presets::kWideLayoutSelector);
    }
    // One mode for every knob of the module, as a VST 2.x host sets it.
    made->setKnobMode(settings.linearKnobs ? 2 : 0);
    {
        const std::lock_guard<std::mutex> guard(pageLock);
        page.reset(made);
    }
    if (!page->open(host.parent) || !page->getFrame()) {
        closeEditor();
        return false;
    }
    VSTGUI::xcb::releaseMouseOn(*page->getFrame(), interrupting);
    if (!host.parent) {
        VSTGUI::xcb::setTitle(*page->getFrame(), plugin.effectName);
    }
    link.setListener(this);
    windowId = VSTGUI::xcb::windowId(*page->getFrame());
    windowGone.store(false);
    return true;
}

void EditorInstance::closeEditor() {
    link.setListener(nullptr);
    std::unique_ptr<editor::KelPropPage> closed;
    {
        const std::lock_guard<std::mutex> guard(pageLock);
        closed = std::move(page);
    }
    if (closed) {
        closed->close(); // saves the quick slots
    }
}

void EditorInstance::run() {
    for (;;) {
        Request next = Request::None;
        {
            std::lock_guard<std::mutex> guard(requestLock);
            next = request;
            request = Request::None;
        }
        if (next == Request::Quit) {
            break;
        }
        if (next == Request::Open || next == Request::Close) {
            if (next == Request::Open) {
                interrupting.store(false);
                openEditor();
            } else {
                closeEditor();
            }
            std::lock_guard<std::mutex> guard(requestLock);
            answered = true;
            requestChanged.notify_all();
        }
        VSTGUI::CFrame* frame = page ? page->getFrame() : nullptr;
        if (!frame) {
            // Nothing open: wait for the host's next request.
            std::unique_lock<std::mutex> guard(requestLock);
            requestChanged.wait(guard, [this] { return request != Request::None; });
            continue;
        }
        pollfd events{VSTGUI::xcb::eventDescriptor(*frame), POLLIN, 0};
        poll(&events, 1, kIdleInterval);
        if (!VSTGUI::xcb::handleEvents(*frame)) {
            windowGone.store(true);
            closeEditor();
            continue;
        }
        page->idle();
    }
    closeEditor();
}

} // namespace kel::lv2ui

// One LV2 UI instance: the plug-in's editor on a thread of its own, with its own window inside
// the host's (or a window of its own for hosts that show rather than embed), reaching the
// plug-in through the host.
//
// Threads: the host calls everything public on its user-interface thread. The editor, its
// window, its bank and its event loop live on the editor's thread, which the instance starts and
// joins. The two meet in the port link (values, and writes queued for the host's idle) and in a
// few flags; the host's thread never waits on the editor for longer than it takes to open or
// close the window.
#pragma once

#include <lv2/ui/ui.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "lv2ui/editor_settings.h"
#include "lv2ui/port_effect_link.h"
#include "model/plugin_description.h"

namespace kel::editor {
class KelPropPage;
}

namespace kel::lv2ui {

// What the host offered at instantiation.
struct HostFeatures {
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    void* parent = nullptr; // the X window to embed into; null: a window of our own on show()
    const LV2UI_Resize* resize = nullptr;
    const LV2UI_Touch* touch = nullptr;
};

class EditorInstance : private HostPorts, private ParameterListener {
public:
    // Starts the editor's thread and, where the host embeds, waits until the window is open.
    // Null when it could not be made.
    static std::unique_ptr<EditorInstance> create(const model::PluginDescription& description,
                                                  const HostFeatures& host);
    // Ends the editor (a mouse loop under way ends with it), waits for its thread, and hands the
    // host what the editor still had for it.
    ~EditorInstance() override;
    EditorInstance(const EditorInstance&) = delete;
    EditorInstance& operator=(const EditorInstance&) = delete;

    // The X window the host embeds; 0 for a host that shows our own window instead.
    unsigned long widget() const { return windowId; }

    // Until the host's first idle, its port events are the plug-in's values as the window opens
    // (hosts send every control port once after instantiation); later ones are changes.
    void portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                   const void* buffer);
    // Hands the editor's port writes and gestures to the host. Non-zero once the window is gone
    // (closed by its user, or its parent destroyed): the host should close the UI.
    int idle();
    // For hosts that do not embed: opens or closes the editor's own window.
    int show();
    int hide();

private:
    EditorInstance(const model::PluginDescription& description, const HostFeatures& host);

    void write(std::uint32_t port, float value) override;
    void touch(std::uint32_t port, bool grabbed) override;
    void parameterChanged(int index, float value) override;

    // The editor's thread.
    void run();
    bool openEditor();
    void closeEditor();

    enum class Request { None, Open, Close, Quit };
    void ask(Request request, bool waitForAnswer);

    const model::PluginDescription& plugin;
    const HostFeatures host;
    PortEffectLink link;
    EditorSettings settings;

    // The editor's thread's own.
    std::unique_ptr<editor::KelPropPage> page;

    std::mutex pageLock; // page's lifetime, against the host's port events
    std::mutex requestLock;
    std::condition_variable requestChanged;
    Request request = Request::None;
    bool answered = false;
    // Set while the host closes or hides the editor: a mouse loop, menu, dialog or message box
    // under way ends (as if let go or cancelled), so that the request is answered at once.
    std::atomic<bool> interrupting{false};
    std::atomic<bool> windowGone{false};
    bool hostHasIdled = false; // the host's thread's own
    unsigned long windowId = 0;
    std::thread thread;
};

} // namespace kel::lv2ui

// The effect as the editor reaches it in an LV2 UI: the plug-in's control ports, written and read
// through the host. The editor runs on a thread of the UI's own; the host calls port_event and
// idle on its user-interface thread. Writes and gestures wait in a queue that the host's idle
// hands over, in the order they were made; every value the editor sets is what it reads back at
// once, whether or not the host ever echoes it.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "model/effect_link.h"
#include "model/parameters.h"
#include "model/plugin_description.h"

namespace kel::lv2ui {

// What the host offers for the queued work: the port writes (ui:portNotification's other way)
// and the edit gestures (ui:touch, where offered).
class HostPorts {
public:
    virtual ~HostPorts() = default;
    virtual void write(std::uint32_t port, float value) = 0;
    virtual void touch(std::uint32_t port, bool grabbed) = 0;
};

// Told of every change the editor makes through the link, at once and on the editor's thread,
// as the VST 2.x effect tells its editor of every parameter it sets (the status line follows
// them). Index 7 is the program marker, with the built-in preset chosen.
class ParameterListener {
public:
    virtual ~ParameterListener() = default;
    virtual void parameterChanged(int index, float value) = 0;
};

class PortEffectLink : public model::EffectLink {
public:
    explicit PortEffectLink(const model::PluginDescription& description);

    // Editor's thread; null: nobody.
    void setListener(ParameterListener* editor) { listener = editor; }

    // Host's thread: a control port's value as the host has it now (an automation, a preset it
    // loaded, the echo of our own write). Gives whether the editor's parameter changed, and its
    // new value in `parameter` (the editor's units: 0..1, 1.0 for Effect off).
    bool portChanged(std::uint32_t port, float value, float& parameter);
    // Host's thread, at its idle: hands every queued write and gesture to the host.
    void flush(HostPorts& host);

    // Editor's thread.
    float parameter(int index) override;
    void setParameterAutomated(int index, float value) override;
    // The DSP hears nothing but its ports: the same as an automated change.
    void setParameter(int index, float value) override { setParameterAutomated(index, value); }
    void beginEdit(int index) override;
    void endEdit(int index) override;
    // Built-in presets are not programs in LV2: the name is remembered for the slot buttons, the
    // listener hears of the program marker, and the bank writes the preset's values to the
    // ports next.
    void selectProgram(int number) override;
    std::string programName() override;
    std::string effectName() override { return plugin.effectName; }
    // The host runs on its own thread; there is nothing to give it.
    void idleHost() override {}

    // The port value of an editor parameter value, and the other way.
    static float portValue(int index, float parameter);
    static float parameterValue(int index, float port, float current);

private:
    struct Work {
        std::uint32_t port;
        enum Kind { Write, Grab, Release } kind;
        float value;
    };

    const model::PluginDescription& plugin;
    ParameterListener* listener = nullptr;
    std::mutex lock; // parameters, program and queue; held only to copy
    std::array<float, model::kNumParameters> parameters{};
    std::string program;
    std::vector<Work> queue;
};

} // namespace kel::lv2ui

#include "lv2ui/port_effect_link.h"

#include <cmath>

#include "model/parameter_values.h"
#include "shell/effect_constants.h"

namespace kel::lv2ui {

using namespace kel::model;
using kel::shell::kProgramMarker;

namespace {

bool isParameter(int index) {
    return index >= 0 && index < kNumParameters;
}

} // namespace

PortEffectLink::PortEffectLink(const PluginDescription& description)
    : plugin(description), program(description.builtIns[0].name) {
    // What the VST 2.x effect holds at first: the effect on and the default program's values,
    // which the ports' defaults show (Output 70 is 0.7, which the port shows as 69).
    parameters[kEffectParameter] = 0.0f;
    for (int index = kGainParameter; index < kNumParameters; ++index) {
        parameters[static_cast<std::size_t>(index)] = toParameterValue(
            description.builtIns[0].values[index - kGainParameter], 0, kParameterTable[index].span);
    }
}

float PortEffectLink::portValue(int index, float parameter) {
    if (index == kEffectParameter) {
        return parameter >= 0.5f ? 0.0f : 1.0f; // the Effect parameter's 1.0 is the port's off
    }
    return static_cast<float>(toPresetValue(parameter, 0, kParameterTable[index].span));
}

float PortEffectLink::parameterValue(int index, float port, float current) {
    if (index == kEffectParameter) {
        if (std::isnan(port)) {
            return current;
        }
        return port > 0.0f ? 0.0f : 1.0f;
    }
    const int span = kParameterTable[index].span;
    const int setting = truncateToSetting(static_cast<double>(port), 0, span);
    // The editor's own value while it still shows the same setting: a knob turned to 0.7 reads
    // back 0.7, not the 0.69 of its setting.
    if (toPresetValue(current, 0, span) == setting) {
        return current;
    }
    return toParameterValue(setting, 0, span);
}

bool PortEffectLink::portChanged(std::uint32_t port, float value, float& parameter) {
    if (port >= static_cast<std::uint32_t>(kNumParameters)) {
        return false;
    }
    const std::lock_guard<std::mutex> guard(lock);
    float& held = parameters[port];
    const float next = parameterValue(static_cast<int>(port), value, held);
    const bool changed = next != held;
    held = next;
    parameter = next;
    return changed;
}

void PortEffectLink::flush(HostPorts& host) {
    std::vector<Work> work;
    {
        const std::lock_guard<std::mutex> guard(lock);
        work.swap(queue);
    }
    for (const Work& item : work) {
        if (item.kind == Work::Write) {
            host.write(item.port, item.value);
        } else {
            host.touch(item.port, item.kind == Work::Grab);
        }
    }
}

float PortEffectLink::parameter(int index) {
    if (!isParameter(index)) {
        return 0.0f;
    }
    const std::lock_guard<std::mutex> guard(lock);
    return parameters[static_cast<std::size_t>(index)];
}

void PortEffectLink::setParameterAutomated(int index, float value) {
    if (!isParameter(index)) {
        return;
    }
    {
        const std::lock_guard<std::mutex> guard(lock);
        parameters[static_cast<std::size_t>(index)] = value;
        queue.push_back({static_cast<std::uint32_t>(index), Work::Write, portValue(index, value)});
    }
    if (listener) {
        listener->parameterChanged(index, value);
    }
}

void PortEffectLink::beginEdit(int index) {
    if (isParameter(index)) {
        const std::lock_guard<std::mutex> guard(lock);
        queue.push_back({static_cast<std::uint32_t>(index), Work::Grab, 0.0f});
    }
}

void PortEffectLink::endEdit(int index) {
    if (isParameter(index)) {
        const std::lock_guard<std::mutex> guard(lock);
        queue.push_back({static_cast<std::uint32_t>(index), Work::Release, 0.0f});
    }
}

void PortEffectLink::selectProgram(int number) {
    if (number < 0 || number >= kBuiltInCount) {
        return;
    }
    {
        const std::lock_guard<std::mutex> guard(lock);
        program = plugin.builtIns[number].name;
    }
    if (listener) {
        listener->parameterChanged(kProgramMarker, toParameterValue(number, 0, kBuiltInCount));
    }
}

std::string PortEffectLink::programName() {
    const std::lock_guard<std::mutex> guard(lock);
    return program;
}

} // namespace kel::lv2ui

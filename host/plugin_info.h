// Everything a host can learn about a plug-in instance without playing audio.
#pragma once

#include <string>
#include <vector>

#include "host/plugin_module.h"

namespace kel::host {

struct ParameterInfoRow {
    int index;
    std::string name, label, display;
    float value;
};

struct PinInfoRow {
    bool input;
    int index;
    bool present;
    std::string label;
    VstInt32 flags;
};

struct CanDoRow {
    std::string capability;
    VstIntPtr answer;
};

struct PluginInfo {
    std::string effectName, vendor, product;
    VstIntPtr vendorVersion = 0, vstVersion = 0, category = 0, currentProgram = 0;
    AEffect record{};
    std::vector<ParameterInfoRow> parameters;
    std::vector<std::string> programs;
    std::vector<PinInfoRow> pins;
    std::vector<CanDoRow> canDo;
    bool hasRect = false;
    ERect rect{};
};

PluginInfo collectInfo(const PluginInstance& plugin);
std::string fourCharText(VstInt32 code);
std::string formatInfoText(const PluginInfo& info);
std::string formatInfoJson(const PluginInfo& info);

} // namespace kel::host

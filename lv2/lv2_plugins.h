// The bundle's plug-ins as LV2 hosts know them. URIs and port symbols name the plug-ins, their
// presets and their controls in hosts' sessions: once published they never change.
#pragma once

#include <string>

#include "model/parameters.h"
#include "model/plugin_description.h"
#include "plugins/clean/clean_model.h"
#include "plugins/crunch/crunch_model.h"

namespace kel::lv2 {

struct Lv2Plugin {
    const model::PluginDescription& description;
    const char* uri;
    const char* controlSymbols[model::kNumParameters]; // in parameter order
};

// The product, which the plug-ins name as their project.
inline constexpr const char* kProjectUri = "https://sonadrix.com/lv2/orvalle-vol2";

// LV2's version of the plug-ins' interface: an even minor version marks a release, and it rises
// when the ports change in a way old sessions can still load; an even micro version rises when
// what a host shows or hears changes with the same ports.
inline constexpr int kMinorVersion = 2;
inline constexpr int kMicroVersion = 2;

inline constexpr Lv2Plugin kCleanPlugin{
    clean::CleanModel::description,
    "https://sonadrix.com/lv2/orvalle-vol2/hn6-clean-preamp",
    {"enabled", "gain", "bright", "output"},
};

inline constexpr Lv2Plugin kCrunchPlugin{
    crunch::CrunchModel::description,
    "https://sonadrix.com/lv2/orvalle-vol2/kr6-crunch-preamp",
    {"enabled", "gain", "mid_boost", "output"},
};

// The plug-in's editor, its LV2 UI.
inline std::string uiUri(const Lv2Plugin& plugin) {
    return std::string(plugin.uri) + "#ui";
}

// Built-in preset `number` (0 to 4) of a plug-in.
inline std::string presetUri(const Lv2Plugin& plugin, int number) {
    return std::string(plugin.uri) + "/presets/" + std::to_string(number);
}

} // namespace kel::lv2

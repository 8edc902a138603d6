// The Turtle files of a plug-in's bundle, made from the model's tables: the manifest that tells
// hosts what the bundle holds, the plug-in's description with its ports, and its built-in
// presets. Pure functions on text; lv2/write_bundle.cpp writes them at build time.
#pragma once

#include <string>

#include "lv2/lv2_plugins.h"

namespace kel::lv2 {

inline constexpr const char* kPluginFile = "plugin.ttl";
inline constexpr const char* kPresetsFile = "presets.ttl";
// The licence, which every bundle carries beside its Turtle files and names as the plug-in's.
inline constexpr const char* kLicenseFile = "LICENSE.txt";

// manifest.ttl: the plug-in with its module `binaryFile` (a file name in the bundle), its editor
// with the UI module `uiBinaryFile`, and the presets, each with the file that describes it.
std::string manifestTurtle(const Lv2Plugin& plugin, const std::string& binaryFile,
                           const std::string& uiBinaryFile);

// plugin.ttl: names, descriptions, the licence, the project and its maintainer, capabilities, and
// every port with its range, default, unit and description; the stereo ports in port groups.
std::string pluginTurtle(const Lv2Plugin& plugin);

// presets.ttl: the built-in presets with their names and the values of the three knob ports.
std::string presetsTurtle(const Lv2Plugin& plugin);

} // namespace kel::lv2

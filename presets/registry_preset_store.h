// The user presets and quick-slot names in the registry of the current user, as every version of
// the plug-ins has kept them: under HKEY_CURRENT_USER, one binary value per user preset under one
// key that both plug-ins share, and the string values "P1" to "P4" under another. A registry
// change notification on the preset key tells every instance of a change.
#pragma once

#include "presets/user_preset_store.h"

namespace kel::presets {

inline constexpr const char* kUserPresetKey =
    "Software\\DirectShow\\Presets\\{58C1FE36-DD8E-11d3-9057-000000000000}";
inline constexpr const char* kQuickSlotKey = "Software\\Sonadrix\\VST\\RX4";

} // namespace kel::presets

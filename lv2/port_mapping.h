// What a control port's value means for the effect. Hosts may send any float; every value maps to
// a setting the way the VST 2.x build maps its normalised parameter values.
#pragma once

#include "model/plugin_description.h"

namespace kel::lv2 {

// A Gain, Bright or Mid Boost, or Output port carries the setting the editor shows (0..span):
// truncated toward zero and clamped to 0..span; NaN gives 0.
int settingFromPort(float value, int span);

// The host's enable switch: a value above 0 processes, 0 or below bypasses (hosts send 1 and 0),
// NaN keeps the state. Gives whether the effect is on afterwards.
bool enabledAfter(float value, bool enabled);

// The value of parameter 1 to 3's port in built-in preset `number`: the setting the VST 2.x build
// holds once the preset is loaded as a program, its stored value having gone to a parameter value
// and back (Output 70 holds 69).
int presetSetting(const model::PluginDescription& plugin, int number, int parameter);

} // namespace kel::lv2

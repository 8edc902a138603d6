// What a control port's value means for the effect. Hosts may send any float; every value maps to
// a setting the way the VST 2.x build maps its normalised parameter values.
#pragma once

#include "model/plugin_description.h"

namespace kel::lv2 {

// A Gain, Bright or Mid Boost, or Output port carries the setting the editor shows (0..span):
// truncated toward zero and clamped to 0..span; NaN gives 0.
int settingFromPort(float value, int span);

// The enable switch (1 on, 0 off) with the hysteresis of the Effect parameter, whose values run
// the other way (1.0 off): below 0.25 switches the effect off, above 0.75 on; in between (both
// ends included) and NaN keep the state. Gives whether the effect is bypassed afterwards.
bool bypassedAfter(float enabled, bool bypassed);

// The value of parameter 1 to 3's port in built-in preset `number`: the setting the VST 2.x build
// holds once the preset is loaded as a program, its stored value having gone to a parameter value
// and back (Output 70 holds 69).
int presetSetting(const model::PluginDescription& plugin, int number, int parameter);

} // namespace kel::lv2

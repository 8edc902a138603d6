// Conversions between the integer settings of a preset and normalised parameter values.
#pragma once

namespace kel::model {

// Integer setting (clamped to low..high) to the normalised value (setting - low) / (high - low),
// rounded to single precision.
float toParameterValue(int setting, int low, int high);

// Normalised value to the integer setting: (high - low) * value + low, truncated toward zero, then
// clamped to low..high. Truncation means 70 comes back as 69: 0.7f is 0.699999988. Values outside
// 0..1 and infinities give the nearest end, NaN gives low.
int toPresetValue(float value, int low, int high);

// The setting an integer setting becomes on its way to its parameter value and back: 70 gives 69,
// 50 stays 50. What a program filled from a built-in preset holds in effect.
int settingThroughParameterValue(int setting, int low, int high);

// A value already in setting units to the integer setting, the way toPresetValue ends: truncated
// toward zero, then clamped to low..high; infinities give the nearest end, NaN gives low.
int truncateToSetting(double value, int low, int high);

} // namespace kel::model

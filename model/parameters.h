// The four parameters every plug-in of the bundle has, whatever the plug-in format.
#pragma once

namespace kel::model {

enum ParameterIndex : int {
    kEffectParameter = 0, // on/off switch: 0.0 on, 1.0 off (bypass)
    kGainParameter = 1,
    kToneParameter = 2, // Bright or Mid Boost
    kOutputParameter = 3,
    kNumParameters = 4,
};

// One row per parameter. The tone parameter's name differs per plug-in and comes from the
// plug-in's description; its unit and range do not.
struct ParameterInfo {
    const char* name; // nullptr for the tone parameter
    const char* unit; // "%" or "dB"; nullptr for the switch, which has none
    int span;         // integer setting 0..span; 0 for the switch
};

inline constexpr ParameterInfo kParameterTable[kNumParameters] = {
    {"Effect", nullptr, 0},
    {"Gain", "%", 100},
    {nullptr, "dB", 15},
    {"Output", "%", 100},
};

// Bypass hysteresis of the Effect switch: above kBypassOnAbove switches off, below kBypassOffBelow
// switches on, in between (both ends included) the switch keeps its state.
inline constexpr float kBypassOnAbove = 0.75f;
inline constexpr float kBypassOffBelow = 0.25f;

} // namespace kel::model

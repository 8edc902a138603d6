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

// One row per parameter. The tone parameter's name and comment differ per plug-in and come from
// the plug-in's description; its unit and range do not.
struct ParameterInfo {
    const char* name;    // nullptr for the tone parameter
    const char* unit;    // "%" or "dB"; nullptr for the switch, which has none
    int span;            // integer setting 0..span; 0 for the switch
    const char* comment; // what the control does, as a tooltip says it; nullptr for the tone
};

inline constexpr ParameterInfo kParameterTable[kNumParameters] = {
    {"Effect", nullptr, 0, "Switches the effect on; off passes the input through unchanged."},
    {"Gain", "%", 100, "How hard the preamp stages are driven."},
    {nullptr, "dB", 15, nullptr},
    {"Output", "%", 100, "Output level, from -40 dB to +20 dB."},
};

// Bypass hysteresis of the Effect switch: above kBypassOnAbove switches off, below kBypassOffBelow
// switches on, in between (both ends included) the switch keeps its state.
inline constexpr float kBypassOnAbove = 0.75f;
inline constexpr float kBypassOffBelow = 0.25f;

} // namespace kel::model

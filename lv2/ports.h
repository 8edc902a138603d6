// The ports of both LV2 plug-ins: the four parameters first, each at its parameter index, then the
// stereo input and output. The indices and symbols are what hosts store in their sessions and
// presets: once published they never change.
#pragma once

#include <cstdint>

#include "model/parameters.h"

namespace kel::lv2 {

enum Port : std::uint32_t {
    kEffectPort = model::kEffectParameter, // the host's enable switch: 1 on, 0 off (bypass)
    kGainPort = model::kGainParameter,     // 0..100 %, as the editor shows it
    kTonePort = model::kToneParameter,     // Bright or Mid Boost, 0..15 dB
    kOutputPort = model::kOutputParameter, // 0..100 %
    kInputLeftPort = model::kNumParameters,
    kInputRightPort,
    kOutputLeftPort,
    kOutputRightPort,
    kPortCount,
};

struct AudioPort {
    const char* symbol;
    const char* name;
    bool input;
    bool left; // else the right channel
};

// The audio ports from kInputLeftPort on, in port order.
inline constexpr AudioPort kAudioPorts[kPortCount - kInputLeftPort] = {
    {"in_l", "In L", true, true},
    {"in_r", "In R", true, false},
    {"out_l", "Out L", false, true},
    {"out_r", "Out R", false, false},
};

} // namespace kel::lv2

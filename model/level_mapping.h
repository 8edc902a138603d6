// Mappings from integer settings to gains that both plug-ins share.
#pragma once

#include "dsp/design_math.h"

namespace kel::model {

// A 0..100 setting spread over spanDb decibels from offsetDb, rounded to float.
inline float settingDecibels(int setting, double spanDb, double offsetDb) {
    return static_cast<float>(static_cast<double>(setting) / 100.0 * spanDb + offsetDb);
}

// Output 0..100 to the output factor: -40 dB to +20 dB in steps of 0.6 dB (0.01 to 10).
inline float outputLevel(int output) {
    return kel::dsp::decibelsToGain(settingDecibels(output, 60.0, -40.0));
}

} // namespace kel::model

// Constants and helpers shared by the coefficient designs (double precision, off the audio path).
#pragma once

#include <cmath>

namespace kel_dsp {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kSqrt2 = 1.4142135623730951; // the double nearest √2

// 10^(gainDb / 20) with gainDb / 20 and the power each rounded to float, as the designs use it.
inline double decibelsToGain(float gainDb) {
    const float exponent = static_cast<float>(static_cast<double>(gainDb) / 20.0);
    return static_cast<float>(std::pow(10.0, static_cast<double>(exponent)));
}

} // namespace kel_dsp

// Constants and helpers shared by the coefficient designs (double precision, off the audio path).
#pragma once

#include <cmath>

namespace kel::dsp {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kSqrt2 = 1.4142135623730951; // the double nearest √2

// 10^(decibels / 20) rounded to float: the factor a decibel value stands for. The product's one
// conversion from decibels, for the plug-ins' drive and level and for the designs' gains.
inline float decibelsToGain(double decibels) {
    return static_cast<float>(std::pow(10.0, decibels / 20.0));
}

// The gain the designs use for gainDb: they round gainDb / 20 to float before the power. That is
// the factor of the decibel value 20 · (gainDb / 20 rounded), since 20 times a float and that
// product over 20 are exact in double.
inline double designGain(float gainDb) {
    const float exponent = static_cast<float>(static_cast<double>(gainDb) / 20.0);
    return decibelsToGain(20.0 * static_cast<double>(exponent));
}

// The highest sample rate the chains accept, Hz: 16 x 48 kHz, the highest rate converters offer.
// At such rates the lowest corner frequencies (30 Hz) sit within a few float steps of the unit
// circle; much higher, the designs could no longer be held to their frequencies.
constexpr float kMaximumSampleRate = 768000.0f;

// Whether the poles of 1 + a1 z^-1 + a2 z^-2 lie strictly inside the unit circle, for the float
// coefficients as they are (the sums are exact in double).
inline bool polesInside(float a1, float a2) {
    const double margin = 1.0 + static_cast<double>(a2) - std::fabs(static_cast<double>(a1));
    return margin > 0.0 && std::fabs(a2) < 1.0f;
}

// Rounding a stable design to float can put poles that lie just inside the unit circle (very
// low corners at very high rates) on or outside it. Moves the rounded coefficients toward the
// inside one float step at a time until the poles lie strictly inside; coefficients that are
// stable as rounded, or not finite, stay as they are.
inline void keepPolesInside(float& a1, float& a2) {
    for (int step = 0; step < 64 && std::isfinite(a1) && std::isfinite(a2) && !polesInside(a1, a2);
         ++step) {
        if (!(std::fabs(a2) < 1.0f)) {
            a2 = std::nextafter(a2, 0.0f);
        } else {
            a1 = std::nextafter(a1, 0.0f);
        }
    }
}

} // namespace kel::dsp

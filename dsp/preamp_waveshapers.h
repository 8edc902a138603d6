// The waveshapers of both preamp chains: polynomials held at constant values outside their input
// range. Shared by the chains' one-channel code and their SSE2 and AVX2 kernels.
#pragma once

#include <cmath>

namespace kel::dsp {

// d · (p1 + p2·d − p3·d² + p4·d³) for inputs in [low, high], held at lowOut below and at highOut
// above. Each lower limit sits at the polynomial's minimum. The cubics (p4 = 0) are evaluated as
// d · ((p2·d − p3·d·d) + p1); the crunch chain's quartic, whose coefficients are all positive, as
// d · (((p4·d·d·d + p3·d·d) + p2·d) + p1).
struct HeldPolynomial {
    double low;
    float lowOut;
    double high;
    float highOut;
    double p1, p2, p3, p4;
};

namespace clean {
constexpr HeldPolynomial kFirstStage{-3.931192,     -0.66659313f,   3.5, 1.0f, 0.2819329931,
                                     0.01403408101, 0.003701060478, 0.0};
constexpr HeldPolynomial kSecondStage{-2.425192775, -0.2077921f,   5.0,           1.0f,
                                      0.1555719892, 0.02230833481, 0.00268454653, 0.0};
} // namespace clean

namespace crunch {
constexpr float kSilenceInput = 1e-8f; // what a zero input enters the first waveshaper as
constexpr HeldPolynomial kFirstStage{-2.939192752, -0.37826452f, 3.75,      0.9999991f,
                                     0.2274823,    0.0234331,    0.0034624, 0.0};
constexpr HeldPolynomial kSecondStage{-1.876194887, -0.18074624f, 3.75,      0.9999996f,
                                      0.179489,     0.0372926,    0.0037454, 0.0};
constexpr HeldPolynomial kThirdStage{-3.92348276, -0.5513311f, 3.85,      0.9999946f,
                                     0.1964888,   0.0041427,   0.0003329, 0.0007424};
} // namespace crunch

// The waveshaper's output for a float input, rounded to float: the held values outside the
// limits, else `polynomial` of the input in double.
template <class Polynomial>
float held(float d, const HeldPolynomial& c, Polynomial polynomial) {
    if (d < c.low) {
        return c.lowOut;
    }
    if (d > c.high) {
        return c.highOut;
    }
    return static_cast<float>(polynomial(static_cast<double>(d)));
}
// The cubic form and the quartic form.
inline float heldCubic(float d, const HeldPolynomial& c) {
    return held(d, c, [&c](double x) { return x * ((c.p2 * x - c.p3 * x * x) + c.p1); });
}
inline float heldQuartic(float d, const HeldPolynomial& c) {
    return held(d, c, [&c](double x) {
        return x * (((c.p4 * x * x * x + c.p3 * x * x) + c.p2 * x) + c.p1);
    });
}

// The smallest float at or above x and the largest float at or below x. A float input passes a
// waveshaper limit given as a decimal double exactly when it passes these.
inline double floatAtOrAbove(double x) {
    float f = static_cast<float>(x);
    if (static_cast<double>(f) < x) {
        f = std::nextafter(f, INFINITY);
    }
    return f;
}
inline double floatAtOrBelow(double x) {
    float f = static_cast<float>(x);
    if (static_cast<double>(f) > x) {
        f = std::nextafter(f, -INFINITY);
    }
    return f;
}

// A waveshaper's limits as the float values they act on: for a float input, d < low ⇔ d < lowF
// and d > high ⇔ d > highF. The polynomial at lowF and at highF rounds to lowOut and highOut, so
// clamping the input to [lowF, highF] and evaluating the polynomial gives the held values exactly.
struct FloatLimits {
    double lowF, highF;
};
inline FloatLimits floatLimits(const HeldPolynomial& p) {
    return {floatAtOrAbove(p.low), floatAtOrBelow(p.high)};
}

} // namespace kel::dsp

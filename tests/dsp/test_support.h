// Signals and measurements shared by the DSP tests.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "dsp/filter_section.h"

using namespace kel::dsp;

namespace test_support {

constexpr double kPi = 3.14159265358979323846;

inline std::uint32_t bitsOf(float v) {
    std::uint32_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Equal bit patterns, or both NaN (a NaN's payload and sign are not part of the sound).
inline bool sameSample(float a, float b) {
    return bitsOf(a) == bitsOf(b) || (std::isnan(a) && std::isnan(b));
}

// Index of the first sample that differs, or -1.
inline long firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) {
        return 0;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!sameSample(a[i], b[i])) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

// Deterministic on every platform (xorshift64*).
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    std::uint64_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in [-1, 1), a multiple of 2^-23.
    float symmetric() {
        return static_cast<float>(static_cast<int>(next() >> 40) - (1 << 23)) * 0x1p-23f;
    }
    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1p-53; }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    double between(double lo, double hi) { return lo + (hi - lo) * unit(); }

private:
    std::uint64_t state_;
};

// A test signal of n samples mixing the situations the chains must handle: noise at levels from
// very quiet to far past every waveshaper limit, sines, silence, subnormal values, impulses and
// exponential decays into the subnormal range.
inline std::vector<float> mixedSignal(Random& rng, std::size_t n) {
    std::vector<float> x(n);
    std::size_t i = 0;
    while (i < n) {
        const std::size_t length = std::min<std::size_t>(n - i, 1 + rng.below(700));
        const int kind = rng.below(8);
        const double amplitude = std::pow(10.0, rng.between(-6.0, 4.0));
        const double frequency = rng.between(0.0005, 0.45);
        for (std::size_t j = 0; j < length; ++j, ++i) {
            switch (kind) {
            case 0:
            case 1:
                x[i] = static_cast<float>(amplitude * rng.symmetric());
                break;
            case 2:
                x[i] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * j));
                break;
            case 3:
                x[i] = 0.0f;
                break;
            case 4:
                x[i] = rng.symmetric() * 1e-38f; // subnormal or tiny
                break;
            case 5:
                x[i] = j == 0 ? static_cast<float>(amplitude) : 0.0f;
                break;
            case 6:
                x[i] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * j) *
                                          std::exp(-0.2 * j));
                break;
            default:
                x[i] = static_cast<float>(amplitude * (rng.unit() < 0.5 ? -5.0 : 5.0));
                break;
            }
        }
    }
    return x;
}

inline std::vector<float> sine(double frequency, double sampleRate, double amplitude,
                               std::size_t n) {
    std::vector<float> x(n);
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = static_cast<float>(amplitude * std::sin(2.0 * kPi * frequency * i / sampleRate));
    }
    return x;
}

// mixedSignal with, now and then, a sample that is NaN, infinite or near the largest float.
inline std::vector<float> withExtremes(std::vector<float> x, Random& rng) {
    const float extremes[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), 3e38f, -2.5e38f};
    if (!x.empty() && rng.below(10) == 0) {
        x[static_cast<std::size_t>(rng.below(static_cast<int>(x.size())))] = extremes[rng.below(5)];
    }
    return x;
}

// Amplitude and phase (radians, relative to the sine the window starts with) of the component at
// `frequency` in y[start, start + count): a projection that is exact for whole cycles.
inline std::complex<double> component(const std::vector<float>& y, std::size_t start,
                                      std::size_t count, double frequency, double sampleRate) {
    std::complex<double> sum = 0.0;
    for (std::size_t i = start; i < start + count; ++i) {
        const double phase = 2.0 * kPi * frequency * i / sampleRate;
        sum += static_cast<double>(y[i]) * std::complex<double>(std::sin(phase), std::cos(phase));
    }
    return sum * (2.0 / static_cast<double>(count));
}

inline double decibels(double gain) {
    return 20.0 * std::log10(gain);
}

// Response of a coefficient set at `frequency`, evaluated from the transfer function.
inline std::complex<double> responseOf(const SectionCoefficients& k, double frequency,
                                       double sampleRate) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * kPi * frequency / sampleRate);
    const std::complex<double> num =
        1.0 + static_cast<double>(k.c1) * z1 + static_cast<double>(k.c2) * z1 * z1;
    const std::complex<double> den =
        1.0 + static_cast<double>(k.a1) * z1 + static_cast<double>(k.a2) * z1 * z1;
    return static_cast<double>(k.g) * num / den;
}

} // namespace test_support

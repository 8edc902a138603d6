#include "host/test_signal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "host/random.h"

namespace kel::host {

Signal guitarSignal(int channels, std::size_t frames, double rate, std::uint64_t seed) {
    Rng rng(seed);
    const std::size_t noteFrames = std::max<std::size_t>(1, static_cast<std::size_t>(0.4 * rate));
    Signal signal(static_cast<std::size_t>(std::max(channels, 0)), std::vector<float>(frames));
    // Six partials h of 1/h each add up to 2.45: scaled to peak at 0.8.
    constexpr double kScale = 0.8 / 2.45;
    double fundamental = 82.41;
    for (std::size_t i = 0; i < frames; ++i) {
        if (i % noteFrames == 0) {
            // Open-string to twelfth-fret range of a guitar, E2 to E5.
            fundamental = 82.41 * std::pow(2.0, rng.range(0, 36) / 12.0);
        }
        const double t = static_cast<double>(i % noteFrames) / rate; // s into the note
        for (std::size_t c = 0; c < signal.size(); ++c) {
            const double f = fundamental * (1.0 + 0.003 * static_cast<double>(c));
            double sum = 0.0;
            for (int h = 1; h <= 6; ++h) {
                if (f * h < 0.45 * rate) {
                    sum += std::sin(2.0 * M_PI * f * h * t) / h * std::exp(-t * (3.0 + 2.0 * h));
                }
            }
            signal[c][i] = static_cast<float>(kScale * sum);
        }
    }
    return signal;
}

Signal decayingTone(int channels, std::size_t frames, double rate, double level) {
    Signal signal(static_cast<std::size_t>(std::max(channels, 0)), std::vector<float>(frames));
    for (std::size_t i = 0; i < frames; ++i) {
        const float sample = static_cast<float>(level * std::sin(2.0 * M_PI * 110.0 * i / rate));
        for (auto& channel : signal) {
            channel[i] = sample;
        }
        level *= 0.9985;
    }
    return signal;
}

SignalDifference compareSignals(const Signal& expected, const Signal& actual) {
    SignalDifference difference;
    const std::size_t channels = std::min(expected.size(), actual.size());
    for (std::size_t c = 0; c < channels; ++c) {
        const std::size_t frames = std::min(expected[c].size(), actual[c].size());
        for (std::size_t i = 0; i < frames; ++i) {
            if (std::memcmp(&expected[c][i], &actual[c][i], sizeof(float)) != 0) {
                difference = {false, static_cast<int>(c), i, expected[c][i], actual[c][i]};
                return difference;
            }
        }
        if (expected[c].size() != actual[c].size()) {
            difference = {false, static_cast<int>(c), frames, 0.0f, 0.0f};
            return difference;
        }
    }
    if (expected.size() != actual.size()) {
        difference = {false, static_cast<int>(channels), 0, 0.0f, 0.0f};
    }
    return difference;
}

} // namespace kel::host

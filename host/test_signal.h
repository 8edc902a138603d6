// The signals our host feeds plug-ins (the validator's tests, the bench, the editor's audio
// thread), and what tells two outputs apart bit for bit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kel::host {

// Planar audio: one vector per channel.
using Signal = std::vector<std::vector<float>>;

// A guitar-like signal: plucked notes (six decaying partials, a new note every 0.4 s, notes
// from the seed) at up to ±0.8, the channels slightly detuned from each other.
Signal guitarSignal(int channels, std::size_t frames, double rate, std::uint64_t seed);

// A 110 Hz tone from `level` down by 0.9985 a frame, the same in every channel: through the
// subnormal range after about 1.3 s and zero after about 1.6 s (at 44.1 kHz, from 0.8).
Signal decayingTone(int channels, std::size_t frames, double rate, double level);

// Whether two signals hold the same bits, and where they first differ when they do not.
struct SignalDifference {
    bool same = true;
    int channel = 0;
    std::size_t frame = 0;
    float expected = 0.0f, actual = 0.0f;
};
SignalDifference compareSignals(const Signal& expected, const Signal& actual);

} // namespace kel::host

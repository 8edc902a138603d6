// What the LV2 tests share: each plug-in's LV2 record by its model, test signals, and the VST 2.x
// effect object of the same plug-in driven the way our command-line host renders a file.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "lv2/lv2_plugins.h"
#include "model/parameter_values.h"
#include "shell/kel_dsp.h"
#include "tests/dsp/test_support.h"
#include "tests/support/test_host.h"

namespace lv2_test {

using Signal = std::vector<float>;
using Stereo = std::vector<Signal>;

template <class Model>
const kel::lv2::Lv2Plugin& pluginOf();
template <>
inline const kel::lv2::Lv2Plugin& pluginOf<kel::clean::CleanModel>() {
    return kel::lv2::kCleanPlugin;
}
template <>
inline const kel::lv2::Lv2Plugin& pluginOf<kel::crunch::CrunchModel>() {
    return kel::lv2::kCrunchPlugin;
}

// `frames` frames of a stereo signal whose channels differ (see test_support::mixedSignal).
inline Stereo stereoSignal(std::uint64_t seed, std::size_t frames) {
    test_support::Random rng(seed);
    return {test_support::mixedSignal(rng, frames), test_support::mixedSignal(rng, frames)};
}

// A sustained guitar note: an open A (110 Hz) with its first eight harmonics, struck at 0 and
// decaying slowly, a little different on the right, as a held chord rings in a session.
inline Stereo sustainedNote(double rate, double seconds, double amplitude = 0.4) {
    const std::size_t frames = static_cast<std::size_t>(rate * seconds);
    Stereo note{Signal(frames), Signal(frames)};
    for (int c = 0; c < 2; ++c) {
        const double f = c == 0 ? 110.0 : 164.81;
        for (std::size_t i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / rate;
            double v = 0.0;
            for (int k = 1; k <= 8; ++k) {
                v += std::sin(2.0 * test_support::kPi * k * f * t + 0.7 * k) *
                     std::exp(-t * (0.3 + 0.25 * k)) / k;
            }
            note[c][i] = static_cast<float>(amplitude * (1.0 - std::exp(-t * 400.0)) * v);
        }
    }
    return note;
}

// The largest step between two neighbouring samples of x[from, to).
inline double largestStep(const Signal& x, std::size_t from, std::size_t to) {
    double largest = 0.0;
    for (std::size_t i = std::max<std::size_t>(from, 1); i < to && i < x.size(); ++i) {
        largest = std::max(largest, std::fabs(static_cast<double>(x[i]) - x[i - 1]));
    }
    return largest;
}

template <class Model>
class Vst : public kel::shell::KelDSP<Model> {
public:
    explicit Vst(float rate) : kel::shell::KelDSP<Model>(hostCallback) {
        this->setSampleRate(rate);
    }
    float processorRate() const { return this->processorLeft.sampleRate(); }

    // The parameter value that shows `setting`, as `kelhost render --param NAME=setting` finds.
    void showSetting(int parameter, int setting) {
        const int span = kel::model::kParameterTable[parameter].span;
        float value = kel::model::toParameterValue(setting, 0, span);
        while (kel::model::toPresetValue(value, 0, span) < setting) {
            value = std::nextafter(value, 2.0f);
        }
        this->setParameter(parameter, value);
    }

    // The replacing call over the signal in blocks of `block` frames.
    Stereo process(const Stereo& in, std::size_t block) {
        Stereo out{Signal(in[0].size()), Signal(in[1].size())};
        for (std::size_t start = 0; start < in[0].size(); start += block) {
            const std::size_t n = std::min(block, in[0].size() - start);
            float* inputs[2] = {const_cast<float*>(in[0].data() + start),
                                const_cast<float*>(in[1].data() + start)};
            float* outputs[2] = {out[0].data() + start, out[1].data() + start};
            this->processReplacing(inputs, outputs, static_cast<VstInt32>(n));
        }
        return out;
    }
};

} // namespace lv2_test

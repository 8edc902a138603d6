// Settings, processors and references of the two preamp chains for the tests.
#pragma once

#include <cmath>
#include <vector>

#include "dsp/clean_preamp.h"
#include "dsp/crunch_preamp.h"
#include "dsp/stereo_run.h"
#include "plugins/crunch/crunch_model.h"
#include "reference/chains.h"
#include "tests/dsp/test_support.h"

using namespace kel::dsp;
using namespace kel::crunch;

namespace chain_support {

using test_support::Random;

struct CleanSettings {
    float drive = 1.0f;
    float level = 1.0f;
    float bright = 0.0f;

    // The effect's ranges: drive 0.05 to 50, level 0.01 to 10, bright 0 to 15 dB (also between
    // whole decibels).
    static CleanSettings random(Random& rng) {
        CleanSettings s;
        s.drive = static_cast<float>(std::pow(10.0, rng.between(-1.3, 1.7)));
        s.level = static_cast<float>(std::pow(10.0, rng.between(-2.0, 1.0)));
        s.bright = rng.below(2) != 0 ? static_cast<float>(rng.below(16)) : 15.0f * rng.symmetric();
        return s;
    }
    void applyTo(CleanPreamp& p) const {
        p.setDrive(drive);
        p.setLevel(level);
        p.setBright(bright);
    }
    void applyTo(reference::CleanChain& r) const {
        r.drive = drive;
        r.level = level;
        r.setBright(bright);
    }
};

// By default the crunch voicing's fixed parts, as the plug-in's model sets them.
struct CrunchSettings {
    float drive = 39.364f;
    float level = 1.0f;
    float mid = 8.0f;
    float inputGain = CrunchModel::kInputGain;
    float stageGain = CrunchModel::kStageGain;
    float midFrequency = CrunchModel::kMidFrequency;
    float midQ = CrunchModel::kMidQ;

    // Mostly the effect's settings; sometimes others, so that the third waveshaper's upper
    // limit (out of reach of a stage gain of 18) is crossed too; now and then a vanishing drive,
    // so that tiny values reach the later stages.
    static CrunchSettings random(Random& rng) {
        CrunchSettings s;
        s.drive = rng.below(6) == 0
                      ? static_cast<float>(std::pow(10.0, rng.between(-36.0, -28.0)))
                      : static_cast<float>(7.0 * std::pow(10.0, rng.between(0.0, 1.5)));
        s.level = static_cast<float>(std::pow(10.0, rng.between(-2.0, 1.0)));
        s.mid = rng.below(2) != 0 ? static_cast<float>(rng.below(16)) : 15.0f * rng.symmetric();
        if (rng.below(2) != 0) {
            s.inputGain = static_cast<float>(rng.between(0.1, 4.0));
            s.stageGain = static_cast<float>(rng.between(1.0, 40.0));
            s.midFrequency = static_cast<float>(rng.between(200.0, 3000.0));
            s.midQ = static_cast<float>(rng.between(0.1, 2.0));
        }
        return s;
    }
    // In the effect's order.
    void applyTo(CrunchPreamp& p) const {
        p.setInputGain(inputGain);
        p.setDrive(drive);
        p.setStageGain(stageGain);
        p.setMidFrequency(midFrequency);
        p.setMidQ(midQ);
        p.setLevel(level);
        p.setMidGain(mid);
    }
    void applyTo(reference::CrunchChain& r) const {
        r.inputGain = inputGain;
        r.drive = drive;
        r.stageGain = stageGain;
        r.setMidFrequency(midFrequency);
        r.setMidQ(midQ);
        r.level = level;
        r.setMidGain(mid);
    }
};

template <class Preamp>
struct Chain;
template <>
struct Chain<CleanPreamp> {
    using Settings = CleanSettings;
    using Reference = reference::CleanChain;
};
template <>
struct Chain<CrunchPreamp> {
    using Settings = CrunchSettings;
    using Reference = reference::CrunchChain;
};

// A processor or a reference chain at `rate` with `settings`.
template <class Processor, class Settings>
Processor make(const Settings& settings, float rate) {
    Processor p;
    p.setSampleRate(rate);
    settings.applyTo(p);
    return p;
}

template <class Preamp>
std::vector<float> replacing(Preamp& p, const std::vector<float>& x) {
    std::vector<float> y(x.size());
    p.runReplacing(x.data(), y.data(), static_cast<int>(x.size()));
    return y;
}

template <class Reference>
std::vector<float> replacingReference(Reference& r, const std::vector<float>& x) {
    std::vector<float> y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        y[i] = r.replacing(x[i]);
    }
    r.endOfCall();
    return y;
}

// The stereo entry, adding or replacing.
using kel::dsp::runStereo;

// A chain with one of the stereo entry's kernels, for the typed tests of the stereo entry.
template <class P, kel::dsp::StereoKernel K>
struct ChainAndKernel {
    using Preamp = P;
    static constexpr kel::dsp::StereoKernel kKernel = K;
};

inline const char* kernelName(kel::dsp::StereoKernel kernel) {
    return kernel == kel::dsp::StereoKernel::Avx2 ? "AVX2" : "SSE2";
}

// What the stereo entry must equal: channel 1 completely, then channel 0.
template <class Preamp>
void runSequential(bool adding, Preamp& left, Preamp& right, float* const* in, float* const* out,
                   int n) {
    if (adding) {
        right.runAdding(in[1], out[1], n);
        left.runAdding(in[0], out[0], n);
    } else {
        right.runReplacing(in[1], out[1], n);
        left.runReplacing(in[0], out[0], n);
    }
}

} // namespace chain_support

// Per-channel signal processor of the HN-6 Clean Preamp: input high-pass, first waveshaper,
// inter-stage high-pass, bright shelf, inverting drive into the second waveshaper, output
// high-pass, output level.
#pragma once

#include <array>

#include "dsp/filter_section.h"
#include "dsp/preamp_channel.h"
#include "dsp/stereo_kernel.h"

namespace kel::dsp {

class CleanPreamp : public PreampChannel<CleanPreamp, 4> {
public:
    // The filter sections, in the order of their states.
    enum Section {
        InputHighPass,      // 40 Hz Butterworth
        InterStageHighPass, // 40 Hz Butterworth
        BrightShelf,        // second-order high shelf at 2000 Hz, bright dB
        OutputHighPass,     // 30 Hz Butterworth
    };

    // drive 0, level 0, 48000 Hz, bright 1 dB; all filter states zero.
    CleanPreamp();

    // Redesigns the bright shelf (2000 Hz, x dB) when x differs from the current value; the filter
    // states stay. A value that is not finite is ignored.
    void setBright(float x);
    // A new rate redesigns all four sections for it and clears their states. A rate at or below
    // 4000 Hz (the shelf at 2000 Hz needs its frequency below half the rate), above 768 kHz,
    // not finite, or equal to the current one is ignored.
    void setSampleRate(float rate);

    // One sample through the chain, before the level; the run calls and their end-of-call check
    // of the states are around it.
    float processSample(float x);

    // The two waveshapers: cubics held at asymmetric limits, rounded to float.
    static float firstStage(float d);
    static float secondStage(float d);

    float bright() const { return bright_; }
    const SectionCoefficients& coefficients(Section section) const { return k_[section]; }

private:
    void design(); // all four sections for the current rate and bright gain

    float bright_ = 1.0f;
    std::array<SectionCoefficients, 4> k_;
};

// Both channels in one loop with each kernel (dsp/stereo_run.h chooses and checks the buffers).
void runPairSse2(CleanPreamp& left, CleanPreamp& right, const StereoBlock& block, bool adding);
KEL_AVX2_FUNCTION void runPairAvx2(CleanPreamp& left, CleanPreamp& right, const StereoBlock& block,
                                   bool adding);

} // namespace kel::dsp

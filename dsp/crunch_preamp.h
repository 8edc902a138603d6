// Per-channel signal processor of the KR-6 Crunch Preamp: first waveshaper, mid bell, fixed tone
// section, inverting drive into the second waveshaper, inverting stage gain into the third
// waveshaper, 100 Hz high-pass, output level.
#pragma once

#include <array>

#include "dsp/filter_section.h"
#include "dsp/preamp_channel.h"
#include "dsp/stereo_kernel.h"

namespace kel::dsp {

class CrunchPreamp : public PreampChannel<CrunchPreamp, 3> {
public:
    // The filter sections, in the order of their states.
    enum Section {
        MidBell,
        ToneSection,
        OutputHighPass, // 100 Hz: g = 1, c1 = −2, c2 = 1
    };

    // 48000 Hz; drive, input gain, stage gain and level 0; bell at 1700 Hz, Q 0.3, 1 dB; states 0.
    CrunchPreamp();

    void setInputGain(float x) { inputGain_ = x; }
    void setStageGain(float x) { stageGain_ = x; }
    // Each new accepted value redesigns the bell; the states stay.
    void setMidGain(float x);      // ignored if not finite
    void setMidFrequency(float x); // ignored unless 1 < x < rate / 2
    void setMidQ(float x);         // ignored unless 0 < x < infinity
    // A new rate recomputes all coefficients and keeps the states. A rate not above twice the
    // highest frequency of the chain (the bell's, at least the 100 Hz high-pass), above
    // 768 kHz, not finite, or equal to the current one is ignored.
    void setSampleRate(float rate);

    // One sample through the chain, before the level; the run calls and their end-of-call check
    // of the states are around it.
    float processSample(float x);

    // The three waveshapers (two cubics and a quartic held at limits), rounded to float.
    static float firstStage(float d);
    static float secondStage(float d);
    static float thirdStage(float d);
    // The fixed tone section: the analog high-pass shelf
    // s·(s + 4526.935265) / (s² + 6700.049385·s + 205769.7848), bilinear without prewarping.
    static SectionCoefficients toneCoefficients(float sampleRate);

    const SectionCoefficients& coefficients(Section section) const { return k_[section]; }
    const SectionCoefficients& midSection() const { return k_[MidBell]; }
    const SectionCoefficients& toneSection() const { return k_[ToneSection]; }
    const SectionCoefficients& outputSection() const { return k_[OutputHighPass]; }
    float inputGain() const { return inputGain_; }
    float stageGain() const { return stageGain_; }
    float midGain() const { return midGain_; }
    float midFrequency() const { return midFrequency_; }
    float midQ() const { return midQ_; }

private:
    void recompute();
    void designBell();

    std::array<SectionCoefficients, 3> k_;
    float inputGain_ = 0.0f;
    float stageGain_ = 0.0f;
    float midFrequency_ = 1700.0f;
    float midQ_ = 0.3f;
    float midGain_ = 1.0f;
};

// Both channels in one loop with each kernel (dsp/stereo_run.h chooses and checks the buffers).
void runPairSse2(CrunchPreamp& left, CrunchPreamp& right, const StereoBlock& block, bool adding);
KEL_AVX2_FUNCTION void runPairAvx2(CrunchPreamp& left, CrunchPreamp& right,
                                   const StereoBlock& block, bool adding);

} // namespace kel::dsp

// Per-channel signal processor of the KR-6 Crunch Preamp: first waveshaper, mid bell, fixed tone
// section, inverting drive into the second waveshaper, inverting stage gain into the third
// waveshaper, 100 Hz high-pass, output level. The three sections are kept inline as coefficient
// sets and states.
#pragma once

#include "dsp/filter_section.h"
#include "dsp/stereo_kernel.h"

class CrunchPreamp {
public:
    // 48000 Hz; drive, input gain, stage gain and level 0; bell at 1700 Hz, Q 0.3, 1 dB; states 0.
    CrunchPreamp();

    void setDrive(float x) { drive_ = x; }
    void setInputGain(float x) { inputGain_ = x; }
    void setStageGain(float x) { stageGain_ = x; }
    void setLevel(float x) { level_ = x; }
    // Each new accepted value redesigns the bell; the states stay.
    void setMidGain(float x);      // ignored if not finite
    void setMidFrequency(float x); // ignored unless 1 < x < rate / 2
    void setMidQ(float x);         // ignored unless 0 < x < infinity
    // A new rate recomputes all coefficients and keeps the states. A rate not above twice the
    // highest frequency of the chain (the bell's, at least the 100 Hz high-pass), above
    // 768 kHz, not finite, or equal to the current one is ignored.
    void setSampleRate(float rate);

    // Process n samples (n ≤ 0: nothing is read or written); in == out works. runAdding adds the
    // result to out, runReplacing overwrites out. If a non-finite input has left a state that is
    // not finite, the states are cleared at the end of the call.
    void runAdding(const float* in, float* out, int n);
    void runReplacing(const float* in, float* out, int n);

    // Both channels in one loop, same results as right.runX(inRight, outRight, n) followed by
    // left.runX(inLeft, outLeft, n); the same buffer conditions as CleanPreamp::runPairAdding.
    static void runPairAdding(CrunchPreamp& left, CrunchPreamp& right, const float* inLeft,
                              const float* inRight, float* outLeft, float* outRight, int n,
                              kel_dsp::StereoKernel kernel = kel_dsp::fastestStereoKernel());
    static void runPairReplacing(CrunchPreamp& left, CrunchPreamp& right, const float* inLeft,
                                 const float* inRight, float* outLeft, float* outRight, int n,
                                 kel_dsp::StereoKernel kernel = kel_dsp::fastestStereoKernel());

    // The three waveshapers (two cubics and a quartic held at limits), rounded to float.
    static float firstStage(float d);
    static float secondStage(float d);
    static float thirdStage(float d);
    // The fixed tone section: the analog high-pass shelf
    // s·(s + 4526.935265) / (s² + 6700.049385·s + 205769.7848), bilinear without prewarping.
    static SectionCoefficients toneCoefficients(float sampleRate);

    const SectionCoefficients& midSection() const { return mid_; }
    const SectionCoefficients& toneSection() const { return tone_; }
    const SectionCoefficients& outputSection() const { return out_; }
    float sampleRate() const { return fs_; }
    float midGain() const { return midGain_; }
    float midFrequency() const { return midFrequency_; }
    float midQ() const { return midQ_; }

private:
    float processSample(float x);
    void recompute();
    void clearStatesIfNotFinite();
    template <bool Adding>
    static void runPair(CrunchPreamp& left, CrunchPreamp& right, const float* inLeft,
                        const float* inRight, float* outLeft, float* outRight, int n);
    template <bool Adding>
    static void runPairAvx2(CrunchPreamp& left, CrunchPreamp& right, const float* inLeft,
                            const float* inRight, float* outLeft, float* outRight, int n);

    SectionCoefficients mid_;  // the bell
    SectionCoefficients tone_; // the fixed tone section
    SectionCoefficients out_;  // the 100 Hz high-pass: g = 1, c1 = −2, c2 = 1
    float drive_ = 0.0f;
    float inputGain_ = 0.0f;
    float stageGain_ = 0.0f;
    float level_ = 0.0f;
    float midFrequency_ = 1700.0f;
    float midQ_ = 0.3f;
    float fs_ = 48000.0f;
    float midGain_ = 1.0f;
    float midS1_ = 0.0f, midS2_ = 0.0f;
    float toneS1_ = 0.0f, toneS2_ = 0.0f;
    float outS1_ = 0.0f, outS2_ = 0.0f;
};

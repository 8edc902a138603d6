// Per-channel signal processor of the HN-6 Clean Preamp: input high-pass, first waveshaper,
// inter-stage high-pass, bright shelf, inverting drive into the second waveshaper, output
// high-pass, output level.
#pragma once

#include "dsp/filter_section.h"
#include "dsp/stereo_kernel.h"

class CleanPreamp {
public:
    // drive 0, level 0, 48000 Hz, bright 1 dB; all filter states zero.
    CleanPreamp();

    void setDrive(float x) { drive_ = x; }
    void setLevel(float x) { level_ = x; }
    // Redesigns the bright shelf (2000 Hz, x dB) when x differs from the current value; the filter
    // states stay. A value that is not finite is ignored.
    void setBright(float x);
    // A new rate redesigns all four sections for it and clears their states. A rate at or below
    // 4000 Hz (the shelf at 2000 Hz needs its frequency below half the rate), above 768 kHz,
    // not finite, or equal to the current one is ignored.
    void setSampleRate(float rate);

    // Process n samples (n ≤ 0: nothing is read or written); in == out works. runAdding adds the
    // result to out, runReplacing overwrites out. If a non-finite input has left a filter state
    // that is not finite, the states are cleared at the end of the call.
    void runAdding(const float* in, float* out, int n);
    void runReplacing(const float* in, float* out, int n);

    // Both channels in one loop, same results as right.runX(inRight, outRight, n) followed by
    // left.runX(inLeft, outLeft, n). The caller guarantees that `left` and `right` are distinct
    // and that no output buffer overlaps a buffer of the other channel, nor its own input except
    // exactly (in place); outLeft may equal inRight. runStereoAdding/runStereoReplacing
    // (dsp/stereo_run.h) check this and fall back to the one-channel calls. Every kernel gives
    // the same bits; one that does not run here is replaced by the SSE2 one.
    static void runPairAdding(CleanPreamp& left, CleanPreamp& right, const float* inLeft,
                              const float* inRight, float* outLeft, float* outRight, int n,
                              kel_dsp::StereoKernel kernel = kel_dsp::fastestStereoKernel());
    static void runPairReplacing(CleanPreamp& left, CleanPreamp& right, const float* inLeft,
                                 const float* inRight, float* outLeft, float* outRight, int n,
                                 kel_dsp::StereoKernel kernel = kel_dsp::fastestStereoKernel());

    // The two waveshapers: cubics held at asymmetric limits, rounded to float.
    static float firstStage(float d);
    static float secondStage(float d);

    float drive() const { return drive_; }
    float level() const { return level_; }
    float sampleRate() const { return fs_; }
    float bright() const { return bright_; }

private:
    float processSample(float x);
    void clearStatesIfNotFinite();
    template <bool Adding>
    static void runPair(CleanPreamp& left, CleanPreamp& right, const float* inLeft,
                        const float* inRight, float* outLeft, float* outRight, int n);
    template <bool Adding>
    static void runPairAvx2(CleanPreamp& left, CleanPreamp& right, const float* inLeft,
                            const float* inRight, float* outLeft, float* outRight, int n);

    float drive_ = 0.0f;
    float level_ = 0.0f;
    float fs_ = 48000.0f;
    float bright_ = 1.0f;
    FilterSection interStageHighPass_; // 40 Hz Butterworth
    FilterSection outputHighPass_;     // 30 Hz Butterworth
    FilterSection brightShelf_;        // second-order high shelf at 2000 Hz, bright dB
    FilterSection inputHighPass_;      // 40 Hz Butterworth
};

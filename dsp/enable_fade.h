// The click-free enable switch of a stereo effect: a change crossfades between the unprocessed
// signal (dry) and the processed one (wet) over a fixed time, so that switching on a sustained
// note makes no step of its own. The effect keeps its chains running throughout and hands both
// signals in; the fade only weighs them.
#pragma once

namespace kel::dsp {

class EnableFade {
public:
    // 10 ms: short enough to feel immediate under a footswitch, long enough that the step it adds
    // (at most 1.5 / frames of the difference between the signals) stays below a guitar note's own.
    static constexpr double kSeconds = 0.010;

    // A fade of kSeconds at `sampleRate` Hz (at least one frame), settled on.
    explicit EnableFade(double sampleRate);

    // Settles at `on` at once, without a fade: how a host starts the effect.
    void settle(bool on);
    // Heads for `on`: starts a fade, or turns one under way back from where it has got to.
    void switchTo(bool on);

    bool heading() const { return target; } // on (true) or off, where the fade goes or has gone
    // Settled: there, and heading nowhere else.
    bool fullyOn() const { return target && position == length; }
    bool fullyOff() const { return !target && position == 0; }
    int frames() const { return length; }

    // The weight of the wet signal after `position` of the fade's `length` frames: 0 (all dry) to
    // 1 (all wet) along a smooth S-curve, 3t² − 2t³, whose slope is 0 at both ends.
    static double wetWeight(int position, int length);

    // n frames of both channels, the fade moving one frame toward its target before each frame.
    // Fully off, out is dry unchanged (a wire, whatever the samples are); fully on, it is wet;
    // between, a dry sample that is not finite counts as 0. Both channels of a frame are read
    // before either is written, so an output may be either dry buffer; wet must be apart from out.
    void mix(const float* const dry[2], const float* const wet[2], float* const out[2], int n);

private:
    int length;
    int position; // frames of the fade done toward on: 0 all dry, length all wet
    bool target = true;
};

} // namespace kel::dsp

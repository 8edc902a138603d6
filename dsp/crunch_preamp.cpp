#include "dsp/crunch_preamp.h"

#include <algorithm>
#include <cmath>

#include "dsp/channel_pair.h"
#include "dsp/design_math.h"
#include "dsp/preamp_waveshapers.h"

namespace kel::dsp {

using crunch::kSilenceInput;

namespace {

constexpr float kOutputHighPassFrequency = 100.0f;

inline float scaled(float gain, float x) {
    return static_cast<float>(static_cast<double>(gain) * x);
}

} // namespace

CrunchPreamp::CrunchPreamp() {
    recompute();
}

SectionCoefficients CrunchPreamp::toneCoefficients(float sampleRate) {
    const double B = static_cast<float>(2.0 * static_cast<double>(sampleRate));
    const double B2 = B * B;
    const double firstOrderDenominator = 200000.0 * B + 905387053.0;
    const double secondOrderDenominator = 200000.0 * B2 + 1340009877.0 * B + 41153956960.0;
    SectionCoefficients k;
    k.g = static_cast<float>((B2 + 4526.935265 * B) / (B2 + 6700.049385 * B + 205769.7848));
    k.c1 = static_cast<float>(-400000.0 * B / firstOrderDenominator);
    k.c2 = static_cast<float>((200000.0 * B - 905387053.0) / firstOrderDenominator);
    k.a1 = static_cast<float>(-320.0 * (1250.0 * B2 - 257212231.0) / secondOrderDenominator);
    k.a2 = static_cast<float>((200000.0 * B2 - 1340009877.0 * B + 41153956960.0) /
                              secondOrderDenominator);
    keepPolesInside(k.a1, k.a2);
    return k;
}

void CrunchPreamp::designBell() {
    peakingCoefficients(midGain_, midFrequency_, midQ_, fs_, k_[MidBell]);
}

void CrunchPreamp::recompute() {
    designBell();
    k_[ToneSection] = toneCoefficients(fs_);
    highPassCoefficients(kOutputHighPassFrequency, fs_, k_[OutputHighPass]);
}

// The coefficients depend only on the current values: a bell setting equal to the current one
// would recompute the same numbers, so it is skipped (the effect sets all three on every update).
void CrunchPreamp::setMidGain(float x) {
    if (!std::isfinite(x) || x == midGain_) {
        return;
    }
    midGain_ = x;
    designBell();
}

void CrunchPreamp::setMidFrequency(float x) {
    if (!(x > 1.0f) || !std::isfinite(x) || !(static_cast<double>(x) < fs_ / 2.0) ||
        x == midFrequency_) {
        return;
    }
    midFrequency_ = x;
    designBell();
}

void CrunchPreamp::setMidQ(float x) {
    if (!(x > 0.0f) || !std::isfinite(x) || x == midQ_) {
        return;
    }
    midQ_ = x;
    designBell();
}

void CrunchPreamp::setSampleRate(float rate) {
    const float highest = std::max(midFrequency_, kOutputHighPassFrequency);
    if (!std::isfinite(rate) || !(static_cast<double>(rate) > 2.0 * highest) ||
        rate > kMaximumSampleRate || rate == fs_) {
        return;
    }
    fs_ = rate;
    recompute();
}

float CrunchPreamp::firstStage(float d) {
    return heldCubic(d, crunch::kFirstStage);
}
float CrunchPreamp::secondStage(float d) {
    return heldCubic(d, crunch::kSecondStage);
}
float CrunchPreamp::thirdStage(float d) {
    return heldQuartic(d, crunch::kThirdStage);
}

float CrunchPreamp::processSample(float x) {
    float d = scaled(inputGain_, x);
    if (d == 0.0f) {
        d = kSilenceInput;
    }
    const float e = flushTiny(firstStage(d));
    const float yA = states_[MidBell].processUnflushed(k_[MidBell], e);
    const float yB = flushTiny(states_[ToneSection].processUnflushed(k_[ToneSection], yA));
    const float h = scaled(drive_, -yB); // first inversion
    const float w = secondStage(h);
    const float u = scaled(-stageGain_, w); // second inversion
    const float v = flushTiny(thirdStage(u));
    return flushTiny(states_[OutputHighPass].processUnflushed(k_[OutputHighPass], v));
}

// ---- Both channels in one loop ----

namespace {

using namespace pair;

} // namespace

KEL_REALIGN_STACK void runPairSse2(CrunchPreamp& l, CrunchPreamp& r, const StereoBlock& b,
                                   bool adding) {
    SectionLanes mid = section(l, r, CrunchPreamp::MidBell);
    SectionLanes tone = section(l, r, CrunchPreamp::ToneSection);
    // The output high-pass has g = 1 by design: its input is v itself.
    SectionLanes output = section(l, r, CrunchPreamp::OutputHighPass);
    const PolynomialLanes first = polynomial(crunch::kFirstStage);
    const PolynomialLanes second = polynomial(crunch::kSecondStage);
    const PolynomialLanes third = polynomial(crunch::kThirdStage);
    const D2 inputGain = both(l.inputGain(), r.inputGain());
    const D2 negatedDrive = both(-l.drive(), -r.drive());
    const D2 negatedStageGain = both(-l.stageGain(), -r.stageGain());
    const D2 level = both(l.level(), r.level());
    const D2 silenceInput = both(static_cast<double>(kSilenceInput));

    // Software pipelined as in the clean preamp, with short stages: the pass for frame i runs
    // stage k on frame i − k, each stage taking what the stage before it left in the previous
    // pass. Frame j is read in pass j and written in pass j + 11, after every read of it.
    //   0 gain·x rounded, 1e-8 for zero    6 (−yB)·drive rounded, h
    //   1 first waveshaper                 7 second waveshaper
    //   2 e flushed, mid bell input a      8 w rounded, (−w)·stage gain rounded, u
    //   3 mid bell, yA                     9 third waveshaper
    //   4 tone section input b            10 v flushed, the output high-pass input
    //   5 tone section, yB flushed        11 output high-pass, yC flushed, and the level
    constexpr int kStages = 12;
    D2 d = both(0.0), e1 = both(0.0), yA = both(0.0), yB = both(0.0), h = both(0.0), w1 = both(0.0),
       u = both(0.0), q = both(0.0);
    F2 a = _mm_setzero_ps(), bIn = _mm_setzero_ps(), v = _mm_setzero_ps();
    const auto pass = [&](int i, unsigned active) KEL_LAMBDA_INLINE {
        if (active & 2048u) {
            const int j = i - 11;
            const D2 yC = flushTiny(stepUnflushed(output, v, widen(v)));
            writeOutput(yC, level, adding, b.outLeft + j, b.outRight + j);
        }
        if (active & 1024u) {
            v = flushTiny(narrow(q));
        }
        if (active & 512u) {
            q = heldQuartic(u, third);
        }
        if (active & 256u) {
            u = roundToFloat(mul(roundToFloat(w1), negatedStageGain));
        }
        if (active & 128u) {
            w1 = heldCubic(h, second);
        }
        if (active & 64u) {
            h = roundToFloat(mul(yB, negatedDrive));
        }
        if (active & 32u) {
            yB = flushTiny(stepUnflushed(tone, bIn, widen(bIn)));
        }
        if (active & 16u) {
            bIn = scaled(tone, yA);
        }
        if (active & 8u) {
            yA = stepUnflushed(mid, a, widen(a));
        }
        if (active & 4u) {
            a = scaled(mid, widen(flushTiny(narrow(e1))));
        }
        if (active & 2u) {
            e1 = heldCubic(d, first);
        }
        if (active & 1u) {
            const D2 x = widen(load(b.inLeft + i, b.inRight + i));
            d = replaceZero(roundToFloat(mul(inputGain, x)), silenceInput);
        }
    };
    runPipelined<kStages>(b.n, pass);

    keep(mid, l, r, CrunchPreamp::MidBell);
    keep(tone, l, r, CrunchPreamp::ToneSection);
    keep(output, l, r, CrunchPreamp::OutputHighPass);
}

} // namespace kel::dsp

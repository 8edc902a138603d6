#include "dsp/crunch_preamp.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "dsp/channel_pair.h"
#include "dsp/design_math.h"
#include "dsp/preamp_waveshapers.h"

using kel_dsp::flushTiny;

namespace {

constexpr float kOutputHighPassFrequency = 100.0f;

using kel_dsp::HeldPolynomial;
using kel_dsp::crunch::kFirstStage;
using kel_dsp::crunch::kSecondStage;
using kel_dsp::crunch::kSilenceInput;
using kel_dsp::crunch::kThirdStage;

float shapeCubic(float d, const HeldPolynomial& c) {
    if (d < c.low) {
        return c.lowOut;
    }
    if (d > c.high) {
        return c.highOut;
    }
    const double x = d;
    return static_cast<float>(x * ((c.p2 * x - c.p3 * x * x) + c.p1));
}

float shapeQuartic(float d, const HeldPolynomial& c) {
    if (d < c.low) {
        return c.lowOut;
    }
    if (d > c.high) {
        return c.highOut;
    }
    const double x = d;
    return static_cast<float>(x * (((c.p4 * x * x * x + c.p3 * x * x) + c.p2 * x) + c.p1));
}

// One inline section step without flushes: returns y, updates s1 and s2 (each rounded once).
// `input` is the section's input after the gain g (a, b or c).
inline float runInline(const SectionCoefficients& k, float input, float& s1, float& s2) {
    const float y = s1 + input;
    s1 = static_cast<float>((static_cast<double>(k.c1) * input - static_cast<double>(k.a1) * y) +
                            s2);
    s2 = static_cast<float>(static_cast<double>(k.c2) * input - static_cast<double>(k.a2) * y);
    return y;
}

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
    kel_dsp::keepPolesInside(k.a1, k.a2);
    return k;
}

void CrunchPreamp::recompute() {
    peakingCoefficients(midGain_, midFrequency_, midQ_, fs_, mid_);
    tone_ = toneCoefficients(fs_);
    highPassCoefficients(kOutputHighPassFrequency, fs_, out_);
}

// The coefficients depend only on the current values: a bell setting equal to the current one
// would recompute the same numbers, so it is skipped (the effect sets all three on every update).
void CrunchPreamp::setMidGain(float x) {
    if (!std::isfinite(x) || x == midGain_) {
        return;
    }
    midGain_ = x;
    peakingCoefficients(midGain_, midFrequency_, midQ_, fs_, mid_);
}

void CrunchPreamp::setMidFrequency(float x) {
    if (!(x > 1.0f) || !std::isfinite(x) || !(static_cast<double>(x) < fs_ / 2.0) ||
        x == midFrequency_) {
        return;
    }
    midFrequency_ = x;
    peakingCoefficients(midGain_, midFrequency_, midQ_, fs_, mid_);
}

void CrunchPreamp::setMidQ(float x) {
    if (!(x > 0.0f) || !std::isfinite(x) || x == midQ_) {
        return;
    }
    midQ_ = x;
    peakingCoefficients(midGain_, midFrequency_, midQ_, fs_, mid_);
}

void CrunchPreamp::setSampleRate(float rate) {
    const float highest = std::max(midFrequency_, kOutputHighPassFrequency);
    if (!std::isfinite(rate) || !(static_cast<double>(rate) > 2.0 * highest) ||
        rate > kel_dsp::kMaximumSampleRate || rate == fs_) {
        return;
    }
    fs_ = rate;
    recompute();
}

float CrunchPreamp::firstStage(float d) {
    return shapeCubic(d, kFirstStage);
}
float CrunchPreamp::secondStage(float d) {
    return shapeCubic(d, kSecondStage);
}
float CrunchPreamp::thirdStage(float d) {
    return shapeQuartic(d, kThirdStage);
}

float CrunchPreamp::processSample(float x) {
    float d = scaled(inputGain_, x);
    if (d == 0.0f) {
        d = kSilenceInput;
    }
    const float e = flushTiny(firstStage(d));
    const float yA = runInline(mid_, scaled(mid_.g, e), midS1_, midS2_);
    const float yB = flushTiny(runInline(tone_, scaled(tone_.g, yA), toneS1_, toneS2_));
    const float h = scaled(drive_, -yB); // first inversion
    const float w = secondStage(h);
    const float u = scaled(-stageGain_, w); // second inversion
    const float v = flushTiny(thirdStage(u));
    return flushTiny(runInline(out_, scaled(out_.g, v), outS1_, outS2_));
}

void CrunchPreamp::clearStatesIfNotFinite() {
    for (float s : {midS1_, midS2_, toneS1_, toneS2_, outS1_, outS2_}) {
        if (!std::isfinite(s)) {
            midS1_ = midS2_ = toneS1_ = toneS2_ = outS1_ = outS2_ = 0.0f;
            return;
        }
    }
}

void CrunchPreamp::runAdding(const float* in, float* out, int n) {
    for (int i = 0; i < n; ++i) {
        const float y = processSample(in[i]);
        out[i] = static_cast<float>(static_cast<double>(out[i]) + static_cast<double>(y) * level_);
    }
    if (n > 0) {
        clearStatesIfNotFinite();
    }
}

void CrunchPreamp::runReplacing(const float* in, float* out, int n) {
    for (int i = 0; i < n; ++i) {
        out[i] = scaled(processSample(in[i]), level_);
    }
    if (n > 0) {
        clearStatesIfNotFinite();
    }
}

// ---- Both channels in one loop ----

namespace {

using namespace kel_dsp::pair;

using kel_dsp::FloatLimits;
const FloatLimits kFirstLimits = kel_dsp::floatLimits(kFirstStage);
const FloatLimits kSecondLimits = kel_dsp::floatLimits(kSecondStage);
const FloatLimits kThirdLimits = kel_dsp::floatLimits(kThirdStage);

struct PairPolynomial {
    D2 low, high, p1, p2, p3, p4;
};

PairPolynomial pairPolynomial(const HeldPolynomial& p, const FloatLimits& limits) {
    return {both(limits.lowF), both(limits.highF), both(p.p1), both(p.p2), both(p.p3), both(p.p4)};
}

KEL_PAIR_INLINE D2 shapeCubic(D2 d, const PairPolynomial& c) {
    d = clampKeepNaN(d, c.low, c.high);
    return mul(d, add(sub(mul(c.p2, d), mul(mul(c.p3, d), d)), c.p1));
}

KEL_PAIR_INLINE D2 shapeQuartic(D2 d, const PairPolynomial& c) {
    d = clampKeepNaN(d, c.low, c.high);
    const D2 cubic = mul(mul(mul(c.p4, d), d), d);
    const D2 square = mul(mul(c.p3, d), d);
    return mul(d, add(add(add(cubic, square), mul(c.p2, d)), c.p1));
}

// An inline section on both lanes; s1 is kept as float for the float addition that forms y,
// s2 as its float value in double for the compound expression that forms s1.
struct PairInline {
    D2 g, c1, c2, a1, a2;
    F2 s1;
    D2 s2;
};

PairInline pairInline(const SectionCoefficients& l, const SectionCoefficients& r, float s1l,
                      float s1r, float s2l, float s2r) {
    return {both(l.g, r.g),   both(l.c1, r.c1),    both(l.c2, r.c2), both(l.a1, r.a1),
            both(l.a2, r.a2), bothFloat(s1l, s1r), both(s2l, s2r)};
}

// runInline on both lanes for the section input `input` (after g), given also widened; returns
// y (not flushed) widened.
KEL_PAIR_INLINE D2 run(PairInline& s, F2 input, D2 inputWide) {
    const D2 y = widen(addFloat(s.s1, input));
    s.s1 = narrow(add(sub(mul(s.c1, inputWide), mul(s.a1, y)), s.s2));
    s.s2 = roundToFloat(sub(mul(s.c2, inputWide), mul(s.a2, y)));
    return y;
}

} // namespace

template <bool Adding>
KEL_REALIGN_STACK void CrunchPreamp::runPair(CrunchPreamp& l, CrunchPreamp& r, const float* inLeft,
                                             const float* inRight, float* outLeft, float* outRight,
                                             int n) {
    if (n <= 0) {
        return;
    }
    PairInline mid = pairInline(l.mid_, r.mid_, l.midS1_, r.midS1_, l.midS2_, r.midS2_);
    PairInline tone = pairInline(l.tone_, r.tone_, l.toneS1_, r.toneS1_, l.toneS2_, r.toneS2_);
    // The output high-pass has g = 1, c1 = −2 and c2 = 1 by design: c = v, c1·c = −2·v.
    PairInline output = pairInline(l.out_, r.out_, l.outS1_, r.outS1_, l.outS2_, r.outS2_);
    const PairPolynomial first = pairPolynomial(kFirstStage, kFirstLimits);
    const PairPolynomial second = pairPolynomial(kSecondStage, kSecondLimits);
    const PairPolynomial third = pairPolynomial(kThirdStage, kThirdLimits);
    const D2 inputGain = both(l.inputGain_, r.inputGain_);
    const D2 negatedDrive = both(-l.drive_, -r.drive_);
    const D2 negatedStageGain = both(-l.stageGain_, -r.stageGain_);
    const D2 level = both(l.level_, r.level_);
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
    D2 d = both(0.0), c1 = both(0.0), yA = both(0.0), yB = both(0.0), h = both(0.0), w1 = both(0.0),
       u = both(0.0), q = both(0.0);
    F2 a = _mm_setzero_ps(), b = _mm_setzero_ps(), c = _mm_setzero_ps();
    D2 aW = both(0.0), bW = both(0.0), cW = both(0.0);
    const auto pass = [&](int i, unsigned active) KEL_LAMBDA_INLINE {
        if (active & 2048u) {
            const int j = i - 11;
            const D2 yC = flushTiny(run(output, c, cW));
            if constexpr (Adding) {
                const D2 previous = widen(load(outLeft + j, outRight + j));
                store(narrow(add(previous, mul(yC, level))), outLeft + j, outRight + j);
            } else {
                store(narrow(mul(yC, level)), outLeft + j, outRight + j);
            }
        }
        if (active & 1024u) {
            c = flushTiny(narrow(q)); // v, and c = g·v = v (g = 1)
            cW = widen(c);
        }
        if (active & 512u) {
            q = shapeQuartic(u, third);
        }
        if (active & 256u) {
            u = roundToFloat(mul(roundToFloat(w1), negatedStageGain));
        }
        if (active & 128u) {
            w1 = shapeCubic(h, second);
        }
        if (active & 64u) {
            h = roundToFloat(mul(yB, negatedDrive));
        }
        if (active & 32u) {
            yB = flushTiny(run(tone, b, bW));
        }
        if (active & 16u) {
            b = narrow(mul(tone.g, yA));
            bW = widen(b);
        }
        if (active & 8u) {
            yA = run(mid, a, aW);
        }
        if (active & 4u) {
            a = narrow(mul(mid.g, widen(flushTiny(narrow(c1)))));
            aW = widen(a);
        }
        if (active & 2u) {
            c1 = shapeCubic(d, first);
        }
        if (active & 1u) {
            const D2 x = widen(load(inLeft + i, inRight + i));
            d = replaceZero(roundToFloat(mul(inputGain, x)), silenceInput);
        }
    };
    runPipelined<kStages>(n, pass);

    l.midS1_ = leftLane(mid.s1);
    r.midS1_ = rightLane(mid.s1);
    l.midS2_ = leftLane(narrow(mid.s2));
    r.midS2_ = rightLane(narrow(mid.s2));
    l.toneS1_ = leftLane(tone.s1);
    r.toneS1_ = rightLane(tone.s1);
    l.toneS2_ = leftLane(narrow(tone.s2));
    r.toneS2_ = rightLane(narrow(tone.s2));
    l.outS1_ = leftLane(output.s1);
    r.outS1_ = rightLane(output.s1);
    l.outS2_ = leftLane(narrow(output.s2));
    r.outS2_ = rightLane(narrow(output.s2));
    l.clearStatesIfNotFinite();
    r.clearStatesIfNotFinite();
}

void CrunchPreamp::runPairAdding(CrunchPreamp& left, CrunchPreamp& right, const float* inLeft,
                                 const float* inRight, float* outLeft, float* outRight, int n,
                                 kel_dsp::StereoKernel kernel) {
    if (kernel == kel_dsp::StereoKernel::Avx2 && kel_dsp::kernelRuns(kernel)) {
        runPairAvx2<true>(left, right, inLeft, inRight, outLeft, outRight, n);
    } else {
        runPair<true>(left, right, inLeft, inRight, outLeft, outRight, n);
    }
}

void CrunchPreamp::runPairReplacing(CrunchPreamp& left, CrunchPreamp& right, const float* inLeft,
                                    const float* inRight, float* outLeft, float* outRight, int n,
                                    kel_dsp::StereoKernel kernel) {
    if (kernel == kel_dsp::StereoKernel::Avx2 && kel_dsp::kernelRuns(kernel)) {
        runPairAvx2<false>(left, right, inLeft, inRight, outLeft, outRight, n);
    } else {
        runPair<false>(left, right, inLeft, inRight, outLeft, outRight, n);
    }
}

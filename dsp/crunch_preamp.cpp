#include "dsp/crunch_preamp.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "dsp/channel_pair.h"
#include "dsp/design_math.h"

using kel_dsp::flushTiny;

namespace {

constexpr float kOutputHighPassFrequency = 100.0f;
constexpr float kSilenceInput = 1e-8f; // what a zero input enters the first waveshaper as

// d · (p1 + p2·d − p3·d² + p4·d³) for inputs in [low, high], held at lowOut below and at highOut
// above; p4 = 0 for the two cubics. Each lower limit sits at the polynomial's minimum.
struct Polynomial {
    double low;
    float lowOut;
    double high;
    float highOut;
    double p1, p2, p3, p4;
};

constexpr Polynomial kFirstStage{-2.939192752, -0.37826452f, 3.75,      0.9999991f,
                                 0.2274823,    0.0234331,    0.0034624, 0.0};
constexpr Polynomial kSecondStage{-1.876194887, -0.18074624f, 3.75,      0.9999996f,
                                  0.179489,     0.0372926,    0.0037454, 0.0};
// The quartic's coefficients are all positive: d · (p1 + p2·d + p3·d² + p4·d³).
constexpr Polynomial kThirdStage{-3.92348276, -0.5513311f, 3.85,      0.9999946f,
                                 0.1964888,   0.0041427,   0.0003329, 0.0007424};

float shapeCubic(float d, const Polynomial& c) {
    if (d < c.low) {
        return c.lowOut;
    }
    if (d > c.high) {
        return c.highOut;
    }
    const double x = d;
    return static_cast<float>(x * ((c.p2 * x - c.p3 * x * x) + c.p1));
}

float shapeQuartic(float d, const Polynomial& c) {
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

// Limits as the float values they act on (see the clean preamp): the polynomials at these
// floats round to the held values, so clamping the input gives them exactly.
struct Limits {
    double lowF, highF;
};
Limits floatLimits(const Polynomial& p) {
    return {floatAtOrAbove(p.low), floatAtOrBelow(p.high)};
}
const Limits kFirstLimits = floatLimits(kFirstStage);
const Limits kSecondLimits = floatLimits(kSecondStage);
const Limits kThirdLimits = floatLimits(kThirdStage);

struct PairPolynomial {
    D2 low, high, p1, p2, p3, p4;
};

PairPolynomial pairPolynomial(const Polynomial& p, const Limits& limits) {
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

    // Software pipelined as in the clean preamp: the pass for frame i runs stage k on frame
    // i − k, so one pass holds six independent pieces of work instead of one long chain. Frame j
    // is read in pass j and written in pass j + 5, after every read of that frame.
    constexpr int kStages = 6;
    F2 e = _mm_setzero_ps(); // first waveshaper output, frame i − 1
    D2 yA = both(0.0);       // mid section output, frame i − 2
    D2 yB = both(0.0);       // tone section output, flushed, frame i − 3
    D2 u = both(0.0);        // third waveshaper input, frame i − 4
    F2 v = _mm_setzero_ps(); // third waveshaper output, frame i − 5
    const auto pass = [&](int i, unsigned active) KEL_LAMBDA_INLINE {
        if (active & 32u) {
            const int j = i - 5;
            // c = g·v = v (g = 1); c1·c = −2·v in double, exact.
            const D2 c = widen(v);
            const D2 y = widen(addFloat(output.s1, v));
            output.s1 = narrow(add(sub(mul(both(-2.0), c), mul(output.a1, y)), output.s2));
            output.s2 = roundToFloat(sub(c, mul(output.a2, y)));
            const D2 yC = flushTiny(y);
            if constexpr (Adding) {
                const D2 previous = widen(load(outLeft + j, outRight + j));
                store(narrow(add(previous, mul(yC, level))), outLeft + j, outRight + j);
            } else {
                store(narrow(mul(yC, level)), outLeft + j, outRight + j);
            }
        }
        if (active & 16u) {
            v = flushTiny(narrow(shapeQuartic(u, third)));
        }
        if (active & 8u) {
            const D2 h = roundToFloat(mul(yB, negatedDrive));
            const D2 w = roundToFloat(shapeCubic(h, second));
            u = roundToFloat(mul(w, negatedStageGain));
        }
        if (active & 4u) {
            const F2 b = narrow(mul(tone.g, yA));
            yB = flushTiny(run(tone, b, widen(b)));
        }
        if (active & 2u) {
            const F2 a = narrow(mul(mid.g, widen(e)));
            yA = run(mid, a, widen(a));
        }
        if (active & 1u) {
            const D2 x = widen(load(inLeft + i, inRight + i));
            const D2 d = replaceZero(roundToFloat(mul(inputGain, x)), silenceInput);
            e = flushTiny(narrow(shapeCubic(d, first)));
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
                                 const float* inRight, float* outLeft, float* outRight, int n) {
    runPair<true>(left, right, inLeft, inRight, outLeft, outRight, n);
}

void CrunchPreamp::runPairReplacing(CrunchPreamp& left, CrunchPreamp& right, const float* inLeft,
                                    const float* inRight, float* outLeft, float* outRight, int n) {
    runPair<false>(left, right, inLeft, inRight, outLeft, outRight, n);
}

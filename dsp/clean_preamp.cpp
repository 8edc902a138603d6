#include "dsp/clean_preamp.h"

#include <cassert>
#include <cmath>
#include <initializer_list>

#include "dsp/channel_pair.h"
#include "dsp/design_math.h"

namespace {

constexpr float kShelfFrequency = 2000.0f;
constexpr float kMinimumSampleRate = 2.0f * kShelfFrequency;

// A cubic d · (p1 + p2·d − p3·d²) for inputs in [low, high], held at lowOut below and at highOut
// above. Each lower limit sits at the cubic's minimum.
struct Cubic {
    double low;
    float lowOut;
    double high;
    float highOut;
    double p1, p2, p3;
};

constexpr Cubic kFirstStage{-3.931192,    -0.66659313f,  3.5,           1.0f,
                            0.2819329931, 0.01403408101, 0.003701060478};
constexpr Cubic kSecondStage{-2.425192775, -0.2077921f,   5.0,          1.0f,
                             0.1555719892, 0.02230833481, 0.00268454653};

float shape(float d, const Cubic& c) {
    if (d < c.low) {
        return c.lowOut;
    }
    if (d > c.high) {
        return c.highOut;
    }
    const double x = d;
    return static_cast<float>(x * ((c.p2 * x - c.p3 * x * x) + c.p1));
}

} // namespace

CleanPreamp::CleanPreamp() {
    for (FilterSection* section :
         {&interStageHighPass_, &outputHighPass_, &brightShelf_, &inputHighPass_}) {
        section->setSampleRate(fs_);
    }
    interStageHighPass_.designHighPass(40.0f, true);
    outputHighPass_.designHighPass(30.0f, true);
    brightShelf_.designHighShelf(kShelfFrequency, bright_, true);
    inputHighPass_.designHighPass(40.0f, true);
}

void CleanPreamp::setBright(float x) {
    if (!std::isfinite(x) || x == bright_) {
        return;
    }
    bright_ = x;
    brightShelf_.designHighShelf(kShelfFrequency, x, true);
}

void CleanPreamp::setSampleRate(float rate) {
    if (!(rate > kMinimumSampleRate) || !(rate <= kel_dsp::kMaximumSampleRate) || rate == fs_) {
        return;
    }
    fs_ = rate;
    for (FilterSection* section :
         {&interStageHighPass_, &outputHighPass_, &brightShelf_, &inputHighPass_}) {
        section->setSampleRate(rate);
    }
}

float CleanPreamp::firstStage(float d) {
    return shape(d, kFirstStage);
}
float CleanPreamp::secondStage(float d) {
    return shape(d, kSecondStage);
}

float CleanPreamp::processSample(float x) {
    const float y1 = inputHighPass_.processSample(x);
    const float e = firstStage(y1);
    const float y2 = interStageHighPass_.processSample(e);
    const float y3 = brightShelf_.processSample(y2);
    const float u = static_cast<float>(static_cast<double>(-y3) * drive_); // inverts
    const float h = secondStage(u);
    return outputHighPass_.processSample(h);
}

void CleanPreamp::clearStatesIfNotFinite() {
    for (FilterSection* section :
         {&interStageHighPass_, &outputHighPass_, &brightShelf_, &inputHighPass_}) {
        if (!std::isfinite(section->s1_) || !std::isfinite(section->s2_)) {
            interStageHighPass_.reset();
            outputHighPass_.reset();
            brightShelf_.reset();
            inputHighPass_.reset();
            return;
        }
    }
}

void CleanPreamp::runAdding(const float* in, float* out, int n) {
    for (int i = 0; i < n; ++i) {
        const float y = processSample(in[i]);
        out[i] = static_cast<float>(static_cast<double>(out[i]) + static_cast<double>(level_) * y);
    }
    if (n > 0) {
        clearStatesIfNotFinite();
    }
}

void CleanPreamp::runReplacing(const float* in, float* out, int n) {
    for (int i = 0; i < n; ++i) {
        out[i] = static_cast<float>(static_cast<double>(level_) * processSample(in[i]));
    }
    if (n > 0) {
        clearStatesIfNotFinite();
    }
}

// ---- Both channels in one loop ----

namespace {

using namespace kel_dsp::pair;

// Waveshaper limits as the float values they act on: for a float input, d < low ⇔ d < lowF and
// d > high ⇔ d > highF. The cubic at lowF and at highF rounds to lowOut and highOut, so clamping
// the input to [lowF, highF] and evaluating the cubic gives the held values exactly.
struct CubicLimits {
    double lowF, highF;
};
const CubicLimits kFirstLimits{floatAtOrAbove(kFirstStage.low), floatAtOrBelow(kFirstStage.high)};
const CubicLimits kSecondLimits{floatAtOrAbove(kSecondStage.low),
                                floatAtOrBelow(kSecondStage.high)};

struct PairCubic {
    D2 low, high, p1, p2, p3;
};

PairCubic pairCubic(const Cubic& c, const CubicLimits& limits) {
    return {both(limits.lowF), both(limits.highF), both(c.p1), both(c.p2), both(c.p3)};
}

KEL_PAIR_INLINE D2 shape(D2 d, const PairCubic& c) {
    d = clampKeepNaN(d, c.low, c.high);
    return mul(d, add(sub(mul(c.p2, d), mul(mul(c.p3, d), d)), c.p1));
}

// A Butterworth high-pass section: c1 = −2 and c2 = 1 by design.
struct PairHighPass {
    D2 g, a1, a2;
    F2 s1, s2;
};

struct PairSection {
    D2 g, c1, c2, a1, a2;
    F2 s1, s2;
};

PairHighPass pairHighPass(const FilterSection& l, const FilterSection& r) {
    const SectionCoefficients cl = l.coefficients();
    const SectionCoefficients cr = r.coefficients();
    assert(cl.c1 == -2.0f && cl.c2 == 1.0f && cr.c1 == -2.0f && cr.c2 == 1.0f);
    return {both(cl.g, cr.g), both(cl.a1, cr.a1), both(cl.a2, cr.a2),
            bothFloat(l.state1(), r.state1()), bothFloat(l.state2(), r.state2())};
}

PairSection pairSection(const FilterSection& l, const FilterSection& r) {
    const SectionCoefficients cl = l.coefficients();
    const SectionCoefficients cr = r.coefficients();
    return {both(cl.g, cr.g),
            both(cl.c1, cr.c1),
            both(cl.c2, cr.c2),
            both(cl.a1, cr.a1),
            both(cl.a2, cr.a2),
            bothFloat(l.state1(), r.state1()),
            bothFloat(l.state2(), r.state2())};
}

// FilterSection::processSample on both lanes; returns y widened. For a section whose input is a
// waveshaper's output (|x| ≤ 1, or NaN), t1 = −2·a cannot overflow and is formed in double.
template <bool BoundedInput>
KEL_PAIR_INLINE D2 run(PairHighPass& s, D2 x) {
    const F2 a = flushTiny(narrow(mul(s.g, x)));
    const D2 ad = widen(a);
    const D2 y = widenFlushed(addFloat(s.s1, a));
    D2 t1;
    if constexpr (BoundedInput) {
        t1 = mul(ad, both(-2.0));
    } else {
        // In float: a is normal or +0 here, so the product meets no subnormal, and it
        // overflows to infinity exactly where the float product does.
        t1 = widen(_mm_mul_ps(a, _mm_set1_ps(-2.0f)));
    }
    s.s1 = addFloat(narrow(sub(t1, mul(s.a1, y))), s.s2);
    s.s2 = narrow(sub(ad, mul(s.a2, y))); // t3 = 1·a = a
    return y;
}

KEL_PAIR_INLINE D2 run(PairSection& s, D2 x) {
    const F2 a = flushTiny(narrow(mul(s.g, x)));
    const D2 ad = widen(a);
    const D2 y = widenFlushed(addFloat(s.s1, a));
    const D2 t1 = roundToFloat(mul(s.c1, ad));
    s.s1 = addFloat(narrow(sub(t1, mul(s.a1, y))), s.s2);
    const D2 t3 = roundToFloat(mul(s.c2, ad));
    s.s2 = narrow(sub(t3, mul(s.a2, y)));
    return y;
}

} // namespace

template <bool Adding>
KEL_REALIGN_STACK void CleanPreamp::runPair(CleanPreamp& l, CleanPreamp& r, const float* inLeft,
                                            const float* inRight, float* outLeft, float* outRight,
                                            int n) {
    if (n <= 0) {
        return;
    }
    PairHighPass inputHighPass = pairHighPass(l.inputHighPass_, r.inputHighPass_);
    PairHighPass interStageHighPass = pairHighPass(l.interStageHighPass_, r.interStageHighPass_);
    PairSection brightShelf = pairSection(l.brightShelf_, r.brightShelf_);
    PairHighPass outputHighPass = pairHighPass(l.outputHighPass_, r.outputHighPass_);
    const PairCubic first = pairCubic(kFirstStage, kFirstLimits);
    const PairCubic second = pairCubic(kSecondStage, kSecondLimits);
    const D2 negatedDrive = both(-l.drive_, -r.drive_); // (−y3)·drive = y3·(−drive), bit for bit
    const D2 level = both(l.level_, r.level_);

    // Software pipelined: the pass for frame i runs stage k on frame i − k, so one pass holds six
    // independent pieces of work (four of them section recurrences) instead of one long chain of
    // dependent steps, and the CPU overlaps them. Frame j is read in pass j and written in pass
    // j + 5, so every frame of every buffer is still read before that frame is written.
    constexpr int kStages = 6;
    D2 y1 = both(0.0); // input high-pass output, frame i − 1
    D2 e = both(0.0);  // first waveshaper output, frame i − 2
    D2 y2 = both(0.0); // inter-stage high-pass output, frame i − 3
    D2 y3 = both(0.0); // bright shelf output, frame i − 4
    D2 h = both(0.0);  // second waveshaper output, frame i − 5
    // Bit k of `active`: stage k has a frame in this pass. Stages run last to first, each taking
    // what the stage before it left in the previous pass.
    const auto pass = [&](int i, unsigned active) KEL_LAMBDA_INLINE {
        if (active & 32u) {
            const int j = i - 5;
            const D2 y4 = run<true>(outputHighPass, h);
            if constexpr (Adding) {
                const D2 previous = widen(load(outLeft + j, outRight + j));
                store(narrow(add(previous, mul(level, y4))), outLeft + j, outRight + j);
            } else {
                store(narrow(mul(level, y4)), outLeft + j, outRight + j);
            }
        }
        if (active & 16u) {
            h = roundToFloat(shape(roundToFloat(mul(y3, negatedDrive)), second));
        }
        if (active & 8u) {
            y3 = run(brightShelf, y2);
        }
        if (active & 4u) {
            y2 = run<true>(interStageHighPass, e);
        }
        if (active & 2u) {
            e = roundToFloat(shape(y1, first));
        }
        if (active & 1u) {
            y1 = run<false>(inputHighPass, widen(load(inLeft + i, inRight + i)));
        }
    };
    runPipelined<kStages>(n, pass);

    const auto keep = [](const PairHighPass& p, FilterSection& sl, FilterSection& sr) {
        sl.s1_ = leftLane(p.s1);
        sl.s2_ = leftLane(p.s2);
        sr.s1_ = rightLane(p.s1);
        sr.s2_ = rightLane(p.s2);
    };
    keep(inputHighPass, l.inputHighPass_, r.inputHighPass_);
    keep(interStageHighPass, l.interStageHighPass_, r.interStageHighPass_);
    keep(outputHighPass, l.outputHighPass_, r.outputHighPass_);
    l.brightShelf_.s1_ = leftLane(brightShelf.s1);
    l.brightShelf_.s2_ = leftLane(brightShelf.s2);
    r.brightShelf_.s1_ = rightLane(brightShelf.s1);
    r.brightShelf_.s2_ = rightLane(brightShelf.s2);
    l.clearStatesIfNotFinite();
    r.clearStatesIfNotFinite();
}

void CleanPreamp::runPairAdding(CleanPreamp& left, CleanPreamp& right, const float* inLeft,
                                const float* inRight, float* outLeft, float* outRight, int n) {
    runPair<true>(left, right, inLeft, inRight, outLeft, outRight, n);
}

void CleanPreamp::runPairReplacing(CleanPreamp& left, CleanPreamp& right, const float* inLeft,
                                   const float* inRight, float* outLeft, float* outRight, int n) {
    runPair<false>(left, right, inLeft, inRight, outLeft, outRight, n);
}

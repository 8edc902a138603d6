#include "dsp/clean_preamp.h"

#include <cassert>
#include <cmath>
#include <initializer_list>

#include "dsp/channel_pair.h"
#include "dsp/design_math.h"
#include "dsp/preamp_waveshapers.h"

namespace {

constexpr float kShelfFrequency = 2000.0f;
constexpr float kMinimumSampleRate = 2.0f * kShelfFrequency;

using kel_dsp::HeldPolynomial;
using kel_dsp::clean::kFirstStage;
using kel_dsp::clean::kSecondStage;

float shape(float d, const HeldPolynomial& c) {
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

using kel_dsp::FloatLimits;
const FloatLimits kFirstLimits = kel_dsp::floatLimits(kFirstStage);
const FloatLimits kSecondLimits = kel_dsp::floatLimits(kSecondStage);

struct PairCubic {
    D2 low, high, p1, p2, p3;
};

PairCubic pairCubic(const HeldPolynomial& c, const FloatLimits& limits) {
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

// FilterSection::processSample on both lanes, split in two: what depends only on the input
// (prepare) and the recurrence (step), which returns y widened. The kernel runs them in different
// passes.
struct Prepared {
    F2 a;
    D2 ad, t1, t3;
};

// The Butterworth high-passes keep only a between the passes: t1 = −2·a and t3 = a follow from it.
KEL_PAIR_INLINE F2 prepareHighPass(const PairHighPass& s, D2 x) {
    return flushTiny(narrow(mul(s.g, x)));
}
KEL_PAIR_INLINE Prepared prepare(const PairSection& s, D2 x) {
    const F2 a = flushTiny(narrow(mul(s.g, x)));
    const D2 ad = widen(a);
    return {a, ad, roundToFloat(mul(s.c1, ad)), roundToFloat(mul(s.c2, ad))};
}
template <class Section>
KEL_PAIR_INLINE D2 step(Section& s, F2 a, D2 t1, D2 t3) {
    const D2 y = widenFlushed(addFloat(s.s1, a));
    s.s1 = addFloat(narrow(sub(t1, mul(s.a1, y))), s.s2);
    s.s2 = narrow(sub(t3, mul(s.a2, y)));
    return y;
}
KEL_PAIR_INLINE D2 step(PairSection& s, const Prepared& p) {
    return step(s, p.a, p.t1, p.t3);
}
// Unbounded input: t1 = −2·a in float (a is normal or +0, so the product meets no subnormal and
// overflows to infinity where the float product does).
KEL_PAIR_INLINE D2 stepHighPass(PairHighPass& s, F2 a) {
    return step(s, a, widen(_mm_mul_ps(a, _mm_set1_ps(-2.0f))), widen(a));
}
// A waveshaper's output (|x| ≤ 1, or NaN): t1 = −2·a exactly in double.
KEL_PAIR_INLINE D2 stepBoundedHighPass(PairHighPass& s, F2 a) {
    const D2 ad = widen(a);
    return step(s, a, mul(ad, both(-2.0)), ad);
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

    // Software pipelined: the pass for frame i runs stage k on frame i − k, each stage taking what
    // the stage before it left in the previous pass, so that one pass holds eleven independent
    // pieces of work (four of them filter recurrences) rather than one long chain of dependent
    // steps, and the processor overlaps them. Stages are kept short: an instruction waits in the
    // processor's scheduler until its inputs are there, and long chains within a pass fill the
    // scheduler before the recurrences do. Frame j is read in pass j and written in pass j + 10,
    // after every read of it.
    //   0 input high-pass, prepared      6 bright shelf, y3
    //   1 input high-pass, y1            7 (−y3)·drive rounded
    //   2 first waveshaper               8 second waveshaper
    //   3 rounded, inter-stage prepared  9 rounded, output high-pass prepared
    //   4 inter-stage high-pass, y2     10 output high-pass, y4, and the level
    //   5 bright shelf, prepared
    constexpr int kStages = 11;
    Prepared pBS{};
    F2 pIH = _mm_setzero_ps(), pIS = _mm_setzero_ps(), pOH = _mm_setzero_ps();
    D2 y1 = both(0.0), e1 = both(0.0), y2 = both(0.0), y3 = both(0.0), u = both(0.0),
       h1 = both(0.0);
    const auto pass = [&](int i, unsigned active) KEL_LAMBDA_INLINE {
        if (active & 1024u) {
            const int j = i - 10;
            const D2 y4 = stepBoundedHighPass(outputHighPass, pOH);
            if constexpr (Adding) {
                const D2 previous = widen(load(outLeft + j, outRight + j));
                store(narrow(add(previous, mul(level, y4))), outLeft + j, outRight + j);
            } else {
                store(narrow(mul(level, y4)), outLeft + j, outRight + j);
            }
        }
        if (active & 512u) {
            pOH = prepareHighPass(outputHighPass, roundToFloat(h1));
        }
        if (active & 256u) {
            h1 = shape(u, second);
        }
        if (active & 128u) {
            u = roundToFloat(mul(y3, negatedDrive));
        }
        if (active & 64u) {
            y3 = step(brightShelf, pBS);
        }
        if (active & 32u) {
            pBS = prepare(brightShelf, y2);
        }
        if (active & 16u) {
            y2 = stepBoundedHighPass(interStageHighPass, pIS);
        }
        if (active & 8u) {
            pIS = prepareHighPass(interStageHighPass, roundToFloat(e1));
        }
        if (active & 4u) {
            e1 = shape(y1, first);
        }
        if (active & 2u) {
            y1 = stepHighPass(inputHighPass, pIH);
        }
        if (active & 1u) {
            pIH = prepareHighPass(inputHighPass, widen(load(inLeft + i, inRight + i)));
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
                                const float* inRight, float* outLeft, float* outRight, int n,
                                kel_dsp::StereoKernel kernel) {
    if (kernel == kel_dsp::StereoKernel::Avx2 && kel_dsp::kernelRuns(kernel)) {
        runPairAvx2<true>(left, right, inLeft, inRight, outLeft, outRight, n);
    } else {
        runPair<true>(left, right, inLeft, inRight, outLeft, outRight, n);
    }
}

void CleanPreamp::runPairReplacing(CleanPreamp& left, CleanPreamp& right, const float* inLeft,
                                   const float* inRight, float* outLeft, float* outRight, int n,
                                   kel_dsp::StereoKernel kernel) {
    if (kernel == kel_dsp::StereoKernel::Avx2 && kel_dsp::kernelRuns(kernel)) {
        runPairAvx2<false>(left, right, inLeft, inRight, outLeft, outRight, n);
    } else {
        runPair<false>(left, right, inLeft, inRight, outLeft, outRight, n);
    }
}

// The clean preamp's AVX2 kernel: both channels of two stages in one 256-bit register.
#include <cassert>

#include "dsp/clean_preamp.h"
#include "dsp/preamp_waveshapers.h"
#include "dsp/wide_lanes.h"

namespace {

using namespace kel_dsp::wide;

// Two filter sections of both channels: lanes 0 and 1 the first one's, 2 and 3 the second one's.
struct Sections {
    D4 g, c1, c2, a1, a2;
    F4 s1, s2;
};

KEL_WIDE_INLINE Sections sections(const FilterSection& firstLeft, const FilterSection& firstRight,
                                  const FilterSection& secondLeft,
                                  const FilterSection& secondRight) {
    const SectionCoefficients k[4] = {firstLeft.coefficients(), firstRight.coefficients(),
                                      secondLeft.coefficients(), secondRight.coefficients()};
    const FilterSection* s[4] = {&firstLeft, &firstRight, &secondLeft, &secondRight};
    return {lanes(k[0].g, k[1].g, k[2].g, k[3].g),
            lanes(k[0].c1, k[1].c1, k[2].c1, k[3].c1),
            lanes(k[0].c2, k[1].c2, k[2].c2, k[3].c2),
            lanes(k[0].a1, k[1].a1, k[2].a1, k[3].a1),
            lanes(k[0].a2, k[1].a2, k[2].a2, k[3].a2),
            floatLanes(s[0]->state1(), s[1]->state1(), s[2]->state1(), s[3]->state1()),
            floatLanes(s[0]->state2(), s[1]->state2(), s[2]->state2(), s[3]->state2())};
}

// FilterSection::processSample on all four lanes, split in two as in the SSE2 kernel: what
// depends only on the input (prepare) and the recurrence (step), run in different passes.
struct Prepared {
    F4 a;
    D4 ad, t1, t3;
};

KEL_WIDE_INLINE Prepared prepare(const Sections& s, D4 x) {
    const F4 a = flushTiny(narrow(mul(s.g, x)));
    const D4 ad = widen(a);
    return {a, ad, roundToFloat(mul(s.c1, ad)), roundToFloat(mul(s.c2, ad))};
}

// Returns y widened.
KEL_WIDE_INLINE D4 step(Sections& s, F4 a, D4 t1, D4 t3) {
    const D4 y = widenFlushed(addFloat(s.s1, a));
    s.s1 = addFloat(narrow(subProduct(t1, s.a1, y)), s.s2);
    s.s2 = narrow(subProduct(t3, s.a2, y));
    return y;
}
KEL_WIDE_INLINE D4 step(Sections& s, const Prepared& p) {
    return step(s, p.a, p.t1, p.t3);
}

// Two Butterworth high-passes (c1 = −2, c2 = 1) whose inputs are waveshaper outputs (|x| ≤ 1, or
// NaN): t1 = −2·a is a float and t3 = a, so neither needs rounding, and only a is kept between
// the passes.
KEL_WIDE_INLINE F4 prepareBoundedHighPasses(const Sections& s, D4 x) {
    return flushTiny(narrow(mul(s.g, x)));
}
KEL_WIDE_INLINE D4 stepBoundedHighPasses(Sections& s, F4 a) {
    const D4 ad = widen(a);
    return step(s, a, mul(ad, all(-2.0)), ad);
}

// Two waveshapers of both channels (cubics, p4 = 0).
struct Cubics {
    D4 low, high, p1, p2, p3;
};

KEL_WIDE_INLINE Cubics cubics(const kel_dsp::HeldPolynomial& first,
                              const kel_dsp::HeldPolynomial& second) {
    const kel_dsp::FloatLimits l1 = kel_dsp::floatLimits(first);
    const kel_dsp::FloatLimits l2 = kel_dsp::floatLimits(second);
    return {lanes(l1.lowF, l1.lowF, l2.lowF, l2.lowF),
            lanes(l1.highF, l1.highF, l2.highF, l2.highF),
            lanes(first.p1, first.p1, second.p1, second.p1),
            lanes(first.p2, first.p2, second.p2, second.p2),
            lanes(first.p3, first.p3, second.p3, second.p3)};
}

KEL_WIDE_INLINE D4 shape(D4 d, const Cubics& c) {
    d = clampKeepNaN(d, c.low, c.high);
    return mul(d, add(sub(mul(c.p2, d), mul(mul(c.p3, d), d)), c.p1));
}

// The states of the lanes whose stage had a frame in this pass; the others keep theirs.
KEL_WIDE_INLINE void keepActive(Sections& s, const Sections& before, bool low, bool high) {
    const F4 mask = floatMask(low, high);
    s.s1 = select(mask, s.s1, before.s1);
    s.s2 = select(mask, s.s2, before.s2);
}

} // namespace

template <bool Adding>
KEL_WIDE_KERNEL KEL_REALIGN_STACK void
CleanPreamp::runPairAvx2(CleanPreamp& l, CleanPreamp& r, const float* inLeft, const float* inRight,
                         float* outLeft, float* outRight, int n) {
    namespace pair = kel_dsp::pair;
    if (n <= 0) {
        return;
    }
    // Software pipelined as the SSE2 kernel, with two stages of both channels in each register.
    // A register's two stages go through one instruction stream, so a pass can only start on it
    // when both of its inputs are there: the way round the registers (front sections, waveshapers,
    // back sections, and back to the front's shelf lanes) must span enough passes that its latency
    // stays below that of the filter recurrences. Hence eleven stages, the pass for frame i
    // running stage k on frame i − k:
    //   front prepared: input high-pass (0)       | bright shelf (6)
    //   front step:     input high-pass, y1 (1)   | bright shelf, y3 (7)
    //   shaped:         first waveshaper (2)      | (−y3)·drive rounded, second waveshaper (8)
    //   back prepared:  rounded, inter-stage (3)  | rounded, output high-pass (9)
    //   back step:      inter-stage, y2 (4)       | output high-pass, y4, and the level (10)
    // and stage 5 holds y2 for a pass. More stages would not fit the sixteen registers: states
    // kept in memory lengthen the recurrences. Frame j is read in pass j and written in pass
    // j + 10, after every read of it.
    Sections front = sections(l.inputHighPass_, r.inputHighPass_, l.brightShelf_, r.brightShelf_);
    Sections back = sections(l.interStageHighPass_, r.interStageHighPass_, l.outputHighPass_,
                             r.outputHighPass_);
    assert(l.interStageHighPass_.coefficients().c1 == -2.0f &&
           r.outputHighPass_.coefficients().c2 == 1.0f);
    const Cubics shapers = cubics(kel_dsp::clean::kFirstStage, kel_dsp::clean::kSecondStage);
    // The first waveshaper takes y1 as it is (1·y1 is exact), the second (−y3)·drive rounded.
    const D4 shaperGain = lanes(1.0, 1.0, -l.drive_, -r.drive_);
    const D2 level = pair::both(l.level_, r.level_);

    constexpr int kStages = 11;
    constexpr unsigned kAll = (1u << kStages) - 1;
    Prepared frontPrepared{_mm_setzero_ps(), all(0.0), all(0.0), all(0.0)};
    F4 backPrepared = _mm_setzero_ps();
    D4 frontOut = all(0.0), shaped = all(0.0), backOut = all(0.0);
    D2 held = pair::both(0.0);
    const auto pass = [&](int i, unsigned active) KEL_WIDE_LAMBDA {
        const Sections frontBefore = front, backBefore = back;
        const D2 y2 = held;
        held = lowHalf(backOut);
        backOut = stepBoundedHighPasses(back, backPrepared);
        backPrepared = prepareBoundedHighPasses(back, roundToFloat(shaped));
        shaped = shape(roundToFloat(mul(frontOut, shaperGain)), shapers);
        frontOut = step(front, frontPrepared);
        const D2 x =
            (active & 1u) ? pair::widen(pair::load(inLeft + i, inRight + i)) : pair::both(0.0);
        frontPrepared = prepare(front, join(x, y2));
        if (active != kAll) {
            keepActive(front, frontBefore, (active & 2u) != 0, (active & 128u) != 0);
            keepActive(back, backBefore, (active & 16u) != 0, (active & 1024u) != 0);
        }
        if (active & 1024u) {
            const int j = i - 10;
            const D2 y4 = highHalf(backOut);
            if constexpr (Adding) {
                const D2 previous = pair::widen(pair::load(outLeft + j, outRight + j));
                pair::store(pair::narrow(pair::add(previous, pair::mul(level, y4))), outLeft + j,
                            outRight + j);
            } else {
                pair::store(pair::narrow(pair::mul(level, y4)), outLeft + j, outRight + j);
            }
        }
    };
    runPipelined<kStages>(n, pass);

    const auto keep = [](const Sections& s, FilterSection& firstLeft, FilterSection& firstRight,
                         FilterSection& secondLeft, FilterSection& secondRight) {
        alignas(16) float s1[4], s2[4];
        _mm_store_ps(s1, s.s1);
        _mm_store_ps(s2, s.s2);
        FilterSection* lanesOf[4] = {&firstLeft, &firstRight, &secondLeft, &secondRight};
        for (int lane = 0; lane < 4; ++lane) {
            lanesOf[lane]->s1_ = s1[lane];
            lanesOf[lane]->s2_ = s2[lane];
        }
    };
    keep(front, l.inputHighPass_, r.inputHighPass_, l.brightShelf_, r.brightShelf_);
    keep(back, l.interStageHighPass_, r.interStageHighPass_, l.outputHighPass_, r.outputHighPass_);
    l.clearStatesIfNotFinite();
    r.clearStatesIfNotFinite();
}

template void CleanPreamp::runPairAvx2<true>(CleanPreamp&, CleanPreamp&, const float*, const float*,
                                             float*, float*, int);
template void CleanPreamp::runPairAvx2<false>(CleanPreamp&, CleanPreamp&, const float*,
                                              const float*, float*, float*, int);

// The crunch preamp's AVX2 kernel: both channels of two stages in one 256-bit register.
#include "dsp/crunch_preamp.h"
#include "dsp/preamp_waveshapers.h"
#include "dsp/wide_lanes.h"

namespace {

using namespace kel_dsp::wide;
namespace pair = kel_dsp::pair;

// The mid bell (lanes 0, 1) and the tone section (lanes 2, 3) as inline sections; s2 is kept as
// its float value in double for the compound expression that forms s1.
struct Sections {
    D4 g, c1, c2, a1, a2;
    F4 s1;
    D4 s2;
};

// runInline on all four lanes, split in two as in the SSE2 kernel: the section input after the
// gain g (prepare), and the recurrence (step), which returns y (not flushed) widened.
struct Prepared {
    F4 input;
    D4 inputWide;
};

KEL_WIDE_INLINE Prepared prepare(const Sections& s, D4 x) {
    const F4 input = narrow(mul(s.g, x));
    return {input, widen(input)};
}

KEL_WIDE_INLINE D4 step(Sections& s, const Prepared& p) {
    const D4 y = widen(addFloat(s.s1, p.input));
    s.s1 = narrow(add(subProduct(mul(s.c1, p.inputWide), s.a1, y), s.s2));
    s.s2 = roundToFloat(subProduct(mul(s.c2, p.inputWide), s.a2, y));
    return y;
}

KEL_WIDE_INLINE void keepActive(Sections& s, const Sections& before, bool low, bool high) {
    s.s1 = select(floatMask(low, high), s.s1, before.s1);
    s.s2 = select(doubleMask(low, high), s.s2, before.s2);
}

// The first waveshaper (lanes 0, 1) and the second (lanes 2, 3), both cubics.
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

KEL_WIDE_INLINE D4 shapeCubic(D4 d, const Cubics& c) {
    d = clampKeepNaN(d, c.low, c.high);
    return mul(d, add(sub(mul(c.p2, d), mul(mul(c.p3, d), d)), c.p1));
}

// The third waveshaper, a quartic, on both channels.
struct Quartic {
    D2 low, high, p1, p2, p3, p4;
};

KEL_WIDE_INLINE D2 shapeQuartic(D2 d, const Quartic& c) {
    d = pair::clampKeepNaN(d, c.low, c.high);
    const D2 cubic = pair::mul(pair::mul(pair::mul(c.p4, d), d), d);
    const D2 square = pair::mul(pair::mul(c.p3, d), d);
    return pair::mul(d, pair::add(pair::add(pair::add(cubic, square), pair::mul(c.p2, d)), c.p1));
}

} // namespace

template <bool Adding>
KEL_WIDE_KERNEL KEL_REALIGN_STACK void
CrunchPreamp::runPairAvx2(CrunchPreamp& l, CrunchPreamp& r, const float* inLeft,
                          const float* inRight, float* outLeft, float* outRight, int n) {
    if (n <= 0) {
        return;
    }
    // Software pipelined as the SSE2 kernel, with two stages of both channels in each register
    // (see the clean preamp's AVX2 kernel for why the stages are spread over so many passes); the
    // pass for frame i runs stage k on frame i − k:
    //   rounded:    gain·x, 1e-8 for zero (0)   | (−yB)·drive rounded (8)
    //   shaped:     first waveshaper (1)        | second waveshaper (9)
    //   kept:       e, flushed (2)              | w rounded (10)
    //   prepared:   mid bell input (3)          | tone section input (6)
    //   sections:   mid bell, yA (4)            | tone section, yB flushed (7)
    // stage 5 holds yA for a pass; on both channels in 128-bit registers, (−w)·stage gain rounded
    // (11), the third waveshaper (12), its output v flushed (13) and the output high-pass with the
    // level (14). Frame j is read in pass j and written in pass j + 14, after every read of it.
    Sections sections{lanes(l.mid_.g, r.mid_.g, l.tone_.g, r.tone_.g),
                      lanes(l.mid_.c1, r.mid_.c1, l.tone_.c1, r.tone_.c1),
                      lanes(l.mid_.c2, r.mid_.c2, l.tone_.c2, r.tone_.c2),
                      lanes(l.mid_.a1, r.mid_.a1, l.tone_.a1, r.tone_.a1),
                      lanes(l.mid_.a2, r.mid_.a2, l.tone_.a2, r.tone_.a2),
                      floatLanes(l.midS1_, r.midS1_, l.toneS1_, r.toneS1_),
                      lanes(l.midS2_, r.midS2_, l.toneS2_, r.toneS2_)};
    D2 outS2 = pair::both(l.outS2_, r.outS2_);
    F2 outS1 = pair::bothFloat(l.outS1_, r.outS1_);
    const D2 outA1 = pair::both(l.out_.a1, r.out_.a1);
    const D2 outA2 = pair::both(l.out_.a2, r.out_.a2);
    const Cubics shapers = cubics(kel_dsp::crunch::kFirstStage, kel_dsp::crunch::kSecondStage);
    const kel_dsp::FloatLimits thirdLimits = kel_dsp::floatLimits(kel_dsp::crunch::kThirdStage);
    const Quartic third{pair::both(thirdLimits.lowF),
                        pair::both(thirdLimits.highF),
                        pair::both(kel_dsp::crunch::kThirdStage.p1),
                        pair::both(kel_dsp::crunch::kThirdStage.p2),
                        pair::both(kel_dsp::crunch::kThirdStage.p3),
                        pair::both(kel_dsp::crunch::kThirdStage.p4)};
    const D4 roundedGain = lanes(l.inputGain_, r.inputGain_, -l.drive_, -r.drive_);
    // Subtracting −1e-8 where the rounded input is zero (±0 − (−r) = r) and +0 elsewhere (which
    // leaves every value, −0 included, as it is).
    const double silence = kel_dsp::crunch::kSilenceInput;
    const D4 negatedSilence = lanes(-silence, -silence, 0.0, 0.0);
    // The first waveshaper's output is flushed here, the second's is not.
    const __m128i secondShaperLanes = _mm_set_epi32(-1, -1, 0, 0);
    const __m256i midLanes = _mm256_set_epi64x(0, 0, -1, -1); // yA is not flushed, yB is
    const D2 negatedStageGain = pair::both(-l.stageGain_, -r.stageGain_);
    const D2 level = pair::both(l.level_, r.level_);

    constexpr int kStages = 15;
    constexpr unsigned kAll = (1u << kStages) - 1;
    D4 rounded = all(0.0), shaped = all(0.0), kept = all(0.0), sectionsOut = all(0.0);
    Prepared prepared{_mm_setzero_ps(), all(0.0)};
    D2 held = pair::both(0.0), u = pair::both(0.0), q = pair::both(0.0);
    F2 v = _mm_setzero_ps();
    const auto pass = [&](int i, unsigned active) KEL_WIDE_LAMBDA {
        if (active & 16384u) {
            // c = g·v = v (g = 1); c1·c = −2·v in double, exact.
            const int j = i - 14;
            const D2 c = pair::widen(v);
            const D2 y = pair::widen(pair::addFloat(outS1, v));
            outS1 = pair::narrow(
                pair::add(pair::sub(pair::mul(pair::both(-2.0), c), pair::mul(outA1, y)), outS2));
            outS2 = pair::roundToFloat(pair::sub(c, pair::mul(outA2, y)));
            const D2 yC = pair::flushTiny(y);
            if constexpr (Adding) {
                const D2 previous = pair::widen(pair::load(outLeft + j, outRight + j));
                pair::store(pair::narrow(pair::add(previous, pair::mul(yC, level))), outLeft + j,
                            outRight + j);
            } else {
                pair::store(pair::narrow(pair::mul(yC, level)), outLeft + j, outRight + j);
            }
        }
        v = pair::flushTiny(pair::narrow(q));
        q = shapeQuartic(u, third);
        u = pair::roundToFloat(pair::mul(highHalf(kept), negatedStageGain));

        const Sections before = sections;
        const D4 sectionsIn = join(lowHalf(kept), held);
        const D2 yB = highHalf(sectionsOut);
        held = lowHalf(sectionsOut);
        sectionsOut = flushTiny(step(sections, prepared), midLanes);
        if (active != kAll) {
            keepActive(sections, before, (active & 16u) != 0, (active & 128u) != 0);
        }
        prepared = prepare(sections, sectionsIn);
        kept = widen(flushTiny(narrow(shaped), secondShaperLanes));
        shaped = shapeCubic(rounded, shapers);
        const D2 x =
            (active & 1u) ? pair::widen(pair::load(inLeft + i, inRight + i)) : pair::both(0.0);
        const D4 product = roundToFloat(mul(join(x, yB), roundedGain));
        rounded = sub(product,
                      _mm256_and_pd(_mm256_cmp_pd(product, all(0.0), _CMP_EQ_OQ), negatedSilence));
    };
    runPipelined<kStages>(n, pass);

    alignas(16) float s1[4];
    alignas(32) double s2[4];
    _mm_store_ps(s1, sections.s1);
    _mm256_storeu_pd(s2, sections.s2);
    l.midS1_ = s1[0];
    r.midS1_ = s1[1];
    l.toneS1_ = s1[2];
    r.toneS1_ = s1[3];
    l.midS2_ = static_cast<float>(s2[0]);
    r.midS2_ = static_cast<float>(s2[1]);
    l.toneS2_ = static_cast<float>(s2[2]);
    r.toneS2_ = static_cast<float>(s2[3]);
    l.outS1_ = pair::leftLane(outS1);
    r.outS1_ = pair::rightLane(outS1);
    l.outS2_ = pair::leftLane(pair::narrow(outS2));
    r.outS2_ = pair::rightLane(pair::narrow(outS2));
    l.clearStatesIfNotFinite();
    r.clearStatesIfNotFinite();
}

template void CrunchPreamp::runPairAvx2<true>(CrunchPreamp&, CrunchPreamp&, const float*,
                                              const float*, float*, float*, int);
template void CrunchPreamp::runPairAvx2<false>(CrunchPreamp&, CrunchPreamp&, const float*,
                                               const float*, float*, float*, int);

// The crunch preamp's AVX2 kernel: two stages of both channels in each 256-bit register.
#include "dsp/crunch_preamp.h"
#include "dsp/wide_lanes.h"

namespace kel::dsp {

KEL_AVX2_FUNCTION void runPairAvx2(CrunchPreamp& l, CrunchPreamp& r, const StereoBlock& b,
                                   bool adding) {
    using namespace wide;
    namespace pair = pair;
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
    SectionLanes sections = wide::sections(l, r, CrunchPreamp::MidBell, CrunchPreamp::ToneSection);
    // The output high-pass has g = 1 by design: its input is v itself.
    pair::SectionLanes output = pair::section(l, r, CrunchPreamp::OutputHighPass);
    const PolynomialLanes shapers = polynomials(crunch::kFirstStage, crunch::kSecondStage);
    const pair::PolynomialLanes third = pair::polynomial(crunch::kThirdStage);
    const D4 roundedGain = lanes(l.inputGain(), r.inputGain(), -l.drive(), -r.drive());
    // Subtracting −1e-8 where the rounded input is zero (±0 − (−r) = r) and +0 elsewhere (which
    // leaves every value, −0 included, as it is).
    const double silence = crunch::kSilenceInput;
    const D4 negatedSilence = lanes(-silence, -silence, 0.0, 0.0);
    // The first waveshaper's output is flushed here, the second's is not.
    const __m128i secondShaperLanes = _mm_set_epi32(-1, -1, 0, 0);
    const __m256i midLanes = _mm256_set_epi64x(0, 0, -1, -1); // yA is not flushed, yB is
    const D2 negatedStageGain = pair::both(-l.stageGain(), -r.stageGain());
    const D2 level = pair::both(l.level(), r.level());

    constexpr int kStages = 15;
    constexpr unsigned kAll = (1u << kStages) - 1;
    D4 rounded = all(0.0), shaped = all(0.0), kept = all(0.0), sectionsOut = all(0.0);
    F4 prepared = _mm_setzero_ps();
    D2 held = pair::both(0.0), u = pair::both(0.0), q = pair::both(0.0);
    F2 v = _mm_setzero_ps();
    const auto pass = [&](int i, unsigned active) KEL_WIDE_LAMBDA {
        if (active & 16384u) {
            const int j = i - 14;
            const D2 yC = pair::flushTiny(pair::stepUnflushed(output, v, pair::widen(v)));
            pair::writeOutput(yC, level, adding, b.outLeft + j, b.outRight + j);
        }
        v = pair::flushTiny(pair::narrow(q));
        q = pair::heldQuartic(u, third);
        u = pair::roundToFloat(pair::mul(highHalf(kept), negatedStageGain));

        const SectionLanes before = sections;
        const D4 sectionsIn = join(lowHalf(kept), held);
        const D2 yB = highHalf(sectionsOut);
        held = lowHalf(sectionsOut);
        sectionsOut = flushTiny(stepUnflushed(sections, prepared, widen(prepared)), midLanes);
        if (active != kAll) {
            keepActive(sections, before, (active & 16u) != 0, (active & 128u) != 0);
        }
        prepared = scaled(sections, sectionsIn);
        kept = widen(flushTiny(narrow(shaped), secondShaperLanes));
        shaped = heldCubic(rounded, shapers);
        const D2 x =
            (active & 1u) ? pair::widen(pair::load(b.inLeft + i, b.inRight + i)) : pair::both(0.0);
        const D4 product = roundToFloat(mul(join(x, yB), roundedGain));
        rounded = sub(product,
                      _mm256_and_pd(_mm256_cmp_pd(product, all(0.0), _CMP_EQ_OQ), negatedSilence));
    };
    runPipelined<kStages>(b.n, pass);

    keep(sections, l, r, CrunchPreamp::MidBell, CrunchPreamp::ToneSection);
    pair::keep(output, l, r, CrunchPreamp::OutputHighPass);
}

} // namespace kel::dsp

// The clean preamp's AVX2 kernel: two stages of both channels in each 256-bit register.
#include <cassert>

#include "dsp/clean_preamp.h"
#include "dsp/wide_lanes.h"

namespace kel::dsp {

KEL_AVX2_FUNCTION void runPairAvx2(CleanPreamp& l, CleanPreamp& r, const StereoBlock& b,
                                   bool adding) {
    using namespace wide;
    namespace pair = pair;
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
    SectionLanes front = sections(l, r, CleanPreamp::InputHighPass, CleanPreamp::BrightShelf);
    SectionLanes back =
        sections(l, r, CleanPreamp::InterStageHighPass, CleanPreamp::OutputHighPass);
    assert(l.coefficients(CleanPreamp::InterStageHighPass).c1 == -2.0f &&
           r.coefficients(CleanPreamp::OutputHighPass).c2 == 1.0f);
    const PolynomialLanes shapers = polynomials(clean::kFirstStage, clean::kSecondStage);
    // The first waveshaper takes y1 as it is (1·y1 is exact), the second (−y3)·drive rounded.
    const D4 shaperGain = lanes(1.0, 1.0, -l.drive(), -r.drive());
    const D2 level = pair::both(l.level(), r.level());

    constexpr int kStages = 11;
    constexpr unsigned kAll = (1u << kStages) - 1;
    Prepared frontPrepared{_mm_setzero_ps(), all(0.0), all(0.0)};
    F4 backPrepared = _mm_setzero_ps();
    D4 frontOut = all(0.0), shaped = all(0.0), backOut = all(0.0);
    D2 held = pair::both(0.0);
    const auto pass = [&](int i, unsigned active) KEL_WIDE_LAMBDA {
        const SectionLanes frontBefore = front, backBefore = back;
        const D2 y2 = held;
        held = lowHalf(backOut);
        backOut = stepBoundedHighPass(back, backPrepared);
        backPrepared = scaledFlushed(back, roundToFloat(shaped));
        shaped = heldCubic(roundToFloat(mul(frontOut, shaperGain)), shapers);
        frontOut = stepFlushed(front, frontPrepared.a, frontPrepared.t1, frontPrepared.t3);
        const D2 x =
            (active & 1u) ? pair::widen(pair::load(b.inLeft + i, b.inRight + i)) : pair::both(0.0);
        frontPrepared = prepare(front, join(x, y2));
        if (active != kAll) {
            keepActive(front, frontBefore, (active & 2u) != 0, (active & 128u) != 0);
            keepActive(back, backBefore, (active & 16u) != 0, (active & 1024u) != 0);
        }
        if (active & 1024u) {
            const int j = i - 10;
            const D2 y4 = highHalf(backOut);
            pair::writeOutput(y4, level, adding, b.outLeft + j, b.outRight + j);
        }
    };
    runPipelined<kStages>(b.n, pass);

    keep(front, l, r, CleanPreamp::InputHighPass, CleanPreamp::BrightShelf);
    keep(back, l, r, CleanPreamp::InterStageHighPass, CleanPreamp::OutputHighPass);
}

} // namespace kel::dsp

#include "dsp/clean_preamp.h"

#include <cassert>
#include <cmath>

#include "dsp/channel_pair.h"
#include "dsp/design_math.h"
#include "dsp/preamp_waveshapers.h"

namespace kel::dsp {

namespace {

constexpr float kShelfFrequency = 2000.0f;
constexpr float kMinimumSampleRate = 2.0f * kShelfFrequency;
constexpr float kInputCorner = 40.0f;
constexpr float kInterStageCorner = 40.0f;
constexpr float kOutputCorner = 30.0f;

} // namespace

CleanPreamp::CleanPreamp() {
    design();
}

void CleanPreamp::design() {
    k_[InputHighPass] = highPassDesign(fs_, kInputCorner, true);
    k_[InterStageHighPass] = highPassDesign(fs_, kInterStageCorner, true);
    k_[BrightShelf] = highShelfDesign(fs_, kShelfFrequency, bright_, true);
    k_[OutputHighPass] = highPassDesign(fs_, kOutputCorner, true);
}

void CleanPreamp::setBright(float x) {
    if (!std::isfinite(x) || x == bright_) {
        return;
    }
    bright_ = x;
    k_[BrightShelf] = highShelfDesign(fs_, kShelfFrequency, x, true);
}

void CleanPreamp::setSampleRate(float rate) {
    if (!(rate > kMinimumSampleRate) || !(rate <= kMaximumSampleRate) || rate == fs_) {
        return;
    }
    fs_ = rate;
    design();
    for (SectionState& state : states_) {
        state.reset();
    }
}

float CleanPreamp::firstStage(float d) {
    return heldCubic(d, clean::kFirstStage);
}
float CleanPreamp::secondStage(float d) {
    return heldCubic(d, clean::kSecondStage);
}

float CleanPreamp::processSample(float x) {
    const float y1 = states_[InputHighPass].processSample(k_[InputHighPass], x);
    const float e = firstStage(y1);
    const float y2 = states_[InterStageHighPass].processSample(k_[InterStageHighPass], e);
    const float y3 = states_[BrightShelf].processSample(k_[BrightShelf], y2);
    const float u = static_cast<float>(static_cast<double>(-y3) * drive_); // inverts
    const float h = secondStage(u);
    return states_[OutputHighPass].processSample(k_[OutputHighPass], h);
}

// ---- Both channels in one loop ----

namespace {

using namespace pair;

// The input high-pass (c1 = −2, c2 = 1) keeps only a between its two parts: t3 = a, and t1 = −2·a
// is formed in float for its unbounded input (a is normal or +0, so the product meets no subnormal
// and overflows to infinity where the float product does).
KEL_PAIR_INLINE D2 stepHighPass(SectionLanes& s, F2 a) {
    return stepFlushed(s, a, widen(_mm_mul_ps(a, _mm_set1_ps(-2.0f))), widen(a));
}

} // namespace

KEL_REALIGN_STACK void runPairSse2(CleanPreamp& l, CleanPreamp& r, const StereoBlock& b,
                                   bool adding) {
    assert(l.coefficients(CleanPreamp::OutputHighPass).c1 == -2.0f &&
           r.coefficients(CleanPreamp::InputHighPass).c2 == 1.0f);
    SectionLanes inputHighPass = section(l, r, CleanPreamp::InputHighPass);
    SectionLanes interStageHighPass = section(l, r, CleanPreamp::InterStageHighPass);
    SectionLanes brightShelf = section(l, r, CleanPreamp::BrightShelf);
    SectionLanes outputHighPass = section(l, r, CleanPreamp::OutputHighPass);
    const PolynomialLanes first = polynomial(clean::kFirstStage);
    const PolynomialLanes second = polynomial(clean::kSecondStage);
    const D2 negatedDrive = both(-l.drive(), -r.drive()); // (−y3)·drive = y3·(−drive), bit for bit
    const D2 level = both(l.level(), r.level());

    // Software pipelined: the pass for frame i runs stage k on frame i − k, each stage taking what
    // the stage before it left in the previous pass, so that one pass holds eleven independent
    // pieces of work (four of them filter recurrences) rather than one long chain of dependent
    // steps, and the processor overlaps them. Stages are kept short: an instruction waits in the
    // processor's scheduler until its inputs are there, and long chains within a pass fill the
    // scheduler before the recurrences do. Frame j is read in pass j and written in pass j + 10,
    // after every read of it.
    //   0 input high-pass, a             6 bright shelf, y3
    //   1 input high-pass, y1            7 (−y3)·drive rounded
    //   2 first waveshaper               8 second waveshaper
    //   3 rounded, inter-stage a         9 rounded, output high-pass a
    //   4 inter-stage high-pass, y2     10 output high-pass, y4, and the level
    //   5 bright shelf, a, t1, t3
    constexpr int kStages = 11;
    Prepared pBS{};
    F2 pIH = _mm_setzero_ps(), pIS = _mm_setzero_ps(), pOH = _mm_setzero_ps();
    D2 y1 = both(0.0), e1 = both(0.0), y2 = both(0.0), y3 = both(0.0), u = both(0.0),
       h1 = both(0.0);
    const auto pass = [&](int i, unsigned active) KEL_LAMBDA_INLINE {
        if (active & 1024u) {
            const int j = i - 10;
            const D2 y4 = stepBoundedHighPass(outputHighPass, pOH);
            writeOutput(y4, level, adding, b.outLeft + j, b.outRight + j);
        }
        if (active & 512u) {
            pOH = scaledFlushed(outputHighPass, roundToFloat(h1));
        }
        if (active & 256u) {
            h1 = heldCubic(u, second);
        }
        if (active & 128u) {
            u = roundToFloat(mul(y3, negatedDrive));
        }
        if (active & 64u) {
            y3 = stepFlushed(brightShelf, pBS.a, pBS.t1, pBS.t3);
        }
        if (active & 32u) {
            pBS = prepare(brightShelf, y2);
        }
        if (active & 16u) {
            y2 = stepBoundedHighPass(interStageHighPass, pIS);
        }
        if (active & 8u) {
            pIS = scaledFlushed(interStageHighPass, roundToFloat(e1));
        }
        if (active & 4u) {
            e1 = heldCubic(y1, first);
        }
        if (active & 2u) {
            y1 = stepHighPass(inputHighPass, pIH);
        }
        if (active & 1u) {
            pIH = scaledFlushed(inputHighPass, widen(load(b.inLeft + i, b.inRight + i)));
        }
    };
    runPipelined<kStages>(b.n, pass);

    keep(inputHighPass, l, r, CleanPreamp::InputHighPass);
    keep(interStageHighPass, l, r, CleanPreamp::InterStageHighPass);
    keep(brightShelf, l, r, CleanPreamp::BrightShelf);
    keep(outputHighPass, l, r, CleanPreamp::OutputHighPass);
}

} // namespace kel::dsp

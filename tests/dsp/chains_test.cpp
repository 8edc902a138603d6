// What both preamp chains promise: the exact arithmetic (against the reference transcriptions),
// through the one-channel calls and the stereo entry alike, whatever the block size and buffer
// layout, and recovery from non-finite input.
#include <cmath>
#include <limits>
#include <type_traits>
#include <vector>

#include <gtest/gtest.h>

#include "tests/dsp/chain_support.h"

using namespace kel::dsp;
using namespace kel::crunch;

using namespace test_support;
using namespace chain_support;

namespace {

template <class Preamp>
class Chains : public ::testing::Test {};

using Preamps = ::testing::Types<CleanPreamp, CrunchPreamp>;
TYPED_TEST_SUITE(Chains, Preamps);

// The stereo entry with each kernel; one this build or processor cannot run is skipped (the
// AVX2 kernel runs only in 64-bit code).
template <class Case>
class StereoChains : public ::testing::Test {
protected:
    void SetUp() override {
        if (!kel::dsp::kernelRuns(Case::kKernel)) {
            GTEST_SKIP() << kernelName(Case::kKernel)
                         << " does not run in this build on this processor";
        }
    }
};

using kel::dsp::StereoKernel;
using ChainsAndKernels = ::testing::Types<ChainAndKernel<CleanPreamp, StereoKernel::Sse2>,
                                          ChainAndKernel<CleanPreamp, StereoKernel::Avx2>,
                                          ChainAndKernel<CrunchPreamp, StereoKernel::Sse2>,
                                          ChainAndKernel<CrunchPreamp, StereoKernel::Avx2>>;
TYPED_TEST_SUITE(StereoChains, ChainsAndKernels);

// Settings under which, after a burst, the later stages reach subnormal values as the chain
// rings down: for the crunch chain a vanishing drive scales the tone section's residue of the
// 1e-8 input down to where the third waveshaper and the output high-pass meet subnormals.
CleanSettings ringDownSettings(CleanSettings) {
    return {50.0f, 10.0f, 15.0f};
}
CrunchSettings ringDownSettings(CrunchSettings) {
    return {1e-30f, 10.0f, 15.0f};
}

} // namespace

TYPED_TEST(StereoChains, MatchTheReferenceBitForBit) {
    using Preamp = typename TypeParam::Preamp;
    constexpr StereoKernel kernel = TypeParam::kKernel;
    // A processor run on its own, and a pair run by the stereo entry with other settings and
    // another signal on the right, against the reference over random settings, rates and
    // signals, including NaN, infinite and huge samples, adding and replacing.
    using Settings = typename Chain<Preamp>::Settings;
    using Reference = typename Chain<Preamp>::Reference;
    Random rng(11);
    const float rates[] = {44100.0f, 48000.0f, 96000.0f, 22050.0f, 8000.0f, 192000.0f, 11025.0f};
    for (int trial = 0; trial < 16; ++trial) {
        Preamp mono, left, right;
        Reference ref, refRight;
        for (int block = 0; block < 40; ++block) {
            if (block % 10 == 0) {
                const float rate = rates[rng.below(7)];
                for (Preamp* p : {&mono, &left, &right}) {
                    p->setSampleRate(rate);
                }
                ref.setSampleRate(rate);
                refRight.setSampleRate(rate);
            }
            if (block % 3 == 0) {
                const Settings s = Settings::random(rng);
                s.applyTo(mono);
                s.applyTo(left);
                s.applyTo(ref);
                const Settings other = Settings::random(rng);
                other.applyTo(right);
                other.applyTo(refRight);
            }
            const std::size_t n = 1 + static_cast<std::size_t>(rng.below(600));
            std::vector<float> x0 = withExtremes(mixedSignal(rng, n), rng);
            std::vector<float> x1 = withExtremes(mixedSignal(rng, n), rng);
            std::vector<float> out(n), out0(n), out1(n), expected0(n), expected1(n);
            const bool adding = rng.below(2) != 0;
            for (std::size_t i = 0; i < n; ++i) {
                out[i] = out0[i] = rng.symmetric();
                out1[i] = rng.symmetric();
                expected0[i] = adding ? ref.adding(x0[i], out0[i]) : ref.replacing(x0[i]);
                expected1[i] = adding ? refRight.adding(x1[i], out1[i]) : refRight.replacing(x1[i]);
            }
            ref.endOfCall();
            refRight.endOfCall();
            float* in[2] = {x0.data(), x1.data()};
            float* outs[2] = {out0.data(), out1.data()};
            if (adding) {
                mono.runAdding(x0.data(), out.data(), static_cast<int>(n));
            } else {
                mono.runReplacing(x0.data(), out.data(), static_cast<int>(n));
            }
            runStereo(adding, left, right, in, outs, static_cast<int>(n), kernel);
            ASSERT_EQ(firstDifference(out, expected0), -1)
                << "trial " << trial << " block " << block;
            ASSERT_EQ(firstDifference(out0, expected0), -1) << "stereo left, trial " << trial;
            ASSERT_EQ(firstDifference(out1, expected1), -1) << "stereo right, trial " << trial;
        }
    }
}

TYPED_TEST(StereoChains, RingDownThroughSubnormalsAsTheReference) {
    using Preamp = typename TypeParam::Preamp;
    constexpr StereoKernel kernel = TypeParam::kKernel;
    // After a burst, seconds of silence, or of subnormal input (no 1e-8 rule for the crunch
    // chain then): the states decay through the subnormal range, where the flushes decide the
    // bits.
    using Settings = typename Chain<Preamp>::Settings;
    using Reference = typename Chain<Preamp>::Reference;
    for (float tail : {0.0f, 1e-39f, 3e-45f}) {
        for (const Settings& s : {Settings{}, ringDownSettings(Settings{})}) {
            Preamp left = make<Preamp>(s, 44100.0f);
            Preamp right = make<Preamp>(Settings{}, 44100.0f);
            Reference ref = make<Reference>(s, 44100.0f);
            Random rng(12);
            const std::size_t total = 44100 * 3;
            std::vector<float> x0(total), x1(total);
            for (std::size_t i = 0; i < total; ++i) {
                const float sign = (i % 3 == 0) ? -1.0f : 1.0f;
                x0[i] = i < 3000 ? 3.0f * rng.symmetric() : sign * tail;
                x1[i] = i < 2000 ? static_cast<float>(std::sin(0.05 * static_cast<double>(i)))
                                 : sign * tail;
            }
            const std::vector<float> expected = replacingReference(ref, x0);
            std::vector<float> y0(total), y1(total);
            for (std::size_t i = 0; i < total; i += 512) {
                const int n = static_cast<int>(std::min<std::size_t>(512, total - i));
                float* in[2] = {x0.data() + i, x1.data() + i};
                float* out[2] = {y0.data() + i, y1.data() + i};
                runStereoReplacing(left, right, in, out, n, kernel);
            }
            EXPECT_EQ(firstDifference(y0, expected), -1) << tail;
            Preamp mono = make<Preamp>(s, 44100.0f);
            EXPECT_EQ(firstDifference(replacing(mono, x0), expected), -1) << tail;
        }
    }
}

// An infinite or NaN input sample enters the chain as silence: the output is that of a 0 in its
// place, adding and replacing. A huge finite sample keeps its value: where it overflows a state
// (the clean chain's input high-pass at the largest floats), the chain gives silence until the
// end of the call clears the states. Every output sample is finite.
TYPED_TEST(Chains, NonFiniteInputIsReadAsSilence) {
    using Settings = typename Chain<TypeParam>::Settings;
    const std::vector<float> note = sine(440.0, 44100.0, 0.5, 256);
    for (float bad : {NAN, -NAN, INFINITY, -INFINITY}) {
        std::vector<float> x = note, silent = note;
        x[100] = bad;
        silent[100] = 0.0f;
        TypeParam p = make<TypeParam>(Settings{}, 44100.0f);
        TypeParam q = make<TypeParam>(Settings{}, 44100.0f);
        EXPECT_EQ(firstDifference(replacing(p, x), replacing(q, silent)), -1) << bad;
        std::vector<float> y(256, 0.25f), expected(256, 0.25f);
        p.runAdding(x.data(), y.data(), 256);
        q.runAdding(silent.data(), expected.data(), 256);
        EXPECT_EQ(firstDifference(y, expected), -1) << bad << " adding";
    }
    std::vector<float> huge = note, alternating(256, 3.4028235e38f);
    huge[100] = -3.4e38f;
    for (std::size_t i = 1; i < alternating.size(); i += 2) {
        alternating[i] = -3.4028235e38f;
    }
    for (const std::vector<float>& block : {huge, alternating}) {
        TypeParam p = make<TypeParam>(Settings{}, 44100.0f);
        std::vector<float> y = replacing(p, block);
        const std::vector<float> next = replacing(p, note);
        y.insert(y.end(), next.begin(), next.end());
        for (float v : y) {
            ASSERT_TRUE(std::isfinite(v));
        }
        // The states are cleared at the end of the call: the clean chain starts afresh.
        TypeParam fresh = make<TypeParam>(Settings{}, 44100.0f);
        if (std::is_same_v<TypeParam, CleanPreamp>) {
            EXPECT_EQ(firstDifference(next, replacing(fresh, note)), -1);
        }
    }
}

TYPED_TEST(Chains, BlocksAddingAndInPlaceAgree) {
    // Level 0.5 makes level·y exact, so the adding results follow from the replacing ones.
    using Settings = typename Chain<TypeParam>::Settings;
    Settings s;
    s.level = 0.5f;
    Random rng(13);
    const std::vector<float> x = mixedSignal(rng, 3000);
    TypeParam whole = make<TypeParam>(s, 48000.0f);
    const std::vector<float> expected = replacing(whole, x);

    TypeParam blocks = make<TypeParam>(s, 48000.0f);
    std::vector<float> buffer = x;
    for (std::size_t i = 0; i < buffer.size();) {
        const int n = std::min<int>(1 + rng.below(300), static_cast<int>(buffer.size() - i));
        blocks.runReplacing(buffer.data() + i, buffer.data() + i, n); // in place
        i += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(firstDifference(buffer, expected), -1);

    TypeParam onZeros = make<TypeParam>(s, 48000.0f);
    std::vector<float> sum(x.size(), 0.0f);
    onZeros.runAdding(x.data(), sum.data(), static_cast<int>(x.size()));
    EXPECT_EQ(firstDifference(sum, expected), -1);
    TypeParam inPlace = make<TypeParam>(s, 48000.0f);
    std::vector<float> mixed = x;
    inPlace.runAdding(mixed.data(), mixed.data(), static_cast<int>(x.size()));
    for (std::size_t i = 0; i < x.size(); ++i) {
        ASSERT_EQ(bitsOf(mixed[i]), bitsOf(x[i] + expected[i])) << i;
    }

    // No samples: nothing read, nothing written, nothing changed.
    TypeParam none = make<TypeParam>(s, 48000.0f);
    none.runReplacing(nullptr, nullptr, 0);
    none.runAdding(nullptr, nullptr, -4);
    EXPECT_EQ(firstDifference(replacing(none, x), expected), -1);
}

TYPED_TEST(StereoChains, StereoBlockSizeDoesNotChangeTheSound) {
    using Preamp = typename TypeParam::Preamp;
    constexpr StereoKernel kernel = TypeParam::kKernel;
    using Settings = typename Chain<Preamp>::Settings;
    Random rng(32);
    const Preamp left = make<Preamp>(Settings::random(rng), 44100.0f);
    const Preamp right = make<Preamp>(Settings::random(rng), 44100.0f);
    const std::size_t total = 3 * 4096 + 100;
    std::vector<float> x0 = mixedSignal(rng, total), x1 = mixedSignal(rng, total);
    auto render = [&](int blockSize, bool adding) {
        Preamp l = left, r = right;
        std::vector<float> y0(total, 0.25f), y1(total, -0.5f);
        for (std::size_t i = 0; i < total; i += static_cast<std::size_t>(blockSize)) {
            const int n = static_cast<int>(std::min<std::size_t>(blockSize, total - i));
            float* in[2] = {x0.data() + i, x1.data() + i};
            float* out[2] = {y0.data() + i, y1.data() + i};
            runStereo(adding, l, r, in, out, n, kernel);
        }
        y0.insert(y0.end(), y1.begin(), y1.end());
        return y0;
    };
    for (bool adding : {false, true}) {
        const std::vector<float> whole = render(static_cast<int>(total), adding);
        // Blocks shorter than, as long as and just longer than the kernels' pipelines (11 and 12
        // stages for SSE2, 11 and 15 for AVX2), whose filling and draining passes then overlap.
        for (int blockSize : {1, 2, 5, 7, 10, 11, 12, 14, 15, 16, 64, 512, 4096}) {
            EXPECT_EQ(firstDifference(render(blockSize, adding), whole), -1)
                << blockSize << (adding ? " adding" : " replacing");
        }
    }
}

TYPED_TEST(StereoChains, StereoSharedAndOverlappingBuffersGiveTheSequentialResult) {
    using Preamp = typename TypeParam::Preamp;
    constexpr StereoKernel kernel = TypeParam::kKernel;
    // Buffers as offsets into one arena: in0, in1, out0, out1.
    struct Layout {
        const char* name;
        int in0, in1, out0, out1;
    };
    const int n = 300;
    const int apart = 1000;
    const Layout layouts[] = {
        {"separate", 0, apart, 2 * apart, 3 * apart},
        {"both in place", 0, apart, 0, apart},
        {"left output on right input", 0, apart, apart, 2 * apart},
        {"right output on left input", 0, apart, apart, 0},
        {"one output for both", 0, apart, 2 * apart, 2 * apart},
        {"one output for both on right input", 0, apart, apart, apart},
        {"one input and one output for both", 0, 0, apart, apart},
        {"one input for both", 0, 0, apart, 2 * apart},
        {"everything in one buffer", 0, 0, 0, 0},
        {"channels swapped in place", 0, apart, apart, 0},
        {"left output overlaps right input", 0, apart, apart + 5, 2 * apart},
        {"left output overlaps own input", 10, apart, 0, 2 * apart},
        {"right output overlaps left output", 0, apart, 2 * apart, 2 * apart + 7},
    };
    using Settings = typename Chain<Preamp>::Settings;
    Random rng(33);
    for (const Layout& layout : layouts) {
        for (bool adding : {false, true}) {
            Preamp left = make<Preamp>(Settings::random(rng), 48000.0f);
            Preamp right = make<Preamp>(Settings::random(rng), 48000.0f);
            Preamp seqLeft = left, seqRight = right;
            // The replacing call with a scratch buffer for channel 1, in pieces of 7 frames.
            Preamp scratchLeft = left, scratchRight = right;
            std::vector<float> arena = mixedSignal(rng, 4 * apart);
            std::vector<float> seqArena = arena, scratchArena = arena, scratch(7);
            for (int round = 0; round < 3; ++round) {
                float* in[2] = {arena.data() + layout.in0, arena.data() + layout.in1};
                float* out[2] = {arena.data() + layout.out0, arena.data() + layout.out1};
                float* seqIn[2] = {seqArena.data() + layout.in0, seqArena.data() + layout.in1};
                float* seqOut[2] = {seqArena.data() + layout.out0, seqArena.data() + layout.out1};
                runStereo(adding, left, right, in, out, n, kernel);
                runSequential(adding, seqLeft, seqRight, seqIn, seqOut, n);
                ASSERT_EQ(firstDifference(arena, seqArena), -1)
                    << layout.name << (adding ? " adding" : " replacing") << " round " << round;
                if (!adding) {
                    float* sIn[2] = {scratchArena.data() + layout.in0,
                                     scratchArena.data() + layout.in1};
                    float* sOut[2] = {scratchArena.data() + layout.out0,
                                      scratchArena.data() + layout.out1};
                    runStereoReplacing(scratchLeft, scratchRight, sIn, sOut, n, scratch.data(),
                                       static_cast<int>(scratch.size()), kernel);
                    ASSERT_EQ(firstDifference(scratchArena, seqArena), -1)
                        << layout.name << " with scratch, round " << round;
                }
            }
        }
    }

    // One processor for both channels runs them in turn.
    Preamp p = make<Preamp>(Settings::random(rng), 48000.0f);
    Preamp q = p;
    std::vector<float> x0 = mixedSignal(rng, 500), x1 = mixedSignal(rng, 500);
    std::vector<float> y0(500), y1(500), z0(500), z1(500);
    float* in[2] = {x0.data(), x1.data()};
    float* out[2] = {y0.data(), y1.data()};
    float* seqOut[2] = {z0.data(), z1.data()};
    runStereoReplacing(p, p, in, out, 500, kernel);
    runSequential(false, q, q, in, seqOut, 500);
    EXPECT_EQ(firstDifference(y0, z0), -1);
    EXPECT_EQ(firstDifference(y1, z1), -1);
}

TYPED_TEST(StereoChains, StereoWithNoFramesReadsAndWritesNothing) {
    using Preamp = typename TypeParam::Preamp;
    constexpr StereoKernel kernel = TypeParam::kKernel;
    using Settings = typename Chain<Preamp>::Settings;
    Random rng(35);
    Preamp left = make<Preamp>(Settings::random(rng), 44100.0f);
    Preamp right = make<Preamp>(Settings::random(rng), 44100.0f);
    Preamp untouchedLeft = left, untouchedRight = right;
    float* none[2] = {nullptr, nullptr};
    for (int n : {0, -1, -512}) {
        runStereoReplacing(left, right, none, none, n, kernel);
        runStereoAdding(left, right, none, none, n, kernel);
    }
    // Nor did anything change inside: the next block sounds as from the untouched copies.
    std::vector<float> x0 = mixedSignal(rng, 200), x1 = mixedSignal(rng, 200);
    std::vector<float> y0(200), y1(200), z0(200), z1(200);
    float* in[2] = {x0.data(), x1.data()};
    float* out[2] = {y0.data(), y1.data()};
    float* expectedOut[2] = {z0.data(), z1.data()};
    runStereoReplacing(left, right, in, out, 200, kernel);
    runStereoReplacing(untouchedLeft, untouchedRight, in, expectedOut, 200, kernel);
    EXPECT_EQ(firstDifference(y0, z0), -1);
    EXPECT_EQ(firstDifference(y1, z1), -1);
}

namespace {

// Every second-order section of both chains, as the chains design it at a rate, over the whole
// range of every setting: the 40 and 30 Hz high-passes and the bright shelf (0 to 15 dB) of the
// clean chain, the mid bell (0 to 15 dB), the tone section and the 100 Hz high-pass of the
// crunch chain.
std::vector<SectionCoefficients> everySection(float rate) {
    std::vector<SectionCoefficients> sections;
    FilterSection section;
    section.setSampleRate(rate);
    for (float corner : {40.0f, 30.0f}) {
        section.designHighPass(corner, true);
        sections.push_back(section.coefficients());
    }
    for (int setting = 0; setting <= 15; ++setting) {
        section.designHighShelf(2000.0f, static_cast<float>(setting), true);
        sections.push_back(section.coefficients());
        SectionCoefficients bell;
        peakingCoefficients(static_cast<float>(setting), CrunchModel::kMidFrequency,
                            CrunchModel::kMidQ, rate, bell);
        sections.push_back(bell);
    }
    sections.push_back(CrunchPreamp::toneCoefficients(rate));
    SectionCoefficients highPass;
    highPassCoefficients(100.0f, rate, highPass);
    sections.push_back(highPass);
    return sections;
}

// Poles of 1 + a1 z^-1 + a2 z^-2 strictly inside the unit circle, computed exactly from the
// float coefficients.
bool polesStrictlyInside(const SectionCoefficients& k) {
    const long double a1 = k.a1;
    const long double a2 = k.a2;
    return 1.0L + a2 - std::fabs(a1) > 0.0L && std::fabs(a2) < 1.0L;
}

} // namespace

TEST(SampleRates, EverySectionKeepsItsPolesInsideTheUnitCircleOverTheAcceptedRange) {
    // A geometric grid from just above the lowest accepted rate to the highest, the rates hosts
    // use, and the rates at which rounding to the nearest float put poles outside (the 30 Hz
    // high-pass first at 635008 Hz, the 40 Hz one at 857145 Hz before the limit).
    std::vector<float> rates = {22050.0f,  44100.0f,  48000.0f,  88200.0f,  96000.0f,  176400.0f,
                                192000.0f, 352800.0f, 384000.0f, 705600.0f, 768000.0f, 635008.0f};
    for (double rate = 4001.0; rate <= 768000.0; rate *= 1.0001) {
        rates.push_back(static_cast<float>(rate));
    }
    int unstable = 0;
    for (float rate : rates) {
        for (const SectionCoefficients& k : everySection(rate)) {
            if (!polesStrictlyInside(k)) {
                ++unstable;
                ADD_FAILURE() << "poles on or outside the unit circle at " << rate << " Hz: a1 "
                              << k.a1 << ", a2 " << k.a2;
            }
        }
        if (unstable > 5) {
            break;
        }
    }
    EXPECT_EQ(unstable, 0);
}

TYPED_TEST(Chains, RatesAboveTheHighestAreIgnoredAndTheExtremesStayBounded) {
    using Settings = typename Chain<TypeParam>::Settings;
    // The highest gain, the most tone and level: a full-scale square wave at 110 Hz.
    Settings loudest;
    if constexpr (std::is_same_v<TypeParam, CleanPreamp>) {
        loudest.drive = 50.0f;
        loudest.bright = 15.0f;
    } else {
        loudest.drive = 7.0f * std::pow(10.0f, 1.5f);
        loudest.mid = 15.0f;
    }
    loudest.level = 10.0f;
    for (float rate : {4001.0f, 768000.0f}) {
        TypeParam preamp = make<TypeParam>(loudest, rate);
        for (float ignored : {768001.0f, 1e9f, std::numeric_limits<float>::infinity()}) {
            preamp.setSampleRate(ignored);
            EXPECT_EQ(preamp.sampleRate(), rate) << ignored;
        }
        std::vector<float> square(static_cast<std::size_t>(rate) * 2);
        const int halfPeriod = static_cast<int>(rate / 220.0f);
        for (std::size_t i = 0; i < square.size(); ++i) {
            square[i] = (i / static_cast<std::size_t>(halfPeriod)) % 2 == 0 ? 1.0f : -1.0f;
        }
        float peak = 0.0f;
        for (float y : replacing(preamp, square)) {
            ASSERT_TRUE(std::isfinite(y)) << rate;
            peak = std::max(peak, std::fabs(y));
        }
        // The waveshapers hold the signal; the level (10) and the output high-pass's overshoot
        // bound what is left.
        EXPECT_LT(peak, 50.0f) << rate;
        EXPECT_GT(peak, 1.0f) << rate;
    }
}

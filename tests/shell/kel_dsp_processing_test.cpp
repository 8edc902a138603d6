// What the effect does with audio: the settings it derives, bypass, block sizes, sample rates and
// bad input, for both plug-ins.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "model/level_mapping.h"
#include "model/parameter_values.h"
#include "plugins/clean/clean_model.h"
#include "plugins/crunch/crunch_model.h"
#include "shell/kel_dsp.h"
#include "tests/support/test_host.h"

using namespace kel::host;
using namespace kel::model;
using namespace kel::clean;
using namespace kel::crunch;
using namespace kel::shell;

namespace {

using Signal = std::vector<float>;

// A guitar-like test signal: decaying partials with a little noise, loud enough to reach the
// waveshapers' limits at high gain.
Signal testSignal(std::size_t frames, unsigned seed, float amplitude = 0.8f) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> noise(-0.02f, 0.02f);
    Signal signal(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        const double envelope = std::exp(-3.0 * std::fmod(t, 0.5));
        const double tone = std::sin(2 * M_PI * 110.0 * t) + 0.5 * std::sin(2 * M_PI * 330.0 * t) +
                            0.25 * std::sin(2 * M_PI * 1210.0 * t);
        signal[i] = static_cast<float>(amplitude * envelope * tone / 1.75) + noise(random);
    }
    return signal;
}

template <class Model>
class Effect : public KelDSP<Model> {
public:
    Effect() : KelDSP<Model>(hostCallback) {}
    const typename Model::Settings& settings() const { return this->derived; }
    float processorRate() const { return this->processorLeft.sampleRate(); }

    // Runs a stereo signal (left, right) through processReplacing (or process, adding into the
    // given prior output) in blocks of the given size.
    std::vector<Signal> run(const Signal& left, const Signal& right, std::size_t block,
                            bool adding = false, const std::vector<Signal>* prior = nullptr) {
        std::vector<Signal> out{prior ? (*prior)[0] : Signal(left.size()),
                                prior ? (*prior)[1] : Signal(right.size())};
        for (std::size_t start = 0; start < left.size(); start += block) {
            const auto n = static_cast<VstInt32>(std::min(block, left.size() - start));
            float* inputs[2] = {const_cast<float*>(left.data() + start),
                                const_cast<float*>(right.data() + start)};
            float* outputs[2] = {out[0].data() + start, out[1].data() + start};
            if (adding) {
                this->process(inputs, outputs, n);
            } else {
                this->processReplacing(inputs, outputs, n);
            }
        }
        return out;
    }
    std::vector<Signal> run(const Signal& signal, std::size_t block = 512) {
        return run(signal, signal, block);
    }
};

template <class Model>
class KelDSPProcessingTest : public ::testing::Test {
protected:
    void SetUp() override { resetTestHost(); }
    static std::unique_ptr<Effect<Model>> make() { return std::make_unique<Effect<Model>>(); }
};

using Models = ::testing::Types<CleanModel, CrunchModel>;
TYPED_TEST_SUITE(KelDSPProcessingTest, Models);

bool sameBits(const Signal& a, const Signal& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(ParameterMapping, CleanSettingsOfTheDefaultProgram) {
    // Output 70 arrives as 0.699999988 and becomes the setting 69.
    const CleanModel::Settings s = CleanModel::deriveSettings(50, 5, 69);
    EXPECT_NEAR(s.drive, 1.5811388f, 1e-6f);
    EXPECT_NEAR(s.level, 1.1748976f, 1e-6f);
    EXPECT_EQ(s.bright, 5.0f);
    EXPECT_NEAR(CleanModel::deriveSettings(50, 5, 70).level, 1.2589254f, 1e-6f);
}

TEST(ParameterMapping, EndsOfTheRanges) {
    EXPECT_NEAR(CleanModel::deriveSettings(0, 0, 0).drive, 0.05f, 1e-8f);
    EXPECT_NEAR(CleanModel::deriveSettings(100, 0, 0).drive, 50.0f, 1e-5f);
    EXPECT_NEAR(CleanModel::deriveSettings(0, 0, 0).level, 0.01f, 1e-9f);
    EXPECT_NEAR(CleanModel::deriveSettings(0, 0, 100).level, 10.0f, 1e-6f);
    EXPECT_EQ(CleanModel::deriveSettings(0, 15, 0).bright, 15.0f);
    EXPECT_EQ(CrunchModel::deriveSettings(0, 0, 0).drive, 7.0f);
    EXPECT_NEAR(CrunchModel::deriveSettings(50, 0, 0).drive, 39.364f, 5e-4f);
    EXPECT_NEAR(CrunchModel::deriveSettings(100, 0, 0).drive, 221.36f, 0.01f);
    EXPECT_NEAR(CrunchModel::deriveSettings(0, 0, 100).level, 10.0f, 1e-6f);
    EXPECT_EQ(CrunchModel::deriveSettings(0, 12, 0).mid, 12.0f);
}

TEST(ParameterMapping, GainsAreTheCorrectlyRoundedPowersOfTheSettingsDecibels) {
    // 10^(dB / 20) to 60 digits, rounded to float, for settings where rounding dB / 20 to float
    // first (as the filter designs do) would give the neighbouring float: the sound takes the
    // plain conversion here.
    struct Case {
        const char* what;
        float value;
        float expected;
    };
    const Case cases[] = {
        {"HN-6 Output 1", CleanModel::deriveSettings(50, 5, 1).level, 0x1.5f1d8ap-7f},
        {"HN-6 Gain 1", CleanModel::deriveSettings(1, 5, 70).drive, 0x1.b6e4ecp-5f},
        {"KR-6 Gain 20", CrunchModel::deriveSettings(20, 8, 66).drive, 0x1.bef052p+3f},
        {"KR-6 Output 69", CrunchModel::deriveSettings(50, 8, 69).level, 0x1.2cc616p+0f},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value, c.expected) << c.what;
    }
}

TEST(ParameterMapping, OutputStepsAreSixTenthsOfADecibel) {
    for (int output = 1; output <= 100; ++output) {
        const double step = 20.0 * std::log10(static_cast<double>(outputLevel(output)) /
                                              static_cast<double>(outputLevel(output - 1)));
        EXPECT_NEAR(step, 0.6, 1e-5) << output;
    }
}

TYPED_TEST(KelDSPProcessingTest, EffectRunsItsChainWithTheDerivedSettings) {
    auto effect = this->make();
    effect->setProgram(3);
    const Signal input = testSignal(3000, 1);
    const std::vector<Signal> out = effect->run(input, testSignal(3000, 2), 256);

    const auto& preset = TypeParam::description.builtIns[3];
    const auto settings = TypeParam::deriveSettings(
        toPresetValue(toParameterValue(preset.values[0], 0, 100), 0, 100),
        toPresetValue(toParameterValue(preset.values[1], 0, 15), 0, 15),
        toPresetValue(toParameterValue(preset.values[2], 0, 100), 0, 100));
    typename TypeParam::Preamp left;
    left.setSampleRate(44100.0f);
    TypeParam::configure(left, settings);
    Signal expected(input.size());
    left.runReplacing(input.data(), expected.data(), static_cast<int>(input.size()));
    EXPECT_TRUE(sameBits(out[0], expected));
    EXPECT_FALSE(sameBits(out[0], input));
}

TYPED_TEST(KelDSPProcessingTest, BlockSizeDoesNotChangeTheSound) {
    const Signal left = testSignal(9000, 3), right = testSignal(9000, 4, 0.3f);
    auto reference = this->make();
    reference->setParameter(1, 0.9f);
    const std::vector<Signal> whole = reference->run(left, right, left.size());
    for (std::size_t block : {1u, 7u, 64u, 4096u}) {
        auto effect = this->make();
        effect->setParameter(1, 0.9f);
        const std::vector<Signal> out = effect->run(left, right, block);
        EXPECT_TRUE(sameBits(out[0], whole[0])) << block;
        EXPECT_TRUE(sameBits(out[1], whole[1])) << block;
    }
}

TYPED_TEST(KelDSPProcessingTest, AddingAddsWhatReplacingWrites) {
    const Signal input = testSignal(2048, 5);
    auto replacing = this->make();
    auto adding = this->make();
    const std::vector<Signal> written = replacing->run(input);
    const std::vector<Signal> zero{Signal(input.size()), Signal(input.size())};
    const std::vector<Signal> added = adding->run(input, input, 512, true, &zero);
    EXPECT_TRUE(sameBits(written[0], added[0]));

    // Into an output that already holds a signal.
    auto again = this->make();
    const std::vector<Signal> prior{Signal(input.size(), 0.25f), Signal(input.size(), -0.5f)};
    const std::vector<Signal> mixed = again->run(input, input, 512, true, &prior);
    // The sum is rounded once, so it may differ from adding the rounded output by one step.
    for (std::size_t i = 0; i < input.size(); ++i) {
        ASSERT_NEAR(mixed[0][i], 0.25f + written[0][i], 2.5e-7f);
        ASSERT_NEAR(mixed[1][i], -0.5f + written[1][i], 2.5e-7f);
    }
}

TYPED_TEST(KelDSPProcessingTest, BypassPassesTheInputAndLeavesTheChainsAlone) {
    const Signal a = testSignal(1500, 6), b = testSignal(1500, 7), c = testSignal(1500, 8);
    auto switched = this->make();
    auto straight = this->make();
    switched->run(a);
    straight->run(a);

    switched->setParameter(0, 1.0f);
    const std::vector<Signal> copied = switched->run(b);
    EXPECT_TRUE(sameBits(copied[0], b));
    EXPECT_TRUE(sameBits(copied[1], b));
    const std::vector<Signal> prior{Signal(b.size(), 0.5f), Signal(b.size(), 0.5f)};
    const std::vector<Signal> added = switched->run(b, b, 512, true, &prior);
    for (std::size_t i = 0; i < b.size(); ++i) {
        ASSERT_EQ(added[0][i], 0.5f + b[i]);
    }

    // A change made while bypassed is heard from the first block after the switch.
    switched->setParameter(1, 0.8f);
    switched->setParameter(2, 1.0f);
    switched->run(b);
    switched->setParameter(0, 0.0f);
    straight->setParameter(1, 0.8f);
    straight->setParameter(2, 1.0f);
    EXPECT_TRUE(sameBits(switched->run(c)[0], straight->run(c)[0]));
}

TYPED_TEST(KelDSPProcessingTest, NothingIsWrittenForEmptyBlocks) {
    auto effect = this->make();
    Signal in(8, 0.5f), out0(8, 7.0f), out1(8, 7.0f);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out0.data(), out1.data()};
    for (VstInt32 frames : {0, -1, -1000000}) {
        effect->processReplacing(inputs, outputs, frames);
        effect->process(inputs, outputs, frames);
    }
    effect->processReplacing(nullptr, outputs, 8);
    EXPECT_EQ(out0, Signal(8, 7.0f));
    EXPECT_EQ(out1, Signal(8, 7.0f));
}

TYPED_TEST(KelDSPProcessingTest, InPlaceProcessingMatchesSeparateBuffers) {
    const Signal input = testSignal(2000, 9);
    auto separate = this->make();
    const std::vector<Signal> expected = separate->run(input);
    auto inPlace = this->make();
    Signal left = input, right = input;
    float* channels[2] = {left.data(), right.data()};
    for (int start = 0; start < 2000; start += 500) {
        float* block[2] = {channels[0] + start, channels[1] + start};
        inPlace->processReplacing(block, block, 500);
    }
    EXPECT_TRUE(sameBits(left, expected[0]));
    EXPECT_TRUE(sameBits(right, expected[1]));
}

TYPED_TEST(KelDSPProcessingTest, RepeatedOrUnusableSampleRatesChangeNothing) {
    const Signal a = testSignal(3000, 10), b = testSignal(3000, 11);
    auto plain = this->make();
    auto poked = this->make();
    plain->run(a);
    poked->run(a);
    for (float rate : {44100.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(), 0.0f, -44100.0f, 4000.0f, 100.0f}) {
        poked->setSampleRate(rate);
    }
    poked->setSampleRate(44100.0f);
    const std::vector<Signal> expected = plain->run(b);
    const std::vector<Signal> out = poked->run(b);
    EXPECT_TRUE(sameBits(out[0], expected[0]));
}

TYPED_TEST(KelDSPProcessingTest, SampleRateChangeRetunesTheChain) {
    const Signal input = testSignal(4000, 12);
    auto at44 = this->make();
    auto at96 = this->make();
    at96->setSampleRate(96000.0f);
    EXPECT_FALSE(sameBits(at44->run(input)[0], at96->run(input)[0]));
    // Back at 44.1 kHz the chain is tuned as a fresh one (the crunch chain keeps its states, so
    // compare after both have settled on silence).
    at96->setSampleRate(44100.0f);
    auto fresh = this->make();
    const Signal silence(44100, 0.0f);
    at96->run(silence);
    fresh->run(silence);
    const std::vector<Signal> expected = fresh->run(input);
    const std::vector<Signal> out = at96->run(input);
    for (std::size_t i = 0; i < input.size(); ++i) {
        ASSERT_NEAR(out[0][i], expected[0][i], 1e-6f) << i;
    }
}

TYPED_TEST(KelDSPProcessingTest, ANewRateReachesTheProcessorsAtTheStartOfTheNextCall) {
    auto effect = this->make();
    effect->run(testSignal(512, 20));
    effect->setSampleRate(96000.0f);
    EXPECT_EQ(effect->getSampleRate(), 96000.0f);
    EXPECT_EQ(effect->processorRate(), 44100.0f); // not while a block may be running
    effect->run(testSignal(64, 21));
    EXPECT_EQ(effect->processorRate(), 96000.0f);
    // The latest of several changes between two calls is the one that counts.
    for (float rate : {22050.0f, 192000.0f, 48000.0f}) {
        effect->setSampleRate(rate);
    }
    effect->run(testSignal(64, 22));
    EXPECT_EQ(effect->processorRate(), 48000.0f);
}

TYPED_TEST(KelDSPProcessingTest, RatesTooHighForStableFiltersChangeNothing) {
    // A rate of 1e9 on a running instance: ignored like a rate too low, so the sound is exactly
    // that of an instance that never heard of it, also once the host sets 44.1 kHz again.
    const Signal input = testSignal(44100, 23);
    auto told = this->make();
    auto plain = this->make();
    told->run(input);
    plain->run(input);
    told->setSampleRate(1e9f);
    EXPECT_TRUE(sameBits(told->run(input)[0], plain->run(input)[0]));
    told->setSampleRate(44100.0f);
    EXPECT_TRUE(sameBits(told->run(input)[0], plain->run(input)[0]));
    EXPECT_EQ(told->processorRate(), 44100.0f);
}

TYPED_TEST(KelDSPProcessingTest, RateChangesFromAnotherThreadWhileProcessingStayFinite) {
    // A host changing the rate as fast as it can without suspending the effect (hosts that do
    // it every millisecond met half-changed designs within seconds).
    auto effect = this->make();
    std::atomic<bool> running{true};
    std::thread host([&] {
        for (int i = 0; running; ++i) {
            effect->setSampleRate(i % 2 == 0 ? 22050.0f : 192000.0f);
        }
    });
    const Signal input = testSignal(512, 24);
    int nonFinite = 0;
    float peak = 0.0f;
    for (int block = 0; block < 600; ++block) {
        const std::vector<Signal> out = effect->run(input);
        for (float y : out[0]) {
            nonFinite += std::isfinite(y) ? 0 : 1;
            peak = std::max(peak, std::fabs(y));
        }
    }
    running = false;
    host.join();
    EXPECT_EQ(nonFinite, 0);
    EXPECT_LT(peak, 20.0f);
}

TYPED_TEST(KelDSPProcessingTest, RecoversFromNonFiniteInputWithinOneBlock) {
    auto effect = this->make();
    effect->run(testSignal(1024, 13));
    for (float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
          -std::numeric_limits<float>::infinity()}) {
        Signal glitch = testSignal(256, 14);
        glitch[100] = bad;
        effect->run(glitch, 256);
        const std::vector<Signal> after = effect->run(testSignal(256, 15), 256);
        for (float sample : after[0]) {
            ASSERT_TRUE(std::isfinite(sample)) << bad;
        }
    }
}

} // namespace

// The signals our host feeds plug-ins: the guitar-like signal repeats per seed and stays within
// its level, the decaying tone fades through the subnormal range to zero, and two signals are
// told apart bit for bit.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "host/test_signal.h"

using namespace kel::host;

namespace {

float peakOf(const std::vector<float>& channel) {
    float peak = 0.0f;
    for (float x : channel) {
        peak = std::max(peak, std::fabs(x));
    }
    return peak;
}

TEST(TestSignal, GuitarSignalsRepeatPerSeedWithinTheirLevel) {
    const struct {
        int channels;
        std::size_t frames;
        double rate;
    } cases[] = {{1, 4410, 44100.0},   {2, 4410, 44100.0}, {2, 20000, 22050.0},
                 {3, 96000, 192000.0}, {0, 100, 44100.0},  {2, 0, 44100.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " channels, " + std::to_string(c.frames) +
                     " frames at " + std::to_string(c.rate));
        const Signal a = guitarSignal(c.channels, c.frames, c.rate, 5);
        ASSERT_EQ(a.size(), static_cast<std::size_t>(c.channels));
        for (std::size_t channel = 0; channel < a.size(); ++channel) {
            ASSERT_EQ(a[channel].size(), c.frames);
            if (c.frames > 0) {
                EXPECT_GT(peakOf(a[channel]), 0.1f);
                EXPECT_LE(peakOf(a[channel]), 0.8f);
            }
            // The channels are detuned from each other.
            if (channel > 0 && c.frames > 100) {
                EXPECT_FALSE(a[channel] == a[0]);
            }
        }
        EXPECT_TRUE(compareSignals(a, guitarSignal(c.channels, c.frames, c.rate, 5)).same);
        if (c.channels > 0 && c.frames > 0) {
            EXPECT_FALSE(compareSignals(a, guitarSignal(c.channels, c.frames, c.rate, 6)).same);
        }
    }
}

TEST(TestSignal, TheDecayingToneFadesThroughSubnormalsToZero) {
    const struct {
        int channels;
        double rate;
        double level;
        double subnormalFrom, zeroFrom; // seconds, about
    } cases[] = {
        {1, 44100.0, 0.8, 1.3, 1.6},
        {2, 44100.0, 1.0, 1.3, 1.6},
        {2, 48000.0, 0.8, 1.2, 1.45},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.rate) + " Hz from " + std::to_string(c.level));
        const std::size_t frames = static_cast<std::size_t>(2.0 * c.rate);
        const Signal tone = decayingTone(c.channels, frames, c.rate, c.level);
        ASSERT_EQ(tone.size(), static_cast<std::size_t>(c.channels));
        for (const auto& channel : tone) {
            EXPECT_EQ(channel, tone[0]) << "every channel the same";
        }
        const std::vector<float>& x = tone[0];
        ASSERT_EQ(x.size(), frames);
        EXPECT_EQ(x[0], 0.0f);
        EXPECT_LE(peakOf(x), static_cast<float>(c.level));
        // The first peak comes a quarter of a period (100 frames) into the fade.
        EXPECT_GT(peakOf(x), 0.8f * static_cast<float>(c.level));
        // Near its zero crossings the tone is subnormal earlier: the last normal sample tells
        // where the whole tone is.
        std::size_t lastNormal = 0, lastNonZero = 0;
        for (std::size_t i = 0; i < frames; ++i) {
            const float magnitude = std::fabs(x[i]);
            if (magnitude >= std::numeric_limits<float>::min()) {
                lastNormal = i;
            }
            if (magnitude != 0.0f) {
                lastNonZero = i;
            }
        }
        EXPECT_NEAR(static_cast<double>(lastNormal) / c.rate, c.subnormalFrom, 0.1);
        EXPECT_NEAR(static_cast<double>(lastNonZero) / c.rate, c.zeroFrom, 0.1);
    }
}

TEST(TestSignal, SignalsCompareBitForBit) {
    const Signal a = guitarSignal(2, 4410, 44100.0, 5);
    Signal b = a;
    b[1][1234] = -b[1][1234] == b[1][1234] ? 1.0f : -b[1][1234];
    SignalDifference difference = compareSignals(a, b);
    EXPECT_FALSE(difference.same);
    EXPECT_EQ(difference.channel, 1);
    EXPECT_EQ(difference.frame, 1234u);
    EXPECT_EQ(difference.expected, a[1][1234]);

    // Equal as numbers, different as bits: a plug-in's output changed.
    Signal zero(1, std::vector<float>(4, 0.0f)), negativeZero(1, std::vector<float>(4, -0.0f));
    EXPECT_FALSE(compareSignals(zero, negativeZero).same);
    Signal shorter = a;
    shorter[0].pop_back();
    difference = compareSignals(a, shorter);
    EXPECT_FALSE(difference.same);
    EXPECT_EQ(difference.frame, 4409u);
    Signal fewer = a;
    fewer.pop_back();
    difference = compareSignals(a, fewer);
    EXPECT_FALSE(difference.same);
    EXPECT_EQ(difference.channel, 1);
}

} // namespace

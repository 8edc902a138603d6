// The enable switch's crossfade on its own: 10 ms at every rate along a smooth S-curve that turns
// back where it is. (What the plug-in does with it: tests/lv2/lv2_effect_test.cpp.)
#include "dsp/enable_fade.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

using kel::dsp::EnableFade;

namespace {

// The weight of the wet signal in each of `frames` output frames (the mix of dry 0 and wet 1),
// and the largest change from one frame to the next, `before` being the weight before them.
std::vector<double> weights(EnableFade& fade, int frames, double before, double& largestStep) {
    std::vector<float> zeros(frames, 0.0f), ones(frames, 1.0f), out(frames), unused(frames);
    const float* dry[2] = {zeros.data(), zeros.data()};
    const float* wet[2] = {ones.data(), ones.data()};
    float* outs[2] = {out.data(), unused.data()};
    fade.mix(dry, wet, outs, frames);
    for (float w : out) {
        largestStep = std::max(largestStep, std::fabs(w - before));
        before = w;
    }
    return {out.begin(), out.end()};
}

} // namespace

TEST(EnableFade, TakesTenMillisecondsAtEveryRateAndTurnsBackWhereItIs) {
    const struct {
        double rate;
        int frames;
    } cases[] = {{44100.0, 441}, {48000.0, 480},
                 {96000.0, 960}, {768000.0, 7680},
                 {4000.5, 40},   {22050.0, 221},
                 {50.0, 1},      {0.0, 1},
                 {-1.0, 1},      {std::numeric_limits<double>::quiet_NaN(), 1}};
    for (const auto& c : cases) {
        EnableFade fade(c.rate);
        const int n = fade.frames();
        EXPECT_EQ(n, c.frames) << c.rate;
        fade.settle(false);
        fade.switchTo(true);
        EXPECT_FALSE(fade.fullyOn() || fade.fullyOff()) << c.rate;
        // All the way on in exactly n frames: rising, symmetric about the middle, never steeper
        // than 1.5 / n, the wet signal itself at the end.
        double step = 0.0;
        const std::vector<double> in = weights(fade, n, 0.0, step);
        for (int i = 1; i < n; ++i) {
            ASSERT_GT(in[i], in[i - 1]) << c.rate << " " << i;
            ASSERT_NEAR(in[i - 1] + in[n - 1 - i], 1.0, 1e-6) << c.rate << " " << i;
        }
        EXPECT_EQ(in.back(), 1.0) << c.rate;
        EXPECT_LE(step, 1.5 / n + 1e-6) << c.rate;
        EXPECT_TRUE(fade.fullyOn()) << c.rate;

        // Off, on again a third of the way, off once more (twice) two ninths later: each turn goes
        // on from the weight reached, as smoothly, and ends at the dry signal itself.
        fade.switchTo(false);
        step = 0.0;
        const std::vector<double> a = weights(fade, n / 3 + 1, 1.0, step);
        fade.switchTo(true);
        const std::vector<double> b = weights(fade, 2 * n / 9 + 1, a.back(), step);
        fade.switchTo(false);
        fade.switchTo(false);
        const std::vector<double> d = weights(fade, n, b.back(), step);
        EXPECT_LE(step, 1.5 / n + 1e-6) << c.rate;
        EXPECT_EQ(d.back(), 0.0) << c.rate;
        EXPECT_TRUE(fade.fullyOff()) << c.rate;
    }
}

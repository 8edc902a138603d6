// The enable switch's crossfade: its length at every rate, exact dry and wet outside a fade, a
// smooth way between that turns back without a jump, and the buffers a host may share.
#include "dsp/enable_fade.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "tests/dsp/test_support.h"

using kel::dsp::EnableFade;
using namespace test_support;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Both channels through mix, in pieces of `piece` frames; the outputs start at 99.
struct Mixed {
    std::vector<float> left, right;
};
Mixed mixAll(EnableFade& fade, const std::vector<float>& dry0, const std::vector<float>& dry1,
             const std::vector<float>& wet0, const std::vector<float>& wet1, int piece) {
    Mixed out{std::vector<float>(dry0.size(), 99.0f), std::vector<float>(dry0.size(), 99.0f)};
    for (std::size_t i = 0; i < dry0.size(); i += static_cast<std::size_t>(piece)) {
        const int n = static_cast<int>(std::min<std::size_t>(piece, dry0.size() - i));
        const float* dry[2] = {dry0.data() + i, dry1.data() + i};
        const float* wet[2] = {wet0.data() + i, wet1.data() + i};
        float* o[2] = {out.left.data() + i, out.right.data() + i};
        fade.mix(dry, wet, o, n);
    }
    return out;
}

// The wet signal's weight in each output frame, from dry 0 and wet 1.
std::vector<double> weights(EnableFade& fade, int frames) {
    const std::vector<float> zeros(frames, 0.0f), ones(frames, 1.0f);
    const Mixed out = mixAll(fade, zeros, zeros, ones, ones, 7);
    return std::vector<double>(out.left.begin(), out.left.end());
}

double largestStep(const std::vector<double>& w, double before) {
    double largest = 0.0;
    for (double v : w) {
        largest = std::max(largest, std::fabs(v - before));
        before = v;
    }
    return largest;
}

} // namespace

TEST(EnableFade, LastsTenMillisecondsAtEveryRate) {
    struct Case {
        double rate;
        int frames;
    } cases[] = {
        {44100.0, 441},   {48000.0, 480}, {88200.0, 882}, {96000.0, 960}, {192000.0, 1920},
        {768000.0, 7680}, {8000.0, 80},   {4000.5, 40},   {22050.0, 221}, {50.0, 1},
        {0.0, 1},         {-48000.0, 1},  {kNaN, 1},      {kInf, 1},
    };
    for (const Case& c : cases) {
        EnableFade fade(c.rate);
        EXPECT_EQ(fade.frames(), c.frames) << c.rate;
        EXPECT_TRUE(fade.fullyOn() && fade.heading()) << c.rate;
        // Switched off, it takes exactly that many frames to reach the dry signal.
        fade.switchTo(false);
        EXPECT_FALSE(fade.fullyOn() || fade.fullyOff()) << c.rate;
        const std::vector<double> w = weights(fade, c.frames + 3);
        if (c.frames > 1) {
            EXPECT_GT(w[c.frames - 2], 0.0) << c.rate;
        }
        EXPECT_EQ(w[c.frames - 1], 0.0) << c.rate;
        EXPECT_TRUE(fade.fullyOff()) << c.rate;
    }
}

TEST(EnableFade, SettledStatesPassTheirSignalBitForBit) {
    const std::vector<float> dry0 = {0.5f, -0.0f, kNaN, kInf, -kInf, 3e38f, 1e-45f, -0.25f};
    const std::vector<float> dry1 = {-1.0f, 2.0f, 0.0f, kNaN, 1.0f, -3e38f, 0.125f, 7.0f};
    const std::vector<float> wet0 = {0.1f, 0.2f, 0.3f, -0.0f, 1e-40f, 0.6f, 0.7f, 0.8f};
    const std::vector<float> wet1 = {-0.1f, -0.2f, -0.3f, -0.4f, -0.5f, -0.6f, 1e-38f, -0.8f};
    for (bool on : {true, false}) {
        EnableFade fade(44100.0);
        fade.settle(on);
        const Mixed out = mixAll(fade, dry0, dry1, wet0, wet1, 3);
        EXPECT_EQ(firstDifference(out.left, on ? wet0 : dry0), -1) << on;
        EXPECT_EQ(firstDifference(out.right, on ? wet1 : dry1), -1) << on;
        EXPECT_EQ(fade.heading(), on);
    }
}

TEST(EnableFade, FadesAlongASmoothCurveAndTurnsBackWhereItIs) {
    EnableFade fade(48000.0);
    const int n = fade.frames();
    fade.settle(false);
    fade.switchTo(true);
    const std::vector<double> in = weights(fade, n);
    // Rising all the way, symmetric about the middle, slopes that vanish at both ends and never
    // exceed 1.5 / n in between.
    for (int i = 1; i < n; ++i) {
        ASSERT_GT(in[i], in[i - 1]) << i;
        ASSERT_NEAR(in[i - 1] + in[n - 1 - i], 1.0, 1e-6) << i;
    }
    EXPECT_EQ(in[n - 1], 1.0);
    EXPECT_LT(in[0], 2e-5);
    EXPECT_LE(largestStep(in, 0.0), 1.5 / n + 1e-6);
    EXPECT_TRUE(fade.fullyOn());

    // Switched off a third of the way in, then on again two thirds of the way back: each turn
    // goes on from the weight it had reached, and the whole way stays as smooth.
    fade.settle(false);
    fade.switchTo(true);
    const std::vector<double> a = weights(fade, n / 3);
    fade.switchTo(false);
    const std::vector<double> b = weights(fade, 2 * n / 9);
    fade.switchTo(true);
    const std::vector<double> c = weights(fade, n);
    EXPECT_NEAR(b.front(), a[a.size() - 2], 1e-6);
    EXPECT_NEAR(c.front(), b[b.size() - 2], 1e-6);
    EXPECT_LE(largestStep(b, a.back()), 1.5 / n + 1e-6);
    EXPECT_LE(largestStep(c, b.back()), 1.5 / n + 1e-6);
    EXPECT_EQ(c.back(), 1.0);
    // The same switch again changes nothing under way.
    fade.switchTo(true);
    EXPECT_TRUE(fade.fullyOn());
}

TEST(EnableFade, MixesInPlaceAndSwappedAndKeepsNonFiniteDryOut) {
    Random rng(3);
    const std::size_t frames = 700;
    std::vector<float> dry0 = mixedSignal(rng, frames), dry1 = mixedSignal(rng, frames);
    const std::vector<float> wet0 = mixedSignal(rng, frames), wet1 = mixedSignal(rng, frames);
    // Within the fade (frames 0 to 439) a bad dry sample counts as silence; once off, the dry
    // signal passes as it is.
    dry0[100] = kNaN;
    dry1[200] = -kInf;
    dry0[600] = kNaN;
    EnableFade separate(44100.0);
    separate.switchTo(false);
    const Mixed expected = mixAll(separate, dry0, dry1, wet0, wet1, 64);
    for (std::size_t i = 0; i < 440; ++i) {
        ASSERT_TRUE(std::isfinite(expected.left[i]) && std::isfinite(expected.right[i])) << i;
    }
    EXPECT_TRUE(std::isnan(expected.left[600]));
    EXPECT_EQ(firstDifference({expected.left.begin() + 440, expected.left.end()},
                              {dry0.begin() + 440, dry0.end()}),
              -1);

    // Each output on its own dry buffer, and each on the other's.
    for (bool swapped : {false, true}) {
        std::vector<float> a = dry0, b = dry1;
        EnableFade fade(44100.0);
        fade.switchTo(false);
        const float* dry[2] = {a.data(), b.data()};
        const float* wet[2] = {wet0.data(), wet1.data()};
        float* out[2] = {swapped ? b.data() : a.data(), swapped ? a.data() : b.data()};
        fade.mix(dry, wet, out, static_cast<int>(frames));
        EXPECT_EQ(firstDifference(swapped ? b : a, expected.left), -1) << swapped;
        EXPECT_EQ(firstDifference(swapped ? a : b, expected.right), -1) << swapped;
    }
}

// The crunch chain's own behaviour; the exact arithmetic is checked in chains_test.cpp.
#include "dsp/crunch_preamp.h"

#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "tests/dsp/chain_support.h"

using namespace kel::dsp;
using namespace kel::crunch;

using namespace test_support;
using namespace chain_support;

namespace {

// The settings the effect hands over: the model's fixed voicing (input gain 1, stage gain 18, bell
// at 2 kHz with Q 0.2) with these.
CrunchSettings effect(float drive, float mid, float level) {
    CrunchSettings s;
    s.drive = drive;
    s.mid = mid;
    s.level = level;
    return s;
}

CrunchPreamp configured(float drive, float mid, float level, float rate) {
    return make<CrunchPreamp>(effect(drive, mid, level), rate);
}

double polynomial(double d, double p1, double p2, double p3, double p4) {
    return d * (p1 + p2 * d + p3 * d * d + p4 * d * d * d);
}

} // namespace

TEST(CrunchPreamp, WaveshapersHoldExactlyAtTheirLimits) {
    struct Case {
        float (*shape)(float);
        double low, high;
        float lowOut, highOut;
        double p1, p2, p3, p4; // signed coefficients
    };
    const Case cases[] = {
        {CrunchPreamp::firstStage, -2.939192752, 3.75, -0.37826452f, 0.9999991f, 0.2274823,
         0.0234331, -0.0034624, 0.0},
        {CrunchPreamp::secondStage, -1.876194887, 3.75, -0.18074624f, 0.9999996f, 0.179489,
         0.0372926, -0.0037454, 0.0},
        {CrunchPreamp::thirdStage, -3.92348276, 3.85, -0.5513311f, 0.9999946f, 0.1964888, 0.0041427,
         0.0003329, 0.0007424},
    };
    for (const Case& c : cases) {
        float lowInside = static_cast<float>(c.low);
        if (lowInside < c.low) {
            lowInside = std::nextafter(lowInside, 0.0f);
        }
        float highInside = static_cast<float>(c.high);
        if (highInside > c.high) {
            highInside = std::nextafter(highInside, 0.0f);
        }
        const float lowOutside = std::nextafter(lowInside, -10.0f);
        const float highOutside = std::nextafter(highInside, 10.0f);
        for (float d : {lowInside, highInside, 0.25f, -0.5f, 2.0f}) {
            const float expected = static_cast<float>(polynomial(d, c.p1, c.p2, c.p3, c.p4));
            EXPECT_NEAR(c.shape(d), expected, 1e-7f * std::fabs(expected)) << d;
        }
        for (float d : {lowOutside, -50.0f, -std::numeric_limits<float>::infinity()}) {
            EXPECT_EQ(bitsOf(c.shape(d)), bitsOf(c.lowOut)) << d;
        }
        for (float d : {highOutside, 50.0f, std::numeric_limits<float>::infinity()}) {
            EXPECT_EQ(bitsOf(c.shape(d)), bitsOf(c.highOut)) << d;
        }
        EXPECT_EQ(c.shape(lowInside), c.lowOut); // the held value continues the curve
    }
    // 3.75 in the first stage takes the cubic: 0.99999909375 before rounding.
    EXPECT_EQ(CrunchPreamp::firstStage(3.75f), static_cast<float>(0.99999909375));
    EXPECT_EQ(CrunchPreamp::firstStage(std::nextafter(3.75f, 4.0f)), 0.9999991f);
    // The silence input 1e-8 becomes about 2.27e-9.
    EXPECT_NEAR(CrunchPreamp::firstStage(1e-8f), 2.274823e-9, 1e-15);
}

TEST(CrunchPreamp, ToneSectionIsTheBilinearImageOfItsPrototype) {
    const SectionCoefficients tone = CrunchPreamp::toneCoefficients(44100.0f);
    EXPECT_NEAR(decibels(std::abs(responseOf(tone, 100.0, 44100.0))), -3.33, 0.01);
    EXPECT_NEAR(decibels(std::abs(responseOf(tone, 1000.0, 44100.0))), -1.46, 0.01);
    EXPECT_NEAR(decibels(std::abs(responseOf(tone, 5000.0, 44100.0))), -0.09, 0.01);
    for (double rate : {44100.0, 48000.0, 96000.0}) {
        const SectionCoefficients k = CrunchPreamp::toneCoefficients(static_cast<float>(rate));
        for (double f : {2.0, 5.0, 20.0, 100.0, 300.0, 720.0, 1061.0, 3000.0, 12000.0}) {
            // Without prewarping, digital w maps to the analog s = j·2·fs·tan(w/2).
            const std::complex<double> s(0.0, 2.0 * rate * std::tan(kPi * f / rate));
            const std::complex<double> analog =
                s * (s + 4526.935265) / (s * s + 6700.049385 * s + 205769.7848);
            // Float coefficients put the poles near 5 Hz a little off: 0.005 dB there.
            EXPECT_NEAR(decibels(std::abs(responseOf(k, f, rate))), decibels(std::abs(analog)),
                        0.005)
                << f << " Hz at " << rate;
        }
    }
}

TEST(CrunchPreamp, MidBoostShapesTheBellAt2kHz) {
    CrunchPreamp p = configured(39.364f, 0.0f, 1.0f, 44100.0f);
    for (double f : {100.0, 1000.0, 2000.0, 8000.0}) {
        EXPECT_NEAR(decibels(std::abs(responseOf(p.midSection(), f, 44100.0))), 0.0, 1e-4) << f;
    }
    p.setMidGain(15.0f);
    EXPECT_NEAR(decibels(std::abs(responseOf(p.midSection(), 2000.0, 44100.0))), 15.0, 1e-3);
    // Q 0.2 spans several octaves: still more than 10 dB an octave away.
    EXPECT_GT(decibels(std::abs(responseOf(p.midSection(), 1000.0, 44100.0))), 10.0);
}

TEST(CrunchPreamp, SilenceFollowsTheOneEMinusEightRule) {
    // Every zero sample (either sign) enters the first waveshaper as 1e-8: the same output as
    // an input of 1e-8 itself.
    CrunchPreamp zeros = configured(221.4f, 15.0f, 10.0f, 44100.0f);
    CrunchPreamp tiny = zeros;
    auto ref = make<reference::CrunchChain>(effect(221.4f, 15.0f, 10.0f), 44100.0f);
    std::vector<float> silence(20000, 0.0f);
    for (std::size_t i = 1; i < silence.size(); i += 2) {
        silence[i] = -0.0f;
    }
    const std::vector<float> y = replacing(zeros, silence);
    EXPECT_EQ(firstDifference(y, replacing(tiny, std::vector<float>(20000, 1e-8f))), -1);
    bool anyNonZero = false;
    for (std::size_t i = 0; i < y.size(); ++i) {
        ASSERT_EQ(bitsOf(y[i]), bitsOf(ref.replacing(0.0f))) << i;
        anyNonZero = anyNonZero || y[i] != 0.0f;
    }
    EXPECT_TRUE(anyNonZero); // the 1e-8 offset does reach the output while the high-pass settles
}

TEST(CrunchPreamp, LoudInputStaysWithinTheOutputHighPassBound) {
    SectionCoefficients k;
    highPassCoefficients(100.0f, 44100.0f, k);
    reference::InlineSection highPass;
    highPass.k = {k.g, k.c1, k.c2, k.a1, k.a2};
    double absoluteSum = 0.0;
    for (int i = 0; i < 100000; ++i) {
        absoluteSum += std::fabs(highPass.process(i == 0 ? 1.0f : 0.0f));
    }
    CrunchPreamp p = configured(221.4f, 15.0f, 10.0f, 44100.0f);
    Random rng(22);
    std::vector<float> x(20000);
    for (float& v : x) {
        v = 1e3f * rng.symmetric();
    }
    double peak = 0.0;
    for (float v : replacing(p, x)) {
        peak = std::max(peak, std::fabs(static_cast<double>(v)));
    }
    EXPECT_LE(peak, 10.0 * absoluteSum * 0.9999946 * 1.00001);
    EXPECT_GT(peak, 5.0);
}

TEST(CrunchPreamp, SampleRateChangesRetuneAndKeepTheStates) {
    CrunchPreamp p = configured(39.364f, 8.0f, 1.0f, 44100.0f);
    auto ref = make<reference::CrunchChain>(effect(39.364f, 8.0f, 1.0f), 44100.0f);
    const std::vector<float> x = sine(220.0, 44100.0, 0.3, 2000);
    for (float rate : {44100.0f, 48000.0f, 96000.0f}) {
        p.setSampleRate(rate);
        ref.setSampleRate(rate);
        // The 100 Hz high-pass is 3 dB below its passband at 100 Hz at every rate.
        const double passband = std::abs(responseOf(p.outputSection(), rate / 2.0, rate));
        EXPECT_NEAR(decibels(std::abs(responseOf(p.outputSection(), 100.0, rate)) / passband),
                    -3.0103, 0.001)
            << rate;
        // The block right after the change continues from the old states.
        const std::vector<float> y = replacing(p, x);
        for (std::size_t i = 0; i < x.size(); ++i) {
            ASSERT_EQ(bitsOf(y[i]), bitsOf(ref.replacing(x[i]))) << rate << " " << i;
        }
    }
    // A fresh processor at 96 kHz sounds different for that block: the states did matter.
    CrunchPreamp fresh = configured(39.364f, 8.0f, 1.0f, 96000.0f);
    CrunchPreamp continued = p;
    EXPECT_NE(firstDifference(replacing(continued, x), replacing(fresh, x)), -1);
}

TEST(CrunchPreamp, IgnoresSettingsItCannotRunWith) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    CrunchPreamp p = configured(39.364f, 8.0f, 1.0f, 44100.0f);
    replacing(p, sine(220.0, 44100.0, 0.3, 1000));
    CrunchPreamp copy = p;
    // Rates at or below twice the bell frequency (2000 Hz), or not finite.
    for (float rate : {4000.0f, 3000.0f, 0.0f, -1.0f, nan, inf, 44100.0f}) {
        p.setSampleRate(rate);
    }
    for (float f : {22050.0f, 30000.0f, 1.0f, 0.0f, -5.0f, nan, inf}) {
        p.setMidFrequency(f);
    }
    for (float q : {0.0f, -1.0f, nan, inf}) {
        p.setMidQ(q);
    }
    p.setMidGain(nan);
    p.setMidGain(-inf);
    EXPECT_EQ(p.sampleRate(), 44100.0f);
    EXPECT_EQ(p.midFrequency(), CrunchModel::kMidFrequency);
    EXPECT_EQ(p.midQ(), CrunchModel::kMidQ);
    EXPECT_EQ(p.midGain(), 8.0f);
    const std::vector<float> x = sine(500.0, 44100.0, 0.7, 1000);
    EXPECT_EQ(firstDifference(replacing(p, x), replacing(copy, x)), -1);

    // The bell's frequency must stay below half the rate; with the output high-pass at 100 Hz,
    // rates down to 200 Hz are refused even for a low bell.
    p.setMidFrequency(22049.0f);
    EXPECT_EQ(p.midFrequency(), 22049.0f);
    p.setMidFrequency(50.0f);
    p.setSampleRate(150.0f);
    EXPECT_EQ(p.sampleRate(), 44100.0f);
    p.setSampleRate(250.0f);
    EXPECT_EQ(p.sampleRate(), 250.0f);
}

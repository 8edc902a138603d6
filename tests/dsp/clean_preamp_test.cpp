// The clean chain's own behaviour; the exact arithmetic is checked in chains_test.cpp.
#include "dsp/clean_preamp.h"

#include <cmath>
#include <complex>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "plugins/clean/clean_model.h"
#include "tests/dsp/chain_support.h"

using namespace kel::dsp;
using namespace kel::clean;

using namespace test_support;
using namespace chain_support;

namespace {

// Program 0 of the HN-6 as the effect hands it over: Gain 50, Bright 5, Output 69.
const CleanModel::Settings kDefaultProgram = CleanModel::deriveSettings(50, 5, 69);
const float kDefaultDrive = kDefaultProgram.drive;
const float kDefaultLevel = kDefaultProgram.level;

CleanPreamp configured(float drive, float level, float bright, float rate) {
    return make<CleanPreamp>(CleanSettings{drive, level, bright}, rate);
}

double cubicValue(double d, double p1, double p2, double p3) {
    return d * (p1 + p2 * d - p3 * d * d);
}

} // namespace

TEST(CleanPreamp, WaveshapersHoldExactlyAtTheirLimits) {
    struct Case {
        float (*shape)(float);
        double low, high;
        float lowOut, highOut;
        double p1, p2, p3;
    };
    const Case cases[] = {
        {CleanPreamp::firstStage, -3.931192, 3.5, -0.66659313f, 1.0f, 0.2819329931, 0.01403408101,
         0.003701060478},
        {CleanPreamp::secondStage, -2.425192775, 5.0, -0.2077921f, 1.0f, 0.1555719892,
         0.02230833481, 0.00268454653},
    };
    for (const Case& c : cases) {
        // The last floats inside the limits take the cubic, the first ones outside the held value.
        float lowInside = static_cast<float>(c.low);
        if (lowInside < c.low) {
            lowInside = std::nextafter(lowInside, 0.0f);
        }
        const float lowOutside = std::nextafter(lowInside, -10.0f);
        const float highInside = static_cast<float>(c.high); // 3.5 and 5 are floats
        const float highOutside = std::nextafter(highInside, 10.0f);
        for (float d : {lowInside, highInside, std::nextafter(highInside, 0.0f), 0.5f, -1.0f}) {
            EXPECT_EQ(c.shape(d), static_cast<float>(cubicValue(d, c.p1, c.p2, c.p3))) << d;
        }
        for (float d : {lowOutside, -100.0f, -std::numeric_limits<float>::infinity()}) {
            EXPECT_EQ(bitsOf(c.shape(d)), bitsOf(c.lowOut)) << d;
        }
        for (float d : {highOutside, 100.0f, std::numeric_limits<float>::infinity()}) {
            EXPECT_EQ(bitsOf(c.shape(d)), bitsOf(c.highOut)) << d;
        }
        // The lower limit sits at the cubic's minimum: the held value continues the curve.
        EXPECT_EQ(c.shape(lowInside), c.lowOut);
        EXPECT_TRUE(std::isnan(c.shape(std::numeric_limits<float>::quiet_NaN())));
    }
    // At exactly 3.5 the first stage evaluates its cubic, just above 1 before rounding.
    EXPECT_GT(cubicValue(3.5, 0.2819329931, 0.01403408101, 0.003701060478), 1.0);
    EXPECT_EQ(CleanPreamp::firstStage(3.5f), 1.0f);
}

TEST(CleanPreamp, DefaultProgramInvertsASmallSineAndLowersItBy22dB) {
    CleanPreamp p = configured(kDefaultDrive, kDefaultLevel, 5.0f, 44100.0f);
    EXPECT_NEAR(kDefaultDrive, 1.5811, 1e-4);
    EXPECT_NEAR(kDefaultLevel, 1.1749, 1e-4);
    const double rate = 44100.0;
    const double f = 200.0;
    const std::vector<float> x = sine(f, rate, 0.01, 44100);
    const std::vector<float> y = replacing(p, x);
    const std::complex<double> gain =
        component(y, 22050, 22050, f, rate) / component(x, 22050, 22050, f, rate);
    EXPECT_NEAR(decibels(std::abs(gain)), -21.8, 0.1);

    // Small signals see the linear path −p1·p1'·drive·level through the analog prototypes of
    // the three high-passes and the 5 dB shelf: inverted, with their phase shifts.
    const std::complex<double> s(0.0, std::tan(kPi * f / rate));
    auto highPass = [&](double corner) {
        const double T = std::tan(kPi * corner / rate);
        return s * s / (s * s + std::sqrt(2.0) * T * s + T * T);
    };
    const double T = std::tan(kPi * 2000.0 / rate);
    const double V0 = std::pow(10.0, 5.0 / 20.0);
    const std::complex<double> shelf = (V0 * s * s + std::sqrt(2.0 * V0) * T * s + T * T) /
                                       (s * s + std::sqrt(2.0) * T * s + T * T);
    const std::complex<double> expected = -0.2819329931 * 0.1555719892 * kDefaultDrive *
                                          kDefaultLevel * highPass(40.0) * highPass(40.0) *
                                          highPass(30.0) * shelf;
    EXPECT_LT(std::abs(gain - expected), 0.002 * std::abs(expected));
    EXPECT_LT(gain.real(), 0.0);
}

TEST(CleanPreamp, SilenceGivesExactZeros) {
    CleanPreamp p = configured(50.0f, 10.0f, 15.0f, 44100.0f);
    const std::vector<float> zeros(5000, 0.0f);
    for (float v : replacing(p, zeros)) {
        ASSERT_EQ(bitsOf(v), 0u);
    }
    // After a loud signal, the states ring down and the flushes bring the output to +0.
    replacing(p, sine(100.0, 44100.0, 5.0, 2000));
    std::vector<float> tail = replacing(p, std::vector<float>(44100 * 4, 0.0f));
    for (std::size_t i = tail.size() - 1000; i < tail.size(); ++i) {
        ASSERT_EQ(bitsOf(tail[i]), 0u) << i;
    }
}

TEST(CleanPreamp, RemovesADcOffset) {
    CleanPreamp p = configured(kDefaultDrive, kDefaultLevel, 5.0f, 44100.0f);
    const std::vector<float> y = replacing(p, std::vector<float>(44100, 0.3f));
    for (std::size_t i = 22050; i < y.size(); ++i) {
        ASSERT_LT(std::fabs(y[i]), 1e-6f) << i;
    }
}

TEST(CleanPreamp, LoudInputStaysWithinTheOutputHighPassBound) {
    for (float rate : {44100.0f, 96000.0f}) {
        // The second stage holds its input between −0.2077921 and 1.0; the output high-pass can
        // make at most its impulse response's absolute sum times 1.0 of that.
        FilterSection outputHighPass;
        outputHighPass.setSampleRate(rate);
        outputHighPass.designHighPass(30.0f, true);
        double absoluteSum = 0.0;
        for (int i = 0; i < 200000; ++i) {
            absoluteSum += std::fabs(outputHighPass.processSample(i == 0 ? 1.0f : 0.0f));
        }
        CleanPreamp p = configured(50.0f, 10.0f, 15.0f, rate);
        Random rng(12);
        std::vector<float> x(20000);
        for (float& v : x) {
            v = 1e4f * rng.symmetric();
        }
        double peak = 0.0;
        for (float v : replacing(p, x)) {
            peak = std::max(peak, std::fabs(static_cast<double>(v)));
        }
        EXPECT_LE(peak, 10.0 * absoluteSum * 1.00001) << rate;
        EXPECT_GT(peak, 5.0) << rate; // it does get loud
    }
}

TEST(CleanPreamp, SampleRateChangesRetuneAndClearTheStates) {
    // Small-signal gain at 20 Hz relative to 1 kHz: set by the three high-passes, the same at
    // every rate once they are retuned (at 44.1 kHz tuning, 96 kHz would move it by ~13 dB).
    auto lowEndDb = [](CleanPreamp& p, double rate) {
        const std::size_t n = static_cast<std::size_t>(rate);
        const std::vector<float> low = sine(20.0, rate, 0.001, n);
        const std::vector<float> mid = sine(1000.0, rate, 0.001, n);
        const double gLow = std::abs(component(replacing(p, low), n / 2, n / 2, 20.0, rate));
        const double gMid = std::abs(component(replacing(p, mid), n / 2, n / 2, 1000.0, rate));
        return decibels(gLow / gMid);
    };
    // |HP40|² · |HP30| at 20 Hz, Butterworth: |HP|² = r⁴ / (1 + r⁴) for r = f / corner.
    const double r40 = 20.0 / 40.0;
    const double r30 = 20.0 / 30.0;
    const double expected = decibels(std::pow(r40, 4) / (1.0 + std::pow(r40, 4)) * r30 * r30 /
                                     std::sqrt(1.0 + std::pow(r30, 4)));
    CleanPreamp p = configured(1.0f, 1.0f, 0.0f, 44100.0f);
    EXPECT_NEAR(lowEndDb(p, 44100.0), expected, 0.05);
    p.setSampleRate(48000.0f);
    EXPECT_NEAR(lowEndDb(p, 48000.0), expected, 0.05);
    p.setSampleRate(96000.0f);
    EXPECT_NEAR(lowEndDb(p, 96000.0), expected, 0.05);
    EXPECT_EQ(p.sampleRate(), 96000.0f);

    // A real change clears the states: silence afterwards comes out as exact zeros.
    replacing(p, sine(100.0, 96000.0, 1.0, 3000));
    p.setSampleRate(44100.0f);
    for (float v : replacing(p, std::vector<float>(100, 0.0f))) {
        ASSERT_EQ(bitsOf(v), 0u);
    }
    // The same rate again, and rates the chain cannot run at, change nothing.
    replacing(p, sine(100.0, 44100.0, 1.0, 3000));
    CleanPreamp copy = p;
    for (float rate :
         {44100.0f, 4000.0f, 2000.0f, 0.0f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
          std::numeric_limits<float>::infinity()}) {
        p.setSampleRate(rate);
    }
    EXPECT_EQ(p.sampleRate(), 44100.0f);
    const std::vector<float> x = sine(300.0, 44100.0, 0.5, 500);
    EXPECT_EQ(firstDifference(replacing(p, x), replacing(copy, x)), -1);
}

TEST(CleanPreamp, IgnoresABrightGainThatIsNotFinite) {
    CleanPreamp p = configured(1.0f, 1.0f, 5.0f, 44100.0f);
    replacing(p, sine(3000.0, 44100.0, 0.1, 1000));
    CleanPreamp copy = p;
    p.setBright(std::numeric_limits<float>::quiet_NaN());
    p.setBright(std::numeric_limits<float>::infinity());
    EXPECT_EQ(p.bright(), 5.0f);
    const std::vector<float> x = sine(3000.0, 44100.0, 0.1, 500);
    EXPECT_EQ(firstDifference(replacing(p, x), replacing(copy, x)), -1);
}

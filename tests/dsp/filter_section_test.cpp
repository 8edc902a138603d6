#include "dsp/filter_section.h"

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "reference/chains.h"
#include "tests/dsp/test_support.h"

using namespace kel::dsp;

using namespace test_support;

namespace {

constexpr double kRate = 44100.0;

std::vector<float> run(FilterSection& section, const std::vector<float>& x) {
    std::vector<float> y(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) {
        y[i] = section.processSample(x[i]);
    }
    return y;
}

// Steady-state gain of a section for a sine at `frequency` (a multiple of 10 Hz): 0.2 s to
// settle, then 0.1 s measured.
double measuredGain(const FilterSection& design, double frequency, double rate = kRate) {
    FilterSection section = design;
    const std::size_t settle = static_cast<std::size_t>(rate / 5);
    const std::size_t window = static_cast<std::size_t>(rate / 10);
    const std::vector<float> y = run(section, sine(frequency, rate, 0.5, settle + window));
    return std::abs(component(y, settle, window, frequency, rate)) / 0.5;
}

// Gain in a steady state for a constant input (0 Hz) or an alternating one (half the rate).
double endGain(const FilterSection& design, bool atNyquist) {
    FilterSection section = design;
    float y = 0.0f;
    for (int i = 0; i < 20000; ++i) {
        const float x = (atNyquist && (i % 2 != 0)) ? -0.25f : 0.25f;
        y = section.processSample(x);
    }
    return std::fabs(y) / 0.25;
}

double dbToGain(double db) {
    return std::pow(10.0, db / 20.0);
}

// Magnitudes of the analog prototypes mapped by the bilinear transform: W = tan(w / 2) for the
// digital frequency w, T the prewarped corner.
struct Prototype {
    std::string name;
    std::function<void(FilterSection&)> design;
    std::function<double(double W)> magnitude;
};

std::vector<Prototype> prototypes() {
    const double f = 1000.0;
    const double T = std::tan(kPi * f / kRate);
    const double u = std::cos(2.0 * kPi * f / kRate);
    auto butterworth = [T](double W) { return 1.0 / std::sqrt(1.0 + std::pow(W / T, 4)); };
    // Detuning of the second-order band designs: (cos w − u) / (T' sin w) with w = 2·atan(W).
    auto detuning = [u](double W, double Tband) {
        const double w = 2.0 * std::atan(W);
        return (std::cos(w) - u) / (Tband * std::sin(w));
    };
    auto shelf2 = [T](double W, double V0, bool high) {
        // |V0·T² − W²|, or |T² − V0·W²| for the high shelf, with the middle term E²·T²·W².
        const double real = high ? T * T - V0 * W * W : V0 * T * T - W * W;
        const double num = real * real + 2.0 * V0 * T * T * W * W;
        const double den = (T * T - W * W) * (T * T - W * W) + 2.0 * T * T * W * W;
        return std::sqrt(num / den);
    };
    std::vector<Prototype> list;
    list.push_back(
        {"pass-through", [](FilterSection& s) { s.setPassThrough(); }, [](double) { return 1.0; }});
    list.push_back({"low-pass 1", [f](FilterSection& s) { s.designLowPass(f, false); },
                    [T](double W) { return T / std::hypot(W, T); }});
    list.push_back(
        {"low-pass 2", [f](FilterSection& s) { s.designLowPass(f, true); }, butterworth});
    list.push_back({"high-pass 1", [f](FilterSection& s) { s.designHighPass(f, false); },
                    [T](double W) { return W / std::hypot(W, T); }});
    list.push_back({"high-pass 2", [f](FilterSection& s) { s.designHighPass(f, true); },
                    [=](double W) { return butterworth(W) * std::pow(W / T, 2); }});
    for (double G : {9.0, -9.0}) {
        const double V = dbToGain(G);
        const double V0 = dbToGain(std::fabs(G));
        const std::string sign = G > 0 ? " boost" : " cut";
        list.push_back({"low shelf 1" + sign,
                        [=](FilterSection& s) { s.designLowShelf(f, G, false); },
                        [=](double W) {
                            return G > 0 ? std::hypot(W, V * T) / std::hypot(W, T)
                                         : std::hypot(W, T) / std::hypot(W, T / V);
                        }});
        list.push_back({"low shelf 2" + sign,
                        [=](FilterSection& s) { s.designLowShelf(f, G, true); },
                        [=](double W) {
                            const double m = shelf2(W, V0, false);
                            return G > 0 ? m : 1.0 / m;
                        }});
        list.push_back({"high shelf 1" + sign,
                        [=](FilterSection& s) { s.designHighShelf(f, G, false); },
                        [=](double W) {
                            return G > 0 ? std::hypot(V * W, T) / std::hypot(W, T)
                                         : V * std::hypot(W, T) / std::hypot(W, V * T);
                        }});
        list.push_back({"high shelf 2" + sign,
                        [=](FilterSection& s) { s.designHighShelf(f, G, true); },
                        [=](double W) {
                            const double m = shelf2(W, V0, true);
                            return G > 0 ? m : 1.0 / m;
                        }});
        // Peaking, width 2 (bandwidth f / 2): 1 + (V − 1)·band-pass; a cut narrows by V.
        const double Tpeak = std::tan(kPi * (f / 2.0) / kRate);
        list.push_back({"peak" + sign, [=](FilterSection& s) { s.designPeak(f, G, 2.0f); },
                        [=](double W) {
                            const double q = detuning(W, Tpeak);
                            return G > 0 ? std::sqrt((V * V + q * q) / (1.0 + q * q))
                                         : V * std::sqrt((1.0 + q * q) / (1.0 + V * V * q * q));
                        }});
    }
    const double Tbandpass = std::tan(kPi * 300.0 / kRate); // 300 Hz wide
    list.push_back({"band-pass", [f](FilterSection& s) { s.designBandPass(f, 300.0f); },
                    [=](double W) { return 1.0 / std::hypot(1.0, detuning(W, Tbandpass)); }});
    const double Tbandstop = std::tan(kPi * (f / 4.0) / kRate); // bandwidth f / 4
    list.push_back({"band-stop", [f](FilterSection& s) { s.designBandStop(f, 4.0f); },
                    [=](double W) {
                        const double q = detuning(W, Tbandstop);
                        return std::fabs(q) / std::hypot(1.0, q);
                    }});
    return list;
}

} // namespace

TEST(FilterSection, NewSectionPassesSamplesButFlushesTinyOnes) {
    FilterSection section;
    Random rng(1);
    for (int i = 0; i < 1000; ++i) {
        const float x = rng.symmetric() * std::pow(10.0f, static_cast<float>(rng.below(60) - 30));
        EXPECT_EQ(bitsOf(section.processSample(x)), bitsOf(x)) << x;
    }
    const float smallest = std::numeric_limits<float>::denorm_min();
    const float largestSubnormal = std::nextafter(std::numeric_limits<float>::min(), 0.0f);
    for (float tiny : {-0.0f, smallest, -smallest, largestSubnormal, -largestSubnormal}) {
        EXPECT_EQ(bitsOf(section.processSample(tiny)), bitsOf(0.0f)) << tiny;
    }
    const float fltMin = std::numeric_limits<float>::min();
    EXPECT_EQ(section.processSample(-fltMin), -fltMin);
}

TEST(FilterSection, EveryTypeMatchesItsAnalogPrototype) {
    for (const Prototype& p : prototypes()) {
        FilterSection section;
        p.design(section);
        for (double frequency : {30.0, 300.0, 700.0, 1000.0, 1400.0, 4000.0, 15000.0}) {
            const double expected = p.magnitude(std::tan(kPi * frequency / kRate));
            const double measured = measuredGain(section, frequency);
            if (expected > 1e-3) {
                EXPECT_NEAR(decibels(measured), decibels(expected), 0.002)
                    << p.name << " at " << frequency << " Hz";
            } else {
                // A notch is as deep as float coefficients allow: about −100 dB.
                EXPECT_NEAR(measured, expected, 2e-5) << p.name << " at " << frequency << " Hz";
            }
        }
    }
}

TEST(FilterSection, SecondOrderShelvesReachTheirGainAtTheEnds) {
    const double V0 = dbToGain(6.0);
    for (float G : {6.0f, -6.0f}) {
        const double end = G > 0 ? V0 : 1.0 / V0;
        FilterSection low;
        low.designLowShelf(2000.0f, G, true);
        EXPECT_NEAR(endGain(low, false), end, 2e-5) << G;
        EXPECT_NEAR(endGain(low, true), 1.0, 2e-5) << G;
        FilterSection high;
        high.designHighShelf(2000.0f, G, true);
        EXPECT_NEAR(endGain(high, true), end, 2e-5) << G;
        EXPECT_NEAR(endGain(high, false), 1.0, 2e-5) << G;
    }
}

TEST(FilterSection, ZeroGainPassesTheSignalUnchanged) {
    const std::vector<std::function<void(FilterSection&)>> designs = {
        [](FilterSection& s) { s.designPeak(1000.0f, 0.0f, 2.0f); },
        [](FilterSection& s) { s.designLowShelf(300.0f, 0.0f, false); },
        [](FilterSection& s) { s.designLowShelf(300.0f, 0.0f, true); },
        [](FilterSection& s) { s.designHighShelf(3000.0f, 0.0f, false); },
        [](FilterSection& s) { s.designHighShelf(3000.0f, 0.0f, true); },
    };
    Random rng(2);
    std::vector<float> x(20000);
    for (float& v : x) {
        v = rng.symmetric();
    }
    for (std::size_t d = 0; d < designs.size(); ++d) {
        FilterSection section;
        designs[d](section);
        // Only float rounding noise is added, more than 100 dB down.
        const std::vector<float> y = run(section, x);
        for (std::size_t i = 0; i < x.size(); ++i) {
            ASSERT_NEAR(y[i], x[i], 1e-5) << "design " << d << " sample " << i;
        }
        for (double f : {30.0, 300.0, 3000.0, 15000.0}) {
            EXPECT_NEAR(decibels(measuredGain(section, f)), 0.0, 1e-4) << "design " << d;
        }
    }
}

TEST(FilterSection, SetTypeRedesignsFromTheRecordedValuesAndClearsTheState) {
    Random rng(3);
    std::vector<float> x(3000);
    for (float& v : x) {
        v = rng.symmetric();
    }

    // A section whose recorded frequency is 40 Hz becomes a 40 Hz Butterworth high-pass.
    FilterSection section;
    section.designLowShelf(40.0f, 4.0f, true);
    run(section, x);
    section.setType(FilterSection::HighPass2);
    FilterSection fresh;
    fresh.designHighPass(40.0f, true);
    EXPECT_EQ(firstDifference(run(section, x), run(fresh, x)), -1);

    // A number above 11 changes nothing, neither the design nor the state.
    FilterSection ringing;
    ringing.designBandPass(500.0f, 50.0f);
    run(ringing, x);
    FilterSection untouched = ringing;
    ringing.setType(12);
    ringing.setType(0xffffffffu);
    EXPECT_EQ(ringing.type(), FilterSection::BandPass);
    EXPECT_EQ(firstDifference(run(ringing, x), run(untouched, x)), -1);

    // Band designs record their width: band-stop redesigned from the band-pass width 50.
    ringing.setType(FilterSection::BandStop);
    FilterSection stop;
    stop.designBandStop(500.0f, 50.0f);
    EXPECT_EQ(firstDifference(run(ringing, x), run(stop, x)), -1);
}

TEST(FilterSection, PeakingKeepsItsOwnWidthAcrossRedesigns) {
    Random rng(4);
    std::vector<float> x(2000);
    for (float& v : x) {
        v = rng.symmetric();
    }
    FilterSection section;
    section.designPeak(1000.0f, 6.0f, 1.5f);
    section.designBandPass(3000.0f, 0.5f); // records a width that would truncate to 0
    section.setType(FilterSection::Peak);
    FilterSection expected;
    expected.designPeak(3000.0f, 6.0f, 1.5f);
    const std::vector<float> y = run(section, x);
    EXPECT_EQ(firstDifference(y, run(expected, x)), -1);

    // A sample-rate change redesigns it with that width too.
    section.setSampleRate(48000.0f);
    FilterSection at48;
    at48.setSampleRate(48000.0f);
    at48.designPeak(3000.0f, 6.0f, 1.5f);
    EXPECT_EQ(firstDifference(run(section, x), run(at48, x)), -1);

    // A fresh section redesigned as a peak uses its initial width 3 and stays finite.
    FilterSection initial;
    initial.setType(FilterSection::Peak);
    for (float v : run(initial, x)) {
        ASSERT_TRUE(std::isfinite(v));
    }
    EXPECT_NEAR(measuredGain(initial, 4410.0), dbToGain(0.0), 1e-5); // recorded G = 0
}

TEST(FilterSection, SampleRateChangesClearAndRedesignOnlyWhenTheRateReallyChanges) {
    Random rng(5);
    std::vector<float> x(2000);
    for (float& v : x) {
        v = rng.symmetric();
    }
    FilterSection section;
    section.designHighShelf(2000.0f, 5.0f, true);
    run(section, x);
    ASSERT_NE(section.state1(), 0.0f);

    // The current rate and rates that are not positive and finite change nothing.
    FilterSection copy = section;
    for (float rate : {44100.0f, 0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity()}) {
        section.setSampleRate(rate);
    }
    EXPECT_EQ(section.sampleRate(), 44100.0f);
    EXPECT_EQ(firstDifference(run(section, x), run(copy, x)), -1);

    // A new rate clears the state and redesigns for that rate.
    section.setSampleRate(96000.0f);
    EXPECT_EQ(section.state1(), 0.0f);
    EXPECT_EQ(section.state2(), 0.0f);
    FilterSection at96;
    at96.setSampleRate(96000.0f);
    at96.designHighShelf(2000.0f, 5.0f, true);
    EXPECT_EQ(firstDifference(run(section, x), run(at96, x)), -1);
    EXPECT_NEAR(decibels(measuredGain(section, 40000.0, 96000.0)), 5.0, 0.01);
}

TEST(FilterSection, RedesignWhileRunningKeepsTheState) {
    Random rng(6);
    FilterSection section;
    section.designHighShelf(2000.0f, 3.0f, true);
    for (int i = 0; i < 500; ++i) {
        section.processSample(rng.symmetric());
    }
    const float s1 = section.state1();
    const float s2 = section.state2();
    ASSERT_NE(s1, 0.0f);
    section.designHighShelf(2000.0f, 12.0f, true);
    section.designLowPass(500.0f, true);
    EXPECT_EQ(section.state1(), s1);
    EXPECT_EQ(section.state2(), s2);
    // The next output continues from that state: with zero input it is s1 itself.
    EXPECT_EQ(section.processSample(0.0f), kel::dsp::flushTiny(s1));
}

TEST(StandaloneDesigns, HighPassHasAnUnnormalisedNumerator) {
    SectionCoefficients k;
    highPassCoefficients(100.0f, 44100.0f, k);
    EXPECT_EQ(k.g, 1.0f);
    EXPECT_EQ(k.c1, -2.0f);
    EXPECT_EQ(k.c2, 1.0f);
    const double K = std::tan(kPi * 100.0 / 44100.0);
    const double N = 1.0 + std::sqrt(2.0) * K + K * K;
    EXPECT_NEAR(N, 1.0101, 1e-4);
    EXPECT_NEAR(std::abs(responseOf(k, 22050.0, 44100.0)), N, 1e-5);
    EXPECT_NEAR(std::abs(responseOf(k, 10000.0, 44100.0)), 1.0101, 2e-4);
    // Butterworth: 3 dB below the passband at the corner, 12 dB per octave below it.
    EXPECT_NEAR(std::abs(responseOf(k, 100.0, 44100.0)) / N, std::sqrt(0.5), 1e-4);
    EXPECT_NEAR(decibels(std::abs(responseOf(k, 25.0, 44100.0)) / N),
                decibels(1.0 / std::sqrt(1.0 + 256.0)), 0.01);
}

TEST(StandaloneDesigns, PeakingBoostsAndCutsAroundTheCentre) {
    const double fs = 44100.0;
    const double f0 = 2000.0;
    const double Q = 0.7;
    for (float G : {0.0f, 8.0f, 15.0f, -10.0f}) {
        SectionCoefficients k;
        peakingCoefficients(G, static_cast<float>(f0), static_cast<float>(Q),
                            static_cast<float>(fs), k);
        // The analog prototype (s² + (V/Q)·s + 1) / (s² + s/Q + 1) for a boost, inverted for a
        // cut, with s = j·tan(w/2) / tan(π·f0/fs).
        const double V = dbToGain(std::fabs(G));
        for (double f : {50.0, 500.0, 1500.0, 2000.0, 3000.0, 8000.0, 16000.0}) {
            const double s = std::tan(kPi * f / fs) / std::tan(kPi * f0 / fs);
            const std::complex<double> js(0.0, s);
            const std::complex<double> boost =
                (js * js + (V / Q) * js + 1.0) / (js * js + js / Q + 1.0);
            const double expected = G >= 0 ? std::abs(boost) : 1.0 / std::abs(boost);
            EXPECT_NEAR(decibels(std::abs(responseOf(k, f, fs))), decibels(expected), 1e-3)
                << G << " dB at " << f << " Hz";
        }
        EXPECT_NEAR(decibels(std::abs(responseOf(k, f0, fs))), G, 1e-3);
    }
}

TEST(SectionState, RunsBlocksAsSampleBySampleAndKeepsItsArithmetics) {
    // The state of a section against the transcription of the two arithmetics the chains use,
    // over designs of every kind of coefficient set, with loud, quiet, subnormal and extreme input.
    Random rng(7);
    std::vector<float> x = mixedSignal(rng, 4000);
    x[1234] = std::numeric_limits<float>::infinity();
    struct Design {
        const char* name;
        SectionCoefficients k;
    };
    SectionCoefficients highPass, bell;
    highPassCoefficients(100.0f, kRate, highPass);
    peakingCoefficients(8.0f, 2000.0f, 0.2f, kRate, bell);
    const Design designs[] = {
        {"Butterworth high-pass", kel::dsp::highPassDesign(kRate, 40.0f, true)},
        {"high shelf", kel::dsp::highShelfDesign(kRate, 2000.0f, 12.0f, true)},
        {"unnormalised high-pass", highPass},
        {"bell", bell},
    };
    for (const Design& d : designs) {
        const reference::Coefficients k{d.k.g, d.k.c1, d.k.c2, d.k.a1, d.k.a2};
        reference::Section flushed{k};
        reference::InlineSection unflushed{k};
        SectionState a, b;
        std::vector<float> block = x;
        a.run(d.k, block.data(), block.data(), static_cast<int>(block.size())); // in place
        for (std::size_t i = 0; i < x.size(); ++i) {
            ASSERT_TRUE(sameSample(block[i], flushed.process(x[i]))) << d.name << " " << i;
            const float input = static_cast<float>(static_cast<double>(d.k.g) * x[i]);
            ASSERT_TRUE(sameSample(b.processUnflushed(d.k, x[i]), unflushed.process(input)))
                << d.name << " " << i;
        }
        EXPECT_FALSE(a.finite()) << d.name; // the infinite sample left its mark
        a.reset();
        EXPECT_TRUE(a.finite());
    }
}

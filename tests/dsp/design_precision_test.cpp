// The designs the two chains use, checked against their coefficients computed to 60 digits from
// the same formulas (π as 3.141592653589793, √2 as its double, G / 20 and 10^(G/20) rounded to
// float) and then rounded to float. None of these values lies within 0.001 float steps of a
// rounding boundary, so a design computed in double must hit every one exactly, on every target
// and with every mathematical library.
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dsp/crunch_preamp.h"
#include "dsp/design_math.h"
#include "dsp/filter_section.h"
#include "plugins/crunch/crunch_model.h"
#include "reference/chains.h"
#include "tests/dsp/test_support.h"

using namespace kel::dsp;
using namespace kel::crunch;

namespace {

struct Expected {
    const char* name;
    float k[5]; // g, c1, c2, a1, a2
};

const Expected kExpected[] = {
    {"high-pass 40 Hz at 44100",
     {0x1.fdf0dep-1f, -0x1p+1f, 0x1p+0f, -0x1.fdefcep+0f, 0x1.fbe3dap-1f}},
    {"high-pass 30 Hz at 44100",
     {0x1.fe7474p-1f, -0x1p+1f, 0x1p+0f, -0x1.fe73dap+0f, 0x1.fcea18p-1f}},
    {"high shelf 2 kHz 0 dB at 44100",
     {0x1p+0f, -0x1.99e13p+0f, 0x1.563476p-1f, -0x1.99e13p+0f, 0x1.563476p-1f}},
    {"high shelf 2 kHz 5 dB at 44100",
     {0x1.b10252p+0f, -0x1.b2e29p+0f, 0x1.7a227ap-1f, -0x1.99e13p+0f, 0x1.563476p-1f}},
    {"high shelf 2 kHz 15 dB at 44100",
     {0x1.40691p+2f, -0x1.d458cp+0f, 0x1.af92dap-1f, -0x1.99e13p+0f, 0x1.563476p-1f}},
    {"bell 2 kHz 0 dB Q 0.2 at 44100",
     {0x1p+0f, -0x1.208f62p+0f, 0x1.657b32p-3f, -0x1.208f62p+0f, 0x1.657b32p-3f}},
    {"bell 2 kHz 8 dB Q 0.2 at 44100",
     {0x1.9fbdf4p+0f, -0x1.635f0cp-1f, -0x1.1b6484p-2f, -0x1.208f62p+0f, 0x1.657b32p-3f}},
    {"bell 2 kHz 15 dB Q 0.2 at 44100",
     {0x1.743fbcp+1f, -0x1.8ce472p-2f, -0x1.31371cp-1f, -0x1.208f62p+0f, 0x1.657b32p-3f}},
    {"high-pass 100 Hz at 44100", {0x1p+0f, -0x1p+1f, 0x1p+0f, -0x1.fad78cp+0f, 0x1.f5c972p-1f}},
    {"tone at 44100",
     {0x1.f4437p-1f, -0x1.e7010ep+0f, 0x1.ce021cp-1f, -0x1.dbd3f4p+0f, 0x1.b7b4ccp-1f}},
    {"high-pass 40 Hz at 48000",
     {0x1.fe1b9ep-1f, -0x1p+1f, 0x1p+0f, -0x1.fe1ab8p+0f, 0x1.fc3906p-1f}},
    {"high-pass 30 Hz at 48000",
     {0x1.fe948cp-1f, -0x1p+1f, 0x1p+0f, -0x1.fe940ap+0f, 0x1.fd2a18p-1f}},
    {"high shelf 2 kHz 0 dB at 48000",
     {0x1p+0f, -0x1.a20bd8p+0f, 0x1.61962ep-1f, -0x1.a20bd8p+0f, 0x1.61962ep-1f}},
    {"high shelf 2 kHz 5 dB at 48000",
     {0x1.b2c19cp+0f, -0x1.b91f1p+0f, 0x1.839c22p-1f, -0x1.a20bd8p+0f, 0x1.61962ep-1f}},
    {"high shelf 2 kHz 15 dB at 48000",
     {0x1.43706ep+2f, -0x1.d7ea68p+0f, 0x1.b5aadcp-1f, -0x1.a20bd8p+0f, 0x1.61962ep-1f}},
    {"bell 2 kHz 0 dB Q 0.2 at 48000",
     {0x1p+0f, -0x1.2c445ap+0f, 0x1.b6dfc4p-3f, -0x1.2c445ap+0f, 0x1.b6dfc4p-3f}},
    {"bell 2 kHz 8 dB Q 0.2 at 48000",
     {0x1.980d0cp+0f, -0x1.78c232p-1f, -0x1.e7cda6p-3f, -0x1.2c445ap+0f, 0x1.b6dfc4p-3f}},
    {"bell 2 kHz 15 dB Q 0.2 at 48000",
     {0x1.687d3cp+1f, -0x1.aa7786p-2f, -0x1.233e98p-1f, -0x1.2c445ap+0f, 0x1.b6dfc4p-3f}},
    {"high-pass 100 Hz at 48000", {0x1p+0f, -0x1p+1f, 0x1p+0f, -0x1.fb42d4p+0f, 0x1.f69beap-1f}},
    {"tone at 48000",
     {0x1.f527dcp-1f, -0x1.e8f18ep+0f, 0x1.d1e31ep-1f, -0x1.de93b4p+0f, 0x1.bd3258p-1f}},
    {"high-pass 40 Hz at 96000",
     {0x1.ff0d96p-1f, -0x1p+1f, 0x1p+0f, -0x1.ff0d5cp+0f, 0x1.fe1b9ep-1f}},
    {"high-pass 30 Hz at 96000",
     {0x1.ff4a26p-1f, -0x1p+1f, 0x1p+0f, -0x1.ff4a06p+0f, 0x1.fe948cp-1f}},
    {"high shelf 2 kHz 0 dB at 96000",
     {0x1p+0f, -0x1.d0ba32p+0f, 0x1.a9799p-1f, -0x1.d0ba32p+0f, 0x1.a9799p-1f}},
    {"high shelf 2 kHz 5 dB at 96000",
     {0x1.bcd6aep+0f, -0x1.dc7dc8p+0f, 0x1.bd9924p-1f, -0x1.d0ba32p+0f, 0x1.a9799p-1f}},
    {"high shelf 2 kHz 15 dB at 96000",
     {0x1.55273ap+2f, -0x1.ec006ap+0f, 0x1.d981fep-1f, -0x1.d0ba32p+0f, 0x1.a9799p-1f}},
    {"bell 2 kHz 0 dB Q 0.2 at 96000",
     {0x1p+0f, -0x1.7ebab2p+0f, 0x1.04104cp-1f, -0x1.7ebab2p+0f, 0x1.04104cp-1f}},
    {"bell 2 kHz 8 dB Q 0.2 at 96000",
     {0x1.5f398ap+0f, -0x1.16f684p+0f, 0x1.95ebfp-4f, -0x1.7ebab2p+0f, 0x1.04104cp-1f}},
    {"bell 2 kHz 15 dB Q 0.2 at 96000",
     {0x1.1199c8p+1f, -0x1.661bbcp-1f, -0x1.2d9a66p-2f, -0x1.7ebab2p+0f, 0x1.04104cp-1f}},
    {"high-pass 100 Hz at 96000", {0x1p+0f, -0x1p+1f, 0x1p+0f, -0x1.fda168p+0f, 0x1.fb4864p-1f}},
    {"tone at 96000",
     {0x1.fa65dp-1f, -0x1.f434ccp+0f, 0x1.e86998p-1f, -0x1.eebafp+0f, 0x1.dd78b4p-1f}},
};

std::vector<SectionCoefficients> designedCoefficients() {
    std::vector<SectionCoefficients> list;
    for (float rate : {44100.0f, 48000.0f, 96000.0f}) {
        FilterSection section;
        section.setSampleRate(rate);
        section.designHighPass(40.0f, true);
        list.push_back(section.coefficients());
        section.designHighPass(30.0f, true);
        list.push_back(section.coefficients());
        for (float gain : {0.0f, 5.0f, 15.0f}) {
            section.designHighShelf(2000.0f, gain, true);
            list.push_back(section.coefficients());
        }
        for (float gain : {0.0f, 8.0f, 15.0f}) {
            SectionCoefficients k;
            peakingCoefficients(gain, CrunchModel::kMidFrequency, CrunchModel::kMidQ, rate, k);
            list.push_back(k);
        }
        SectionCoefficients k;
        highPassCoefficients(100.0f, rate, k);
        list.push_back(k);
        list.push_back(CrunchPreamp::toneCoefficients(rate));
    }
    return list;
}

} // namespace

TEST(Designs, HitTheCorrectlyRoundedCoefficients) {
    const std::vector<SectionCoefficients> designed = designedCoefficients();
    ASSERT_EQ(designed.size(), std::size(kExpected));
    for (std::size_t i = 0; i < designed.size(); ++i) {
        const SectionCoefficients& d = designed[i];
        const float got[5] = {d.g, d.c1, d.c2, d.a1, d.a2};
        for (int j = 0; j < 5; ++j) {
            EXPECT_EQ(test_support::bitsOf(got[j]), test_support::bitsOf(kExpected[i].k[j]))
                << kExpected[i].name << " coefficient " << j << ": " << got[j] << " instead of "
                << kExpected[i].k[j];
        }
    }
}

TEST(Decibels, TheConversionAndTheDesignsGainAreCorrectlyRounded) {
    // 10^(dB / 20) computed to 60 digits and rounded to float. The designs take the gain of
    // dB / 20 rounded to float first (10^(0.3000000119…) for 6 dB): at most decibel values the two
    // differ in the last bit, and each is part of the sound, the first in the plug-ins' drive and
    // level (tests/shell), the second in the shelf and the bell.
    struct Case {
        double decibels;
        float gain;       // decibelsToGain
        float designGain; // designGain
    };
    const Case cases[] = {
        {5.0, 0x1.c73d52p+0f, 0x1.c73d52p+0f},
        {6.0, 0x1.fec982p+0f, 0x1.fec984p+0f},
        {9.0, 0x1.68c0c6p+1f, 0x1.68c0c4p+1f},
        {11.0, 0x1.c6294p+1f, 0x1.c62942p+1f},
        {12.0, 0x1.fd93c2p+1f, 0x1.fd93c4p+1f},
        {13.0, 0x1.1de0a4p+2f, 0x1.1de0a2p+2f},
        {-39.400001525878906, 0x1.5f1d8ap-7f, 0x1.5f1d8cp-7f}, // the Output setting 1
    };
    for (const Case& c : cases) {
        EXPECT_EQ(test_support::bitsOf(kel::dsp::decibelsToGain(c.decibels)),
                  test_support::bitsOf(c.gain))
            << c.decibels;
        EXPECT_EQ(test_support::bitsOf(
                      static_cast<float>(kel::dsp::designGain(static_cast<float>(c.decibels)))),
                  test_support::bitsOf(c.designGain))
            << c.decibels;
    }
}

TEST(Decibels, TheShelfAndTheBellTakeTheDesignsGain) {
    // Against the transcription of the designs, at the settings where the two roundings differ.
    for (float rate : {44100.0f, 96000.0f}) {
        for (float gain : {6.0f, 9.0f, 11.0f, 12.0f, 13.0f, -6.0f}) {
            FilterSection shelf;
            shelf.setSampleRate(rate);
            shelf.designHighShelf(2000.0f, gain, true);
            SectionCoefficients bell;
            peakingCoefficients(gain, CrunchModel::kMidFrequency, CrunchModel::kMidQ, rate, bell);
            const reference::Coefficients expectedShelf =
                reference::secondOrderHighShelf(2000.0f, gain, rate);
            const reference::Coefficients expectedBell =
                reference::peaking(gain, CrunchModel::kMidFrequency, CrunchModel::kMidQ, rate);
            const SectionCoefficients& k = shelf.coefficients();
            const float got[2][5] = {{k.g, k.c1, k.c2, k.a1, k.a2},
                                     {bell.g, bell.c1, bell.c2, bell.a1, bell.a2}};
            const float expected[2][5] = {{expectedShelf.g, expectedShelf.c1, expectedShelf.c2,
                                           expectedShelf.a1, expectedShelf.a2},
                                          {expectedBell.g, expectedBell.c1, expectedBell.c2,
                                           expectedBell.a1, expectedBell.a2}};
            for (int design = 0; design < 2; ++design) {
                for (int j = 0; j < 5; ++j) {
                    EXPECT_EQ(test_support::bitsOf(got[design][j]),
                              test_support::bitsOf(expected[design][j]))
                        << (design == 0 ? "shelf " : "bell ") << gain << " dB at " << rate
                        << ", coefficient " << j;
                }
            }
        }
    }
}

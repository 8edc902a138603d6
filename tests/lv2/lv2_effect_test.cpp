// Both LV2 plug-ins driven through their descriptors as a host drives them, against the VST 2.x
// effect object of the same plug-in in the same process: the same settings give the same bits,
// whatever the host sends and however it cuts and places its buffers.
#include "lv2/lv2_effect.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "tests/lv2/lv2_test_support.h"

using namespace kel::lv2;
using namespace kel::model;
using kel::clean::CleanModel;
using kel::crunch::CrunchModel;
using namespace lv2_test;
using test_support::firstDifference;
using test_support::Random;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// An instance as a host holds it: through the descriptor only, with control values of its own.
template <class Model>
class Host {
public:
    explicit Host(double rate)
        : descriptor(Lv2Effect<Model>::descriptor(pluginOf<Model>().uri)),
          handle(descriptor.instantiate(&descriptor, rate, "/bundle/", features)) {
        if (handle) {
            for (std::uint32_t port = 0; port < kInputLeftPort; ++port) {
                descriptor.connect_port(handle, port, &controls[port]);
            }
            descriptor.activate(handle);
        }
    }
    ~Host() {
        if (handle) {
            descriptor.deactivate(handle);
            descriptor.cleanup(handle);
        }
    }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    bool instantiated() const { return handle != nullptr; }
    const Lv2Effect<Model>& effect() const { return *static_cast<Lv2Effect<Model>*>(handle); }
    void activate() { descriptor.activate(handle); }

    void connectAudio(const float* inL, const float* inR, float* outL, float* outR) {
        descriptor.connect_port(handle, kInputLeftPort, const_cast<float*>(inL));
        descriptor.connect_port(handle, kInputRightPort, const_cast<float*>(inR));
        descriptor.connect_port(handle, kOutputLeftPort, outL);
        descriptor.connect_port(handle, kOutputRightPort, outR);
    }
    void run(std::uint32_t frames) { descriptor.run(handle, frames); }

    // The signal in blocks of `block` frames, into separate output buffers or in place.
    Stereo process(const Stereo& in, std::size_t block, bool inPlace = false) {
        Stereo out = in;
        if (!inPlace) {
            std::fill(out[0].begin(), out[0].end(), 99.0f);
            std::fill(out[1].begin(), out[1].end(), 99.0f);
        }
        for (std::size_t start = 0; start < in[0].size(); start += block) {
            const std::size_t n = std::min(block, in[0].size() - start);
            const Stereo& source = inPlace ? out : in;
            connectAudio(source[0].data() + start, source[1].data() + start, out[0].data() + start,
                         out[1].data() + start);
            run(static_cast<std::uint32_t>(n));
        }
        return out;
    }

    // Effect on and the plug-in's defaults, as a host starts.
    float controls[kInputLeftPort] = {1.0f, static_cast<float>(defaultOf(kGainParameter)),
                                      static_cast<float>(defaultOf(kToneParameter)),
                                      static_cast<float>(defaultOf(kOutputParameter))};

private:
    static int defaultOf(int parameter) { return Lv2Effect<Model>::defaultSetting(parameter); }

    const LV2_Feature* const features[1] = {nullptr};
    const LV2_Descriptor descriptor;
    const LV2_Handle handle;
};

void expectSame(const Stereo& lv2, const Stereo& vst, const std::string& what) {
    for (int c = 0; c < 2; ++c) {
        EXPECT_EQ(firstDifference(lv2[c], vst[c]), -1) << what << ", channel " << c;
    }
}

template <class Model>
class Lv2EffectTest : public ::testing::Test {
protected:
    void SetUp() override { resetTestHost(); }
};

using Models = ::testing::Types<CleanModel, CrunchModel>;
TYPED_TEST_SUITE(Lv2EffectTest, Models);

TYPED_TEST(Lv2EffectTest, EveryBuiltInPresetSoundsLikeItsProgram) {
    for (double rate : {44100.0, 96000.0}) {
        for (int number = 0; number < kBuiltInCount; ++number) {
            const Stereo in = stereoSignal(10 + number, 5003);
            Host<TypeParam> lv2(rate);
            for (int parameter = kGainParameter; parameter < kNumParameters; ++parameter) {
                lv2.controls[parameter] =
                    static_cast<float>(presetSetting(TypeParam::description, number, parameter));
            }
            Vst<TypeParam> vst(static_cast<float>(rate));
            vst.setProgram(number);
            const Stereo expected = vst.process(in, 512);
            for (std::size_t block : {1u, 333u, 4096u}) {
                Host<TypeParam> again(rate);
                std::copy(lv2.controls, lv2.controls + kInputLeftPort, again.controls);
                expectSame(again.process(in, block), expected,
                           "preset " + std::to_string(number) + " at " + std::to_string(rate) +
                               " Hz, blocks of " + std::to_string(block));
            }
        }
    }
}

TYPED_TEST(Lv2EffectTest, AnySettingSoundsLikeTheParametersShowingIt) {
    Random rng(7);
    for (int round = 0; round < 12; ++round) {
        const int gain = round == 0 ? 0 : (round == 1 ? 100 : rng.below(101));
        const int tone = round == 0 ? 0 : (round == 1 ? 15 : rng.below(16));
        const int output = round == 0 ? 0 : (round == 1 ? 100 : rng.below(101));
        const Stereo in = stereoSignal(100 + round, 3001);
        Host<TypeParam> lv2(48000.0);
        lv2.controls[kGainParameter] = static_cast<float>(gain);
        lv2.controls[kToneParameter] = static_cast<float>(tone);
        lv2.controls[kOutputParameter] = static_cast<float>(output);
        Vst<TypeParam> vst(48000.0f);
        vst.showSetting(kGainParameter, gain);
        vst.showSetting(kToneParameter, tone);
        vst.showSetting(kOutputParameter, output);
        expectSame(lv2.process(in, 1 + static_cast<std::size_t>(rng.below(700))),
                   vst.process(in, 256),
                   "settings " + std::to_string(gain) + ", " + std::to_string(tone) + ", " +
                       std::to_string(output));
    }
}

// Values between, beyond and outside the integers: the setting they map to, and the sound of
// that setting, always finite.
TYPED_TEST(Lv2EffectTest, HostileControlValuesGiveTheSettingTheyMapTo) {
    struct Case {
        float gain, tone, output;
        int gainSetting, toneSetting, outputSetting;
    } cases[] = {
        {80.7f, 3.999f, 33.5f, 80, 3, 33},        {kNaN, kNaN, kNaN, 0, 0, 0},
        {kInf, kInf, kInf, 100, 15, 100},         {-kInf, -kInf, -kInf, 0, 0, 0},
        {1e9f, 16.0f, 101.0f, 100, 15, 100},      {-0.5f, -3.0f, -1e9f, 0, 0, 0},
        {99.9999f, 14.9999f, 0.9999f, 99, 14, 0},
    };
    const Stereo in = stereoSignal(3, 2500);
    for (const Case& c : cases) {
        Host<TypeParam> hostile(44100.0);
        hostile.controls[kGainParameter] = c.gain;
        hostile.controls[kToneParameter] = c.tone;
        hostile.controls[kOutputParameter] = c.output;
        const Stereo out = hostile.process(in, 400);
        EXPECT_EQ(hostile.effect().setting(kGainParameter), c.gainSetting) << c.gain;
        EXPECT_EQ(hostile.effect().setting(kToneParameter), c.toneSetting) << c.tone;
        EXPECT_EQ(hostile.effect().setting(kOutputParameter), c.outputSetting) << c.output;

        Host<TypeParam> plain(44100.0);
        plain.controls[kGainParameter] = static_cast<float>(c.gainSetting);
        plain.controls[kToneParameter] = static_cast<float>(c.toneSetting);
        plain.controls[kOutputParameter] = static_cast<float>(c.outputSetting);
        expectSame(out, plain.process(in, 400), "hostile values " + std::to_string(c.gain));
    }
    // A finite input gives a finite output at every mapped extreme.
    Random rng(5);
    const Stereo loud{test_support::sine(440.0, 44100.0, 1e30, 2000),
                      test_support::mixedSignal(rng, 2000)};
    for (const Case& c : cases) {
        Host<TypeParam> host(44100.0);
        host.controls[kGainParameter] = c.gain;
        host.controls[kToneParameter] = c.tone;
        host.controls[kOutputParameter] = c.output;
        for (const Signal& channel : host.process(loud, 128)) {
            for (float sample : channel) {
                ASSERT_TRUE(std::isfinite(sample)) << c.gain;
            }
        }
    }
}

// Automation: settings that change between runs reach the sound at the same frames as parameter
// changes between processing calls do.
TYPED_TEST(Lv2EffectTest, ControlChangesBetweenRunsActLikeParameterChanges) {
    const Stereo in = stereoSignal(21, 6000);
    Host<TypeParam> lv2(44100.0);
    Vst<TypeParam> vst(44100.0f);
    Stereo lv2Out{Signal(in[0].size()), Signal(in[1].size())};
    Stereo vstOut = lv2Out;
    Random rng(9);
    for (std::size_t start = 0, step = 0; start < in[0].size(); ++step) {
        const std::size_t n = std::min<std::size_t>(1 + rng.below(900), in[0].size() - start);
        const int parameter = kGainParameter + static_cast<int>(step % 3);
        const int setting = rng.below(kParameterTable[parameter].span + 1);
        lv2.controls[parameter] = static_cast<float>(setting);
        vst.showSetting(parameter, setting);
        const Stereo block{Signal(in[0].begin() + start, in[0].begin() + start + n),
                           Signal(in[1].begin() + start, in[1].begin() + start + n)};
        const Stereo a = lv2.process(block, n), b = vst.process(block, n);
        for (int c = 0; c < 2; ++c) {
            std::copy(a[c].begin(), a[c].end(), lv2Out[c].begin() + start);
            std::copy(b[c].begin(), b[c].end(), vstOut[c].begin() + start);
        }
        start += n;
    }
    expectSame(lv2Out, vstOut, "automated");
}

// The host's switch: above 0 on, 0 or below off, NaN keeps the state; the first run takes it as
// it is. A change fades over 10 ms (441 frames here); outside a fade the output is the processed
// signal, bit for bit what the VST 2.x effect gives running throughout (the chains keep running
// while off), or the input itself; during one it lies between the two. Samples in the input that
// are not finite or far too large never make an output sample that is not finite, but while off,
// where they pass as through a wire.
TYPED_TEST(Lv2EffectTest, EnableSwitchFadesBetweenProcessedAndInput) {
    const float sequence[] = {0.0f, 1.0f,  0.2f, kNaN,  -1.0f, 1e-30f, -0.0f,
                              kInf, -kInf, kNaN, 0.75f, 0.0f,  0.25f,  1.0f};
    constexpr std::size_t kBlock = 700;
    Stereo in = stereoSignal(33, kBlock * std::size(sequence));
    const float bad[] = {kNaN, kInf, -kInf, 3.4e38f, -3.4028235e38f};
    for (std::size_t i = 0; i < in[0].size(); i += 97) {
        in[i % 2][i] = bad[(i / 97) % std::size(bad)];
    }
    for (bool inPlace : {false, true}) {
        Host<TypeParam> lv2(44100.0);
        const Stereo processed = Vst<TypeParam>(44100.0f).process(in, kBlock);
        bool enabled = false;
        for (std::size_t step = 0; step < std::size(sequence); ++step) {
            const bool before = step == 0 ? false : enabled;
            enabled = enabledAfter(sequence[step], enabled);
            lv2.controls[kEffectPort] = sequence[step];
            const std::size_t at = step * kBlock;
            const Stereo block{Signal(in[0].begin() + at, in[0].begin() + at + kBlock),
                               Signal(in[1].begin() + at, in[1].begin() + at + kBlock)};
            const Stereo out = lv2.process(block, kBlock, inPlace);
            EXPECT_TRUE(lv2.effect().isEnabled() == enabled && !lv2.effect().isFading()) << step;
            for (int c = 0; c < 2; ++c) {
                for (std::size_t i = 0; i < kBlock; ++i) {
                    const float wet = processed[c][at + i], y = out[c][i];
                    const float dry = std::isfinite(in[c][at + i]) ? in[c][at + i] : 0.0f;
                    ASSERT_TRUE(before == enabled || i >= 441
                                    ? test_support::sameSample(y, enabled ? wet : in[c][at + i])
                                    : y >= std::min(wet, dry) && y <= std::max(wet, dry))
                        << "step " << step << ", channel " << c << ", frame " << i;
                    ASSERT_TRUE(std::isfinite(y) || !enabled) << step << " " << c << " " << i;
                }
            }
        }
    }
}

// Switching on a sustained note, either way, and back again under way: the largest step at the
// switch against the steepest step of the processed and of the unprocessed signal around it.
TYPED_TEST(Lv2EffectTest, SwitchingOnASustainedNoteMakesNoStepOfItsOwn) {
    const struct {
        double rate;
        float before, first, second; // the switch before, at 1 s, and 4 ms later
    } cases[] = {
        {44100.0, 1, 0, 0}, {44100.0, 0, 1, 1}, {96000.0, 1, 0, 0},
        {96000.0, 0, 1, 1}, {48000.0, 1, 0, 1}, {48000.0, 0, 1, 0},
    };
    for (const auto& c : cases) {
        const Stereo note = sustainedNote(c.rate, 2.0);
        const std::size_t cuts[] = {0, static_cast<std::size_t>(c.rate),
                                    static_cast<std::size_t>(c.rate * 1.004), note[0].size()};
        const auto render = [&](const float(&values)[3]) {
            Host<TypeParam> host(c.rate);
            Stereo out{Signal(note[0].size()), Signal(note[1].size())};
            for (int piece = 0; piece < 3; ++piece) {
                host.controls[kEffectPort] = values[piece];
                for (std::size_t i = cuts[piece]; i < cuts[piece + 1]; i += 512) {
                    host.connectAudio(note[0].data() + i, note[1].data() + i, out[0].data() + i,
                                      out[1].data() + i);
                    host.run(static_cast<std::uint32_t>(
                        std::min<std::size_t>(512, cuts[piece + 1] - i)));
                }
            }
            return out;
        };
        const Stereo switched = render({c.before, c.first, c.second});
        const Stereo processed = render({1, 1, 1});
        // The steady steps over 0.1 s each side of the switch; the switch's over its fades.
        const std::size_t from = cuts[1] - cuts[1] / 10, to = cuts[1] + cuts[1] / 10;
        const std::size_t fadeEnd = cuts[c.first == c.second ? 1 : 2] + cuts[1] / 100 + 2;
        for (int ch = 0; ch < 2; ++ch) {
            const double steady =
                std::max(largestStep(processed[ch], from, to), largestStep(note[ch], from, to));
            const double atSwitch = largestStep(switched[ch], cuts[1] - 1, fadeEnd);
            EXPECT_LE(atSwitch, 1.5 * steady)
                << c.before << c.first << c.second << " at " << c.rate << " Hz, channel " << ch
                << ": step " << atSwitch << ", steady " << steady;
        }
    }
}

TYPED_TEST(Lv2EffectTest, FrameCountsAndBufferPlacesGiveTheSameSound) {
    const Stereo in = stereoSignal(44, 4099);
    Host<TypeParam> separate(44100.0);
    const Stereo expected = separate.process(in, 4099);
    for (std::size_t block : {1u, 2u, 3u, 7u, 64u, 511u, 4098u}) {
        Host<TypeParam> inPlace(44100.0);
        expectSame(inPlace.process(in, block, true), expected,
                   "in place, blocks of " + std::to_string(block));
    }

    // Zero frames read and write nothing, whatever the buffers hold.
    Host<TypeParam> host(44100.0);
    Signal outL(8, 42.0f), outR(8, -42.0f);
    host.connectAudio(in[0].data(), in[1].data(), outL.data(), outR.data());
    host.run(0);
    EXPECT_EQ(outL, Signal(8, 42.0f));
    EXPECT_EQ(outR, Signal(8, -42.0f));

    // Both channels from one input buffer into one output buffer (lv2bench connects its ports
    // so), the output also on channel 1's input, and everything on one buffer: as the VST 2.x
    // effect does it, also with a NaN in the input and beyond the scratch buffer's length.
    Signal withNaN = in[0];
    withNaN[1500] = kNaN;
    struct Shared {
        int in0, in1, out;
    } places[] = {{0, 0, 1}, {0, 1, 2}, {0, 2, 2}, {0, 1, 1}, {1, 0, 2}, {0, 0, 0}};
    for (const Signal& source : {in[0], withNaN}) {
        for (const Shared& p : places) {
            Host<TypeParam> lv2(44100.0);
            Vst<TypeParam> vst(44100.0f);
            Stereo lv2Buffers{source, in[1], Signal(source.size(), 7.0f)};
            Stereo vstBuffers = lv2Buffers;
            lv2.connectAudio(lv2Buffers[p.in0].data(), lv2Buffers[p.in1].data(),
                             lv2Buffers[p.out].data(), lv2Buffers[p.out].data());
            lv2.run(static_cast<std::uint32_t>(source.size()));
            float* inputs[2] = {vstBuffers[p.in0].data(), vstBuffers[p.in1].data()};
            float* outputs[2] = {vstBuffers[p.out].data(), vstBuffers[p.out].data()};
            vst.processReplacing(inputs, outputs, static_cast<VstInt32>(source.size()));
            for (int b = 0; b < 3; ++b) {
                EXPECT_EQ(firstDifference(lv2Buffers[b], vstBuffers[b]), -1)
                    << "buffer " << b << " of in " << p.in0 << ", " << p.in1 << ", out " << p.out;
            }
        }
    }

    // Both channels from one buffer into one shared output: as the VST 2.x effect does it.
    Host<TypeParam> shared(44100.0);
    Vst<TypeParam> vst(44100.0f);
    Signal lv2Buffer = in[0], vstBuffer = in[0];
    shared.connectAudio(lv2Buffer.data(), lv2Buffer.data(), lv2Buffer.data(), lv2Buffer.data());
    shared.run(static_cast<std::uint32_t>(lv2Buffer.size()));
    float* io[2] = {vstBuffer.data(), vstBuffer.data()};
    vst.processReplacing(io, io, static_cast<VstInt32>(vstBuffer.size()));
    EXPECT_EQ(firstDifference(lv2Buffer, vstBuffer), -1);
}

TYPED_TEST(Lv2EffectTest, ActivateStartsFromCleanStates) {
    const Stereo in = stereoSignal(55, 3000);
    Host<TypeParam> fresh(44100.0);
    const Stereo expected = fresh.process(in, 300);
    Host<TypeParam> reused(44100.0);
    reused.controls[kGainParameter] = 100.0f;
    reused.controls[kEffectPort] = 0.0f;
    reused.process(stereoSignal(56, 2000), 500);
    reused.controls[kEffectPort] = 1.0f;
    reused.process(stereoSignal(57, 2000), 500);
    reused.controls[kGainParameter] = static_cast<float>(Lv2Effect<TypeParam>::defaultSetting(1));
    reused.activate();
    EXPECT_TRUE(reused.effect().isEnabled());
    expectSame(reused.process(in, 300), expected, "after activate");
    // Activated with the switch off, the first run passes the input from its first frame.
    reused.controls[kEffectPort] = 0.0f;
    reused.activate();
    expectSame(reused.process(in, 300), in, "activated off");
}

// The rates the chains refuse in the VST 2.x build (they keep running at another) are refused at
// instantiation; every other rate runs in both.
TYPED_TEST(Lv2EffectTest, RatesTheChainsCannotRunAreRefused) {
    struct Case {
        double rate;
        bool runs;
    } cases[] = {
        {0.0, false},     {-44100.0, false}, {kNaN, false},     {kInf, false},   {1e300, false},
        {4000.0, false},  {3999.0, false},   {768000.5, false}, {1e6, false},    {4000.5, true},
        {8000.0, true},   {22050.0, true},   {44100.0, true},   {48000.0, true}, {96000.0, true},
        {192000.0, true}, {768000.0, true},
    };
    for (const Case& c : cases) {
        Host<TypeParam> host(c.rate);
        EXPECT_EQ(host.instantiated(), c.runs) << c.rate;
        Vst<TypeParam> vst(static_cast<float>(c.rate));
        const Stereo in = stereoSignal(1, 16);
        vst.process(in, 16);
        EXPECT_EQ(vst.processorRate() == static_cast<float>(c.rate), c.runs) << c.rate;
    }
}

// A host must connect every port; one that does not gets no crash: without audio buffers nothing
// happens, an unconnected control keeps the value it last gave (the default at first).
TYPED_TEST(Lv2EffectTest, UnconnectedPortsAreSurvived) {
    const Stereo in = stereoSignal(66, 1000);
    const auto& d = Lv2Effect<TypeParam>::descriptor(pluginOf<TypeParam>().uri);
    LV2_Handle handle = d.instantiate(&d, 44100.0, "/bundle/", nullptr);
    ASSERT_NE(handle, nullptr);
    d.activate(handle);
    d.run(handle, 64);
    Stereo out{Signal(in[0].size()), Signal(in[1].size())};
    d.connect_port(handle, kInputLeftPort, const_cast<float*>(in[0].data()));
    d.connect_port(handle, kInputRightPort, const_cast<float*>(in[1].data()));
    d.connect_port(handle, kOutputLeftPort, out[0].data());
    d.run(handle, 1000);
    EXPECT_EQ(out[0], Signal(in[0].size())); // one output missing: nothing written
    d.connect_port(handle, kOutputRightPort, out[1].data());
    d.connect_port(handle, 99, nullptr); // no such port
    d.run(handle, 1000);
    d.cleanup(handle);
    Host<TypeParam> defaults(44100.0);
    expectSame(out, defaults.process(in, 1000), "defaults");
}

} // namespace

// Our host's audio path: WAV files in and out, parameters by name, and rendering through the
// plug-in DLLs compared with the same effect built into this test program.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/host_callback.h"
#include "host/render.h"
#include "host/wav_file.h"
#include "plugins/clean/clean_model.h"
#include "plugins/crunch/crunch_model.h"
#include "shell/kel_dsp.h"
#include "tests/integration/module_paths.h"

using namespace kel::host;
using namespace kel::clean;
using namespace kel::crunch;
using namespace kel::model;
using namespace kel::shell;

namespace {

std::string tempFile(const std::string& name) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "kelhost_test_" + std::to_string(GetCurrentProcessId()) + "_" +
           name;
}

std::vector<float> pluck(std::size_t frames, double frequency, float amplitude) {
    std::vector<float> signal(frames);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        signal[i] = static_cast<float>(
            amplitude * std::exp(-4.0 * t) *
            (std::sin(2 * M_PI * frequency * t) + 0.3 * std::sin(2 * M_PI * 3 * frequency * t)));
    }
    return signal;
}

TEST(WavFile, FormatsRoundTrip) {
    AudioBuffer audio;
    audio.sampleRate = 48000;
    audio.channels = {{0.0f, 0.5f, -0.5f, 0.999f, -1.0f, 1e-6f, 0.123456789f},
                      {1.0f, -0.25f, 0.75f, -0.999f, 0.0f, -1e-6f, -0.987654321f}};
    const struct {
        SampleFormat format;
        float tolerance;
    } cases[] = {{SampleFormat::Pcm16, 1.0f / 32768},
                 {SampleFormat::Pcm24, 1.0f / 8388608},
                 {SampleFormat::Float32, 0.0f}};
    for (const auto& c : cases) {
        const std::string path = tempFile(std::string(formatName(c.format)) + ".wav");
        std::string error;
        ASSERT_TRUE(writeWavFile(path, audio, c.format, error)) << error;
        AudioBuffer back;
        ASSERT_TRUE(readWavFile(path, back, error)) << error;
        EXPECT_EQ(back.sampleRate, 48000);
        EXPECT_EQ(back.format, c.format);
        ASSERT_EQ(back.channels.size(), 2u);
        ASSERT_EQ(back.frames(), audio.frames());
        for (std::size_t ch = 0; ch < 2; ++ch) {
            for (std::size_t i = 0; i < audio.frames(); ++i) {
                EXPECT_NEAR(back.channels[ch][i], audio.channels[ch][i], c.tolerance)
                    << formatName(c.format) << " " << ch << " " << i;
            }
        }
        DeleteFileA(path.c_str());
    }
}

TEST(WavFile, IntegerFormatsClipAndSilenceNaN) {
    AudioBuffer audio;
    audio.channels = {{2.0f, -2.0f, std::numeric_limits<float>::quiet_NaN(), 1.0f}};
    for (SampleFormat format : {SampleFormat::Pcm16, SampleFormat::Pcm24}) {
        const std::string path = tempFile("clip.wav");
        std::string error;
        ASSERT_TRUE(writeWavFile(path, audio, format, error)) << error;
        AudioBuffer back;
        ASSERT_TRUE(readWavFile(path, back, error)) << error;
        const float top = format == SampleFormat::Pcm16 ? 32767.0f / 32768 : 8388607.0f / 8388608;
        EXPECT_EQ(back.channels[0][0], top);
        EXPECT_EQ(back.channels[0][1], -1.0f);
        EXPECT_EQ(back.channels[0][2], 0.0f);
        EXPECT_EQ(back.channels[0][3], top);
        DeleteFileA(path.c_str());
    }
}

TEST(WavFile, RefusesWhatItCannotRead) {
    const std::string path = tempFile("not_a_wav.wav");
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fputs("RIFF....WAVEjunk but not a format chunk", file);
    std::fclose(file);
    AudioBuffer audio;
    std::string error;
    EXPECT_FALSE(readWavFile(path, audio, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(readWavFile(tempFile("missing.wav"), audio, error));
    DeleteFileA(path.c_str());
}

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        hostState() = HostState{};
        std::string error;
        ASSERT_TRUE(clean.load(besideThisProgram(kCleanModule), error)) << error;
        ASSERT_TRUE(crunch.load(besideThisProgram(kCrunchModule), error)) << error;
    }
    PluginModule clean, crunch;
};

TEST_F(RenderTest, ParametersByNameTakeSettingsOrNormalisedValues) {
    PluginInstance plugin(crunch.createEffect());
    std::string error;
    ASSERT_TRUE(setParameterByName(plugin, "gain", "80", error)) << error;
    EXPECT_EQ(plugin.text(effGetParamDisplay, 1), "80");
    EXPECT_EQ(plugin.getParameter(1), 0.8f);
    ASSERT_TRUE(setParameterByName(plugin, "Output", "70", error)) << error;
    EXPECT_EQ(plugin.text(effGetParamDisplay, 3), "70");
    ASSERT_TRUE(setParameterByName(plugin, "Mid Boost", "0.5", error)) << error;
    EXPECT_EQ(plugin.getParameter(2), 0.5f);
    ASSERT_TRUE(setParameterByName(plugin, "Effect", "1", error)) << error;
    EXPECT_EQ(plugin.text(effGetParamDisplay, 0), "Off");
    EXPECT_FALSE(setParameterByName(plugin, "Drive", "1", error));
    EXPECT_FALSE(setParameterByName(plugin, "Gain", "150", error));
    EXPECT_FALSE(setParameterByName(plugin, "Gain", "loud", error));
}

// The same settings and signal through the DLL and through the effect compiled in here.
template <class Model>
std::vector<std::vector<float>> renderInProcess(const AudioBuffer& input, int program, int block,
                                                float rate) {
    struct Local : KelDSP<Model> {
        Local() : KelDSP<Model>(hostCallback) {}
    } effect;
    effect.setSampleRate(rate);
    effect.setProgram(program);
    std::vector<std::vector<float>> out(2, std::vector<float>(input.frames()));
    std::vector<float> left = input.channels[0], right = input.channels.back();
    for (std::size_t start = 0; start < input.frames(); start += block) {
        const auto n = static_cast<VstInt32>(std::min<std::size_t>(block, input.frames() - start));
        float* inputs[2] = {left.data() + start, right.data() + start};
        float* outputs[2] = {out[0].data() + start, out[1].data() + start};
        effect.processReplacing(inputs, outputs, n);
    }
    return out;
}

TEST_F(RenderTest, DllsSoundLikeTheEffectBuiltInHere) {
    AudioBuffer input;
    input.channels = {pluck(20000, 110.0, 0.9f), pluck(20000, 164.8, 0.6f)};
    for (int block : {1, 64, 4096}) {
        for (int program : {0, 3}) {
            RenderOptions options;
            options.program = program;
            options.blockSize = block;
            AudioBuffer fromClean, fromCrunch;
            std::string error;
            {
                PluginInstance plugin(clean.createEffect());
                ASSERT_TRUE(renderAudio(plugin, input, options, fromClean, error)) << error;
            }
            {
                PluginInstance plugin(crunch.createEffect());
                options.adding = true;
                ASSERT_TRUE(renderAudio(plugin, input, options, fromCrunch, error)) << error;
            }
            EXPECT_EQ(fromClean.channels,
                      renderInProcess<CleanModel>(input, program, block, 44100.0f))
                << block << " " << program;
            EXPECT_EQ(fromCrunch.channels,
                      renderInProcess<CrunchModel>(input, program, block, 44100.0f))
                << block << " " << program;
        }
    }
}

TEST_F(RenderTest, MonoFeedsBothChannelsAndTheRateCanBeOverridden) {
    AudioBuffer input;
    input.sampleRate = 44100;
    input.channels = {pluck(8000, 220.0, 0.5f)};
    PluginInstance plugin(clean.createEffect());
    RenderOptions options;
    AudioBuffer output, retuned;
    std::string error;
    ASSERT_TRUE(renderAudio(plugin, input, options, output, error)) << error;
    ASSERT_EQ(output.channels.size(), 2u);
    EXPECT_EQ(output.channels[0], output.channels[1]);
    EXPECT_EQ(output.sampleRate, 44100);

    PluginInstance other(clean.createEffect());
    options.rate = 96000.0;
    ASSERT_TRUE(renderAudio(other, input, options, retuned, error)) << error;
    EXPECT_EQ(retuned.sampleRate, 44100);
    EXPECT_EQ(retuned.channels[0], (renderInProcess<CleanModel>(input, 0, 512, 96000.0f)[0]));
    EXPECT_NE(retuned.channels[0], output.channels[0]);
}

} // namespace

// An instance of one of the bundle's plug-ins as an LV2 host drives it: the plug-in's two channel
// processors behind the host's ports, and the descriptor with the functions the host calls.
//
// Model is the plug-in's type from plugins/<name>/ (see shell/kel_dsp.h for the VST 2.x
// counterpart): the same processors, the same settings derived the same way, the same stereo
// entry, so that the same settings give the same output bit for bit.
#pragma once

#include <lv2/core/lv2.h>

#include <cstdint>
#include <new>

#include "dsp/enable_fade.h"
#include "dsp/stereo_run.h"
#include "lv2/port_mapping.h"
#include "lv2/ports.h"
#include "model/parameters.h"
#include "model/plugin_description.h"

namespace kel::lv2 {

template <class Model>
class Lv2Effect {
public:
    using Preamp = typename Model::Preamp;

    // The settings of the plug-in's default program as the VST 2.x build holds them once their
    // parameter values are set (Output 70 becomes 69): what the ports start with.
    static int defaultSetting(int parameter) {
        return presetSetting(Model::description, 0, parameter);
    }

    explicit Lv2Effect(double sampleRate)
        : rate(static_cast<float>(sampleRate)), fade(sampleRate),
          kernel(dsp::fastestStereoKernel()) {
        reset();
    }

    // Whether the chains run at the instance's rate. They refuse a rate they cannot run stably (up
    // to twice their highest filter frequency, above 768 kHz, not finite), as they do in the VST
    // 2.x build, and stay at their own.
    bool runsAtItsRate() const { return left.sampleRate() == rate && right.sampleRate() == rate; }

    // Any thread the host allows (not during run): where a port's buffer lies.
    void connect(std::uint32_t port, void* data) {
        if (port < kInputLeftPort) {
            controls[port] = static_cast<const float*>(data);
        } else if (port < kOutputLeftPort) {
            inputs[port - kInputLeftPort] = static_cast<float*>(data);
        } else if (port < kPortCount) {
            outputs[port - kOutputLeftPort] = static_cast<float*>(data);
        }
    }

    // Clean filter states, as a new instance starts; the first run takes the enable switch as it
    // finds it, without a fade.
    void activate() { reset(); }

    // Audio thread: `frames` frames of every connected port. Allocates nothing, locks nothing and
    // calls into the system for nothing. Ports left unconnected keep the last value they gave;
    // without all four audio buffers nothing happens. Any output may share its buffer with any
    // input.
    void run(std::uint32_t frames) {
        if (!inputs[0] || !inputs[1] || !outputs[0] || !outputs[1]) {
            return;
        }
        followEnableSwitch();
        applyControls();
        if (fade.fullyOn()) {
            // The stereo entry counts frames in int; a larger count goes in slices, which gives
            // the same output as one call.
            constexpr std::uint32_t kSlice = 1u << 30;
            for (std::uint32_t done = 0; done < frames;) {
                const std::uint32_t n = frames - done < kSlice ? frames - done : kSlice;
                float* in[2] = {inputs[0] + done, inputs[1] + done};
                float* out[2] = {outputs[0] + done, outputs[1] + done};
                dsp::runStereoOnSharedBuffers(left, right, in, out, static_cast<int>(n), scratch,
                                              kScratchFrames, kernel);
                done += n;
            }
            return;
        }
        // Switched off or fading: the chains keep running, into the scratch buffers, so that
        // they follow the signal and come back without a jump; the fade weighs them against the
        // input.
        for (std::uint32_t done = 0; done < frames;) {
            const std::uint32_t n = frames - done < kScratchFrames ? frames - done : kScratchFrames;
            float* in[2] = {inputs[0] + done, inputs[1] + done};
            float* out[2] = {outputs[0] + done, outputs[1] + done};
            float* wet[2] = {scratch, scratch + kScratchFrames};
            dsp::runStereoReplacing(left, right, in, wet, static_cast<int>(n), kernel);
            fade.mix(in, wet, out, static_cast<int>(n));
            done += n;
        }
    }

    // What the processors run with: the integer settings of parameters 1 to 3; where the enable
    // switch heads, and whether its fade has got there.
    int setting(int parameter) const { return settings[parameter - model::kGainParameter]; }
    bool isEnabled() const { return fade.heading(); }
    bool isFading() const { return !fade.fullyOn() && !fade.fullyOff(); }

    static constexpr LV2_Descriptor descriptor(const char* uri) {
        return {uri,       instantiate, connectPort, activatePorts,
                runFrames, deactivate,  cleanup,     extensionData};
    }

private:
    static constexpr int kSettings = model::kNumParameters - model::kGainParameter;
    // Frames per piece in the two halves of the scratch buffer: the wet signal of both channels
    // while the switch is off or fading; else the inputs where an output lies on the other
    // channel's input, or channel 1 where a host hands both channels one output buffer.
    static constexpr int kScratchFrames = 1024;

    void reset() {
        left = Preamp();
        right = Preamp();
        switchFollowed = false;
        fade.settle(true);
        for (int parameter = model::kGainParameter; parameter < model::kNumParameters;
             ++parameter) {
            settings[parameter - model::kGainParameter] = defaultSetting(parameter);
        }
        configure();
        // After the settings: the crunch chain's bound depends on its mid frequency.
        left.setSampleRate(rate);
        right.setSampleRate(rate);
    }

    // The enable port: the first run after activate settles at its state, later changes fade.
    void followEnableSwitch() {
        if (!controls[kEffectPort]) {
            return;
        }
        const bool on = enabledAfter(*controls[kEffectPort], fade.heading());
        if (!switchFollowed) {
            fade.settle(on);
            switchFollowed = true;
        } else {
            fade.switchTo(on);
        }
    }

    // New settings from the control ports reach the processors before the block, as a changed
    // parameter does in the VST 2.x build.
    void applyControls() {
        bool changed = false;
        for (int parameter = model::kGainParameter; parameter < model::kNumParameters;
             ++parameter) {
            if (!controls[parameter]) {
                continue;
            }
            const int value =
                settingFromPort(*controls[parameter], model::kParameterTable[parameter].span);
            int& current = settings[parameter - model::kGainParameter];
            changed = changed || value != current;
            current = value;
        }
        if (changed) {
            configure();
        }
    }

    void configure() {
        const typename Model::Settings derived =
            Model::deriveSettings(setting(model::kGainParameter), setting(model::kToneParameter),
                                  setting(model::kOutputParameter));
        Model::configure(left, derived);
        Model::configure(right, derived);
    }

    static LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                                  const LV2_Feature* const*) {
        Lv2Effect* effect = new (std::nothrow) Lv2Effect(sampleRate);
        if (effect && !effect->runsAtItsRate()) {
            delete effect;
            return nullptr;
        }
        return effect;
    }
    static void connectPort(LV2_Handle instance, std::uint32_t port, void* data) {
        static_cast<Lv2Effect*>(instance)->connect(port, data);
    }
    static void activatePorts(LV2_Handle instance) {
        static_cast<Lv2Effect*>(instance)->activate();
    }
    static void runFrames(LV2_Handle instance, std::uint32_t frames) {
        static_cast<Lv2Effect*>(instance)->run(frames);
    }
    static void deactivate(LV2_Handle) {}
    static void cleanup(LV2_Handle instance) { delete static_cast<Lv2Effect*>(instance); }
    static const void* extensionData(const char*) { return nullptr; }

    const float rate;
    dsp::EnableFade fade;
    const dsp::StereoKernel kernel; // chosen when the instance is made, never on the audio thread
    Preamp left;                    // channel 0
    Preamp right;                   // channel 1
    int settings[kSettings] = {};
    bool switchFollowed = false; // whether a run has read the enable port since activate
    const float* controls[model::kNumParameters] = {};
    float* inputs[2] = {};
    float* outputs[2] = {};
    float scratch[2 * kScratchFrames];
};

} // namespace kel::lv2

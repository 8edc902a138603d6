// The effect object as the host knows it: KelEffectBase's parameters, programs and texts, and the
// two channel processors of the plug-in's preamp.
//
// Model is the plug-in's type from plugins/<name>/: it names the preamp processor, derives the
// processors' settings from the integer settings and carries the plug-in's data.
#pragma once

#include "dsp/stereo_run.h"
#include "shell/kel_effect_base.h"

namespace kel::shell {

template <class Model>
class KelDSP : public KelEffectBase {
public:
    explicit KelDSP(audioMasterCallback host) : KelEffectBase(host, Model::description) {
        processorLeft.setSampleRate(sampleRate);
        processorRight.setSampleRate(sampleRate);
        applyParameters();
    }
    ~KelDSP() override { suspend(); }

    // Audio thread.
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override {
        if (!handledWithoutProcessors(inputs, outputs, sampleFrames, true)) {
            applyPendingChanges();
            dsp::runStereoAdding(processorLeft, processorRight, inputs, outputs, sampleFrames);
        }
    }
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override {
        if (!handledWithoutProcessors(inputs, outputs, sampleFrames, false)) {
            applyPendingChanges();
            dsp::runStereoReplacing(processorLeft, processorRight, inputs, outputs, sampleFrames);
        }
    }

    static const model::PluginDescription& description() { return Model::description; }

protected:
    // Derives the processors' settings from the integer settings and hands them over. Audio
    // thread, at the start of a block, or the constructor.
    void applyParameters() {
        // Cleared before the settings are read: a change stored meanwhile raises it again.
        parametersChanged.exchange(false, std::memory_order_acq_rel);
        derived = Model::deriveSettings(gainSetting, toneSetting, outputSetting);
        Model::configure(processorLeft, derived);
        Model::configure(processorRight, derived);
        postEditorUpdate();
    }
    // Audio thread, at the start of a processing call: a new sample rate, then the settings.
    void applyPendingChanges() {
        if (!parametersChanged.load(std::memory_order_acquire)) {
            return;
        }
        float rate = 0.0f;
        if (takePendingSampleRate(rate)) {
            processorLeft.setSampleRate(rate);
            processorRight.setSampleRate(rate);
        }
        applyParameters();
    }

    // Audio thread only (and the constructor).
    typename Model::Settings derived{};
    typename Model::Preamp processorLeft;  // channel 0
    typename Model::Preamp processorRight; // channel 1
};

} // namespace kel::shell

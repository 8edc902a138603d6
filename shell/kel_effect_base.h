// What the effect object of both plug-ins answers the host apart from its sound: four parameters
// with their integer settings, the bypass switch, nine programs, the texts, the pins and the
// capabilities. KelDSP<Model> adds the channel processors on top.
#pragma once

#include <atomic>

#include "model/plugin_description.h"
#include "shell/audio_effect_x.h"
#include "shell/effect_constants.h"
#include "shell/program_record.h"

namespace kel::shell {

class KelEffectBase : public AudioEffectX {
public:
    KelEffectBase(audioMasterCallback host, const model::PluginDescription& description);

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;

    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;

    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;

    void setSampleRate(float rate) override;
    void resume() override;

    bool getInputProperties(VstInt32 index, VstPinProperties* properties) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return model::kVendorVersion; }
    VstInt32 canDo(char* text) override;

protected:
    // Audio thread: true when the block needs no processors - nothing to process, or the effect
    // is bypassed and the inputs were passed to the outputs (added to them when adding).
    bool handledWithoutProcessors(float** inputs, float** outputs, VstInt32 frames, bool adding);
    // Audio thread: true, with the rate, when a new sample rate waits for the processors.
    bool takePendingSampleRate(float& rate);
    std::atomic<int>& settingOf(int parameter);
    void postEditorUpdate();

    const model::PluginDescription& plugin;
    ProgramRecord programs[kNumPrograms];
    // Written by setParameter on whatever thread the host or the editor calls it from, read by
    // the audio thread; the flag is cleared before the values are read, so no change is lost.
    std::atomic<int> gainSetting{0};
    std::atomic<int> toneSetting{0};
    std::atomic<int> outputSetting{0};
    std::atomic<bool> parametersChanged{false};
    // A new sample rate waits here for the audio thread (with parametersChanged set).
    std::atomic<float> pendingSampleRate{0.0f};
    std::atomic<bool> sampleRateChanged{false};
    std::atomic<float> paramValues[model::kNumParameters] = {};
    std::atomic<bool> bypassed{false};

private:
    bool fillPinProperties(VstInt32 index, VstPinProperties* properties, const char* format);
};

} // namespace kel::shell

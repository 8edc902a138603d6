// The effect object as the host knows it: four parameters with their integer settings, the
// bypass switch, nine programs, the channel processors, and the answers to the host's queries.
//
// Model is the plug-in's type from plugins/<name>/: it names the preamp processor, derives the
// processors' settings from the integer settings and carries the plug-in's data.
#pragma once

#include <atomic>
#include <cstdio>
#include <cstring>

#include "dsp/stereo_run.h"
#include "shell/aeff_editor.h"
#include "shell/audio_effect_x.h"
#include "shell/parameter_values.h"
#include "shell/parameters.h"
#include "shell/plugin_description.h"
#include "shell/program_record.h"

template <class Model>
class KelDSP : public AudioEffectX {
public:
    explicit KelDSP(audioMasterCallback host);
    ~KelDSP() override { suspend(); }

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;

    // Audio thread.
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;

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
    VstInt32 getVendorVersion() override { return kVendorVersion; }
    VstInt32 canDo(char* text) override;

    static const PluginDescription& description() { return Model::description; }

protected:
    // Derives the processors' settings from the integer settings and hands them over. Audio
    // thread, at the start of a block, or the constructor.
    void applyParameters();
    // Audio thread, at the start of a processing call: a new sample rate, then the settings.
    void applyPendingChanges();
    std::atomic<int>& settingOf(int parameter);
    void postEditorUpdate();
    bool fillPinProperties(VstInt32 index, VstPinProperties* properties, const char* format);

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
    std::atomic<float> paramValues[kNumParameters] = {};
    std::atomic<bool> bypassed{false};
    // Audio thread only (and the constructor).
    typename Model::Settings derived{};
    typename Model::Preamp processorLeft;  // channel 0
    typename Model::Preamp processorRight; // channel 1
};

template <class Model>
KelDSP<Model>::KelDSP(audioMasterCallback host) : AudioEffectX(host, kNumPrograms, kNumParameters) {
    setNumInputs(2);
    setNumOutputs(2);
    canMono(true);
    canProcessReplacing(true);
    setUniqueID(kUniqueId);
    processorLeft.setSampleRate(sampleRate);
    processorRight.setSampleRate(sampleRate);

    bypassed = false;
    curProgram = 0;
    const BuiltInPreset* builtIns = description().builtIns;
    for (ProgramRecord& program : programs) {
        program.fill(builtIns[0]);
    }
    for (int i = 0; i < kBuiltInCount && i < kNumPrograms; ++i) {
        programs[i].fill(builtIns[i]);
    }
    setProgram(0);
    processorLeft.setSampleRate(sampleRate);
    processorRight.setSampleRate(sampleRate);
    applyParameters();
}

template <class Model>
std::atomic<int>& KelDSP<Model>::settingOf(int parameter) {
    return parameter == kGainParameter
               ? gainSetting
               : (parameter == kToneParameter ? toneSetting : outputSetting);
}

template <class Model>
void KelDSP<Model>::postEditorUpdate() {
    if (editor) {
        editor->postUpdate();
    }
}

template <class Model>
void KelDSP<Model>::setParameter(VstInt32 index, float value) {
    programs[curProgram].setValue(index, value);
    if (index == kEffectParameter) {
        paramValues[index] = value;
        if (value > kBypassOnAbove) {
            bypassed = true;
        } else if (value < kBypassOffBelow) {
            bypassed = false;
        }
    } else if (index >= kGainParameter && index <= kOutputParameter) {
        paramValues[index] = value;
        settingOf(index) = toPresetValue(value, 0, kParameterTable[index].span);
        parametersChanged.store(true, std::memory_order_release);
    }
    postEditorUpdate();
}

template <class Model>
float KelDSP<Model>::getParameter(VstInt32 index) {
    if (index >= 0 && index < kNumParameters) {
        return paramValues[index];
    }
    if (index == kBypassReadBack) {
        return bypassed ? 1.0f : 0.0f;
    }
    return 0.0f;
}

template <class Model>
void KelDSP<Model>::applyParameters() {
    // Cleared before the settings are read: a change stored meanwhile raises it again.
    parametersChanged.exchange(false, std::memory_order_acq_rel);
    derived = Model::deriveSettings(gainSetting, toneSetting, outputSetting);
    Model::configure(processorLeft, derived);
    Model::configure(processorRight, derived);
    postEditorUpdate();
}

namespace kel_shell {

inline bool channelsPresent(float** inputs, float** outputs) {
    return inputs && outputs && inputs[0] && inputs[1] && outputs[0] && outputs[1];
}

} // namespace kel_shell

template <class Model>
void KelDSP<Model>::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
    if (sampleFrames <= 0 || !kel_shell::channelsPresent(inputs, outputs)) {
        return;
    }
    if (bypassed) {
        for (int channel = 0; channel < 2; ++channel) {
            for (VstInt32 i = 0; i < sampleFrames; ++i) {
                outputs[channel][i] += inputs[channel][i];
            }
        }
        return;
    }
    applyPendingChanges();
    runStereoAdding(processorLeft, processorRight, inputs, outputs, sampleFrames);
}

template <class Model>
void KelDSP<Model>::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    if (sampleFrames <= 0 || !kel_shell::channelsPresent(inputs, outputs)) {
        return;
    }
    if (bypassed) {
        for (int channel = 0; channel < 2; ++channel) {
            std::memmove(outputs[channel], inputs[channel],
                         static_cast<std::size_t>(sampleFrames) * sizeof(float));
        }
        return;
    }
    applyPendingChanges();
    runStereoReplacing(processorLeft, processorRight, inputs, outputs, sampleFrames);
}

template <class Model>
void KelDSP<Model>::setProgram(VstInt32 program) {
    if (program >= 0 && program < kNumPrograms) {
        curProgram = program;
        const ProgramRecord& record = programs[program];
        for (int index = 0; index < kNumParameters; ++index) {
            setParameter(index, record.getValue(index));
        }
        // The marker tells the editor which built-in preset the host chose; 0.0 for anything
        // else (a changed program, a program past the built-ins, or program 0).
        const bool builtIn = !programs[program].isModified() && program < kBuiltInCount;
        setParameter(kProgramMarker, builtIn ? toParameterValue(program, 0, kBuiltInCount) : 0.0f);
    }
    postEditorUpdate();
}

template <class Model>
void KelDSP<Model>::setProgramName(char* name) {
    programs[curProgram].setName(name);
}

template <class Model>
void KelDSP<Model>::getProgramName(char* name) {
    programs[curProgram].getName(name);
}

template <class Model>
bool KelDSP<Model>::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    if (index < 0 || index >= kNumPrograms) {
        return false;
    }
    programs[index].getName(text);
    return true;
}

template <class Model>
void KelDSP<Model>::getParameterLabel(VstInt32 index, char* label) {
    if (index < 0 || index >= kNumParameters) {
        return;
    }
    const char* unit = kParameterTable[index].unit;
    if (unit) {
        std::sprintf(label, " [%s]", unit);
    } else {
        std::strcpy(label, " [-]");
    }
}

template <class Model>
void KelDSP<Model>::getParameterDisplay(VstInt32 index, char* text) {
    if (index == kEffectParameter) {
        std::strcpy(text, bypassed ? "Off" : " On");
    } else if (index >= kGainParameter && index <= kOutputParameter) {
        std::sprintf(text, "%d", settingOf(index).load());
    }
}

template <class Model>
void KelDSP<Model>::getParameterName(VstInt32 index, char* text) {
    if (index < 0 || index >= kNumParameters) {
        return;
    }
    const char* name = kParameterTable[index].name;
    std::strcpy(text, name ? name : description().toneParameterName);
}

template <class Model>
void KelDSP<Model>::setSampleRate(float rate) {
    if (rate == sampleRate) {
        return;
    }
    sampleRate = rate;
    // Handed to the audio thread like a parameter change: the processors take it at the start
    // of the next processing call, never in the middle of a block.
    pendingSampleRate.store(rate, std::memory_order_relaxed);
    sampleRateChanged.store(true, std::memory_order_release);
    parametersChanged.store(true, std::memory_order_release);
    suspend();
}

template <class Model>
void KelDSP<Model>::applyPendingChanges() {
    if (!parametersChanged.load(std::memory_order_acquire)) {
        return;
    }
    if (sampleRateChanged.exchange(false, std::memory_order_acq_rel)) {
        const float rate = pendingSampleRate.load(std::memory_order_relaxed);
        processorLeft.setSampleRate(rate);
        processorRight.setSampleRate(rate);
    }
    applyParameters();
}

template <class Model>
void KelDSP<Model>::resume() {
    postEditorUpdate();
}

template <class Model>
bool KelDSP<Model>::fillPinProperties(VstInt32 index, VstPinProperties* properties,
                                      const char* format) {
    if (index < 0 || index > 1) {
        return false;
    }
    std::snprintf(properties->label, sizeof(properties->label), format, index + 1);
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

template <class Model>
bool KelDSP<Model>::getInputProperties(VstInt32 index, VstPinProperties* properties) {
    return fillPinProperties(index, properties, "%1d In");
}

template <class Model>
bool KelDSP<Model>::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
    return fillPinProperties(index, properties, "%1d Out");
}

template <class Model>
bool KelDSP<Model>::getEffectName(char* name) {
    std::strcpy(name, description().effectName);
    return true;
}

template <class Model>
bool KelDSP<Model>::getVendorString(char* text) {
    std::strcpy(text, kVendorName);
    return true;
}

template <class Model>
bool KelDSP<Model>::getProductString(char* text) {
    std::strcpy(text, kProductName);
    return true;
}

template <class Model>
VstInt32 KelDSP<Model>::canDo(char* text) {
    static const char* const capabilities[] = {"plugAsChannelInsert", "plugAsSend", "2in2out"};
    for (const char* capability : capabilities) {
        if (std::strcmp(text, capability) == 0) {
            return 1;
        }
    }
    return -1;
}

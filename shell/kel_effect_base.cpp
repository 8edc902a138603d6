#include "shell/kel_effect_base.h"

#include <cstring>

#include "dsp/stereo_run.h"
#include "model/parameter_values.h"
#include "model/parameters.h"
#include "shell/aeff_editor.h"
#include "shell/host_text.h"

namespace kel::shell {

using namespace kel::model;

KelEffectBase::KelEffectBase(audioMasterCallback host, const PluginDescription& description)
    : AudioEffectX(host, kNumPrograms, kNumParameters), plugin(description) {
    setNumInputs(2);
    setNumOutputs(2);
    canMono(true);
    canProcessReplacing(true);
    setUniqueID(kUniqueId);

    bypassed = false;
    curProgram = 0;
    for (ProgramRecord& program : programs) {
        program.fill(plugin.builtIns[0]);
    }
    for (int i = 0; i < kBuiltInCount && i < kNumPrograms; ++i) {
        programs[i].fill(plugin.builtIns[i]);
    }
    setProgram(0);
}

std::atomic<int>& KelEffectBase::settingOf(int parameter) {
    return parameter == kGainParameter
               ? gainSetting
               : (parameter == kToneParameter ? toneSetting : outputSetting);
}

void KelEffectBase::postEditorUpdate() {
    if (editor) {
        editor->postUpdate();
    }
}

void KelEffectBase::setParameter(VstInt32 index, float value) {
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

float KelEffectBase::getParameter(VstInt32 index) {
    if (index >= 0 && index < kNumParameters) {
        return paramValues[index];
    }
    if (index == kBypassReadBack) {
        return bypassed ? 1.0f : 0.0f;
    }
    return 0.0f;
}

bool KelEffectBase::handledWithoutProcessors(float** inputs, float** outputs, VstInt32 frames,
                                             bool adding) {
    if (frames <= 0 || !inputs || !outputs || !inputs[0] || !inputs[1] || !outputs[0] ||
        !outputs[1]) {
        return true;
    }
    if (!bypassed) {
        return false;
    }
    dsp::passStereo(adding, inputs, outputs, frames);
    return true;
}

bool KelEffectBase::takePendingSampleRate(float& rate) {
    if (!sampleRateChanged.exchange(false, std::memory_order_acq_rel)) {
        return false;
    }
    rate = pendingSampleRate.load(std::memory_order_relaxed);
    return true;
}

void KelEffectBase::setProgram(VstInt32 program) {
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

void KelEffectBase::setProgramName(char* name) {
    programs[curProgram].setName(name);
}

void KelEffectBase::getProgramName(char* name) {
    programs[curProgram].getName(name);
}

bool KelEffectBase::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    if (index < 0 || index >= kNumPrograms) {
        return false;
    }
    programs[index].getName(text);
    return true;
}

void KelEffectBase::getParameterLabel(VstInt32 index, char* label) {
    if (index < 0 || index >= kNumParameters) {
        return;
    }
    const char* unit = kParameterTable[index].unit;
    formatHostText(label, kParameterTextCapacity, " [%s]", unit ? unit : "-");
}

void KelEffectBase::getParameterDisplay(VstInt32 index, char* text) {
    if (index == kEffectParameter) {
        copyHostText(text, kParameterTextCapacity, bypassed ? "Off" : " On");
    } else if (index >= kGainParameter && index <= kOutputParameter) {
        formatHostText(text, kParameterTextCapacity, "%d", settingOf(index).load());
    }
}

void KelEffectBase::getParameterName(VstInt32 index, char* text) {
    if (index < 0 || index >= kNumParameters) {
        return;
    }
    const char* name = kParameterTable[index].name;
    copyHostText(text, kParameterTextCapacity, name ? name : plugin.toneParameterName);
}

void KelEffectBase::setSampleRate(float rate) {
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

void KelEffectBase::resume() {
    postEditorUpdate();
}

bool KelEffectBase::fillPinProperties(VstInt32 index, VstPinProperties* properties,
                                      const char* format) {
    if (index < 0 || index > 1) {
        return false;
    }
    formatHostText(properties->label, sizeof(properties->label), format, index + 1);
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

bool KelEffectBase::getInputProperties(VstInt32 index, VstPinProperties* properties) {
    return fillPinProperties(index, properties, "%1d In");
}

bool KelEffectBase::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
    return fillPinProperties(index, properties, "%1d Out");
}

bool KelEffectBase::getEffectName(char* name) {
    copyHostText(name, kEffectNameCapacity, plugin.effectName);
    return true;
}

bool KelEffectBase::getVendorString(char* text) {
    copyHostText(text, kVendorTextCapacity, kVendorName);
    return true;
}

bool KelEffectBase::getProductString(char* text) {
    copyHostText(text, kVendorTextCapacity, kProductName);
    return true;
}

VstInt32 KelEffectBase::canDo(char* text) {
    static const char* const capabilities[] = {"plugAsChannelInsert", "plugAsSend", "2in2out"};
    for (const char* capability : capabilities) {
        if (std::strcmp(text, capability) == 0) {
            return 1;
        }
    }
    return -1;
}

} // namespace kel::shell

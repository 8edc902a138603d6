#include "shell/audio_effect.h"

#include <algorithm>
#include <cstring>

#include "shell/aeff_editor.h"

namespace kel::shell {

namespace {

AudioEffect* effectOf(AEffect* record) {
    return record ? static_cast<AudioEffect*>(record->object) : nullptr;
}

VstIntPtr VSTCALLBACK dispatchEntry(AEffect* record, VstInt32 opcode, VstInt32 index,
                                    VstIntPtr value, void* ptr, float opt) {
    AudioEffect* effect = effectOf(record);
    if (!effect) {
        return 0;
    }
    VstIntPtr result = effect->dispatcher(opcode, index, value, ptr, opt);
    if (opcode == effClose) {
        // The host gives the instance up; nothing else ever destroys it.
        delete effect;
        return 1;
    }
    return result;
}

void VSTCALLBACK processEntry(AEffect* record, float** inputs, float** outputs,
                              VstInt32 sampleFrames) {
    if (AudioEffect* effect = effectOf(record)) {
        effect->process(inputs, outputs, sampleFrames);
    }
}

void VSTCALLBACK processReplacingEntry(AEffect* record, float** inputs, float** outputs,
                                       VstInt32 sampleFrames) {
    if (AudioEffect* effect = effectOf(record)) {
        effect->processReplacing(inputs, outputs, sampleFrames);
    }
}

void VSTCALLBACK setParameterEntry(AEffect* record, VstInt32 index, float value) {
    if (AudioEffect* effect = effectOf(record)) {
        effect->setParameter(index, value);
    }
}

float VSTCALLBACK getParameterEntry(AEffect* record, VstInt32 index) {
    AudioEffect* effect = effectOf(record);
    return effect ? effect->getParameter(index) : 0.0f;
}

} // namespace

AudioEffect::AudioEffect(audioMasterCallback host, VstInt32 programCount, VstInt32 parameterCount)
    : audioMaster(host), numPrograms(programCount), numParams(parameterCount) {
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEntry;
    cEffect.process = processEntry;
    cEffect.setParameter = setParameterEntry;
    cEffect.getParameter = getParameterEntry;
    cEffect.processReplacing = processReplacingEntry;
    cEffect.numPrograms = programCount;
    cEffect.numParams = parameterCount;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = kDefaultUniqueId;
    cEffect.version = 1;
}

AudioEffect::~AudioEffect() {
    delete editor;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

void AudioEffect::setFlag(VstInt32 flag, bool state) {
    if (state) {
        cEffect.flags |= flag;
    } else {
        cEffect.flags &= ~flag;
    }
}

void AudioEffect::setParameter(VstInt32, float) {}

float AudioEffect::getParameter(VstInt32) {
    return 0.0f;
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::processReplacing(float**, float**, VstInt32) {}

void AudioEffect::setProgramName(char*) {}

void AudioEffect::getProgramName(char* name) {
    *name = 0;
}

void AudioEffect::getParameterLabel(VstInt32, char* label) {
    *label = 0;
}

void AudioEffect::getParameterDisplay(VstInt32, char* text) {
    *text = 0;
}

void AudioEffect::getParameterName(VstInt32, char* text) {
    *text = 0;
}

VstInt32 AudioEffect::getChunk(void**, bool) {
    return 0;
}

VstInt32 AudioEffect::setChunk(void*, VstInt32, bool) {
    return 0;
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

VstInt32 AudioEffect::getMasterVersion() {
    return static_cast<VstInt32>(callHost(audioMasterVersion));
}

void AudioEffect::masterIdle() {
    callHost(audioMasterIdle);
}

void AudioEffect::textOperation(VstInt32 opcode, VstInt32 index, char* text) {
    switch (opcode) {
    case effSetProgramName:
        return setProgramName(text);
    case effGetProgramName:
        return getProgramName(text);
    case effGetParamLabel:
        return getParameterLabel(index, text);
    case effGetParamDisplay:
        return getParameterDisplay(index, text);
    case effGetParamName:
        return getParameterName(index, text);
    default:
        return;
    }
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value < numPrograms) {
            // Every negative number is ignored by setProgram; keep it negative when narrowing.
            setProgram(static_cast<VstInt32>(std::max<VstIntPtr>(value, -1)));
        }
        return 0;
    case effGetProgram:
        return getProgram();
    // Text operations: nothing to do without a buffer.
    case effSetProgramName:
    case effGetProgramName:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
        if (text) {
            textOperation(opcode, index, text);
        }
        return 0;
    case effGetVu:
        return static_cast<VstIntPtr>(getVu() * 32767.0);
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value == 0) {
            suspend();
        } else {
            resume();
        }
        return 0;
    case effEditGetRect:
        if (editor && ptr) {
            return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        }
        return 0;
    case effEditOpen:
        if (editor && ptr) {
            return editor->open(ptr) ? 1 : 0;
        }
        return 0;
    case effEditClose:
        if (editor) {
            editor->close();
        }
        return 0;
    case effEditIdle:
        if (editor) {
            editor->idle();
        }
        return 0;
    case effIdentify:
        return kEffectIdentifyAnswer;
    case effGetChunk:
        return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
        return 0;
    }
}

} // namespace kel::shell

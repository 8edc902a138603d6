#include "shell/audio_effect_x.h"

#include <cmath>

#include "shell/aeff_editor.h"

namespace kel::shell {

namespace {

// The modifier byte of an editor key arrives as the float option; anything that is not a small
// finite number counts as no modifier.
unsigned char modifierByte(float opt) {
    if (!(opt > -2147483648.0f && opt < 2147483648.0f)) {
        return 0;
    }
    return static_cast<unsigned char>(static_cast<VstInt32>(opt) & 0xff);
}

VstKeyCode keyCode(VstInt32 index, VstIntPtr value, float opt) {
    VstKeyCode key{};
    key.character = index;
    key.virt = static_cast<unsigned char>(value & 0xff);
    key.modifier = modifierByte(opt);
    return key;
}

} // namespace

PlugCategory AudioEffectX::getPlugCategory() {
    return (cEffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

bool AudioEffectX::beginEdit(VstInt32 index) {
    return callHost(audioMasterBeginEdit, index) != 0;
}

bool AudioEffectX::endEdit(VstInt32 index) {
    return callHost(audioMasterEndEdit, index) != 0;
}

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) {
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effProcessEvents:
        return processEvents(ptr);
    case effCanBeAutomated:
        return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        return text && string2parameter(index, text) ? 1 : 0;
    case effGetNumProgramCategories:
        return getNumCategories();
    case effGetProgramNameIndexed:
        return text && getProgramNameIndexed(static_cast<VstInt32>(value), index, text) ? 1 : 0;
    case effCopyProgram:
        return copyProgram(index) ? 1 : 0;
    case effConnectInput:
    case effConnectOutput:
        return 1;
    case effGetInputProperties:
        return ptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        return ptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effSetBlockSizeAndSampleRate:
        // Stored directly: the processors keep their tuning until the next effSetSampleRate.
        blockSize = static_cast<VstInt32>(value);
        sampleRate = opt;
        return 1;
    case effSetBypass:
        return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
        return text && getEffectName(text) ? 1 : 0;
    case effGetVendorString:
        return text && getVendorString(text) ? 1 : 0;
    case effGetProductString:
        return text && getProductString(text) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effCanDo:
        return text ? canDo(text) : 0;
    case effGetTailSize:
        return getGetTailSize();
    case effKeysRequired:
        return 1;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
        return editor ? editor->onKeyDown(keyCode(index, value, opt)) : 0;
    case effEditKeyUp:
        return editor ? editor->onKeyUp(keyCode(index, value, opt)) : 0;
    case effSetEditKnobMode:
        return editor && editor->setKnobMode(static_cast<VstInt32>(value)) ? 1 : 0;
    case effGetCurrentMidiProgram:
        return -1;
    default:
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

} // namespace kel::shell

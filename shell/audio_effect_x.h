// Second host-interface base: dispatcher codes 25 to 68 and the host services of VST 2.x.
#pragma once

#include "shell/audio_effect.h"

namespace kel::shell {

class AudioEffectX : public AudioEffect {
public:
    using AudioEffect::AudioEffect;

    // Codes 25 to 68 here, everything else in AudioEffect.
    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;

    virtual VstInt32 processEvents(void*) { return 0; }
    virtual bool canParameterBeAutomated(VstInt32) { return true; }
    virtual bool string2parameter(VstInt32, char*) { return false; }
    virtual VstInt32 getNumCategories() { return 1; }
    virtual bool getProgramNameIndexed(VstInt32, VstInt32, char*) { return false; }
    virtual bool copyProgram(VstInt32) { return false; }
    virtual bool getInputProperties(VstInt32, VstPinProperties*) { return false; }
    virtual bool getOutputProperties(VstInt32, VstPinProperties*) { return false; }
    virtual PlugCategory getPlugCategory();
    virtual bool setBypass(bool) { return false; }
    virtual bool getEffectName(char*) { return false; }
    virtual bool getVendorString(char*) { return false; }
    virtual bool getProductString(char*) { return false; }
    virtual VstInt32 getVendorVersion() { return 1; }
    // 1 for a capability the plug-in has, -1 for one it does not, 0 when it cannot tell.
    virtual VstInt32 canDo(char*) { return 0; }
    virtual VstInt32 getGetTailSize() { return 0; }
    virtual VstInt32 getVstVersion() { return kVstVersionAnswer; }

    // Host services the plug-ins call.
    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);
};

} // namespace kel::shell

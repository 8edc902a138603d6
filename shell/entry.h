// The module's entry point: one effect instance per call.
#pragma once

#include <new>

#include "shell/vst_interface.h"

namespace kel::shell {

// Set when an instance could not create its editor. Module-wide and never cleared: from then on
// the entry point refuses every instance in this process.
extern bool creationFailed;

// Asks the host for its version (0 means too old: no effect), creates an Effect and hands out its
// record; nullptr when the instance cannot be created.
template <class Effect>
AEffect* createEffectInstance(audioMasterCallback audioMaster) {
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    Effect* effect = new (std::nothrow) Effect(audioMaster);
    if (!effect) {
        return nullptr;
    }
    if (creationFailed) {
        delete effect;
        return nullptr;
    }
    return effect->getAeffect();
}

} // namespace kel::shell

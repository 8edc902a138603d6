// The effect object behind the editor's link to its effect: every call is the effect's own.
#pragma once

#include "model/effect_link.h"
#include "shell/audio_effect_x.h"

namespace kel::shell {

class VstEffectLink : public model::EffectLink {
public:
    explicit VstEffectLink(AudioEffectX* owner) : effect(owner) {}

    float parameter(int index) override { return effect->getParameter(index); }
    void setParameterAutomated(int index, float value) override {
        effect->setParameterAutomated(index, value);
    }
    void setParameter(int index, float value) override { effect->setParameter(index, value); }
    void beginEdit(int index) override { effect->beginEdit(index); }
    void endEdit(int index) override { effect->endEdit(index); }
    void selectProgram(int number) override { effect->setProgram(number); }
    std::string programName() override {
        // Program names hold up to 31 characters; the rest of the room guards a careless one.
        char name[kNameBufferSize] = {};
        effect->getProgramName(name);
        name[sizeof(name) - 1] = 0;
        return name;
    }
    std::string effectName() override {
        char name[kNameBufferSize] = {};
        if (!effect->getEffectName(name)) {
            return {};
        }
        name[sizeof(name) - 1] = 0;
        return name;
    }
    void idleHost() override { effect->masterIdle(); }

private:
    static constexpr int kNameBufferSize = 129;
    AudioEffectX* effect;
};

} // namespace kel::shell

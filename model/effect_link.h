// The effect as its editor and preset bank reach it, whatever the plug-in format: the VST 2.x
// build hands them the effect object itself, an LV2 UI the plug-in's ports through the host.
//
// Parameter indices and values are the effect's: 0 Effect (1.0 off), 1 Gain, 2 Bright or Mid
// Boost, 3 Output, each normalised to 0..1. User-interface thread only.
#pragma once

#include <string>

namespace kel::model {

class EffectLink {
public:
    virtual ~EffectLink() = default;

    virtual float parameter(int index) = 0;
    // Sets the parameter and tells the host, which records it as automation.
    virtual void setParameterAutomated(int index, float value) = 0;
    // Sets the parameter as the host's own change would (a compare recall): the host is told only
    // where the format tells it of every change.
    virtual void setParameter(int index, float value) = 0;
    // The start and the end of a user's gesture on parameter `index`.
    virtual void beginEdit(int index) = 0;
    virtual void endEdit(int index) = 0;

    // Makes built-in preset `number` (0 to 4) the current program.
    virtual void selectProgram(int number) = 0;
    // The current program's name, and the effect's name as the host lists it (empty when the
    // effect gives none).
    virtual std::string programName() = 0;
    virtual std::string effectName() = 0;

    // Lets the host run its own work while a control holds the mouse.
    virtual void idleHost() = 0;
};

} // namespace kel::model

// Running audio through a plug-in instance the way a host does.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/audio_buffer.h"
#include "host/plugin_module.h"

namespace kel::host {

struct RenderOptions {
    int program = -1;                                        // -1: leave the current program
    std::vector<std::pair<std::string, std::string>> params; // parameter name, value text
    int blockSize = 512;                                     // frames per processing call
    bool adding = false; // the accumulating call instead of the replacing one
    double rate = 0.0;   // rate told to the plug-in; 0: the input's rate
};

// Sets a parameter by name (any case). The value is either normalised ("0.5", "1.0") or, when
// written as a whole number ("80"), an integer setting: the smallest normalised value whose display
// shows that number. A whole number for a parameter whose display is not a number (an on/off
// switch) is taken as the normalised value.
bool setParameterByName(const PluginInstance& plugin, const std::string& name,
                        const std::string& valueText, std::string& error);

// Selects options.program (unless it is -1) and then sets options.params in their order;
// false with a reason at the first parameter that cannot be set.
bool setProgramAndParameters(const PluginInstance& plugin, const RenderOptions& options,
                             std::string& error);

// Prepares the instance (sample rate, block size, program, parameters, resume), runs the input
// through it block by block and suspends it again. A mono input feeds every plug-in input; the
// output has one channel per plug-in output and the input's sample rate and format.
// progress(done, total) is called now and then when given.
bool renderAudio(const PluginInstance& plugin, const AudioBuffer& input,
                 const RenderOptions& options, AudioBuffer& output, std::string& error,
                 const std::function<void(std::size_t, std::size_t)>& progress = nullptr);

} // namespace kel::host

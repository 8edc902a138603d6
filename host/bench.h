// Timing a plug-in's replacing processing call on stereo blocks.
#pragma once

#include <string>
#include <vector>

#include "host/plugin_module.h"

namespace kel::host {

struct BenchResult {
    std::string signal; // "guitar", "silence" or "decay"
    int blockSize;
    double nanosecondsPerFrame; // per stereo frame, best of the rounds
    double cyclesPerFrame;      // the same in cycles of the processor's clock, measured alongside
    double realTimeFactor;      // audio seconds processed per second at 44.1 kHz
};

// Runs each signal at each block size for about `seconds` of wall time in rounds and keeps the
// fastest round, so that other work on the machine disturbs the figures as little as possible.
std::vector<BenchResult> benchmarkPlugin(const PluginInstance& plugin,
                                         const std::vector<int>& blockSizes, double seconds);

} // namespace kel::host

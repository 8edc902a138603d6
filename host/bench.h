// Timing a VST 2.x plug-in's replacing processing call on stereo blocks.
#pragma once

#include <vector>

#include "host/plugin_module.h"
#include "host/stereo_bench.h"

namespace kel::host {

// benchmarkStereo over the plug-in's replacing call, at 44.1 kHz and each block size.
std::vector<BenchResult> benchmarkPlugin(const PluginInstance& plugin,
                                         const std::vector<int>& blockSizes, double seconds);

} // namespace kel::host

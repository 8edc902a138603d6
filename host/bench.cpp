#include "host/bench.h"

namespace kel::host {

std::vector<BenchResult> benchmarkPlugin(const PluginInstance& plugin,
                                         const std::vector<int>& blockSizes, double seconds) {
    AEffect* record = plugin.effect();
    StereoProcessor processor;
    processor.start = [&](int block) {
        plugin.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
        plugin.dispatch(effSetBlockSize, 0, block);
        plugin.dispatch(effMainsChanged, 0, 1);
    };
    processor.process = [record](float* const* inputs, float* const* outputs, int frames) {
        record->processReplacing(record, const_cast<float**>(inputs), const_cast<float**>(outputs),
                                 frames);
    };
    processor.stop = [&] { plugin.dispatch(effMainsChanged, 0, 0); };
    return benchmarkStereo(processor, blockSizes, seconds);
}

} // namespace kel::host

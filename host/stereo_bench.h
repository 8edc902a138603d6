// Timing a plug-in's stereo processing call, whatever its format: the signals, the rounds and the
// clock measurement that kelhost bench and the LV2 bench share, so their figures compare.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kel::host {

struct BenchResult {
    std::string signal; // "guitar", "silence" or "decay"
    int blockSize;
    double nanosecondsPerFrame; // per stereo frame, best of the rounds
    double cyclesPerFrame;      // the same in cycles of the processor's clock, measured alongside
    double realTimeFactor;      // audio seconds processed per second at 44.1 kHz
};

// What a format does around the timing. `start` readies the plug-in for blocks of `blockSize`
// frames at 44.1 kHz (rate, block size, activation); `process` runs one block from two separate
// input channels into two separate output channels; `stop` ends the run started by `start`.
struct StereoProcessor {
    std::function<void(int blockSize)> start;
    std::function<void(float* const* inputs, float* const* outputs, int frames)> process;
    std::function<void()> stop;
};

// Runs each signal at each block size for about `seconds` of wall time in rounds and keeps the
// fastest round, so that other work on the machine disturbs the figures as little as possible.
std::vector<BenchResult> benchmarkStereo(const StereoProcessor& processor,
                                         const std::vector<int>& blockSizes, double seconds);

// The table both benches print, headed by `title`.
void printBenchResults(const std::string& title, const std::vector<BenchResult>& results);

} // namespace kel::host

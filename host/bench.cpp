#include "host/bench.h"

#include <algorithm>

#include "host/test_signal.h"
#include "win32/clock.h"

namespace kel::host {

using win32::secondsNow;

namespace {

constexpr double kRate = 44100.0;
constexpr std::size_t kSignalFrames = 1 << 17; // about 3 s, played in a loop

// Two channels of the named signal: the guitar-like signal, silence, or one loud tone fading
// through the subnormal range to zero.
Signal makeSignal(const std::string& kind) {
    if (kind == "guitar") {
        return guitarSignal(2, kSignalFrames, kRate, 1);
    }
    if (kind == "decay") {
        return decayingTone(2, kSignalFrames, kRate, 1.0);
    }
    return Signal(2, std::vector<float>(kSignalFrames));
}

// Clock cycles per nanosecond now: the best of a few timed chains of dependent integer
// additions, one cycle each on every x86 core.
double cyclesPerNanosecond() {
    double best = 0.0;
    for (int round = 0; round < 5; ++round) {
        constexpr unsigned kAdds = 8u << 20;
        unsigned x = 0;
        const double start = secondsNow();
        for (unsigned i = 0; i < kAdds; i += 8) {
            __asm__ volatile("add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
                             "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0"
                             : "+r"(x));
        }
        best = std::max(best, kAdds / ((secondsNow() - start) * 1e9));
    }
    return best;
}

} // namespace

std::vector<BenchResult> benchmarkPlugin(const PluginInstance& plugin,
                                         const std::vector<int>& blockSizes, double seconds) {
    const AEffect* record = plugin.effect();
    std::vector<BenchResult> results;
    for (const char* kind : {"guitar", "silence", "decay"}) {
        const Signal signal = makeSignal(kind);
        const std::vector<float>&left = signal[0], &right = signal[1];
        for (int block : blockSizes) {
            plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
            plugin.dispatch(effSetBlockSize, 0, block);
            plugin.dispatch(effMainsChanged, 0, 1);
            std::vector<float> outLeft(static_cast<std::size_t>(block)),
                outRight(static_cast<std::size_t>(block));
            float* outputs[2] = {outLeft.data(), outRight.data()};
            const std::size_t blocksPerPass = kSignalFrames / static_cast<std::size_t>(block);
            auto pass = [&] {
                for (std::size_t b = 0; b < blocksPerPass; ++b) {
                    float* inputs[2] = {const_cast<float*>(left.data()) + b * block,
                                        const_cast<float*>(right.data()) + b * block};
                    record->processReplacing(const_cast<AEffect*>(record), inputs, outputs, block);
                }
            };
            pass(); // warm-up
            const double clock = cyclesPerNanosecond();
            double best = 1e30;
            const double end = secondsNow() + seconds;
            do {
                const double start = secondsNow();
                pass();
                best = std::min(best, secondsNow() - start);
            } while (secondsNow() < end);
            const double frames = static_cast<double>(blocksPerPass) * block;
            const double nanoseconds = best / frames * 1e9;
            results.push_back(
                {kind, block, nanoseconds, nanoseconds * clock, frames / kRate / best});
            plugin.dispatch(effMainsChanged, 0, 0);
        }
    }
    return results;
}

} // namespace kel::host

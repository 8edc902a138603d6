#include "host/bench.h"

#include <windows.h>

#include <algorithm>
#include <cmath>

namespace kel::host {

namespace {

constexpr double kRate = 44100.0;
constexpr std::size_t kSignalFrames = 1 << 17; // about 3 s, played in a loop

std::vector<float> makeSignal(const std::string& kind, unsigned channel) {
    std::vector<float> signal(kSignalFrames, 0.0f);
    if (kind == "guitar") {
        // Plucked notes every half second: decaying harmonics of a low string.
        for (std::size_t i = 0; i < signal.size(); ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double noteTime = std::fmod(t, 0.5);
            const double f = 82.4 * (1.0 + 0.5 * std::floor(t / 0.5)) * (1.0 + 0.01 * channel);
            double sum = 0.0;
            for (int h = 1; h <= 6; ++h) {
                sum += std::sin(2 * M_PI * f * h * t) / h * std::exp(-noteTime * (2.0 + h));
            }
            signal[i] = static_cast<float>(0.5 * sum);
        }
    } else if (kind == "decay") {
        // One loud burst fading exponentially through the subnormal range to zero.
        double level = 1.0;
        for (std::size_t i = 0; i < signal.size(); ++i) {
            signal[i] = static_cast<float>(level * std::sin(2 * M_PI * 110.0 * i / kRate));
            level *= 0.9985;
        }
    }
    return signal;
}

double now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Clock cycles per nanosecond now: the best of a few timed chains of dependent integer
// additions, one cycle each on every x86 core.
double cyclesPerNanosecond() {
    double best = 0.0;
    for (int round = 0; round < 5; ++round) {
        constexpr unsigned kAdds = 8u << 20;
        unsigned x = 0;
        const double start = now();
        for (unsigned i = 0; i < kAdds; i += 8) {
            __asm__ volatile("add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
                             "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0"
                             : "+r"(x));
        }
        best = std::max(best, kAdds / ((now() - start) * 1e9));
    }
    return best;
}

} // namespace

std::vector<BenchResult> benchmarkPlugin(const PluginInstance& plugin,
                                         const std::vector<int>& blockSizes, double seconds) {
    const AEffect* record = plugin.effect();
    std::vector<BenchResult> results;
    for (const char* kind : {"guitar", "silence", "decay"}) {
        const std::vector<float> left = makeSignal(kind, 0), right = makeSignal(kind, 1);
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
            const double end = now() + seconds;
            do {
                const double start = now();
                pass();
                best = std::min(best, now() - start);
            } while (now() < end);
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

#include "host/stereo_bench.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "host/test_signal.h"

namespace kel::host {

namespace {

constexpr double kRate = 44100.0;
constexpr std::size_t kSignalFrames = 1 << 17; // about 3 s, played in a loop

double secondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

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

std::vector<BenchResult> benchmarkStereo(const StereoProcessor& processor,
                                         const std::vector<int>& blockSizes, double seconds) {
    std::vector<BenchResult> results;
    for (const char* kind : {"guitar", "silence", "decay"}) {
        Signal signal = makeSignal(kind);
        for (int block : blockSizes) {
            processor.start(block);
            std::vector<float> outLeft(static_cast<std::size_t>(block)),
                outRight(static_cast<std::size_t>(block));
            float* outputs[2] = {outLeft.data(), outRight.data()};
            const std::size_t blocksPerPass = kSignalFrames / static_cast<std::size_t>(block);
            auto pass = [&] {
                for (std::size_t b = 0; b < blocksPerPass; ++b) {
                    float* inputs[2] = {signal[0].data() + b * block, signal[1].data() + b * block};
                    processor.process(inputs, outputs, block);
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
            processor.stop();
        }
    }
    return results;
}

void printBenchResults(const std::string& title, const std::vector<BenchResult>& results) {
    std::printf("%s\n", title.c_str());
    std::printf("%-8s %6s %16s %20s %14s\n", "signal", "block", "ns/stereo frame",
                "cycles/stereo frame", "x real time");
    for (const BenchResult& r : results) {
        std::printf("%-8s %6d %16.2f %20.1f %14.0f\n", r.signal.c_str(), r.blockSize,
                    r.nanosecondsPerFrame, r.cyclesPerFrame, r.realTimeFactor);
    }
}

} // namespace kel::host

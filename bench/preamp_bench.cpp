// Time of the stereo entry per stereo frame for both preamp chains at 44.1 kHz, as the effect
// calls it: once per block, blocks of 64 and 512 frames. Signals: a loud guitar-like signal,
// silence, a signal that decays through the subnormal range to zero, and subnormal noise. The
// "update" cases change a setting before every block, as automation does.
//
// Side by side on the loud signal: the plain chain (the step-by-step transcription the tests
// compare with, one channel after the other), the one-channel calls, and each stereo kernel.
// ns_per_frame is wall-clock time per stereo frame; cycles_per_frame the same in cycles of the
// core's clock, measured with a chain of dependent integer additions (one cycle each) before every
// benchmark, since the clock of a shared or boosting machine moves.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "dsp/clean_preamp.h"
#include "dsp/crunch_preamp.h"
#include "dsp/stereo_run.h"
#include "plugins/clean/clean_model.h"
#include "plugins/crunch/crunch_model.h"
#include "reference/chains.h"

using namespace kel::dsp;
using namespace kel::clean;
using namespace kel::crunch;

namespace {

constexpr double kRate = 44100.0;
constexpr std::size_t kSignalLength = 1 << 17; // about 3 s, cycled block by block

enum class Signal { Loud, Silence, Decay, Subnormal };

std::uint32_t nextRandom(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state;
}

std::vector<float> makeSignal(Signal kind, int channel) {
    std::vector<float> x(kSignalLength, 0.0f);
    std::uint32_t state = 12345u + static_cast<std::uint32_t>(channel);
    const double pi = 3.141592653589793;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double noise = static_cast<double>(nextRandom(state) >> 8) / 16777216.0 - 0.5;
        switch (kind) {
        case Signal::Loud: // plucked notes with harmonics and a little noise
        {
            const double note = std::fmod(t, 0.5);
            const double f = 110.0 * (1 + channel) * (1.0 + std::floor(t / 0.5) * 0.125);
            x[i] = static_cast<float>(
                std::exp(-4.0 * note) *
                (0.8 * std::sin(2 * pi * f * t) + 0.3 * std::sin(4 * pi * f * t) + 0.05 * noise));
            break;
        }
        case Signal::Silence:
            break;
        case Signal::Decay: // from 1 through every subnormal down to 0, in about 1.5 s
            x[i] = static_cast<float>(std::sin(2 * pi * 220.0 * t) *
                                      std::exp(-110.0 * static_cast<double>(i % 65536) / kRate));
            break;
        case Signal::Subnormal:
            x[i] = static_cast<float>(noise * 2e-38);
            break;
        }
    }
    return x;
}

// Clock cycles per nanosecond now: the best of a few timed chains of dependent additions.
double cyclesPerNanosecond() {
    double best = 0.0;
    for (int round = 0; round < 5; ++round) {
        constexpr std::uint64_t kAdds = 8u << 20;
        std::uint64_t x = 0;
        const auto start = std::chrono::steady_clock::now();
        for (std::uint64_t i = 0; i < kAdds; i += 8) {
            __asm__ volatile("add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
                             "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0"
                             : "+r"(x));
        }
        const std::chrono::duration<double, std::nano> took =
            std::chrono::steady_clock::now() - start;
        best = std::max(best, static_cast<double>(kAdds) / took.count());
    }
    return best;
}

// Times the blocks of a benchmark's loop and reports the time per stereo frame in nanoseconds
// and in clock cycles (measured before the loop).
class FrameClock {
public:
    FrameClock() : cyclesPerNs_(cyclesPerNanosecond()), start_(std::chrono::steady_clock::now()) {}

    void report(benchmark::State& state, int block) const {
        const std::chrono::duration<double, std::nano> took =
            std::chrono::steady_clock::now() - start_;
        const double frames = static_cast<double>(state.iterations()) * block;
        state.counters["ns_per_frame"] = took.count() / frames;
        state.counters["cycles_per_frame"] = took.count() / frames * cyclesPerNs_;
        state.counters["GHz"] = cyclesPerNs_;
    }

private:
    double cyclesPerNs_;
    std::chrono::steady_clock::time_point start_;
};

// The settings of a built-in program of the plug-in, as the model derives them.
template <class Model>
typename Model::Settings programSettings(int program) {
    const auto& values = Model::description.builtIns[program].values;
    return Model::deriveSettings(values[0], values[1], values[2]);
}

// Left channel with the plug-in's default program, right channel with a louder one (High Bright,
// High Drive), at 44.1 kHz.
template <class Model>
typename Model::Settings channelSettings(int channel) {
    return programSettings<Model>(channel == 0 ? 0 : 4);
}

void configure(CleanPreamp& p, int channel) {
    p.setSampleRate(static_cast<float>(kRate));
    CleanModel::configure(p, channelSettings<CleanModel>(channel));
}

void configure(CrunchPreamp& p, int channel) {
    p.setSampleRate(static_cast<float>(kRate));
    CrunchModel::configure(p, channelSettings<CrunchModel>(channel));
}

// What the effect does when a parameter changed: every setter on both processors, here with the
// default program's settings and the tone control at `tone`.
void update(CleanPreamp& p, int tone) {
    CleanModel::configure(p, CleanModel::deriveSettings(50, tone, 69));
}

void update(CrunchPreamp& p, int tone) {
    CrunchModel::configure(p, CrunchModel::deriveSettings(50, tone, 66));
}

// How the two channels are run: the kernels of the stereo entry, the one-channel calls one channel
// after the other, or the plain chain.
enum class Run { Fastest, Sse2, Avx2, OneChannel, Plain };

using kel::dsp::StereoKernel;

void configure(reference::CleanChain& r, int channel) {
    const CleanModel::Settings settings = channelSettings<CleanModel>(channel);
    r.setSampleRate(static_cast<float>(kRate));
    r.drive = settings.drive;
    r.level = settings.level;
    r.setBright(settings.bright);
}

void configure(reference::CrunchChain& r, int channel) {
    const CrunchModel::Settings settings = channelSettings<CrunchModel>(channel);
    r.setSampleRate(static_cast<float>(kRate));
    r.inputGain = CrunchModel::kInputGain;
    r.drive = settings.drive;
    r.stageGain = CrunchModel::kStageGain;
    r.setMidFrequency(CrunchModel::kMidFrequency);
    r.setMidQ(CrunchModel::kMidQ);
    r.level = settings.level;
    r.setMidGain(settings.mid);
}

template <class Preamp>
struct PlainChain;
template <>
struct PlainChain<CleanPreamp> {
    using Type = reference::CleanChain;
};
template <>
struct PlainChain<CrunchPreamp> {
    using Type = reference::CrunchChain;
};

// One channel after the other through the plain chain, as the one-channel calls do.
template <class Chain>
void runPlain(Chain& left, Chain& right, float* const* inputs, float* const* outputs, int n) {
    for (int i = 0; i < n; ++i) {
        outputs[1][i] = right.replacing(inputs[1][i]);
    }
    right.endOfCall();
    for (int i = 0; i < n; ++i) {
        outputs[0][i] = left.replacing(inputs[0][i]);
    }
    left.endOfCall();
}

template <class Preamp>
void runBlocks(benchmark::State& state, Signal kind, bool updates, Run run = Run::Fastest,
               bool adding = false) {
    const int block = static_cast<int>(state.range(0));
    if (run == Run::Avx2 && !kel::dsp::kernelRuns(StereoKernel::Avx2)) {
        state.SkipWithError("this processor or system does not run the AVX2 kernel");
        return;
    }
    const StereoKernel kernel = run == Run::Fastest ? kel::dsp::fastestStereoKernel()
                                : run == Run::Avx2  ? StereoKernel::Avx2
                                                    : StereoKernel::Sse2;
    Preamp left, right;
    configure(left, 0);
    configure(right, 1);
    typename PlainChain<Preamp>::Type plainLeft, plainRight;
    configure(plainLeft, 0);
    configure(plainRight, 1);
    std::vector<float> in0 = makeSignal(kind, 0), in1 = makeSignal(kind, 1);
    std::vector<float> out0(static_cast<std::size_t>(block)), out1(out0.size());
    std::size_t position = 0;
    int blocks = 0;
    const FrameClock clock;
    for (auto _ : state) {
        if (updates) {
            const int setting = blocks % 16; // a knob being turned
            update(left, setting);
            update(right, setting);
        }
        float* inputs[2] = {in0.data() + position, in1.data() + position};
        float* outputs[2] = {out0.data(), out1.data()};
        switch (run) {
        case Run::Fastest:
        case Run::Sse2:
        case Run::Avx2:
            kel::dsp::runStereo(adding, left, right, inputs, outputs, block, kernel);
            break;
        case Run::OneChannel:
            right.runReplacing(inputs[1], outputs[1], block);
            left.runReplacing(inputs[0], outputs[0], block);
            break;
        case Run::Plain:
            runPlain(plainLeft, plainRight, inputs, outputs, block);
            break;
        }
        benchmark::DoNotOptimize(out0.data());
        benchmark::DoNotOptimize(out1.data());
        benchmark::ClobberMemory();
        position += static_cast<std::size_t>(block);
        if (position + static_cast<std::size_t>(block) > kSignalLength) {
            position = 0;
        }
        ++blocks;
    }
    clock.report(state, block);
}

// The cases of a chain: the plain chain, the one-channel calls and each kernel on the loud signal
// side by side, and with the fastest kernel here the other signals, settings changing before
// every block, and the adding call.
template <class Preamp>
void registerBenchmarks(const std::string& chain) {
    struct Case {
        const char* name;
        Signal signal;
        bool updates;
        Run run;
        bool adding;
        bool block64;
    };
    const Case cases[] = {
        {"LoudPlain", Signal::Loud, false, Run::Plain, false, true},
        {"LoudOneChannel", Signal::Loud, false, Run::OneChannel, false, true},
        {"Loud", Signal::Loud, false, Run::Sse2, false, true},
        {"LoudAvx2", Signal::Loud, false, Run::Avx2, false, true},
        {"Silence", Signal::Silence, false, Run::Fastest, false, true},
        {"Decay", Signal::Decay, false, Run::Fastest, false, true},
        {"Subnormal", Signal::Subnormal, false, Run::Fastest, false, false},
        {"LoudWithUpdate", Signal::Loud, true, Run::Fastest, false, true},
        {"LoudAdding", Signal::Loud, false, Run::Fastest, true, false},
    };
    for (const Case& c : cases) {
        const std::string name = std::string("BM_") + c.name + "<" + chain + ">";
        benchmark::internal::Benchmark* b =
            benchmark::RegisterBenchmark(name.c_str(), [c](benchmark::State& state) {
                runBlocks<Preamp>(state, c.signal, c.updates, c.run, c.adding);
            });
        if (c.block64) {
            b->Arg(64);
        }
        b->Arg(512);
    }
}

} // namespace

int main(int argc, char** argv) {
    registerBenchmarks<CleanPreamp>("CleanPreamp");
    registerBenchmarks<CrunchPreamp>("CrunchPreamp");
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

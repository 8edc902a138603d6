#include "host/validator_audio.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace kel::host {

std::vector<int> randomPartition(Rng& rng, int total, int minBlock, int maxBlock) {
    std::vector<int> blocks;
    minBlock = std::max(minBlock, 1);
    maxBlock = std::max(maxBlock, minBlock);
    while (total > 0) {
        const int size = std::min(total, rng.range(minBlock, maxBlock));
        blocks.push_back(size);
        total -= size;
    }
    return blocks;
}

// ---- Plug-in instances ----

std::unique_ptr<Plug> Plug::create(TestContext& context) {
    AEffect* effect = context.module.createEffect();
    if (!effect) {
        context.fail("the entry point created no effect");
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        context.fail("the effect record has the wrong magic number");
        return nullptr;
    }
    if (!effect->dispatcher || !effect->setParameter || !effect->getParameter ||
        (!effect->process && !effect->processReplacing)) {
        context.fail("the effect record lacks a function (dispatcher, parameters or processing)");
        return nullptr;
    }
    if (effect->numInputs < 0 || effect->numInputs > 64 || effect->numOutputs < 0 ||
        effect->numOutputs > 64 || effect->numParams < 0 || effect->numPrograms < 0) {
        context.fail("the effect record has implausible counts (" +
                     std::to_string(effect->numInputs) + " in, " +
                     std::to_string(effect->numOutputs) + " out, " +
                     std::to_string(effect->numParams) + " parameters, " +
                     std::to_string(effect->numPrograms) + " programs)");
        return nullptr;
    }
    std::unique_ptr<Plug> plug(new Plug(context, effect));
    plug->dispatch(effOpen);
    return plug;
}

Plug::~Plug() {
    // After a crash the instance may be half changed: leave it alone rather than close it.
    if (context.crashed()) {
        release();
    }
}

void Plug::start(double rate, int maxBlock) {
    suspend();
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    dispatch(effSetBlockSize, 0, maxBlock);
    resume();
}

bool Plug::hasReplacing() const {
    return (effect()->flags & effFlagsCanReplacing) && effect()->processReplacing;
}

// ---- Audio ----

namespace {

// Fills output samples the plug-in is to write, and the tails past every block: a NaN whose
// payload no arithmetic produces.
constexpr std::uint32_t kGuardBits = 0x7FE5A5A5u;
constexpr int kGuardFrames = 16;

float guardValue() {
    float value;
    std::memcpy(&value, &kGuardBits, sizeof(value));
    return value;
}

bool isGuard(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits == kGuardBits;
}

} // namespace

AudioBus::AudioBus(int inputs, int outputs, int maxBlockFrames)
    : maxBlock(std::max(maxBlockFrames, 1)) {
    // At least one input buffer, so that the pointer array is never empty.
    in.assign(static_cast<std::size_t>(std::max(inputs, 1)),
              std::vector<float>(static_cast<std::size_t>(maxBlock + kGuardFrames)));
    out.assign(static_cast<std::size_t>(std::max(outputs, 0)),
               std::vector<float>(static_cast<std::size_t>(maxBlock + kGuardFrames)));
    inPointers.resize(in.size());
    outPointers.resize(std::max<std::size_t>(out.size(), 1));
}

bool AudioBus::process(TestContext& context, Plug& plug, ProcessMode mode, const Signal& input,
                       std::size_t at, int frames, Signal& output, const Signal* onto) {
    const std::size_t n = static_cast<std::size_t>(std::max(frames, 0));
    const float guard = guardValue();
    const bool inPlace = mode == ProcessMode::ReplacingInPlace;
    const std::size_t shared = inPlace ? std::min(in.size(), out.size()) : 0;
    for (std::size_t c = 0; c < in.size(); ++c) {
        std::vector<float>& buffer = c < shared ? out[c] : in[c];
        for (std::size_t i = 0; i < n; ++i) {
            buffer[i] = input.empty() ? 0.0f : input[c % input.size()][at + i];
        }
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(n), buffer.end(), guard);
        inPointers[c] = buffer.data();
    }
    for (std::size_t c = shared; c < out.size(); ++c) {
        std::vector<float>& buffer = out[c];
        for (std::size_t i = 0; i < n; ++i) {
            switch (mode) {
            case ProcessMode::AccumulateZero:
                buffer[i] = 0.0f;
                break;
            case ProcessMode::AccumulateOnto:
                buffer[i] = onto ? (*onto)[c][at + i] : 0.0f;
                break;
            default:
                buffer[i] = guard;
                break;
            }
        }
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(n), buffer.end(), guard);
    }
    for (std::size_t c = 0; c < out.size(); ++c) {
        outPointers[c] = out[c].data();
    }
    AEffect* effect = plug.effect();
    const bool replacing = mode == ProcessMode::Replacing || inPlace;
    if (replacing) {
        effect->processReplacing(effect, inPointers.data(), outPointers.data(), frames);
    } else {
        effect->process(effect, inPointers.data(), outPointers.data(), frames);
    }

    bool ok = true;
    for (std::size_t c = 0; c < out.size() && !reportedGuard; ++c) {
        for (std::size_t i = n; i < out[c].size(); ++i) {
            if (!isGuard(out[c][i])) {
                context.fail("wrote past the end of a " + std::to_string(frames) +
                             "-frame block (output " + std::to_string(c) + ", frame " +
                             std::to_string(i) + ")");
                reportedGuard = true;
                ok = false;
                break;
            }
        }
    }
    for (std::size_t c = shared; c < out.size() && replacing && !reportedGuard; ++c) {
        const auto unwritten = std::count_if(out[c].begin(), out[c].begin() + n, isGuard);
        if (unwritten > 0) {
            context.fail("left " + std::to_string(unwritten) + " of " + std::to_string(n) +
                         " samples of output " + std::to_string(c) +
                         " unwritten in the replacing call");
            reportedGuard = true;
            ok = false;
        }
    }
    for (std::size_t c = shared; c < in.size() && !input.empty() && !reportedInput; ++c) {
        for (std::size_t i = 0; i < n; ++i) {
            const float expected = input[c % input.size()][at + i];
            if (std::memcmp(&in[c][i], &expected, sizeof(float)) != 0) {
                context.fail("changed its input buffer (input " + std::to_string(c) + ", frame " +
                             std::to_string(i) + " of a " + std::to_string(frames) +
                             "-frame block)");
                reportedInput = true;
                ok = false;
                break;
            }
        }
    }

    last = OutputStats();
    if (output.size() < out.size()) {
        output.resize(out.size());
    }
    for (std::size_t c = 0; c < out.size(); ++c) {
        if (output[c].size() < at + n) {
            output[c].resize(at + n);
        }
        std::copy(out[c].begin(), out[c].begin() + static_cast<std::ptrdiff_t>(n),
                  output[c].begin() + static_cast<std::ptrdiff_t>(at));
        last.add(scanSamples(out[c].data(), n));
    }
    last.blocks = 1;
    last.nonFiniteBlocks = last.nonFinite > 0 ? 1 : 0;
    context.countOutput(last);
    return ok;
}

Signal render(TestContext& context, Plug& plug, ProcessMode mode, const Signal& input,
              const std::vector<int>& partition, const Signal* onto) {
    const int maxBlock =
        partition.empty() ? 1 : *std::max_element(partition.begin(), partition.end());
    AudioBus bus(plug.inputs(), plug.outputs(), maxBlock);
    Signal output(static_cast<std::size_t>(plug.outputs()));
    std::size_t at = 0;
    for (int frames : partition) {
        if (context.stopping()) {
            break;
        }
        bus.process(context, plug, mode, input, at, frames, output, onto);
        at += static_cast<std::size_t>(std::max(frames, 0));
    }
    return output;
}

Settings randomSettings(Rng& rng, const Plug& plug) {
    Settings settings;
    if (plug.programs() > 0) {
        settings.program = rng.below(plug.programs());
    }
    for (int i = 0; i < plug.parameters(); ++i) {
        settings.values.push_back(rng.value());
    }
    return settings;
}

void apply(const Plug& plug, const Settings& settings) {
    if (settings.program >= 0) {
        plug.dispatch(effSetProgram, 0, settings.program);
    }
    for (std::size_t i = 0; i < settings.values.size(); ++i) {
        plug.setParameter(static_cast<VstInt32>(i), settings.values[i]);
    }
}

ProcessMode defaultMode(const Plug& plug) {
    return plug.hasReplacing() ? ProcessMode::Replacing : ProcessMode::AccumulateZero;
}

std::vector<int> mixedPartition(Rng& rng, int total) {
    std::vector<int> blocks;
    while (total > 0) {
        const double pick = rng.uniform();
        int size = pick < 0.5 ? rng.range(1, 16)
                              : (pick < 0.85 ? rng.range(17, 600) : rng.range(601, 4096));
        size = std::min(size, total);
        blocks.push_back(size);
        total -= size;
    }
    return blocks;
}

std::size_t framesOf(double seconds, double rate) {
    return static_cast<std::size_t>(seconds * rate);
}

Signal guitarFor(const Plug& plug, std::size_t frames, double rate, std::uint64_t seed) {
    return guitarSignal(std::max(plug.inputs(), 1), frames, rate, seed);
}

} // namespace kel::host

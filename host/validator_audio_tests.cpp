// The validator's tests of the processing calls: a plain run, block sizes and rates, partitions,
// the accumulating call against the replacing one, buffers shared in place, and what silence and
// a decaying tail cost.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "host/validator_audio.h"
#include "host/validator_tests.h"
#include "host/validator_text.h"
#include "win32/clock.h"

namespace kel::host {

using win32::secondsNow;

namespace {

constexpr int kBlockSizes[] = {0, 1, 2, 3, 7, 64, 511, 512, 513, 1024, 4096, 8192};

std::vector<int> evenBlocks(std::size_t total, int block) {
    std::vector<int> blocks(total / static_cast<std::size_t>(block), block);
    if (total % static_cast<std::size_t>(block)) {
        blocks.push_back(static_cast<int>(total % static_cast<std::size_t>(block)));
    }
    return blocks;
}

// Seconds the processing calls took for the input in blocks of 512, outputs into output.
double timeBlocks(Plug& plug, const Signal& input, Signal& output) {
    const std::size_t frames = input[0].size();
    const bool replacing = plug.hasReplacing();
    AEffect* effect = plug.effect();
    std::vector<float*> in(static_cast<std::size_t>(std::max(plug.inputs(), 1)));
    std::vector<float*> out(static_cast<std::size_t>(std::max(plug.outputs(), 1)));
    if (!replacing) {
        for (auto& channel : output) {
            std::fill(channel.begin(), channel.end(), 0.0f);
        }
    }
    const double begin = secondsNow();
    for (std::size_t at = 0; at < frames; at += 512) {
        const VstInt32 n = static_cast<VstInt32>(std::min<std::size_t>(512, frames - at));
        for (std::size_t c = 0; c < in.size(); ++c) {
            in[c] = const_cast<float*>(input[c % input.size()].data()) + at;
        }
        for (std::size_t c = 0; c < output.size(); ++c) {
            out[c] = output[c].data() + at;
        }
        if (replacing) {
            effect->processReplacing(effect, in.data(), out.data(), n);
        } else {
            effect->process(effect, in.data(), out.data(), n);
        }
    }
    return secondsNow() - begin;
}

} // namespace

// ---- processing ----

void processing(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    plug->start(44100.0, 512);
    const Signal input = guitarFor(*plug, framesOf(2.0, 44100.0), 44100.0, context.seed);
    render(context, *plug, defaultMode(*plug), input, evenBlocks(input[0].size(), 512));
    const OutputStats outputs = context.outputs();
    context.note("2 s of a guitar-like signal at 44100 Hz in blocks of 512: output peak " +
                 floatText(outputs.peak));
}

// ---- block-sizes ----

void blockSizes(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    Plug& p = *plug;
    context.outputsJudged();
    const int passes = context.strictness >= 7 ? 2 : 1;
    int total = 0;
    for (int size : kBlockSizes) {
        total += size;
    }
    AudioBus bus(p.inputs(), p.outputs(), 8192);
    Signal output;
    int problems = 0;
    for (double rate : kTestRates) {
        p.start(rate, 512);
        const Signal input = guitarFor(p, static_cast<std::size_t>(total), rate, context.seed);
        for (int pass = 0; pass < passes && !context.stopping(); ++pass) {
            std::vector<int> sizes(std::begin(kBlockSizes), std::end(kBlockSizes));
            if (pass > 0) {
                for (std::size_t i = sizes.size() - 1; i > 0; --i) {
                    std::swap(sizes[i], sizes[static_cast<std::size_t>(
                                            context.rng.below(static_cast<int>(i) + 1))]);
                }
            }
            std::size_t at = 0;
            for (int size : sizes) {
                bus.process(context, p, defaultMode(p), input, at, size, output);
                const OutputStats& stats = bus.lastStats();
                if ((stats.nonFinite > 0 || stats.peak > kOutputBound) && problems++ < 4) {
                    context.fail("at " + floatText(rate) + " Hz a block of " +
                                 std::to_string(size) + " frames gave " +
                                 (stats.nonFinite > 0
                                      ? std::to_string(stats.nonFinite) + " non-finite samples"
                                      : "a peak of " + floatText(stats.peak)));
                }
                at += static_cast<std::size_t>(size);
            }
        }
    }
    context.note("blocks of 0 to 8192 frames at 22050 to 192000 Hz after effSetBlockSize(512)");
}

// ---- block-partitions ----

void blockPartitions(TestContext& context) {
    constexpr int kFrames = 16384;
    const int trials = context.strictness >= 8 ? 4 : 2;
    for (int trial = 0; trial < trials && !context.stopping(); ++trial) {
        std::unique_ptr<Plug> whole = Plug::create(context);
        std::unique_ptr<Plug> parts = whole ? Plug::create(context) : nullptr;
        if (!parts) {
            return;
        }
        // The first trial keeps the plug-in's own settings, the others draw some.
        const Settings settings = trial == 0 ? Settings{} : randomSettings(context.rng, *whole);
        const Signal input = guitarFor(*whole, kFrames, 44100.0, context.seed + trial);
        const std::vector<int> partition = mixedPartition(context.rng, kFrames);
        Signal results[2];
        Plug* plugs[2] = {whole.get(), parts.get()};
        for (int k = 0; k < 2; ++k) {
            apply(*plugs[k], settings);
            plugs[k]->start(44100.0, kFrames);
            results[k] = render(context, *plugs[k], defaultMode(*plugs[k]), input,
                                k == 0 ? std::vector<int>{kFrames} : partition);
        }
        const SignalDifference difference = compareSignals(results[0], results[1]);
        if (!difference.same) {
            context.fail("the output in " + std::to_string(partition.size()) +
                         " blocks differs from the output in one block of " +
                         std::to_string(kFrames) +
                         " frames: " + describeDifference(difference, &partition));
            return;
        }
    }
    context.note(std::to_string(trials) + " random partitions of " + std::to_string(kFrames) +
                 " frames, bit for bit the same as one block");
}

// ---- accumulating-and-replacing ----

void accumulatingAndReplacing(TestContext& context) {
    std::unique_ptr<Plug> probe = Plug::create(context);
    if (!probe) {
        return;
    }
    if (!probe->hasAccumulating()) {
        context.note("no accumulating call (process): nothing to compare");
        return;
    }
    const bool replacing = probe->hasReplacing();
    probe.reset();
    constexpr std::size_t kFrames = 8192;
    const std::vector<int> partition = mixedPartition(context.rng, kFrames);
    Signal input, onto;
    auto renderFresh = [&](ProcessMode mode, const Signal* base) {
        std::unique_ptr<Plug> plug = Plug::create(context);
        if (!plug) {
            return Signal();
        }
        if (input.empty()) {
            input = guitarFor(*plug, kFrames, 44100.0, context.seed);
            onto = guitarSignal(plug->outputs(), kFrames, 44100.0, context.seed + 1);
        }
        plug->start(44100.0, 4096);
        return render(context, *plug, mode, input, partition, base);
    };
    const Signal zeroed = renderFresh(ProcessMode::AccumulateZero, nullptr);
    if (replacing) {
        const Signal replaced = renderFresh(ProcessMode::Replacing, nullptr);
        const SignalDifference difference = compareSignals(replaced, zeroed);
        if (!difference.same) {
            context.fail("process into zeroed outputs differs from processReplacing: " +
                         describeDifference(difference, &partition));
        }
    }
    // The sums may round differently from onto + zeroed (a plug-in may add in double, or add
    // two parts one after the other): a few float steps apart count as the same.
    const Signal summed = renderFresh(ProcessMode::AccumulateOnto, &onto);
    for (std::size_t c = 0; c < summed.size() && c < onto.size() && c < zeroed.size(); ++c) {
        for (std::size_t i = 0; i < summed[c].size() && i < zeroed[c].size(); ++i) {
            const double expected = static_cast<double>(onto[c][i]) + zeroed[c][i];
            const double tolerance =
                1e-6 * (std::fabs(static_cast<double>(onto[c][i])) + std::fabs(zeroed[c][i])) +
                1e-30;
            if (!(std::fabs(summed[c][i] - expected) <= tolerance)) {
                const bool replaced = summed[c][i] == zeroed[c][i];
                context.fail("process onto non-zero outputs did not add to them" +
                             std::string(replaced ? " (it replaced them)" : "") + ": at frame " +
                             std::to_string(i) + " of channel " + std::to_string(c) + " it gave " +
                             floatText(summed[c][i], 9) + " where the output held " +
                             floatText(onto[c][i], 9) + " and the processed signal is " +
                             floatText(zeroed[c][i], 9));
                return;
            }
        }
    }
}

// ---- in-place-buffers ----

void inPlaceBuffers(TestContext& context) {
    constexpr std::size_t kFrames = 8192;
    std::unique_ptr<Plug> separate = Plug::create(context);
    std::unique_ptr<Plug> inPlace = separate ? Plug::create(context) : nullptr;
    if (!inPlace) {
        return;
    }
    if (!separate->hasReplacing()) {
        context.note("no replacing call: in-place processing is a replacing matter");
        return;
    }
    const Signal input = guitarFor(*separate, kFrames, 44100.0, context.seed);
    const std::vector<int> partition = mixedPartition(context.rng, kFrames);
    separate->start(44100.0, 4096);
    inPlace->start(44100.0, 4096);
    const Signal expected = render(context, *separate, ProcessMode::Replacing, input, partition);
    const Signal actual =
        render(context, *inPlace, ProcessMode::ReplacingInPlace, input, partition);
    const SignalDifference difference = compareSignals(expected, actual);
    if (!difference.same) {
        context.fail("processing in place (each output the buffer of its input) differs from "
                     "separate buffers: " +
                     describeDifference(difference, &partition));
    }
}

// ---- silence-and-decay-cost ----

void silenceAndDecayCost(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    Plug& p = *plug;
    if (p.outputs() == 0) {
        context.note("no outputs");
        return;
    }
    p.start(44100.0, 512);
    const int channels = std::max(p.inputs(), 1);
    const std::size_t second = framesOf(1.0, 44100.0);
    const Signal signal = guitarFor(p, second, 44100.0, context.seed);
    const Signal burst = guitarFor(p, second / 10, 44100.0, context.seed + 1);
    // Through the subnormal range after about 1.3 s, zero after about 1.6 s, then silence.
    const Signal decay = decayingTone(channels, 2 * second, 44100.0, 0.8);
    const Signal silence(static_cast<std::size_t>(channels), std::vector<float>(second));
    Signal output(static_cast<std::size_t>(p.outputs()), std::vector<float>(2 * second));
    auto count = [&](std::size_t frames) {
        OutputStats stats;
        for (const auto& channel : output) {
            stats.add(scanSamples(channel.data(), frames));
        }
        stats.blocks = (frames + 511) / 512;
        stats.nonFiniteBlocks = stats.nonFinite > 0 ? 1 : 0;
        context.countOutput(stats);
    };
    double best[3] = {1e30, 1e30, 1e30}; // signal, decay, silence: seconds per frame
    const double budget = secondsNow() + 3.0;
    int rounds = 0;
    for (; rounds < 20 && !context.stopping() && (rounds < 3 || secondsNow() < budget); ++rounds) {
        best[0] = std::min(best[0], timeBlocks(p, signal, output) / second);
        count(second);
        timeBlocks(p, burst, output);
        count(second / 10);
        best[1] = std::min(best[1], timeBlocks(p, decay, output) / (2 * second));
        count(2 * second);
        timeBlocks(p, silence, output);
        count(second);
        best[2] = std::min(best[2], timeBlocks(p, silence, output) / second);
        count(second);
    }
    const double ns[3] = {best[0] * 1e9, best[1] * 1e9, best[2] * 1e9};
    char text[160];
    std::snprintf(text, sizeof(text),
                  "ns per frame, best of %d rounds: signal %.1f, decaying tail %.1f, silence %.1f",
                  rounds, ns[0], ns[1], ns[2]);
    context.note(text);
    // A few ns a frame of slack keep very cheap plug-ins clear of timer noise.
    constexpr double kRatio = 3.0, kSlackNs = 5.0;
    const char* names[3] = {"signal", "the decaying tail", "silence"};
    for (int k = 1; k < 3; ++k) {
        if (ns[k] > kRatio * ns[0] + kSlackNs) {
            std::snprintf(text, sizeof(text),
                          "%s costs %.1f times the signal (%.1f against %.1f ns a frame): "
                          "subnormal numbers?",
                          names[k], ns[k] / ns[0], ns[k], ns[0]);
            context.fail(text);
        }
    }
}

} // namespace kel::host

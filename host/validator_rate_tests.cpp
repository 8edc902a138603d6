// The validator's tests of sample rates on a running instance: an absurd rate told while resumed,
// and rates changed from another thread while audio runs without a suspend.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "host/validator_audio.h"
#include "host/validator_tests.h"
#include "host/validator_text.h"
#include "host/validator_threads.h"
#include "win32/clock.h"

namespace kel::host {

using win32::secondsNow;

namespace {

// Processes `seconds` worth of 44.1 kHz frames of the looped input; returns what came out.
OutputStats processFor(TestContext& context, Plug& plug, const Signal& input, double seconds) {
    AudioBus bus(plug.inputs(), plug.outputs(), 512);
    Signal output;
    OutputStats stats;
    const std::size_t frames = framesOf(seconds, 44100.0), length = input[0].size();
    for (std::size_t done = 0; done < frames && !context.stopping(); done += 512) {
        bus.process(context, plug, defaultMode(plug), input, done % (length - 511), 512, output);
        stats.add(bus.lastStats());
    }
    return stats;
}

std::string describeStats(const OutputStats& stats) {
    return std::to_string(stats.nonFinite) + " non-finite samples in " +
           std::to_string(stats.nonFiniteBlocks) + " of " + std::to_string(stats.blocks) +
           " blocks, largest finite magnitude " + floatText(stats.peak);
}

// Processes blocks of 512 frames back to back, as much of the time inside the plug-in as possible:
// a change on another thread that the plug-in does not take in safely then meets a block being
// processed. Outputs go straight into a buffer as long as the input and are scanned there.
OutputStats processRaceUntil(TestContext& context, Plug& plug, const Signal& input,
                             const std::atomic<bool>& done) {
    constexpr int kBlock = 512;
    const std::size_t length = input[0].size();
    Signal output(static_cast<std::size_t>(plug.outputs()), std::vector<float>(length));
    std::vector<float*> in(static_cast<std::size_t>(std::max(plug.inputs(), 1)));
    std::vector<float*> out(static_cast<std::size_t>(std::max(plug.outputs(), 1)));
    AEffect* effect = plug.effect();
    const bool replacing = plug.hasReplacing();
    OutputStats stats;
    std::size_t at = 0;
    while (!done.load() && !context.stopping()) {
        if (at + kBlock > length) {
            at = 0;
        }
        for (std::size_t c = 0; c < in.size(); ++c) {
            in[c] = const_cast<float*>(input[c % input.size()].data()) + at;
        }
        for (std::size_t c = 0; c < output.size(); ++c) {
            out[c] = output[c].data() + at;
            if (!replacing) {
                std::fill(out[c], out[c] + kBlock, 0.0f);
            }
        }
        if (replacing) {
            effect->processReplacing(effect, in.data(), out.data(), kBlock);
        } else {
            effect->process(effect, in.data(), out.data(), kBlock);
        }
        OutputStats blockStats;
        for (std::size_t c = 0; c < output.size(); ++c) {
            blockStats.add(scanSamples(out[c], kBlock));
        }
        blockStats.blocks = 1;
        blockStats.nonFiniteBlocks = blockStats.nonFinite > 0 ? 1 : 0;
        stats.add(blockStats);
        at += kBlock;
    }
    context.countOutput(stats);
    return stats;
}

// Two phases of rate changes on a thread while the audio thread processes without a suspend:
// one change a millisecond, as a host following its device might, then changes back to back. A
// change the plug-in takes in unsafely breaks a block only when it meets the block's start or
// the block's reading of what the change writes; at one a millisecond that happens a few times
// a minute, back to back thousands of times a second.

} // namespace

// ---- high-sample-rate ----

void highSampleRate(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    Plug& p = *plug;
    context.outputsJudged();
    const Signal input = guitarFor(p, framesOf(2.0, 44100.0), 44100.0, context.seed);
    const double seconds = 3.0;
    p.start(44100.0, 512);
    processFor(context, p, input, 1.0);
    // Told while resumed, as a host that follows its device does.
    p.dispatch(effSetSampleRate, 0, 0, nullptr, 1e9f);
    const OutputStats high = processFor(context, p, input, seconds);
    p.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    const OutputStats back = processFor(context, p, input, seconds);
    const struct {
        const char* when;
        const OutputStats& stats;
    } phases[] = {{"at 1e9 Hz", high}, {"back at 44100 Hz", back}};
    for (const auto& phase : phases) {
        const std::string text = std::string(phase.when) + ": " + describeStats(phase.stats);
        if (phase.stats.nonFinite > 0 || phase.stats.peak > kOutputBound) {
            context.fail(text + " (bound " + floatText(kOutputBound) + ")");
        } else {
            context.note(text);
        }
    }
}

// ---- rate-change-while-processing ----

void rateChangeWhileProcessing(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    Plug& p = *plug;
    context.outputsJudged();
    p.start(44100.0, 512);
    const Signal input = guitarFor(p, framesOf(2.0, 44100.0), 44100.0, context.seed);
    const double seconds = context.strictness >= 10 ? 1.0 : 0.5; // each phase
    Rng rng(context.seed + 3);
    for (const bool backToBack : {false, true}) {
        std::atomic<bool> done{false};
        OutputStats during;
        std::uint64_t changes = 0;
        {
            TestThread audioThread(context, "audio",
                                   [&] { during = processRaceUntil(context, p, input, done); });
            TestThread rateThread(context, "rate", [&] {
                const double end = secondsNow() + seconds;
                while (secondsNow() < end && !context.stopping()) {
                    const double rate =
                        kTestRates[rng.below(static_cast<int>(std::size(kTestRates)))];
                    p.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
                    ++changes;
                    if (!backToBack) {
                        Sleep(1);
                    }
                }
            });
            rateThread.join();
            done = true;
        }
        const std::string text = std::to_string(changes) +
                                 (backToBack ? " back-to-back rate changes in "
                                             : " rate changes, one a millisecond, in ") +
                                 floatText(seconds) +
                                 " s without a suspend: " + describeStats(during);
        if (during.nonFinite > 0 || during.peak > kOutputBound) {
            context.fail(text);
        } else {
            context.note(text);
        }
        // The conventional way back: suspend, one rate, resume.
        p.start(44100.0, 512);
        const OutputStats after = processFor(context, p, input, 0.5);
        if (after.nonFinite > 0 || after.peak > kOutputBound) {
            context.fail("after a suspend and resume at 44100 Hz: " + describeStats(after));
        }
    }
}

} // namespace kel::host

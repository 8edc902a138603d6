// The validator's tests of parameters: value and text round trips, hostile values, and changes
// between small blocks as automation makes them.
#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/validator_audio.h"
#include "host/validator_tests.h"
#include "host/validator_text.h"
#include "win32/clock.h"

namespace kel::host {

using win32::secondsNow;

// ---- parameters ----

void parameters(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    Plug& p = *plug;
    const int count = p.parameters();
    if (count == 0) {
        context.note("no parameters");
        return;
    }
    p.start(44100.0, 512);
    const Signal input = guitarFor(p, 512, 44100.0, context.seed);
    std::vector<float> values = {0.0f, 1.0f, 0.5f, 0.25f, 0.75f};
    const int randomValues = 2 * context.strictness;
    for (int i = 0; i < randomValues; ++i) {
        values.push_back(context.rng.value());
    }
    for (int index = 0; index < count && !context.stopping(); ++index) {
        const std::string which = "parameter " + std::to_string(index);
        const std::string name = p.text(effGetParamName, index);
        if (name.empty()) {
            if (context.strictness >= 4) {
                context.fail(which + " has no name");
            } else {
                context.note(which + " has no name");
            }
        }
        std::string lowDisplay, highDisplay;
        for (float value : values) {
            p.setParameter(index, value);
            const float answer = p.getParameter(index);
            const std::string text = p.text(effGetParamDisplay, index);
            if (!(answer >= 0.0f && answer <= 1.0f)) {
                context.fail("getParameter(" + std::to_string(index) + ") answered " +
                             floatText(answer) + " after setParameter(" + std::to_string(index) +
                             ", " + floatText(value) + ")");
                continue;
            }
            // A host that saves what getParameter says and sets it again must get the same.
            p.setParameter(index, answer);
            const float again = p.getParameter(index);
            const std::string textAgain = p.text(effGetParamDisplay, index);
            if (std::memcmp(&again, &answer, sizeof(float)) != 0) {
                context.fail(which + " set to its own value " + floatText(answer) + " answered " +
                             floatText(again));
            } else if (textAgain != text) {
                context.fail(which + " set to its own value " + floatText(answer) + " shows " +
                             quoted(textAgain) + " instead of " + quoted(text));
            }
            if (context.strictness >= 4 && !text.empty() &&
                p.dispatch(effString2Parameter, index, 0, const_cast<char*>(text.c_str()))) {
                const std::string parsed = p.text(effGetParamDisplay, index);
                if (parsed != text) {
                    context.fail("effString2Parameter(" + std::to_string(index) + ", " +
                                 quoted(text) + ") shows " + quoted(parsed));
                }
                p.setParameter(index, answer);
            }
            if (value == 0.0f) {
                lowDisplay = text;
            } else if (value == 1.0f) {
                highDisplay = text;
            }
        }
        render(context, p, defaultMode(p), input, {512});
        context.note(which + " " + quoted(name) + ", label " +
                     quoted(p.text(effGetParamLabel, index)) + ": " + quoted(lowDisplay) +
                     " at 0, " + quoted(highDisplay) + " at 1" +
                     (p.dispatch(effCanBeAutomated, index) ? ", automatable" : ""));
    }
}

// ---- hostile-parameter-values ----

void hostileParameterValues(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    Plug& p = *plug;
    context.outputsJudged();
    const float kNan = std::numeric_limits<float>::quiet_NaN();
    const float kInf = std::numeric_limits<float>::infinity();
    const float kHostile[] = {kNan, kInf, -kInf, -3.0f, 1.5f, 1e30f, -1e30f, -0.0f, 1e-40f};
    p.start(44100.0, 512);
    const Signal input = guitarFor(p, 2048, 44100.0, context.seed);
    AudioBus bus(p.inputs(), p.outputs(), 512);
    Signal output;
    auto processBlocks = [&](int blocks) {
        OutputStats stats;
        for (int b = 0; b < blocks; ++b) {
            bus.process(context, p, defaultMode(p), input, static_cast<std::size_t>(b % 4) * 512,
                        512, output);
            stats.add(bus.lastStats());
        }
        return stats;
    };
    std::map<std::string, std::string> echoed; // hostile value -> parameters that answered it
    bool reportedOutput = false;
    for (int index = 0; index < p.parameters() && !context.stopping(); ++index) {
        for (float value : kHostile) {
            const std::string call =
                "setParameter(" + std::to_string(index) + ", " + floatText(value) + ")";
            p.setParameter(index, value);
            const float answer = p.getParameter(index);
            if (!(answer >= 0.0f && answer <= 1.0f)) {
                echoed[floatText(value)] += " " + std::to_string(index) + ":" + floatText(answer);
            }
            const TextWrite display = measureTextWrite(
                [&](char* buffer) { p.dispatch(effGetParamDisplay, index, 0, buffer); },
                kTextBufferSize);
            if (display.extent > 0 && (!display.terminated || display.extent > 256)) {
                context.fail("after " + call + " the display text runs to " +
                             std::to_string(display.extent) + " bytes" +
                             (display.terminated ? "" : " without a terminator"));
            }
            const OutputStats stats = processBlocks(2);
            if (!reportedOutput && (stats.nonFinite > 0 || stats.peak > kOutputBound)) {
                context.fail("after " + call + " the output went " +
                             (stats.nonFinite > 0
                                  ? "non-finite (" + std::to_string(stats.nonFinite) + " of " +
                                        std::to_string(stats.samples) + " samples)"
                                  : "above the bound (peak " + floatText(stats.peak) + ")"));
                reportedOutput = true;
            }
        }
        p.setParameter(index, context.rng.value());
    }
    for (int index = 0; index < p.parameters(); ++index) {
        p.setParameter(index, context.rng.value());
    }
    processBlocks(4);
    const OutputStats after = processBlocks(8);
    if (after.nonFinite > 0) {
        context.fail("the output stayed non-finite after every parameter was set to a valid "
                     "value again (" +
                     std::to_string(after.nonFinite) + " of " + std::to_string(after.samples) +
                     " samples)");
    }
    if (!echoed.empty()) {
        std::string text = "getParameter answered outside 0..1 after (value: parameter:answer)";
        for (const auto& entry : echoed) {
            text += "; " + entry.first + ":" + entry.second;
        }
        context.note(text);
    }
}

// ---- automation-sub-blocks ----

void automationSubBlocks(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    Plug& p = *plug;
    context.outputsJudged();
    p.start(44100.0, 64);
    const std::size_t frames = framesOf(context.strictness >= 8 ? 4.0 : 2.0, 44100.0);
    const Signal input = guitarFor(p, frames, 44100.0, context.seed);
    AudioBus bus(p.inputs(), p.outputs(), 64);
    Signal output;
    std::string lastChange = "none yet";
    std::uint64_t changes = 0, blocks = 0, badBlocks = 0;
    float peak = 0.0f;
    std::size_t at = 0;
    while (at < frames && !context.stopping()) {
        const int size = static_cast<int>(
            std::min<std::size_t>(static_cast<std::size_t>(context.rng.range(1, 64)), frames - at));
        bus.process(context, p, defaultMode(p), input, at, size, output);
        const OutputStats& stats = bus.lastStats();
        ++blocks;
        peak = std::max(peak, stats.peak);
        if (stats.nonFinite > 0 || stats.peak > kOutputBound) {
            if (badBlocks++ == 0) {
                context.fail("at frame " + std::to_string(at) + " after " + lastChange +
                             " the output went " +
                             (stats.nonFinite > 0
                                  ? "non-finite"
                                  : "above the bound (" + floatText(stats.peak) + ")"));
            }
        }
        at += static_cast<std::size_t>(size);
        for (int k = context.rng.range(0, 3); k > 0 && p.parameters() > 0; --k) {
            const int index = context.rng.below(p.parameters());
            const float value = context.rng.value();
            p.setParameter(index, value);
            lastChange = "setParameter(" + std::to_string(index) + ", " + floatText(value) + ")";
            ++changes;
        }
        if (p.programs() > 0 && context.rng.below(200) == 0) {
            const int program = context.rng.below(p.programs());
            p.dispatch(effSetProgram, 0, program);
            lastChange = "effSetProgram(" + std::to_string(program) + ")";
            ++changes;
        }
    }
    if (badBlocks > 1) {
        context.fail(std::to_string(badBlocks) + " of " + std::to_string(blocks) +
                     " blocks were non-finite or above the bound");
    }
    context.note(std::to_string(changes) + " changes between " + std::to_string(blocks) +
                 " blocks of 1 to 64 frames, output peak " + floatText(peak));
}

} // namespace kel::host

// The validator's tests of instances: the first one opened and closed, instances opened, used
// and closed in every order, state carried into a new instance, and many instances at once.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/plugin_info.h"
#include "host/validator_audio.h"
#include "host/validator_tests.h"
#include "host/validator_text.h"
#include "win32/clock.h"

namespace kel::host {

using win32::secondsNow;

namespace {

std::string milliseconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f ms", seconds * 1000.0);
    return text;
}

} // namespace

// ---- open-close-cold ----

void openCloseCold(TestContext& context) {
    const double begin = secondsNow();
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    const double opened = secondsNow() - begin;
    const AEffect* effect = plug->effect();
    if ((effect->flags & effFlagsCanReplacing) && !effect->processReplacing) {
        context.fail("the flags offer processReplacing but the record has no such function");
    }
    if (!plug->hasReplacing() && !effect->process) {
        context.fail("no processing call: no process function and no replacing flag");
    }
    context.note(quoted(plug->text(effGetEffectName)) + " by " +
                 quoted(plug->text(effGetVendorString)) + ", product " +
                 quoted(plug->text(effGetProductString)) + ", ID " +
                 fourCharText(effect->uniqueID) + ", version " +
                 std::to_string(plug->dispatch(effGetVendorVersion)) + ", VST " +
                 std::to_string(plug->dispatch(effGetVstVersion)));
    char flags[16];
    std::snprintf(flags, sizeof(flags), "0x%X", static_cast<unsigned>(effect->flags));
    context.note(
        std::to_string(plug->inputs()) + " in, " + std::to_string(plug->outputs()) + " out, " +
        std::to_string(plug->parameters()) + " parameters, " + std::to_string(plug->programs()) +
        " programs, flags " + flags + (plug->hasEditor() ? ", editor" : ", no editor") +
        (plug->hasReplacing() ? ", replacing" : "") + (effect->process ? ", accumulating" : ""));
    if (plug->outputs() == 0) {
        context.note("no outputs: the audio tests have nothing to look at");
    }
    const double closing = secondsNow();
    plug->close();
    context.note("the first instance opened in " + milliseconds(opened) + " and closed in " +
                 milliseconds(secondsNow() - closing));
}

// ---- open-close-warm ----

void openCloseWarm(TestContext& context) {
    struct Cycle {
        bool resume, process, suspend;
    };
    static const Cycle kCycles[] = {
        {false, false, false}, // open and close
        {true, true, true},    // resume, process, suspend, close
        {true, false, true},   // resume and suspend without processing
        {true, true, false},   // close while resumed
    };
    std::unique_ptr<Plug> first = Plug::create(context);
    if (!first) {
        return;
    }
    const AEffect reference = *first->effect();
    const Signal input = guitarFor(*first, 512, 44100.0, context.seed);
    const int rounds = context.strictness >= 7 ? 6 : 2;
    bool reportedChange = false;
    double spent = 0.0;
    int count = 0;
    for (int round = 0; round < rounds && !context.stopping(); ++round) {
        if (round == rounds / 2) {
            first.reset(); // the later rounds run with no other instance open
        }
        for (const Cycle& cycle : kCycles) {
            const double begin = secondsNow();
            std::unique_ptr<Plug> plug = Plug::create(context);
            if (!plug) {
                return;
            }
            const AEffect& record = *plug->effect();
            if (!reportedChange &&
                (record.numInputs != reference.numInputs ||
                 record.numOutputs != reference.numOutputs ||
                 record.numParams != reference.numParams ||
                 record.numPrograms != reference.numPrograms ||
                 record.uniqueID != reference.uniqueID || record.flags != reference.flags)) {
                context.fail("a later instance's record differs from the first one's (counts, "
                             "ID or flags): hosts keep what the first instance said");
                reportedChange = true;
            }
            if (cycle.resume) {
                plug->start(44100.0, 512);
            }
            if (cycle.process) {
                render(context, *plug, defaultMode(*plug), input, {512});
            }
            if (cycle.suspend) {
                plug->suspend();
            }
            plug->close();
            spent += secondsNow() - begin;
            ++count;
        }
    }
    context.note(std::to_string(count) + " instances opened, used and closed, " +
                 milliseconds(spent / std::max(count, 1)) +
                 " each; another one was open during the first half");
}

// ---- state-restore ----

void stateRestore(TestContext& context) {
    std::unique_ptr<Plug> saved = Plug::create(context);
    if (!saved) {
        return;
    }
    Plug& a = *saved;
    const int count = a.parameters();
    // From strictness 8 on the saved instance goes through a history of changes first, as an
    // instance in a session does; below, each parameter is set once.
    if (context.strictness >= 8) {
        for (int step = 0; step < 60; ++step) {
            if (a.programs() > 0 && step % 15 == 0) {
                a.dispatch(effSetProgram, 0, context.rng.below(a.programs()));
            } else if (count > 0) {
                a.setParameter(context.rng.below(count), context.rng.value());
            }
        }
    } else {
        apply(a, randomSettings(context.rng, a));
    }
    const VstIntPtr program = a.dispatch(effGetProgram);
    std::vector<float> values;
    std::vector<std::string> displays;
    for (int i = 0; i < count; ++i) {
        values.push_back(a.getParameter(i));
        displays.push_back(a.text(effGetParamDisplay, i));
    }
    std::vector<char> chunk;
    const bool chunks = (a.effect()->flags & effFlagsProgramChunks) != 0;
    if (chunks) {
        void* data = nullptr;
        const VstIntPtr size = a.dispatch(effGetChunk, 0, 0, &data);
        if (size > 0 && data) {
            chunk.assign(static_cast<char*>(data), static_cast<char*>(data) + size);
        } else {
            context.fail("the flags promise chunks but effGetChunk gave none");
        }
    }

    std::unique_ptr<Plug> restoredPlug = Plug::create(context);
    if (!restoredPlug) {
        return;
    }
    Plug& b = *restoredPlug;
    if (!chunk.empty()) {
        b.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data());
    } else {
        if (a.programs() > 0) {
            b.dispatch(effSetProgram, 0, program);
        }
        for (int i = 0; i < count; ++i) {
            b.setParameter(i, values[static_cast<std::size_t>(i)]);
        }
    }
    if (b.dispatch(effGetProgram) != program) {
        context.fail("the restored instance is on program " +
                     std::to_string(b.dispatch(effGetProgram)) + ", the saved one on " +
                     std::to_string(program));
    }
    for (int i = 0; i < count; ++i) {
        const float value = b.getParameter(i);
        const std::string display = b.text(effGetParamDisplay, i);
        const std::size_t k = static_cast<std::size_t>(i);
        if (std::memcmp(&value, &values[k], sizeof(float)) != 0) {
            context.fail("restored parameter " + std::to_string(i) + " answers " +
                         floatText(value) + ", the saved one " + floatText(values[k]));
        } else if (display != displays[k]) {
            context.fail("restored parameter " + std::to_string(i) + " shows " + quoted(display) +
                         ", the saved one " + quoted(displays[k]) + " at the same value " +
                         floatText(value));
        }
    }
    const Signal input = guitarFor(a, framesOf(1.0, 44100.0), 44100.0, context.seed);
    const std::vector<int> partition =
        mixedPartition(context.rng, static_cast<int>(input[0].size()));
    a.start(44100.0, 4096);
    b.start(44100.0, 4096);
    const Signal expected = render(context, a, defaultMode(a), input, partition);
    const Signal actual = render(context, b, defaultMode(b), input, partition);
    const SignalDifference difference = compareSignals(expected, actual);
    if (!difference.same) {
        context.fail("the restored instance sounds different: " + describeDifference(difference));
    }
    context.note(std::string("saved and restored through ") +
                 (chunk.empty() ? "the program number and the parameter values"
                                : "a chunk of " + std::to_string(chunk.size()) + " bytes"));
}

// ---- many-instances ----

void manyInstances(TestContext& context) {
    const int total = context.strictness >= 8 ? 64 : 16;
    constexpr int kBlock = 256, kBlocks = 6, kConfigs = 4;
    struct Live {
        std::unique_ptr<Plug> plug;
        int config = 0, serial = 0, nextBlock = 0;
        Signal output;
    };
    // What each configuration sounds like in an instance alone.
    std::vector<Settings> configs;
    std::vector<Signal> references;
    Signal input;
    for (int config = 0; config < kConfigs; ++config) {
        std::unique_ptr<Plug> alone = Plug::create(context);
        if (!alone) {
            return;
        }
        if (input.empty()) {
            input = guitarFor(*alone, kBlock * kBlocks, 44100.0, context.seed);
        }
        configs.push_back(config == 0 ? Settings{} : randomSettings(context.rng, *alone));
        apply(*alone, configs.back());
        alone->start(44100.0, kBlock);
        references.push_back(
            render(context, *alone, defaultMode(*alone), input, std::vector<int>(kBlocks, kBlock)));
    }
    std::vector<Live> live;
    int created = 0, closed = 0, mostOpen = 0, differing = 0;
    const double begin = secondsNow();
    while ((created < total || !live.empty()) && !context.stopping()) {
        // Creating and processing interleave; instances close in whatever order they finish.
        if (created < total &&
            (live.size() < static_cast<std::size_t>(total / 2) || context.rng.below(3) == 0)) {
            Live entry;
            entry.plug = Plug::create(context);
            if (!entry.plug) {
                return;
            }
            entry.config = context.rng.below(kConfigs);
            entry.serial = created++;
            apply(*entry.plug, configs[static_cast<std::size_t>(entry.config)]);
            entry.plug->start(44100.0, kBlock);
            live.push_back(std::move(entry));
            mostOpen = std::max(mostOpen, static_cast<int>(live.size()));
            continue;
        }
        const std::size_t pick =
            static_cast<std::size_t>(context.rng.below(static_cast<int>(live.size())));
        Live& entry = live[pick];
        AudioBus own(entry.plug->inputs(), entry.plug->outputs(), kBlock);
        own.process(context, *entry.plug, defaultMode(*entry.plug), input,
                    static_cast<std::size_t>(entry.nextBlock) * kBlock, kBlock, entry.output);
        if (++entry.nextBlock == kBlocks) {
            const SignalDifference difference =
                compareSignals(references[static_cast<std::size_t>(entry.config)], entry.output);
            if (!difference.same && differing++ == 0) {
                context.fail("instance #" + std::to_string(entry.serial) + " (among " +
                             std::to_string(live.size()) +
                             " open) sounds different from an instance alone with the same "
                             "settings: " +
                             describeDifference(difference));
            }
            entry.plug->close();
            live.erase(live.begin() + static_cast<std::ptrdiff_t>(pick));
            ++closed;
        }
    }
    if (differing > 1) {
        context.fail(std::to_string(differing) + " of " + std::to_string(closed) +
                     " instances sounded different from one alone");
    }
    context.note(std::to_string(created) + " instances, up to " + std::to_string(mostOpen) +
                 " open at once, created, processed and closed in mixed order in " +
                 milliseconds(secondsNow() - begin));
}

} // namespace kel::host

// The validator's tests. Each runs on its own test thread with fresh instances; what it finds goes
// into its context (failures, notes, output counts); the runner judges and reports.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <iterator>
#include <limits>
#include <map>

#include "host/plugin_info.h"
#include "host/validator.h"
#include "host/validator_support.h"

namespace kel::host {

namespace {

constexpr double kRates[] = {22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 192000.0};
constexpr int kBlockSizes[] = {0, 1, 2, 3, 7, 64, 511, 512, 513, 1024, 4096, 8192};
constexpr std::size_t kTextBufferSize = 1024; // what the guarded text queries get

// A program and the parameter values set after it.
struct Settings {
    int program = -1;          // -1: leave the program as it is
    std::vector<float> values; // one per parameter; empty: leave the parameters as they are
};

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

std::vector<int> evenBlocks(std::size_t total, int block) {
    std::vector<int> blocks(total / static_cast<std::size_t>(block), block);
    if (total % static_cast<std::size_t>(block)) {
        blocks.push_back(static_cast<int>(total % static_cast<std::size_t>(block)));
    }
    return blocks;
}

// Block sizes as hosts pick them under automation and loops: mostly small, some large.
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

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\x%02X", c);
            out += escaped;
        }
    }
    return out + "\"";
}

std::string describeDifference(const SignalDifference& difference,
                               const std::vector<int>* partition = nullptr) {
    std::string text = "first difference at frame " + std::to_string(difference.frame) +
                       " of channel " + std::to_string(difference.channel) + ": " +
                       floatText(difference.actual, 9) + " instead of " +
                       floatText(difference.expected, 9);
    if (partition) {
        std::size_t start = 0;
        for (int block : *partition) {
            if (difference.frame < start + static_cast<std::size_t>(block)) {
                text += " (frame " + std::to_string(difference.frame - start) + " of a block of " +
                        std::to_string(block) + " frames starting at " + std::to_string(start) +
                        ")";
                break;
            }
            start += static_cast<std::size_t>(block);
        }
    }
    return text;
}

std::string milliseconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f ms", seconds * 1000.0);
    return text;
}

// Processes the looped input in blocks on the calling thread until `done` is set; sleeps
// sleepMs after each block (0 yields, -1 does not). Returns what the outputs held.
OutputStats processUntil(TestContext& context, Plug& plug, const Signal& input, int block,
                         const std::atomic<bool>& done, int sleepMs) {
    AudioBus bus(plug.inputs(), plug.outputs(), block);
    const ProcessMode mode = defaultMode(plug);
    const std::size_t length = input.empty() ? 0 : input[0].size();
    Signal output;
    OutputStats stats;
    std::size_t at = 0;
    while (!done.load() && !context.stopping()) {
        if (at + static_cast<std::size_t>(block) > length) {
            at = 0;
        }
        bus.process(context, plug, mode, input, at, block, output);
        stats.add(bus.lastStats());
        at += static_cast<std::size_t>(block);
        if (sleepMs >= 0) {
            Sleep(static_cast<DWORD>(sleepMs));
        }
    }
    return stats;
}

// ---- open-close-cold ----

void openCloseCold(TestContext& context) {
    const double begin = nowSeconds();
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    const double opened = nowSeconds() - begin;
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
    const double closing = nowSeconds();
    plug->close();
    context.note("the first instance opened in " + milliseconds(opened) + " and closed in " +
                 milliseconds(nowSeconds() - closing));
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
            const double begin = nowSeconds();
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
            spent += nowSeconds() - begin;
            ++count;
        }
    }
    context.note(std::to_string(count) + " instances opened, used and closed, " +
                 milliseconds(spent / std::max(count, 1)) +
                 " each; another one was open during the first half");
}

// ---- text-buffers ----

enum class TextKind { Identity, Parameter, Program };

struct TextQuery {
    std::string call;
    std::size_t conventional; // bytes with the terminator
    TextKind kind;
    std::function<void(char*)> query;
};

// From strictness 8 on, parameter texts and program names may run to 32 bytes (many plug-ins
// write 24 or more); the effect name, vendor and product to their conventional size. Below 8
// anything up to 256 bytes, the buffer most hosts give, is only noted.
std::size_t toleratedSize(const TextQuery& query, int strictness) {
    if (strictness < 8) {
        return 256;
    }
    return query.kind == TextKind::Identity ? query.conventional : 32;
}

void checkText(TestContext& context, const TextQuery& query) {
    const TextWrite written = measureTextWrite(query.query, kTextBufferSize);
    if (written.extent == 0) {
        return; // no answer
    }
    const std::size_t tolerated = toleratedSize(query, context.strictness);
    const std::string extent = std::to_string(written.extent);
    if (written.extent > tolerated) {
        context.fail(query.call + " wrote " + extent + " bytes where " +
                     std::to_string(query.conventional) + " are conventional and " +
                     std::to_string(tolerated) +
                     " tolerated: " + quoted(written.text.substr(0, 64)));
    } else if (!written.terminated) {
        context.fail(query.call + " wrote " + extent + " bytes without a terminator");
    } else if (written.extent > query.conventional) {
        context.note(query.call + " wrote " + extent + " bytes, " +
                     std::to_string(written.extent - query.conventional) +
                     " past the conventional " + std::to_string(query.conventional) + ": " +
                     quoted(written.text));
    }
}

void checkPins(TestContext& context, const Plug& plug, bool input) {
    const int count = input ? plug.inputs() : plug.outputs();
    const VstInt32 opcode = input ? effGetInputProperties : effGetOutputProperties;
    const std::string call = input ? "effGetInputProperties" : "effGetOutputProperties";
    constexpr std::size_t kRecord = sizeof(VstPinProperties);
    constexpr std::size_t kShort = offsetof(VstPinProperties, shortLabel);
    for (int pin = 0; pin < count; ++pin) {
        std::vector<unsigned char> buffer(kRecord + 64, 0xA5);
        const VstIntPtr answer = plug.dispatch(opcode, pin, 0, buffer.data());
        const std::string what = call + "(" + std::to_string(pin) + ")";
        const auto past = std::find_if(buffer.begin() + kRecord, buffer.end(),
                                       [](unsigned char b) { return b != 0xA5; });
        if (past != buffer.end()) {
            context.fail(what + " wrote past the " + std::to_string(kRecord) +
                         "-byte record (byte " + std::to_string(past - buffer.begin()) + ")");
        }
        if (!answer) {
            continue;
        }
        if (!std::memchr(buffer.data(), 0, kVstMaxLabelLen)) {
            context.fail(what + ": the label has no terminator within " +
                         std::to_string(kVstMaxLabelLen) + " bytes");
        }
        const bool shortWritten =
            std::any_of(buffer.begin() + kShort, buffer.begin() + kShort + kVstMaxShortLabelLen,
                        [](unsigned char b) { return b != 0xA5; });
        if (shortWritten && !std::memchr(buffer.data() + kShort, 0, kVstMaxShortLabelLen)) {
            context.fail(what + ": the short label has no terminator within " +
                         std::to_string(kVstMaxShortLabelLen) + " bytes");
        }
    }
}

void textBuffers(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    const Plug& p = *plug;
    auto dispatchInto = [&p](VstInt32 opcode, VstInt32 index, VstIntPtr value) {
        return
            [&p, opcode, index, value](char* buffer) { p.dispatch(opcode, index, value, buffer); };
    };
    checkText(context, {"effGetEffectName", kVstMaxEffectNameLen, TextKind::Identity,
                        dispatchInto(effGetEffectName, 0, 0)});
    checkText(context, {"effGetVendorString", kVstMaxVendorStrLen, TextKind::Identity,
                        dispatchInto(effGetVendorString, 0, 0)});
    checkText(context, {"effGetProductString", kVstMaxProductStrLen, TextKind::Identity,
                        dispatchInto(effGetProductString, 0, 0)});
    // The classic interface's room for parameter texts and program names.
    constexpr std::size_t kParameterText = 8;
    constexpr std::size_t kProgramName = 24;
    for (int i = 0; i < p.parameters() && !context.stopping(); ++i) {
        const std::string index = "(" + std::to_string(i) + ")";
        checkText(context, {"effGetParamName" + index, kParameterText, TextKind::Parameter,
                            dispatchInto(effGetParamName, i, 0)});
        for (float value : {0.0f, 0.5f, 1.0f}) {
            p.setParameter(i, value);
            const std::string at = " at " + floatText(value);
            checkText(context, {"effGetParamLabel" + index + at, kParameterText,
                                TextKind::Parameter, dispatchInto(effGetParamLabel, i, 0)});
            checkText(context, {"effGetParamDisplay" + index + at, kParameterText,
                                TextKind::Parameter, dispatchInto(effGetParamDisplay, i, 0)});
        }
    }
    for (int program = 0; program < p.programs() && !context.stopping(); ++program) {
        const std::string index = "(" + std::to_string(program) + ")";
        p.dispatch(effSetProgram, 0, program);
        checkText(context, {"effGetProgramName" + index, kProgramName, TextKind::Program,
                            dispatchInto(effGetProgramName, 0, 0)});
        checkText(context, {"effGetProgramNameIndexed" + index, kProgramName, TextKind::Program,
                            dispatchInto(effGetProgramNameIndexed, program, -1)});
    }
    checkPins(context, p, true);
    checkPins(context, p, false);
}

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

// ---- programs ----

void programs(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    Plug& p = *plug;
    const int count = p.programs();
    if (count == 0) {
        context.note("no programs");
        return;
    }
    p.start(44100.0, 512);
    const Signal input = guitarFor(p, 512, 44100.0, context.seed);
    auto processBlock = [&] { render(context, p, defaultMode(p), input, {512}); };
    const VstIntPtr initial = p.dispatch(effGetProgram);
    if (initial < 0 || initial >= count) {
        context.fail("effGetProgram answered " + std::to_string(initial) + " with " +
                     std::to_string(count) + " programs");
    }
    std::vector<std::string> names(static_cast<std::size_t>(count));
    int unnamed = 0;
    for (int program = 0; program < count && !context.stopping(); ++program) {
        p.dispatch(effSetProgram, 0, program);
        const VstIntPtr current = p.dispatch(effGetProgram);
        if (current != program) {
            context.fail("effSetProgram(" + std::to_string(program) +
                         ") then effGetProgram answered " + std::to_string(current));
        }
        names[program] = p.text(effGetProgramName);
        unnamed += names[program].empty() ? 1 : 0;
        char indexed[kTextBufferSize] = {};
        if (p.dispatch(effGetProgramNameIndexed, program, -1, indexed) &&
            names[program] != indexed) {
            context.fail("effGetProgramNameIndexed(" + std::to_string(program) + ") answered " +
                         quoted(indexed) + " but effGetProgramName " + quoted(names[program]));
        }
        processBlock();
    }
    if (unnamed > 0) {
        context.note(std::to_string(unnamed) + " of " + std::to_string(count) +
                     " programs have no name");
    }

    // Renaming one program changes its name only, and the name stays with it.
    const int renamed = context.rng.below(count);
    const int other = (renamed + 1) % count;
    char newName[24];
    std::snprintf(newName, sizeof(newName), "Validate %d", context.rng.range(100, 999));
    p.dispatch(effSetProgram, 0, renamed);
    p.dispatch(effSetProgramName, 0, 0, newName);
    const std::string renamedText = p.text(effGetProgramName);
    if (renamedText != newName) {
        context.fail("effSetProgramName(" + quoted(newName) + ") on program " +
                     std::to_string(renamed) + " then effGetProgramName answered " +
                     quoted(renamedText));
    }
    char indexed[kTextBufferSize] = {};
    if (p.dispatch(effGetProgramNameIndexed, renamed, -1, indexed) &&
        newName != std::string(indexed)) {
        context.fail("after renaming program " + std::to_string(renamed) +
                     " effGetProgramNameIndexed answered " + quoted(indexed));
    }
    if (count > 1) {
        p.dispatch(effSetProgram, 0, other);
        if (p.text(effGetProgramName) != names[other]) {
            context.fail("renaming program " + std::to_string(renamed) + " renamed program " +
                         std::to_string(other) + " to " + quoted(p.text(effGetProgramName)));
        }
        p.dispatch(effSetProgram, 0, renamed);
        if (p.text(effGetProgramName) != newName) {
            context.fail(
                "program " + std::to_string(renamed) +
                " lost its new name after a program change: " + quoted(p.text(effGetProgramName)));
        }
    }
    p.dispatch(effSetProgramName, 0, 0, const_cast<char*>(names[renamed].c_str()));

    // Numbers of programs that do not exist change nothing.
    const int kept = context.rng.below(count);
    p.dispatch(effSetProgram, 0, kept);
    const VstIntPtr outOfRange[] = {-1, count, count + 1, 1000, 0x7FFFFFFF, -100};
    for (VstIntPtr number : outOfRange) {
        p.dispatch(effSetProgram, 0, number);
        const VstIntPtr current = p.dispatch(effGetProgram);
        if (current < 0 || current >= count) {
            context.fail("after effSetProgram(" + std::to_string(number) +
                         ") effGetProgram answered " + std::to_string(current));
        } else if (current != kept && context.strictness >= 6) {
            context.fail("effSetProgram(" + std::to_string(number) +
                         "), a program that does not exist, changed the program from " +
                         std::to_string(kept) + " to " + std::to_string(current));
        }
        processBlock();
        p.dispatch(effSetProgram, 0, kept);
    }
    for (VstInt32 number : {-1, count, 1000}) {
        const TextWrite written = measureTextWrite(
            [&](char* buffer) { p.dispatch(effGetProgramNameIndexed, number, -1, buffer); },
            kTextBufferSize);
        const VstIntPtr answer = p.dispatch(effGetProgramNameIndexed, number, -1,
                                            std::vector<char>(kTextBufferSize).data());
        if (answer && context.strictness >= 6) {
            context.fail("effGetProgramNameIndexed(" + std::to_string(number) +
                         ") answered 1 for a program that does not exist (" +
                         quoted(written.text.substr(0, 32)) + ")");
        }
    }
}

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
    for (double rate : kRates) {
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
    const double begin = nowSeconds();
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
                 milliseconds(nowSeconds() - begin));
}

// ---- silence-and-decay-cost ----

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
    const double begin = nowSeconds();
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
    return nowSeconds() - begin;
}

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
    // A 110 Hz tone that fades by 0.9985 a frame: through the subnormal range after about
    // 1.3 s, zero after about 1.6 s, then silence.
    Signal decay(static_cast<std::size_t>(channels), std::vector<float>(2 * second));
    double level = 0.8;
    for (std::size_t i = 0; i < 2 * second; ++i) {
        const float sample = static_cast<float>(level * std::sin(2.0 * M_PI * 110.0 * i / 44100.0));
        for (auto& channel : decay) {
            channel[i] = sample;
        }
        level *= 0.9985;
    }
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
    const double budget = nowSeconds() + 3.0;
    int rounds = 0;
    for (; rounds < 20 && !context.stopping() && (rounds < 3 || nowSeconds() < budget); ++rounds) {
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

// ---- editor-cycles ----

void editorCycles(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    Plug& p = *plug;
    if (!p.hasEditor()) {
        context.note("no editor");
        return;
    }
    p.start(44100.0, 256);
    const Signal input = guitarFor(p, framesOf(1.0, 44100.0), 44100.0, context.seed);
    std::atomic<bool> done{false};
    OutputStats audio;
    const int cycles = context.strictness >= 9 ? 50 : 10;
    int opened = 0;
    {
        TestThread audioThread(context, "audio",
                               [&] { audio = processUntil(context, p, input, 256, done, 1); });
        EditorHost editor(context, p);
        for (int cycle = 0; cycle < cycles && !context.stopping(); ++cycle) {
            if (!editor.open()) {
                break;
            }
            ++opened;
            editor.idle(0.02);
            editor.close();
        }
        done = true;
    }
    context.note(std::to_string(opened) + " editor open/close cycles while " +
                 std::to_string(audio.blocks) + " blocks were processed");
}

// ---- close-with-editor-open ----

void closeWithEditorOpen(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    if (!plug->hasEditor()) {
        context.note("no editor");
        return;
    }
    plug->start(44100.0, 512);
    render(context, *plug, defaultMode(*plug), guitarFor(*plug, 512, 44100.0, context.seed), {512});
    plug->suspend();
    EditorHost editor(context, *plug);
    if (!editor.open()) {
        return;
    }
    editor.idle(0.1);
    plug->close();
    editor.forgetEditor();
    // The window and whatever the editor left in it get their messages, then the window goes.
    editor.idle(0.1);
    editor.destroyWindow();
}

// ---- threads-automation-editor ----

void threadsAutomationEditor(TestContext& context) {
    std::unique_ptr<Plug> plug = Plug::create(context);
    if (!plug) {
        return;
    }
    Plug& p = *plug;
    p.start(44100.0, 256);
    const Signal input = guitarFor(p, framesOf(1.0, 44100.0), 44100.0, context.seed);
    const double seconds = context.strictness >= 9 ? 3.0 : 1.0;
    std::atomic<bool> done{false};
    OutputStats audio;
    std::uint64_t parameterChanges = 0, programChanges = 0;
    {
        EditorHost editor(context, p);
        const bool withEditor = p.hasEditor() && editor.open();
        TestThread audioThread(context, "audio",
                               [&] { audio = processUntil(context, p, input, 256, done, 1); });
        TestThread automationThread(context, "automation", [&] {
            Rng rng(context.seed + 7);
            for (std::uint64_t tick = 0; !done.load() && !context.stopping(); ++tick) {
                if (p.programs() > 0 && tick % 10 == 9) {
                    p.dispatch(effSetProgram, 0, rng.below(p.programs()));
                    ++programChanges;
                } else if (p.parameters() > 0) {
                    p.setParameter(rng.below(p.parameters()), rng.value());
                    ++parameterChanges;
                }
                Sleep(1);
            }
        });
        if (withEditor) {
            editor.idle(seconds);
        } else {
            Sleep(static_cast<DWORD>(seconds * 1000.0));
        }
        done = true;
        audioThread.join();
        automationThread.join();
        if (withEditor) {
            editor.idle(0.05);
        }
    }
    if (audio.blocks == 0 && !context.stopping()) {
        context.fail("the audio thread processed no block");
    }
    context.note(floatText(seconds) + " s: " + std::to_string(audio.blocks) + " blocks, " +
                 std::to_string(parameterChanges) + " parameter and " +
                 std::to_string(programChanges) + " program changes from another thread" +
                 (p.hasEditor() ? ", the editor open and idled" : ", no editor"));
}

// ---- high-sample-rate ----

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
                const double end = nowSeconds() + seconds;
                while (nowSeconds() < end && !context.stopping()) {
                    const double rate = kRates[rng.below(static_cast<int>(std::size(kRates)))];
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

} // namespace

const std::vector<ValidatorTest>& validatorTests() {
    static const std::vector<ValidatorTest> tests = {
        {"open-close-cold", 1, 20.0, "the first instance: record, identity, open and close",
         openCloseCold},
        {"open-close-warm", 1, 30.0,
         "instances opened, resumed, processed, suspended and closed in four orders",
         openCloseWarm},
        {"text-buffers", 1, 20.0,
         "bytes written past the conventional size of every text (guard bytes)", textBuffers},
        {"processing", 1, 20.0, "2 s of a guitar-like signal at 44.1 kHz", processing},
        {"programs", 2, 20.0, "program changes, names, renaming, numbers out of range", programs},
        {"parameters", 2, 20.0, "value and text round trips of every parameter", parameters},
        {"hostile-parameter-values", 3, 20.0,
         "NaN, infinities, -3, 1.5, +-1e30, -0, a subnormal: output stays finite",
         hostileParameterValues},
        {"block-sizes", 3, 30.0,
         "blocks of 0 to 8192 frames at 22.05 to 192 kHz, past the announced size; nothing "
         "written past a block, inputs left alone",
         blockSizes},
        {"block-partitions", 4, 30.0, "random partitions give the output of one block, bit for bit",
         blockPartitions},
        {"accumulating-and-replacing", 4, 20.0,
         "process into zeros equals processReplacing; process onto a signal adds to it",
         accumulatingAndReplacing},
        {"in-place-buffers", 4, 20.0, "inputs and outputs in the same buffers", inPlaceBuffers},
        {"automation-sub-blocks", 5, 30.0,
         "parameter and program changes between blocks of 1 to 64 frames", automationSubBlocks},
        {"state-restore", 5, 20.0,
         "program and parameters (or chunk) into a new instance: same answers, same sound",
         stateRestore},
        {"many-instances", 5, 60.0,
         "16 instances (64 from level 8) open at once, closed in mixed order, each sounding "
         "like one alone",
         manyInstances},
        {"silence-and-decay-cost", 6, 30.0,
         "silence and a decaying tail cost at most 3 times the signal", silenceAndDecayCost},
        {"editor-cycles", 6, 60.0,
         "editor opened and closed 10 times (50 from level 9) while audio runs", editorCycles},
        {"close-with-editor-open", 6, 20.0, "effClose while the editor is open",
         closeWithEditorOpen},
        {"threads-automation-editor", 7, 30.0,
         "parameters and programs changed every ms from a thread while audio runs and the "
         "editor idles (1 s, 3 s from level 9)",
         threadsAutomationEditor},
        {"high-sample-rate", 8, 30.0,
         "effSetSampleRate(1e9) on a running instance, then 44100: finite, within +-100",
         highSampleRate},
        {"rate-change-while-processing", 9, 30.0,
         "the rate changed from a thread while audio runs unsuspended, every ms, then back to "
         "back (0.5 s each, 1 s at level 10)",
         rateChangeWhileProcessing},
    };
    return tests;
}

} // namespace kel::host

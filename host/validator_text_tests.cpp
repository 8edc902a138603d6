// The validator's tests of what the plug-in writes into the host's buffers: every text query
// against guard bytes, and the programs with their names.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
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

} // namespace

// ---- text-buffers ----

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

} // namespace kel::host

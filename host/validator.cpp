// The validator's runner: each test's body runs on a thread of its own under a watchdog.
//
// A test that does not end within its time limit is reported as timed out. Its thread is still
// inside the plug-in and cannot be ended safely (it may hold the plug-in's or the heap's locks),
// so it is left where it is, with its instances; the next test starts on fresh instances. A
// second timeout ends the run: the tests left are reported as skipped. A crash (an unhandled
// exception) on a test thread is reported with its address and the module it happened in; the
// thread is taken out, its instances are left unclosed and the run goes on. Crashes on threads
// the plug-in started itself end the process, after the "RUN <name>" line of the test.
#include "host/validator.h"

#include <windows.h>

#include <cstdio>
#include <memory>

#include "host/plugin_module.h"
#include "host/validator_context.h"
#include "host/validator_tests.h"
#include "host/validator_text.h"
#include "host/validator_threads.h"
#include "win32/clock.h"
#include "win32/module.h"

namespace kel::host {

using namespace kel::ui;
using win32::secondsNow;

namespace {

constexpr int kTimeoutsBeforeStop = 2;
// How long the helper threads of a finished or crashed test get to see its stop request.
constexpr double kThreadGraceSeconds = 5.0;

void printLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof(text), "%.*f", decimals, value);
    return text;
}

std::string hex(std::uintptr_t value) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string exceptionName(unsigned long code) {
    switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
        return "access violation";
    case EXCEPTION_ILLEGAL_INSTRUCTION:
        return "illegal instruction";
    case EXCEPTION_PRIV_INSTRUCTION:
        return "privileged instruction";
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
        return "integer division by zero";
    case EXCEPTION_INT_OVERFLOW:
        return "integer overflow";
    case EXCEPTION_STACK_OVERFLOW:
        return "stack overflow";
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        return "array bounds exceeded";
    case EXCEPTION_DATATYPE_MISALIGNMENT:
        return "misaligned data";
    case EXCEPTION_IN_PAGE_ERROR:
        return "in-page error";
    case EXCEPTION_BREAKPOINT:
        return "breakpoint";
    default:
        return "exception " + hex(code);
    }
}

// "faulty_plugin.dll+0x1a2b", or the bare address outside every module.
std::string placeOf(const void* address) {
    const HMODULE module = win32::moduleContaining(address);
    char path[MAX_PATH] = {};
    if (!module || !GetModuleFileNameA(module, path, MAX_PATH)) {
        return hex(reinterpret_cast<std::uintptr_t>(address));
    }
    std::string name = path;
    name = name.substr(name.find_last_of("\\/") + 1);
    return name + "+" +
           hex(reinterpret_cast<std::uintptr_t>(address) -
               reinterpret_cast<std::uintptr_t>(module));
}

std::string describeCrash(const CrashRecord& crash) {
    std::string text =
        "crashed on the " + std::string(crash.threadName) + " thread: " + exceptionName(crash.code);
    if (crash.accessKind >= 0) {
        const char* access =
            crash.accessKind == 1 ? "writing" : (crash.accessKind == 8 ? "executing" : "reading");
        text += std::string(" ") + access + " address " + hex(crash.accessAddress);
    }
    return text + " in " + placeOf(crash.address);
}

// The checks every test gets on all the outputs it processed.
void judgeOutputs(const TestContext& context, std::vector<std::string>& failures,
                  std::vector<std::string>& notes) {
    const OutputStats outputs = context.outputs();
    if (outputs.samples == 0 || context.outputsWereJudged()) {
        return;
    }
    if (outputs.nonFinite > 0) {
        failures.push_back("non-finite output: " + std::to_string(outputs.nonFinite) +
                           " samples in " + std::to_string(outputs.nonFiniteBlocks) + " of " +
                           std::to_string(outputs.blocks) + " blocks");
    }
    if (outputs.peak > kOutputBound) {
        failures.push_back("output peak " + floatText(outputs.peak) + " is above the bound of " +
                           floatText(kOutputBound));
    }
    if (outputs.subnormal > 0) {
        const std::string what = std::to_string(outputs.subnormal) +
                                 " subnormal output samples of " + std::to_string(outputs.samples);
        if (context.strictness >= 9) {
            failures.push_back(what);
        } else {
            notes.push_back(what);
        }
    }
}

struct RunCounts {
    int passed = 0, failed = 0, skipped = 0, timeouts = 0;
    bool abandoned = false; // a thread or an instance was left behind
};

void report(const ValidatorTest& test, const std::vector<std::string>& failures,
            const std::vector<std::string>& notes, RunCounts& counts) {
    constexpr std::size_t kMostFailuresListed = 12;
    if (failures.empty()) {
        ++counts.passed;
        printLine(std::string("PASS ") + test.name);
    } else {
        ++counts.failed;
        printLine(std::string("FAIL ") + test.name + ": " + failures.front());
        for (std::size_t i = 1; i < failures.size() && i < kMostFailuresListed; ++i) {
            printLine("  also: " + failures[i]);
        }
        if (failures.size() > kMostFailuresListed) {
            printLine("  and " + std::to_string(failures.size() - kMostFailuresListed) +
                      " more failures");
        }
    }
    for (const std::string& note : notes) {
        printLine("  " + note);
    }
}

bool waitForThreads(const TestContext& context, double seconds) {
    const double end = secondsNow() + seconds;
    while (context.liveThreads.load() > 0) {
        if (secondsNow() > end) {
            return false;
        }
        Sleep(10);
    }
    return true;
}

void runOne(const ValidatorTest& test, const PluginModule& module, const ValidatorOptions& options,
            RunCounts& counts) {
    printLine(std::string("RUN ") + test.name);
    // Left allocated when a thread of the test may still use it.
    auto* context = new TestContext(module, options.strictness, testSeed(options.seed, test.name));
    const double limit = options.timeoutSeconds > 0.0 ? options.timeoutSeconds : test.limitSeconds;
    const KernelHandle thread =
        startTestThread(context, "test", [context, &test] { test.run(*context); });
    if (!thread) {
        report(test, {"cannot start a thread for the test"}, {}, counts);
        return;
    }
    const DWORD waited = WaitForSingleObject(thread.get(), static_cast<DWORD>(limit * 1000.0));
    if (waited == WAIT_TIMEOUT) {
        context->requestStop();
        ++counts.timeouts;
        counts.abandoned = true;
        std::vector<std::string> failures = {"timed out after " + fixed(limit, 0) + " s"};
        if (context->crashed()) {
            failures.push_back(describeCrash(context->crash()));
        }
        report(test, failures, context->notes(), counts);
        return;
    }
    std::vector<std::string> failures;
    if (context->crashed()) {
        counts.abandoned = true;
        failures.push_back(describeCrash(context->crash()));
    }
    if (!waitForThreads(*context, kThreadGraceSeconds)) {
        ++counts.timeouts;
        counts.abandoned = true;
        failures.push_back("a thread of the test did not end within " +
                           fixed(kThreadGraceSeconds, 0) + " s of the test's end");
        const std::vector<std::string> more = context->failures();
        failures.insert(failures.end(), more.begin(), more.end());
        report(test, failures, context->notes(), counts);
        return;
    }
    const std::vector<std::string> more = context->failures();
    failures.insert(failures.end(), more.begin(), more.end());
    std::vector<std::string> notes = context->notes();
    judgeOutputs(*context, failures, notes);
    report(test, failures, notes, counts);
    delete context;
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

std::string validatorLevelsText() {
    std::string text;
    for (int level = kMinStrictness; level <= kMaxStrictness; ++level) {
        std::string line;
        for (const ValidatorTest& test : validatorTests()) {
            if (test.level == level) {
                line += std::string(line.empty() ? "" : "\n") + "          " + test.name + ": " +
                        test.summary;
            }
        }
        if (!line.empty()) {
            text += "        " + std::to_string(level) + ":\n" + line + "\n";
        }
    }
    return text;
}

int runValidator(const std::string& path, const ValidatorOptions& options) {
    installCrashFilter();
    printLine("kelhost validate \"" + path + "\": strictness " +
              std::to_string(options.strictness) + ", seed " + std::to_string(options.seed) + ", " +
              std::to_string(sizeof(void*) * 8) + "-bit host");
    const double start = secondsNow();
    auto* module = new PluginModule;
    std::string error;
    RunCounts counts;
    if (!module->load(path, error)) {
        printLine("FAIL load: " + error);
        ++counts.failed;
    } else {
        for (const ValidatorTest& test : validatorTests()) {
            if (test.level > options.strictness) {
                continue;
            }
            if (counts.timeouts >= kTimeoutsBeforeStop) {
                printLine(std::string("SKIP ") + test.name + ": not run after " +
                          std::to_string(kTimeoutsBeforeStop) + " tests timed out");
                ++counts.skipped;
                continue;
            }
            runOne(test, *module, options, counts);
        }
    }
    printLine("validated in " + fixed(secondsNow() - start, 1) + " s");
    printLine(std::to_string(counts.passed) + " passed, " + std::to_string(counts.failed) +
              " failed" +
              (counts.skipped ? ", " + std::to_string(counts.skipped) + " skipped" : ""));
    const int status = counts.failed == 0 ? 0 : 1;
    if (counts.abandoned) {
        // Threads and instances left inside the plug-in: neither unload the module under them nor
        // let the process's exit run the module's clean-up while they are stuck in it.
        std::fflush(stdout);
        std::fflush(stderr);
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    }
    delete module;
    return status;
}

} // namespace kel::host

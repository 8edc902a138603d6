// kelhost validate: its pieces in this process (test seeds, partitions, output counts, guarded
// text queries, the audio bus's buffer checks on a plug-in that breaks them, the crash filter) and
// the whole validator as a child process on faulty_plugin.dll, one fault at a time: the test that
// the fault concerns fails with a message that names it, every other test passes.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"

#include "host/plugin_module.h"
#include "host/test_signal.h"
#include "host/validator.h"
#include "host/validator_audio.h"
#include "host/validator_context.h"
#include "host/validator_text.h"
#include "host/validator_threads.h"
#include "win32/module.h"

using namespace kel::host;
using namespace kel::ui;

namespace {

// ---- Pieces ----

TEST(ValidatorPieces, TestSeedsRepeatPerRunSeedAndDifferPerTest) {
    Rng a(testSeed(1, "block-partitions")), b(testSeed(1, "block-partitions"));
    Rng other(testSeed(1, "state-restore")), otherSeed(testSeed(2, "block-partitions"));
    int sameAsOther = 0, sameAsOtherSeed = 0;
    for (int i = 0; i < 1000; ++i) {
        const std::uint64_t x = a.next();
        ASSERT_EQ(x, b.next());
        sameAsOther += x == other.next() ? 1 : 0;
        sameAsOtherSeed += x == otherSeed.next() ? 1 : 0;
    }
    EXPECT_EQ(sameAsOther, 0);
    EXPECT_EQ(sameAsOtherSeed, 0);
}

TEST(ValidatorPieces, PartitionsAddUpWithinTheirBounds) {
    const struct {
        int total, minBlock, maxBlock;
    } cases[] = {{1, 1, 1}, {16384, 1, 16}, {16384, 600, 4096}, {1000, 2000, 4000}, {7, 0, 3}};
    for (const auto& c : cases) {
        Rng rng(c.total);
        const std::vector<int> blocks = randomPartition(rng, c.total, c.minBlock, c.maxBlock);
        int sum = 0;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            sum += blocks[i];
            EXPECT_GE(blocks[i], 1);
            EXPECT_LE(blocks[i], std::max(c.maxBlock, 1));
            if (i + 1 < blocks.size()) {
                EXPECT_GE(blocks[i], std::max(c.minBlock, 1)) << "only the last may be short";
            }
        }
        EXPECT_EQ(sum, c.total) << c.total << " " << c.minBlock << " " << c.maxBlock;
    }
}

TEST(ValidatorPieces, OutputCountsTellNonFiniteSubnormalAndPeak) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float tiny = std::numeric_limits<float>::denorm_min();
    const float smallestNormal = std::numeric_limits<float>::min();
    const struct {
        std::vector<float> samples;
        std::uint64_t nonFinite, subnormal;
        float peak;
    } cases[] = {
        {{}, 0, 0, 0.0f},
        {{0.0f, -0.0f, 0.5f, -0.75f}, 0, 0, 0.75f},
        {{nan, 1.0f, -inf, inf}, 3, 0, 1.0f},
        {{tiny, -tiny, smallestNormal, -smallestNormal / 2}, 0, 3, smallestNormal},
        {{1e30f, -2e30f, nan}, 1, 0, 2e30f},
    };
    for (const auto& c : cases) {
        const OutputStats stats = scanSamples(c.samples.data(), c.samples.size());
        EXPECT_EQ(stats.samples, c.samples.size());
        EXPECT_EQ(stats.nonFinite, c.nonFinite);
        EXPECT_EQ(stats.subnormal, c.subnormal);
        EXPECT_EQ(stats.peak, c.peak);
    }
    OutputStats total;
    total.add({10, 2, 1, 1, 1, 0.5f});
    total.add({20, 0, 3, 2, 0, 0.25f});
    EXPECT_EQ(total.samples, 30u);
    EXPECT_EQ(total.nonFinite, 2u);
    EXPECT_EQ(total.subnormal, 4u);
    EXPECT_EQ(total.blocks, 3u);
    EXPECT_EQ(total.nonFiniteBlocks, 1u);
    EXPECT_EQ(total.peak, 0.5f);
}

TEST(ValidatorPieces, GuardedTextQueriesMeasureWhatWasWritten) {
    const struct {
        const char* what;
        std::function<void(char*)> query;
        std::size_t extent;
        bool terminated;
        const char* text;
    } cases[] = {
        {"nothing", [](char*) {}, 0, false, nullptr},
        {"a short name", [](char* b) { std::strcpy(b, "Gain"); }, 5, true, "Gain"},
        {"an empty text", [](char* b) { b[0] = 0; }, 1, true, ""},
        // A fixed-size copy writes past its terminator.
        {"a padded copy",
         [](char* b) {
             std::memset(b, 0, 32);
             std::strcpy(b, "Mix");
         },
         32, true, "Mix"},
        // Bytes equal to one guard pattern are told apart by the other.
        {"guard-like bytes",
         [](char* b) {
             std::memset(b, 0xA5, 10);
             std::memset(b + 10, 0x5A, 10);
             b[20] = 0;
         },
         21, true, nullptr},
        {"no terminator", [](char* b) { std::memset(b, 'x', 12); }, 12, false, nullptr},
    };
    for (const auto& c : cases) {
        const TextWrite written = measureTextWrite(c.query, 64);
        EXPECT_EQ(written.extent, c.extent) << c.what;
        EXPECT_EQ(written.terminated, c.terminated) << c.what;
        if (c.text) {
            EXPECT_EQ(written.text, c.text) << c.what;
        }
    }
}

// ---- The audio bus's buffer checks, on faulty_plugin.dll in this process ----

class FaultyModule : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(module.load(besideThisProgram("faulty_plugin.dll"), error)) << error;
    }
    void TearDown() override { SetEnvironmentVariableA("FAULTY_PLUGIN_MODE", nullptr); }
    PluginModule module;
};

TEST_F(FaultyModule, AudioBusCatchesWhatTheProcessingCallDoesToItsBuffers) {
    const struct {
        const char* mode;
        ProcessMode processMode;
        int frames;
        const char* failure; // "" when the call keeps every rule
    } cases[] = {
        {"", ProcessMode::Replacing, 7, ""},
        {"", ProcessMode::AccumulateZero, 7, ""},
        {"", ProcessMode::ReplacingInPlace, 7, ""},
        {"", ProcessMode::Replacing, 0, ""},
        {"writes-past-block", ProcessMode::Replacing, 7,
         "wrote past the end of a 7-frame block "
         "(output 0, frame 7)"},
        {"writes-past-block", ProcessMode::Replacing, 8, ""},
        {"writes-past-block", ProcessMode::Replacing, 1, "wrote past the end of a 1-frame block"},
        {"unwritten-output", ProcessMode::Replacing, 5,
         "left 1 of 5 samples of output 0 unwritten in the replacing call"},
        {"unwritten-output", ProcessMode::AccumulateZero, 5, ""},
        // The signal starts at zero, and so does the output written over it: frame 0 is unchanged.
        {"writes-input", ProcessMode::Replacing, 5,
         "changed its input buffer (input 0, frame 1 of a 5-frame block)"},
        {"writes-input", ProcessMode::AccumulateZero, 64, "changed its input buffer"},
        {"writes-input", ProcessMode::ReplacingInPlace, 5, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + std::to_string(c.frames));
        SetEnvironmentVariableA("FAULTY_PLUGIN_MODE", c.mode);
        TestContext context(module, 10, 1);
        std::unique_ptr<Plug> plug = Plug::create(context);
        ASSERT_TRUE(plug);
        plug->start(44100.0, 64);
        AudioBus bus(plug->inputs(), plug->outputs(), 64);
        const Signal input = guitarSignal(2, 64, 44100.0, 3);
        Signal output;
        const bool kept = bus.process(context, *plug, c.processMode, input, 0, c.frames, output);
        const std::vector<std::string> failures = context.failures();
        if (*c.failure == 0) {
            EXPECT_TRUE(kept);
            EXPECT_TRUE(failures.empty()) << failures.front();
        } else {
            EXPECT_FALSE(kept);
            ASSERT_EQ(failures.size(), 1u);
            EXPECT_NE(failures[0].find(c.failure), std::string::npos) << failures[0];
        }
        ASSERT_EQ(output.size(), 2u);
        EXPECT_EQ(output[0].size(), static_cast<std::size_t>(c.frames));
        const OutputStats stats = bus.lastStats();
        EXPECT_EQ(stats.samples, 2u * c.frames);
        EXPECT_EQ(context.outputs().samples, stats.samples);
    }
}

TEST_F(FaultyModule, ACrashOnATestThreadIsRecordedAndTheThreadEnds) {
    installCrashFilter();
    SetEnvironmentVariableA("FAULTY_PLUGIN_MODE", "crash");
    TestContext context(module, 10, 1);
    bool passedTheCrash = false;
    const KernelHandle thread = startTestThread(&context, "test", [&] {
        std::unique_ptr<Plug> plug = Plug::create(context);
        plug->dispatch(effSetProgram, 0, 9); // one past the last program
        passedTheCrash = true;
    });
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
    EXPECT_FALSE(passedTheCrash);
    ASSERT_TRUE(context.crashed());
    EXPECT_TRUE(context.stopping());
    EXPECT_EQ(context.liveThreads.load(), 0);
    const CrashRecord crash = context.crash();
    EXPECT_EQ(crash.code, static_cast<unsigned long>(EXCEPTION_ACCESS_VIOLATION));
    EXPECT_EQ(crash.accessKind, 1); // writing
    EXPECT_LT(crash.accessAddress, 0x100u);
    EXPECT_STREQ(crash.threadName, "test");
    EXPECT_EQ(kel::win32::moduleContaining(crash.address), GetModuleHandleA("faulty_plugin.dll"));
}

// ---- The whole validator on each fault ----

struct ValidatorRun {
    int exitCode = -1;
    std::vector<std::string> lines;
    double seconds = 0.0;
};

const std::string kFaultyPlugin = "\"" + besideThisProgram("faulty_plugin.dll") + "\"";

// kelhost.exe with the arguments, the faulty plug-in in the given mode; stdout and stderr
// together.
ValidatorRun runKelhost(const char* mode, const std::string& arguments) {
    ChildProcess kelhost("kelhost.exe", arguments, {"FAULTY_PLUGIN_MODE", mode, true});
    ValidatorRun run;
    run.exitCode = kelhost.finish(180000);
    run.seconds = kelhost.seconds();
    run.lines = kelhost.lines();
    return run;
}

// The test names of the lines that start with prefix ("PASS ", "FAIL ", "SKIP ").
std::set<std::string> testsWith(const ValidatorRun& run, const std::string& prefix) {
    std::set<std::string> names;
    for (const std::string& line : run.lines) {
        if (line.compare(0, prefix.size(), prefix) == 0) {
            names.insert(line.substr(prefix.size(), line.find(':') - prefix.size()));
        }
    }
    return names;
}

std::string lineOf(const ValidatorRun& run, const std::string& start) {
    for (const std::string& line : run.lines) {
        if (line.compare(0, start.size(), start) == 0) {
            return line;
        }
    }
    return "";
}

std::string allLines(const ValidatorRun& run) {
    std::string text;
    for (const std::string& line : run.lines) {
        text += line + "\n";
    }
    return text;
}

TEST(ValidatorRuns, EachFaultFailsItsTestAndOnlyThat) {
    // Each fault runs at the level of the test it concerns, so the run stays short; the clean
    // module and the rate race run every level.
    const struct {
        const char* mode;
        int strictness;
        const char* options;
        std::vector<std::string> failing; // in the order they run
        const char* message;              // in the output: a FAIL line or a detail line
        bool endsEarly;                   // two timeouts: the tests left are skipped
        const char* notInFailLines = "";  // what no FAIL line may say
    } cases[] = {
        {"", 10, "", {}, "", false},
        {"text-overrun",
         8,
         "",
         {"text-buffers"},
         "FAIL text-buffers: effGetParamName(1) wrote 40 bytes where 8 are conventional and 32 "
         "tolerated: \"Cutoff frequency of the low-pass filter\"",
         false},
        // Below level 8 the same overrun is only noted.
        {"text-overrun",
         7,
         "",
         {},
         "  effGetParamName(1) wrote 40 bytes, 32 past the conventional 8",
         false},
        {"hostile-nan",
         3,
         "",
         {"hostile-parameter-values"},
         "FAIL hostile-parameter-values: after setParameter(0, nan) the output went non-finite",
         false},
        {"partition", 4, "", {"block-partitions"}, "FAIL block-partitions: the output in ", false},
        {"accumulate-replaces",
         4,
         "",
         {"accumulating-and-replacing"},
         "FAIL accumulating-and-replacing: process onto non-zero outputs did not add to them (it "
         "replaced them)",
         false},
        {"crash",
         2,
         "",
         {"programs"},
         "FAIL programs: crashed on the test thread: access violation writing address 0x17 in "
         "faulty_plugin.dll+0x",
         false},
        {"hang-process",
         3,
         "--timeout 5",
         {"block-sizes"},
         "FAIL block-sizes: timed out after 5 s",
         false},
        // The hung ninth instance's eight take every slot of the pool: the next test hangs too.
        {"hang-open",
         6,
         "--timeout 5",
         {"many-instances", "silence-and-decay-cost"},
         "FAIL many-instances: timed out after 5 s",
         true},
        {"silence-stall",
         6,
         "",
         {"silence-and-decay-cost"},
         "FAIL silence-and-decay-cost: the decaying tail costs ",
         false},
        {"rate-race",
         10,
         "",
         {"rate-change-while-processing"},
         "FAIL rate-change-while-processing: ",
         false,
         ": 0 non-finite samples"},
    };
    for (const auto& c : cases) {
        const std::string options =
            std::string(c.options) + " --strictness " + std::to_string(c.strictness);
        SCOPED_TRACE(std::string("mode \"") + c.mode + "\" " + options);
        const ValidatorRun run = runKelhost(c.mode, "validate " + kFaultyPlugin + " " + options);
        const std::string text = allLines(run);
        ASSERT_FALSE(run.lines.empty());
        EXPECT_EQ(run.exitCode, c.failing.empty() ? 0 : 1) << text;

        std::set<std::string> enabled, ran;
        std::vector<std::string> order;
        for (const ValidatorTest& test : validatorTests()) {
            if (test.level <= c.strictness) {
                enabled.insert(test.name);
                order.push_back(test.name);
            }
        }
        const std::set<std::string> failed = testsWith(run, "FAIL ");
        const std::set<std::string> passed = testsWith(run, "PASS ");
        const std::set<std::string> skipped = testsWith(run, "SKIP ");
        EXPECT_EQ(failed, std::set<std::string>(c.failing.begin(), c.failing.end())) << text;
        std::set<std::string> expectedSkips;
        if (c.endsEarly) {
            const auto last = std::find(order.begin(), order.end(), c.failing.back());
            expectedSkips.insert(last + 1, order.end());
        }
        EXPECT_EQ(skipped, expectedSkips) << text;
        std::set<std::string> expectedPasses;
        for (const std::string& name : enabled) {
            if (!failed.count(name) && !expectedSkips.count(name)) {
                expectedPasses.insert(name);
            }
        }
        EXPECT_EQ(passed, expectedPasses) << text;
        for (const std::string& name : order) {
            if (!expectedSkips.count(name)) {
                EXPECT_FALSE(lineOf(run, "RUN " + name).empty()) << name << "\n" << text;
            }
        }
        if (*c.message) {
            EXPECT_NE(text.find(c.message), std::string::npos) << text;
        }
        for (const std::string& line : run.lines) {
            if (*c.notInFailLines && line.compare(0, 5, "FAIL ") == 0) {
                EXPECT_EQ(line.find(c.notInFailLines), std::string::npos) << line;
            }
        }
        char summary[64];
        std::snprintf(summary, sizeof(summary), "%zu passed, %zu failed", expectedPasses.size(),
                      c.failing.size());
        std::string expectedSummary = summary;
        if (!expectedSkips.empty()) {
            expectedSummary += ", " + std::to_string(expectedSkips.size()) + " skipped";
        }
        EXPECT_EQ(run.lines.back(), expectedSummary) << text;
    }
}

TEST(ValidatorRuns, BadOptionsAndMissingModulesEndWithAReason) {
    const struct {
        std::string arguments;
        const char* message;
    } cases[] = {
        {"validate " + kFaultyPlugin + " --strictness 0",
         "kelhost: --strictness wants a level from 1 to 10, got \"0\""},
        {"validate " + kFaultyPlugin + " --strictness 11",
         "kelhost: --strictness wants a level from 1 to 10, got \"11\""},
        {"validate " + kFaultyPlugin + " --strictness high",
         "kelhost: --strictness wants a level from 1 to 10"},
        {"validate " + kFaultyPlugin + " --seed -4",
         "kelhost: --seed wants a whole number from 0 up, got \"-4\""},
        {"validate " + kFaultyPlugin + " --timeout 0", "kelhost: --timeout wants a time above 0"},
        // A module that cannot be loaded is one failed test.
        {"validate Z:\\no\\such\\plugin.dll", "FAIL load: cannot load Z:\\no\\such\\plugin.dll"},
    };
    for (const auto& c : cases) {
        const ValidatorRun run = runKelhost("", c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.arguments;
        EXPECT_NE(allLines(run).find(c.message), std::string::npos) << allLines(run);
    }
    const ValidatorRun missing = runKelhost("", "validate Z:\\no\\such\\plugin.dll");
    ASSERT_FALSE(missing.lines.empty());
    EXPECT_EQ(missing.lines.back(), "0 passed, 1 failed");
    // The usage text lists every test under its level.
    const ValidatorRun help = runKelhost("", "--help");
    EXPECT_EQ(help.exitCode, 0);
    const std::string usage = allLines(help);
    for (const ValidatorTest& test : validatorTests()) {
        const std::string entry = "  " + std::string(test.name) + ": ";
        const std::size_t at = usage.find(entry);
        ASSERT_NE(at, std::string::npos) << test.name;
        const std::size_t level = usage.rfind("        " + std::to_string(test.level) + ":\n", at);
        EXPECT_NE(level, std::string::npos) << test.name;
        for (int other = test.level + 1; other <= kMaxStrictness && level != std::string::npos;
             ++other) {
            const std::size_t later = usage.rfind("        " + std::to_string(other) + ":\n", at);
            EXPECT_TRUE(later == std::string::npos || later < level) << test.name;
        }
    }
}

} // namespace

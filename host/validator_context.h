// One validator test's verdict in the making: the context its threads share, with the seed it
// draws from and the counts of what its processing calls put out.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "host/plugin_module.h"
#include "host/random.h"

namespace kel::host {

// A seed for one test: the run's seed mixed with the test's name, so that a test draws the same
// numbers whichever tests run before it.
std::uint64_t testSeed(std::uint32_t runSeed, const std::string& testName);

// What a run of output samples held.
struct OutputStats {
    std::uint64_t samples = 0;
    std::uint64_t nonFinite = 0;       // NaN or infinite
    std::uint64_t subnormal = 0;       // nonzero and below the smallest normal float
    std::uint64_t blocks = 0;          // processing calls counted
    std::uint64_t nonFiniteBlocks = 0; // calls with at least one non-finite sample
    float peak = 0.0f;                 // largest finite magnitude

    void add(const OutputStats& other);
};

// Counts the samples of one channel of one call (blocks stays 0: the caller counts calls).
OutputStats scanSamples(const float* samples, std::size_t count);

// Largest output magnitude the tests accept: 40 dB above full scale. Every test feeds signals
// within ±1, so a larger output is a fault even for a plug-in that boosts.
constexpr float kOutputBound = 100.0f;

// A crash the exception filter took a test thread out of.
struct CrashRecord {
    unsigned long code = 0;
    const void* address = nullptr;
    int accessKind = -1; // access violations: 0 read, 1 write, 8 execute
    std::uintptr_t accessAddress = 0;
    const char* threadName = "";
};

// One test's verdict in the making, shared by the test's threads. fail() and note() may be called
// from any of them.
class TestContext {
public:
    TestContext(const PluginModule& pluginModule, int level, std::uint64_t testSeed)
        : module(pluginModule), strictness(level), rng(testSeed), seed(testSeed) {}
    TestContext(const TestContext&) = delete;
    TestContext& operator=(const TestContext&) = delete;

    const PluginModule& module;
    const int strictness;
    Rng rng; // the test's main thread only; other threads make their own from `seed`
    const std::uint64_t seed;

    void fail(const std::string& what);
    void note(const std::string& what);
    std::vector<std::string> failures() const;
    std::vector<std::string> notes() const;
    bool failed() const;

    // Every processing call of the test adds what its outputs held. A test that reports
    // non-finite output itself (with more to say than a count) calls outputsJudged().
    void countOutput(const OutputStats& stats);
    OutputStats outputs() const;
    void outputsJudged() { judged = true; }
    bool outputsWereJudged() const { return judged; }

    // Set when a thread of the test crashed or the test ran out of time: long loops end early.
    bool stopping() const { return stop.load(); }
    void requestStop() { stop = true; }

    // Called by the exception filter on the crashed thread; must not allocate.
    void recordCrash(const CrashRecord& record);
    bool crashed() const { return crashFlag.load(); }
    CrashRecord crash() const { return crashRecord; }

    // Test threads still running (the test's main thread among them).
    std::atomic<int> liveThreads{0};

private:
    mutable std::mutex lock;
    std::vector<std::string> failureList, noteList;
    OutputStats outputTotals;
    bool judged = false;
    std::atomic<bool> stop{false};
    std::atomic<bool> crashFlag{false};
    CrashRecord crashRecord;
};

} // namespace kel::host

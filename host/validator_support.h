// What the validator's tests are built from: the test context that collects their verdicts, plug-in
// instances and audio buses for them, test signals, guarded text queries, threads that a crash
// inside the plug-in can be taken out of, and a top-level window for the plug-in's editor.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/plugin_module.h"
#include "ui/win32_handles.h"

namespace kel::host {

// Deterministic pseudo-random numbers (splitmix64): the same seed gives the same fuzz values and
// partitions on every machine and in both bitnesses.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state(seed) {}
    std::uint64_t next();
    double uniform();             // [0, 1)
    int below(int count);         // 0 .. count-1; 0 when count <= 0
    int range(int low, int high); // low .. high, both included
    float value() { return static_cast<float>(uniform()); }

private:
    std::uint64_t state;
};

// A seed for one test: the run's seed mixed with the test's name, so that a test draws the same
// numbers whichever tests run before it.
std::uint64_t testSeed(std::uint32_t runSeed, const std::string& testName);

// Random block sizes from minBlock to maxBlock adding up to total.
std::vector<int> randomPartition(Rng& rng, int total, int minBlock, int maxBlock);

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

// What a text query wrote into a buffer filled with a guard pattern.
struct TextWrite {
    std::size_t extent = 0; // bytes from the start to the last byte written, both included
    bool terminated = false;
    std::string text; // up to the terminator (or the whole buffer when there is none)
};

// Runs the query twice, into a buffer of bufferSize bytes filled with 0xA5 and then with 0x5A,
// and reports the larger extent: a byte the plug-in wrote that happens to equal one pattern
// differs from the other.
TextWrite measureTextWrite(const std::function<void(char*)>& query, std::size_t bufferSize);

// Planar audio: one vector per channel.
using Signal = std::vector<std::vector<float>>;

// A guitar-like signal: plucked notes (six decaying partials, a new note every 0.4 s, notes
// from the seed) at up to ±0.8, the channels slightly detuned from each other.
Signal guitarSignal(int channels, std::size_t frames, double rate, std::uint64_t seed);

// Whether two signals hold the same bits, and where they first differ when they do not.
struct SignalDifference {
    bool same = true;
    int channel = 0;
    std::size_t frame = 0;
    float expected = 0.0f, actual = 0.0f;
};
SignalDifference compareSignals(const Signal& expected, const Signal& actual);

class TestContext;

// Runs body on a thread of its own that the validator can take out again when the plug-in
// crashes on it (the thread ends; the context records the crash and asks the test to stop).
class TestThread {
public:
    TestThread(TestContext& context, const char* name, std::function<void()> body);
    ~TestThread() { join(); }
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;

    void join();

private:
    ui::KernelHandle handle;
};

// Takes over the process's last-chance exception filter: an unhandled exception on a test thread
// is recorded in its context and the thread ends; on any other thread it goes on as before.
void installCrashFilter();

// Starts body on a new test thread; returns the thread's handle, empty on failure.
ui::KernelHandle startTestThread(TestContext* context, const char* name,
                                 std::function<void()> body);

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

// An effect instance created for a test: checked, opened with effOpen and closed with effClose
// when it goes, unless a crash made the test give it up.
class Plug : public PluginInstance {
public:
    // nullptr (and a failure in the context) when the plug-in creates no usable effect.
    static std::unique_ptr<Plug> create(TestContext& context);
    ~Plug();

    // Suspends, tells the rate and the largest block, resumes.
    void start(double rate, int maxBlock);
    void suspend() { dispatch(effMainsChanged, 0, 0); }
    void resume() { dispatch(effMainsChanged, 0, 1); }

    int inputs() const { return effect()->numInputs; }
    int outputs() const { return effect()->numOutputs; }
    int parameters() const { return effect()->numParams; }
    int programs() const { return effect()->numPrograms; }
    bool hasReplacing() const;
    bool hasAccumulating() const { return effect()->process != nullptr; }
    bool hasEditor() const { return (effect()->flags & effFlagsHasEditor) != 0; }

private:
    Plug(TestContext& owner, AEffect* effect) : PluginInstance(effect), context(owner) {}
    TestContext& context;
};

// How render() hands the outputs over.
enum class ProcessMode {
    Replacing,       // processReplacing into outputs filled with a guard value
    AccumulateZero,  // process (accumulating) into zeroed outputs
    AccumulateOnto,  // process into outputs holding `onto`; render returns the sums
    ReplacingInPlace // processReplacing with each output the same buffer as its input
};

// Audio buffers for one instance: every channel has room for maxBlock frames and a guard tail.
class AudioBus {
public:
    AudioBus(int inputs, int outputs, int maxBlock);

    // Processes frames frames of input, starting at `at`, into output (resized as needed) at
    // the same place. Checks that the plug-in wrote nothing past the block's end and, unless in
    // place, left its inputs alone; counts the outputs into the context. false when the call
    // broke a buffer rule (the context has the failure).
    bool process(TestContext& context, Plug& plug, ProcessMode mode, const Signal& input,
                 std::size_t at, int frames, Signal& output, const Signal* onto = nullptr);

    // The counts of the last call.
    const OutputStats& lastStats() const { return last; }

private:
    int maxBlock;
    std::vector<std::vector<float>> in, out;
    std::vector<float*> inPointers, outPointers;
    OutputStats last;
    bool reportedGuard = false, reportedInput = false;
};

// Runs the whole input through the instance in blocks of the partition and returns the output.
Signal render(TestContext& context, Plug& plug, ProcessMode mode, const Signal& input,
              const std::vector<int>& partition, const Signal* onto = nullptr);

// A visible top-level window of the test's main thread that shows the plug-in's editor.
class EditorHost {
public:
    EditorHost(TestContext& owner, Plug& instance) : context(owner), plug(instance) {}
    ~EditorHost();
    EditorHost(const EditorHost&) = delete;
    EditorHost& operator=(const EditorHost&) = delete;

    // Creates the window (if not yet there) and opens the editor in it; false with a failure
    // in the context when either does not happen.
    bool open();
    // Pumps the window's messages and idles the editor about every 30 ms for `seconds`.
    void idle(double seconds);
    void close();
    // The instance was closed with the editor open: the editor is gone with it.
    void forgetEditor() { editorOpen = false; }
    void destroyWindow();
    bool isOpen() const { return editorOpen; }

private:
    TestContext& context;
    Plug& plug;
    void* window = nullptr;
    bool editorOpen = false;
};

// Seconds on a monotonic clock.
double nowSeconds();

// "%.6g" of a number (digits: 9 tells every float apart), "nan" and "inf" spelled the same on
// every runtime.
std::string floatText(double value, int digits = 6);

} // namespace kel::host

// How the validator's tests drive a plug-in: instances made and checked for a test, audio buffers
// that catch a processing call breaking the buffer rules, and the settings, signals and block
// partitions the tests share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/plugin_module.h"
#include "host/random.h"
#include "host/test_signal.h"
#include "host/validator_context.h"

namespace kel::host {

// The sample rates the tests run at, Hz.
constexpr double kTestRates[] = {22050.0, 44100.0, 48000.0, 88200.0, 96000.0, 192000.0};

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

// Random block sizes from minBlock to maxBlock adding up to total.
std::vector<int> randomPartition(Rng& rng, int total, int minBlock, int maxBlock);

// Block sizes as hosts pick them under automation and loops: mostly small, some large.
std::vector<int> mixedPartition(Rng& rng, int total);

// A program and the parameter values set after it.
struct Settings {
    int program = -1;          // -1: leave the program as it is
    std::vector<float> values; // one per parameter; empty: leave the parameters as they are
};

// A program drawn from the plug-in's programs and a value drawn for every parameter.
Settings randomSettings(Rng& rng, const Plug& plug);
// Selects the program, then sets the parameters.
void apply(const Plug& plug, const Settings& settings);

// The replacing call when the plug-in has one, else the accumulating call into zeros.
ProcessMode defaultMode(const Plug& plug);

// Whole frames of `seconds` at `rate`.
std::size_t framesOf(double seconds, double rate);

// The guitar-like signal with a channel for each of the plug-in's inputs (at least one).
Signal guitarFor(const Plug& plug, std::size_t frames, double rate, std::uint64_t seed);

} // namespace kel::host

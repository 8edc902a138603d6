#include "host/plugin_workload.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

#include "host/test_signal.h"
#include "win32/clock.h"

namespace kel::host {

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlockFrames = 512;
constexpr std::size_t kSignalFrames = 1 << 17; // about 3 s, played in a loop

// Triangle from 0 to 1 and back, period in seconds.
float sweep(double seconds, double period) {
    const double phase = std::fmod(seconds / period, 1.0);
    return static_cast<float>(phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase);
}

} // namespace

PluginWorkload::PluginWorkload(const PluginInstance& instance, bool audio, bool automation)
    : plugin(instance) {
    if (audio) {
        audioThread = std::thread(&PluginWorkload::processAudio, this);
    }
    if (automation) {
        automationThread = std::thread(&PluginWorkload::automate, this);
    }
}

void PluginWorkload::stop() {
    running = false;
    if (audioThread.joinable()) {
        audioThread.join();
    }
    if (automationThread.joinable()) {
        automationThread.join();
    }
}

void PluginWorkload::processAudio() {
    AEffect* record = plugin.effect();
    // At least a stereo pair each way, more if the plug-in declares more pins.
    const std::size_t ins = static_cast<std::size_t>(std::max(record->numInputs, 2));
    const std::size_t outs = static_cast<std::size_t>(std::max(record->numOutputs, 2));
    std::vector<std::vector<float>> inputBuffers(ins, std::vector<float>(kBlockFrames));
    std::vector<std::vector<float>> outputBuffers(outs, std::vector<float>(kBlockFrames));
    std::vector<float*> inputs, outputs;
    for (auto& buffer : inputBuffers) {
        inputs.push_back(buffer.data());
    }
    for (auto& buffer : outputBuffers) {
        outputs.push_back(buffer.data());
    }
    const bool replacing = (record->flags & effFlagsCanReplacing) && record->processReplacing;
    const std::vector<float> guitar = guitarSignal(1, kSignalFrames, kRate, 1)[0];
    std::size_t at = 0;
    using Clock = std::chrono::steady_clock;
    const auto blockTime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(kBlockFrames / kRate));
    auto due = Clock::now();
    while (running) {
        for (auto& buffer : inputBuffers) {
            std::copy_n(guitar.begin() + static_cast<std::ptrdiff_t>(at), kBlockFrames,
                        buffer.begin());
        }
        at = (at + kBlockFrames) % (kSignalFrames - kBlockFrames);
        if (replacing) {
            record->processReplacing(record, inputs.data(), outputs.data(), kBlockFrames);
        } else if (record->process) {
            for (auto& buffer : outputBuffers) {
                std::fill(buffer.begin(), buffer.end(), 0.0f);
            }
            record->process(record, inputs.data(), outputs.data(), kBlockFrames);
        }
        ++blocks;
        due += blockTime;
        const auto now = Clock::now();
        if (due < now - 8 * blockTime) {
            // Far behind (a busy machine): carry on at pace instead of rushing to catch up.
            due = now;
        }
        std::this_thread::sleep_until(due);
    }
}

void PluginWorkload::automate() {
    AEffect* record = plugin.effect();
    const VstInt32 count = record->numParams;
    if (count <= 0) {
        return;
    }
    // Parameters 1 to 3 sweep over a few seconds each; parameter 0 (our plug-ins' on/off
    // switch) flips about every half second.
    const VstInt32 swept = std::min<VstInt32>(count - 1, 3);
    const double start = win32::secondsNow();
    for (std::uint64_t tick = 0; running; ++tick) {
        const double seconds = win32::secondsNow() - start;
        if (swept == 0 || tick % 500 == 0) {
            record->setParameter(record, 0, static_cast<float>((tick / 500) % 2));
        } else {
            const VstInt32 index = 1 + static_cast<VstInt32>(tick % swept);
            record->setParameter(record, index, sweep(seconds, 2.0 + index));
        }
        ++changes;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace kel::host

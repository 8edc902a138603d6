#include "host/plugin_workload.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace kel::host {

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlockFrames = 512;

// A plucked string: six harmonics, the higher ones dying faster, a new note every 0.6 s over
// the open strings of a guitar.
class PluckedString {
public:
    float next() {
        static const double kNotes[] = {82.41, 110.0, 146.83, 196.0, 246.94, 329.63}; // Hz
        constexpr std::uint64_t kNoteFrames = static_cast<std::uint64_t>(0.6 * kRate);
        const double f = kNotes[(frame / kNoteFrames) % 6];
        const double t = static_cast<double>(frame % kNoteFrames) / kRate; // s into the note
        double sum = 0.0;
        for (int h = 1; h <= 6; ++h) {
            sum += std::sin(2 * M_PI * f * h * t) / h * std::exp(-t * (2.0 + h));
        }
        ++frame;
        return static_cast<float>(0.4 * sum);
    }

private:
    std::uint64_t frame = 0;
};

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
    PluckedString guitar;
    using Clock = std::chrono::steady_clock;
    const auto blockTime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(kBlockFrames / kRate));
    auto due = Clock::now();
    while (running) {
        for (int i = 0; i < kBlockFrames; ++i) {
            const float sample = guitar.next();
            for (auto& buffer : inputBuffers) {
                buffer[static_cast<std::size_t>(i)] = sample;
            }
        }
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
    const auto start = std::chrono::steady_clock::now();
    for (std::uint64_t tick = 0; running; ++tick) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
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

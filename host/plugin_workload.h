// What a host does to a plug-in on threads of its own while the plug-in's editor is open:
// real-time audio processing and parameter automation.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "host/plugin_module.h"

namespace kel::host {

class PluginWorkload {
public:
    // Starts the audio thread (stereo blocks of 512 frames of the guitar-like test signal at
    // about the pace of 44.1 kHz) and the automation thread (a parameter change about every
    // millisecond) as asked. The instance must be resumed and must outlive the workload.
    PluginWorkload(const PluginInstance& plugin, bool audio, bool automate);
    ~PluginWorkload() { stop(); }
    PluginWorkload(const PluginWorkload&) = delete;
    PluginWorkload& operator=(const PluginWorkload&) = delete;

    // Ends both threads and waits for them; no call into the plug-in follows.
    void stop();
    std::uint64_t blocksProcessed() const { return blocks.load(); }
    std::uint64_t parameterChanges() const { return changes.load(); }

private:
    void processAudio();
    void automate();

    const PluginInstance& plugin;
    std::atomic<bool> running{true};
    std::atomic<std::uint64_t> blocks{0};
    std::atomic<std::uint64_t> changes{0};
    std::thread audioThread;
    std::thread automationThread;
};

} // namespace kel::host

// The host side of the VST 2.x callback: what our host answers and what it records.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "shell/vst_interface.h"

namespace kel::host {

struct HostIdentity {
    VstIntPtr versionAnswer = 2400; // 0 plays a host too old for any plug-in
    std::string vendor = "Sonadrix";
    std::string product = "Sonadrix Host";
};

// One call from a plug-in that a host must react to (automation, edit gestures, idle).
struct HostEvent {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    float value;
};

// The most events kept; a long editor session with automation would otherwise grow without end.
constexpr std::size_t kMaxHostEvents = 4096;

// Process-wide state of the host callback. Plug-ins may call back from any thread (automation
// from their editor's thread or from whichever thread set a parameter), so the callback changes
// this state only under its lock. The identity is set before a plug-in is loaded and only read
// afterwards.
struct HostState {
    HostIdentity identity;
    std::vector<HostEvent> events; // the most recent events, oldest first
    std::size_t droppedEvents = 0; // older events let go to keep `events` within kMaxHostEvents
    int versionQueries = 0;
    bool logEvents = false; // also write automation and edit gestures to stdout, one line each
};

HostState& hostState();

// A copy of the recorded events, taken under the callback's lock (safe while plug-in threads run).
std::vector<HostEvent> recordedEvents();

// Writes one line to stdout and flushes it at once, under the lock the callback logs with, so
// that lines from different threads never mix and a reader sees each line as it happens.
void hostLogLine(const std::string& line);

VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                   VstIntPtr value, void* ptr, float opt);

} // namespace kel::host

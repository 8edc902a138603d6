// The host side of the VST 2.x callback: what our host answers and what it records.
#pragma once

#include <string>
#include <vector>

#include "shell/vst_interface.h"

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

// Process-wide state of the host callback; our host is single-threaded toward its plug-ins.
struct HostState {
    HostIdentity identity;
    std::vector<HostEvent> events;
    int versionQueries = 0;
};

HostState& hostState();

VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                   VstIntPtr value, void* ptr, float opt);

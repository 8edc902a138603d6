#include "host/host_callback.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace kel::host {

HostState& hostState() {
    static HostState state;
    return state;
}

namespace {

// Kept apart from HostState so that tests can still reset the state by assignment.
std::mutex& hostLock() {
    static std::mutex lock;
    return lock;
}

void copyHostText(void* ptr, const std::string& text) {
    if (!ptr) {
        return;
    }
    const std::size_t length =
        text.size() < kVstMaxVendorStrLen ? text.size() : kVstMaxVendorStrLen;
    std::memcpy(ptr, text.data(), length);
    static_cast<char*>(ptr)[length] = 0;
}

// Called with the lock held.
void record(HostState& state, const HostEvent& event) {
    if (state.events.size() >= kMaxHostEvents) {
        // Dropping the older half at once keeps the cost per event constant on average.
        const std::size_t drop = state.events.size() / 2;
        state.events.erase(state.events.begin(), state.events.begin() + drop);
        state.droppedEvents += drop;
    }
    state.events.push_back(event);
    if (!state.logEvents) {
        return;
    }
    switch (event.opcode) {
    case audioMasterAutomate:
        std::printf("automate %d %.6g\n", event.index, static_cast<double>(event.value));
        break;
    case audioMasterBeginEdit:
        std::printf("begin %d\n", event.index);
        break;
    case audioMasterEndEdit:
        std::printf("end %d\n", event.index);
        break;
    default:
        return;
    }
    std::fflush(stdout);
}

} // namespace

std::vector<HostEvent> recordedEvents() {
    std::lock_guard<std::mutex> guard(hostLock());
    return hostState().events;
}

void hostLogLine(const std::string& line) {
    std::lock_guard<std::mutex> guard(hostLock());
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr,
                                   void* ptr, float opt) {
    HostState& state = hostState();
    switch (opcode) {
    case audioMasterVersion: {
        std::lock_guard<std::mutex> guard(hostLock());
        ++state.versionQueries;
        return state.identity.versionAnswer;
    }
    case audioMasterGetVendorString:
        copyHostText(ptr, state.identity.vendor);
        return 1;
    case audioMasterGetProductString:
        copyHostText(ptr, state.identity.product);
        return 1;
    case audioMasterAutomate:
    case audioMasterIdle:
    case audioMasterBeginEdit:
    case audioMasterEndEdit: {
        std::lock_guard<std::mutex> guard(hostLock());
        record(state, {effect, opcode, index, opt});
        return 0;
    }
    default:
        return 0;
    }
}

} // namespace kel::host

#include "host/host_callback.h"

#include <cstring>

HostState& hostState() {
    static HostState state;
    return state;
}

namespace {

void copyHostText(void* ptr, const std::string& text) {
    if (!ptr) {
        return;
    }
    const std::size_t length =
        text.size() < kVstMaxVendorStrLen ? text.size() : kVstMaxVendorStrLen;
    std::memcpy(ptr, text.data(), length);
    static_cast<char*>(ptr)[length] = 0;
}

} // namespace

VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr,
                                   void* ptr, float opt) {
    HostState& state = hostState();
    switch (opcode) {
    case audioMasterVersion:
        ++state.versionQueries;
        return state.identity.versionAnswer;
    case audioMasterGetVendorString:
        copyHostText(ptr, state.identity.vendor);
        return 1;
    case audioMasterGetProductString:
        copyHostText(ptr, state.identity.product);
        return 1;
    case audioMasterAutomate:
    case audioMasterIdle:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        state.events.push_back({effect, opcode, index, opt});
        return 0;
    default:
        return 0;
    }
}

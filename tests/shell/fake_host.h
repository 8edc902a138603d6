// A host callback for unit tests: answers the version and identity queries and records the rest.
#pragma once

#include <string>
#include <vector>

#include "shell/vst_interface.h"

struct FakeHostCall {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    float opt;
};

struct FakeHost {
    static VstIntPtr versionAnswer;
    static std::string vendor;
    static std::string product;
    static std::vector<FakeHostCall> calls;

    // Back to a plain host: version 2400, vendor "Test Vendor", nothing recorded.
    static void reset();
    static VstIntPtr VSTCALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                         VstIntPtr value, void* ptr, float opt);
};

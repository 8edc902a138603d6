#include "tests/shell/fake_host.h"

#include <cstring>

VstIntPtr FakeHost::versionAnswer = 2400;
std::string FakeHost::vendor;
std::string FakeHost::product;
std::vector<FakeHostCall> FakeHost::calls;

void FakeHost::reset() {
    versionAnswer = 2400;
    vendor = "Test Vendor";
    product = "Test Host";
    calls.clear();
}

VstIntPtr VSTCALLBACK FakeHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                         VstIntPtr, void* ptr, float opt) {
    switch (opcode) {
    case audioMasterVersion:
        return versionAnswer;
    case audioMasterGetVendorString:
        std::strcpy(static_cast<char*>(ptr), vendor.c_str());
        return 1;
    case audioMasterGetProductString:
        std::strcpy(static_cast<char*>(ptr), product.c_str());
        return 1;
    default:
        calls.push_back({effect, opcode, index, opt});
        return 0;
    }
}

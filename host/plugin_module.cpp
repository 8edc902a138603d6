#include "host/plugin_module.h"

#include <windows.h>

#include "host/host_callback.h"

namespace kel::host {

PluginModule::~PluginModule() {
    if (module) {
        FreeLibrary(static_cast<HMODULE>(module));
    }
}

bool PluginModule::load(const std::string& path, std::string& error) {
    HMODULE handle = LoadLibraryA(path.c_str());
    if (!handle) {
        error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    auto found =
        reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(handle, "main")));
    if (!found) {
        FreeLibrary(handle);
        error = path + " has no entry point \"main\"";
        return false;
    }
    module = handle;
    entry = found;
    return true;
}

AEffect* PluginModule::createEffect() const {
    return entry ? entry(hostCallback) : nullptr;
}

VstIntPtr PluginInstance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt) const {
    return record ? record->dispatcher(record, opcode, index, value, ptr, opt) : 0;
}

std::string PluginInstance::text(VstInt32 opcode, VstInt32 index, VstIntPtr value) const {
    char buffer[512] = {};
    dispatch(opcode, index, value, buffer);
    buffer[sizeof(buffer) - 1] = 0;
    return buffer;
}

float PluginInstance::getParameter(VstInt32 index) const {
    return record ? record->getParameter(record, index) : 0.0f;
}

void PluginInstance::setParameter(VstInt32 index, float value) const {
    if (record) {
        record->setParameter(record, index, value);
    }
}

VstIntPtr PluginInstance::close() {
    if (!record) {
        return 0;
    }
    VstIntPtr result = dispatch(effClose);
    record = nullptr;
    return result;
}

} // namespace kel::host

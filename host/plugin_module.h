// A plug-in module loaded into our host, and the instances it creates.
#pragma once

#include <memory>
#include <string>

#include "shell/vst_interface.h"

namespace kel::host {

class PluginModule {
public:
    PluginModule() = default;
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // Loads the module and finds its entry point "main"; false with a reason when it cannot.
    bool load(const std::string& path, std::string& error);
    // Calls the entry point with our host callback; nullptr when the plug-in refuses.
    AEffect* createEffect() const;

private:
    using EntryPoint = AEffect*(VSTCALLBACK*)(HostCallback);
    void* module = nullptr;
    EntryPoint entry = nullptr;
};

// One effect instance, closed with effClose when the object goes.
class PluginInstance {
public:
    explicit PluginInstance(AEffect* effect) : record(effect) {}
    ~PluginInstance() { close(); }
    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    AEffect* effect() const { return record; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) const;
    // A text query with a generous buffer; the text the plug-in wrote, or "" when it wrote none.
    std::string text(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0) const;
    float getParameter(VstInt32 index) const;
    void setParameter(VstInt32 index, float value) const;
    // Returns what effClose answered; the instance is gone afterwards.
    VstIntPtr close();
    // Forgets the instance without closing it (it is left to whatever still uses it).
    void release() { record = nullptr; }

private:
    AEffect* record;
};

} // namespace kel::host

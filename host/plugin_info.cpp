#include "host/plugin_info.h"

#include <cstdio>
#include <cstring>

#include "host/json_writer.h"

namespace kel::host {

namespace {

// Capabilities hosts commonly ask about.
const char* const kCapabilities[] = {
    "plugAsChannelInsert",
    "plugAsSend",
    "2in2out",
    "1in2out",
    "2in1out",
    "receiveVstEvents",
    "sendVstEvents",
    "receiveVstMidiEvent",
    "offline",
    "bypass",
    "mixDryWet",
    "midiProgramNames",
};

struct FlagName {
    VstInt32 flag;
    const char* name;
};
const FlagName kFlagNames[] = {
    {effFlagsHasEditor, "HasEditor"},
    {effFlagsHasClip, "HasClip"},
    {effFlagsHasVu, "HasVu"},
    {effFlagsCanMono, "CanMono"},
    {effFlagsCanReplacing, "CanReplacing"},
    {effFlagsProgramChunks, "ProgramChunks"},
    {effFlagsIsSynth, "IsSynth"},
    {effFlagsNoSoundInStop, "NoSoundInStop"},
    {effFlagsExtIsAsync, "ExtIsAsync"},
    {effFlagsExtHasBuffer, "ExtHasBuffer"},
};

std::string flagNames(VstInt32 flags) {
    std::string names;
    for (const FlagName& entry : kFlagNames) {
        if (flags & entry.flag) {
            names += names.empty() ? "" : " ";
            names += entry.name;
        }
    }
    return names;
}

std::string hex(VstInt32 value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(value));
    return text;
}

PinInfoRow pinInfo(const PluginInstance& plugin, bool input, int index) {
    VstPinProperties properties{};
    PinInfoRow row{input, index, false, "", 0};
    row.present = plugin.dispatch(input ? effGetInputProperties : effGetOutputProperties, index, 0,
                                  &properties) != 0;
    properties.label[sizeof(properties.label) - 1] = 0;
    row.label = properties.label;
    row.flags = properties.flags;
    return row;
}

} // namespace

std::string fourCharText(VstInt32 code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<std::uint32_t>(code) >> shift) & 0xff);
        text += (c >= 0x20 && c < 0x7f) ? c : '?';
    }
    return text;
}

PluginInfo collectInfo(const PluginInstance& plugin) {
    PluginInfo info;
    info.record = *plugin.effect();
    info.effectName = plugin.text(effGetEffectName);
    info.vendor = plugin.text(effGetVendorString);
    info.product = plugin.text(effGetProductString);
    info.vendorVersion = plugin.dispatch(effGetVendorVersion);
    info.vstVersion = plugin.dispatch(effGetVstVersion);
    info.category = plugin.dispatch(effGetPlugCategory);
    info.currentProgram = plugin.dispatch(effGetProgram);

    for (int i = 0; i < info.record.numParams; ++i) {
        info.parameters.push_back({i, plugin.text(effGetParamName, i),
                                   plugin.text(effGetParamLabel, i),
                                   plugin.text(effGetParamDisplay, i), plugin.getParameter(i)});
    }
    for (int i = 0; i < info.record.numPrograms; ++i) {
        info.programs.push_back(plugin.text(effGetProgramNameIndexed, i));
    }
    for (int i = 0; i < info.record.numInputs; ++i) {
        info.pins.push_back(pinInfo(plugin, true, i));
    }
    for (int i = 0; i < info.record.numOutputs; ++i) {
        info.pins.push_back(pinInfo(plugin, false, i));
    }
    for (const char* capability : kCapabilities) {
        char text[64];
        std::snprintf(text, sizeof(text), "%s", capability);
        info.canDo.push_back({capability, plugin.dispatch(effCanDo, 0, 0, text)});
    }
    ERect* rect = nullptr;
    if (plugin.dispatch(effEditGetRect, 0, 0, &rect) && rect) {
        info.hasRect = true;
        info.rect = *rect;
    }
    return info;
}

std::string formatInfoText(const PluginInfo& info) {
    const AEffect& r = info.record;
    std::string out;
    char line[512];
    auto add = [&](const char* format, auto... args) {
        std::snprintf(line, sizeof(line), format, args...);
        out += line;
    };
    add("Effect:        %s\n", info.effectName.c_str());
    add("Vendor:        %s\n", info.vendor.c_str());
    add("Product:       %s\n", info.product.c_str());
    add("Vendor ver.:   %ld\n", static_cast<long>(info.vendorVersion));
    add("VST version:   %ld\n", static_cast<long>(info.vstVersion));
    add("Category:      %ld\n", static_cast<long>(info.category));
    add("Unique ID:     %s (%s)\n", fourCharText(r.uniqueID).c_str(), hex(r.uniqueID).c_str());
    add("Version:       %d\n", r.version);
    add("Magic:         %s (%s)\n", fourCharText(r.magic).c_str(), hex(r.magic).c_str());
    add("Flags:         %s %s\n", hex(r.flags).c_str(), flagNames(r.flags).c_str());
    add("Programs:      %d\n", r.numPrograms);
    add("Parameters:    %d\n", r.numParams);
    add("Inputs:        %d\n", r.numInputs);
    add("Outputs:       %d\n", r.numOutputs);
    add("Initial delay: %d\n", r.initialDelay);
    add("ioRatio:       %g\n", static_cast<double>(r.ioRatio));
    add("\nParameters\n");
    for (const ParameterInfoRow& p : info.parameters) {
        add("  %d  %-10s label \"%s\"  display \"%s\"  value %.9g\n", p.index, p.name.c_str(),
            p.label.c_str(), p.display.c_str(), static_cast<double>(p.value));
    }
    add("\nPrograms (current %ld)\n", static_cast<long>(info.currentProgram));
    for (std::size_t i = 0; i < info.programs.size(); ++i) {
        add("  %zu  %s\n", i, info.programs[i].c_str());
    }
    add("\nPins\n");
    for (const PinInfoRow& pin : info.pins) {
        add("  %-6s %d  %s  \"%s\"  flags %d\n", pin.input ? "input" : "output", pin.index,
            pin.present ? "yes" : "no ", pin.label.c_str(), pin.flags);
    }
    add("\nCan do\n");
    for (const CanDoRow& row : info.canDo) {
        add("  %-20s %ld\n", row.capability.c_str(), static_cast<long>(row.answer));
    }
    if (info.hasRect) {
        add("\nEditor:        %d x %d (top %d, left %d, bottom %d, right %d)\n",
            info.rect.right - info.rect.left, info.rect.bottom - info.rect.top, info.rect.top,
            info.rect.left, info.rect.bottom, info.rect.right);
    } else {
        add("\nEditor:        none\n");
    }
    return out;
}

std::string formatInfoJson(const PluginInfo& info) {
    const AEffect& r = info.record;
    JsonWriter json;
    json.beginObject()
        .value("effectName", info.effectName)
        .value("vendor", info.vendor)
        .value("product", info.product)
        .value("vendorVersion", static_cast<long long>(info.vendorVersion))
        .value("vstVersion", static_cast<long long>(info.vstVersion))
        .value("category", static_cast<long long>(info.category))
        .value("uniqueID", fourCharText(r.uniqueID))
        .value("uniqueIDValue", static_cast<long long>(r.uniqueID))
        .value("version", r.version)
        .value("magic", fourCharText(r.magic))
        .value("flags", r.flags)
        .value("numPrograms", r.numPrograms)
        .value("numParams", r.numParams)
        .value("numInputs", r.numInputs)
        .value("numOutputs", r.numOutputs)
        .value("initialDelay", r.initialDelay)
        .value("ioRatio", static_cast<double>(r.ioRatio))
        .value("currentProgram", static_cast<long long>(info.currentProgram));
    json.beginArray("parameters");
    for (const ParameterInfoRow& p : info.parameters) {
        json.beginObject()
            .value("index", p.index)
            .value("name", p.name)
            .value("label", p.label)
            .value("display", p.display)
            .value("value", static_cast<double>(p.value))
            .endObject();
    }
    json.endArray().beginArray("programs");
    for (const std::string& name : info.programs) {
        json.value(nullptr, name);
    }
    json.endArray().beginArray("pins");
    for (const PinInfoRow& pin : info.pins) {
        json.beginObject()
            .value("direction", pin.input ? "input" : "output")
            .value("index", pin.index)
            .value("present", pin.present)
            .value("label", pin.label)
            .value("flags", pin.flags)
            .endObject();
    }
    json.endArray().beginObject("canDo");
    for (const CanDoRow& row : info.canDo) {
        json.value(row.capability.c_str(), static_cast<long long>(row.answer));
    }
    json.endObject();
    if (info.hasRect) {
        json.beginObject("editor")
            .value("top", info.rect.top)
            .value("left", info.rect.left)
            .value("bottom", info.rect.bottom)
            .value("right", info.rect.right)
            .endObject();
    }
    json.endObject();
    return json.str() + "\n";
}

} // namespace kel::host

#include "lv2/turtle.h"

#include <string>

#include "lv2/port_mapping.h"
#include "lv2/ports.h"
#include "model/parameters.h"

namespace kel::lv2 {

namespace {

constexpr const char* kPrefixes[][2] = {
    {"doap", "http://usefulinc.com/ns/doap#"},
    {"foaf", "http://xmlns.com/foaf/0.1/"},
    {"lv2", "http://lv2plug.in/ns/lv2core#"},
    {"pg", "http://lv2plug.in/ns/ext/port-groups#"},
    {"pset", "http://lv2plug.in/ns/ext/presets#"},
    {"rdfs", "http://www.w3.org/2000/01/rdf-schema#"},
    {"ui", "http://lv2plug.in/ns/extensions/ui#"},
    {"units", "http://lv2plug.in/ns/extensions/units#"},
};

std::string prefixes(std::initializer_list<const char*> names) {
    std::string text;
    for (const char* name : names) {
        for (const auto& prefix : kPrefixes) {
            if (std::string(prefix[0]) == name) {
                text += "@prefix " + std::string(prefix[0]) + ": <" + prefix[1] + "> .\n";
            }
        }
    }
    return text + "\n";
}

std::string iri(const std::string& text) {
    return "<" + text + ">";
}

// A Turtle string: quotes and backslashes escaped.
std::string quoted(const char* text) {
    std::string result = "\"";
    for (const char* c = text; *c; ++c) {
        if (*c == '"' || *c == '\\') {
            result += '\\';
        }
        result += *c;
    }
    return result + "\"";
}

const char* parameterName(const Lv2Plugin& plugin, int parameter) {
    const char* name = model::kParameterTable[parameter].name;
    return name ? name : plugin.description.toneParameterName;
}

const char* parameterComment(const Lv2Plugin& plugin, int parameter) {
    const char* comment = model::kParameterTable[parameter].comment;
    return comment ? comment : plugin.description.toneParameterComment;
}

// The LV2 unit of a parameter's unit as the editor shows it.
const char* unitOf(const char* unit) {
    const std::string text = unit ? unit : "";
    return text == "%" ? "units:pc" : (text == "dB" ? "units:db" : nullptr);
}

std::string controlPort(const Lv2Plugin& plugin, int parameter) {
    const model::ParameterInfo& info = model::kParameterTable[parameter];
    std::string text = "        a lv2:InputPort , lv2:ControlPort ;\n";
    text += "        lv2:index " + std::to_string(parameter) + " ;\n";
    text += "        lv2:symbol " + quoted(plugin.controlSymbols[parameter]) + " ;\n";
    text += "        lv2:name " + quoted(parameterName(plugin, parameter)) + " ;\n";
    text += "        rdfs:comment " + quoted(parameterComment(plugin, parameter)) + " ;\n";
    if (parameter == model::kEffectParameter) {
        // The host's enable switch; on, as every program of the VST 2.x build starts.
        text += "        lv2:designation lv2:enabled ;\n";
        text += "        lv2:portProperty lv2:toggled , lv2:integer ;\n";
        text += "        lv2:default 1 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1\n";
        return text;
    }
    text += "        lv2:portProperty lv2:integer ;\n";
    if (const char* unit = unitOf(info.unit)) {
        text += "        units:unit " + std::string(unit) + " ;\n";
    }
    text += "        lv2:default " +
            std::to_string(presetSetting(plugin.description, 0, parameter)) + " ;\n";
    text += "        lv2:minimum 0 ;\n";
    text += "        lv2:maximum " + std::to_string(info.span) + "\n";
    return text;
}

// The stereo pairs as port groups: the input and the output, each with its left and right.
std::string groupUri(const Lv2Plugin& plugin, bool input) {
    return std::string(plugin.uri) + (input ? "#in" : "#out");
}

std::string portGroups(const Lv2Plugin& plugin) {
    std::string text;
    for (bool input : {true, false}) {
        text += "\n" + iri(groupUri(plugin, input)) + "\n";
        text += input ? "    a pg:InputGroup , pg:StereoGroup ;\n"
                      : "    a pg:OutputGroup , pg:StereoGroup ;\n";
        text += input ? "    lv2:symbol \"in\" ;\n    rdfs:label \"Input\" .\n"
                      : "    lv2:symbol \"out\" ;\n    rdfs:label \"Output\" .\n";
    }
    return text;
}

std::string audioPort(const Lv2Plugin& plugin, std::uint32_t index) {
    const AudioPort& port = kAudioPorts[index - kInputLeftPort];
    std::string text = "        a lv2:AudioPort , ";
    text += port.input ? "lv2:InputPort ;\n" : "lv2:OutputPort ;\n";
    text += "        lv2:index " + std::to_string(index) + " ;\n";
    text += "        lv2:symbol " + quoted(port.symbol) + " ;\n";
    text += "        lv2:name " + quoted(port.name) + " ;\n";
    text += "        pg:group " + iri(groupUri(plugin, port.input)) + " ;\n";
    text += std::string("        lv2:designation ") + (port.left ? "pg:left" : "pg:right") + "\n";
    return text;
}

} // namespace

std::string manifestTurtle(const Lv2Plugin& plugin, const std::string& binaryFile,
                           const std::string& uiBinaryFile) {
    std::string text = prefixes({"lv2", "pset", "rdfs", "ui"});
    text += iri(plugin.uri) + "\n    a lv2:Plugin ;\n";
    text += "    lv2:binary " + iri(binaryFile) + " ;\n";
    text += "    ui:ui " + iri(uiUri(plugin)) + " ;\n";
    text += "    rdfs:seeAlso " + iri(kPluginFile) + " .\n";
    // The editor: an X11 window inside the host's, idled by the host, fixed in size; for hosts
    // that do not embed, a window of its own shown on request.
    text += "\n" + iri(uiUri(plugin)) + "\n    a ui:X11UI ;\n";
    text += "    ui:binary " + iri(uiBinaryFile) + " ;\n";
    text += "    lv2:requiredFeature ui:idleInterface ;\n";
    text += "    lv2:optionalFeature ui:parent , ui:resize , ui:touch , ui:noUserResize ;\n";
    text += "    lv2:extensionData ui:idleInterface , ui:showInterface .\n";
    for (int number = 0; number < model::kBuiltInCount; ++number) {
        text += "\n" + iri(presetUri(plugin, number)) + "\n    a pset:Preset ;\n";
        text += "    lv2:appliesTo " + iri(plugin.uri) + " ;\n";
        text += "    rdfs:seeAlso " + iri(kPresetsFile) + " .\n";
    }
    return text;
}

std::string pluginTurtle(const Lv2Plugin& plugin) {
    std::string text = prefixes({"doap", "foaf", "lv2", "pg", "rdfs", "units"});
    text += iri(kProjectUri) + "\n    a doap:Project ;\n";
    text += "    doap:name " + quoted(model::kProductName) + " ;\n";
    text += "    doap:license " + iri(kLicenseFile) + " ;\n";
    text += "    doap:maintainer [\n        foaf:name " + quoted(model::kVendorName) + " ;\n";
    text += "        foaf:homepage " + iri(model::kVendorHomepage) + " ;\n";
    text +=
        "        foaf:mbox " + iri(std::string("mailto:") + model::kVendorEmail) + "\n    ] .\n\n";
    text += iri(plugin.uri) + "\n    a lv2:Plugin , lv2:SimulatorPlugin ;\n";
    text += "    doap:name " + quoted(plugin.description.effectName) + " ;\n";
    text += "    rdfs:comment " + quoted(plugin.description.summary) + " ;\n";
    text += "    doap:license " + iri(kLicenseFile) + " ;\n";
    text += "    lv2:project " + iri(kProjectUri) + " ;\n";
    text += "    lv2:minorVersion " + std::to_string(kMinorVersion) + " ;\n";
    text += "    lv2:microVersion " + std::to_string(kMicroVersion) + " ;\n";
    text += "    lv2:optionalFeature lv2:hardRTCapable ;\n";
    text += "    pg:mainInput " + iri(groupUri(plugin, true)) + " ;\n";
    text += "    pg:mainOutput " + iri(groupUri(plugin, false)) + " ;\n";
    text += "    lv2:port [\n";
    for (std::uint32_t port = 0; port < kPortCount; ++port) {
        text += port < kInputLeftPort ? controlPort(plugin, static_cast<int>(port))
                                      : audioPort(plugin, port);
        text += port + 1 < kPortCount ? "    ] , [\n" : "    ] .\n";
    }
    return text + portGroups(plugin);
}

std::string presetsTurtle(const Lv2Plugin& plugin) {
    std::string text = prefixes({"lv2", "pset", "rdfs"});
    for (int number = 0; number < model::kBuiltInCount; ++number) {
        text += number > 0 ? "\n" : "";
        text += iri(presetUri(plugin, number)) + "\n    a pset:Preset ;\n";
        text += "    lv2:appliesTo " + iri(plugin.uri) + " ;\n";
        text += "    rdfs:label " + quoted(plugin.description.builtIns[number].name) + " ;\n";
        text += "    lv2:port [\n";
        for (int parameter = model::kGainParameter; parameter < model::kNumParameters;
             ++parameter) {
            text += "        lv2:symbol " + quoted(plugin.controlSymbols[parameter]) + " ;\n";
            // A decimal: hosts hand a preset's values to the ports as float atoms, and some
            // take no others.
            text += "        pset:value " +
                    std::to_string(presetSetting(plugin.description, number, parameter)) + ".0\n";
            text += parameter + 1 < model::kNumParameters ? "    ] , [\n" : "    ] .\n";
        }
    }
    return text;
}

} // namespace kel::lv2

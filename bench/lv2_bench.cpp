// Cost per stereo frame of an LV2 plug-in, timed the way kelhost bench times a VST 2.x plug-in:
// the same signals, blocks of 64 and 512 frames at 44.1 kHz, the fastest of the rounds, the clock
// measured alongside. So the figures of our LV2 bundles and our DLLs compare directly, and other
// LV2 plug-ins can be timed beside ours.
//
//   lv2_bench PLUGIN_URI [--seconds S]     (finds bundles through LV2_PATH, as hosts do)
//
// The plug-in runs with its control inputs at their defaults. A stereo plug-in gets the two
// channels; a mono one runs as two instances, one per channel, as a host runs it on a stereo
// track. Any other port layout is refused.
#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/stereo_bench.h"

namespace {

// The URID map and unmap most plug-ins ask for.
class UridMap {
public:
    UridMap() {
        map.handle = this;
        map.map = [](LV2_URID_Map_Handle handle, const char* uri) {
            UridMap& self = *static_cast<UridMap*>(handle);
            auto found = self.ids.find(uri);
            if (found != self.ids.end()) {
                return found->second;
            }
            const LV2_URID id = static_cast<LV2_URID>(self.ids.size() + 1);
            self.uris.push_back(self.ids.emplace(uri, id).first->first);
            return id;
        };
        unmap.handle = this;
        unmap.unmap = [](LV2_URID_Unmap_Handle handle, LV2_URID id) -> const char* {
            const UridMap& self = *static_cast<UridMap*>(handle);
            return id >= 1 && id <= self.uris.size() ? self.uris[id - 1].c_str() : nullptr;
        };
    }
    const LV2_Feature* const* features() { return list; }

private:
    std::map<std::string, LV2_URID> ids;
    std::vector<std::string> uris;
    LV2_URID_Map map;
    LV2_URID_Unmap unmap;
    LV2_Feature mapFeature{LV2_URID__map, &map};
    LV2_Feature unmapFeature{LV2_URID__unmap, &unmap};
    const LV2_Feature* list[3] = {&mapFeature, &unmapFeature, nullptr};
};

int fail(const std::string& message) {
    std::fprintf(stderr, "lv2_bench: %s\n", message.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--seconds") == 0)) {
        std::fprintf(stderr, "usage: lv2_bench PLUGIN_URI [--seconds S]\n");
        return 2;
    }
    double seconds = 1.0;
    if (argc == 4) {
        char* end = nullptr;
        seconds = std::strtod(argv[3], &end);
        if (*end != 0 || !(seconds >= 0.0 && seconds < 3600.0)) {
            return fail(std::string("--seconds wants a time from 0 up, got \"") + argv[3] + "\"");
        }
    }

    // lilv crashes on a relative folder in LV2_PATH: hand it absolute ones.
    if (const char* path = std::getenv("LV2_PATH")) {
        std::string absolute, rest = path;
        while (!rest.empty()) {
            const std::size_t colon = rest.find(':');
            const std::string folder = rest.substr(0, colon);
            rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
            char* resolved = realpath(folder.c_str(), nullptr);
            if (resolved) {
                absolute += (absolute.empty() ? "" : ":") + std::string(resolved);
                std::free(resolved);
            }
        }
        setenv("LV2_PATH", absolute.c_str(), 1);
    }
    LilvWorld* world = lilv_world_new();
    std::unique_ptr<LilvWorld, void (*)(LilvWorld*)> worldOwner(world, lilv_world_free);
    lilv_world_load_all(world);
    LilvNode* uri = lilv_new_uri(world, argv[1]);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
    lilv_node_free(uri);
    if (!plugin) {
        return fail(std::string("no plug-in ") + argv[1] + " on LV2_PATH");
    }
    auto node = [&](const char* text) { return lilv_new_uri(world, text); };
    LilvNode* audioClass = node(LILV_URI_AUDIO_PORT);
    LilvNode* controlClass = node(LILV_URI_CONTROL_PORT);
    LilvNode* inputClass = node(LILV_URI_INPUT_PORT);
    LilvNode* optional = node(LV2_CORE__connectionOptional);

    const std::uint32_t portCount = lilv_plugin_get_num_ports(plugin);
    std::vector<float> controls(portCount, 0.0f);
    std::vector<std::uint32_t> audioInputs, audioOutputs, controlPorts;
    std::string refused;
    for (std::uint32_t index = 0; index < portCount; ++index) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
        const bool input = lilv_port_is_a(plugin, port, inputClass);
        if (lilv_port_is_a(plugin, port, audioClass)) {
            (input ? audioInputs : audioOutputs).push_back(index);
        } else if (lilv_port_is_a(plugin, port, controlClass)) {
            LilvNode* value = nullptr;
            lilv_port_get_range(plugin, port, &value, nullptr, nullptr);
            controls[index] = value ? lilv_node_as_float(value) : 0.0f;
            lilv_node_free(value);
            controlPorts.push_back(index);
        } else if (!lilv_port_has_property(plugin, port, optional)) {
            refused = "port " + std::to_string(index) + " is neither audio nor control";
        }
    }
    for (LilvNode* n : {audioClass, controlClass, inputClass, optional}) {
        lilv_node_free(n);
    }
    const std::size_t channels = audioInputs.size();
    if (refused.empty() && (channels < 1 || channels > 2 || audioOutputs.size() != channels)) {
        refused = std::to_string(audioInputs.size()) + " audio inputs and " +
                  std::to_string(audioOutputs.size()) + " outputs (wants 1 and 1, or 2 and 2)";
    }
    if (!refused.empty()) {
        return fail(refused);
    }

    UridMap urids;
    std::vector<LilvInstance*> instances(3 - channels, nullptr);
    auto freeInstances = [&] {
        for (LilvInstance*& instance : instances) {
            if (instance) {
                lilv_instance_free(instance);
                instance = nullptr;
            }
        }
    };
    kel::host::StereoProcessor processor;
    processor.start = [&](int) {
        for (LilvInstance*& instance : instances) {
            instance = lilv_plugin_instantiate(plugin, 44100.0, urids.features());
            if (!instance) {
                std::exit(fail("the plug-in refused to start at 44.1 kHz"));
            }
            for (std::uint32_t port : controlPorts) {
                lilv_instance_connect_port(instance, port, &controls[port]);
            }
            lilv_instance_activate(instance);
        }
    };
    processor.process = [&](float* const* inputs, float* const* outputs, int frames) {
        for (std::size_t i = 0; i < instances.size(); ++i) {
            for (std::size_t c = 0; c < channels; ++c) {
                lilv_instance_connect_port(instances[i], audioInputs[c], inputs[i + c]);
                lilv_instance_connect_port(instances[i], audioOutputs[c], outputs[i + c]);
            }
            lilv_instance_run(instances[i], static_cast<std::uint32_t>(frames));
        }
    };
    processor.stop = [&] {
        for (LilvInstance* instance : instances) {
            lilv_instance_deactivate(instance);
        }
        freeInstances();
    };

    LilvNode* name = lilv_plugin_get_name(plugin);
    char title[512];
    std::snprintf(title, sizeof title,
                  "%s (LV2, %s), stereo, 44.1 kHz (best of rounds over %.1f s each)",
                  name ? lilv_node_as_string(name) : argv[1],
                  channels == 2 ? "one stereo instance" : "two mono instances", seconds);
    lilv_node_free(name);
    kel::host::printBenchResults(title, kel::host::benchmarkStereo(processor, {64, 512}, seconds));
    return 0;
}

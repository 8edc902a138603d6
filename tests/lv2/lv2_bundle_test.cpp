// The built bundles as LV2 hosts load them, through lilv, the library the hosts are built on:
// what they describe, their presets applied to the running plug-in against the VST 2.x programs,
// the rates they refuse, and a run that allocates nothing and makes no system call.
#include <dlfcn.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/presets/presets.h>
#include <lv2/units/units.h>
#include <lv2/urid/urid.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <lilv/lilv.h>

#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lv2/port_mapping.h"
#include "lv2/ports.h"
#include "tests/lv2/lv2_test_support.h"

// Every allocation of the process goes through these, the loaded modules' included: they count
// while `counting` is set and hand over to the C library's functions.
namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

// What dlsym asks for while the C library's functions are being looked up.
alignas(std::max_align_t) char bootstrap[16384];
std::size_t bootstrapUsed = 0;
bool resolving = false;

struct LibraryAllocator {
    void* (*malloc)(std::size_t) = nullptr;
    void* (*calloc)(std::size_t, std::size_t) = nullptr;
    void* (*realloc)(void*, std::size_t) = nullptr;
    void (*free)(void*) = nullptr;
    void* (*memalign)(std::size_t, std::size_t) = nullptr;
    int (*posixMemalign)(void**, std::size_t, std::size_t) = nullptr;
};

LibraryAllocator& library() {
    static LibraryAllocator functions;
    if (!functions.free && !resolving) {
        resolving = true;
        functions.malloc = reinterpret_cast<void* (*)(std::size_t)>(dlsym(RTLD_NEXT, "malloc"));
        functions.calloc =
            reinterpret_cast<void* (*)(std::size_t, std::size_t)>(dlsym(RTLD_NEXT, "calloc"));
        functions.realloc =
            reinterpret_cast<void* (*)(void*, std::size_t)>(dlsym(RTLD_NEXT, "realloc"));
        functions.memalign =
            reinterpret_cast<void* (*)(std::size_t, std::size_t)>(dlsym(RTLD_NEXT, "memalign"));
        functions.posixMemalign = reinterpret_cast<int (*)(void**, std::size_t, std::size_t)>(
            dlsym(RTLD_NEXT, "posix_memalign"));
        functions.free = reinterpret_cast<void (*)(void*)>(dlsym(RTLD_NEXT, "free"));
        resolving = false;
    }
    return functions;
}

void* fromBootstrap(std::size_t size) {
    const std::size_t rounded = (size + 15) & ~std::size_t{15};
    if (bootstrapUsed + rounded > sizeof bootstrap) {
        std::abort();
    }
    void* p = bootstrap + bootstrapUsed;
    bootstrapUsed += rounded;
    return p;
}

bool isBootstrap(void* p) {
    return p >= static_cast<void*>(bootstrap) &&
           p < static_cast<void*>(bootstrap + sizeof bootstrap);
}

void note() {
    if (counting.load(std::memory_order_relaxed)) {
        allocations.fetch_add(1, std::memory_order_relaxed);
    }
}

} // namespace

extern "C" {

void* malloc(std::size_t size) {
    note();
    LibraryAllocator& c = library();
    return c.malloc ? c.malloc(size) : fromBootstrap(size);
}
void* calloc(std::size_t count, std::size_t size) {
    note();
    LibraryAllocator& c = library();
    return c.calloc ? c.calloc(count, size) : fromBootstrap(count * size); // zero already
}
void* realloc(void* p, std::size_t size) {
    note();
    return library().realloc(p, size);
}
void free(void* p) {
    note();
    if (p && !isBootstrap(p)) {
        library().free(p);
    }
}
void* memalign(std::size_t alignment, std::size_t size) {
    note();
    return library().memalign(alignment, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
    note();
    return library().memalign(alignment, size);
}
int posix_memalign(void** p, std::size_t alignment, std::size_t size) {
    note();
    return library().posixMemalign(p, alignment, size);
}
void* valloc(std::size_t size) {
    note();
    return library().memalign(static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), size);
}

} // extern "C"

using namespace kel::lv2;
using namespace kel::model;
using kel::clean::CleanModel;
using kel::crunch::CrunchModel;
using namespace lv2_test;
using test_support::firstDifference;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// The URID map a host hands to lilv for presets.
class UridMap {
public:
    UridMap() { map.handle = this, map.map = &UridMap::mapUri; }
    LV2_URID id(const char* uri) { return mapUri(this, uri); }
    LV2_URID_Map* get() { return &map; }
    const LV2_Feature feature{LV2_URID__map, &map};

private:
    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri) {
        auto& ids = static_cast<UridMap*>(handle)->ids;
        return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
    }
    LV2_URID_Map map{};
    std::map<std::string, LV2_URID> ids;
};

// A world holding our two bundles and nothing else.
class World {
public:
    World() : world(lilv_world_new()) {
        for (const char* bundle : {KEL_LV2_BUNDLES "/sonadrix-hn6-clean-preamp.lv2/",
                                   KEL_LV2_BUNDLES "/sonadrix-kr6-crunch-preamp.lv2/"}) {
            LilvNode* uri = lilv_new_file_uri(world, nullptr, bundle);
            lilv_world_load_bundle(world, uri);
            lilv_node_free(uri);
        }
    }
    ~World() {
        for (LilvNode* node : nodes) {
            lilv_node_free(node);
        }
        lilv_world_free(world);
    }
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    const LilvNode* node(const std::string& uri) {
        nodes.push_back(lilv_new_uri(world, uri.c_str()));
        return nodes.back();
    }
    const LilvPlugin* plugin(const char* uri) {
        return lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), node(uri));
    }
    LilvWorld* get() { return world; }

private:
    LilvWorld* world;
    std::vector<LilvNode*> nodes;
};

// A plug-in instance made by lilv, with control values of its own.
class Instance {
public:
    Instance(const LilvPlugin* plugin, double rate, const LV2_Feature* const* features)
        : instance(lilv_plugin_instantiate(plugin, rate, features)) {
        if (instance) {
            for (std::uint32_t port = 0; port < kInputLeftPort; ++port) {
                lilv_instance_connect_port(instance, port, &controls[port]);
            }
            lilv_instance_activate(instance);
        }
    }
    ~Instance() {
        if (instance) {
            lilv_instance_deactivate(instance);
            lilv_instance_free(instance);
        }
    }
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool instantiated() const { return instance != nullptr; }
    void connect(const float* inL, const float* inR, float* outL, float* outR) {
        lilv_instance_connect_port(instance, kInputLeftPort, const_cast<float*>(inL));
        lilv_instance_connect_port(instance, kInputRightPort, const_cast<float*>(inR));
        lilv_instance_connect_port(instance, kOutputLeftPort, outL);
        lilv_instance_connect_port(instance, kOutputRightPort, outR);
    }
    void run(std::uint32_t frames) { lilv_instance_run(instance, frames); }
    Stereo process(const Stereo& in, std::size_t block) {
        Stereo out{Signal(in[0].size()), Signal(in[1].size())};
        for (std::size_t start = 0; start < in[0].size(); start += block) {
            const std::size_t n = std::min(block, in[0].size() - start);
            connect(in[0].data() + start, in[1].data() + start, out[0].data() + start,
                    out[1].data() + start);
            run(static_cast<std::uint32_t>(n));
        }
        return out;
    }

    float controls[kInputLeftPort] = {kNaN, kNaN, kNaN, kNaN}; // set by a preset or the test
    LilvInstance* const instance;
};

// Port values as lilv restores them from a preset: symbol, value and whether it came as a float.
struct RestoredValues {
    const Lv2Plugin* plugin;
    LV2_URID floatType;
    float* controls;
    int restored = 0;
    bool allFloats = true;
};

void setPortValue(const char* symbol, void* data, const void* value, std::uint32_t size,
                  std::uint32_t type) {
    auto& restored = *static_cast<RestoredValues*>(data);
    restored.allFloats = restored.allFloats && type == restored.floatType && size == sizeof(float);
    for (int port = 0; port < kNumParameters; ++port) {
        if (std::strcmp(symbol, restored.plugin->controlSymbols[port]) == 0 &&
            size == sizeof(float)) {
            std::memcpy(&restored.controls[port], value, sizeof(float));
            ++restored.restored;
        }
    }
}

template <class Model>
class Lv2BundleTest : public ::testing::Test {
protected:
    void SetUp() override { resetTestHost(); }
    const LilvPlugin* plugin() {
        const LilvPlugin* found = world.plugin(pluginOf<Model>().uri);
        EXPECT_NE(found, nullptr) << pluginOf<Model>().uri;
        return found;
    }

    World world;
    UridMap urids;
    const LV2_Feature* features[2] = {&urids.feature, nullptr};
};

using Models = ::testing::Types<CleanModel, CrunchModel>;
TYPED_TEST_SUITE(Lv2BundleTest, Models);

struct ExpectedPort {
    const char* symbol;
    const char* name;
    float minimum, maximum, defaultValue;
    const char* unit; // nullptr: none
};

// What the ports are, as a user of a host reads them: the editor's ranges and units, the default
// program's settings as the VST 2.x build shows them (HN-6 Output 69).
TYPED_TEST(Lv2BundleTest, PortsCarryRangesDefaultsAndUnits) {
    const bool clean = std::is_same_v<TypeParam, CleanModel>;
    const ExpectedPort expected[kInputLeftPort] = {
        {"enabled", "Effect", 0, 1, 1, nullptr},
        {"gain", "Gain", 0, 100, 50, LV2_UNITS__pc},
        {clean ? "bright" : "mid_boost", clean ? "Bright" : "Mid Boost", 0, 15, clean ? 5.0f : 8.0f,
         LV2_UNITS__db},
        {"output", "Output", 0, 100, clean ? 69.0f : 66.0f, LV2_UNITS__pc},
    };
    const LilvPlugin* plugin = this->plugin();
    ASSERT_NE(plugin, nullptr);
    World& w = this->world;
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin), kPortCount);
    for (std::uint32_t index = 0; index < kInputLeftPort; ++index) {
        const ExpectedPort& e = expected[index];
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
        EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), e.symbol);
        LilvNode* name = lilv_port_get_name(plugin, port);
        EXPECT_STREQ(lilv_node_as_string(name), e.name);
        lilv_node_free(name);
        EXPECT_TRUE(lilv_port_is_a(plugin, port, w.node(LV2_CORE__InputPort)));
        EXPECT_TRUE(lilv_port_is_a(plugin, port, w.node(LV2_CORE__ControlPort)));
        EXPECT_TRUE(lilv_port_has_property(plugin, port, w.node(LV2_CORE__integer))) << e.symbol;
        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(plugin, port, &def, &min, &max);
        ASSERT_TRUE(def && min && max) << e.symbol;
        EXPECT_EQ(lilv_node_as_float(min), e.minimum) << e.symbol;
        EXPECT_EQ(lilv_node_as_float(max), e.maximum) << e.symbol;
        EXPECT_EQ(lilv_node_as_float(def), e.defaultValue) << e.symbol;
        lilv_node_free(def), lilv_node_free(min), lilv_node_free(max);
        LilvNodes* units = lilv_port_get_value(plugin, port, w.node(LV2_UNITS__unit));
        if (e.unit) {
            ASSERT_EQ(lilv_nodes_size(units), 1u) << e.symbol;
            EXPECT_STREQ(lilv_node_as_uri(lilv_nodes_get_first(units)), e.unit);
        } else {
            EXPECT_EQ(lilv_nodes_size(units), 0u) << e.symbol;
        }
        lilv_nodes_free(units);
    }
    const LilvPort* enabled = lilv_plugin_get_port_by_designation(
        plugin, w.node(LV2_CORE__InputPort), w.node(LV2_CORE__enabled));
    ASSERT_NE(enabled, nullptr);
    EXPECT_EQ(lilv_port_get_index(plugin, enabled), static_cast<std::uint32_t>(kEffectPort));
    EXPECT_TRUE(lilv_port_has_property(plugin, enabled, w.node(LV2_CORE__toggled)));

    const char* audio[][2] = {{"in_l", LV2_CORE__InputPort},
                              {"in_r", LV2_CORE__InputPort},
                              {"out_l", LV2_CORE__OutputPort},
                              {"out_r", LV2_CORE__OutputPort}};
    for (std::uint32_t index = kInputLeftPort; index < kPortCount; ++index) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
        EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)),
                     audio[index - kInputLeftPort][0]);
        EXPECT_TRUE(lilv_port_is_a(plugin, port, w.node(LV2_CORE__AudioPort)));
        EXPECT_TRUE(lilv_port_is_a(plugin, port, w.node(audio[index - kInputLeftPort][1])));
    }

    // Latency 0 (no latency port), hard-real-time capable, nothing required of the host, in-place
    // buffers welcome.
    EXPECT_FALSE(lilv_plugin_has_latency(plugin));
    EXPECT_TRUE(lilv_plugin_has_feature(plugin, w.node(LV2_CORE__hardRTCapable)));
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    EXPECT_EQ(lilv_nodes_size(required), 0u);
    lilv_nodes_free(required);
    EXPECT_FALSE(lilv_plugin_has_feature(plugin, w.node(LV2_CORE__inPlaceBroken)));
    LilvNode* name = lilv_plugin_get_name(plugin);
    EXPECT_STREQ(lilv_node_as_string(name), TypeParam::description.effectName);
    lilv_node_free(name);
    LilvNode* author = lilv_plugin_get_author_name(plugin);
    ASSERT_NE(author, nullptr);
    EXPECT_STREQ(lilv_node_as_string(author), "Sonadrix");
    lilv_node_free(author);
}

// Each built-in preset, found by its name, loaded and restored through lilv as hosts do, renders
// what the VST 2.x build renders with the same program.
TYPED_TEST(Lv2BundleTest, PresetsAppliedThroughLilvSoundLikeThePrograms) {
    const LilvPlugin* plugin = this->plugin();
    ASSERT_NE(plugin, nullptr);
    LilvWorld* lilvWorld = this->world.get();
    LilvNodes* presets = lilv_plugin_get_related(plugin, this->world.node(LV2_PRESETS__Preset));
    ASSERT_EQ(lilv_nodes_size(presets), static_cast<unsigned>(kBuiltInCount));
    std::map<std::string, const LilvNode*> byLabel;
    LILV_FOREACH(nodes, i, presets) {
        const LilvNode* preset = lilv_nodes_get(presets, i);
        lilv_world_load_resource(lilvWorld, preset);
        LilvNode* label =
            lilv_world_get(lilvWorld, preset, this->world.node(LILV_NS_RDFS "label"), nullptr);
        ASSERT_NE(label, nullptr);
        byLabel[lilv_node_as_string(label)] = preset;
        lilv_node_free(label);
    }
    for (int number = 0; number < kBuiltInCount; ++number) {
        const char* name = TypeParam::description.builtIns[number].name;
        ASSERT_EQ(byLabel.count(name), 1u) << name;
        LilvState* state = lilv_state_new_from_world(lilvWorld, this->urids.get(), byLabel[name]);
        ASSERT_NE(state, nullptr) << name;
        for (double rate : {44100.0, 96000.0}) {
            Instance instance(plugin, rate, this->features);
            ASSERT_TRUE(instance.instantiated());
            instance.controls[kEffectPort] = 1.0f; // the host's switch, not part of a preset
            RestoredValues restored{&pluginOf<TypeParam>(), this->urids.id(LV2_ATOM__Float),
                                    instance.controls};
            lilv_state_restore(state, instance.instance, setPortValue, &restored, 0,
                               this->features);
            EXPECT_EQ(restored.restored, kPresetValueCount) << name;
            EXPECT_TRUE(restored.allFloats) << name;
            const Stereo in = stereoSignal(static_cast<std::uint64_t>(number) + 1, 6007);
            const Stereo lv2 = instance.process(in, 1000);
            Vst<TypeParam> program(static_cast<float>(rate));
            program.setProgram(number);
            const Stereo vst = program.process(in, 512);
            for (int c = 0; c < 2; ++c) {
                EXPECT_EQ(firstDifference(lv2[c], vst[c]), -1)
                    << name << " at " << rate << " Hz, channel " << c;
            }
        }
        lilv_state_free(state);
    }
    lilv_nodes_free(presets);
}

// Every way a host may put the ports on buffers: the right input on the left one's buffer or its
// own, each output on either input's buffer or its own, processing, switched off and switching
// both ways, in blocks longer than the plug-in's pieces. Each gives what separate buffers give,
// bit for bit. (Both outputs on one buffer: lv2_effect_test.cpp, against the VST 2.x effect.)
TYPED_TEST(Lv2BundleTest, EveryBufferSharingGivesTheOutputOfSeparateBuffers) {
    const LilvPlugin* plugin = this->plugin();
    ASSERT_NE(plugin, nullptr);
    enum Buffer { InL, InR, OutL, OutR };
    const char* names[] = {"in_l", "in_r", "out_l", "out_r"};
    constexpr std::size_t kBlock = 1500;
    const Stereo signal = stereoSignal(8, 3 * kBlock);
    const float modes[][3] = {{1, 1, 1}, {0, 0, 0}, {1, 0, 1}}; // the switch in each block
    // What the output ports' buffers hold after each block, `place` naming each port's buffer.
    const auto render = [&](const float* enabled, const int place[4]) {
        Instance instance(plugin, 44100.0, this->features);
        for (int parameter = kGainParameter; parameter < kNumParameters; ++parameter) {
            instance.controls[parameter] =
                static_cast<float>(presetSetting(TypeParam::description, 0, parameter));
        }
        Stereo results{{}, {}};
        for (std::size_t at = 0; at < signal[0].size(); at += kBlock) {
            std::vector<Signal> buffers(4, Signal(kBlock, 0.5f));
            std::copy(signal[0].begin() + at, signal[0].begin() + at + kBlock,
                      buffers[InL].begin());
            std::copy(signal[1].begin() + at, signal[1].begin() + at + kBlock,
                      buffers[InR].begin());
            instance.controls[kEffectPort] = enabled[at / kBlock];
            instance.connect(buffers[place[0]].data(), buffers[place[1]].data(),
                             buffers[place[2]].data(), buffers[place[3]].data());
            instance.run(kBlock);
            for (int c = 0; c < 2; ++c) {
                const Signal& out = buffers[place[OutL + c]];
                results[c].insert(results[c].end(), out.begin(), out.end());
            }
        }
        return results;
    };
    int cases = 0;
    for (int inR : {InR, InL}) {
        for (int outL : {OutL, InL, InR}) {
            for (int outR : {OutR, InL, InR}) {
                if (outL == outR || (inR == InL && (outL == InR || outR == InR))) {
                    continue; // one buffer for both outputs, or in_r's unused one
                }
                const int place[4] = {InL, inR, outL, outR}, apart[4] = {InL, inR, OutL, OutR};
                for (const float* enabled : modes) {
                    const Stereo got = render(enabled, place), expected = render(enabled, apart);
                    for (int c = 0; c < 2; ++c) {
                        EXPECT_EQ(firstDifference(got[c], expected[c]), -1)
                            << "switch " << enabled[0] << enabled[1] << enabled[2] << ", out_l on "
                            << names[outL] << ", out_r on " << names[outR] << ", in_r on "
                            << names[inR] << ", channel " << c;
                    }
                    ++cases;
                }
            }
        }
    }
    EXPECT_EQ(cases, 3 * (7 + 3));
}

TYPED_TEST(Lv2BundleTest, RatesTheChainsCannotRunAreRefused) {
    const LilvPlugin* plugin = this->plugin();
    ASSERT_NE(plugin, nullptr);
    for (double rate : {0.0, 4000.0, 1e6}) {
        Instance refused(plugin, rate, this->features);
        EXPECT_FALSE(refused.instantiated()) << rate;
    }
    for (double rate : {8000.0, 44100.0, 768000.0}) {
        Instance runs(plugin, rate, this->features);
        EXPECT_TRUE(runs.instantiated()) << rate;
    }
}

// What a host's audio thread asks of a plug-in, all at once: every kind of control value, the
// switch both ways, any frame count, separate and shared buffers.
void busyAudioThread(Instance& instance, Stereo& in, Stereo& out) {
    const float values[] = {0.0f, 7.0f, 15.0f, 50.5f, 100.0f, -3.0f, 1e9f, kInf, -kInf, kNaN};
    const float switches[] = {1.0f, 0.0f, 0.5f, kNaN, 1.0f};
    std::uint32_t frames = 0;
    for (int round = 0; round < 40; ++round) {
        for (std::uint32_t port = kGainPort; port <= kOutputPort; ++port) {
            instance.controls[port] = values[(round * 3 + port) % std::size(values)];
        }
        instance.controls[kEffectPort] = switches[round % std::size(switches)];
        frames = (frames * 7 + 13) % 2049;
        if (round % 3 == 0) {
            instance.connect(in[0].data(), in[1].data(), in[0].data(), in[1].data());
        } else {
            instance.connect(in[0].data(), in[1].data(), out[0].data(), out[1].data());
        }
        instance.run(round % 5 == 0 ? 0 : frames);
    }
}

TYPED_TEST(Lv2BundleTest, RunAllocatesNothing) {
    const LilvPlugin* plugin = this->plugin();
    ASSERT_NE(plugin, nullptr);
    Instance instance(plugin, 48000.0, this->features);
    ASSERT_TRUE(instance.instantiated());
    Stereo in = stereoSignal(3, 2048);
    Stereo out{Signal(2048), Signal(2048)};

    // The counter sees what the loaded modules allocate.
    allocations = 0;
    counting = true;
    void* probe = std::malloc(16);
    counting = false;
    std::free(probe);
    ASSERT_EQ(allocations.load(), 1);

    allocations = 0;
    counting = true;
    busyAudioThread(instance, in, out);
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
}

// In a child process that the kernel ends at its first system call other than exit: a run that
// made one would not come back.
int runUnderSeccomp(const std::function<void()>& work) {
    const pid_t child = fork();
    if (child == 0) {
        sock_filter filter[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_exit_group, 2, 0),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_exit, 1, 0),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
            syscall(SYS_exit_group, 3);
        }
        work();
        syscall(SYS_exit_group, 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

// Nothing in the module initialises itself on first use, which on the audio thread would make
// the first run slower and could wait on another thread's guard: there is no guarded static in
// it at all (the guard functions come with one).
TYPED_TEST(Lv2BundleTest, RunReachesNoFirstTimeInitialisation) {
    const LilvPlugin* plugin = this->plugin();
    ASSERT_NE(plugin, nullptr);
    char* module =
        lilv_file_uri_parse(lilv_node_as_uri(lilv_plugin_get_library_uri(plugin)), nullptr);
    FILE* symbols = popen((std::string("nm '") + module + "'").c_str(), "r");
    lilv_free(module);
    ASSERT_NE(symbols, nullptr);
    std::string listing;
    for (char line[512]; std::fgets(line, sizeof line, symbols);) {
        listing += line;
    }
    ASSERT_EQ(pclose(symbols), 0);
    EXPECT_NE(listing.find(" T lv2_descriptor"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("__cxa_guard_acquire"), std::string::npos) << listing;
}

TYPED_TEST(Lv2BundleTest, RunMakesNoSystemCall) {
    const LilvPlugin* plugin = this->plugin();
    ASSERT_NE(plugin, nullptr);
    Instance instance(plugin, 44100.0, this->features);
    ASSERT_TRUE(instance.instantiated());
    Stereo in = stereoSignal(4, 2048);
    Stereo out{Signal(2048), Signal(2048)};

    // The filter ends a process that makes a system call.
    const int caught = runUnderSeccomp([] { getppid(); });
    EXPECT_TRUE(WIFSIGNALED(caught) && WTERMSIG(caught) == SIGSYS) << caught;

    const int status = runUnderSeccomp([&] { busyAudioThread(instance, in, out); });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << (WIFSIGNALED(status) ? "ended by signal " + std::to_string(WTERMSIG(status))
                                : "exit status " + std::to_string(WEXITSTATUS(status)));
}

} // namespace

// Both plug-in modules, loaded from their DLLs and driven through our host the way a host does.
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/host_callback.h"
#include "host/plugin_info.h"
#include "host/plugin_module.h"
#include "tests/integration/module_paths.h"

using namespace kel::host;

namespace {

struct ModuleCase {
    const char* file;
    const char* effectName;
    const char* toneName;
    const char* displays[4];
};

const ModuleCase kModules[] = {
    {"HN-6 Clean Preamp.dll", "HN-6 Clean Preamp", "Bright", {" On", "50", "5", "69"}},
    {"KR-6 Crunch Preamp.dll", "KR-6 Crunch Preamp", "Mid Boost", {" On", "50", "8", "66"}},
};

class PluginModuleTest : public ::testing::TestWithParam<ModuleCase> {
protected:
    void SetUp() override {
        hostState() = HostState{};
        std::string error;
        ASSERT_TRUE(module.load(besideThisProgram(GetParam().file), error)) << error;
    }
    PluginModule module;
};

TEST_P(PluginModuleTest, HostSeesTheRecordTextsAndParameters) {
    AEffect* effect = module.createEffect();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(hostState().versionQueries, 1);
    PluginInstance plugin(effect);
    const PluginInfo info = collectInfo(plugin);

    EXPECT_EQ(info.record.magic, 0x56737450);
    EXPECT_EQ(info.record.flags, 0x19);
    EXPECT_EQ(info.record.numPrograms, 9);
    EXPECT_EQ(info.record.numParams, 4);
    EXPECT_EQ(info.record.numInputs, 2);
    EXPECT_EQ(info.record.numOutputs, 2);
    EXPECT_EQ(info.record.uniqueID, 0x4B525834);
    EXPECT_EQ(info.record.version, 1);
    EXPECT_EQ(info.record.ioRatio, 1.0f);
    EXPECT_EQ(info.effectName, GetParam().effectName);
    EXPECT_EQ(info.vendor, "Sonadrix");
    EXPECT_EQ(info.product, "Orvalle Vol.2");
    EXPECT_EQ(info.vstVersion, 2200);
    EXPECT_EQ(info.vendorVersion, 1);
    EXPECT_EQ(info.category, 0);

    const char* names[4] = {"Effect", "Gain", GetParam().toneName, "Output"};
    const char* labels[4] = {" [-]", " [%]", " [dB]", " [%]"};
    ASSERT_EQ(info.parameters.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(info.parameters[i].name, names[i]);
        EXPECT_EQ(info.parameters[i].label, labels[i]);
        EXPECT_EQ(info.parameters[i].display, GetParam().displays[i]);
    }
    ASSERT_EQ(info.programs.size(), 9u);
    EXPECT_EQ(info.programs[0], "Default");
    EXPECT_EQ(info.programs[8], "Default");
    ASSERT_EQ(info.pins.size(), 4u);
    EXPECT_EQ(info.pins[1].label, "2 In");
    EXPECT_EQ(info.pins[3].label, "2 Out");
    EXPECT_EQ(info.pins[3].flags, 3);
    EXPECT_TRUE(info.hasRect);
    EXPECT_EQ(info.rect.right, 266);
    EXPECT_EQ(info.rect.bottom, 220);
    EXPECT_EQ(plugin.close(), 1);
}

TEST_P(PluginModuleTest, BypassSwitchThroughTheRecord) {
    PluginInstance plugin(module.createEffect());
    plugin.setParameter(0, 1.0f);
    EXPECT_EQ(plugin.text(effGetParamDisplay, 0), "Off");
    plugin.setParameter(0, 0.5f);
    EXPECT_EQ(plugin.text(effGetParamDisplay, 0), "Off");
    EXPECT_EQ(plugin.getParameter(0), 0.5f);
    EXPECT_EQ(plugin.getParameter(8), 1.0f);
    plugin.setParameter(0, 0.2f);
    EXPECT_EQ(plugin.text(effGetParamDisplay, 0), " On");
}

TEST_P(PluginModuleTest, ProgramsThroughTheDispatcher) {
    PluginInstance plugin(module.createEffect());
    plugin.dispatch(effSetProgram, 0, 9);
    EXPECT_EQ(plugin.dispatch(effGetProgram), 0);
    plugin.dispatch(effSetProgram, 0, 4);
    EXPECT_EQ(plugin.dispatch(effGetProgram), 4);
    char name[] = "A name far longer than thirty-one characters";
    plugin.dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(plugin.text(effGetProgramName), std::string(name, 31));
    EXPECT_EQ(plugin.text(effGetProgramNameIndexed, 4, 7), std::string(name, 31));
    EXPECT_EQ(plugin.dispatch(effGetProgramNameIndexed, 9, 0, name), 0);
    void* chunk = nullptr;
    EXPECT_EQ(plugin.dispatch(effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(chunk, nullptr);
}

TEST_P(PluginModuleTest, HostTooOldGetsNoEffect) {
    hostState().identity.versionAnswer = 0;
    EXPECT_EQ(module.createEffect(), nullptr);
    hostState().identity.versionAnswer = 2400;
    PluginInstance plugin(module.createEffect());
    EXPECT_NE(plugin.effect(), nullptr);
}

TEST_P(PluginModuleTest, OurOwnRigGetsThePedalLayout) {
    hostState().identity.vendor = "Sonadrix";
    hostState().identity.product = "OrvalleGig Rig"; // eighth character "G"
    PluginInstance plugin(module.createEffect());
    ERect* rect = nullptr;
    ASSERT_EQ(plugin.dispatch(effEditGetRect, 0, 0, &rect), 1);
    EXPECT_EQ(rect->right, 185);
    EXPECT_EQ(rect->bottom, 320);
}

TEST_P(PluginModuleTest, FiftyInstancesInOneProcess) {
    std::vector<AEffect*> effects;
    for (int i = 0; i < 50; ++i) {
        AEffect* effect = module.createEffect();
        ASSERT_NE(effect, nullptr) << i;
        effect->setParameter(effect, 3, static_cast<float>(i) / 50.0f);
        effects.push_back(effect);
    }
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(effects[i]->getParameter(effects[i], 3), static_cast<float>(i) / 50.0f);
        EXPECT_EQ(effects[i]->dispatcher(effects[i], effClose, 0, 0, nullptr, 0.0f), 1);
    }
    // The module still creates instances after all that.
    PluginInstance plugin(module.createEffect());
    EXPECT_NE(plugin.effect(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothPlugins, PluginModuleTest, ::testing::ValuesIn(kModules),
                         [](const ::testing::TestParamInfo<ModuleCase>& param) {
                             return std::string(param.param.effectName).substr(0, 4) == "HN-6"
                                        ? std::string("Clean")
                                        : std::string("Crunch");
                         });

TEST(PluginModules, BothModulesLiveSideBySideInOneProcess) {
    PluginModule clean, crunch;
    std::string error;
    ASSERT_TRUE(clean.load(besideThisProgram(kModules[0].file), error)) << error;
    ASSERT_TRUE(crunch.load(besideThisProgram(kModules[1].file), error)) << error;
    PluginInstance a(clean.createEffect()), b(crunch.createEffect());
    EXPECT_EQ(a.text(effGetEffectName), "HN-6 Clean Preamp");
    EXPECT_EQ(b.text(effGetEffectName), "KR-6 Crunch Preamp");
    a.setParameter(1, 0.9f);
    EXPECT_EQ(b.text(effGetParamDisplay, 1), "50");
}

} // namespace

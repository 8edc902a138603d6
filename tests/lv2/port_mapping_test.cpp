// What the LV2 ports' values mean: the settings they give, the enable switch's hysteresis, and the
// preset values, each against the VST 2.x effect object where it has a counterpart.
#include "lv2/port_mapping.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "model/parameter_values.h"
#include "plugins/clean/clean_model.h"
#include "plugins/crunch/crunch_model.h"
#include "shell/kel_dsp.h"
#include "tests/support/test_host.h"

using namespace kel::lv2;
using namespace kel::model;

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(PortMapping, KnobPortsCarryTheSettingTruncatedAndClamped) {
    struct Case {
        float value;
        int span;
        int setting;
    } cases[] = {
        {0.0f, 100, 0},   {50.0f, 100, 50},   {69.0f, 100, 69},   {100.0f, 100, 100},
        {80.7f, 100, 80}, {99.999f, 100, 99}, {100.5f, 100, 100}, {-0.5f, 100, 0},
        {-80.0f, 100, 0}, {1e30f, 100, 100},  {kInf, 100, 100},   {-kInf, 100, 0},
        {kNaN, 100, 0},   {-kNaN, 15, 0},     {7.0f, 15, 7},      {14.9f, 15, 14},
        {15.0f, 15, 15},  {16.0f, 15, 15},    {0.999f, 15, 0},    {1.0f, 15, 1},
        {1e-40f, 100, 0}, {-1e-40f, 15, 0},   {3.4e38f, 15, 15},  {42.000004f, 100, 42},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(settingFromPort(c.value, c.span), c.setting) << c.value << " of 0.." << c.span;
    }
}

TEST(PortMapping, EnableSwitchFollowsTheEffectParametersHysteresis) {
    // From each state, each value: whether the effect is bypassed afterwards.
    struct Case {
        float enabled;
        bool fromOn, fromOff;
    } cases[] = {
        {1.0f, false, false},       {0.0f, true, true},       {0.5f, false, true},
        {0.25f, false, true},       {0.2499999f, true, true}, {0.75f, false, true},
        {0.7500001f, false, false}, {kNaN, false, true},      {kInf, false, false},
        {-kInf, true, true},        {2.0f, false, false},     {-1.0f, true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bypassedAfter(c.enabled, false), c.fromOn) << c.enabled << " from on";
        EXPECT_EQ(bypassedAfter(c.enabled, true), c.fromOff) << c.enabled << " from off";
    }
}

// The VST 2.x Effect parameter runs the other way (1.0 off): enable value e acts as 1 - e.
TEST(PortMapping, EnableSwitchActsAsTheEffectParameterMirrored) {
    resetTestHost();
    kel::shell::KelDSP<kel::clean::CleanModel> effect(hostCallback);
    bool bypassed = false;
    for (float enabled : {0.5f, 0.0f, 0.6f, 0.3f, 1.0f, 0.26f, 0.1f, 0.74f, 0.9f, 0.5f}) {
        effect.setParameter(kEffectParameter, 1.0f - enabled);
        bypassed = bypassedAfter(enabled, bypassed);
        EXPECT_EQ(bypassed, effect.getParameter(kel::shell::kBypassReadBack) == 1.0f) << enabled;
    }
}

// A preset's port values are what the VST 2.x effect shows once the same preset is loaded as a
// program.
template <class Model>
void expectPresetSettingsAsThePrograms() {
    resetTestHost();
    kel::shell::KelDSP<Model> effect(hostCallback);
    for (int number = 0; number < kBuiltInCount; ++number) {
        effect.setProgram(number);
        for (int parameter = kGainParameter; parameter < kNumParameters; ++parameter) {
            char shown[64] = {};
            effect.getParameterDisplay(parameter, shown);
            EXPECT_EQ(std::to_string(presetSetting(Model::description, number, parameter)), shown)
                << Model::description.effectName << " preset " << number << " parameter "
                << parameter;
        }
    }
}

TEST(PortMapping, PresetSettingsAreWhatTheProgramsShow) {
    expectPresetSettingsAsThePrograms<kel::clean::CleanModel>();
    expectPresetSettingsAsThePrograms<kel::crunch::CrunchModel>();
    // The settings the truncation changes.
    EXPECT_EQ(presetSetting(kel::clean::CleanModel::description, 0, kOutputParameter), 69);
    EXPECT_EQ(presetSetting(kel::clean::CleanModel::description, 1, kGainParameter), 44);
    EXPECT_EQ(presetSetting(kel::clean::CleanModel::description, 3, kOutputParameter), 70);
}

} // namespace

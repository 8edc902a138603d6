// What the LV2 ports' values mean: the settings they give, the enable switch, and the preset
// values, each against the VST 2.x effect object where it has a counterpart.
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

TEST(PortMapping, EnableSwitchIsOnAboveZero) {
    // From each state, each value: whether the effect is on afterwards.
    struct Case {
        float value;
        bool fromOn, fromOff;
    } cases[] = {
        {1.0f, true, true},   {0.0f, false, false}, {-0.0f, false, false},   {0.2f, true, true},
        {0.5f, true, true},   {1e-45f, true, true}, {-1e-45f, false, false}, {-1.0f, false, false},
        {2.0f, true, true},   {kInf, true, true},   {-kInf, false, false},   {kNaN, true, false},
        {-kNaN, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(enabledAfter(c.value, true), c.fromOn) << c.value << " from on";
        EXPECT_EQ(enabledAfter(c.value, false), c.fromOff) << c.value << " from off";
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

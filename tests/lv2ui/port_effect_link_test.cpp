// The editor's link to the plug-in's ports: what the editor reads of what the host says, what the
// host is told of what the editor does, and in what order.
#include "lv2ui/port_effect_link.h"

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "model/parameter_values.h"
#include "plugins/clean/clean_model.h"
#include "plugins/crunch/crunch_model.h"

using namespace kel::lv2ui;
using namespace kel::model;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct Recorded : HostPorts {
    struct Call {
        std::uint32_t port;
        char kind; // 'w' write, 'g' grab, 'r' release
        float value;
        bool operator==(const Call& other) const {
            return port == other.port && kind == other.kind && value == other.value;
        }
    };
    void write(std::uint32_t port, float value) override { calls.push_back({port, 'w', value}); }
    void touch(std::uint32_t port, bool grabbed) override {
        calls.push_back({port, grabbed ? 'g' : 'r', 0.0f});
    }
    std::vector<Call> calls;
};

TEST(PortEffectLink, StartsWithTheDefaultProgramAsTheVstEffectHoldsIt) {
    PortEffectLink clean(kel::clean::CleanModel::description);
    EXPECT_EQ(clean.parameter(kEffectParameter), 0.0f); // on
    EXPECT_EQ(clean.parameter(kGainParameter), toParameterValue(50, 0, 100));
    // Output 70 held as 0.7, as the VST 2.x effect holds it; its port shows 69.
    EXPECT_EQ(clean.parameter(kOutputParameter), toParameterValue(70, 0, 100));
    float parameter = 0.0f;
    EXPECT_FALSE(clean.portChanged(kOutputParameter, 69.0f, parameter));
    EXPECT_EQ(clean.programName(), "Default");
    EXPECT_EQ(clean.effectName(), "HN-6 Clean Preamp");
    PortEffectLink crunch(kel::crunch::CrunchModel::description);
    EXPECT_EQ(crunch.parameter(kToneParameter), toParameterValue(8, 0, 15));
}

TEST(PortEffectLink, PortValuesAndEditorValuesMapBothWays) {
    const struct {
        int index;
        float port;
        float current;
        float parameter; // what the editor reads afterwards
    } fromHost[] = {
        {kEffectParameter, 1.0f, 1.0f, 0.0f},  {kEffectParameter, 0.0f, 0.0f, 1.0f},
        {kEffectParameter, -1.0f, 0.0f, 1.0f}, {kEffectParameter, 0.2f, 1.0f, 0.0f},
        {kEffectParameter, kNaN, 1.0f, 1.0f},  {kGainParameter, 80.0f, 0.0f, 0.8f},
        {kGainParameter, 80.7f, 0.0f, 0.8f},   {kGainParameter, 1e9f, 0.0f, 1.0f},
        {kGainParameter, kNaN, 0.5f, 0.0f},    {kToneParameter, 15.0f, 0.0f, 1.0f},
        {kToneParameter, 3.0f, 0.2f, 0.2f},    // 0.2 shows 3 already: the editor keeps it
        {kOutputParameter, 69.0f, 0.7f, 0.7f}, // 0.7 shows 69: kept, no jump to 0.69
        {kOutputParameter, 70.0f, 0.7f, 0.7f},
    };
    for (const auto& c : fromHost) {
        EXPECT_EQ(PortEffectLink::parameterValue(c.index, c.port, c.current), c.parameter)
            << c.index << " " << c.port;
    }
    const struct {
        int index;
        float parameter, port;
    } toHost[] = {
        {kEffectParameter, 1.0f, 0.0f}, {kEffectParameter, 0.0f, 1.0f},
        {kGainParameter, 0.7f, 69.0f},  {kGainParameter, 1.0f, 100.0f},
        {kToneParameter, 0.5f, 7.0f},   {kOutputParameter, 0.0f, 0.0f},
    };
    for (const auto& c : toHost) {
        EXPECT_EQ(PortEffectLink::portValue(c.index, c.parameter), c.port) << c.index;
    }
}

TEST(PortEffectLink, TheHostHearsEveryWriteAndGestureInOrderAtItsIdle) {
    PortEffectLink link(kel::clean::CleanModel::description);
    Recorded host;
    link.flush(host);
    EXPECT_TRUE(host.calls.empty());
    // A knob turned from the editor's thread while the host goes on with its own.
    std::thread editor([&] {
        link.beginEdit(kGainParameter);
        link.setParameterAutomated(kGainParameter, 0.25f);
        link.setParameterAutomated(kGainParameter, 0.7f);
        link.endEdit(kGainParameter);
        link.setParameter(kEffectParameter, 1.0f);
        link.beginEdit(99); // no such parameter: nothing
    });
    editor.join();
    EXPECT_EQ(link.parameter(kGainParameter), 0.7f); // read back at once, before any echo
    link.flush(host);
    const std::vector<Recorded::Call> expected = {
        {kGainParameter, 'g', 0.0f}, {kGainParameter, 'w', 25.0f},  {kGainParameter, 'w', 69.0f},
        {kGainParameter, 'r', 0.0f}, {kEffectParameter, 'w', 0.0f},
    };
    EXPECT_EQ(host.calls, expected);
    link.flush(host);
    EXPECT_EQ(host.calls.size(), expected.size()); // handed over once

    // The host's echo of our own write changes nothing; its automation does.
    float parameter = -1.0f;
    EXPECT_FALSE(link.portChanged(kGainParameter, 69.0f, parameter));
    EXPECT_EQ(parameter, 0.7f);
    EXPECT_TRUE(link.portChanged(kGainParameter, 10.0f, parameter));
    EXPECT_EQ(parameter, 0.1f);
    EXPECT_FALSE(link.portChanged(6, 1.0f, parameter)); // an audio port
    link.selectProgram(3);
    EXPECT_EQ(link.programName(), "High Hot");
    link.selectProgram(7);
    EXPECT_EQ(link.programName(), "High Hot");
}

} // namespace

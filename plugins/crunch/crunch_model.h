// KR-6 Crunch Preamp: what sets it apart from the other plug-ins of the bundle.
#pragma once

#include "dsp/crunch_preamp.h"
#include "model/plugin_description.h"

namespace kel::crunch {

struct CrunchModel {
    using Preamp = dsp::CrunchPreamp;

    // What the processors get, derived from the integer settings.
    struct Settings {
        float drive; // 7 to about 221.4, in front of the second waveshaper
        float mid;   // 0 to 15 dB, gain of the mid bell
        float level; // 0.01 to 10, output factor
    };

    // The fixed parts of the crunch voicing.
    static constexpr float kInputGain = 1.0f;
    static constexpr float kStageGain = 18.0f;      // inverting gain in front of the third shaper
    static constexpr float kMidFrequency = 2000.0f; // Hz, centre of the Mid Boost bell
    static constexpr float kMidQ = 0.2f;            // a bell several octaves wide

    // Gain spans 0 to +30 dB above a drive of 7; Output spans -40 to +20 dB.
    static Settings deriveSettings(int gain, int midBoost, int output);
    static void configure(dsp::CrunchPreamp& preamp, const Settings& settings);

    static constexpr model::PluginDescription description{
        "KR-6 Crunch Preamp",
        "Mid Boost",
        {
            // name, Gain, Mid Boost, Output
            {"Default", {50, 8, 66}},
            {"Clean", {0, 2, 66}},
            {"Low Drive", {33, 8, 50}},
            {"Mid Drive", {45, 8, 50}},
            {"High Drive", {80, 12, 40}},
        },
        32,
        " Welcome to Sonadrix - KR6!",
        "                                      VST Plug-In KR6 - Crunch Preamp \n\n"
        "Orvalle Vol.2 by Sonadrix, version 1.0",
        "A crunch guitar preamp with three waveshaping stages and a broad mid boost in front of "
        "the drive.",
        "Boost of the midrange around 2 kHz in front of the drive stage, in dB.",
    };
};

} // namespace kel::crunch

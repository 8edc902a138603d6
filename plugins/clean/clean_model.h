// HN-6 Clean Preamp: what sets it apart from the other plug-ins of the bundle.
#pragma once

#include "dsp/clean_preamp.h"
#include "model/plugin_description.h"

namespace kel::clean {

struct CleanModel {
    using Preamp = dsp::CleanPreamp;

    // What the processors get, derived from the integer settings.
    struct Settings {
        float drive;  // 0.05 to 50, in front of the second waveshaper
        float level;  // 0.01 to 10, output factor
        float bright; // 0 to 15 dB, gain of the bright shelf
    };

    // Gain and Output span -40 to +20 dB in steps of 0.6 dB; drive is 5 times the Gain factor.
    static Settings deriveSettings(int gain, int bright, int output);
    static void configure(dsp::CleanPreamp& preamp, const Settings& settings);

    static constexpr model::PluginDescription description{
        "HN-6 Clean Preamp",
        "Bright",
        {
            // name, Gain, Bright, Output
            {"Default", {50, 5, 70}},
            {"Low Hot", {45, 0, 100}},
            {"Low Bright", {45, 15, 100}},
            {"High Hot", {85, 0, 71}},
            {"High Bright", {85, 15, 61}},
        },
        48,
        " Welcome to Sonadrix - HN6!",
        "                                      VST Plug-In HN6 - Clean Preamp \n\n"
        "Orvalle Vol.2 by Sonadrix, version 1.0",
        "A clean two-stage guitar preamp with a bright shelf, from sparkling clean to the edge "
        "of break-up.",
        "Treble lift of the bright shelf above 2 kHz, in dB.",
    };
};

} // namespace kel::clean

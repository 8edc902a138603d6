// HN-6 Clean Preamp: what sets it apart from the other plug-ins of the bundle.
#pragma once

#include "shell/plugin_description.h"

struct CleanModel {
    static constexpr PluginDescription description{
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
    };
};

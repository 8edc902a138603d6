// KR-6 Crunch Preamp: what sets it apart from the other plug-ins of the bundle.
#pragma once

#include "shell/plugin_description.h"

struct CrunchModel {
    static constexpr PluginDescription description{
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
    };
};

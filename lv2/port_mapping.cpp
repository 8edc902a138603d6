#include "lv2/port_mapping.h"

#include "model/parameter_values.h"
#include "model/parameters.h"

namespace kel::lv2 {

int settingFromPort(float value, int span) {
    return model::truncateToSetting(static_cast<double>(value), 0, span);
}

bool bypassedAfter(float enabled, bool bypassed) {
    // The Effect parameter's thresholds mirrored onto the enable value: 1 - 0.75 and 1 - 0.25,
    // both exact in float.
    constexpr float offBelow = 1.0f - model::kBypassOnAbove;
    constexpr float onAbove = 1.0f - model::kBypassOffBelow;
    if (enabled < offBelow) {
        return true;
    }
    if (enabled > onAbove) {
        return false;
    }
    return bypassed;
}

int presetSetting(const model::PluginDescription& plugin, int number, int parameter) {
    return model::settingThroughParameterValue(
        plugin.builtIns[number].values[parameter - model::kGainParameter], 0,
        model::kParameterTable[parameter].span);
}

} // namespace kel::lv2

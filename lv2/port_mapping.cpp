#include "lv2/port_mapping.h"

#include "model/parameter_values.h"
#include "model/parameters.h"

namespace kel::lv2 {

int settingFromPort(float value, int span) {
    return model::truncateToSetting(static_cast<double>(value), 0, span);
}

bool enabledAfter(float value, bool enabled) {
    if (value > 0.0f) {
        return true;
    }
    return value <= 0.0f ? false : enabled; // neither: NaN
}

int presetSetting(const model::PluginDescription& plugin, int number, int parameter) {
    return model::settingThroughParameterValue(
        plugin.builtIns[number].values[parameter - model::kGainParameter], 0,
        model::kParameterTable[parameter].span);
}

} // namespace kel::lv2

#include "model/parameter_values.h"

namespace kel::model {

float toParameterValue(int setting, int low, int high) {
    if (high <= low) {
        return 0.0f;
    }
    int clamped = setting < low ? low : (setting > high ? high : setting);
    double span = static_cast<double>(high) - static_cast<double>(low);
    return static_cast<float>((static_cast<double>(clamped) - low) / span);
}

int toPresetValue(float value, int low, int high) {
    return truncateToSetting(
        (static_cast<double>(high) - static_cast<double>(low)) * static_cast<double>(value) + low,
        low, high);
}

int settingThroughParameterValue(int setting, int low, int high) {
    return toPresetValue(toParameterValue(setting, low, high), low, high);
}

int truncateToSetting(double value, int low, int high) {
    // Written so that NaN fails the first test; the conversion below only ever sees low..high.
    if (!(value > low)) {
        return low;
    }
    if (value >= high) {
        return high;
    }
    return static_cast<int>(value);
}

} // namespace kel::model

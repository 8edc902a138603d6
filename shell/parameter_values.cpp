#include "shell/parameter_values.h"

namespace kel::shell {

float toParameterValue(int setting, int low, int high) {
    if (high <= low) {
        return 0.0f;
    }
    int clamped = setting < low ? low : (setting > high ? high : setting);
    double span = static_cast<double>(high) - static_cast<double>(low);
    return static_cast<float>((static_cast<double>(clamped) - low) / span);
}

int toPresetValue(float value, int low, int high) {
    double scaled =
        (static_cast<double>(high) - static_cast<double>(low)) * static_cast<double>(value) + low;
    // Written so that NaN fails the first test; the conversion below only ever sees low..high.
    if (!(scaled > low)) {
        return low;
    }
    if (scaled >= high) {
        return high;
    }
    return static_cast<int>(scaled);
}

} // namespace kel::shell

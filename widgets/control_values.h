// How controls turn any float a host may store (NaN, infinities, values far out of range) into
// something they can draw and compare. Nothing here converts a non-finite float to an integer.
#pragma once

#include <cmath>

namespace VSTGUI {

// The value a control shows: NaN as the minimum, out-of-range values at the nearer end.
inline float drawableValue(float value, float minimum, float maximum) {
    if (std::isnan(value) || value < minimum) {
        return minimum;
    }
    return value > maximum ? maximum : value;
}

// Equal values, where two NaNs count as equal, so that a NaN does not keep a control dirty.
inline bool sameValue(float a, float b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

// Whether the value's integer part is non-zero; NaN counts as 0, the infinities as non-zero.
inline bool integerPartNonZero(float value) {
    if (std::isnan(value)) {
        return false;
    }
    return std::isinf(value) || std::trunc(value) != 0.0f;
}

// The image of a vertical strip of count images that shows value (0 to 1): the first image up to
// just below 1 / (2 (count - 1)), the last one for 1.
inline int frameStripIndex(float value, int count) {
    const float shown = drawableValue(value, 0.0f, 1.0f);
    if (count < 2 || !(shown > 0.0f)) {
        return 0;
    }
    return static_cast<int>(static_cast<float>(count - 1) * shown + 0.5f);
}

} // namespace VSTGUI

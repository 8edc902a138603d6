#include "dsp/enable_fade.h"

#include <cmath>

#include "dsp/preamp_channel.h"

namespace kel::dsp {

namespace {

int fadeFrames(double sampleRate) {
    const double frames = std::round(EnableFade::kSeconds * sampleRate);
    // A rate that is not finite or positive still gets a fade the switch can use.
    return frames >= 1.0 && frames < 1e7 ? static_cast<int>(frames) : 1;
}

} // namespace

EnableFade::EnableFade(double sampleRate) : length(fadeFrames(sampleRate)), position(length) {}

void EnableFade::settle(bool on) {
    target = on;
    position = on ? length : 0;
}

void EnableFade::switchTo(bool on) {
    target = on;
}

double EnableFade::wetWeight(int at, int frames) {
    const double t = static_cast<double>(at) / static_cast<double>(frames);
    return t * t * (3.0 - 2.0 * t);
}

void EnableFade::mix(const float* const dry[2], const float* const wet[2], float* const out[2],
                     int n) {
    for (int i = 0; i < n; ++i) {
        if (target && position < length) {
            ++position;
        } else if (!target && position > 0) {
            --position;
        }
        const float d0 = dry[0][i], d1 = dry[1][i];
        const float w0 = wet[0][i], w1 = wet[1][i];
        if (position == 0) {
            out[0][i] = d0;
            out[1][i] = d1;
        } else if (position == length) {
            out[0][i] = w0;
            out[1][i] = w1;
        } else {
            const double w = wetWeight(position, length);
            out[0][i] = static_cast<float>(w * w0 + (1.0 - w) * finiteOrSilence(d0));
            out[1][i] = static_cast<float>(w * w1 + (1.0 - w) * finiteOrSilence(d1));
        }
    }
}

} // namespace kel::dsp

// What the per-channel processors of both preamp chains share: drive, level and sample rate, the
// states of their filter sections, the one-channel run loops and the recovery from non-finite
// input.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dsp/filter_section.h"

namespace kel::dsp {

// The value itself where it is finite, else +0: an infinite or NaN input sample enters a chain as
// silence, and a chain whose states a huge finite input has overflowed gives silence rather than
// NaN until the end of the call clears them. Finite values keep every bit, -0 included.
inline float finiteOrSilence(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & 0x7f800000u) != 0x7f800000u ? v : 0.0f;
}

// Chain is the processor itself, whose processSample runs one sample through its chain without
// the level; Sections is the number of its filter sections.
template <class Chain, std::size_t Sections>
class PreampChannel {
public:
    void setDrive(float x) { drive_ = x; }
    void setLevel(float x) { level_ = x; }

    // Process n samples (n ≤ 0: nothing is read or written); in == out works. runAdding adds the
    // result to out, runReplacing overwrites out. Input samples that are not finite count as 0,
    // and so does a chain output that is not finite (only a huge finite input can overflow the
    // states); the states are cleared at the end of the call if one of them is not finite.
    void runAdding(const float* in, float* out, int n) {
        for (int i = 0; i < n; ++i) {
            const float y = finiteOrSilence(chain().processSample(finiteOrSilence(in[i])));
            out[i] =
                static_cast<float>(static_cast<double>(out[i]) + static_cast<double>(level_) * y);
        }
        if (n > 0) {
            clearStatesIfNotFinite();
        }
    }
    void runReplacing(const float* in, float* out, int n) {
        for (int i = 0; i < n; ++i) {
            const float y = finiteOrSilence(chain().processSample(finiteOrSilence(in[i])));
            out[i] = static_cast<float>(static_cast<double>(level_) * y);
        }
        if (n > 0) {
            clearStatesIfNotFinite();
        }
    }

    // Every state cleared if one of them is not finite: the end of every run call, in the stereo
    // kernels too.
    void clearStatesIfNotFinite() {
        for (const SectionState& state : states_) {
            if (!state.finite()) {
                for (SectionState& s : states_) {
                    s.reset();
                }
                return;
            }
        }
    }

    float drive() const { return drive_; }
    float level() const { return level_; }
    float sampleRate() const { return fs_; }
    // The states of the filter sections, in the order of the chain's Section numbers; the stereo
    // kernels take them over for a block and hand them back.
    std::array<SectionState, Sections>& states() { return states_; }
    const std::array<SectionState, Sections>& states() const { return states_; }

protected:
    float drive_ = 0.0f;
    float level_ = 0.0f;
    float fs_ = 48000.0f;
    std::array<SectionState, Sections> states_{};

private:
    Chain& chain() { return static_cast<Chain&>(*this); }
};

} // namespace kel::dsp

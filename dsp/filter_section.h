// Second-order recursive filter sections. Coefficient calculation stays apart from the signal: the
// designs fill a coefficient set when a setting changes, and a state runs samples with it.
#pragma once

#include <cstdint>
#include <cstring>

namespace kel::dsp {

// H(z) = g · (1 + c1·z⁻¹ + c2·z⁻²) / (1 + a1·z⁻¹ + a2·z⁻²).
struct SectionCoefficients {
    float g = 1.0f;  // overall gain, the feed-forward coefficient b0
    float c1 = 0.0f; // b1 / b0
    float c2 = 0.0f; // b2 / b0
    float a1 = 0.0f;
    float a2 = 0.0f;
};

// +0 for a value whose exponent field is 0 (a zero of either sign or a subnormal), else the value.
inline float flushTiny(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & 0x7f800000u) != 0 ? v : 0.0f;
}

// The two states of a section in transposed direct form II, with its input pre-scaled by g, and
// the two ways the chains run samples through it.
struct SectionState {
    float s1 = 0.0f;
    float s2 = 0.0f;

    // The filter section's arithmetic: the scaled input and y flushed, each product and the first
    // difference rounded to float. Products are formed in double: exact for two floats, so
    // rounding them once gives the float product, and no multiplication ever meets a subnormal.
    float processSample(const SectionCoefficients& k, float x);
    // The crunch chain's: the scaled input, y and each new state rounded once, nothing flushed.
    float processUnflushed(const SectionCoefficients& k, float x);
    // processSample on n samples (n ≤ 0: none); in == out works.
    void run(const SectionCoefficients& k, const float* in, float* out, int n);

    void reset() { s1 = s2 = 0.0f; }
    bool finite() const;
};

// The designs, computed in double from a float frequency f (Hz) at the float rate fs and rounded
// to float, the poles kept inside the unit circle.
SectionCoefficients passThroughDesign();
// Width as a ratio: bandwidth f / width.
SectionCoefficients peakDesign(float fs, float f, float gainDb, float width);
SectionCoefficients lowPassDesign(float fs, float f, bool secondOrder); // second order: Butterworth
SectionCoefficients highPassDesign(float fs, float f, bool secondOrder);
SectionCoefficients lowShelfDesign(float fs, float f, float gainDb, bool secondOrder);
SectionCoefficients highShelfDesign(float fs, float f, float gainDb, bool secondOrder);
// Width as a bandwidth in Hz, peak gain 1.
SectionCoefficients bandPassDesign(float fs, float f, float bandwidthHz);
// Width as a ratio: bandwidth f / width.
SectionCoefficients bandStopDesign(float fs, float f, float width);

// Second-order peaking filter of gain `gainDb` at `centreHz` with quality `q`.
void peakingCoefficients(float gainDb, float centreHz, float q, float sampleRate,
                         SectionCoefficients& out);
// Second-order Butterworth high-pass with an unnormalised numerator (g = 1, c1 = −2, c2 = 1): its
// gain at high frequencies is 1 + √2·K + K² rather than 1.
void highPassCoefficients(float cornerHz, float sampleRate, SectionCoefficients& out);

// A design recorded with its frequency, gain and width, so that it can be computed again for
// another rate or type: the twelve designs of the filter section. A design changes the
// coefficients only.
class SectionDesign {
public:
    enum Type : int {
        PassThrough = 0,
        Peak = 1,       // width as a ratio: bandwidth f / width
        LowPass1 = 2,   // first order
        LowPass2 = 3,   // second-order Butterworth
        HighPass1 = 4,  // first order
        HighPass2 = 5,  // second-order Butterworth
        LowShelf1 = 6,  // first order
        LowShelf2 = 7,  // second order
        HighShelf1 = 8, // first order
        HighShelf2 = 9, // second order
        BandPass = 10,  // width as a bandwidth in Hz, peak gain 1
        BandStop = 11,  // width as a ratio: bandwidth f / width
    };

    void setPassThrough();
    void designPeak(float f, float gainDb, float width);
    void designLowPass(float f, bool secondOrder);
    void designHighPass(float f, bool secondOrder);
    void designLowShelf(float f, float gainDb, bool secondOrder);
    void designHighShelf(float f, float gainDb, bool secondOrder);
    void designBandPass(float f, float bandwidthHz);
    void designBandStop(float f, float width);

    // Redesigns for `kind` (0 to 11) from the recorded frequency, gain and width; a kind above 11
    // changes nothing. Returns whether it redesigned.
    bool setType(std::uint32_t kind);
    // Redesigns the current type for a new positive, finite rate; the current rate, 0, a
    // negative rate, infinity or NaN change nothing. Returns whether the rate changed.
    bool setSampleRate(float rate);

    int type() const { return type_; }
    float sampleRate() const { return fs_; }
    const SectionCoefficients& coefficients() const { return k_; }

private:
    void redesign();

    SectionCoefficients k_;
    float fs_ = 44100.0f;
    float f_ = 4410.0f;
    float G_ = 0.0f;
    float W_ = 3.0f; // width recorded by the band-pass and band-stop designs
    int type_ = PassThrough;
    // The last positive, finite width given to designPeak: a peaking section keeps its own width
    // across a redesign (setType, sample-rate change), apart from the band designs' width.
    float peakWidth_ = 3.0f;
};

// A recorded design with a state running samples through it. A design changes the coefficients
// only: a section can be redesigned while audio runs through it without a click from a state
// reset. A new type or rate clears the state.
class FilterSection : public SectionDesign {
public:
    // A pass-through section at 44100 Hz with zero state.
    FilterSection() = default;

    float processSample(float x) { return state_.processSample(coefficients(), x); }
    void reset() { state_.reset(); }

    // As SectionDesign's, and the state is cleared when they redesign.
    void setType(std::uint32_t kind);
    void setSampleRate(float rate);

    float state1() const { return state_.s1; }
    float state2() const { return state_.s2; }

private:
    SectionState state_;
};

inline float SectionState::processSample(const SectionCoefficients& k, float x) {
    const float a = flushTiny(static_cast<float>(static_cast<double>(k.g) * x));
    const float y = flushTiny(s1 + a);
    const float t1 = static_cast<float>(static_cast<double>(k.c1) * a);
    const float t2 = static_cast<float>(static_cast<double>(t1) - static_cast<double>(k.a1) * y);
    s1 = t2 + s2;
    const float t3 = static_cast<float>(static_cast<double>(k.c2) * a);
    s2 = static_cast<float>(static_cast<double>(t3) - static_cast<double>(k.a2) * y);
    return y;
}

inline float SectionState::processUnflushed(const SectionCoefficients& k, float x) {
    const float input = static_cast<float>(static_cast<double>(k.g) * x);
    const float y = s1 + input;
    s1 = static_cast<float>((static_cast<double>(k.c1) * input - static_cast<double>(k.a1) * y) +
                            s2);
    s2 = static_cast<float>(static_cast<double>(k.c2) * input - static_cast<double>(k.a2) * y);
    return y;
}

} // namespace kel::dsp

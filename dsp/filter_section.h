// Second-order recursive filter section: coefficient set, the filter section object of the clean
// preamp with its twelve designs, and the two standalone designs of the crunch preamp.
#pragma once

#include <cstdint>
#include <cstring>

// H(z) = g · (1 + c1·z⁻¹ + c2·z⁻²) / (1 + a1·z⁻¹ + a2·z⁻²).
struct SectionCoefficients {
    float g = 1.0f;  // overall gain, the feed-forward coefficient b0
    float c1 = 0.0f; // b1 / b0
    float c2 = 0.0f; // b2 / b0
    float a1 = 0.0f;
    float a2 = 0.0f;
};

namespace kel_dsp {

// +0 for a value whose exponent field is 0 (a zero of either sign or a subnormal), else the value.
inline float flushTiny(float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return (bits & 0x7f800000u) != 0 ? v : 0.0f;
}

} // namespace kel_dsp

// One second-order section in transposed direct form II with its input pre-scaled by g.
// A design changes the coefficients only: a section can be redesigned while audio runs through
// it without a click from a state reset.
class FilterSection {
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

    // A pass-through section at 44100 Hz with zero state.
    FilterSection();

    float processSample(float x);
    void reset() { s1_ = s2_ = 0.0f; }

    void setPassThrough();
    void designPeak(float f, float gainDb, float width);
    void designLowPass(float f, bool secondOrder);
    void designHighPass(float f, bool secondOrder);
    void designLowShelf(float f, float gainDb, bool secondOrder);
    void designHighShelf(float f, float gainDb, bool secondOrder);
    void designBandPass(float f, float bandwidthHz);
    void designBandStop(float f, float width);

    // Redesigns for `kind` (0 to 11) from the recorded frequency, gain and width, then clears the
    // state. A kind above 11 changes nothing.
    void setType(std::uint32_t kind);
    // A new positive, finite rate clears the state and redesigns the current type for it; the
    // current rate, 0, a negative rate, infinity or NaN change nothing.
    void setSampleRate(float rate);

    int type() const { return type_; }
    float sampleRate() const { return fs_; }
    SectionCoefficients coefficients() const { return {g_, c1_, c2_, a1_, a2_}; }
    float state1() const { return s1_; }
    float state2() const { return s2_; }

private:
    friend class CleanPreamp; // its two-channel loop keeps the states in registers per block

    void setCoefficients(int type, double g, double c1, double c2, double a1, double a2);
    void redesign();

    float fs_ = 44100.0f;
    float f_ = 4410.0f;
    float G_ = 0.0f;
    float W_ = 3.0f; // width recorded by the band-pass and band-stop designs
    float s1_ = 0.0f;
    float s2_ = 0.0f;
    float a1_ = 0.0f;
    float a2_ = 0.0f;
    float c1_ = 0.0f;
    float c2_ = 0.0f;
    float g_ = 1.0f;
    int type_ = PassThrough;
    // The last positive, finite width given to designPeak: a peaking section keeps its own width
    // across a redesign (setType, sample-rate change), apart from the band designs' width.
    float peakWidth_ = 3.0f;
};

// Second-order peaking filter of gain `gainDb` at `centreHz` with quality `q`.
void peakingCoefficients(float gainDb, float centreHz, float q, float sampleRate,
                         SectionCoefficients& out);
// Second-order Butterworth high-pass with an unnormalised numerator (g = 1, c1 = −2, c2 = 1): its
// gain at high frequencies is 1 + √2·K + K² rather than 1.
void highPassCoefficients(float cornerHz, float sampleRate, SectionCoefficients& out);

inline float FilterSection::processSample(float x) {
    // Products are formed in double: exact for two floats, so rounding them once gives the float
    // product, and no multiplication ever meets a subnormal float.
    const float a = kel_dsp::flushTiny(static_cast<float>(static_cast<double>(g_) * x));
    const float y = kel_dsp::flushTiny(s1_ + a);
    const float t1 = static_cast<float>(static_cast<double>(c1_) * a);
    const float t2 = static_cast<float>(static_cast<double>(t1) - static_cast<double>(a1_) * y);
    s1_ = t2 + s2_;
    const float t3 = static_cast<float>(static_cast<double>(c2_) * a);
    s2_ = static_cast<float>(static_cast<double>(t3) - static_cast<double>(a2_) * y);
    return y;
}

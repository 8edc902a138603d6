#include "dsp/filter_section.h"

#include <cmath>

#include "dsp/design_math.h"

namespace kel::dsp {

bool SectionState::finite() const {
    return std::isfinite(s1) && std::isfinite(s2);
}

void SectionState::run(const SectionCoefficients& k, const float* in, float* out, int n) {
    for (int i = 0; i < n; ++i) {
        out[i] = processSample(k, in[i]);
    }
}

namespace {

// A design's coefficients rounded to float, the poles kept inside the unit circle.
SectionCoefficients rounded(double g, double c1, double c2, double a1, double a2) {
    SectionCoefficients k{static_cast<float>(g), static_cast<float>(c1), static_cast<float>(c2),
                          static_cast<float>(a1), static_cast<float>(a2)};
    keepPolesInside(k.a1, k.a2);
    return k;
}

} // namespace

SectionCoefficients passThroughDesign() {
    return rounded(1.0, 0.0, 0.0, 0.0, 0.0);
}

SectionCoefficients peakDesign(float fs, float f, float gainDb, float width) {
    const double T = std::tan(kPi * (static_cast<double>(f) / width) / fs);
    const double u = std::cos(kTwoPi * f / fs);
    const double V = designGain(gainDb);
    const double k = gainDb >= 0.0f ? (T - 1.0) / (T + 1.0) : (T - V) / (T + V);
    const double H = (V - 1.0) / 2.0;
    const double P = (1.0 + k) * H;
    const double a1 = -u * (1.0 - k);
    return rounded(1.0 + P, a1 / (1.0 + P), (-k - P) / (1.0 + P), a1, -k);
}

SectionCoefficients lowPassDesign(float fs, float f, bool secondOrder) {
    const double T = std::tan(kPi * f / fs);
    if (!secondOrder) {
        const double k = (T - 1.0) / (T + 1.0);
        return rounded((1.0 + k) / 2.0, 1.0, 0.0, k, 0.0);
    }
    const double T2 = T * T;
    const double D = T2 + kSqrt2 * T + 1.0;
    return rounded(T2 / D, 2.0, 1.0, 2.0 * (T2 - 1.0) / D, (T2 - kSqrt2 * T + 1.0) / D);
}

SectionCoefficients highPassDesign(float fs, float f, bool secondOrder) {
    const double T = std::tan(kPi * f / fs);
    if (!secondOrder) {
        const double k = (T - 1.0) / (T + 1.0);
        return rounded((1.0 - k) / 2.0, -1.0, 0.0, k, 0.0);
    }
    const double T2 = T * T;
    const double D = T2 + kSqrt2 * T + 1.0;
    return rounded(1.0 / D, -2.0, 1.0, 2.0 * (T2 - 1.0) / D, (T2 - kSqrt2 * T + 1.0) / D);
}

SectionCoefficients lowShelfDesign(float fs, float f, float gainDb, bool secondOrder) {
    const double T = std::tan(kPi * f / fs);
    if (!secondOrder) {
        const double V = designGain(gainDb);
        const double k = gainDb > 0.0f ? (T - 1.0) / (T + 1.0) : (T - V) / (T + V);
        const double H = (V - 1.0) / 2.0;
        const double g = 1.0 + H * (1.0 + k);
        return rounded(g, (H * (1.0 + k) + k) / g, 0.0, k, 0.0);
    }
    const double V0 = designGain(std::fabs(gainDb));
    const double E = std::sqrt(2.0 * V0);
    const double T2 = T * T;
    const double D = T2 + kSqrt2 * T + 1.0;
    const double B = 1.0 + E * T + V0 * T2;
    const double flatNum1 = 2.0 * (T2 - 1.0) / D; // the Butterworth polynomial over D
    const double flatNum2 = (1.0 - kSqrt2 * T + T2) / D;
    const double shelfNum1 = 2.0 * (V0 * T2 - 1.0) / B; // the shelf polynomial over B
    const double shelfNum2 = (1.0 - E * T + V0 * T2) / B;
    if (gainDb > 0.0f) {
        return rounded(B / D, shelfNum1, shelfNum2, flatNum1, flatNum2);
    }
    return rounded(D / B, flatNum1, flatNum2, shelfNum1, shelfNum2);
}

SectionCoefficients highShelfDesign(float fs, float f, float gainDb, bool secondOrder) {
    const double T = std::tan(kPi * f / fs);
    if (!secondOrder) {
        const double V = designGain(gainDb);
        const double k = gainDb > 0.0f ? (T - 1.0) / (T + 1.0) : (V * T - 1.0) / (V * T + 1.0);
        const double H = (V - 1.0) / 2.0;
        const double g = 1.0 + H * (1.0 - k);
        return rounded(g, (k + H * (k - 1.0)) / g, 0.0, k, 0.0);
    }
    const double V0 = designGain(std::fabs(gainDb));
    const double E = std::sqrt(2.0 * V0);
    const double T2 = T * T;
    const double D = T2 + kSqrt2 * T + 1.0;
    const double B = V0 + E * T + T2;
    const double flatNum1 = 2.0 * (T2 - 1.0) / D;
    const double flatNum2 = (1.0 - kSqrt2 * T + T2) / D;
    const double shelfNum1 = 2.0 * (T2 - V0) / B;
    const double shelfNum2 = (V0 - E * T + T2) / B;
    if (gainDb > 0.0f) {
        return rounded(B / D, shelfNum1, shelfNum2, flatNum1, flatNum2);
    }
    return rounded(D / B, flatNum1, flatNum2, shelfNum1, shelfNum2);
}

SectionCoefficients bandPassDesign(float fs, float f, float bandwidthHz) {
    const double T = std::tan(kPi * bandwidthHz / fs);
    const double u = std::cos(kTwoPi * f / fs);
    const double k = (T - 1.0) / (T + 1.0);
    return rounded((1.0 + k) / 2.0, 0.0, -1.0, -u * (1.0 - k), -k);
}

SectionCoefficients bandStopDesign(float fs, float f, float width) {
    const double T = std::tan(kPi * (static_cast<double>(f) / width) / fs);
    const double u = std::cos(kTwoPi * f / fs);
    const double k = (T - 1.0) / (T + 1.0);
    return rounded((1.0 - k) / 2.0, -2.0 * u, 1.0, -u * (1.0 - k), -k);
}

void SectionDesign::setPassThrough() {
    type_ = PassThrough;
    k_ = passThroughDesign();
}

void SectionDesign::designPeak(float f, float gainDb, float width) {
    f_ = f;
    G_ = gainDb;
    if (width > 0.0f && std::isfinite(width)) {
        peakWidth_ = width;
    }
    type_ = Peak;
    k_ = peakDesign(fs_, f, gainDb, width);
}

void SectionDesign::designLowPass(float f, bool secondOrder) {
    f_ = f;
    type_ = secondOrder ? LowPass2 : LowPass1;
    k_ = lowPassDesign(fs_, f, secondOrder);
}

void SectionDesign::designHighPass(float f, bool secondOrder) {
    f_ = f;
    type_ = secondOrder ? HighPass2 : HighPass1;
    k_ = highPassDesign(fs_, f, secondOrder);
}

void SectionDesign::designLowShelf(float f, float gainDb, bool secondOrder) {
    f_ = f;
    G_ = gainDb;
    type_ = secondOrder ? LowShelf2 : LowShelf1;
    k_ = lowShelfDesign(fs_, f, gainDb, secondOrder);
}

void SectionDesign::designHighShelf(float f, float gainDb, bool secondOrder) {
    f_ = f;
    G_ = gainDb;
    type_ = secondOrder ? HighShelf2 : HighShelf1;
    k_ = highShelfDesign(fs_, f, gainDb, secondOrder);
}

void SectionDesign::designBandPass(float f, float bandwidthHz) {
    f_ = f;
    W_ = bandwidthHz;
    type_ = BandPass;
    k_ = bandPassDesign(fs_, f, bandwidthHz);
}

void SectionDesign::designBandStop(float f, float width) {
    f_ = f;
    W_ = width;
    type_ = BandStop;
    k_ = bandStopDesign(fs_, f, width);
}

void SectionDesign::redesign() {
    switch (type_) {
    case Peak:
        designPeak(f_, G_, peakWidth_);
        break;
    case LowPass1:
    case LowPass2:
        designLowPass(f_, type_ == LowPass2);
        break;
    case HighPass1:
    case HighPass2:
        designHighPass(f_, type_ == HighPass2);
        break;
    case LowShelf1:
    case LowShelf2:
        designLowShelf(f_, G_, type_ == LowShelf2);
        break;
    case HighShelf1:
    case HighShelf2:
        designHighShelf(f_, G_, type_ == HighShelf2);
        break;
    case BandPass:
        designBandPass(f_, W_);
        break;
    case BandStop:
        designBandStop(f_, W_);
        break;
    default:
        setPassThrough();
        break;
    }
}

bool SectionDesign::setType(std::uint32_t kind) {
    if (kind > BandStop) {
        return false;
    }
    type_ = static_cast<int>(kind);
    redesign();
    return true;
}

bool SectionDesign::setSampleRate(float rate) {
    if (!(rate > 0.0f) || !std::isfinite(rate) || rate == fs_) {
        return false;
    }
    fs_ = rate;
    if (type_ != PassThrough) {
        redesign();
    }
    return true;
}

void FilterSection::setType(std::uint32_t kind) {
    if (SectionDesign::setType(kind)) {
        reset();
    }
}

void FilterSection::setSampleRate(float rate) {
    if (SectionDesign::setSampleRate(rate)) {
        reset();
    }
}

void peakingCoefficients(float gainDb, float centreHz, float q, float sampleRate,
                         SectionCoefficients& out) {
    const double Q = q;
    const double K = std::tan(kPi * centreHz / sampleRate);
    const double K2 = K * K;
    double b0, b1, b2, a1, a2;
    if (gainDb > 0.0f) {
        const double V = designGain(gainDb);
        const double N = 1.0 + K / Q + K2;
        b0 = (1.0 + V * K / Q + K2) / N;
        b1 = 2.0 * (K2 - 1.0) / N;
        b2 = (1.0 - V * K / Q + K2) / N;
        a1 = 2.0 * (K2 - 1.0) / N;
        a2 = (1.0 - K / Q + K2) / N;
    } else {
        const double V = designGain(-gainDb);
        const double N = 1.0 + V * K / Q + K2;
        b0 = (1.0 + K / Q + K2) / N;
        b1 = 2.0 * (K2 - 1.0) / N;
        b2 = (1.0 - K / Q + K2) / N;
        a1 = 2.0 * (K2 - 1.0) / N;
        a2 = (1.0 - V * K / Q + K2) / N;
    }
    out.g = static_cast<float>(b0);
    out.c1 = static_cast<float>(b1 / b0);
    out.c2 = static_cast<float>(b2 / b0);
    out.a1 = static_cast<float>(a1);
    out.a2 = static_cast<float>(a2);
    keepPolesInside(out.a1, out.a2);
}

void highPassCoefficients(float cornerHz, float sampleRate, SectionCoefficients& out) {
    const double K = std::tan(kPi * cornerHz / sampleRate);
    const double K2 = K * K;
    const double N = 1.0 + kSqrt2 * K + K2;
    out.g = 1.0f;
    out.c1 = -2.0f;
    out.c2 = 1.0f;
    out.a1 = static_cast<float>(2.0 * (K2 - 1.0) / N);
    out.a2 = static_cast<float>((K2 - kSqrt2 * K + 1.0) / N);
    keepPolesInside(out.a1, out.a2);
}

} // namespace kel::dsp

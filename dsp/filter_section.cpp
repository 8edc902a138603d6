#include "dsp/filter_section.h"

#include <cmath>

#include "dsp/design_math.h"

using kel_dsp::decibelsToGain;
using kel_dsp::kPi;
using kel_dsp::kSqrt2;
using kel_dsp::kTwoPi;

FilterSection::FilterSection() {
    setType(PassThrough);
}

void FilterSection::setCoefficients(int type, double g, double c1, double c2, double a1,
                                    double a2) {
    type_ = type;
    g_ = static_cast<float>(g);
    c1_ = static_cast<float>(c1);
    c2_ = static_cast<float>(c2);
    a1_ = static_cast<float>(a1);
    a2_ = static_cast<float>(a2);
    kel_dsp::keepPolesInside(a1_, a2_);
}

void FilterSection::setPassThrough() {
    setCoefficients(PassThrough, 1.0, 0.0, 0.0, 0.0, 0.0);
}

void FilterSection::designPeak(float f, float gainDb, float width) {
    f_ = f;
    G_ = gainDb;
    if (width > 0.0f && std::isfinite(width)) {
        peakWidth_ = width;
    }
    const double fs = fs_;
    const double T = std::tan(kPi * (static_cast<double>(f) / width) / fs);
    const double u = std::cos(kTwoPi * f / fs);
    const double V = decibelsToGain(gainDb);
    const double k = gainDb >= 0.0f ? (T - 1.0) / (T + 1.0) : (T - V) / (T + V);
    const double H = (V - 1.0) / 2.0;
    const double P = (1.0 + k) * H;
    const double a1 = -u * (1.0 - k);
    setCoefficients(Peak, 1.0 + P, a1 / (1.0 + P), (-k - P) / (1.0 + P), a1, -k);
}

void FilterSection::designLowPass(float f, bool secondOrder) {
    f_ = f;
    const double T = std::tan(kPi * f / fs_);
    if (!secondOrder) {
        const double k = (T - 1.0) / (T + 1.0);
        setCoefficients(LowPass1, (1.0 + k) / 2.0, 1.0, 0.0, k, 0.0);
        return;
    }
    const double T2 = T * T;
    const double D = T2 + kSqrt2 * T + 1.0;
    setCoefficients(LowPass2, T2 / D, 2.0, 1.0, 2.0 * (T2 - 1.0) / D, (T2 - kSqrt2 * T + 1.0) / D);
}

void FilterSection::designHighPass(float f, bool secondOrder) {
    f_ = f;
    const double T = std::tan(kPi * f / fs_);
    if (!secondOrder) {
        const double k = (T - 1.0) / (T + 1.0);
        setCoefficients(HighPass1, (1.0 - k) / 2.0, -1.0, 0.0, k, 0.0);
        return;
    }
    const double T2 = T * T;
    const double D = T2 + kSqrt2 * T + 1.0;
    setCoefficients(HighPass2, 1.0 / D, -2.0, 1.0, 2.0 * (T2 - 1.0) / D,
                    (T2 - kSqrt2 * T + 1.0) / D);
}

void FilterSection::designLowShelf(float f, float gainDb, bool secondOrder) {
    f_ = f;
    G_ = gainDb;
    const double T = std::tan(kPi * f / fs_);
    if (!secondOrder) {
        const double V = decibelsToGain(gainDb);
        const double k = gainDb > 0.0f ? (T - 1.0) / (T + 1.0) : (T - V) / (T + V);
        const double H = (V - 1.0) / 2.0;
        const double g = 1.0 + H * (1.0 + k);
        setCoefficients(LowShelf1, g, (H * (1.0 + k) + k) / g, 0.0, k, 0.0);
        return;
    }
    const double V0 = decibelsToGain(std::fabs(gainDb));
    const double E = std::sqrt(2.0 * V0);
    const double T2 = T * T;
    const double D = T2 + kSqrt2 * T + 1.0;
    const double B = 1.0 + E * T + V0 * T2;
    const double flatNum1 = 2.0 * (T2 - 1.0) / D; // the Butterworth polynomial over D
    const double flatNum2 = (1.0 - kSqrt2 * T + T2) / D;
    const double shelfNum1 = 2.0 * (V0 * T2 - 1.0) / B; // the shelf polynomial over B
    const double shelfNum2 = (1.0 - E * T + V0 * T2) / B;
    if (gainDb > 0.0f) {
        setCoefficients(LowShelf2, B / D, shelfNum1, shelfNum2, flatNum1, flatNum2);
    } else {
        setCoefficients(LowShelf2, D / B, flatNum1, flatNum2, shelfNum1, shelfNum2);
    }
}

void FilterSection::designHighShelf(float f, float gainDb, bool secondOrder) {
    f_ = f;
    G_ = gainDb;
    const double T = std::tan(kPi * f / fs_);
    if (!secondOrder) {
        const double V = decibelsToGain(gainDb);
        const double k = gainDb > 0.0f ? (T - 1.0) / (T + 1.0) : (V * T - 1.0) / (V * T + 1.0);
        const double H = (V - 1.0) / 2.0;
        const double g = 1.0 + H * (1.0 - k);
        setCoefficients(HighShelf1, g, (k + H * (k - 1.0)) / g, 0.0, k, 0.0);
        return;
    }
    const double V0 = decibelsToGain(std::fabs(gainDb));
    const double E = std::sqrt(2.0 * V0);
    const double T2 = T * T;
    const double D = T2 + kSqrt2 * T + 1.0;
    const double B = V0 + E * T + T2;
    const double flatNum1 = 2.0 * (T2 - 1.0) / D;
    const double flatNum2 = (1.0 - kSqrt2 * T + T2) / D;
    const double shelfNum1 = 2.0 * (T2 - V0) / B;
    const double shelfNum2 = (V0 - E * T + T2) / B;
    if (gainDb > 0.0f) {
        setCoefficients(HighShelf2, B / D, shelfNum1, shelfNum2, flatNum1, flatNum2);
    } else {
        setCoefficients(HighShelf2, D / B, flatNum1, flatNum2, shelfNum1, shelfNum2);
    }
}

void FilterSection::designBandPass(float f, float bandwidthHz) {
    f_ = f;
    W_ = bandwidthHz;
    const double T = std::tan(kPi * bandwidthHz / fs_);
    const double u = std::cos(kTwoPi * f / fs_);
    const double k = (T - 1.0) / (T + 1.0);
    setCoefficients(BandPass, (1.0 + k) / 2.0, 0.0, -1.0, -u * (1.0 - k), -k);
}

void FilterSection::designBandStop(float f, float width) {
    f_ = f;
    W_ = width;
    const double T = std::tan(kPi * (static_cast<double>(f) / width) / fs_);
    const double u = std::cos(kTwoPi * f / fs_);
    const double k = (T - 1.0) / (T + 1.0);
    setCoefficients(BandStop, (1.0 - k) / 2.0, -2.0 * u, 1.0, -u * (1.0 - k), -k);
}

void FilterSection::redesign() {
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

void FilterSection::setType(std::uint32_t kind) {
    if (kind > BandStop) {
        return;
    }
    type_ = static_cast<int>(kind);
    redesign();
    reset();
}

void FilterSection::setSampleRate(float rate) {
    if (!(rate > 0.0f) || !std::isfinite(rate) || rate == fs_) {
        return;
    }
    fs_ = rate;
    reset();
    if (type_ != PassThrough) {
        redesign();
    }
}

void peakingCoefficients(float gainDb, float centreHz, float q, float sampleRate,
                         SectionCoefficients& out) {
    const double Q = q;
    const double K = std::tan(kPi * centreHz / sampleRate);
    const double K2 = K * K;
    double b0, b1, b2, a1, a2;
    if (gainDb > 0.0f) {
        const double V = decibelsToGain(gainDb);
        const double N = 1.0 + K / Q + K2;
        b0 = (1.0 + V * K / Q + K2) / N;
        b1 = 2.0 * (K2 - 1.0) / N;
        b2 = (1.0 - V * K / Q + K2) / N;
        a1 = 2.0 * (K2 - 1.0) / N;
        a2 = (1.0 - K / Q + K2) / N;
    } else {
        const double V = decibelsToGain(-gainDb);
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
    kel_dsp::keepPolesInside(out.a1, out.a2);
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
    kel_dsp::keepPolesInside(out.a1, out.a2);
}

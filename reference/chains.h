// Plain one-channel versions of the two preamp chains and the designs they use, written step by
// step and independently of dsp/: every intermediate is formed in double and rounded to float
// where the chain stores a float. The DSP tests hold the production code to these bit for bit,
// so any change of the arithmetic's order or rounding shows; the benchmarks time them beside it.
#pragma once

#include <cmath>
#include <initializer_list>

namespace reference {

constexpr double pi = 3.141592653589793;

inline float flushed(float v) {
    const int kind = std::fpclassify(v);
    return (kind == FP_ZERO || kind == FP_SUBNORMAL) ? 0.0f : v;
}

// Input samples and chain outputs that are not finite count as silence.
inline float silenceIfNotFinite(float v) {
    return std::isfinite(v) ? v : 0.0f;
}

inline double tenToTheTwentieth(float gainDb) {
    const float exponent = static_cast<float>(static_cast<double>(gainDb) / 20.0);
    const float power = static_cast<float>(std::pow(10.0, static_cast<double>(exponent)));
    return power;
}

struct Coefficients {
    float g, c1, c2, a1, a2;
};

inline Coefficients butterworthHighPass(float f, float fs) {
    const double T = std::tan(pi * static_cast<double>(f) / static_cast<double>(fs));
    const double root2 = std::sqrt(2.0);
    const double D = T * T + root2 * T + 1.0;
    Coefficients k;
    k.g = static_cast<float>(1.0 / D);
    k.c1 = -2.0f;
    k.c2 = 1.0f;
    k.a1 = static_cast<float>(2.0 * (T * T - 1.0) / D);
    k.a2 = static_cast<float>((T * T - root2 * T + 1.0) / D);
    return k;
}

inline Coefficients secondOrderHighShelf(float f, float G, float fs) {
    const double T = std::tan(pi * static_cast<double>(f) / static_cast<double>(fs));
    const double root2 = std::sqrt(2.0);
    const double D = T * T + root2 * T + 1.0;
    const double V0 = tenToTheTwentieth(std::fabs(G));
    const double E = std::sqrt(2.0 * V0);
    const double B = V0 + E * T + T * T;
    Coefficients k;
    if (G > 0.0f) {
        k.g = static_cast<float>(B / D);
        k.c1 = static_cast<float>(2.0 * (T * T - V0) / B);
        k.c2 = static_cast<float>((V0 - E * T + T * T) / B);
        k.a1 = static_cast<float>(2.0 * (T * T - 1.0) / D);
        k.a2 = static_cast<float>((1.0 - root2 * T + T * T) / D);
    } else {
        k.g = static_cast<float>(D / B);
        k.c1 = static_cast<float>(2.0 * (T * T - 1.0) / D);
        k.c2 = static_cast<float>((1.0 - root2 * T + T * T) / D);
        k.a1 = static_cast<float>(2.0 * (T * T - V0) / B);
        k.a2 = static_cast<float>((V0 - E * T + T * T) / B);
    }
    return k;
}

inline Coefficients peaking(float G, float f0, float Q, float fs) {
    const double K = std::tan(pi * static_cast<double>(f0) / static_cast<double>(fs));
    const double q = Q;
    double b0, b1, b2, a1, a2;
    if (G > 0.0f) {
        const double V = tenToTheTwentieth(G);
        const double N = 1.0 + K / q + K * K;
        b0 = (1.0 + V * K / q + K * K) / N;
        b1 = 2.0 * (K * K - 1.0) / N;
        b2 = (1.0 - V * K / q + K * K) / N;
        a1 = 2.0 * (K * K - 1.0) / N;
        a2 = (1.0 - K / q + K * K) / N;
    } else {
        const double V = tenToTheTwentieth(-G);
        const double N = 1.0 + V * K / q + K * K;
        b0 = (1.0 + K / q + K * K) / N;
        b1 = 2.0 * (K * K - 1.0) / N;
        b2 = (1.0 - K / q + K * K) / N;
        a1 = 2.0 * (K * K - 1.0) / N;
        a2 = (1.0 - V * K / q + K * K) / N;
    }
    return {static_cast<float>(b0), static_cast<float>(b1 / b0), static_cast<float>(b2 / b0),
            static_cast<float>(a1), static_cast<float>(a2)};
}

inline Coefficients unnormalisedHighPass(float f, float fs) {
    const double K = std::tan(pi * static_cast<double>(f) / static_cast<double>(fs));
    const double root2 = std::sqrt(2.0);
    const double N = 1.0 + root2 * K + K * K;
    return {1.0f, -2.0f, 1.0f, static_cast<float>(2.0 * (K * K - 1.0) / N),
            static_cast<float>((K * K - root2 * K + 1.0) / N)};
}

inline Coefficients tone(float fs) {
    const double B = static_cast<float>(2.0 * static_cast<double>(fs));
    Coefficients k;
    k.g = static_cast<float>((B * B + 4526.935265 * B) / (B * B + 6700.049385 * B + 205769.7848));
    k.c1 = static_cast<float>(-400000.0 * B / (200000.0 * B + 905387053.0));
    k.c2 = static_cast<float>((200000.0 * B - 905387053.0) / (200000.0 * B + 905387053.0));
    k.a1 = static_cast<float>(-320.0 * (1250.0 * (B * B) - 257212231.0) /
                              (200000.0 * (B * B) + 1340009877.0 * B + 41153956960.0));
    k.a2 = static_cast<float>((200000.0 * (B * B) - 1340009877.0 * B + 41153956960.0) /
                              (200000.0 * (B * B) + 1340009877.0 * B + 41153956960.0));
    return k;
}

// The filter section's per-sample arithmetic with both flushes.
struct Section {
    Coefficients k{1.0f, 0.0f, 0.0f, 0.0f, 0.0f};
    float s1 = 0.0f;
    float s2 = 0.0f;

    float process(float x) {
        float a = static_cast<float>(static_cast<double>(k.g) * static_cast<double>(x));
        a = flushed(a);
        float y = static_cast<float>(static_cast<double>(s1) + static_cast<double>(a));
        y = flushed(y);
        const float t1 = static_cast<float>(static_cast<double>(k.c1) * static_cast<double>(a));
        const float t2 = static_cast<float>(static_cast<double>(t1) -
                                            static_cast<double>(k.a1) * static_cast<double>(y));
        s1 = static_cast<float>(static_cast<double>(t2) + static_cast<double>(s2));
        const float t3 = static_cast<float>(static_cast<double>(k.c2) * static_cast<double>(a));
        s2 = static_cast<float>(static_cast<double>(t3) -
                                static_cast<double>(k.a2) * static_cast<double>(y));
        return y;
    }
};

inline float cubic(float d, double low, float lowOut, double high, float highOut, double p1,
                   double p2, double p3) {
    if (static_cast<double>(d) < low) {
        return lowOut;
    }
    if (static_cast<double>(d) > high) {
        return highOut;
    }
    const double x = d;
    const double value = x * ((p2 * x - p3 * x * x) + p1);
    return static_cast<float>(value);
}

struct CleanChain {
    float drive = 0.0f;
    float level = 0.0f;
    float fs = 48000.0f;
    float bright = 1.0f;
    Section interStage, output, shelf, input;

    CleanChain() { design(); }

    void design() {
        interStage.k = butterworthHighPass(40.0f, fs);
        output.k = butterworthHighPass(30.0f, fs);
        shelf.k = secondOrderHighShelf(2000.0f, bright, fs);
        input.k = butterworthHighPass(40.0f, fs);
    }
    void setBright(float x) {
        if (x != bright) {
            bright = x;
            shelf.k = secondOrderHighShelf(2000.0f, bright, fs);
        }
    }
    void setSampleRate(float rate) {
        if (rate > 4000.0f && rate != fs) {
            fs = rate;
            for (Section* s : {&interStage, &output, &shelf, &input}) {
                s->s1 = s->s2 = 0.0f;
            }
            design();
        }
    }

    static float first(float d) {
        return cubic(d, -3.931192, -0.66659313f, 3.5, 1.0f, 0.2819329931, 0.01403408101,
                     0.003701060478);
    }
    static float second(float d) {
        return cubic(d, -2.425192775, -0.2077921f, 5.0, 1.0f, 0.1555719892, 0.02230833481,
                     0.00268454653);
    }

    float process(float x) {
        const float y1 = input.process(x);
        const float e = first(y1);
        const float y2 = interStage.process(e);
        const float y3 = shelf.process(y2);
        const float u = static_cast<float>(-static_cast<double>(y3) * static_cast<double>(drive));
        const float h = second(u);
        return output.process(h);
    }
    float replacing(float x) {
        const float y4 = silenceIfNotFinite(process(silenceIfNotFinite(x)));
        return static_cast<float>(static_cast<double>(level) * static_cast<double>(y4));
    }
    // The end of a run call: states that are not finite are cleared.
    void endOfCall() {
        for (Section* s : {&interStage, &output, &shelf, &input}) {
            if (!std::isfinite(s->s1) || !std::isfinite(s->s2)) {
                for (Section* t : {&interStage, &output, &shelf, &input}) {
                    t->s1 = t->s2 = 0.0f;
                }
                return;
            }
        }
    }
    float adding(float x, float out) {
        const float y4 = silenceIfNotFinite(process(silenceIfNotFinite(x)));
        return static_cast<float>(static_cast<double>(out) +
                                  static_cast<double>(level) * static_cast<double>(y4));
    }
};

// The inline section arithmetic of the crunch chain: every new state rounded once, no flush.
struct InlineSection {
    Coefficients k;
    float s1 = 0.0f;
    float s2 = 0.0f;

    // `in` is the input already multiplied by g and rounded.
    float process(float in) {
        const float y = static_cast<float>(static_cast<double>(in) + static_cast<double>(s1));
        const double c1a = static_cast<double>(k.c1) * static_cast<double>(in);
        const double a1y = static_cast<double>(k.a1) * static_cast<double>(y);
        const double c2a = static_cast<double>(k.c2) * static_cast<double>(in);
        const double a2y = static_cast<double>(k.a2) * static_cast<double>(y);
        s1 = static_cast<float>((c1a - a1y) + static_cast<double>(s2));
        s2 = static_cast<float>(c2a - a2y);
        return y;
    }
};

struct CrunchChain {
    float drive = 0.0f, inputGain = 0.0f, stageGain = 0.0f, level = 0.0f;
    float midFrequency = 1700.0f, midQ = 0.3f, fs = 48000.0f, midGain = 1.0f;
    InlineSection mid, toneSection, output;

    CrunchChain() { recompute(); }

    void recompute() {
        mid.k = peaking(midGain, midFrequency, midQ, fs);
        toneSection.k = tone(fs);
        output.k = unnormalisedHighPass(100.0f, fs);
    }
    void setMidGain(float x) {
        midGain = x;
        recompute();
    }
    void setMidFrequency(float x) {
        if (x > 1.0f) {
            midFrequency = x;
            recompute();
        }
    }
    void setMidQ(float x) {
        if (x > 0.0f) {
            midQ = x;
            recompute();
        }
    }
    void setSampleRate(float rate) {
        if (rate > 0.0f && rate != fs) {
            fs = rate;
            recompute();
        }
    }

    static float first(float d) {
        return cubic(d, -2.939192752, -0.37826452f, 3.75, 0.9999991f, 0.2274823, 0.0234331,
                     0.0034624);
    }
    static float second(float d) {
        return cubic(d, -1.876194887, -0.18074624f, 3.75, 0.9999996f, 0.179489, 0.0372926,
                     0.0037454);
    }
    static float third(float d) {
        if (static_cast<double>(d) < -3.92348276) {
            return -0.5513311f;
        }
        if (static_cast<double>(d) > 3.85) {
            return 0.9999946f;
        }
        const double x = d;
        const double value =
            x * (((0.0007424 * x * x * x + 0.0003329 * x * x) + 0.0041427 * x) + 0.1964888);
        return static_cast<float>(value);
    }

    float process(float x) {
        float d = static_cast<float>(static_cast<double>(inputGain) * static_cast<double>(x));
        if (d == 0.0f) {
            d = 1e-8f;
        }
        const float e = flushed(first(d));
        const float a = static_cast<float>(static_cast<double>(mid.k.g) * static_cast<double>(e));
        const float yA = mid.process(a);
        const float b =
            static_cast<float>(static_cast<double>(toneSection.k.g) * static_cast<double>(yA));
        const float yB = flushed(toneSection.process(b));
        const float h = static_cast<float>(-static_cast<double>(yB) * static_cast<double>(drive));
        const float w = second(h);
        const float u =
            static_cast<float>(-static_cast<double>(stageGain) * static_cast<double>(w));
        const float v = flushed(third(u));
        const float c =
            static_cast<float>(static_cast<double>(output.k.g) * static_cast<double>(v));
        return flushed(output.process(c));
    }
    float replacing(float x) {
        const float yC = silenceIfNotFinite(process(silenceIfNotFinite(x)));
        return static_cast<float>(static_cast<double>(yC) * static_cast<double>(level));
    }
    void endOfCall() {
        for (InlineSection* s : {&mid, &toneSection, &output}) {
            if (!std::isfinite(s->s1) || !std::isfinite(s->s2)) {
                for (InlineSection* t : {&mid, &toneSection, &output}) {
                    t->s1 = t->s2 = 0.0f;
                }
                return;
            }
        }
    }
    float adding(float x, float out) {
        const float yC = silenceIfNotFinite(process(silenceIfNotFinite(x)));
        return static_cast<float>(static_cast<double>(out) +
                                  static_cast<double>(yC) * static_cast<double>(level));
    }
};

} // namespace reference

// Two channels side by side in SSE2 registers (lane 0 left, lane 1 right) for the preamps'
// two-channel loops. Every lane operation is the IEEE operation of the one-channel code, so both
// give the same bits. Floats sit in the low two lanes of an F2, doubles in the two lanes of a D2.
//
// Multiplications are done in double only: a product of two floats is exact there, so rounding it
// once gives the float product, and no multiplication ever meets a subnormal float (which costs a
// microcode assist of about a hundred cycles on current x86 cores). Additions, conversions,
// comparisons and logic run at full speed on subnormals.
#pragma once

#include <emmintrin.h>

#include <cfloat>
#include <cmath>

#include "dsp/filter_section.h"
#include "dsp/preamp_waveshapers.h"

namespace kel::dsp {

#if defined(__GNUC__)
#define KEL_PAIR_INLINE inline __attribute__((always_inline))
#define KEL_LAMBDA_INLINE __attribute__((always_inline))
#else
#define KEL_PAIR_INLINE inline
#define KEL_LAMBDA_INLINE
#endif

// 32-bit Windows promises only 4-byte stack alignment to a function a host calls; SSE spills
// need 16.
#if defined(__GNUC__) && defined(__i386__)
#define KEL_REALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define KEL_REALIGN_STACK
#endif

// Drives a software-pipelined loop over n frames: pass(i, active) runs stage k on frame i - k for
// every bit k set in `active`. The first and last Stages - 1 passes fill and drain the pipeline
// with only the stages that have a frame. A macro, so that each kernel's instruction set gets its
// own copy: a pass compiled for AVX2 can only be inlined into a driver that is too.
#define KEL_DEFINE_PIPELINE_DRIVER(FUNCTION_INLINE, LAMBDA_INLINE)                                 \
    template <int Stages, class Pass>                                                              \
    FUNCTION_INLINE void runPipelined(int n, const Pass& pass) {                                   \
        const auto edge = [&](int i) LAMBDA_INLINE {                                               \
            /* Stages i − n + 1 to i, those within 0 to Stages − 1. */                         \
            const int first = i - n + 1 > 0 ? i - n + 1 : 0;                                       \
            const int last = i < Stages - 1 ? i : Stages - 1;                                      \
            pass(i, ((2u << last) - 1) & ~((1u << first) - 1));                                    \
        };                                                                                         \
        int i = 0;                                                                                 \
        for (; i < Stages - 1 && i < n; ++i) {                                                     \
            edge(i);                                                                               \
        }                                                                                          \
        for (; i < n; ++i) {                                                                       \
            pass(i, (1u << Stages) - 1);                                                           \
        }                                                                                          \
        for (; i < n + Stages - 1; ++i) {                                                          \
            edge(i);                                                                               \
        }                                                                                          \
    }

namespace pair {

using F2 = __m128;
using D2 = __m128d;

KEL_PAIR_INLINE D2 both(float left, float right) {
    return _mm_set_pd(static_cast<double>(right), static_cast<double>(left));
}
KEL_PAIR_INLINE D2 both(double v) {
    return _mm_set1_pd(v);
}
KEL_PAIR_INLINE F2 bothFloat(float left, float right) {
    return _mm_set_ps(0.0f, 0.0f, right, left);
}
KEL_PAIR_INLINE float leftLane(F2 v) {
    return _mm_cvtss_f32(v);
}
KEL_PAIR_INLINE float rightLane(F2 v) {
    return _mm_cvtss_f32(_mm_shuffle_ps(v, v, 1));
}

KEL_PAIR_INLINE F2 load(const float* l, const float* r) {
    return _mm_unpacklo_ps(_mm_load_ss(l), _mm_load_ss(r));
}
KEL_PAIR_INLINE void store(F2 v, float* l, float* r) {
    _mm_store_ss(l, v);
    _mm_store_ss(r, _mm_shuffle_ps(v, v, 1));
}

// All ones in the float lanes whose exponent field is not 0 (normal, infinite, NaN). Integer
// compares, which on current cores leave the ports of the floating-point additions and
// conversions free.
KEL_PAIR_INLINE __m128i keepMask(F2 v) {
    const __m128i magnitude = _mm_and_si128(_mm_castps_si128(v), _mm_set1_epi32(0x7fffffff));
    return _mm_cmpgt_epi32(magnitude, _mm_set1_epi32(0x007fffff));
}
// Float lanes whose exponent field is 0 (zero of either sign, subnormal) become +0; NaN stays.
KEL_PAIR_INLINE F2 flushTiny(F2 v) {
    return _mm_and_ps(v, _mm_castsi128_ps(keepMask(v)));
}
// The same for double lanes that hold float values: their high halves tell, FLT_MIN being
// 0x38100000'00000000 as a double.
KEL_PAIR_INLINE D2 flushTiny(D2 v) {
    const __m128i high = _mm_shuffle_epi32(_mm_castpd_si128(v), 0xf5); // high halves, twice each
    const __m128i magnitude = _mm_and_si128(high, _mm_set1_epi32(0x7fffffff));
    const __m128i keep = _mm_cmpgt_epi32(magnitude, _mm_set1_epi32(0x380fffff));
    return _mm_and_pd(v, _mm_castsi128_pd(keep));
}
// widen(flushTiny(v)) with the test beside the conversion rather than after it: shorter on a
// loop-carried chain.
KEL_PAIR_INLINE D2 widenFlushed(F2 v) {
    const __m128i keep = keepMask(v);
    return _mm_and_pd(_mm_cvtps_pd(v), _mm_castsi128_pd(_mm_unpacklo_epi32(keep, keep)));
}
// Lanes of v equal to zero (either sign) replaced by `replacement`: ±0 + r = r, v + 0 = v.
KEL_PAIR_INLINE D2 replaceZero(D2 v, D2 replacement) {
    return _mm_add_pd(v, _mm_and_pd(_mm_cmpeq_pd(v, _mm_setzero_pd()), replacement));
}

KEL_DEFINE_PIPELINE_DRIVER(KEL_PAIR_INLINE, KEL_LAMBDA_INLINE)

// level·y as the outputs l and r: added to what they hold, or in its place.
KEL_PAIR_INLINE void writeOutput(D2 y, D2 level, bool adding, float* l, float* r) {
    if (adding) {
        store(_mm_cvtpd_ps(_mm_add_pd(_mm_cvtps_pd(load(l, r)), _mm_mul_pd(level, y))), l, r);
    } else {
        store(_mm_cvtpd_ps(_mm_mul_pd(level, y)), l, r);
    }
}

// c − a·b for a product that is exact in double (two float values).
KEL_PAIR_INLINE D2 subProduct(D2 c, D2 a, D2 b) {
    return _mm_sub_pd(c, _mm_mul_pd(a, b));
}

#define KEL_LANES(name) _mm_##name
#define KEL_LANES_INLINE KEL_PAIR_INLINE
#include "dsp/lanes.inc"

// A chain's filter section on both channels, from two of its processors.
template <class Preamp>
SectionLanes section(const Preamp& l, const Preamp& r, typename Preamp::Section k) {
    const SectionCoefficients& kl = l.coefficients(k);
    const SectionCoefficients& kr = r.coefficients(k);
    const SectionState& sl = l.states()[k];
    const SectionState& sr = r.states()[k];
    return {both(kl.g, kr.g),   both(kl.c1, kr.c1),      both(kl.c2, kr.c2),     both(kl.a1, kr.a1),
            both(kl.a2, kr.a2), bothFloat(sl.s1, sr.s1), bothFloat(sl.s2, sr.s2)};
}

// The states back into the processors.
template <class Preamp>
void keep(const SectionLanes& s, Preamp& l, Preamp& r, typename Preamp::Section k) {
    l.states()[k] = {leftLane(s.s1), leftLane(s.s2)};
    r.states()[k] = {rightLane(s.s1), rightLane(s.s2)};
}

// A held polynomial on both channels.
inline PolynomialLanes polynomial(const HeldPolynomial& p) {
    const FloatLimits limits = floatLimits(p);
    return {both(limits.lowF), both(limits.highF), both(p.p1), both(p.p2), both(p.p3), both(p.p4)};
}

} // namespace pair

} // namespace kel::dsp

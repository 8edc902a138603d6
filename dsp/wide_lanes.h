// Four double lanes in a 256-bit AVX2 register for the preamps' AVX2 kernels: two filter sections
// (or two waveshapers) of both channels side by side, lanes 0 and 1 the first one's left and right
// channel, lanes 2 and 3 the second one's. Every lane operation is the IEEE operation of the
// one-channel code, as in channel_pair.h, so the kernels give the same bits as the SSE2 ones.
//
// Everything here is compiled for AVX2 and FMA whatever the build's flags, and is only ever called
// from functions that are (KEL_AVX2_FUNCTION), after kernelRuns(StereoKernel::Avx2) said so.
//
// The flushes test the exponent with integer compares, which on current cores leave the ports of
// the floating-point additions and conversions free.
#pragma once

#include <immintrin.h>

#include "dsp/channel_pair.h"

namespace kel::dsp {

#if defined(__GNUC__)
#define KEL_WIDE_INLINE inline __attribute__((target("avx2,fma"), always_inline))
#define KEL_WIDE_LAMBDA __attribute__((target("avx2,fma"), always_inline))
#endif

namespace wide {

using pair::D2;
using pair::F2;
using F4 = __m128;
using D4 = __m256d;

KEL_WIDE_INLINE D4 lanes(double l0, double l1, double l2, double l3) {
    return _mm256_set_pd(l3, l2, l1, l0);
}
KEL_WIDE_INLINE D4 all(double v) {
    return _mm256_set1_pd(v);
}
KEL_WIDE_INLINE F4 floatLanes(float l0, float l1, float l2, float l3) {
    return _mm_set_ps(l3, l2, l1, l0);
}

// Lanes 0 and 1 from `low`, 2 and 3 from `high`.
KEL_WIDE_INLINE D4 join(D2 low, D2 high) {
    return _mm256_insertf128_pd(_mm256_castpd128_pd256(low), high, 1);
}
KEL_WIDE_INLINE D2 lowHalf(D4 v) {
    return _mm256_castpd256_pd128(v);
}
KEL_WIDE_INLINE D2 highHalf(D4 v) {
    return _mm256_extractf128_pd(v, 1);
}
KEL_WIDE_INLINE F2 lowHalf(F4 v) {
    return v; // an F2 uses the low two float lanes
}
KEL_WIDE_INLINE F2 highHalf(F4 v) {
    return _mm_movehl_ps(v, v);
}

// c − a·b for a product that is exact in double (two float values): with the product exact, the
// fused operation rounds once where the separate ones do, so both give the same bits.
KEL_WIDE_INLINE D4 subProduct(D4 c, D4 a, D4 b) {
    return _mm256_fnmadd_pd(a, b, c);
}
// All ones in the float lanes whose exponent field is not 0 (normal, infinite, NaN).
KEL_WIDE_INLINE __m128i keepMask(F4 v) {
    const __m128i magnitude = _mm_and_si128(_mm_castps_si128(v), _mm_set1_epi32(0x7fffffff));
    return _mm_cmpgt_epi32(magnitude, _mm_set1_epi32(0x007fffff));
}
// Float lanes whose exponent field is 0 (zero of either sign, subnormal) become +0; NaN stays.
KEL_WIDE_INLINE F4 flushTiny(F4 v) {
    return _mm_and_ps(v, _mm_castsi128_ps(keepMask(v)));
}
// flushTiny where `passLanes` is 0; lanes whose `passLanes` are all ones pass unchanged.
KEL_WIDE_INLINE F4 flushTiny(F4 v, __m128i passLanes) {
    return _mm_and_ps(v, _mm_castsi128_ps(_mm_or_si128(keepMask(v), passLanes)));
}
// widen(flushTiny(v)), the test beside the conversion.
KEL_WIDE_INLINE D4 widenFlushed(F4 v) {
    const __m256i keep = _mm256_cvtepi32_epi64(keepMask(v));
    return _mm256_and_pd(_mm256_cvtps_pd(v), _mm256_castsi256_pd(keep));
}
// flushTiny for double lanes that hold float values; lanes whose `passLanes` are all ones pass
// unchanged.
KEL_WIDE_INLINE D4 flushTiny(D4 v, __m256i passLanes) {
    const __m256i magnitude =
        _mm256_and_si256(_mm256_castpd_si256(v), _mm256_set1_epi64x(0x7fffffffffffffffLL));
    // FLT_MIN as a double is 0x3810000000000000.
    const __m256i normal = _mm256_cmpgt_epi64(magnitude, _mm256_set1_epi64x(0x380fffffffffffffLL));
    return _mm256_and_pd(v, _mm256_castsi256_pd(_mm256_or_si256(normal, passLanes)));
}

// Lane masks for the passes that fill and drain a pipeline: lanes 0 and 1 all ones when `low`,
// lanes 2 and 3 when `high`.
KEL_WIDE_INLINE F4 floatMask(bool low, bool high) {
    return _mm_castsi128_ps(_mm_set_epi32(-int{high}, -int{high}, -int{low}, -int{low}));
}
KEL_WIDE_INLINE D4 doubleMask(bool low, bool high) {
    return _mm256_castsi256_pd(_mm256_set_epi64x(-int{high}, -int{high}, -int{low}, -int{low}));
}
KEL_WIDE_INLINE F4 select(F4 mask, F4 ifSet, F4 ifClear) {
    return _mm_blendv_ps(ifClear, ifSet, mask);
}
KEL_WIDE_INLINE D4 select(D4 mask, D4 ifSet, D4 ifClear) {
    return _mm256_blendv_pd(ifClear, ifSet, mask);
}

KEL_DEFINE_PIPELINE_DRIVER(KEL_WIDE_INLINE, KEL_WIDE_LAMBDA)

#define KEL_LANES(name) _mm256_##name
#define KEL_LANES_INLINE KEL_WIDE_INLINE
#include "dsp/lanes.inc"

// The coefficients and states of the sections of two chains' processors, `first` and `second`
// being Section numbers.
template <class Preamp>
KEL_WIDE_INLINE SectionLanes sections(const Preamp& l, const Preamp& r,
                                      typename Preamp::Section first,
                                      typename Preamp::Section second) {
    const SectionCoefficients k[4] = {l.coefficients(first), r.coefficients(first),
                                      l.coefficients(second), r.coefficients(second)};
    const SectionState s[4] = {l.states()[first], r.states()[first], l.states()[second],
                               r.states()[second]};
    return {lanes(k[0].g, k[1].g, k[2].g, k[3].g),
            lanes(k[0].c1, k[1].c1, k[2].c1, k[3].c1),
            lanes(k[0].c2, k[1].c2, k[2].c2, k[3].c2),
            lanes(k[0].a1, k[1].a1, k[2].a1, k[3].a1),
            lanes(k[0].a2, k[1].a2, k[2].a2, k[3].a2),
            floatLanes(s[0].s1, s[1].s1, s[2].s1, s[3].s1),
            floatLanes(s[0].s2, s[1].s2, s[2].s2, s[3].s2)};
}

// The states back into the processors.
template <class Preamp>
KEL_WIDE_INLINE void keep(const SectionLanes& s, Preamp& l, Preamp& r,
                          typename Preamp::Section first, typename Preamp::Section second) {
    alignas(16) float s1[4], s2[4];
    _mm_store_ps(s1, s.s1);
    _mm_store_ps(s2, s.s2);
    l.states()[first] = {s1[0], s2[0]};
    r.states()[first] = {s1[1], s2[1]};
    l.states()[second] = {s1[2], s2[2]};
    r.states()[second] = {s1[3], s2[3]};
}

// The states of the lanes whose stage had a frame in this pass; the others keep theirs.
KEL_WIDE_INLINE void keepActive(SectionLanes& s, const SectionLanes& before, bool low, bool high) {
    const F4 mask = floatMask(low, high);
    s.s1 = select(mask, s.s1, before.s1);
    s.s2 = select(mask, s.s2, before.s2);
}

// The first waveshaper in lanes 0 and 1, the second in lanes 2 and 3.
KEL_WIDE_INLINE PolynomialLanes polynomials(const HeldPolynomial& first,
                                            const HeldPolynomial& second) {
    const FloatLimits l1 = floatLimits(first);
    const FloatLimits l2 = floatLimits(second);
    return {lanes(l1.lowF, l1.lowF, l2.lowF, l2.lowF),
            lanes(l1.highF, l1.highF, l2.highF, l2.highF),
            lanes(first.p1, first.p1, second.p1, second.p1),
            lanes(first.p2, first.p2, second.p2, second.p2),
            lanes(first.p3, first.p3, second.p3, second.p3),
            lanes(first.p4, first.p4, second.p4, second.p4)};
}

} // namespace wide

} // namespace kel::dsp

// Four double lanes in a 256-bit AVX2 register for the preamps' AVX2 kernels: two filter sections
// (or two waveshapers) of both channels side by side, lanes 0 and 1 the first one's left and right
// channel, lanes 2 and 3 the second one's. Every lane operation is the IEEE operation of the
// one-channel code, as in channel_pair.h, so the kernels give the same bits as the SSE2 ones.
//
// Everything here is compiled for AVX2 and FMA whatever the build's flags, and is only ever called
// from functions that are (KEL_WIDE_KERNEL), after kernelRuns(StereoKernel::Avx2) said so.
//
// The flushes test the exponent with integer compares: on current cores those run beside the
// floating-point additions and conversions, which are what bounds the kernels.
#pragma once

#include <immintrin.h>

#include "dsp/channel_pair.h"

#if defined(__GNUC__)
#define KEL_WIDE_INLINE inline __attribute__((target("avx2,fma"), always_inline))
#define KEL_WIDE_KERNEL __attribute__((target("avx2,fma")))
#define KEL_WIDE_LAMBDA __attribute__((target("avx2,fma"), always_inline))
#endif

namespace kel_dsp::wide {

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

KEL_WIDE_INLINE D4 widen(F4 v) {
    return _mm256_cvtps_pd(v);
}
KEL_WIDE_INLINE F4 narrow(D4 v) {
    return _mm256_cvtpd_ps(v);
}
KEL_WIDE_INLINE D4 roundToFloat(D4 v) {
    return _mm256_cvtps_pd(_mm256_cvtpd_ps(v));
}

KEL_WIDE_INLINE D4 add(D4 a, D4 b) {
    return _mm256_add_pd(a, b);
}
KEL_WIDE_INLINE D4 sub(D4 a, D4 b) {
    return _mm256_sub_pd(a, b);
}
KEL_WIDE_INLINE D4 mul(D4 a, D4 b) {
    return _mm256_mul_pd(a, b);
}
// c − a·b for a product that is exact in double (two float values): with the product exact, the
// fused operation rounds once where the separate ones do, so both give the same bits.
KEL_WIDE_INLINE D4 subProduct(D4 c, D4 a, D4 b) {
    return _mm256_fnmadd_pd(a, b, c);
}
KEL_WIDE_INLINE F4 addFloat(F4 a, F4 b) {
    return _mm_add_ps(a, b);
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

// v limited to [low, high]; NaN passes through, as in clampKeepNaN of channel_pair.h.
KEL_WIDE_INLINE D4 clampKeepNaN(D4 v, D4 low, D4 high) {
    return _mm256_max_pd(low, _mm256_min_pd(high, v));
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

} // namespace kel_dsp::wide

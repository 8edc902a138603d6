// The stereo entry's kernels entered with the stack at every alignment a caller may leave it at:
// a host calls the effect with any 16-byte alignment (4-byte on 32-bit Windows), and a kernel that
// keeps 32-byte values on the stack must not depend on more.
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "tests/dsp/chain_support.h"

using namespace kel::dsp;

using namespace test_support;
using namespace chain_support;
using kel::dsp::StereoKernel;

namespace {

// Runs the stereo entry below `shift` bytes of this frame's stack.
template <class Preamp>
__attribute__((noinline)) void runShifted(int shift, StereoKernel kernel, Preamp& left,
                                          Preamp& right, float* const* in, float* const* out,
                                          int n) {
    volatile char* gap = static_cast<volatile char*>(__builtin_alloca(shift));
    gap[0] = 0;
    runStereoReplacing(left, right, in, out, n, kernel);
    __asm__ volatile("" : : "r"(gap) : "memory");
}

template <class Preamp>
class StereoKernels : public ::testing::Test {};

using Preamps = ::testing::Types<CleanPreamp, CrunchPreamp>;
TYPED_TEST_SUITE(StereoKernels, Preamps);

} // namespace

TYPED_TEST(StereoKernels, RunFromEveryStackAlignment) {
    using Settings = typename Chain<TypeParam>::Settings;
    Random rng(41);
    const Settings leftSettings = Settings::random(rng), rightSettings = Settings::random(rng);
    std::vector<float> x0 = mixedSignal(rng, 700), x1 = mixedSignal(rng, 700);
    float* in[2] = {x0.data(), x1.data()};
    // What one channel after the other gives.
    TypeParam left = make<TypeParam>(leftSettings, 48000.0f);
    TypeParam right = make<TypeParam>(rightSettings, 48000.0f);
    std::vector<float> expected0(x0.size()), expected1(x1.size());
    float* expectedOut[2] = {expected0.data(), expected1.data()};
    runSequential(false, left, right, in, expectedOut, static_cast<int>(x0.size()));
    int kernelsRun = 0;
    for (StereoKernel kernel : {StereoKernel::Sse2, StereoKernel::Avx2}) {
        if (!kel::dsp::kernelRuns(kernel)) {
            continue;
        }
        ++kernelsRun;
        for (int shift = 4; shift <= 64; shift += 4) {
            TypeParam l = make<TypeParam>(leftSettings, 48000.0f);
            TypeParam r = make<TypeParam>(rightSettings, 48000.0f);
            std::vector<float> y0(x0.size()), y1(x1.size());
            float* out[2] = {y0.data(), y1.data()};
            runShifted(shift, kernel, l, r, in, out, static_cast<int>(x0.size()));
            ASSERT_EQ(firstDifference(y0, expected0), -1) << kernelName(kernel) << " " << shift;
            ASSERT_EQ(firstDifference(y1, expected1), -1) << kernelName(kernel) << " " << shift;
        }
    }
    EXPECT_GE(kernelsRun, 1);
}

TEST(StereoKernel, TheFastestOneRunsHere) {
    EXPECT_TRUE(kel::dsp::kernelRuns(kel::dsp::fastestStereoKernel()));
#if !defined(__x86_64__)
    // 32-bit code keeps to SSE2: with eight vector registers the AVX2 kernel is no faster.
    EXPECT_FALSE(kel::dsp::kernelRuns(StereoKernel::Avx2));
#endif
}

// Which blocks the kernels take as they are: every sample at most 1e30 in magnitude, wherever in
// the block (the vector steps and the tail) and in either channel the exception sits.
TEST(StereoKernel, OrdinaryInputsAreFiniteAndBelowTheLimit) {
    const float limit = kel::dsp::kOrdinaryInputLimit, above = std::nextafter(limit, 2 * limit);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float value;
        bool ordinary;
    } cases[] = {{-0.0f, true},  {1e-45f, true},  {limit, true},    {-limit, true},
                 {above, false}, {-above, false}, {3.4e38f, false}, {inf, false},
                 {-inf, false},  {nan, false},    {-nan, false}};
    for (const auto& c : cases) {
        for (int n : {1, 7, 8, 13, 16}) {
            for (int at = 0; at < 2 * n; ++at) {
                std::vector<float> x[2] = {std::vector<float>(n, 0.5f),
                                           std::vector<float>(n, -2.0f)};
                x[at % 2][at / 2] = c.value;
                EXPECT_EQ(kel::dsp::inputsOrdinary(x[0].data(), x[1].data(), n), c.ordinary)
                    << c.value << " at " << at / 2 << " of " << n << ", channel " << at % 2;
            }
        }
    }
    EXPECT_TRUE(kel::dsp::inputsOrdinary(nullptr, nullptr, 0));
}

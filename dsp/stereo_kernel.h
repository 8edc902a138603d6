// Which loop the stereo entry runs both channels with. Both give the same bits; they differ in how
// many lanes one instruction works on.
#pragma once

namespace kel::dsp {

// A function compiled for AVX2 and FMA whatever the build's flags: the AVX2 kernels, which run only
// where kernelRuns(StereoKernel::Avx2) says so.
#define KEL_AVX2_FUNCTION __attribute__((target("avx2,fma")))

enum class StereoKernel {
    Sse2, // the two channels side by side in 128-bit registers: every x86 processor we support
    Avx2, // two filter sections of both channels in 256-bit registers; 64-bit code only
};

// Whether this processor and operating system can run the kernel here (SSE2 always; AVX2 in
// 64-bit code where the processor has AVX2 and FMA and the system saves the 256-bit registers
// across task switches).
bool kernelRuns(StereoKernel kernel);

// The fastest kernel that runs here, found once as the module is loaded.
StereoKernel fastestStereoKernel();

// The largest input magnitude the kernels take as it is. Below it no state can overflow: only the
// clean chain's input high-pass sees the input unbounded, and its states stay within a few times
// the input's size. A block with a sample above it, infinite or NaN goes through the one-channel
// calls, which read such a sample as silence and never give a result that is not finite.
inline constexpr float kOrdinaryInputLimit = 1e30f;

// Whether every one of the n samples of both inputs is at most kOrdinaryInputLimit in magnitude
// (and so finite). n ≤ 0: true.
bool inputsOrdinary(const float* left, const float* right, int n);

// The buffers of a block for both channels in one loop (see stereo_run.h for what they may share).
struct StereoBlock {
    const float* inLeft;
    const float* inRight;
    float* outLeft;
    float* outRight;
    int n;
};

} // namespace kel::dsp

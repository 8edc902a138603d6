#include "dsp/stereo_kernel.h"

#include <cpuid.h>

namespace kel::dsp {

namespace {

// The AVX2 kernel needs the AVX2 and FMA instructions and an operating system that has enabled
// the 256-bit register state (XCR0 bits 1 and 2, readable once OSXSAVE is set). It is a 64-bit
// kernel: with the eight vector registers of 32-bit code it spills its states and is no faster
// than the SSE2 one there.
bool avx2Runs() {
#if !defined(__x86_64__)
    return false;
#else
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        return false;
    }
    const bool osSavesRegisters = (ecx & bit_OSXSAVE) != 0;
    const bool avx = (ecx & bit_AVX) != 0;
    const bool fma = (ecx & bit_FMA) != 0;
    if (!osSavesRegisters || !avx || !fma) {
        return false;
    }
    unsigned xcr0Low = 0, xcr0High = 0;
    __asm__ volatile("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
    if ((xcr0Low & 6u) != 6u) {
        return false;
    }
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) {
        return false;
    }
    return (ebx & bit_AVX2) != 0;
#endif
}

} // namespace

bool kernelRuns(StereoKernel kernel) {
    static const bool avx2 = avx2Runs();
    return kernel == StereoKernel::Sse2 || (kernel == StereoKernel::Avx2 && avx2);
}

StereoKernel fastestStereoKernel() {
    return kernelRuns(StereoKernel::Avx2) ? StereoKernel::Avx2 : StereoKernel::Sse2;
}

} // namespace kel::dsp

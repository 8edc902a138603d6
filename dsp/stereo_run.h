// The per-block stereo entry of the effect: channel 1 through `right`, channel 0 through `left`.
// Both channels normally run in one loop, which lets the CPU overlap the two channels' recurrences;
// the result is always that of right.runX(inputs[1], outputs[1], n) followed by
// left.runX(inputs[0], outputs[0], n).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dsp/stereo_kernel.h"

namespace kel::dsp {

// True when the n floats from a and the n floats from b do not overlap.
inline bool blocksApart(const float* a, const float* b, int n) {
    const auto at = [](const float* p) { return reinterpret_cast<std::uintptr_t>(p); };
    const std::uintptr_t bytes = static_cast<std::uintptr_t>(n) * sizeof(float);
    return at(a) + bytes <= at(b) || at(b) + bytes <= at(a);
}

// True when one loop over both channels, reading frame i of every buffer before writing frame i,
// gives the same result as running channel 1 completely and then channel 0. That holds when no
// output overlaps a buffer the other order would see changed: outputs[1] apart from inputs[0]
// and from outputs[0]; each output apart from or equal to its own input; outputs[0] apart from
// or equal to inputs[1] (channel 1 has read all of it before channel 0 writes).
inline bool channelsRunJointly(const float* in0, const float* in1, const float* out0,
                               const float* out1, int n) {
    const auto sameOrApart = [&](const float* a, const float* b) {
        return a == b || blocksApart(a, b, n);
    };
    return blocksApart(out1, in0, n) && blocksApart(out1, out0, n) && sameOrApart(out0, in0) &&
           sameOrApart(out1, in1) && sameOrApart(out0, in1);
}

// One block of both channels through `kernel`, or SSE2 where it does not run. The states are
// not checked afterwards.
template <class Preamp>
void runPair(StereoKernel kernel, Preamp& left, Preamp& right, const StereoBlock& block,
             bool adding) {
    if (kernel == StereoKernel::Avx2 && kernelRuns(kernel)) {
        runPairAvx2(left, right, block, adding);
    } else {
        runPairSse2(left, right, block, adding);
    }
}

// Both channels through `kernel` (one that does not run here is replaced by SSE2) when one loop
// gives the sequential result and the inputs are ordinary (see inputsOrdinary), else channel 1
// and then channel 0 by the one-channel calls, which give the same bits for ordinary inputs;
// `adding` adds the result to the outputs, else it replaces them. n ≤ 0 reads and writes nothing.
// runPairSse2 and runPairAvx2 are each chain's kernels, declared with the chain.
template <class Preamp>
void runStereo(bool adding, Preamp& left, Preamp& right, float* const* inputs,
               float* const* outputs, int n, StereoKernel kernel) {
    if (n <= 0) {
        return;
    }
    if (&left != &right && channelsRunJointly(inputs[0], inputs[1], outputs[0], outputs[1], n) &&
        inputsOrdinary(inputs[0], inputs[1], n)) {
        runPair(kernel, left, right, {inputs[0], inputs[1], outputs[0], outputs[1], n}, adding);
        left.clearStatesIfNotFinite();
        right.clearStatesIfNotFinite();
    } else if (adding) {
        right.runAdding(inputs[1], outputs[1], n);
        left.runAdding(inputs[0], outputs[0], n);
    } else {
        right.runReplacing(inputs[1], outputs[1], n);
        left.runReplacing(inputs[0], outputs[0], n);
    }
}

// Replaces outputs[c] with the processed inputs[c].
template <class Preamp>
void runStereoReplacing(Preamp& left, Preamp& right, float* const* inputs, float* const* outputs,
                        int n, StereoKernel kernel = fastestStereoKernel()) {
    runStereo(false, left, right, inputs, outputs, n, kernel);
}

// As runStereoReplacing, and where both outputs are one buffer, apart from inputs[0] and apart
// from or equal to inputs[1] (a host that hands both channels one output buffer, as lv2bench
// does): what stays there is channel 0's, as when channel 1 runs first, and channel 1 runs for its
// states into `scratch`, `scratchFrames` frames at a time, so that the channels still run in one
// loop.
template <class Preamp>
void runStereoReplacing(Preamp& left, Preamp& right, float* const* inputs, float* const* outputs,
                        int n, float* scratch, int scratchFrames,
                        StereoKernel kernel = fastestStereoKernel()) {
    float* const out = outputs[0];
    if (n <= 0 || &left == &right || out != outputs[1] || scratchFrames <= 0 ||
        !blocksApart(out, inputs[0], n) || (out != inputs[1] && !blocksApart(out, inputs[1], n)) ||
        !inputsOrdinary(inputs[0], inputs[1], n)) {
        runStereo(false, left, right, inputs, outputs, n, kernel);
        return;
    }
    for (int done = 0; done < n; done += scratchFrames) {
        const int frames = n - done < scratchFrames ? n - done : scratchFrames;
        runPair(kernel, left, right,
                {inputs[0] + done, inputs[1] + done, out + done, scratch, frames}, false);
    }
    left.clearStatesIfNotFinite();
    right.clearStatesIfNotFinite();
}

// Replaces outputs[c] with the processed inputs[c] as though every input frame were read before
// any output frame is written, for buffers that a host shares whole (LV2 lets a host connect any
// output to any input's buffer): the result of separate buffers wherever the outputs are apart
// from each other and each is either input's buffer or apart from it. Where an output lies on the
// other channel's input, the inputs are copied into `scratch` (2 · scratchFrames floats) a piece
// at a time first (states that an input sample too large for them leaves not finite are then
// cleared at the end of its piece). Where both outputs are one buffer (as lv2bench connects them)
// it holds channel 0's result, as in the variant above, channel 1 running into `scratch`.
template <class Preamp>
void runStereoOnSharedBuffers(Preamp& left, Preamp& right, float* const* inputs,
                              float* const* outputs, int n, float* scratch, int scratchFrames,
                              StereoKernel kernel) {
    if (n <= 0 || outputs[0] == outputs[1] || scratchFrames <= 0 ||
        channelsRunJointly(inputs[0], inputs[1], outputs[0], outputs[1], n)) {
        runStereoReplacing(left, right, inputs, outputs, n, scratch, scratchFrames, kernel);
        return;
    }
    for (int done = 0; done < n; done += scratchFrames) {
        const int frames = n - done < scratchFrames ? n - done : scratchFrames;
        float* copies[2] = {scratch, scratch + scratchFrames};
        for (int c = 0; c < 2; ++c) {
            std::memcpy(copies[c], inputs[c] + done,
                        static_cast<std::size_t>(frames) * sizeof(float));
        }
        float* out[2] = {outputs[0] + done, outputs[1] + done};
        runStereo(false, left, right, copies, out, frames, kernel);
    }
}

// Adds the processed inputs[c] to outputs[c].
template <class Preamp>
void runStereoAdding(Preamp& left, Preamp& right, float* const* inputs, float* const* outputs,
                     int n, StereoKernel kernel = fastestStereoKernel()) {
    runStereo(true, left, right, inputs, outputs, n, kernel);
}

// Each input channel passed on unchanged, the way a switched-off effect passes its signal: added
// to what outputs[c] holds, or copied in its place (inputs and outputs may overlap). Channel 0
// first, then channel 1. n ≤ 0 reads and writes nothing.
inline void passStereo(bool adding, float* const* inputs, float* const* outputs, int n) {
    if (n <= 0) {
        return;
    }
    for (int channel = 0; channel < 2; ++channel) {
        if (adding) {
            for (int i = 0; i < n; ++i) {
                outputs[channel][i] += inputs[channel][i];
            }
        } else {
            std::memmove(outputs[channel], inputs[channel],
                         static_cast<std::size_t>(n) * sizeof(float));
        }
    }
}

} // namespace kel::dsp

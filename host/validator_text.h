// What the validator's tests say about texts: text queries into guarded buffers, and numbers,
// texts and signal differences written the same on every runtime.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "host/test_signal.h"

namespace kel::host {

// The buffer the guarded text queries get.
constexpr std::size_t kTextBufferSize = 1024;

// What a text query wrote into a buffer filled with a guard pattern.
struct TextWrite {
    std::size_t extent = 0; // bytes from the start to the last byte written, both included
    bool terminated = false;
    std::string text; // up to the terminator (or the whole buffer when there is none)
};

// Runs the query twice, into a buffer of bufferSize bytes filled with 0xA5 and then with 0x5A,
// and reports the larger extent: a byte the plug-in wrote that happens to equal one pattern
// differs from the other.
TextWrite measureTextWrite(const std::function<void(char*)>& query, std::size_t bufferSize);

// "%.6g" of a number (digits: 9 tells every float apart), "nan" and "inf" spelled the same on
// every runtime.
std::string floatText(double value, int digits = 6);

// The text in quotes, bytes outside printable ASCII (and quotes and backslashes) as \xNN.
std::string quoted(const std::string& text);

// Where two signals first differ, and in which block of the partition when there is one.
std::string describeDifference(const SignalDifference& difference,
                               const std::vector<int>* partition = nullptr);

} // namespace kel::host

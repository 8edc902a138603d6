// WAV files through the platform's RIFF file API (winmm's mmio functions): 16-bit and 24-bit PCM
// and 32-bit float, any number of channels.
#pragma once

#include <string>

#include "host/audio_buffer.h"

namespace kel::host {

bool readWavFile(const std::string& path, AudioBuffer& audio, std::string& error);
// Writes the buffer in the given format.
bool writeWavFile(const std::string& path, const AudioBuffer& audio, SampleFormat format,
                  std::string& error);

} // namespace kel::host

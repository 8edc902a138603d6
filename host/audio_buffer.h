// Audio as our host holds it: planar 32-bit float channels, and the sample formats of WAV files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kel::host {

enum class SampleFormat { Pcm16, Pcm24, Float32 };

struct AudioBuffer {
    int sampleRate = 44100;
    SampleFormat format = SampleFormat::Float32; // the file's format, kept for writing back
    std::vector<std::vector<float>> channels;

    std::size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// Bytes per sample of a format, and its name as the command line spells it (s16, s24, f32).
int bytesPerSample(SampleFormat format);
const char* formatName(SampleFormat format);
bool parseFormatName(const std::string& name, SampleFormat& format);

// Interleaved little-endian samples to planar floats and back. Integer formats scale by 2^15 or
// 2^23; writing rounds to nearest, clips to the format's range and writes NaN as 0.
void decodeSamples(const std::uint8_t* data, std::size_t frames, int channelCount,
                   SampleFormat format, AudioBuffer& out);
std::vector<std::uint8_t> encodeSamples(const AudioBuffer& audio, SampleFormat format);

} // namespace kel::host

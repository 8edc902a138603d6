#include "host/audio_buffer.h"

#include <cmath>
#include <cstring>

namespace kel::host {

int bytesPerSample(SampleFormat format) {
    switch (format) {
    case SampleFormat::Pcm16:
        return 2;
    case SampleFormat::Pcm24:
        return 3;
    case SampleFormat::Float32:
        return 4;
    }
    return 4;
}

const char* formatName(SampleFormat format) {
    switch (format) {
    case SampleFormat::Pcm16:
        return "s16";
    case SampleFormat::Pcm24:
        return "s24";
    case SampleFormat::Float32:
        return "f32";
    }
    return "f32";
}

bool parseFormatName(const std::string& name, SampleFormat& format) {
    for (SampleFormat candidate :
         {SampleFormat::Pcm16, SampleFormat::Pcm24, SampleFormat::Float32}) {
        if (name == formatName(candidate)) {
            format = candidate;
            return true;
        }
    }
    return false;
}

namespace {

float decodeOne(const std::uint8_t* p, SampleFormat format) {
    switch (format) {
    case SampleFormat::Pcm16: {
        const auto value = static_cast<std::int16_t>(p[0] | (p[1] << 8));
        return static_cast<float>(value) / 32768.0f;
    }
    case SampleFormat::Pcm24: {
        std::int32_t value = p[0] | (p[1] << 8) | (p[2] << 16);
        if (value & 0x800000) {
            value -= 0x1000000;
        }
        return static_cast<float>(value) / 8388608.0f;
    }
    case SampleFormat::Float32: {
        std::uint32_t bits =
            static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
            (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    }
    return 0.0f;
}

std::int32_t toInteger(float sample, double scale, std::int32_t low, std::int32_t high) {
    if (std::isnan(sample)) {
        return 0;
    }
    const double scaled = std::nearbyint(static_cast<double>(sample) * scale);
    if (scaled <= low) {
        return low;
    }
    if (scaled >= high) {
        return high;
    }
    return static_cast<std::int32_t>(scaled);
}

void encodeOne(float sample, SampleFormat format, std::uint8_t* p) {
    std::uint32_t bits = 0;
    int bytes = bytesPerSample(format);
    switch (format) {
    case SampleFormat::Pcm16:
        bits = static_cast<std::uint32_t>(toInteger(sample, 32768.0, -32768, 32767));
        break;
    case SampleFormat::Pcm24:
        bits = static_cast<std::uint32_t>(toInteger(sample, 8388608.0, -8388608, 8388607));
        break;
    case SampleFormat::Float32:
        std::memcpy(&bits, &sample, sizeof(bits));
        break;
    }
    for (int i = 0; i < bytes; ++i) {
        p[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
}

} // namespace

void decodeSamples(const std::uint8_t* data, std::size_t frames, int channelCount,
                   SampleFormat format, AudioBuffer& out) {
    const int bytes = bytesPerSample(format);
    out.format = format;
    out.channels.assign(static_cast<std::size_t>(channelCount), std::vector<float>(frames));
    for (std::size_t frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < channelCount; ++channel) {
            out.channels[channel][frame] =
                decodeOne(data + (frame * channelCount + channel) * bytes, format);
        }
    }
}

std::vector<std::uint8_t> encodeSamples(const AudioBuffer& audio, SampleFormat format) {
    const int bytes = bytesPerSample(format);
    const std::size_t channelCount = audio.channels.size();
    std::vector<std::uint8_t> data(audio.frames() * channelCount * bytes);
    for (std::size_t frame = 0; frame < audio.frames(); ++frame) {
        for (std::size_t channel = 0; channel < channelCount; ++channel) {
            encodeOne(audio.channels[channel][frame], format,
                      data.data() + (frame * channelCount + channel) * bytes);
        }
    }
    return data;
}

} // namespace kel::host

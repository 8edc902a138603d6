#include "host/wav_file.h"

#include <windows.h>

#include <mmsystem.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace kel::host {

namespace {

constexpr WORD kFormatPcm = 1;
constexpr WORD kFormatFloat = 3;
constexpr WORD kFormatExtensible = 0xFFFE;
// Longest file we read into memory: about 12 hours of stereo float at 48 kHz.
constexpr DWORD kMaxDataBytes = 0x7FFFFFFF;

// An mmio file opened with the plain file I/O procedure, so that no part of the name is taken
// for a compound-file element.
class RiffFile {
public:
    RiffFile(const std::string& path, DWORD flags) {
        std::vector<char> name(path.begin(), path.end());
        name.push_back(0);
        MMIOINFO info{};
        info.fccIOProc = FOURCC_DOS;
        handle = mmioOpenA(name.data(), &info, flags | MMIO_ALLOCBUF);
    }
    ~RiffFile() {
        if (handle) {
            mmioClose(handle, 0);
        }
    }
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;
    HMMIO get() const { return handle; }

private:
    HMMIO handle = nullptr;
};

std::uint16_t u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool sampleFormatOf(WORD tag, WORD bits, SampleFormat& format) {
    if (tag == kFormatPcm && bits == 16) {
        format = SampleFormat::Pcm16;
    } else if (tag == kFormatPcm && bits == 24) {
        format = SampleFormat::Pcm24;
    } else if (tag == kFormatFloat && bits == 32) {
        format = SampleFormat::Float32;
    } else {
        return false;
    }
    return true;
}

} // namespace

bool readWavFile(const std::string& path, AudioBuffer& audio, std::string& error) {
    RiffFile file(path, MMIO_READ);
    if (!file.get()) {
        error = "cannot open " + path;
        return false;
    }
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file.get(), &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) {
        error = path + " is not a WAV file";
        return false;
    }
    MMCKINFO chunk{};
    chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(file.get(), &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR ||
        chunk.cksize < 16 || chunk.cksize > 1024) {
        error = path + " has no usable format chunk";
        return false;
    }
    std::vector<std::uint8_t> fmt(chunk.cksize);
    if (mmioRead(file.get(), reinterpret_cast<HPSTR>(fmt.data()), static_cast<LONG>(fmt.size())) !=
        static_cast<LONG>(fmt.size())) {
        error = path + ": cannot read the format chunk";
        return false;
    }
    mmioAscend(file.get(), &chunk, 0);

    WORD tag = u16(&fmt[0]);
    const WORD channelCount = u16(&fmt[2]);
    const DWORD rate = u32(&fmt[4]);
    const WORD bits = u16(&fmt[14]);
    if (tag == kFormatExtensible && fmt.size() >= 26) {
        tag = u16(&fmt[24]); // first two bytes of the sub-format GUID
    }
    SampleFormat format;
    if (!sampleFormatOf(tag, bits, format) || channelCount == 0 || rate == 0 || rate > 1000000) {
        error = path + ": only 16-bit or 24-bit PCM and 32-bit float WAV files are supported";
        return false;
    }

    chunk = MMCKINFO{};
    chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(file.get(), &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
        error = path + " has no data chunk";
        return false;
    }
    const DWORD frameBytes = static_cast<DWORD>(channelCount) * bytesPerSample(format);
    const DWORD wanted = chunk.cksize < kMaxDataBytes ? chunk.cksize : kMaxDataBytes;
    std::vector<std::uint8_t> data(wanted);
    const LONG got =
        mmioRead(file.get(), reinterpret_cast<HPSTR>(data.data()), static_cast<LONG>(data.size()));
    if (got < 0) {
        error = path + ": cannot read the samples";
        return false;
    }
    // A file cut short keeps the whole frames it has.
    const std::size_t frames = static_cast<std::size_t>(got) / frameBytes;
    audio.sampleRate = static_cast<int>(rate);
    decodeSamples(data.data(), frames, channelCount, format, audio);
    return true;
}

bool writeWavFile(const std::string& path, const AudioBuffer& audio, SampleFormat format,
                  std::string& error) {
    const std::vector<std::uint8_t> data = encodeSamples(audio, format);
    RiffFile file(path, MMIO_CREATE | MMIO_WRITE);
    if (!file.get()) {
        error = "cannot create " + path;
        return false;
    }
    const WORD channelCount = static_cast<WORD>(audio.channels.size());
    const WORD bytes = static_cast<WORD>(bytesPerSample(format));
    std::uint8_t fmt[18] = {};
    auto put16 = [&](int at, std::uint32_t v) {
        fmt[at] = static_cast<std::uint8_t>(v);
        fmt[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&](int at, std::uint32_t v) {
        put16(at, v & 0xffff);
        put16(at + 2, v >> 16);
    };
    put16(0, format == SampleFormat::Float32 ? kFormatFloat : kFormatPcm);
    put16(2, channelCount);
    put32(4, static_cast<std::uint32_t>(audio.sampleRate));
    put32(8, static_cast<std::uint32_t>(audio.sampleRate) * channelCount * bytes);
    put16(12, static_cast<std::uint32_t>(channelCount) * bytes);
    put16(14, 8u * bytes);
    const LONG fmtSize = format == SampleFormat::Float32 ? 18 : 16; // float carries cbSize = 0

    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    MMCKINFO chunk{};
    bool ok = mmioCreateChunk(file.get(), &riff, MMIO_CREATERIFF) == MMSYSERR_NOERROR;
    chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    ok = ok && mmioCreateChunk(file.get(), &chunk, 0) == MMSYSERR_NOERROR;
    ok = ok && mmioWrite(file.get(), reinterpret_cast<const char*>(fmt), fmtSize) == fmtSize;
    ok = ok && mmioAscend(file.get(), &chunk, 0) == MMSYSERR_NOERROR;
    chunk = MMCKINFO{};
    chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    ok = ok && mmioCreateChunk(file.get(), &chunk, 0) == MMSYSERR_NOERROR;
    ok = ok && mmioWrite(file.get(), reinterpret_cast<const char*>(data.data()),
                         static_cast<LONG>(data.size())) == static_cast<LONG>(data.size());
    ok = ok && mmioAscend(file.get(), &chunk, 0) == MMSYSERR_NOERROR;
    ok = ok && mmioAscend(file.get(), &riff, 0) == MMSYSERR_NOERROR;
    if (!ok) {
        error = "cannot write " + path;
    }
    return ok;
}

} // namespace kel::host

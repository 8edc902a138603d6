#include "widgets/bmp_decoder.h"

#include <cstdint>

namespace VSTGUI {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40; // BITMAPINFOHEADER
constexpr std::uint32_t kV4HeaderSize = 108;  // BITMAPV4HEADER: the same first 40 bytes
constexpr std::uint32_t kV5HeaderSize = 124;  // BITMAPV5HEADER: the same first 40 bytes
constexpr std::uint32_t kMaxPaletteEntries = 256;

// Little-endian fields; the caller has checked that the bytes are there.
std::uint32_t u16At(const unsigned char* at) {
    return std::uint32_t{at[0]} | (std::uint32_t{at[1]} << 8);
}
std::uint32_t u32At(const unsigned char* at) {
    return std::uint32_t{at[0]} | (std::uint32_t{at[1]} << 8) | (std::uint32_t{at[2]} << 16) |
           (std::uint32_t{at[3]} << 24);
}
std::int64_t i32At(const unsigned char* at) {
    const std::uint32_t raw = u32At(at);
    return raw >= 0x80000000u ? static_cast<std::int64_t>(raw) - 0x100000000LL
                              : static_cast<std::int64_t>(raw);
}

BmpDecoding refused(BmpRefusal why) {
    BmpDecoding result;
    result.refusal = why;
    return result;
}

} // namespace

BmpDecoding decodeBmp(const unsigned char* bytes, std::size_t size) {
    if (!bytes || size < kFileHeaderSize + kInfoHeaderSize) {
        return refused(BmpRefusal::TooShort);
    }
    if (bytes[0] != 'B' || bytes[1] != 'M') {
        return refused(BmpRefusal::NotBmp);
    }
    const std::uint64_t declaredSize = u32At(bytes + 2);
    if (declaredSize != 0 && declaredSize != size) {
        return refused(BmpRefusal::FileSizeMismatch);
    }
    const std::uint64_t pixelOffset = u32At(bytes + 10);

    const unsigned char* info = bytes + kFileHeaderSize;
    const std::uint32_t infoSize = u32At(info);
    if (infoSize != kInfoHeaderSize && infoSize != kV4HeaderSize && infoSize != kV5HeaderSize) {
        return refused(BmpRefusal::UnsupportedHeader);
    }
    const std::uint64_t headersEnd = kFileHeaderSize + infoSize;
    if (size < headersEnd) {
        return refused(BmpRefusal::TooShort);
    }
    const std::int64_t width = i32At(info + 4);
    const std::int64_t storedHeight = i32At(info + 8);
    const bool topDown = storedHeight < 0;
    const std::int64_t height = topDown ? -storedHeight : storedHeight;
    if (width <= 0 || width > kMaxBmpSide || height == 0 || height > kMaxBmpSide) {
        return refused(BmpRefusal::BadSize);
    }
    if (u16At(info + 12) != 1) {
        return refused(BmpRefusal::BadPlanes);
    }
    if (u16At(info + 14) != 24) {
        return refused(BmpRefusal::NotTwentyFourBit);
    }
    if (u32At(info + 16) != 0) {
        return refused(BmpRefusal::Compressed);
    }
    // At most 16384 x 16384 pixels of 3 bytes: these products stay far below 2^63.
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) * 3;
    const std::uint64_t stride = (rowBytes + 3) & ~std::uint64_t{3};
    const std::uint64_t imageBytes = stride * static_cast<std::uint64_t>(height);
    const std::uint64_t declaredImageBytes = u32At(info + 20);
    if (declaredImageBytes != 0 && declaredImageBytes != imageBytes) {
        return refused(BmpRefusal::BadImageSize);
    }
    if (pixelOffset < headersEnd) {
        return refused(BmpRefusal::BadPixelOffset);
    }
    const std::uint64_t paletteEntries = u32At(info + 32);
    if (paletteEntries > kMaxPaletteEntries || headersEnd + 4 * paletteEntries > pixelOffset) {
        return refused(BmpRefusal::BadColourCount);
    }
    if (pixelOffset > size || imageBytes > size - pixelOffset) {
        return refused(BmpRefusal::PixelsMissing);
    }

    BmpDecoding result;
    result.image = Framebuffer(static_cast<int>(width), static_cast<int>(height));
    const unsigned char* pixels = bytes + pixelOffset;
    for (std::int64_t stored = 0; stored < height; ++stored) {
        const unsigned char* from = pixels + stored * stride;
        const int y = static_cast<int>(topDown ? stored : height - 1 - stored);
        std::uint32_t* to = result.image.row(y);
        for (std::int64_t x = 0; x < width; ++x, from += 3) {
            // Stored blue, green, red.
            to[x] = (std::uint32_t{from[2]} << 16) | (std::uint32_t{from[1]} << 8) | from[0];
        }
    }
    return result;
}

const char* describeBmpRefusal(BmpRefusal refusal) {
    switch (refusal) {
    case BmpRefusal::None:
        return "a 24-bit BMP";
    case BmpRefusal::TooShort:
        return "shorter than its headers";
    case BmpRefusal::NotBmp:
        return "not a BMP file";
    case BmpRefusal::FileSizeMismatch:
        return "its file size field does not match its length";
    case BmpRefusal::UnsupportedHeader:
        return "an unsupported information header";
    case BmpRefusal::BadSize:
        return "a width or height out of range";
    case BmpRefusal::BadPlanes:
        return "a plane count other than 1";
    case BmpRefusal::NotTwentyFourBit:
        return "not 24 bits a pixel";
    case BmpRefusal::Compressed:
        return "compressed";
    case BmpRefusal::BadImageSize:
        return "its image size field does not match its rows";
    case BmpRefusal::BadColourCount:
        return "a palette that does not fit before the pixels";
    case BmpRefusal::BadPixelOffset:
        return "pixels that start inside the headers";
    case BmpRefusal::PixelsMissing:
        return "fewer bytes than its rows need";
    }
    return "unknown";
}

} // namespace VSTGUI

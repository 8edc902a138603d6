// Fuzz target: whatever bytes a bitmap holds, the BMP decoder neither crashes nor reads past
// them; what it refuses gives no pixels, and what it accepts agrees with its header and reads
// back the same once written again as a bottom-up file.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "widgets/bmp_decoder.h"

using namespace VSTGUI;

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

std::int64_t signed32At(const std::uint8_t* at) {
    const std::uint32_t raw = std::uint32_t{at[0]} | (std::uint32_t{at[1]} << 8) |
                              (std::uint32_t{at[2]} << 16) | (std::uint32_t{at[3]} << 24);
    return static_cast<std::int32_t>(raw);
}

void put32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// The image as the artwork build writes its files: 24-bit, bottom-up, BITMAPINFOHEADER.
std::vector<std::uint8_t> encode(const Framebuffer& image) {
    const std::size_t stride = (static_cast<std::size_t>(image.width()) * 3 + 3) & ~std::size_t{3};
    std::vector<std::uint8_t> bytes(54 + stride * image.height(), 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
    put32(bytes, 10, 54);
    put32(bytes, 14, 40);
    put32(bytes, 18, static_cast<std::uint32_t>(image.width()));
    put32(bytes, 22, static_cast<std::uint32_t>(image.height()));
    bytes[26] = 1;
    bytes[28] = 24;
    for (int y = 0; y < image.height(); ++y) {
        std::uint8_t* row = &bytes[54 + stride * (image.height() - 1 - y)];
        for (int x = 0; x < image.width(); ++x) {
            const std::uint32_t pixel = image.pixel(x, y);
            row[3 * x] = pixel & 0xff;
            row[3 * x + 1] = (pixel >> 8) & 0xff;
            row[3 * x + 2] = (pixel >> 16) & 0xff;
        }
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const BmpDecoding decoded = decodeBmp(data, size);
    if (!decoded.ok()) {
        check(decoded.image.empty());
        return 0;
    }
    // Accepted: at least both headers, and the header's size is the image's.
    check(size >= 54);
    const std::int64_t width = signed32At(data + 18);
    const std::int64_t height = signed32At(data + 22);
    check(decoded.image.width() == width);
    check(decoded.image.height() == (height < 0 ? -height : height));
    check(width >= 1 && width <= kMaxBmpSide && decoded.image.height() <= kMaxBmpSide);
    const std::uint64_t stride = (static_cast<std::uint64_t>(width) * 3 + 3) & ~std::uint64_t{3};
    const std::uint64_t offset = std::uint64_t{data[10]} | (std::uint64_t{data[11]} << 8) |
                                 (std::uint64_t{data[12]} << 16) | (std::uint64_t{data[13]} << 24);
    check(offset + stride * static_cast<std::uint64_t>(decoded.image.height()) <= size);
    for (std::uint32_t pixel : decoded.image.pixels()) {
        check(pixel <= 0xffffff);
    }
    const std::vector<std::uint8_t> again = encode(decoded.image);
    const BmpDecoding reread = decodeBmp(again.data(), again.size());
    check(reread.ok() && reread.image.pixels() == decoded.image.pixels());
    return 0;
}

// The BMP decoder: 24-bit files bottom-up and top-down with every row padding, the files the
// artwork build writes, and hostile files, each refused for its reason without reading past
// the bytes it was given.
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "widgets/bmp_decoder.h"

namespace {

using namespace VSTGUI;
using Bytes = std::vector<unsigned char>;

void put16(Bytes& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<unsigned char>(value);
    bytes[at + 1] = static_cast<unsigned char>(value >> 8);
}
void put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    put16(bytes, at, value & 0xffff);
    put16(bytes, at + 2, value >> 16);
}

std::uint32_t testPixel(int x, int y) {
    return static_cast<std::uint32_t>(((x * 40 + 7) & 0xff) << 16 | ((y * 30 + 11) & 0xff) << 8 |
                                      ((x * y + 3) & 0xff));
}

// A 24-bit BMP of testPixel, written here independently of the decoder.
Bytes makeBmp(int width, int height, bool topDown, int headerSize = 40, int palette = 0) {
    const int stride = (width * 3 + 3) / 4 * 4;
    const std::size_t offset = 14 + headerSize + 4 * palette;
    Bytes bytes(offset + static_cast<std::size_t>(stride) * height, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    put32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
    put32(bytes, 10, static_cast<std::uint32_t>(offset));
    put32(bytes, 14, static_cast<std::uint32_t>(headerSize));
    put32(bytes, 18, static_cast<std::uint32_t>(width));
    put32(bytes, 22, static_cast<std::uint32_t>(topDown ? -height : height));
    put16(bytes, 26, 1);
    put16(bytes, 28, 24);
    put32(bytes, 34, static_cast<std::uint32_t>(stride * height));
    put32(bytes, 46, static_cast<std::uint32_t>(palette));
    for (int y = 0; y < height; ++y) {
        const int stored = topDown ? y : height - 1 - y;
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = testPixel(x, y);
            const std::size_t at = offset + static_cast<std::size_t>(stored) * stride + 3 * x;
            bytes[at] = pixel & 0xff;
            bytes[at + 1] = (pixel >> 8) & 0xff;
            bytes[at + 2] = (pixel >> 16) & 0xff;
        }
        // Padding bytes that a decoder must not take for pixels.
        for (int pad = width * 3; pad < stride; ++pad) {
            bytes[offset + static_cast<std::size_t>(stored) * stride + pad] = 0xee;
        }
    }
    return bytes;
}

BmpDecoding decode(const Bytes& bytes) {
    return decodeBmp(bytes.data(), bytes.size());
}

TEST(BmpDecoder, DecodesBottomUpAndTopDownWithEveryRowPadding) {
    struct Case {
        int width, height;
        bool topDown;
        int headerSize, palette;
    };
    const Case cases[] = {
        {1, 1, false, 40, 0},   {2, 3, false, 40, 0},     {3, 2, true, 40, 0},
        {4, 4, true, 40, 0},    {5, 7, false, 40, 0},     {7, 5, true, 40, 0},
        {40, 30, false, 40, 0}, {6, 2, false, 108, 0},    {6, 2, true, 124, 0},
        {3, 3, false, 40, 16},  {16384, 1, false, 40, 0}, {1, 16384, true, 40, 0},
    };
    for (const Case& c : cases) {
        const BmpDecoding decoded =
            decode(makeBmp(c.width, c.height, c.topDown, c.headerSize, c.palette));
        ASSERT_TRUE(decoded.ok()) << c.width << "x" << c.height << ": "
                                  << describeBmpRefusal(decoded.refusal);
        ASSERT_EQ(decoded.image.width(), c.width);
        ASSERT_EQ(decoded.image.height(), c.height);
        int wrong = 0;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                wrong += decoded.image.pixel(x, y) != testPixel(x, y);
            }
        }
        EXPECT_EQ(wrong, 0) << c.width << "x" << c.height << (c.topDown ? " top-down" : "");
    }
}

TEST(BmpDecoder, ReadsTheFilesTheArtworkBuildWrites) {
    // The pattern bitmap of make_test_bitmaps.py, written by scripts/svg_to_bmp.py's writer:
    // (4 x, 4 y, 100), pure white where (x + y) % 7 == 0.
    std::ifstream file(std::string(KEL_TEST_BITMAP_FOLDER) + "/pattern.bmp", std::ios::binary);
    const Bytes bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const BmpDecoding decoded = decode(bytes);
    ASSERT_TRUE(decoded.ok()) << describeBmpRefusal(decoded.refusal);
    ASSERT_EQ(decoded.image.width(), 40);
    ASSERT_EQ(decoded.image.height(), 30);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            const std::uint32_t expected =
                (x + y) % 7 == 0 ? 0xffffffu
                                 : static_cast<std::uint32_t>((4 * x) << 16 | (4 * y) << 8 | 100);
            ASSERT_EQ(decoded.image.pixel(x, y), expected) << x << ", " << y;
        }
    }
}

TEST(BmpDecoder, RefusesHostileFilesForTheirReasons) {
    const Bytes good = makeBmp(5, 3, false); // stride 16, 48 bytes of pixels from 54
    struct Case {
        const char* what;
        void (*change)(Bytes&);
        BmpRefusal refusal;
    };
    const Case cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }, BmpRefusal::TooShort},
        {"headers cut", [](Bytes& b) { b.resize(53); }, BmpRefusal::TooShort},
        {"no signature", [](Bytes& b) { b[0] = 'P'; }, BmpRefusal::NotBmp},
        {"file size too large", [](Bytes& b) { put32(b, 2, 103); }, BmpRefusal::FileSizeMismatch},
        {"file size too small", [](Bytes& b) { put32(b, 2, 54); }, BmpRefusal::FileSizeMismatch},
        {"core header", [](Bytes& b) { put32(b, 14, 12); }, BmpRefusal::UnsupportedHeader},
        {"header of 64 bytes", [](Bytes& b) { put32(b, 14, 64); }, BmpRefusal::UnsupportedHeader},
        {"V5 header past the end",
         [](Bytes& b) {
             put32(b, 14, 124);
             b.resize(100);
             put32(b, 2, 0);
         },
         BmpRefusal::TooShort},
        {"width 0", [](Bytes& b) { put32(b, 18, 0); }, BmpRefusal::BadSize},
        {"width negative", [](Bytes& b) { put32(b, 18, 0xfffffffb); }, BmpRefusal::BadSize},
        {"width too large", [](Bytes& b) { put32(b, 18, 16385); }, BmpRefusal::BadSize},
        {"height 0", [](Bytes& b) { put32(b, 22, 0); }, BmpRefusal::BadSize},
        {"height most negative", [](Bytes& b) { put32(b, 22, 0x80000000u); }, BmpRefusal::BadSize},
        {"height too large", [](Bytes& b) { put32(b, 22, 0x7fffffff); }, BmpRefusal::BadSize},
        {"two planes", [](Bytes& b) { put16(b, 26, 2); }, BmpRefusal::BadPlanes},
        {"32 bits", [](Bytes& b) { put16(b, 28, 32); }, BmpRefusal::NotTwentyFourBit},
        {"8 bits", [](Bytes& b) { put16(b, 28, 8); }, BmpRefusal::NotTwentyFourBit},
        {"run-length", [](Bytes& b) { put32(b, 30, 1); }, BmpRefusal::Compressed},
        {"bit fields", [](Bytes& b) { put32(b, 30, 3); }, BmpRefusal::Compressed},
        {"image size off", [](Bytes& b) { put32(b, 34, 47); }, BmpRefusal::BadImageSize},
        {"pixels in the headers", [](Bytes& b) { put32(b, 10, 40); }, BmpRefusal::BadPixelOffset},
        {"palette over the pixels", [](Bytes& b) { put32(b, 46, 1); }, BmpRefusal::BadColourCount},
        {"palette of 2^32 - 1", [](Bytes& b) { put32(b, 46, 0xffffffff); },
         BmpRefusal::BadColourCount},
        {"pixels past the end", [](Bytes& b) { put32(b, 10, 60); }, BmpRefusal::PixelsMissing},
        {"offset far past the end", [](Bytes& b) { put32(b, 10, 0xfffffff0); },
         BmpRefusal::PixelsMissing},
        {"last byte missing",
         [](Bytes& b) {
             b.pop_back();
             put32(b, 2, 0);
         },
         BmpRefusal::PixelsMissing},
        {"more rows than bytes",
         [](Bytes& b) {
             put32(b, 22, 4);
             put32(b, 34, 0);
         },
         BmpRefusal::PixelsMissing},
    };
    for (const Case& c : cases) {
        Bytes bytes = good;
        c.change(bytes);
        const BmpDecoding decoded = decode(bytes);
        EXPECT_EQ(decoded.refusal, c.refusal)
            << c.what << ": " << describeBmpRefusal(decoded.refusal);
        EXPECT_TRUE(decoded.image.empty()) << c.what;
    }
    EXPECT_EQ(decodeBmp(nullptr, 100).refusal, BmpRefusal::TooShort);
}

TEST(BmpDecoder, TakesAFileSizeOfZeroAndIgnoresBytesAfterTheRows) {
    Bytes bytes = makeBmp(5, 3, true);
    put32(bytes, 2, 0);
    bytes.insert(bytes.end(), {1, 2, 3, 4, 5});
    const BmpDecoding decoded = decode(bytes);
    ASSERT_TRUE(decoded.ok()) << describeBmpRefusal(decoded.refusal);
    EXPECT_EQ(decoded.image.pixel(4, 2), testPixel(4, 2));
    // The same bytes with their true size in the header.
    put32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
    EXPECT_TRUE(decode(bytes).ok());
}

TEST(BmpDecoder, EveryShorterFileIsRefusedAndNoneReadsPastItsEnd) {
    // Each prefix copied into a buffer of exactly its size, so that AddressSanitizer would see a
    // read beyond it.
    const Bytes good = makeBmp(7, 4, false);
    int refused = 0;
    for (std::size_t length = 0; length < good.size(); ++length) {
        Bytes prefix(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
        if (prefix.size() >= 6) {
            put32(prefix, 2, 0); // a size field of 0 claims nothing
        }
        refused += decode(prefix).ok() ? 0 : 1;
    }
    EXPECT_EQ(refused, static_cast<int>(good.size()));
}

} // namespace

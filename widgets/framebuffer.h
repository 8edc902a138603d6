// Pixels in memory: what a draw context draws into on Linux (its device context) and what a
// decoded bitmap holds. 32 bits a pixel, 0x00RRGGBB, row after row, the top row first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "widgets/geometry.h"

namespace VSTGUI {

inline constexpr std::uint32_t pixelOf(CColor color) {
    return (std::uint32_t{color.red} << 16) | (std::uint32_t{color.green} << 8) | color.blue;
}

inline constexpr CColor colorOfPixel(std::uint32_t pixel) {
    return {static_cast<unsigned char>((pixel >> 16) & 0xff),
            static_cast<unsigned char>((pixel >> 8) & 0xff),
            static_cast<unsigned char>(pixel & 0xff), 0};
}

class Framebuffer {
public:
    Framebuffer() = default;
    // A size that is not positive in either direction gives an empty framebuffer.
    Framebuffer(int width, int height, std::uint32_t fill = 0)
        : columns(width > 0 && height > 0 ? width : 0), rows(width > 0 && height > 0 ? height : 0),
          data(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), fill) {}

    int width() const { return columns; }
    int height() const { return rows; }
    bool empty() const { return data.empty(); }
    CRect bounds() const { return {0, 0, columns, rows}; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < columns && y < rows; }

    // (x, y) must be inside.
    std::uint32_t pixel(int x, int y) const { return data[index(x, y)]; }
    void setPixel(int x, int y, std::uint32_t value) { data[index(x, y)] = value; }
    // The first pixel of row y, which must be inside.
    std::uint32_t* row(int y) { return data.data() + index(0, y); }
    const std::uint32_t* row(int y) const { return data.data() + index(0, y); }

    const std::vector<std::uint32_t>& pixels() const { return data; }

private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(columns) +
               static_cast<std::size_t>(x);
    }

    int columns = 0;
    int rows = 0;
    std::vector<std::uint32_t> data;
};

} // namespace VSTGUI

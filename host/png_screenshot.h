// Pictures of the screen as the display shows them, saved as PNG files.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kel::host {

// 24-bit pixels, blue-green-red, rows top to bottom, each row padded to a multiple of 4 bytes.
struct ScreenImage {
    int width = 0;
    int height = 0;
    std::size_t stride = 0; // bytes per row
    std::vector<unsigned char> pixels;
};

// Copies a rectangle of the screen (screen coordinates, in pixels) from the screen's device
// context, which under Wine matches the X screen pixel for pixel.
bool captureScreen(int x, int y, int width, int height, ScreenImage& image, std::string& error);

// Writes the image as a 24-bit PNG file through the Windows Imaging Component.
bool writePng(const std::string& path, const ScreenImage& image, std::string& error);

} // namespace kel::host

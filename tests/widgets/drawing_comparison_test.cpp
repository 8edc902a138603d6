// The Linux framebuffer back end against GDI: every scene of drawing_scenes.h drawn here and
// compared, pixel for pixel, with what the widget set's GDI back end drew under Wine
// (gdi_scene_renderer.exe, both ways of keyed copies), everywhere but inside the scenes' text
// rectangles, where only font rendering may differ. gdi_comparison_test.py runs the renderer and
// then this program, with KEL_GDI_SCENES naming the folder of the renderer's files; each scene
// drawn here is written beside them as <scene>.native.ppm, to be looked at.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/widgets/drawing_scenes.h"
#include "widgets/framebuffer.h"
#include "widgets/platform_objects.h"

namespace {

using namespace widget_test;

// A binary PPM of 8-bit channels, as the renderer writes it; empty when unreadable.
Framebuffer readPpm(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, maximum = 0;
    file >> magic >> width >> height >> maximum;
    file.get(); // the one white-space character before the pixels
    if (!file || magic != "P6" || maximum != 255 || width <= 0 || height <= 0) {
        return {};
    }
    std::vector<unsigned char> bytes(static_cast<std::size_t>(width) * height * 3);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        return {};
    }
    Framebuffer image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned char* at = &bytes[(static_cast<std::size_t>(y) * width + x) * 3];
            image.setPixel(x, y,
                           (std::uint32_t{at[0]} << 16) | (std::uint32_t{at[1]} << 8) | at[2]);
        }
    }
    return image;
}

void writePpm(const std::string& path, const Framebuffer& image) {
    std::ofstream file(path, std::ios::binary);
    file << "P6\n" << image.width() << " " << image.height() << "\n255\n";
    for (std::uint32_t pixel : image.pixels()) {
        const char rgb[] = {static_cast<char>(pixel >> 16), static_cast<char>(pixel >> 8),
                            static_cast<char>(pixel)};
        file.write(rgb, 3);
    }
}

bool inText(const DrawingScene& scene, int x, int y) {
    for (const CRect& rect : scene.textRects) {
        if (x >= rect.left && x < rect.right && y >= rect.top && y < rect.bottom) {
            return true;
        }
    }
    return false;
}

std::string hex(std::uint32_t pixel) {
    char text[16];
    std::snprintf(text, sizeof(text), "%06x", static_cast<unsigned>(pixel));
    return text;
}

TEST(DrawingMatchesGdi, EveryPixelOutsideTheTextCellsOfEveryScene) {
    const char* folderSetting = std::getenv("KEL_GDI_SCENES");
    ASSERT_NE(folderSetting, nullptr) << "KEL_GDI_SCENES names the GDI renderer's folder";
    const std::string folder = folderSetting;
    const PlatformObjectCounts before = platformObjectsInUse();
    long long compared = 0, differing = 0, textPixels = 0, textDiffering = 0, expected = 0;
    for (const DrawingScene& scene : drawingScenes()) {
        Framebuffer native(scene.width, scene.height, pixelOf(scene.background));
        {
            CDrawContext context(nullptr, &native);
            scene.draw(context);
        }
        EXPECT_EQ(platformObjectsInUse().gdi, before.gdi) << scene.name << ": objects left";
        writePpm(folder + "/" + scene.name + ".native.ppm", native);
        for (const char* method : {"single", "mask"}) {
            const std::string path = folder + "/" + scene.name + "." + method + ".ppm";
            const Framebuffer gdi = readPpm(path);
            ASSERT_FALSE(gdi.empty()) << "cannot read " << path;
            ASSERT_EQ(gdi.width(), native.width()) << path;
            ASSERT_EQ(gdi.height(), native.height()) << path;
            long long sceneDiffering = 0;
            std::ostringstream firstDifferences;
            for (int y = 0; y < native.height(); ++y) {
                for (int x = 0; x < native.width(); ++x) {
                    const bool differs = gdi.pixel(x, y) != native.pixel(x, y);
                    if (inText(scene, x, y)) {
                        ++textPixels;
                        textDiffering += differs ? 1 : 0;
                        continue;
                    }
                    ++compared;
                    if (differs && ++sceneDiffering <= 8) {
                        firstDifferences << " (" << x << ", " << y << "): GDI "
                                         << hex(gdi.pixel(x, y)) << ", here "
                                         << hex(native.pixel(x, y)) << ";";
                    }
                }
            }
            expected += static_cast<long long>(scene.width) * scene.height;
            differing += sceneDiffering;
            EXPECT_EQ(sceneDiffering, 0)
                << scene.name << " (" << method << "):" << firstDifferences.str();
        }
    }
    EXPECT_EQ(compared + textPixels, expected);
    std::printf("%zu scenes, each against GDI's two ways of keyed copies: %lld pixels compared "
                "outside the text cells, %lld differ; %lld pixels in text cells not compared "
                "(%lld of them differ)\n",
                drawingScenes().size(), compared, differing, textPixels, textDiffering);
}

} // namespace

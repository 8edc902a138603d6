// Draws the comparison scenes (drawing_scenes.h) with the widget set's GDI back end into 32-bit
// DIB sections and writes each as a binary PPM file, FOLDER/<scene>.<method>.ppm: method
// "single" draws with a frame, so keyed copies take GDI's single call (TransparentBlt); "mask"
// without one, so they take the mask method. The native comparison reads them.
//
// Usage: gdi_scene_renderer.exe FOLDER    (a Windows path; Wine takes Z:/unix/path)
#include <cstdio>
#include <string>
#include <vector>

#include "tests/widgets/drawing_scenes.h"
#include "tests/widgets/widget_test_support.h"
#include "tests/widgets/window_test_support.h"
#include "widgets/frame.h"

namespace {

using namespace widget_test;

bool writePpm(const std::string& path, const Canvas& canvas) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    std::fprintf(file, "P6\n%d %d\n255\n", canvas.width(), canvas.height());
    std::vector<unsigned char> row(static_cast<std::size_t>(canvas.width()) * 3);
    bool written = true;
    for (int y = 0; y < canvas.height() && written; ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const CColor pixel = canvas.pixel(x, y);
            row[3 * x] = pixel.red;
            row[3 * x + 1] = pixel.green;
            row[3 * x + 2] = pixel.blue;
        }
        written = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: gdi_scene_renderer FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    ScriptedEditor editor;
    CFrame frame(CRect(0, 0, 400, 400), parentWindow(), &editor);
    if (!frame.isOpen() || !frame.getTransparentBlt()) {
        std::fprintf(stderr, "gdi_scene_renderer: no frame window with TransparentBlt (Wine needs "
                             "a display: run it under Xvfb)\n");
        return 1;
    }
    int files = 0;
    for (const DrawingScene& scene : drawingScenes()) {
        for (const bool single : {true, false}) {
            Canvas canvas(scene.width, scene.height, scene.background);
            {
                CDrawContext context(single ? &frame : nullptr, canvas.dc());
                scene.draw(context);
            }
            const std::string path =
                folder + "/" + scene.name + (single ? ".single.ppm" : ".mask.ppm");
            if (!writePpm(path, canvas)) {
                std::fprintf(stderr, "gdi_scene_renderer: cannot write %s\n", path.c_str());
                return 1;
            }
            ++files;
        }
    }
    std::printf("gdi_scene_renderer: %d scenes drawn, %d files written\n",
                static_cast<int>(drawingScenes().size()), files);
    return 0;
}

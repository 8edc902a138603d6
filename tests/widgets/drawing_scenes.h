// The scenes both drawing back ends draw, for comparing them pixel for pixel: GDI under Wine
// (gdi_scene_renderer.cpp writes them to files) and the Linux framebuffer back end natively
// (drawing_comparison_test.cpp draws them again and compares). Each scene is drawn with the
// widget set into a canvas of its size filled with its background colour; its text is compared
// nowhere but inside the rectangles it lists, where font rendering may differ.
#pragma once

#include <vector>

#include "widgets/draw_context.h"

namespace widget_test {

using namespace VSTGUI;

// The scenes' bitmaps, in both builds: the tests' own (test_bitmaps.h), the editor's 528 to 571
// with the HN-6's backgrounds, and the KR-6's backgrounds 528 and 529 under these numbers
// (tests/widgets/CMakeLists.txt makes both tables from one list).
inline constexpr long kSecondSkinTall = 10528;
inline constexpr long kSecondSkinWide = 10529;

struct DrawingScene {
    const char* name; // also the name of its files
    int width;        // pixels
    int height;
    CColor background;
    void (*draw)(CDrawContext& context);
    std::vector<CRect> textRects; // every rectangle text is drawn in
};

const std::vector<DrawingScene>& drawingScenes();

// The lines of the line scenes that come from a table of pseudo-random end points: the same
// numbers on every platform (a linear congruential generator, not the C library's).
struct LineCase {
    CPoint from;
    CPoint to;
};
std::vector<LineCase> scatteredLines(int count, int range, unsigned seed);

} // namespace widget_test

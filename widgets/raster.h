// The pixels GDI sets for one-pixel lines, filled rectangles and bitmap copies, as pure
// functions over a framebuffer. They clip to the framebuffer and never write outside it; what a
// shape covers outside is simply not drawn, the pixels inside are those of the whole shape.
#pragma once

#include <cstdint>
#include <vector>

#include "widgets/bitmap_copy_area.h"
#include "widgets/framebuffer.h"
#include "widgets/geometry.h"

namespace VSTGUI {

// The pixels inside clip that a one-pixel line from `from` up to, not including, `to` sets, in
// drawing order. GDI's rule, as measured: one pixel for each step along the axis the line
// travels further on (x when both are equal), on the pixel nearest to the exact line; a tie goes
// to the smaller coordinate, in every direction. Exact for every pair of int32 points.
std::vector<CPoint> linePixels(const CPoint& from, const CPoint& to, const CRect& clip);
void drawLinePixels(Framebuffer& target, const CPoint& from, const CPoint& to, std::uint32_t pixel);

// The pixels GDI's FillRect fills, inside clip: left to right - 1 and top to bottom - 1; an edge
// pair given the wrong way round (right < left) fills right + 1 to left, as GDI does.
CRect filledArea(const CRect& rect, const CRect& clip);
void fillRectPixels(Framebuffer& target, const CRect& rect, std::uint32_t pixel);

// Copies area (see copyArea) of source into target; copyPixelsKeyed leaves the target's pixel
// wherever the source pixel has the key's red, green and blue.
void copyPixels(Framebuffer& target, const Framebuffer& source, const CopyArea& area);
void copyPixelsKeyed(Framebuffer& target, const Framebuffer& source, const CopyArea& area,
                     std::uint32_t key);

} // namespace VSTGUI

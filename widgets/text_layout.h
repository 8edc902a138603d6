// Where one line of text goes in a rectangle, as GDI's DrawText places it with DT_SINGLELINE and
// DT_VCENTER (measured under Wine): a pure function of the rectangle, the alignment and the
// text's size.
#pragma once

#include "widgets/geometry.h"

namespace VSTGUI {

struct TextPlacement {
    CRect clip; // nothing of the text is drawn outside it
    CRect cell; // the text's cell: its width and the font's cell height; opaque text fills it
};

// textWidth: the sum of the characters' advances; cellHeight: the font's ascent plus descent,
// in pixels. Left-aligned text starts one pixel in from rect's left edge, and the rectangle it is
// clipped to does too. Horizontally the cell sits at the clip's left edge (kLeftText), its right
// edge (kRightText), or (any other value) left + (width - textWidth) / 2; vertically at
// top + height / 2 - cellHeight / 2, each division rounding towards zero.
TextPlacement placeText(const CRect& rect, int hAlign, int textWidth, int cellHeight);

} // namespace VSTGUI

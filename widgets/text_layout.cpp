#include "widgets/text_layout.h"

#include <cstdint>

#include "widgets/bitmap_copy_area.h"

namespace VSTGUI {

TextPlacement placeText(const CRect& rect, int hAlign, int textWidth, int cellHeight) {
    // 64-bit intermediates: no rectangle overflows; C++ division rounds towards zero as GDI's.
    const std::int64_t left = std::int64_t{rect.left} + (hAlign == kLeftText ? 1 : 0);
    const std::int64_t top = rect.top;
    const std::int64_t right = rect.right;
    const std::int64_t bottom = rect.bottom;
    std::int64_t x = left;
    if (hAlign == kRightText) {
        x = right - textWidth;
    } else if (hAlign != kLeftText) {
        x = left + (right - left - textWidth) / 2;
    }
    const std::int64_t y = top + (bottom - top) / 2 - cellHeight / 2;
    using detail::clampToInt;
    TextPlacement placement;
    placement.clip = CRect(clampToInt(left), rect.top, rect.right, rect.bottom);
    placement.cell =
        CRect(clampToInt(x), clampToInt(y), clampToInt(x + textWidth), clampToInt(y + cellHeight));
    return placement;
}

} // namespace VSTGUI

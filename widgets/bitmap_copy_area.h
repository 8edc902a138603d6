// The part of a bitmap copy that lies inside the bitmap, the same on every platform: a copy of
// rect's width x height pixels from offset on loses what the bitmap does not have, on the left
// and top by moving its destination along. Where the copy lands outside the destination is for
// the destination to clip.
#pragma once

#include <cstdint>
#include <limits>

#include "widgets/geometry.h"

namespace VSTGUI {

struct CopyArea {
    int x, y, width, height, sourceX, sourceY;
    bool empty() const { return width <= 0 || height <= 0; }
};

namespace detail {
// Destination coordinates beyond the int range lie outside every surface however far they are.
inline int clampToInt(std::int64_t value) {
    const std::int64_t low = std::numeric_limits<int>::min();
    const std::int64_t high = std::numeric_limits<int>::max();
    return static_cast<int>(value < low ? low : (value > high ? high : value));
}
} // namespace detail

// 64-bit intermediates: extreme rectangles and offsets neither overflow nor wrap round.
inline CopyArea copyArea(const CRect& rect, const CPoint& offset, long bitmapWidth,
                         long bitmapHeight) {
    std::int64_t x = rect.left, y = rect.top;
    std::int64_t width = std::int64_t{rect.right} - rect.left;
    std::int64_t height = std::int64_t{rect.bottom} - rect.top;
    std::int64_t sourceX = offset.h, sourceY = offset.v;
    if (sourceX < 0) {
        x -= sourceX;
        width += sourceX;
        sourceX = 0;
    }
    if (sourceY < 0) {
        y -= sourceY;
        height += sourceY;
        sourceY = 0;
    }
    if (sourceX + width > bitmapWidth) {
        width = bitmapWidth - sourceX;
    }
    if (sourceY + height > bitmapHeight) {
        height = bitmapHeight - sourceY;
    }
    if (width <= 0 || height <= 0) {
        return {0, 0, 0, 0, 0, 0};
    }
    // Inside the bitmap now: the sizes and source coordinates are at most the bitmap's.
    return {detail::clampToInt(x),    detail::clampToInt(y),     static_cast<int>(width),
            static_cast<int>(height), static_cast<int>(sourceX), static_cast<int>(sourceY)};
}

} // namespace VSTGUI

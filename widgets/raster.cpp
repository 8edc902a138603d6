#include "widgets/raster.h"

#include <algorithm>

namespace VSTGUI {

namespace {

std::int64_t magnitude(std::int64_t value) {
    return value < 0 ? -value : value;
}

// The minor-axis offset of step `step` of a line that moves `delta` on its minor axis over
// `steps` steps: step * delta / steps rounded to nearest, ties to the smaller value.
// 0 <= step < steps <= 2^32 - 1 and |delta| <= steps, so step * |delta| < 2^64 is exact.
std::int64_t minorOffset(std::int64_t step, std::int64_t delta, std::int64_t steps) {
    const std::uint64_t product =
        static_cast<std::uint64_t>(step) * static_cast<std::uint64_t>(magnitude(delta));
    const std::uint64_t divisor = static_cast<std::uint64_t>(steps);
    const std::uint64_t whole = product / divisor;
    const std::uint64_t twiceRest = 2 * (product % divisor);
    if (delta >= 0) {
        return static_cast<std::int64_t>(whole + (twiceRest > divisor ? 1 : 0));
    }
    return -static_cast<std::int64_t>(whole + (twiceRest >= divisor ? 1 : 0));
}

// Calls visit(x, y) for each pixel of the line inside clip, in drawing order. Only the steps
// whose major coordinate lies inside the clip are walked, so the work is bounded by the clip's
// size however long the line is.
template <class Visit>
void visitLine(const CPoint& from, const CPoint& to, const CRect& clip, Visit visit) {
    const std::int64_t dx = std::int64_t{to.h} - from.h;
    const std::int64_t dy = std::int64_t{to.v} - from.v;
    const bool xMajor = magnitude(dx) >= magnitude(dy);
    const std::int64_t steps = xMajor ? magnitude(dx) : magnitude(dy);
    if (steps == 0 || clip.width() <= 0 || clip.height() <= 0) {
        return;
    }
    const std::int64_t majorStart = xMajor ? from.h : from.v;
    const std::int64_t minorStart = xMajor ? from.v : from.h;
    const std::int64_t minorDelta = xMajor ? dy : dx;
    const bool forward = (xMajor ? dx : dy) > 0;
    const std::int64_t majorLow = xMajor ? clip.left : clip.top;
    const std::int64_t majorHigh = xMajor ? clip.right : clip.bottom; // excluded
    const std::int64_t minorLow = xMajor ? clip.top : clip.left;
    const std::int64_t minorHigh = xMajor ? clip.bottom : clip.right; // excluded

    // The steps whose major coordinate majorStart +/- step lies in [majorLow, majorHigh).
    std::int64_t first = forward ? majorLow - majorStart : majorStart - majorHigh + 1;
    std::int64_t end = forward ? majorHigh - majorStart : majorStart - majorLow + 1;
    first = std::max<std::int64_t>(first, 0);
    end = std::min<std::int64_t>(end, steps);
    for (std::int64_t step = first; step < end; ++step) {
        const std::int64_t major = forward ? majorStart + step : majorStart - step;
        const std::int64_t minor = minorStart + minorOffset(step, minorDelta, steps);
        if (minor < minorLow || minor >= minorHigh) {
            continue;
        }
        if (xMajor) {
            visit(static_cast<int>(major), static_cast<int>(minor));
        } else {
            visit(static_cast<int>(minor), static_cast<int>(major));
        }
    }
}

// [low, high) of one axis as FillRect fills it, inside [clipLow, clipHigh).
void fillSpan(std::int64_t first, std::int64_t second, std::int64_t clipLow, std::int64_t clipHigh,
              std::int32_t& low, std::int32_t& high) {
    std::int64_t from = first <= second ? first : second + 1;
    std::int64_t to = first <= second ? second : first + 1;
    from = std::max(from, clipLow);
    to = std::min(to, clipHigh);
    if (to <= from) {
        from = to = clipLow;
    }
    // Inside the clip now, so inside the int32 range.
    low = static_cast<std::int32_t>(from);
    high = static_cast<std::int32_t>(to);
}

// The rows and columns of a copy that land inside the target; false when none do.
struct CopyWindow {
    int firstRow, endRow, firstColumn, endColumn;
};

bool copyWindow(const Framebuffer& target, const Framebuffer& source, const CopyArea& area,
                CopyWindow& window) {
    if (area.empty()) {
        return false;
    }
    // Rows j and columns i of the copy: target (x + i, y + j), source (sourceX + i, sourceY + j).
    const std::int64_t rowLow =
        std::max<std::int64_t>({0, -std::int64_t{area.y}, -std::int64_t{area.sourceY}});
    const std::int64_t rowHigh =
        std::min<std::int64_t>({area.height, std::int64_t{target.height()} - area.y,
                                std::int64_t{source.height()} - area.sourceY});
    const std::int64_t columnLow =
        std::max<std::int64_t>({0, -std::int64_t{area.x}, -std::int64_t{area.sourceX}});
    const std::int64_t columnHigh =
        std::min<std::int64_t>({area.width, std::int64_t{target.width()} - area.x,
                                std::int64_t{source.width()} - area.sourceX});
    if (rowHigh <= rowLow || columnHigh <= columnLow) {
        return false;
    }
    window = {static_cast<int>(rowLow), static_cast<int>(rowHigh), static_cast<int>(columnLow),
              static_cast<int>(columnHigh)};
    return true;
}

} // namespace

std::vector<CPoint> linePixels(const CPoint& from, const CPoint& to, const CRect& clip) {
    std::vector<CPoint> pixels;
    visitLine(from, to, clip, [&pixels](int x, int y) { pixels.emplace_back(x, y); });
    return pixels;
}

void drawLinePixels(Framebuffer& target, const CPoint& from, const CPoint& to,
                    std::uint32_t pixel) {
    visitLine(from, to, target.bounds(),
              [&target, pixel](int x, int y) { target.setPixel(x, y, pixel); });
}

CRect filledArea(const CRect& rect, const CRect& clip) {
    CRect area;
    fillSpan(rect.left, rect.right, clip.left, clip.right, area.left, area.right);
    fillSpan(rect.top, rect.bottom, clip.top, clip.bottom, area.top, area.bottom);
    if (area.width() <= 0 || area.height() <= 0) {
        return CRect(clip.left, clip.top, clip.left, clip.top);
    }
    return area;
}

void fillRectPixels(Framebuffer& target, const CRect& rect, std::uint32_t pixel) {
    const CRect area = filledArea(rect, target.bounds());
    for (int y = area.top; y < area.bottom; ++y) {
        std::uint32_t* row = target.row(y);
        std::fill(row + area.left, row + area.right, pixel);
    }
}

void copyPixels(Framebuffer& target, const Framebuffer& source, const CopyArea& area) {
    CopyWindow window{};
    if (!copyWindow(target, source, area, window)) {
        return;
    }
    const int count = window.endColumn - window.firstColumn;
    for (int j = window.firstRow; j < window.endRow; ++j) {
        const std::uint32_t* from =
            source.row(area.sourceY + j) + (area.sourceX + window.firstColumn);
        std::uint32_t* to = target.row(area.y + j) + (area.x + window.firstColumn);
        std::copy(from, from + count, to);
    }
}

void copyPixelsKeyed(Framebuffer& target, const Framebuffer& source, const CopyArea& area,
                     std::uint32_t key) {
    CopyWindow window{};
    if (!copyWindow(target, source, area, window)) {
        return;
    }
    const std::uint32_t keyRgb = key & 0xffffff;
    const int count = window.endColumn - window.firstColumn;
    for (int j = window.firstRow; j < window.endRow; ++j) {
        const std::uint32_t* from =
            source.row(area.sourceY + j) + (area.sourceX + window.firstColumn);
        std::uint32_t* to = target.row(area.y + j) + (area.x + window.firstColumn);
        for (int i = 0; i < count; ++i) {
            if ((from[i] & 0xffffff) != keyRgb) {
                to[i] = from[i];
            }
        }
    }
}

} // namespace VSTGUI

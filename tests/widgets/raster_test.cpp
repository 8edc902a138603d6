// GDI's pixel rules as the framebuffer back end has them (widgets/raster.h): lines in every
// direction and length, clipped and far outside; filled rectangles, the wrong way round too;
// the part of a bitmap a copy takes.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "tests/widgets/drawing_scenes.h"
#include "widgets/raster.h"

namespace {

using namespace VSTGUI;

std::vector<CPoint> sorted(std::vector<CPoint> points) {
    std::sort(points.begin(), points.end(),
              [](const CPoint& a, const CPoint& b) { return a.v != b.v ? a.v < b.v : a.h < b.h; });
    return points;
}

// The rule found another way, for lines short enough to search: at each step along the major
// axis, the minor coordinate whose distance to the exact line is smallest, the smaller one on a
// tie. Distances are compared as exact integers (scaled by twice the step count).
std::vector<CPoint> searchedLine(CPoint from, CPoint to, const CRect& clip) {
    const long long dx = to.h - from.h, dy = to.v - from.v;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long steps = xMajor ? std::llabs(dx) : std::llabs(dy);
    std::vector<CPoint> pixels;
    for (long long i = 0; i < steps; ++i) {
        const long long major = (xMajor ? from.h : from.v) + i * ((xMajor ? dx : dy) > 0 ? 1 : -1);
        const long long minorDelta = xMajor ? dy : dx;
        const long long minorStart = xMajor ? from.v : from.h;
        // The exact minor coordinate is minorStart + i * minorDelta / steps: search the
        // whole pixels round it.
        const long long whole = minorStart + (i * minorDelta) / steps;
        long long best = 0, bestDistance = std::numeric_limits<long long>::max();
        for (long long m = whole - 2; m <= whole + 2; ++m) {
            const long long distance = std::llabs((m - minorStart) * steps - i * minorDelta);
            if (distance < bestDistance) {
                best = m;
                bestDistance = distance;
            }
        }
        const CPoint pixel = xMajor ? CPoint(static_cast<int>(major), static_cast<int>(best))
                                    : CPoint(static_cast<int>(best), static_cast<int>(major));
        if (pixel.h >= clip.left && pixel.h < clip.right && pixel.v >= clip.top &&
            pixel.v < clip.bottom) {
            pixels.push_back(pixel);
        }
    }
    return pixels;
}

const CRect kEverywhere(-1000000, -1000000, 1000000, 1000000);

TEST(LineRule, SetsThePixelsGdiSetsInEveryOctant) {
    // Measured with LineTo on a 32-bit DIB section under Wine, from (0, 0).
    struct Case {
        CPoint to;
        std::vector<CPoint> pixels;
    };
    const Case cases[] = {
        {{0, 0}, {}},
        {{1, 0}, {{0, 0}}},
        {{0, -2}, {{0, -1}, {0, 0}}},
        {{2, 1}, {{0, 0}, {1, 0}}},
        {{-2, 1}, {{-1, 0}, {0, 0}}},
        {{2, -1}, {{1, -1}, {0, 0}}},
        {{-2, -1}, {{-1, -1}, {0, 0}}},
        {{1, 2}, {{0, 0}, {0, 1}}},
        {{-1, 2}, {{0, 0}, {-1, 1}}},
        {{1, -2}, {{0, -1}, {0, 0}}},
        {{-1, -2}, {{-1, -1}, {0, 0}}},
        {{4, 1}, {{0, 0}, {1, 0}, {2, 0}, {3, 1}}},
        {{-4, -1}, {{-3, -1}, {-2, -1}, {-1, 0}, {0, 0}}},
        {{1, 4}, {{0, 0}, {0, 1}, {0, 2}, {1, 3}}},
        {{-1, -4}, {{-1, -3}, {-1, -2}, {0, -1}, {0, 0}}},
        {{-3, 6}, {{0, 0}, {-1, 1}, {-1, 2}, {-2, 3}, {-2, 4}, {-3, 5}}},
        {{6, -3}, {{5, -3}, {3, -2}, {4, -2}, {1, -1}, {2, -1}, {0, 0}}},
        {{5, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
        {{4, 3}, {{0, 0}, {1, 1}, {2, 1}, {3, 2}}},
        {{3, 3}, {{0, 0}, {1, 1}, {2, 2}}},
        {{-3, -3}, {{-2, -2}, {-1, -1}, {0, 0}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sorted(linePixels(CPoint(), c.to, kEverywhere)), sorted(c.pixels))
            << "to (" << c.to.h << ", " << c.to.v << ")";
    }
}

TEST(LineRule, AgreesWithASearchForTheNearestPixelForEveryShortLine) {
    int lines = 0;
    for (int dy = -14; dy <= 14; ++dy) {
        for (int dx = -14; dx <= 14; ++dx, ++lines) {
            const CPoint from(3, -2);
            const CPoint to = from + CPoint(dx, dy);
            ASSERT_EQ(linePixels(from, to, kEverywhere), searchedLine(from, to, kEverywhere))
                << dx << ", " << dy;
        }
    }
    EXPECT_EQ(lines, 29 * 29);
}

TEST(LineRule, ClippingKeepsThePixelsOfTheWholeLine) {
    const CRect canvas(0, 0, 40, 30);
    int clippedLines = 0;
    for (const widget_test::LineCase& line : widget_test::scatteredLines(400, 120, 3)) {
        const std::vector<CPoint> clipped = linePixels(line.from, line.to, canvas);
        EXPECT_EQ(clipped, searchedLine(line.from, line.to, canvas));
        for (const CPoint& pixel : clipped) {
            ASSERT_TRUE(pixel.h >= 0 && pixel.h < 40 && pixel.v >= 0 && pixel.v < 30);
        }
        clippedLines += linePixels(line.from, line.to, kEverywhere).size() > clipped.size();
    }
    EXPECT_GT(clippedLines, 300); // most of them leave the canvas
}

TEST(LineRule, LinesBetweenTheFarthestPointsAreExactAndStayInside) {
    // The exact minor coordinate with 128-bit arithmetic: the nearest, ties to the smaller.
    auto expectedMinor = [](long long majorOffset, long long delta, long long steps) {
        const __int128 twice = static_cast<__int128>(2) * majorOffset * delta;
        // ceil((twice - steps) / (2 * steps))
        const __int128 numerator = twice - steps, denominator = static_cast<__int128>(2) * steps;
        __int128 quotient = numerator / denominator;
        if (numerator % denominator != 0 && numerator > 0) {
            ++quotient;
        }
        return static_cast<long long>(quotient);
    };
    const int low = std::numeric_limits<int>::min(), high = std::numeric_limits<int>::max();
    struct Case {
        CPoint from, to;
    };
    const Case cases[] = {
        {{low, 0}, {high, 29}},           {{high, 29}, {low, 0}},          {{5, low}, {30, high}},
        {{low, low}, {high, high}},       {{high, low + 30}, {low, high}}, {{low, 14}, {high, 15}},
        {{-(1 << 30), 3}, {1 << 30, 25}},
    };
    const CRect canvas(0, 0, 40, 30);
    for (const Case& c : cases) {
        const std::vector<CPoint> pixels = linePixels(c.from, c.to, canvas);
        const long long dx = static_cast<long long>(c.to.h) - c.from.h;
        const long long dy = static_cast<long long>(c.to.v) - c.from.v;
        const bool xMajor = std::llabs(dx) >= std::llabs(dy);
        const long long steps = std::max(std::llabs(dx), std::llabs(dy));
        ASSERT_FALSE(pixels.empty()) << c.from.h << ", " << c.from.v;
        for (const CPoint& pixel : pixels) {
            ASSERT_TRUE(pixel.h >= 0 && pixel.h < 40 && pixel.v >= 0 && pixel.v < 30);
            const long long offset = xMajor
                                         ? std::llabs(pixel.h - static_cast<long long>(c.from.h))
                                         : std::llabs(pixel.v - static_cast<long long>(c.from.v));
            const long long minor =
                (xMajor ? c.from.v : c.from.h) + expectedMinor(offset, xMajor ? dy : dx, steps);
            EXPECT_EQ(xMajor ? pixel.v : pixel.h, minor) << pixel.h << ", " << pixel.v;
        }
    }
    // Wholly outside: nothing, however long.
    EXPECT_TRUE(linePixels({low, -1}, {high, -1}, canvas).empty());
    EXPECT_TRUE(linePixels({-1, low}, {-1, high}, canvas).empty());
    EXPECT_TRUE(linePixels({40, low}, {40, high}, canvas).empty());
    EXPECT_TRUE(linePixels({0, 0}, {10, 10}, CRect(5, 5, 5, 9)).empty()); // an empty clip
}

TEST(LineRule, DrawsOnlyInsideTheFramebuffer) {
    // Under AddressSanitizer a pixel written outside would end the test.
    Framebuffer canvas(40, 30, 0x010203);
    int lit = 0;
    for (const widget_test::LineCase& line : widget_test::scatteredLines(200, 300, 5)) {
        Framebuffer one(40, 30, 0x010203);
        drawLinePixels(one, line.from, line.to, 0xffffff);
        const std::vector<CPoint> expected = linePixels(line.from, line.to, one.bounds());
        int set = 0;
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                set += one.pixel(x, y) == 0xffffff;
            }
        }
        EXPECT_EQ(set, static_cast<int>(expected.size()));
        for (const CPoint& pixel : expected) {
            EXPECT_EQ(one.pixel(pixel.h, pixel.v), 0xffffffu);
        }
        lit += set;
    }
    EXPECT_GT(lit, 100);
}

TEST(FillRule, FillsWhatGdiFillsTheWrongWayRoundToo) {
    // Measured with FillRect on a 10 x 10 DIB section under Wine; and clipped to the canvas.
    const CRect canvas(0, 0, 10, 10);
    struct Case {
        CRect rect;
        CRect filled; // empty: nothing
    };
    const int far = std::numeric_limits<int>::max();
    const Case cases[] = {
        {{2, 2, 6, 5}, {2, 2, 6, 5}},
        {{6, 5, 2, 2}, {3, 3, 7, 6}},
        {{6, 2, 2, 5}, {3, 2, 7, 5}},
        {{2, 5, 6, 2}, {2, 3, 6, 6}},
        {{3, 3, 3, 6}, {}},
        {{3, 3, 5, 3}, {}},
        {{4, 4, 5, 5}, {4, 4, 5, 5}},
        {{-5, -5, 3, 4}, {0, 0, 3, 4}},
        {{8, 8, 20, 20}, {8, 8, 10, 10}},
        {{12, 3, 4, 5}, {5, 3, 10, 5}},
        {{-far - 1, -far - 1, far, far}, {0, 0, 10, 10}},
        {{far, far, -far - 1, -far - 1}, {0, 0, 10, 10}},
        {{10, 0, 20, 10}, {}},
        {{-3, 0, 0, 10}, {}},
        {{0, -1, 10, -5}, {}},
    };
    for (const Case& c : cases) {
        const CRect area = filledArea(c.rect, canvas);
        const bool empty = area.width() <= 0 || area.height() <= 0;
        const bool expectEmpty = c.filled.width() <= 0;
        EXPECT_EQ(empty, expectEmpty)
            << c.rect.left << " " << c.rect.top << " " << c.rect.right << " " << c.rect.bottom;
        if (!expectEmpty) {
            EXPECT_EQ(area, c.filled) << c.rect.left << " " << c.rect.top;
        }
        Framebuffer target(10, 10, 0x010203);
        fillRectPixels(target, c.rect, 0xff0000);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                const bool inside = !expectEmpty && x >= c.filled.left && x < c.filled.right &&
                                    y >= c.filled.top && y < c.filled.bottom;
                ASSERT_EQ(target.pixel(x, y), inside ? 0xff0000u : 0x010203u) << x << ", " << y;
            }
        }
    }
}

TEST(CopyRule, TheCopyLosesWhatTheBitmapDoesNotHave) {
    // A 40 x 30 bitmap.
    struct Case {
        CRect rect;
        CPoint offset;
        CopyArea area; // x, y, width, height, sourceX, sourceY
    };
    const int low = std::numeric_limits<int>::min(), high = std::numeric_limits<int>::max();
    const Case cases[] = {
        {{0, 0, 40, 30}, {0, 0}, {0, 0, 40, 30, 0, 0}},
        {{5, 6, 25, 21}, {7, 4}, {5, 6, 20, 15, 7, 4}},
        {{0, 0, 30, 30}, {30, 20}, {0, 0, 10, 10, 30, 20}},
        {{10, 10, 30, 30}, {-5, -3}, {15, 13, 15, 17, 0, 0}},
        {{0, 0, 100, 100}, {0, 0}, {0, 0, 40, 30, 0, 0}},
        {{-10, -10, 10, 10}, {0, 0}, {-10, -10, 20, 20, 0, 0}},
        {{0, 0, 10, 10}, {40, 0}, {0, 0, 0, 0, 0, 0}},
        {{0, 0, 10, 10}, {0, -10}, {0, 0, 0, 0, 0, 0}},
        {{10, 10, 5, 5}, {0, 0}, {0, 0, 0, 0, 0, 0}},
        {{low, low, high, high}, {0, 0}, {low, low, 40, 30, 0, 0}},
        {{high - 5, 0, high, 30}, {low, 0}, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const CopyArea area = copyArea(c.rect, c.offset, 40, 30);
        if (c.area.empty()) {
            EXPECT_TRUE(area.empty()) << c.rect.left << " " << c.offset.h << " " << c.offset.v;
            continue;
        }
        EXPECT_EQ(area.x, c.area.x);
        EXPECT_EQ(area.y, c.area.y);
        EXPECT_EQ(area.width, c.area.width);
        EXPECT_EQ(area.height, c.area.height);
        EXPECT_EQ(area.sourceX, c.area.sourceX);
        EXPECT_EQ(area.sourceY, c.area.sourceY);
    }
}

} // namespace

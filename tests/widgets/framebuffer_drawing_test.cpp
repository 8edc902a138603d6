// The Linux back end through the widget set's own calls: a draw context over a framebuffer,
// bitmaps built into the program, text through fontconfig and FreeType (placement, metrics,
// clipping, opaque cells, Windows-1252 characters), and the platform objects it counts.
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/widgets/widget_test_support.h"
#include "widgets/bitmap_copy_area.h"
#include "widgets/embedded_bitmaps.h"
#include "widgets/font_freetype.h"
#include "widgets/framebuffer.h"
#include "widgets/param_display.h"
#include "widgets/platform_objects.h"
#include "widgets/text_layout.h"
#include "widgets/windows1252.h"

namespace {

using namespace widget_test;

constexpr std::uint32_t kCanvas = 0x010203;

// The smallest rectangle of pixels that differ from `from`; empty when none do.
CRect changedBounds(const Framebuffer& image, std::uint32_t from = kCanvas) {
    CRect bounds(image.width(), image.height(), 0, 0);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != from) {
                bounds = CRect(std::min(bounds.left, x), std::min(bounds.top, y),
                               std::max(bounds.right, x + 1), std::max(bounds.bottom, y + 1));
            }
        }
    }
    return bounds.right > bounds.left ? bounds : CRect();
}

int countOf(const Framebuffer& image, std::uint32_t pixel) {
    return static_cast<int>(std::count(image.pixels().begin(), image.pixels().end(), pixel));
}

TEST(FramebufferContext, DrawsLinesOutlinesAndFillsInItsColours) {
    Framebuffer canvas(30, 20, kCanvas);
    {
        CDrawContext context(nullptr, &canvas);
        context.setFrameColor({200, 0, 0, 0});
        context.drawLine(CPoint(1, 1), CPoint(5, 3));
        context.setFillColor({0, 0, 90, 0});
        context.fillRect(CRect(10, 2, 14, 6));
        context.setFrameColor({90, 0, 0, 0});
        context.drawRect(CRect(16, 2, 22, 12));
        // The pen stays where the last line ended.
        context.setFrameColor({0, 200, 0, 0});
        context.lineTo(CPoint(16, 18));
    }
    // (1, 1) to (5, 3): two steps per row, the tie at the second step going up.
    const CPoint line[] = {{1, 1}, {2, 1}, {3, 2}, {4, 2}};
    for (const CPoint& p : line) {
        EXPECT_EQ(canvas.pixel(p.h, p.v), 0xc80000u) << p.h << ", " << p.v;
    }
    EXPECT_EQ(countOf(canvas, 0xc80000), 4);
    EXPECT_EQ(countOf(canvas, 0x00005a), 16);
    EXPECT_EQ(changedBounds(canvas, kCanvas).left, 1);
    // The outline: left to right - 1, top to bottom - 1. The last lineTo went on from where the
    // outline ended, its top-left corner, down over its left edge: the rest is the outline's.
    for (int y = 2; y < 12; ++y) {
        for (int x = 17; x < 22; ++x) {
            const bool edge = x == 21 || y == 2 || y == 11;
            EXPECT_EQ(canvas.pixel(x, y), edge ? 0x5a0000u : kCanvas) << x << ", " << y;
        }
    }
    EXPECT_EQ(countOf(canvas, 0x5a0000), 5 + 9 + 4);
    for (int y = 2; y < 18; ++y) {
        EXPECT_EQ(canvas.pixel(16, y), 0x00c800u) << y;
    }
    EXPECT_EQ(canvas.pixel(16, 18), kCanvas);
}

TEST(FramebufferContext, WithoutADeviceContextDrawsNothingAndHoldsNothing) {
    const PlatformObjectCounts before = platformObjectsInUse();
    CDrawContext context(nullptr, nullptr);
    context.setFont(kNormalFont);
    context.drawLine(CPoint(0, 0), CPoint(10, 10));
    context.fillRect(CRect(0, 0, 10, 10));
    context.drawString("text", CRect(0, 0, 40, 20), true);
    EXPECT_EQ(platformObjectsInUse().gdi, before.gdi);
    EXPECT_EQ(context.getMouseButtons(), 0);
}

// Pixel (x, y) of the pattern bitmaps (see make_test_bitmaps.py).
std::uint32_t patternPixel(int x, int y) {
    if ((x + y) % 7 == 0) {
        return 0xffffff;
    }
    return static_cast<std::uint32_t>(((4 * x) % 256) << 16 | ((4 * y) % 256) << 8 | 100);
}

TEST(FramebufferBitmaps, CopyWholeOffsetClippedAndKeyed) {
    const BitmapRef pattern(kPatternBitmap);
    ASSERT_TRUE(pattern.get()->isLoaded());
    ASSERT_EQ(pattern.get()->getWidth(), 40);
    ASSERT_EQ(pattern.get()->getHeight(), 30);
    struct Case {
        const char* what;
        CRect rect;
        CPoint offset;
        bool keyed;
        std::uint32_t key; // with keyed
    };
    const Case cases[] = {
        {"whole", {0, 0, 40, 30}, {0, 0}, false, 0},
        {"offset", {5, 6, 25, 21}, {7, 4}, false, 0},
        {"past the bitmap's edge", {0, 0, 30, 30}, {30, 20}, false, 0},
        {"before the bitmap", {10, 10, 30, 30}, {-5, -3}, false, 0},
        {"off the canvas", {-10, 25, 30, 55}, {0, 0}, false, 0},
        {"keyed whole", {0, 0, 40, 30}, {0, 0}, true, 0xffffff},
        {"keyed offset", {5, 6, 25, 21}, {7, 4}, true, 0xffffff},
        {"keyed off the canvas", {30, -10, 70, 20}, {0, 0}, true, 0xffffff},
        {"keyed on another colour", {0, 0, 40, 30}, {0, 0}, true, 0x080c64},
    };
    for (const Case& c : cases) {
        Framebuffer canvas(48, 36, kCanvas);
        {
            CDrawContext context(nullptr, &canvas);
            if (c.keyed) {
                pattern.get()->setTransparentColor(colorOfPixel(c.key));
                pattern.get()->drawTransparent(&context, c.rect, c.offset);
                pattern.get()->setTransparentColor(kTransparentCColor);
            } else {
                pattern.get()->draw(&context, c.rect, c.offset);
            }
        }
        const CopyArea area = copyArea(c.rect, c.offset, 40, 30);
        int wrong = 0;
        for (int y = 0; y < 36; ++y) {
            for (int x = 0; x < 48; ++x) {
                std::uint32_t expected = kCanvas;
                const int i = x - area.x, j = y - area.y;
                if (!area.empty() && i >= 0 && j >= 0 && i < area.width && j < area.height) {
                    const std::uint32_t from = patternPixel(area.sourceX + i, area.sourceY + j);
                    expected = c.keyed && from == c.key ? kCanvas : from;
                }
                wrong += canvas.pixel(x, y) != expected;
            }
        }
        EXPECT_EQ(wrong, 0) << c.what;
    }
}

TEST(FramebufferBitmaps, TheBytesBuiltInAreTheFilesAndTheFirstTableCounts) {
    for (const TestBitmap& known : {kPatternBitmap, kTwoImagesBitmap, kKnobHandleBitmap}) {
        const EmbeddedBitmap* embedded = findEmbeddedBitmap(known.id);
        ASSERT_NE(embedded, nullptr) << known.id;
        const char* names[] = {"pattern", "two_images", "knob_handle"};
        const char* name = known.id == kPatternBitmap.id     ? names[0]
                           : known.id == kTwoImagesBitmap.id ? names[1]
                                                             : names[2];
        std::ifstream file(std::string(KEL_TEST_BITMAP_FOLDER) + "/" + name + ".bmp",
                           std::ios::binary);
        const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file),
                                               std::istreambuf_iterator<char>()};
        ASSERT_FALSE(bytes.empty()) << name;
        EXPECT_EQ(std::vector<unsigned char>(embedded->bytes, embedded->bytes + embedded->size),
                  bytes)
            << name;
    }
    EXPECT_EQ(findEmbeddedBitmap(4242), nullptr);

    // A second table: its own numbers are found while it lives, a number already there is not
    // taken from it, and a file it holds that does not decode gives an empty bitmap.
    static const unsigned char notABitmap[] = {'B', 'M', 0, 0};
    // 1 x 1, white, its row padded to 4 bytes: the smallest good file.
    std::vector<unsigned char> white(58, 0);
    for (const auto& [at, value] : std::vector<std::pair<int, unsigned char>>{{0, 'B'},
                                                                              {1, 'M'},
                                                                              {2, 58},
                                                                              {10, 54},
                                                                              {14, 40},
                                                                              {18, 1},
                                                                              {22, 1},
                                                                              {26, 1},
                                                                              {28, 24},
                                                                              {54, 0xff},
                                                                              {55, 0xff},
                                                                              {56, 0xff}}) {
        white[at] = value;
    }
    const EmbeddedBitmap entries[] = {{4243, white.data(), white.size()},
                                      {4244, notABitmap, sizeof(notABitmap)},
                                      {kPatternBitmap.id, white.data(), white.size()}};
    {
        const EmbeddedBitmapTable table(entries, 3);
        EXPECT_EQ(findEmbeddedBitmap(4243), &entries[0]);
        EXPECT_EQ(findEmbeddedBitmap(kPatternBitmap.id)->size, findEmbeddedBitmap(9001)->size);
        EXPECT_NE(findEmbeddedBitmap(kPatternBitmap.id), &entries[2]);
        auto* one = new CBitmap(4243);
        EXPECT_EQ(one->getWidth(), 1);
        one->forget();
        auto* broken = new CBitmap(4244);
        EXPECT_FALSE(broken->isLoaded());
        EXPECT_EQ(broken->getWidth(), 0);
        broken->forget();
    }
    EXPECT_EQ(findEmbeddedBitmap(4243), nullptr);
    EXPECT_NE(findEmbeddedBitmap(kPatternBitmap.id), nullptr);
}

TEST(FramebufferBitmaps, DecodedPixelsAreCountedWhileTheBitmapLives) {
    const PlatformObjectCounts before = platformObjectsInUse();
    auto* bitmap = new CBitmap(kBackgroundBitmap.id);
    EXPECT_EQ(platformObjectsInUse().gdi, before.gdi + 1);
    auto* missing = new CBitmap(4242);
    EXPECT_EQ(platformObjectsInUse().gdi, before.gdi + 1);
    missing->forget();
    bitmap->forget();
    EXPECT_EQ(platformObjectsInUse().gdi, before.gdi);
}

TEST(TextPlacement, PlacesTheCellAsDrawTextDoes) {
    // Measured with DrawText under Wine (opaque cells, not clipped) on the rectangle the GDI
    // back end hands it, one pixel in for left-aligned text: the widget's rectangle, the
    // alignment, the text's width and cell height, and the cell's top-left corner.
    struct Case {
        CRect rect;
        int align, width, height;
        CPoint corner;
    };
    const Case cases[] = {
        {{30, 20, 70, 35}, kRightText, 26, 14, {44, 20}},
        {{29, 20, 71, 36}, kLeftText, 26, 14, {30, 21}},
        {{30, 20, 71, 36}, kRightText, 26, 14, {45, 21}},
        {{30, 20, 70, 41}, kRightText, 26, 14, {44, 23}},
        {{29, 20, 70, 37}, kLeftText, 27, 15, {30, 21}},
        {{29, 20, 71, 40}, kLeftText, 27, 15, {30, 23}},
        {{29, 20, 70, 37}, kLeftText, 30, 16, {30, 20}},
        {{30, 20, 71, 40}, kRightText, 30, 16, {41, 22}},
        {{30, 20, 70, 40}, kCenterText, 31, 17, {34, 22}},
        {{29, 20, 70, 41}, kLeftText, 31, 17, {30, 22}},
        {{30, 20, 70, 36}, kCenterText, 26, 14, {37, 21}},
        {{30, 20, 71, 39}, kCenterText, 26, 14, {37, 22}},
        {{30, 20, 70, 36}, kCenterText, 27, 15, {36, 21}},
        {{30, 20, 71, 36}, kCenterText, 27, 15, {37, 21}},
    };
    for (const Case& c : cases) {
        const TextPlacement placement = placeText(c.rect, c.align, c.width, c.height);
        EXPECT_EQ(placement.cell.topLeft(), c.corner)
            << c.rect.left << " " << c.rect.top << " " << c.rect.right << " " << c.rect.bottom
            << " align " << c.align;
        EXPECT_EQ(placement.cell.width(), c.width);
        EXPECT_EQ(placement.cell.height(), c.height);
        const int clipLeft = c.rect.left + (c.align == kLeftText ? 1 : 0);
        EXPECT_EQ(placement.clip, CRect(clipLeft, c.rect.top, c.rect.right, c.rect.bottom));
    }
}

TEST(Fonts, ArialIsLiberationSansWithTheCellHeightsGdiGivesIt) {
    const FontMatch regular = matchFont("Arial", false, false);
    EXPECT_EQ(regular.family, "Liberation Sans");
    EXPECT_NE(regular.file.find("LiberationSans-Regular"), std::string::npos) << regular.file;
    const FontMatch bold = matchFont("Arial", true, false);
    EXPECT_NE(bold.file.find("LiberationSans-Bold"), std::string::npos) << bold.file;
    EXPECT_FALSE(bold.embolden);
    // GDI's text metrics for CreateFont(-height, ..., "Arial") under Wine, 8 to 20 pixels.
    const int ascents[] = {7, 8, 9, 10, 11, 12, 13, 14, 14, 15, 16, 17, 18};
    const int descents[] = {2, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4, 4, 4};
    for (int height = 8; height <= 20; ++height) {
        for (bool heavy : {false, true}) {
            const auto font = FreetypeFont::open({"Arial", height, heavy});
            ASSERT_TRUE(font) << height;
            EXPECT_EQ(font->ascent(), ascents[height - 8]) << height;
            EXPECT_EQ(font->descent(), descents[height - 8]) << height;
        }
    }
    // GDI's text extents there, which the cells are made of: the normal hinting's advances.
    struct Width {
        const char* text;
        int height;
        bool bold;
        int width;
    };
    const Width widths[] = {
        {"Gain: 50.0 %", 8, false, 43},
        {"Gain: 50.0 %", 10, false, 61},
        {"Gain: 50.0 %", 11, false, 63},
        {"Gain: 50.0 %", 15, false, 84},
        {"Gain: 50.0 %", 17, false, 97},
        {"Gain: 50.0 %", 11, true, 66},
        {"Gain: 50.0 %", 12, true, 71},
        {"Gain: 50.0 %", 20, true, 121},
        {"x", 12, false, 6},
        {"AVWAiIl", 18, true, 70},
        // Windows-1252 characters: the euro sign, S and Y with caron and diaeresis, e and u.
        {"\x80\x8a\x9f\xe9\xfc", 12, false, 37},
        {"\x80\x8a\x9f\xe9\xfc", 18, false, 54},
    };
    for (const Width& w : widths) {
        const auto font = FreetypeFont::open({"Arial", w.height, w.bold});
        EXPECT_EQ(font->textWidth(w.text), w.width) << w.text << " at " << w.height;
    }
    EXPECT_FALSE(FreetypeFont::open({"Arial", 0}));
    EXPECT_FALSE(FreetypeFont::open({"Arial", -12}));
}

TEST(Fonts, GreyLevelsWhereTheFaceAsksForThemAsGdiDraws) {
    // Liberation Sans, like GDI under Wine: 9 to 17 pixels regular without grey levels, bold
    // always with them.
    struct Case {
        int height;
        bool bold;
        bool grey;
    };
    const Case cases[] = {{12, false, false}, {14, false, false}, {18, false, true},
                          {11, true, true},   {12, true, true},   {20, false, true}};
    for (const Case& c : cases) {
        Framebuffer canvas(120, 30, 0x000000);
        {
            CDrawContext context(nullptr, &canvas);
            context.setFontColor({255, 255, 255, 0});
            context.setFont(kNormalFont, c.height, c.bold ? kBoldFace : kNormalFace);
            context.drawString("Gain: 50.0 %", CRect(0, 0, 120, 30), false, kLeftText);
        }
        const int inked = 120 * 30 - countOf(canvas, 0);
        const int full = countOf(canvas, 0xffffff);
        EXPECT_GT(full, 20) << c.height;
        EXPECT_EQ(inked > full, c.grey) << c.height << (c.bold ? " bold" : "");
    }
}

TEST(Text, StaysInItsRectangleAndFillsItsCellWhenOpaque) {
    struct Case {
        const char* text;
        CRect rect;
        int align;
        bool opaque;
    };
    const Case cases[] = {
        {"Gain: 50.0 %", {10, 10, 130, 24}, kLeftText, true},
        {"Gain: 50.0 %", {10, 10, 130, 24}, kCenterText, true},
        {"Gain: 50.0 %", {10, 10, 130, 24}, kRightText, false},
        {"A line far too long for its box", {20, 5, 60, 30}, kCenterText, true},
        {"Tall", {5, 12, 60, 17}, kLeftText, true},
        {"Wide box", {-20, 30, 200, 60}, kCenterText, true},
    };
    for (const Case& c : cases) {
        Framebuffer canvas(140, 50, kCanvas);
        int width = 0, cell = 0;
        {
            CDrawContext context(nullptr, &canvas);
            context.setFont(kNormalFontSmall);
            context.setFontColor({250, 250, 250, 0});
            context.setFillColor({0, 0, 120, 0});
            context.drawString(c.text, c.rect, c.opaque, c.align);
            auto font = FreetypeFont::open({"Arial", fontDescription(kNormalFontSmall).height});
            width = font->textWidth(c.text);
            cell = font->cellHeight();
        }
        const TextPlacement placement = placeText(c.rect, c.align, width, cell);
        CRect expected(std::max(placement.cell.left, placement.clip.left),
                       std::max(placement.cell.top, placement.clip.top),
                       std::min(placement.cell.right, placement.clip.right),
                       std::min(placement.cell.bottom, placement.clip.bottom));
        expected = CRect(std::max(expected.left, 0), std::max(expected.top, 0),
                         std::min(expected.right, 140), std::min(expected.bottom, 50));
        const CRect changed = changedBounds(canvas);
        if (c.opaque) {
            EXPECT_EQ(changed, expected) << c.text; // the cell, inside the clip
        } else {
            EXPECT_TRUE(expected.contains(changed)) << c.text;
        }
        EXPECT_TRUE(placement.clip.contains(changed)) << c.text;
        // Left-aligned text starts one pixel in.
        if (c.align == kLeftText) {
            EXPECT_EQ(changed.left, c.rect.left + 1) << c.text;
        }
    }
}

TEST(Text, WindowsCodePageBytesAreTheirCharacters) {
    struct Case {
        unsigned char byte;
        char32_t character;
    };
    const Case cases[] = {
        {0x41, U'A'},      {0x7f, 0x7f},      {0x80, U'\u20ac'}, {0x81, 0x81},
        {0x85, U'\u2026'}, {0x8a, U'\u0160'}, {0x8d, 0x8d},      {0x8f, 0x8f},
        {0x90, 0x90},      {0x91, U'\u2018'}, {0x96, U'\u2013'}, {0x99, U'\u2122'},
        {0x9d, 0x9d},      {0x9f, U'\u0178'}, {0xa0, 0xa0},      {0xe9, U'\u00e9'},
        {0xff, U'\u00ff'},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(static_cast<unsigned>(windows1252ToUnicode(c.byte)),
                  static_cast<unsigned>(c.character))
            << std::hex << static_cast<int>(c.byte);
    }

    // Drawn: the letters with a caron and a diaeresis rise above the plain ones and sit on
    // the same baseline; the euro sign is not the missing-character box of an unassigned byte.
    auto ink = [](const char* text, Framebuffer* out = nullptr) {
        Framebuffer canvas(60, 40, 0x000000);
        {
            CDrawContext context(nullptr, &canvas);
            context.setFont(kNormalFontVeryBig);
            context.setFontColor(kWhiteCColor);
            context.drawString(text, CRect(0, 0, 60, 40), false, kLeftText);
        }
        if (out) {
            *out = canvas;
        }
        return changedBounds(canvas, 0x000000);
    };
    const CRect s = ink("S"), sCaron = ink("\x8a"), y = ink("Y"), yDiaeresis = ink("\x9f");
    EXPECT_LT(sCaron.top, s.top - 1);
    EXPECT_EQ(sCaron.bottom, s.bottom);
    EXPECT_LT(yDiaeresis.top, y.top - 1);
    EXPECT_EQ(yDiaeresis.bottom, y.bottom);
    Framebuffer euro, unassigned;
    ink("\x80", &euro);
    ink("\x81", &unassigned);
    EXPECT_NE(euro.pixels(), unassigned.pixels());
    EXPECT_FALSE(changedBounds(euro, 0).width() == 0);
}

TEST(Text, FontsAreCountedWhileSelectedAndGoWithTheirContext) {
    const PlatformObjectCounts before = platformObjectsInUse();
    Framebuffer canvas(40, 20, kCanvas);
    {
        CDrawContext context(nullptr, &canvas);
        context.drawString("x", CRect(0, 0, 20, 10)); // selects the system font first
        EXPECT_EQ(platformObjectsInUse().gdi, before.gdi + 1);
        for (int size = 8; size < 20; ++size) {
            context.setFont(kNormalFont, size);
            context.drawString("x", CRect(0, 0, 20, 10));
            EXPECT_EQ(platformObjectsInUse().gdi, before.gdi + 1) << size;
        }
    }
    EXPECT_EQ(platformObjectsInUse().gdi, before.gdi);
}

} // namespace

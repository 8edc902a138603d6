// What the widget set puts on the screen, pixel by pixel, drawn with GDI into off-screen
// bitmaps: opaque and transparent copies with both transparent methods, the image a control
// shows for its value, the knob's handle, and text with its alignment and shadow.
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "tests/widgets/widget_test_support.h"
#include "tests/widgets/window_test_support.h"
#include "widgets/buttons.h"
#include "widgets/knob.h"
#include "widgets/param_display.h"
#include "widgets/platform_objects.h"

namespace {

using namespace widget_test;

constexpr CColor kCanvasColor{1, 2, 3, 0};
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// Pixels in the rectangle that differ from the colour.
int countOtherThan(const Canvas& canvas, const CRect& rect, CColor color) {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            count += canvas.pixel(x, y).sameRgb(color) ? 0 : 1;
        }
    }
    return count;
}

// Pixel (x, y) of the pattern bitmaps (see make_test_bitmaps.py).
CColor patternPixel(int x, int y) {
    if ((x + y) % 7 == 0) {
        return kWhiteCColor;
    }
    return {static_cast<unsigned char>((4 * x) % 256), static_cast<unsigned char>((4 * y) % 256),
            100, 0};
}

class GdiDrawing : public ::testing::Test {
protected:
    GdiDrawing() : frame(CRect(0, 0, 300, 200), parentWindow(), &editor) {}

    // A context drawing into the canvas; with the frame the transparent copies take the
    // platform's single call, without it the mask method.
    std::unique_ptr<CDrawContext> contextFor(const Canvas& canvas, bool withFrame = true) {
        return std::make_unique<CDrawContext>(withFrame ? &frame : nullptr, canvas.dc());
    }

    ScriptedEditor editor;
    CFrame frame;
};

TEST_F(GdiDrawing, OpaqueAndTransparentCopiesWithBothMethods) {
    ASSERT_TRUE(frame.isOpen());
    ASSERT_NE(frame.getTransparentBlt(), nullptr);
    const BitmapRef pattern(kPatternBitmap);
    ASSERT_EQ(pattern.get()->getWidth(), kPatternBitmap.width);
    ASSERT_EQ(pattern.get()->getHeight(), kPatternBitmap.height);
    const CRect target(5, 6, 25, 21);
    const CPoint offset(7, 4);
    enum Copy { kOpaque, kTransparentBlt, kMask };
    for (Copy copy : {kOpaque, kTransparentBlt, kMask}) {
        Canvas canvas(40, 30, kCanvasColor);
        auto context = contextFor(canvas, copy != kMask);
        if (copy == kOpaque) {
            pattern.get()->draw(context.get(), target, offset);
        } else {
            pattern.get()->drawTransparent(context.get(), target, offset);
        }
        int differences = 0;
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                CColor expected = kCanvasColor;
                if (target.pointInside({x, y}) && x < target.right && y < target.bottom) {
                    expected = patternPixel(offset.h + x - target.left, offset.v + y - target.top);
                    if (copy != kOpaque && expected.sameRgb(kWhiteCColor)) {
                        expected = kCanvasColor; // white leaves the destination untouched
                    }
                }
                differences += canvas.pixel(x, y).sameRgb(expected) ? 0 : 1;
            }
        }
        EXPECT_EQ(differences, 0) << "copy method " << copy;
    }
}

TEST_F(GdiDrawing, CopiesStopAtTheBitmapsEdgeAndMissingBitmapsDrawNothing) {
    const BitmapRef pattern(kPatternBitmap);
    Canvas canvas(60, 50, kCanvasColor);
    auto context = contextFor(canvas);
    // 30 x 30 asked for from (30, 20) on: only 10 x 10 pixels of the bitmap exist there.
    pattern.get()->draw(context.get(), CRect(0, 0, 30, 30), CPoint(30, 20));
    EXPECT_EQ(canvas.pixel(9, 9), patternPixel(39, 29));
    EXPECT_EQ(canvas.pixel(10, 5), kCanvasColor);
    EXPECT_EQ(canvas.pixel(5, 10), kCanvasColor);

    auto* missing = new CBitmap(4242);
    EXPECT_EQ(missing->getWidth(), 0);
    EXPECT_EQ(missing->getHeight(), 0);
    missing->draw(context.get(), CRect(0, 20, 60, 50));
    missing->drawTransparent(context.get(), CRect(0, 20, 60, 50));
    EXPECT_EQ(countOtherThan(canvas, CRect(0, 20, 60, 50), kCanvasColor), 0);
    missing->forget();
}

TEST_F(GdiDrawing, ControlsShowTheImageOfTheirValue) {
    const BitmapRef three(kThreeImagesBitmap);
    const BitmapRef two(kTwoImagesBitmap);
    const BitmapRef kick(kKickBitmap);
    const CColor red{255, 0, 0, 0}, green{0, 255, 0, 0}, blue{0, 0, 255, 0};
    const CColor released{200, 0, 0, 0}, pressed{0, 0, 200, 0};
    const CColor kickUp{30, 120, 30, 0}, kickDown{240, 200, 0, 0};
    struct Case {
        const char* control;
        float value;
        CColor shown;
    };
    const Case cases[] = {
        {"strip", 0.0f, red},       {"strip", 0.24f, red},     {"strip", 0.25f, green},
        {"strip", 0.74f, green},    {"strip", 0.75f, blue},    {"strip", 1e30f, blue},
        {"strip", kNaN, red},       {"strip", -kInf, red},     {"led", 0.49f, released},
        {"led", 0.5f, pressed},     {"onoff", 0.0f, released}, {"onoff", 1.0f, pressed},
        {"onoff", -3.0f, released}, {"onoff", kNaN, released}, {"onoff", kInf, pressed},
        {"kick", 0.0f, kickUp},     {"kick", 1.0f, kickDown},  {"kick", kNaN, kickUp},
        {"movie", 0.0f, released},  {"movie", 1.0f, pressed},  {"movie", 1e30f, pressed},
    };
    for (const Case& c : cases) {
        const std::string name = c.control;
        std::unique_ptr<CControl, void (*)(CControl*)> control(nullptr,
                                                               [](CControl* v) { v->forget(); });
        const CRect at(2, 3, 2 + 45, 3 + 15);
        if (name == "strip") {
            control.reset(new CMovieBitmap(CRect(2, 3, 8, 6), nullptr, -1, 3, 3, three.get()));
        } else if (name == "led") {
            control.reset(new CMovieBitmap(CRect(2, 3, 12, 7), nullptr, -1, 2, 4, two.get()));
        } else if (name == "onoff") {
            control.reset(new COnOffButton(CRect(2, 3, 12, 7), nullptr, 10, two.get()));
        } else if (name == "kick") {
            control.reset(new CKickButton(at, nullptr, 0, 15, kick.get()));
        } else {
            control.reset(new CMovieButton(CRect(2, 3, 12, 7), nullptr, 9, 4, two.get()));
        }
        Canvas canvas(50, 20, kCanvasColor);
        control->setValue(c.value);
        control->draw(contextFor(canvas).get());
        EXPECT_EQ(canvas.pixel(4, 4), c.shown) << c.control << " at " << c.value;
        EXPECT_EQ(canvas.pixel(2, 3), kWhiteCColor) << c.control; // opaque: white is copied
        EXPECT_EQ(canvas.pixel(1, 3), kCanvasColor) << c.control;

        // With the transparency flag the white pixels stay the canvas's.
        Canvas transparent(50, 20, kCanvasColor);
        control->setTransparency(true);
        control->setValue(c.value);
        control->draw(contextFor(transparent).get());
        EXPECT_EQ(transparent.pixel(4, 4), c.shown) << c.control << " at " << c.value;
        EXPECT_EQ(transparent.pixel(2, 3), kCanvasColor) << c.control;
    }
}

TEST_F(GdiDrawing, TheKnobHandleSitsWhereTheValueSays) {
    const BitmapRef body(kKnobBodyBitmap);
    const BitmapRef handle(kKnobHandleBitmap);
    const CColor dark{10, 10, 10, 0};
    CKnob knob(CRect(5, 5, 55, 55), nullptr, 1, body.get(), handle.get());
    struct Case {
        float value;
        float shownAs;
    };
    const Case cases[] = {{0.0f, 0.0f}, {0.25f, 0.25f}, {0.5f, 0.5f},  {0.75f, 0.75f},
                          {1.0f, 1.0f}, {kNaN, 0.0f},   {1e30f, 1.0f}, {-3.0f, 0.0f},
                          {kInf, 1.0f}, {-kInf, 0.0f}};
    for (const Case& c : cases) {
        knob.setValue(c.shownAs);
        CPoint expected;
        knob.valueToPoint(expected);
        Canvas canvas(60, 60, kCanvasColor);
        knob.setValue(c.value);
        knob.draw(contextFor(canvas).get());
        // The handle bitmap's dark 4 x 4 middle, centred on the handle point.
        EXPECT_EQ(canvas.boundsOf(dark), CRect(5 + expected.h - 2, 5 + expected.v - 2,
                                               5 + expected.h + 2, 5 + expected.v + 2))
            << c.value;
        EXPECT_EQ(canvas.pixel(6, 6), (CColor{60, 60, 60, 0})) << c.value;
        EXPECT_FALSE(knob.isDirty());
    }

    // Without a handle bitmap: a white line with a grey shadow down and to the left of it.
    CKnob plain(CRect(5, 5, 55, 55), nullptr, 2, body.get(), nullptr);
    for (float value : {0.0f, 0.5f, 0.8f}) {
        plain.setValue(value);
        CPoint tip;
        plain.valueToPoint(tip);
        Canvas canvas(60, 60, kCanvasColor);
        plain.draw(contextFor(canvas).get());
        EXPECT_EQ(canvas.pixel(5 + tip.h, 5 + tip.v - 1), kWhiteCColor) << value;
        EXPECT_EQ(canvas.pixel(5 + tip.h - 1, 5 + tip.v), kGreyCColor) << value;
    }
}

// Pixels of a text display: (dark background) mask of the pixels that are not black.
std::vector<bool> litPixels(const Canvas& canvas) {
    std::vector<bool> lit;
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            lit.push_back(!canvas.pixel(x, y).sameRgb(kBlackCColor));
        }
    }
    return lit;
}

// The smallest rectangle holding every pixel that is not black.
CRect litBounds(const Canvas& canvas) {
    const std::vector<bool> lit = litPixels(canvas);
    CRect bounds(canvas.width(), canvas.height(), 0, 0);
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            if (lit[y * canvas.width() + x]) {
                bounds = CRect(std::min(bounds.left, x), std::min(bounds.top, y),
                               std::max(bounds.right, x + 1), std::max(bounds.bottom, y + 1));
            }
        }
    }
    return bounds;
}

TEST_F(GdiDrawing, TextIsAlignedAndItsShadowFallsOnePixelDownAndRight) {
    const CRect box(10, 10, 130, 24);
    auto drawText = [&](Canvas& canvas, int align, long style) {
        CTextEdit display(box, nullptr, 14, "Gain: 50.0 %", nullptr, style);
        display.setFont(kNormalFontSmall);
        display.setFontColor(kWhiteCColor);
        display.setBackColor(kBlackCColor);
        display.setFrameColor(kBlackCColor);
        display.setShadowColor(kRedCColor);
        display.setHoriAlign(align);
        display.draw(contextFor(canvas).get());
    };
    CRect inked[3];
    for (int align : {kLeftText, kCenterText, kRightText}) {
        Canvas canvas(140, 34, kBlackCColor);
        drawText(canvas, align, 0);
        const CRect text = litBounds(canvas); // anti-aliased edges included
        ASSERT_GT(text.width(), 20) << align;
        EXPECT_TRUE(box.contains(text)) << align;
        inked[align] = text;
        // Vertically centred within a pixel or two.
        EXPECT_LE(std::abs((text.top - box.top) - (box.bottom - text.bottom)), 3) << align;
    }
    EXPECT_GE(inked[kLeftText].left, box.left + 1);
    EXPECT_LE(inked[kLeftText].left, box.left + 3);
    EXPECT_LE(inked[kRightText].right, box.right);
    EXPECT_GE(inked[kRightText].right, box.right - 2);
    EXPECT_LE(
        std::abs((inked[kCenterText].left - box.left) - (box.right - inked[kCenterText].right)), 2);
    EXPECT_EQ(inked[kCenterText].width(), inked[kLeftText].width());

    // With the shadow style the lit pixels are the text's and the text's moved by (1, 1); the
    // ones only the shadow covers are red.
    Canvas plain(140, 34, kBlackCColor);
    drawText(plain, kLeftText, 0);
    Canvas shadowed(140, 34, kBlackCColor);
    drawText(shadowed, kLeftText, kShadowText);
    const std::vector<bool> text = litPixels(plain);
    const std::vector<bool> both = litPixels(shadowed);
    int mismatches = 0;
    int shadowOnly = 0;
    for (int y = 1; y < plain.height(); ++y) {
        for (int x = 1; x < plain.width(); ++x) {
            const bool inText = text[y * plain.width() + x];
            const bool inShadow = text[(y - 1) * plain.width() + (x - 1)];
            mismatches += both[y * plain.width() + x] != (inText || inShadow) ? 1 : 0;
            if (inShadow && !inText) {
                ++shadowOnly;
                const CColor shown = shadowed.pixel(x, y);
                mismatches += shown.red > shown.green && shown.red > shown.blue ? 0 : 1;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(shadowOnly, 10);
}

TEST_F(GdiDrawing, DisplaysFillAndOutlineTheirBox) {
    CParamDisplay display(CRect(2, 2, 22, 12), nullptr, kNoTextStyle);
    display.setBackColor({0, 0, 90, 0});
    display.setFrameColor({90, 0, 0, 0});
    Canvas canvas(30, 20, kCanvasColor);
    display.draw(contextFor(canvas).get());
    EXPECT_EQ(canvas.boundsOf({90, 0, 0, 0}), CRect(2, 2, 22, 12)); // the outline
    EXPECT_EQ(canvas.boundsOf({0, 0, 90, 0}), CRect(3, 3, 21, 11)); // the fill inside it
    EXPECT_EQ(canvas.pixel(1, 1), kCanvasColor);

    // 3-D inset: left and top in the background colour, right and bottom in the frame colour.
    display.setStyle(kNoTextStyle | k3DIn);
    Canvas inset(30, 20, kCanvasColor);
    display.draw(contextFor(inset).get());
    EXPECT_EQ(inset.pixel(2, 7), (CColor{0, 0, 90, 0}));
    EXPECT_EQ(inset.pixel(10, 2), (CColor{0, 0, 90, 0}));
    EXPECT_EQ(inset.pixel(21, 7), (CColor{90, 0, 0, 0}));
    EXPECT_EQ(inset.pixel(10, 11), (CColor{90, 0, 0, 0}));

    // Nothing at all with the no-drawing style.
    CParamDisplay hidden(CRect(2, 2, 22, 12), nullptr, kNoDrawStyle);
    EXPECT_FALSE(hidden.isDirty());
    Canvas untouched(30, 20, kCanvasColor);
    hidden.draw(contextFor(untouched).get());
    EXPECT_EQ(countOtherThan(untouched, CRect(0, 0, 30, 20), kCanvasColor), 0);
}

TEST_F(GdiDrawing, AContextDeletesItsPensBrushesAndFontsAndLeavesTheDeviceContextAsItFoundIt) {
    const struct {
        const char* kind;
        UINT type;
        // Makes the context select one object of the kind, a different one for each step.
        std::function<void(CDrawContext&, int step)> select;
    } cases[] = {
        {"pen", OBJ_PEN,
         [](CDrawContext& context, int step) {
             context.setFrameColor({static_cast<unsigned char>(10 * step), 0, 0, 0});
             context.drawLine(CPoint(0, 0), CPoint(5, 0));
         }},
        {"brush", OBJ_BRUSH,
         [](CDrawContext& context, int step) {
             context.setFillColor({0, static_cast<unsigned char>(10 * step), 0, 0});
             context.fillRect(CRect(0, 0, 5, 5));
         }},
        {"font", OBJ_FONT,
         [](CDrawContext& context, int step) {
             context.setFont(kNormalFont, 10 + step);
             context.drawString("x", CRect(0, 0, 20, 10));
         }},
    };
    for (const auto& c : cases) {
        Canvas canvas(30, 20, kCanvasColor);
        const HGDIOBJ original = GetCurrentObject(canvas.dc(), c.type);
        const PlatformObjectCounts before = platformObjectsInUse();
        HGDIOBJ last = nullptr;
        {
            CDrawContext context(nullptr, canvas.dc());
            c.select(context, 1);
            const HGDIOBJ first = GetCurrentObject(canvas.dc(), c.type);
            EXPECT_NE(first, original) << c.kind;
            c.select(context, 2);
            last = GetCurrentObject(canvas.dc(), c.type);
            EXPECT_NE(last, first) << c.kind;
            // The object it replaced is deleted at once; only the one in use is held.
            EXPECT_EQ(GetObjectType(first), 0u) << c.kind;
            EXPECT_EQ(GetObjectType(last), c.type) << c.kind;
            EXPECT_GE(platformObjectsInUse().gdi, before.gdi + 1) << c.kind;
        }
        EXPECT_EQ(GetCurrentObject(canvas.dc(), c.type), original) << c.kind;
        EXPECT_EQ(GetObjectType(last), 0u) << c.kind;
        EXPECT_EQ(platformObjectsInUse().gdi, before.gdi) << c.kind;
    }
}

TEST_F(GdiDrawing, AContextOnAWindowBorrowsItsDeviceContextAndGivesItBack) {
    ASSERT_TRUE(frame.isOpen());
    const PlatformObjectCounts before = platformObjectsInUse();
    for (int cycle = 0; cycle < 100; ++cycle) {
        CDrawContext context(&frame, nullptr, frame.getSystemWindow());
        ASSERT_NE(context.getSystemContext(), nullptr);
        EXPECT_EQ(platformObjectsInUse().gdi, before.gdi + 1);
        context.setFillColor({0, 0, 90, 0});
        context.fillRect(CRect(0, 0, 5, 5));
    }
    EXPECT_EQ(platformObjectsInUse().gdi, before.gdi);
}

} // namespace
